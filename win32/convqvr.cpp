// Builds the window at the fixed geometry of the form and wires its handlers.
#include "convqvr.h"

#include <form/form.h>

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <optional>

namespace {

const std::wstring className(form::name.begin(), form::name.end());
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT copyCommand = 1;
// A system menu command: its low four bits are the system's.
constexpr UINT chooseCommand = 0x10;

COLORREF colour(form::Colour c)
{
    return RGB(c.red, c.green, c.blue);
}

// Each kind of control as a standard Windows control.
struct Native
{
    const wchar_t *windowClass;
    DWORD style;
    DWORD extendedStyle;
};
Native native(form::Kind kind)
{
    switch (kind) {
    case form::Kind::Label:
    case form::Kind::Notice:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case form::Kind::Box:
        return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case form::Kind::Result:
        // Painted by the form; it takes mouse clicks for its context menu.
        return {L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY, 0};
    case form::Kind::Button:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    }
    return {};
}

int scaled(int pixels, UINT dpi)
{
    return MulDiv(pixels, int(dpi), 96);
}

// The clipboard shortcut that a key pressed now makes, if any.
std::optional<form::Edit> shortcutOf(WPARAM virtualKey)
{
    using form::Key;
    static const std::pair<WPARAM, Key> keys[]
        = {{'A', Key::A}, {'C', Key::C}, {'V', Key::V}, {'X', Key::X}, {'Y', Key::Y}, {'Z', Key::Z},
            {VK_INSERT, Key::Insert}, {VK_DELETE, Key::Delete}};
    const auto held = [](int key) { return GetKeyState(key) < 0; };
    for (const auto &[code, key] : keys) {
        if (code == virtualKey)
            return form::shortcut(key, held(VK_CONTROL), held(VK_SHIFT), held(VK_MENU));
    }
    return std::nullopt;
}

// The window's density: per monitor where Windows tells it (10 and later),
// otherwise the system's.
UINT densityOf(HWND window)
{
    using GetDpiForWindowFunction = UINT(WINAPI *)(HWND);
    static const auto getDpiForWindow
        = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow)
        return getDpiForWindow(window);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return UINT(dpi);
}

// Sizes are in pixels at 96 dpi, scaled with the window so that text and
// controls grow together.
HFONT makeFont(UINT dpi, form::Font font)
{
    return CreateFontW(-scaled(font.pixels, dpi), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
        font.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
        DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, wide(form::fontFace));
}

// The frame around a client area at the window's own density, where Windows
// can tell it (10 and later); otherwise at the system's, the only one there.
RECT frameAround(SIZE client, UINT dpi)
{
    using AdjustForDpi = BOOL(WINAPI *)(RECT *, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    RECT frame = {0, 0, client.cx, client.cy};
    if (adjustForDpi)
        adjustForDpi(&frame, windowStyle, FALSE, 0, dpi);
    else
        AdjustWindowRectEx(&frame, windowStyle, FALSE, 0);
    return frame;
}

// People with low vision turn high contrast on: the window then drops its
// picture and pinned colours for the system's.
bool highContrastOn()
{
    HIGHCONTRASTW setting = {sizeof setting, 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0)
        && (setting.dwFlags & HCF_HIGHCONTRASTON);
}

} // namespace

bool (*Convqvr::highContrast)() = highContrastOn;

