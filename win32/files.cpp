// Whole files given to the window: the save dialog, the converting thread,
// the window's title as progress, and the dialog that says what was done.
#include "files.h"

#include "convqvr.h"
#include <rewriting/whole_file.h>

#include <commdlg.h>
#include <shellapi.h>

namespace {

std::wstring fromUtf8(std::string_view text)
{
    std::wstring wide(
        std::size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), int(wide.size()));
    return wide;
}

std::string toUtf8(std::wstring_view text)
{
    std::string bytes(std::size_t(WideCharToMultiByte(
                          CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), int(bytes.size()),
        nullptr, nullptr);
    return bytes;
}

// The system's words for an error, without their line end.
std::string systemSaid(DWORD error)
{
    wchar_t *said = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&said), 0, nullptr);
    std::wstring text = said ? said : L"erreur " + std::to_wstring(error);
    LocalFree(said);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.pop_back();
    return toUtf8(text);
}

std::wstring fileName(const std::wstring &path)
{
    return path.substr(path.find_last_of(L"\\/") + 1);
}

// The file read, and the one written beside its target under a name of its
// own, which takes the target's place only once complete.
class WindowsFiles : public rewriting::FileAccess
{
public:
    WindowsFiles(const std::wstring &path, const std::wstring &target_, HWND window_,
        const std::atomic<bool> &stopping_)
        : target(target_)
        , window(window_)
        , stopping(stopping_)
    {
        in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        failure = GetLastError();
    }
    ~WindowsFiles() override
    {
        if (in != INVALID_HANDLE_VALUE)
            CloseHandle(in);
        if (out != INVALID_HANDLE_VALUE) {
            CloseHandle(out);
            DeleteFileW(temporary.c_str());
        }
    }

    bool open()
    {
        if (in == INVALID_HANDLE_VALUE)
            return false;
        const std::wstring folder = target.substr(0, target.find_last_of(L"\\/") + 1);
        wchar_t name[MAX_PATH];
        if (!GetTempFileNameW(folder.empty() ? L"." : folder.c_str(), L"qvr", 0, name))
            return failed();
        temporary = name;
        out = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        return out != INVALID_HANDLE_VALUE || (DeleteFileW(name), failed());
    }

    // The written file in the target's place, replacing it.
    bool commit()
    {
        const bool closed = CloseHandle(out);
        out = INVALID_HANDLE_VALUE;
        if (closed && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        failed();
        DeleteFileW(temporary.c_str());
        return false;
    }

    long read(char *to, std::size_t size) override
    {
        DWORD got = 0;
        return ReadFile(in, to, DWORD(size), &got, nullptr) ? long(got) : (failed(), -1);
    }
    bool rewind() override
    {
        return SetFilePointer(in, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER || failed();
    }
    std::uint64_t size() override
    {
        LARGE_INTEGER size = {};
        GetFileSizeEx(in, &size);
        return std::uint64_t(size.QuadPart);
    }
    bool write(std::string_view bytes) override
    {
        DWORD wrote = 0;
        return (WriteFile(out, bytes.data(), DWORD(bytes.size()), &wrote, nullptr)
                   && wrote == bytes.size())
            || failed();
    }
    std::string error() override { return systemSaid(failure); }
    void progress(double done) override
    {
        const int percent = int(done * 100);
        if (percent != shown)
            PostMessageW(window, FileConversions::progressMessage, WPARAM(shown = percent), 0);
    }
    bool stopped() override { return stopping; }

private:
    bool failed()
    {
        failure = GetLastError();
        return false;
    }

    std::wstring target, temporary;
    HWND window;
    const std::atomic<bool> &stopping;
    HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
    DWORD failure = 0;
    int shown = -1;
};

struct Job
{
    std::wstring path, target;
    HWND window;
    const std::atomic<bool> *stopping;
};

// Only one file converts at a time, so the reading code's statics are never
// first reached by two threads at once.
DWORD WINAPI convert(void *given)
{
    const Job *job = static_cast<Job *>(given);
    auto *told = new rewriting::Told;
    const std::string name = toUtf8(fileName(job->path));
    WindowsFiles files(job->path, job->target, job->window, *job->stopping);
    if (!files.open()) {
        told->said = name + " : " + files.error() + ".";
    } else {
        *told = rewriting::convertWhole(name, files);
        if (told->written && !files.commit())
            *told = {false, name + " : l'écriture a échoué (" + files.error() + ").", {}, 0};
    }
    if (!PostMessageW(job->window, FileConversions::doneMessage, 0, reinterpret_cast<LPARAM>(told)))
        delete told;
    delete job;
    return 0;
}

constexpr int saidId = 1001, reportsId = 1002;

// What was done, as the page's panel says it: the counts, then the reports.
INT_PTR CALLBACK toldProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const auto *told = reinterpret_cast<const rewriting::Told *>(lParam);
        SetWindowTextW(dialog, wide(form::saveTitle));
        SetDlgItemTextW(dialog, saidId, fromUtf8(told->said).c_str());
        std::string reports;
        for (const std::string &line : told->reports)
            reports += line + "\r\n";
        SetDlgItemTextW(dialog, reportsId, fromUtf8(reports).c_str());
        if (told->reports.empty())
            ShowWindow(GetDlgItem(dialog, reportsId), SW_HIDE);
        // On OK, not in the reports, which would show all selected.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

FileConversions::FileConversions(HWND window_)
    : window(window_)
{
}

FileConversions::~FileConversions()
{
    stopping = true;
    if (worker) {
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }
}

void FileConversions::add(std::vector<std::wstring> paths)
{
    // Named at start, a path may be relative: its folder is the proposal's.
    for (std::wstring &path : paths) {
        wchar_t full[32768];
        const DWORD length = GetFullPathNameW(path.c_str(), DWORD(std::size(full)), full, nullptr);
        if (length > 0 && length < std::size(full))
            path = full;
    }
    waiting.insert(waiting.end(), paths.begin(), paths.end());
    if (!worker)
        next();
}

void FileConversions::dropped(HDROP drop)
{
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), UINT(path.size())));
        paths.push_back(path);
    }
    DragFinish(drop);
    add(std::move(paths));
}

