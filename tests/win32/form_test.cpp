// The Win32 form in-process: its handlers, driven through the messages that
// Windows sends the box, and its layout, read back from its windows.
#include "convqvr.h"

#include <form/form.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

class Win32Form : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = Convqvr::create(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr);
        box = Convqvr::from(window)->control(nhc);
    }
    void TearDown() override { DestroyWindow(window); }

    std::wstring text(ControlId id) const
    {
        HWND control = Convqvr::from(window)->control(id);
        std::wstring text(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(size_t(GetWindowTextW(control, text.data(), int(text.size()))));
        return text;
    }
    void setBox(const std::wstring &content)
    {
        SetWindowTextW(box, content.c_str());
        SendMessageW(
            box, EM_SETSEL, WPARAM(content.size()), LPARAM(content.size())); // caret at the end
    }

    HWND control(ControlId id) const { return Convqvr::from(window)->control(id); }

    // A key pressed in the box with these keys held, as Windows delivers it:
    // the key, then the character it types, if any.
    void press(std::vector<int> held, int key, int typed = 0)
    {
        BYTE state[256] = {};
        for (int k : held)
            state[k] = 0x80;
        SetKeyboardState(state);
        SendMessageW(box, WM_KEYDOWN, WPARAM(key), 0);
        if (typed)
            SendMessageW(box, WM_CHAR, WPARAM(typed), 0);
        std::fill(std::begin(state), std::end(state), 0);
        SetKeyboardState(state);
    }

    void setClipboard(const std::wstring &content)
    {
        ASSERT_TRUE(OpenClipboard(window));
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (content.size() + 1) * sizeof(wchar_t));
        std::copy_n(
            content.c_str(), content.size() + 1, static_cast<wchar_t *>(GlobalLock(memory)));
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }

    std::wstring clipboard() const
    {
        std::wstring content;
        if (OpenClipboard(window)) {
            if (HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
                content = static_cast<const wchar_t *>(GlobalLock(memory));
                GlobalUnlock(memory);
            }
            CloseClipboard();
        }
        return content;
    }

    HWND window = nullptr;
    HWND box = nullptr;
};

std::wstring converted(const std::wstring &text)
{
    const std::u16string result
        = form::convertText({reinterpret_cast<const char16_t *>(text.data()), text.size()});
    return {result.begin(), result.end()};
}

// What WM_CHAR does to the box for every code and every length of its text:
// digits reach a box of fewer than 8 characters, Backspace always passes,
// everything else is swallowed. Lengths count characters, so a character
// outside the BMP (two UTF-16 units) counts once.
TEST_F(Win32Form, KeyFilterOverEveryCodeAndLength)
{
    for (const bool telephone : {false, true}) {
        for (size_t length = telephone ? 2 : 0; length <= 10; ++length) {
            const std::wstring before
                = (telephone ? L"\U0001F4DE" : L"") + std::wstring(length - telephone, L'4');
            for (int code = 0; code < 300; ++code) {
                setBox(before);
                SendMessageW(box, WM_CHAR, WPARAM(code), 0);
                std::wstring expected = before;
                if (code >= '0' && code <= '9' && length < form::typedLimit)
                    expected += wchar_t(code);
                else if (code == form::backspaceCode && length > 0)
                    expected.pop_back();
                ASSERT_EQ(text(nhc), expected) << "code " << code << ", length " << length;
            }
        }
    }
}

// Every change of the box, however made, shows its conversion.
TEST_F(Win32Form, ChangeShowsTheConversion)
{
    const struct
    {
        std::wstring typed, shown;
    } cases[] = {
        {L"4", L"4"},
        {L"45", L"05.45..."},
        {L"42123456", L"04.42.12.34.56"},
        {L"05123456", L"0800.12.34.56."},
        {L"19441234", L"00441234"},
        {L"11", L"3611"},
        {L"16145678901", L"01.45.67.89.01"},
        {L"52123456", L"??????????"},
        {L"45\U0001F4DE9", L"05.45.\U0001F4DE9.."},
        {L"", L""},
    };
    for (const auto &c : cases) {
        SetWindowTextW(box, c.typed.c_str());
        EXPECT_EQ(text(qvr), c.shown) << c.typed.size() << " characters typed";
    }
    // A paste of tens of thousands of characters is converted whole.
    const std::wstring pasted = L"36" + std::wstring(40000, L'7');
    SetWindowTextW(box, pasted.c_str());
    EXPECT_EQ(text(qvr), pasted);
}

TEST_F(Win32Form, ClickEmptiesTheBoxAndTheResult)
{
    setBox(L"42123456");
    ASSERT_EQ(text(qvr), L"04.42.12.34.56");
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(text(nhc), L"");
    EXPECT_EQ(text(qvr), L"");
}