HWND Convqvr::create(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"IDI_ICON1");
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"IDI_ICON1", IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    windowClass.lpszClassName = className.c_str();
    if (!GetClassInfoExW(instance, className.c_str(), &windowClass)
        && !RegisterClassExW(&windowClass))
        return nullptr;
    return CreateWindowExW(0, className.c_str(), wide(form::title), windowStyle, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

Convqvr *Convqvr::from(HWND window)
{
    return reinterpret_cast<Convqvr *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

Convqvr::Convqvr(HWND window_)
    : window(window_)
{
}

void Convqvr::nhc_KeyPress(int &KeyAscii)
{
    KeyAscii = form::filterKey(KeyAscii, form::characterCount(text(nhc)));
}

void Convqvr::nhc_Change()
{
    const std::u16string result = form::convertText(text(nhc));
    SetWindowTextW(control(qvr), wide(result));
}

void Convqvr::nhc_Click()
{
    SetWindowTextW(control(nhc), L"");
}

void Convqvr::Quitter_Click()
{
    DestroyWindow(window);
}

std::u16string Convqvr::text(ControlId id) const
{
    HWND handle = control(id);
    std::u16string text(size_t(GetWindowTextLengthW(handle)), u'\0');
    if (!text.empty()) {
        const int copied = GetWindowTextW(
            handle, reinterpret_cast<wchar_t *>(text.data()), int(text.size()) + 1);
        text.resize(size_t(copied));
    }
    return text;
}

void Convqvr::onCreate()
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    // The picture is drawn at its own size from the corner, so only its
    // top-left part shows; a pattern brush of it also backs the labels.
    const Gdi<HBITMAP> picture(
        static_cast<HBITMAP>(LoadImageW(instance, L"SKY", IMAGE_BITMAP, 0, 0, 0)));
    sky.reset(CreatePatternBrush(picture.get()));
    ControlId id = firstId;
    for (const form::Control &c : form::controls) {
        const Native made = native(c.kind);
        HWND handle = CreateWindowExW(made.extendedStyle, made.windowClass, wide(c.text),
            WS_CHILD | WS_VISIBLE | made.style, 0, 0, 0, 0, window,
            reinterpret_cast<HMENU>(INT_PTR(id++)), instance, nullptr);
        backings.emplace_back(c.backing ? CreateSolidBrush(colour(*c.backing)) : nullptr);
        if (c.kind == form::Kind::Result)
            SetWindowSubclass(handle, resultProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    HWND box = control(nhc);
    // No length limit of the box's own: the key filter limits what is typed.
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(box, boxProc, 0, reinterpret_cast<DWORD_PTR>(this));
    plain = highContrast();
    layOut(densityOf(window));
    // Files come dropped anywhere on the window, or chosen: Ctrl+O in the
    // box, or the entry the window's system menu gains.
    DragAcceptFiles(window, TRUE);
    HMENU system = GetSystemMenu(window, FALSE);
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, chooseCommand,
        (std::wstring(wide(form::fileEntry)) + L"\tCtrl+O").c_str());
}

void Convqvr::layOut(UINT dpi)
{
    density = dpi;
    // The old fonts go only once no control uses them.
    std::vector<Gdi<HFONT>> scaledFonts;
    ControlId id = firstId;
    for (const form::Control &c : form::controls) {
        HWND handle = control(id++);
        SetWindowPos(handle, nullptr, scaled(c.place.left, dpi), scaled(c.place.top, dpi),
            scaled(c.place.width, dpi), scaled(c.place.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        scaledFonts.emplace_back(makeFont(dpi, c.font));
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(scaledFonts.back().get()), TRUE);
    }
    fonts = std::move(scaledFonts);
    const RECT frame = frameAround({scaled(form::width, dpi), scaled(form::height, dpi)}, dpi);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}

// The colours the picture needs, or the system's under high contrast.
LRESULT Convqvr::onColour(UINT message, HDC dc, HWND child)
{
    const int id = GetDlgCtrlID(child);
    const auto index = std::size_t(id - firstId);
    if (plain || id < firstId || index >= form::controlCount)
        return DefWindowProcW(
            window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
    const form::Control &c = form::controls[index];
    if (c.ink)
        SetTextColor(dc, colour(*c.ink));
    if (c.backing) {
        SetBkColor(dc, colour(*c.backing));
        return reinterpret_cast<LRESULT>(backings[index].get());
    }
    // The labels are transparent: the sky shows through, as in the window.
    POINT corner = {0, 0};
    MapWindowPoints(child, window, &corner, 1);
    SetBrushOrgEx(dc, -corner.x, -corner.y, nullptr);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(sky.get());
}

void Convqvr::onContrastChange()
{
    const bool now = highContrast();
    if (now == plain)
        return;
    plain = now;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The result as a static control shows it, but with the indent of the form
// and its colours asked of the window like any static control's.
void Convqvr::paintResult(HWND result, HDC dc)
{
    RECT room;
    GetClientRect(result, &room);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(result)));
    FillRect(dc, &room, brush);
    const HGDIOBJ before
        = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(result, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    room.left += scaled(form::resultIndent, density);
    const std::u16string shown = text(qvr);
    DrawTextW(dc, wide(shown), int(shown.size()), &room,
        DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, before);
}

// A label's text cannot be selected on Windows: the menu copies it whole.
void Convqvr::copyResult()
{
    const std::u16string shown = text(qvr);
    if (shown.empty() || !OpenClipboard(window))
        return;
    EmptyClipboard();
    const size_t bytes = (shown.size() + 1) * sizeof(char16_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(memory), shown.c_str(), bytes);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory))
            GlobalFree(memory);
    }
    CloseClipboard();
}

void Convqvr::showResultMenu(POINT at)
{
    if (at.x == -1 && at.y == -1) { // from the keyboard: under the result
        RECT place;
        GetWindowRect(control(qvr), &place);
        at = {place.left, place.bottom};
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, text(qvr).empty() ? MF_STRING | MF_GRAYED : MF_STRING, copyCommand,
        wide(form::copyEntry));
    TrackPopupMenu(
        menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
}

// What the clipboard shortcuts do to the box, as its context menu does it,
// in the order of form::Edit. The box has one level of undo, which its own
// Undo takes back: it has no redo.
void Convqvr::edit(form::Edit action)
{
    DWORD start = 0, end = 0;
    SendMessageW(
        control(nhc), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (action == form::Edit::Copy && start == end)
        return copyResult();
    static constexpr std::pair<UINT, LPARAM> messages[]
        = {{WM_PASTE, 0}, {WM_COPY, 0}, {WM_CUT, 0}, {EM_UNDO, 0}, {0, 0}, {EM_SETSEL, -1}};
    const auto [message, lParam] = messages[std::size_t(action)];
    if (message)
        SendMessageW(control(nhc), message, 0, lParam);
}

LRESULT CALLBACK Convqvr::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Convqvr(window)));
    Convqvr *form = from(window);
    if (!form)
        return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        form->onCreate();
        return 0;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        SetBrushOrgEx(reinterpret_cast<HDC>(wParam), 0, 0, nullptr);
        FillRect(reinterpret_cast<HDC>(wParam), &client,
            form->plain ? GetSysColorBrush(COLOR_BTNFACE) : form->sky.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return form->onColour(
            message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == nhc && HIWORD(wParam) == EN_CHANGE)
            form->nhc_Change();
        else if (LOWORD(wParam) == Quitter && HIWORD(wParam) == BN_CLICKED)
            form->Quitter_Click();
        else if (LOWORD(wParam) == copyCommand && HIWORD(wParam) == 0 && !lParam)
            form->copyResult();
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != form->control(qvr))
            return DefWindowProcW(window, message, wParam, lParam);
        form->showResultMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_ACTIVATE:
        // The focus comes back where it was, the box at first, and only ever
        // to a control of this window.
        if (LOWORD(wParam) == WA_INACTIVE)
            form->focused = GetFocus();
        else
            SetFocus(IsChild(window, form->focused) ? form->focused : form->control(nhc));
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        form->onContrastChange();
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DPICHANGED: {
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        form->layOut(HIWORD(wParam));
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == chooseCommand) {
            form->files.choose();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DROPFILES:
        form->files.dropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    case FileConversions::progressMessage:
        form->files.showProgress(int(wParam));
        return 0;
    case FileConversions::doneMessage:
        form->files.finished(reinterpret_cast<rewriting::Told *>(lParam));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete form;
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Every character typed into the box goes through nhc_KeyPress; the clipboard
// shortcuts act on it; a left button press empties it.
LRESULT CALLBACK Convqvr::boxProc(
    HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    auto *form = reinterpret_cast<Convqvr *>(data);
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == 'O' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
            form->files.choose();
            return 0;
        }
        if (const auto action = shortcutOf(wParam)) {
            form->edit(*action);
            return 0;
        }
        break;
    case WM_CHAR: {
        int code = int(wParam);
        form->nhc_KeyPress(code);
        if (code == 0)
            return 0;
        wParam = WPARAM(code);
        break;
    }
    case WM_LBUTTONDOWN:
        form->nhc_Click();
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(box, boxProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

LRESULT CALLBACK Convqvr::resultProc(
    HWND result, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    auto *form = reinterpret_cast<Convqvr *>(data);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(result, &paint);
        form->paintResult(result, dc);
        EndPaint(result, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        form->paintResult(result, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(result, resultProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(result, message, wParam, lParam);
}
