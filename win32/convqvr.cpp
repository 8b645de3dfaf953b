// Builds the window at the fixed geometry of the form and wires its handlers.
#include "convqvr.h"

#include <form/form.h>
#include <form/version.h>

#include <commctrl.h>

namespace {

const wchar_t className[] = L"Convqvr";
const wchar_t title[] = L"Conversion QVR   V" CONVQVR_TITLE_VERSION;
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr SIZE clientSize = {210, 161}; // pixels at 96 dpi

const COLORREF ink = RGB(16, 24, 48);
const COLORREF red = RGB(255, 0, 0);
const COLORREF backing = RGB(235, 243, 252); // the pale backing of the result

// The form's controls at their pixels for 96 dpi. Screen readers name a box
// after the label just before it, so each label comes right before what it
// labels; of the controls that take the focus, nhc still comes first.
struct Control
{
    ControlId id;
    const wchar_t *kind;
    const wchar_t *text;
    RECT place; // left, top, width, height
    DWORD style;
    DWORD extendedStyle;
    int fontPixels; // MS Sans Serif at 96 dpi: 8.25, 12 and 18 points
    bool bold;
    bool underline;
};
const Control controls[] = {
    {Label1, L"STATIC", L"Numéro à 8 chiffres", {16, 8, 121, 17}, SS_LEFT | SS_NOPREFIX, 0, 11,
        true, true},
    {nhc, L"EDIT", L"", {24, 24, 81, 24}, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
        16, false, false},
    {Label2, L"STATIC", L"Numéro à dix chiffres", {16, 56, 177, 25}, SS_LEFT | SS_NOPREFIX, 0, 16,
        true, true},
    // Left-aligned without wrapping, so that a long result shows its start.
    {qvr, L"STATIC", L"", {16, 80, 177, 33}, SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_CENTERIMAGE, 0,
        24, true, false},
    {Label3, L"STATIC", L"Conversion QVR est écrit par l'équipe de Conversion QVR, ses auteurs.",
        {8, 120, 201, 41}, SS_LEFT | SS_NOPREFIX, 0, 11, false, false},
    {Quitter, L"BUTTON", L"Quitter", {128, 32, 65, 17}, BS_PUSHBUTTON | WS_TABSTOP, 0, 11, false,
        false},
};

int scaled(int pixels, UINT dpi)
{
    return MulDiv(pixels, int(dpi), 96);
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
HFONT makeFont(UINT dpi, int pixels, bool bold, bool underline)
{
    return CreateFontW(-scaled(pixels, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline,
        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

} // namespace

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
    windowClass.lpszClassName = className;
    if (!GetClassInfoExW(instance, className, &windowClass) && !RegisterClassExW(&windowClass))
        return nullptr;
    return CreateWindowExW(0, className, title, windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
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
    SetWindowTextW(control(qvr), reinterpret_cast<const wchar_t *>(result.c_str()));
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
    resultBacking.reset(CreateSolidBrush(backing));
    boxBacking.reset(CreateSolidBrush(RGB(255, 255, 255)));
    for (const Control &c : controls) {
        CreateWindowExW(c.extendedStyle, c.kind, c.text, WS_CHILD | WS_VISIBLE | c.style, 0, 0, 0,
            0, window, reinterpret_cast<HMENU>(INT_PTR(c.id)), instance, nullptr);
    }
    HWND box = control(nhc);
    // No length limit of the box's own: the key filter limits what is typed.
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(box, boxProc, 0, reinterpret_cast<DWORD_PTR>(this));
    layOut(densityOf(window));
}

void Convqvr::layOut(UINT dpi)
{
    // The old fonts go only once no control uses them.
    std::vector<Gdi<HFONT>> scaledFonts;
    for (const Control &c : controls) {
        HWND handle = control(c.id);
        SetWindowPos(handle, nullptr, scaled(c.place.left, dpi), scaled(c.place.top, dpi),
            scaled(c.place.right, dpi), scaled(c.place.bottom, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        scaledFonts.emplace_back(makeFont(dpi, c.fontPixels, c.bold, c.underline));
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(scaledFonts.back().get()), TRUE);
    }
    fonts = std::move(scaledFonts);
    RECT frame = {0, 0, scaled(clientSize.cx, dpi), scaled(clientSize.cy, dpi)};
    AdjustWindowRectEx(&frame, windowStyle, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
}

// Everything drawn over the sky keeps the colours the picture needs: dark
// ink on the sky, black on the white box, red on the result's backing.
LRESULT Convqvr::onColour(HDC dc, HWND child)
{
    switch (GetDlgCtrlID(child)) {
    case nhc:
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(boxBacking.get());
    case qvr:
        SetTextColor(dc, red);
        SetBkColor(dc, backing);
        return reinterpret_cast<LRESULT>(resultBacking.get());
    default: {
        // The labels are transparent: the sky shows through, as in the window.
        POINT corner = {0, 0};
        MapWindowPoints(child, window, &corner, 1);
        SetBrushOrgEx(dc, -corner.x, -corner.y, nullptr);
        SetTextColor(dc, ink);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(sky.get());
    }
    }
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
        FillRect(reinterpret_cast<HDC>(wParam), &client, form->sky.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return form->onColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == nhc && HIWORD(wParam) == EN_CHANGE)
            form->nhc_Change();
        else if (LOWORD(wParam) == Quitter && HIWORD(wParam) == BN_CLICKED)
            form->Quitter_Click();
        return 0;
    case WM_ACTIVATE:
        // The focus comes back where it was, the box at first.
        if (LOWORD(wParam) == WA_INACTIVE)
            form->focused = GetFocus();
        else
            SetFocus(form->focused ? form->focused : form->control(nhc));
        return 0;
    case WM_DPICHANGED: {
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
            SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        form->layOut(HIWORD(wParam));
        return 0;
    }
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

// Every character typed into the box goes through nhc_KeyPress; a left
// button press empties it.
LRESULT CALLBACK Convqvr::boxProc(
    HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    auto *form = reinterpret_cast<Convqvr *>(data);
    switch (message) {
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
