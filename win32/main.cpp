// Starts the program: its one window and the window's message loop.
#include "convqvr.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HWND window = Convqvr::create(instance);
    if (!window)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    // Files named on the command line, as Explorer's menu gives them: each
    // is converted as if dropped.
    int count = 0;
    if (wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::wstring> files(arguments + 1, arguments + count);
        LocalFree(arguments);
        if (!files.empty())
            Convqvr::from(window)->convertFiles(std::move(files));
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab moves between the box and the button, as in a dialog.
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return int(message.wParam);
}
