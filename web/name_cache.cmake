# Writes the service worker with its cache named from the content of every
# file served beside it.
#   cmake -DSERVED=FOLDER -DTEMPLATE=sw.js.in -P name_cache.cmake
file(GLOB names LIST_DIRECTORIES false RELATIVE ${SERVED} ${SERVED}/*)
list(REMOVE_ITEM names sw.js)
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
    file(SHA256 ${SERVED}/${name} sum)
    string(APPEND sums "${name} ${sum}\n")
endforeach()
string(SHA256 sum "${sums}")
string(SUBSTRING ${sum} 0 16 sum)
set(CACHE_NAME conversion-qvr-${sum})
configure_file(${TEMPLATE} ${SERVED}/sw.js @ONLY)