// Every text fits its control, measured with the control's own font at the
// window's density (the tests run at 96 and 144 dpi).
TEST_F(Win32Form, EveryTextFitsItsControl)
{
    const struct
    {
        ControlId id;
        std::wstring text;
        UINT format;
    } texts[] = {
        {idOf("Label1"), text(idOf("Label1")), DT_SINGLELINE},
        {idOf("Label2"), text(idOf("Label2")), DT_SINGLELINE},
        {idOf("Label3"), text(idOf("Label3")), DT_WORDBREAK},
        {Quitter, text(Quitter), DT_SINGLELINE},
        {nhc, L"88888888", DT_SINGLELINE},
        {qvr, L"0800.12.34.56.", DT_SINGLELINE},
        {qvr, L"04.42.12.34.56", DT_SINGLELINE},
        {qvr, L"??????????", DT_SINGLELINE},
        {qvr, L"00.00.00.00.00", DT_SINGLELINE},
    };
    for (const auto &t : texts) {
        HWND control = Convqvr::from(window)->control(t.id);
        RECT room;
        if (t.id == nhc)
            SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
        else
            GetClientRect(control, &room);
        if (t.id == Quitter)
            InflateRect(&room, -2, -2); // the button's own edges
        HDC dc = GetDC(control);
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
        RECT needed = room;
        DrawTextW(dc, t.text.c_str(), -1, &needed, DT_CALCRECT | DT_NOPREFIX | t.format);
        ReleaseDC(control, dc);
        EXPECT_LE(needed.right - needed.left, room.right - room.left) << t.id;
        EXPECT_LE(needed.bottom - needed.top, room.bottom - room.top) << t.id;
    }
}

// The clipboard shortcuts act on the box as its context menu does, and the
// characters they type are discarded by the key filter; the result follows.
TEST_F(Win32Form, ClipboardShortcutsActOnTheBox)
{
    enum { V = 'V', C = 'C', X = 'X', A = 'A', Z = 'Z' };
    const int ctrl = VK_CONTROL, shift = VK_SHIFT, alt = VK_MENU;
    const struct Press
    {
        std::vector<int> held;
        int key;
        int typed;
    } paste = {{ctrl}, V, 0x16}, selectAll = {{ctrl}, A, 0x01};
    const struct
    {
        std::wstring box, clipboard;
        std::vector<Press> presses;
        std::wstring boxAfter, clipboardAfter;
    } cases[] = {
        {L"42", L"123456", {paste}, L"42123456", L"123456"},
        {L"4", L"16145678901", {{{shift}, VK_INSERT, 0}}, L"416145678901", L"16145678901"},
        {L"4212", L"", {selectAll, {{ctrl}, C, 0x03}}, L"4212", L"4212"},
        {L"4212", L"", {selectAll, {{ctrl}, VK_INSERT, 0}}, L"4212", L"4212"},
        {L"4212", L"", {selectAll, {{ctrl}, X, 0x18}}, L"", L"4212"},
        {L"4212", L"", {selectAll, {{shift}, VK_DELETE, 0}}, L"", L"4212"},
        {L"42", L"99", {paste, {{ctrl}, Z, 0x1a}}, L"42", L"99"},
        // AltGr, which Windows reports as Ctrl+Alt, types; it is no shortcut.
        {L"42", L"99", {{{ctrl, alt}, V, 0}}, L"42", L"99"},
        // No limit of the box's own: a long paste reaches it whole.
        {L"", L"19" + std::wstring(39998, L'7'), {paste}, L"19" + std::wstring(39998, L'7'),
            L"19" + std::wstring(39998, L'7')},
    };
    for (const auto &c : cases) {
        setBox(c.box);
        setClipboard(c.clipboard);
        for (const Press &p : c.presses)
            press(p.held, p.key, p.typed);
        EXPECT_EQ(text(nhc), c.boxAfter) << c.presses.back().key;
        EXPECT_EQ(clipboard(), c.clipboardAfter) << c.presses.back().key;
        EXPECT_EQ(text(qvr), converted(c.boxAfter));
    }
    EXPECT_EQ(text(qvr), L"00" + std::wstring(39998, L'7'));
}

// The result's menu copies it whole: a label's text cannot be selected here.
TEST_F(Win32Form, CopierCopiesTheResult)
{
    setClipboard(L"earlier");
    Convqvr::from(window)->copyResult();
    EXPECT_EQ(clipboard(), L"earlier") << "an empty result copies nothing";
    setBox(L"42123456");
    Convqvr::from(window)->copyResult();
    EXPECT_EQ(clipboard(), L"04.42.12.34.56");
}

