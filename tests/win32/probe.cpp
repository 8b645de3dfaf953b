// Reads the running program from outside, as automation tools do on Windows:
// finds its window by title and asks its controls for their texts and places.
//   probe wait              until the window is shown (60 s at most)
//   probe texts             the texts of nhc and qvr, one a line
//   probe layout            the client size, then each control's place in it,
//                           then the client's origin on the screen
//   probe version FILE      the version block of FILE
//   probe clip TEXT         puts TEXT on the clipboard
//   probe clipboard         the clipboard's text, read as Windows programs
//                           read it (xclip may wait for ever on Wine)
//   probe menu              until a popup menu is shown (60 s at most)
//   probe form              the form's declaration, as the Linux drivers read it
// Prints UTF-8; exits 1 when the window or the answer is missing.
#include "../form_sheet.h"
#include "convqvr.h"

#include <conversion/utf8.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const auto *title = reinterpret_cast<const wchar_t *>(form::title.data());
const std::wstring formName(form::name.begin(), form::name.end());

std::string utf8(const std::wstring &text)
{
    return conversion::utf8(
        std::u16string_view(reinterpret_cast<const char16_t *>(text.data()), text.size()));
}

// Waits until `found` gives a shown window, 60 s at most: a loaded machine
// may take long to start a program in a prefix just installed into.
template <typename Find> HWND waitFor(Find found)
{
    HWND window = found();
    for (int tries = 0; !(window && IsWindowVisible(window)) && tries < 600; ++tries) {
        Sleep(100);
        window = found();
    }
    return window && IsWindowVisible(window) ? window : nullptr;
}

// WM_GETTEXT, as another process reads a control.
std::wstring textOf(HWND control)
{
    const auto length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(size_t(length) + 1, L'\0');
    const auto copied = SendMessageW(
        control, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(copied));
    return text;
}

HWND controlNamed(HWND window, int id)
{
    struct Search
    {
        int id;
        HWND found;
    } search = {id, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            auto *s = reinterpret_cast<Search *>(data);
            if (GetDlgCtrlID(child) != s->id)
                return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int version(const wchar_t *file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    std::string block(size, '\0');
    if (!size || !GetFileVersionInfoW(file, 0, size, block.data()))
        return 1;
    void *value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &length) && length) {
        const auto *fixed = static_cast<VS_FIXEDFILEINFO *>(value);
        std::printf("FILEVERSION %lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS),
            LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
            LOWORD(fixed->dwFileVersionLS));
    }
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length)
        && length >= 4) {
        const auto *pair = static_cast<WORD *>(value);
        std::printf("Translation %04X %04X\n", pair[0], pair[1]);
    }
    for (const wchar_t *name : {L"FileVersion", L"ProductVersion", L"ProductName",
             L"FileDescription", L"CompanyName", L"OriginalFilename"}) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040C04B0\\") + name;
        if (VerQueryValueW(block.data(), path.c_str(), &value, &length) && length)
            std::printf("%s=%s\n", utf8(name).c_str(), utf8(static_cast<wchar_t *>(value)).c_str());
    }
    return 0;
}

int clip(const std::wstring &text)
{
    if (!OpenClipboard(nullptr))
        return 1;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t *>(GlobalLock(memory)));
    GlobalUnlock(memory);
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return set ? 0 : 1;
}

int clipboard()
{
    if (!OpenClipboard(nullptr))
        return 1;
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t *>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    std::fputs(utf8(text).c_str(), stdout);
    return 0;
}

// The texts of every dialog titled `dialogTitle`, its static controls' a line each.
int dialogs(const wchar_t *dialogTitle)
{
    struct Search
    {
        const wchar_t *title;
        std::string texts;
    } search{dialogTitle, {}};
    EnumWindows(
        [](HWND window, LPARAM data) {
            auto *found = reinterpret_cast<Search *>(data);
            wchar_t kind[16] = L"";
            GetClassNameW(window, kind, 16);
            if (std::wstring(kind) == L"#32770" && IsWindowVisible(window)
                && textOf(window) == found->title)
                EnumChildWindows(
                    window,
                    [](HWND child, LPARAM texts) {
                        wchar_t childKind[16] = L"";
                        GetClassNameW(child, childKind, 16);
                        if (std::wstring(childKind) == L"Static")
                            *reinterpret_cast<std::string *>(texts) += utf8(textOf(child)) + "\n";
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&found->texts));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    std::fputs(search.texts.c_str(), stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t *argv[])
{
    // Places are read in the window's own pixels, not scaled for a program
    // that knows nothing of densities.
    using SetContext = BOOL(WINAPI *)(HANDLE);
    const auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(-4))) // per monitor, version 2
        SetProcessDPIAware();
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"version" && argc > 2)
        return version(argv[2]);
    if (command == L"clip" && argc > 2)
        return clip(argv[2]);
    if (command == L"clipboard")
        return clipboard();
    if (command == L"dialogs")
        return dialogs(reinterpret_cast<const wchar_t *>(form::saveTitle.data()));
    if (command == L"form") {
        printFormSheet();
        return 0;
    }
    if (command == L"menu") // the class Windows gives popup menus
        return waitFor([] { return FindWindowW(L"#32768", nullptr); }) ? 0 : 1;

    const auto find = [] { return FindWindowW(formName.c_str(), title); };
    HWND window = command == L"wait" ? waitFor(find) : find();
    if (!window) {
        std::puts("no window");
        return 1;
    }
    if (command == L"texts") {
        std::printf("%s\n%s\n", utf8(textOf(controlNamed(window, nhc))).c_str(),
            utf8(textOf(controlNamed(window, qvr))).c_str());
    } else if (command == L"layout") {
        RECT client;
        GetClientRect(window, &client);
        std::printf("client %ld %ld\n", client.right, client.bottom);
        int id = firstId;
        for (const form::Control &c : form::controls) {
            RECT place;
            GetWindowRect(controlNamed(window, id++), &place);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&place), 2);
            std::printf("%.*s %ld %ld %ld %ld\n", int(c.name.size()), c.name.data(), place.left,
                place.top, place.right - place.left, place.bottom - place.top);
        }
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        std::printf("origin %ld %ld\n", origin.x, origin.y);
    } else if (command != L"wait") {
        return 2;
    }
    return 0;
}
