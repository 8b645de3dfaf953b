// The program's one window in plain Win32: the input box, the result and the button.
#pragma once

#include "files.h"
#include <form/declaration.h>

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The form's texts as Windows takes them: UTF-16 already, each ended by a NUL.
inline const wchar_t *wide(std::u16string_view text)
{
    return reinterpret_cast<const wchar_t *>(text.data());
}

// A control's identifier is its place in the form, from 101 on.
using ControlId = int;
inline constexpr ControlId firstId = 101;
consteval ControlId idOf(std::string_view name)
{
    return firstId + ControlId(form::indexOf(name));
}
inline constexpr ControlId nhc = idOf("nhc"), qvr = idOf("qvr"), Quitter = idOf("Quitter");

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

    // The result's context menu: copies the whole result.
    void copyResult();

    // Whole files, each converted into a file the user names; as a drop.
    void convertFiles(std::vector<std::wstring> paths) { files.add(std::move(paths)); }

    // Where the window reads the system's high contrast setting; a test, on a
    // Windows that cannot change it, reads its own.
    static bool (*highContrast)();

private:
    struct GdiDeleter
    {
        void operator()(HGDIOBJ object) const { DeleteObject(object); }
    };
    template <typename T> using Gdi = std::unique_ptr<std::remove_pointer_t<T>, GdiDeleter>;

    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK boxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK resultProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    explicit Convqvr(HWND window);
    void onCreate();
    void layOut(UINT dpi);
    LRESULT onColour(UINT message, HDC dc, HWND child);
    void onContrastChange();
    void paintResult(HWND result, HDC dc);
    void showResultMenu(POINT at);
    void edit(form::Edit action);
    std::u16string text(ControlId id) const;

    HWND window;
    FileConversions files{window};
    HWND focused = nullptr;
    UINT density = 96;
    bool plain = false; // high contrast: the system's colours, no picture
    Gdi<HBRUSH> sky;
    std::vector<Gdi<HBRUSH>> backings; // one a control, in the order of the form
    std::vector<Gdi<HFONT>> fonts;     // likewise
};
