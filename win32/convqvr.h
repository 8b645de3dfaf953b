// The program's one window in plain Win32: the input box, the result and the button.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The controls' identifiers carry the controls' names.
enum ControlId : int { Label1 = 101, Label2, nhc, qvr, Label3, Quitter };

class Convqvr
{
public:
    // Registers the window class once and makes the window, hidden.
    static HWND create(HINSTANCE instance);
    // The form behind a window made by create().
    static Convqvr *from(HWND window);

    // The handlers of the form. nhc_KeyPress gets the code of one character
    // typed into nhc before the box takes it, and sets it to 0 to discard it.
    void nhc_KeyPress(int &KeyAscii);
    void nhc_Change();
    void nhc_Click();
    void Quitter_Click();

    HWND control(ControlId id) const { return GetDlgItem(window, id); }

private:
    struct GdiDeleter
    {
        void operator()(HGDIOBJ object) const { DeleteObject(object); }
    };
    template <typename T> using Gdi = std::unique_ptr<std::remove_pointer_t<T>, GdiDeleter>;

    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK boxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    explicit Convqvr(HWND window);
    void onCreate();
    void layOut(UINT dpi);
    LRESULT onColour(HDC dc, HWND child);
    std::u16string text(ControlId id) const;

    HWND window;
    HWND focused = nullptr;
    Gdi<HBRUSH> sky;
    Gdi<HBRUSH> resultBacking;
    Gdi<HBRUSH> boxBacking;
    std::vector<Gdi<HFONT>> fonts; // one a control, in the order of the form
};