// Under high contrast the window drops the picture and its pinned colours for
// the system's, and takes them back when it is turned off, while it is open.
TEST_F(Win32Form, HighContrastUsesTheSystemsColours)
{
    static bool contrast = false;
    Convqvr::highContrast = [] { return contrast; };
    setBox(L"42123456");
    const auto pixels = [](HWND target, auto draw) {
        RECT area;
        GetClientRect(target, &area);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
        ReleaseDC(nullptr, screen);
        HGDIOBJ before = SelectObject(dc, bitmap);
        draw(dc);
        std::vector<COLORREF> seen;
        for (int y = 0; y < area.bottom; ++y)
            for (int x = 0; x < area.right; ++x)
                seen.push_back(GetPixel(dc, x, y));
        SelectObject(dc, before);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return seen;
    };
    const COLORREF red = RGB(255, 0, 0), face = GetSysColor(COLOR_BTNFACE);
    for (const bool on : {true, false, true}) {
        contrast = on;
        SendMessageW(window, on ? WM_SETTINGCHANGE : WM_SYSCOLORCHANGE, SPI_SETHIGHCONTRAST, 0);
        const auto background
            = pixels(window, [&](HDC dc) { SendMessageW(window, WM_ERASEBKGND, WPARAM(dc), 0); });
        const auto result = pixels(control(qvr),
            [&](HDC dc) { SendMessageW(control(qvr), WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT); });
        COLORREF labelInk = 0;
        pixels(control(idOf("Label1")), [&](HDC dc) {
            SendMessageW(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(control(idOf("Label1"))));
            labelInk = GetTextColor(dc);
        });
        const COLORREF corner = background.front();
        const bool sky = GetBValue(corner) > GetRValue(corner) + 40;
        EXPECT_EQ(sky, !on) << "the picture, high contrast " << on;
        if (on) {
            EXPECT_EQ(corner, face);
        }
        EXPECT_EQ(labelInk, on ? GetSysColor(COLOR_WINDOWTEXT) : RGB(16, 24, 48));
        EXPECT_EQ(std::count(result.begin(), result.end(), red) > 20, !on) << "red, " << on;
        EXPECT_EQ(result.front() == RGB(235, 243, 252), !on) << "the backing, " << on;
    }
    Convqvr::highContrast = [] { return false; };
}

// Moved to a screen of another density, the window lays itself out for it:
// its frame is the one Windows draws at that density around the form's
// client area, and every control and font is scaled.
TEST_F(Win32Form, FollowsItsWindowToAnotherDensity)
{
    using AdjustForDpi = BOOL(WINAPI *)(RECT *, DWORD, BOOL, DWORD, UINT);
    const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (!adjustForDpi)
        GTEST_SKIP() << "no densities per window on this Windows";
    HDC screen = GetDC(nullptr);
    const UINT here = UINT(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    for (const UINT dpi : {here == 96 ? 192u : 96u, here}) {
        RECT suggested = {50, 60, 0, 0};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), LPARAM(&suggested));
        const auto scale = [dpi](int pixels) { return MulDiv(pixels, int(dpi), 96); };
        RECT frame, expected = {0, 0, scale(210), scale(161)};
        GetWindowRect(window, &frame);
        adjustForDpi(&expected, DWORD(GetWindowLongW(window, GWL_STYLE)), FALSE,
            DWORD(GetWindowLongW(window, GWL_EXSTYLE)), dpi);
        EXPECT_EQ(frame.right - frame.left, expected.right - expected.left) << dpi;
        EXPECT_EQ(frame.bottom - frame.top, expected.bottom - expected.top) << dpi;
        EXPECT_EQ(frame.left, 50);
        RECT place;
        GetWindowRect(box, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&place), 2);
        EXPECT_EQ(place.left, scale(24));
        EXPECT_EQ(place.right - place.left, scale(81));
        LOGFONTW font;
        GetObjectW(HGDIOBJ(SendMessageW(box, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -scale(16));
    }
}

// The focus comes back where it was when the window is activated again, but
// never to a window that is not one of its controls.
TEST_F(Win32Form, FocusComesBackOnlyToItsOwnControls)
{
    ShowWindow(window, SW_SHOW);
    HWND stranger = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 50, 20,
        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    for (HWND before : {control(Quitter), stranger, box}) {
        SetFocus(before);
        SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
        SetFocus(nullptr);
        SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
        EXPECT_EQ(GetFocus(), before == stranger ? box : before);
    }
    DestroyWindow(stranger);
}

TEST_F(Win32Form, TabMovesBetweenTheBoxAndTheButtonOnly)
{
    HWND button = Convqvr::from(window)->control(Quitter);
    EXPECT_EQ(GetNextDlgTabItem(window, box, FALSE), button);
    EXPECT_EQ(GetNextDlgTabItem(window, button, FALSE), box);
}

