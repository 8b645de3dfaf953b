// convqvr.com, the command line on Windows. It stands beside convqvr.exe, the
// window: cmd and PowerShell take .com before .exe, so "convqvr 42123456"
// runs this console program, whose output can be redirected, while a double
// click or the Start menu opens the window. Given no argument, it opens the
// window too.
#include <cli/command_line.h>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Arguments come in UTF-16; the command line reads UTF-8. One that is not
// valid UTF-16 becomes a byte that is not valid UTF-8, and is reported so.
std::string utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(
        CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return "\xff";
    std::string bytes(std::size_t(size), '\0');
    WideCharToMultiByte(
        CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back(); // the terminating NUL
    return bytes;
}

int openWindow()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    path.replace(path.size() - 4, 4, L".exe");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
            &startup, &started)) {
        std::fprintf(
            stderr, "convqvr: la fenêtre ne peut pas s'ouvrir (erreur %lu)\n", GetLastError());
        return 1;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t *argv[])
{
    // A console shows UTF-8 once told to; it is told back afterwards.
    const UINT output = GetConsoleOutputCP(), input = GetConsoleCP();
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    int status = 0;
    if (argc < 2) {
        status = openWindow();
    } else {
        // Lines go out as written, with Windows' own CRLF ends.
        _setmode(_fileno(stdin), _O_BINARY);
        _setmode(_fileno(stdout), _O_BINARY);
        std::vector<std::string> bytes;
        for (int i = 1; i < argc; ++i)
            bytes.push_back(utf8(argv[i]));
        const std::vector<std::string_view> arguments(bytes.begin(), bytes.end());
        status = cli::run(arguments, {stdin, stdout, stderr}, "\r\n");
    }
    if (output)
        SetConsoleOutputCP(output);
    if (input)
        SetConsoleCP(input);
    return status;
}
