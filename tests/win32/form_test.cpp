// The Win32 form in-process: its handlers, driven through the messages that
// Windows sends the box, and its layout, read back from its windows.
#include "convqvr.h"

#include <form/form.h>

#include <gtest/gtest.h>

#include <string>

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

    HWND window = nullptr;
    HWND box = nullptr;
};

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
        {Label1, text(Label1), DT_SINGLELINE},
        {Label2, text(Label2), DT_SINGLELINE},
        {Label3, text(Label3), DT_WORDBREAK},
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

TEST_F(Win32Form, TabMovesBetweenTheBoxAndTheButtonOnly)
{
    HWND button = Convqvr::from(window)->control(Quitter);
    EXPECT_EQ(GetNextDlgTabItem(window, box, FALSE), button);
    EXPECT_EQ(GetNextDlgTabItem(window, button, FALSE), box);
}

} // namespace