// What a file holds, or "(absent)".
std::string bytesOf(const std::wstring &path)
{
    std::ifstream in(std::string(path.begin(), path.end()), std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(absent)";
}

// Answers the window's dialogs from another thread, as a user would: the
// save dialog's proposal is taken; the dialog that says what was done is
// read, then closed.
struct Answerer
{
    std::wstring name, told;
    std::u16string_view title = form::saveTitle;
    int button = IDOK;

    static DWORD WINAPI answer(void *self)
    {
        auto *a = static_cast<Answerer *>(self);
        const auto *title = reinterpret_cast<const wchar_t *>(a->title.data());
        for (int tries = 0; tries < 3000 && a->told.empty(); ++tries, Sleep(10)) {
            HWND dialog = FindWindowW(L"#32770", title);
            if (!dialog || !IsWindowVisible(dialog))
                continue;
            wchar_t said[512] = L"";
            GetDlgItemTextW(dialog, 1001, said, 512);
            if (a->name.empty())
                a->told = title;
            else if (std::wstring(said).starts_with(a->name + L" "))
                a->told = said;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(a->button, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(dialog, a->button)));
            Sleep(300);
        }
        return 0;
    }
};

// Ctrl+O in the box and the entry of the system menu each ask for a file.
TEST_F(Win32Form, CtrlOAndTheSystemMenuAskForAFile)
{
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
        ;
    HMENU menu = GetSystemMenu(window, FALSE);
    wchar_t entry[64] = L"";
    GetMenuStringW(menu, UINT(GetMenuItemCount(menu) - 1), entry, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(entry), L"Convertir un fichier…\tCtrl+O");
    const UINT command = GetMenuItemID(menu, GetMenuItemCount(menu) - 1);
    const std::function<void()> asks[] = {[&] { press({VK_CONTROL}, 'O', 0x0F); },
        [&] { SendMessageW(window, WM_SYSCOMMAND, command, 0); }};
    for (const auto &ask : asks) {
        Answerer answerer{{}, {}, form::chooseTitle, IDCANCEL};
        HANDLE thread = CreateThread(nullptr, 0, Answerer::answer, &answerer, 0, nullptr);
        ask();
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_EQ(answerer.told, L"Convertir un fichier");
        EXPECT_EQ(text(nhc), L""); // Ctrl+O types nothing
    }
}

// A file dropped on the window, as Explorer drops it: a WM_DROPFILES with
// its own HDROP. It is saved where the dialog proposes, beside itself.
TEST_F(Win32Form, DroppedFileIsSavedBesideItself)
{
    // The quit that each closed window of the tests before posted would end
    // the first dialog's own loop at once.
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
        ;
    wchar_t temporary[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    const std::wstring scratch
        = temporary + std::wstring(L"convqvr-drop-") + std::to_wstring(GetTickCount64()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(scratch.c_str(), nullptr));
    std::wstring files(L"" CONVQVR_TEST_FILES);
    std::replace(files.begin(), files.end(), L'/', L'\\');
    const std::pair<std::wstring, std::wstring> cases[]
        = {{L"iphone.vcf", L"iphone.vcf (vCard) : convertis 2, laissés tels quels 2, signalés 0."},
            {L"membres.xlsx",
                L"membres.xlsx (classeur) : convertis 6, laissés tels quels 1, signalés 1."}};
    for (const auto &[name, said] : cases) {
        const std::wstring path = scratch + name;
        ASSERT_TRUE(CopyFileW((files + L"\\" + name).c_str(), path.c_str(), TRUE));
        const std::string before = bytesOf(path);
        // DROPFILES, then the name, ended, and an empty one.
        const std::size_t size = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
        HGLOBAL drop = GlobalAlloc(GHND, size);
        auto *head = static_cast<DROPFILES *>(GlobalLock(drop));
        head->pFiles = sizeof(DROPFILES);
        head->fWide = TRUE;
        std::copy(path.begin(), path.end(), reinterpret_cast<wchar_t *>(head + 1));
        GlobalUnlock(drop);

        Answerer answerer{name, {}};
        HANDLE thread = CreateThread(nullptr, 0, Answerer::answer, &answerer, 0, nullptr);
        SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        while (WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
            for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);)
                DispatchMessageW(&message);
        }
        CloseHandle(thread);
        EXPECT_EQ(answerer.told, said);
        const std::wstring stem = name.substr(0, name.rfind(L'.'));
        const std::wstring converted = scratch + stem + L"-converti" + name.substr(stem.size());
        EXPECT_EQ(bytesOf(converted), bytesOf(files + L"\\expected\\" + name));
        EXPECT_EQ(bytesOf(path), before);
        DeleteFileW(path.c_str());
        DeleteFileW(converted.c_str());
    }
    RemoveDirectoryW(scratch.c_str());
}

} // namespace