void FileConversions::choose()
{
    // The known kinds, then every file: "Carnets… (*.vcf;…)\0*.vcf;…\0".
    std::wstring patterns;
    for (const rewriting::FormatFacts &facts : rewriting::formats) {
        for (std::string_view extension : facts.extensions) {
            if (!extension.empty())
                patterns += (patterns.empty() ? L"*." : L";*.") + fromUtf8(extension);
        }
    }
    const std::wstring filters = std::wstring(wide(form::knownFiles)) + L" (" + patterns + L")"
        + L'\0' + patterns + L'\0' + wide(form::allFiles) + L" (*.*)" + L'\0' + L"*.*" + L'\0';
    wchar_t path[32768] = L"";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = DWORD(std::size(path));
    dialog.lpstrTitle = wide(form::chooseTitle);
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&dialog))
        add({path});
}

void FileConversions::next()
{
    while (!worker && !waiting.empty()) {
        const std::wstring path = waiting.front();
        waiting.pop_front();
        wchar_t target[32768];
        const std::wstring proposed = fromUtf8(rewriting::convertedName(toUtf8(fileName(path))));
        // The proposal with its folder: a name with a path is where every
        // Windows since 2000 opens the dialog, before any folder it remembers.
        const std::wstring folder = path.substr(0, path.size() - fileName(path).size());
        lstrcpynW(target, (folder + proposed).c_str(), int(std::size(target)));
        OPENFILENAMEW dialog = {};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = window;
        dialog.lpstrFile = target;
        dialog.nMaxFile = DWORD(std::size(target));
        dialog.lpstrTitle = wide(form::saveTitle);
        dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
        if (!GetSaveFileNameW(&dialog))
            continue;
        // The file read is never the one written.
        wchar_t read[MAX_PATH], written[MAX_PATH];
        if (GetFullPathNameW(path.c_str(), MAX_PATH, read, nullptr)
            && GetFullPathNameW(target, MAX_PATH, written, nullptr)
            && CompareStringOrdinal(read, -1, written, -1, TRUE) == CSTR_EQUAL) {
            MessageBoxW(window, wide(form::sameFile), wide(form::saveTitle), MB_ICONWARNING);
            waiting.push_front(path);
            continue;
        }
        start(path, target);
    }
}

void FileConversions::start(const std::wstring &path, const std::wstring &target)
{
    shownName = fileName(path);
    showProgress(0);
    auto *job = new Job{path, target, window, &stopping};
    worker = CreateThread(nullptr, 0, convert, job, 0, nullptr);
    if (!worker) {
        delete job;
        finished(new rewriting::Told{
            false, toUtf8(shownName) + " : " + systemSaid(GetLastError()) + ".", {}, 0});
    }
}

void FileConversions::showProgress(int percent)
{
    const std::wstring title = std::wstring(wide(form::title)) + L" – " + shownName + L" "
        + std::to_wstring(percent) + L" %";
    SetWindowTextW(window, title.c_str());
}

void FileConversions::finished(rewriting::Told *told)
{
    if (worker) {
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        worker = nullptr;
    }
    SetWindowTextW(window, wide(form::title));
    if (told->written)
        DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)),
            L"TOLD", window, toldProc, reinterpret_cast<LPARAM>(told));
    else
        MessageBoxW(window, fromUtf8(told->said).c_str(), wide(form::saveTitle), MB_ICONWARNING);
    delete told;
    next();
}
