// The page has no room for the workbook reader and its inflating: it is left
// out there, and the page sends its user to the command line instead.
#include "readers.h"

namespace rewriting {

std::unique_ptr<Reader> workbookReader(std::vector<std::string>)
{
    return nullptr;
}

} // namespace rewriting
