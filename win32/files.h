// Whole files given to the window, one after another: dropped on it, chosen
// from its system menu or with Ctrl+O, or named on its command line. Each is
// saved where the user says, converted off the window's thread.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

namespace rewriting {
struct Told;
}

class FileConversions
{
public:
    // The messages the converting thread posts to the window.
    static constexpr UINT progressMessage = WM_APP + 1; // wParam: percent
    static constexpr UINT doneMessage = WM_APP + 2;     // lParam: a rewriting::Told to take

    explicit FileConversions(HWND window);
    // A window that closes gives up the file it converts: nothing is kept.
    ~FileConversions();

    void add(std::vector<std::wstring> paths);
    void choose();
    void dropped(HDROP drop);

    void showProgress(int percent);
    void finished(rewriting::Told *told);

private:
    void next();
    void start(const std::wstring &path, const std::wstring &target);

    HWND window;
    std::deque<std::wstring> waiting;
    std::wstring shownName; // of the file converting, in the window's title
    HANDLE worker = nullptr;
    std::atomic<bool> stopping = false;
};
