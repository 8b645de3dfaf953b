// The Windows programs are built without exceptions. Where the C++ runtime
// would throw (memory exhausted, a string asked to outgrow any memory), they
// end here as an uncaught exception would end them, and the runtime's
// exception machinery, its unwinder, demangler and thread library, stays out
// of the .exe.
#include <cstdlib>
#include <new>

void *operator new(std::size_t size)
{
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    std::abort();
}

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

// libstdc++'s containers report through these; its own definitions throw.
// Were the programs to call one more of them, the library's file of them
// would come back and the link would fail on the names below twice.
namespace std {

void __throw_bad_alloc()
{
    abort();
}

void __throw_bad_array_new_length()
{
    abort();
}

void __throw_length_error(const char *)
{
    abort();
}

void __throw_logic_error(const char *)
{
    abort();
}

void __throw_out_of_range_fmt(const char *, ...)
{
    abort();
}

// A broken precondition, caught by the library's checks, which the programs
// keep on: they also keep std::string's code in the programs' own objects,
// where newer libraries would bring theirs, built to throw.
void __glibcxx_assert_fail(const char *, int, const char *, const char *) noexcept
{
    abort();
}

} // namespace std
