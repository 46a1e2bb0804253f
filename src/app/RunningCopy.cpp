#include "app/RunningCopy.h"

namespace rw {
namespace {

struct Search {
    const std::string* title;
    UINT timeoutMs;
    WPARAM request;
    LPARAM minutes;
    HWND found;
};

bool HasTitle(HWND hWnd, const std::string& title) {
    // One character more than the title, to tell a longer title apart.
    std::string text(title.size() + 2, '\0');
    const int length = GetWindowTextA(hWnd, text.data(), static_cast<int>(text.size()));
    return length >= 0 && static_cast<size_t>(length) == title.size() &&
           text.compare(0, title.size(), title) == 0;
}

bool Answers(HWND hWnd, UINT timeoutMs, WPARAM request, LPARAM minutes) {
    // Any window may carry the title (a message box, another program): a
    // hung one must not hang this start.
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(hWnd, kRunningCopyQuery, request, minutes,
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &answer) != 0 &&
           static_cast<LRESULT>(answer) == kRunningCopyAnswer;
}

BOOL CALLBACK Visit(HWND hWnd, LPARAM param) {
    auto& search = *reinterpret_cast<Search*>(param);
    if (HasTitle(hWnd, *search.title) &&
        Answers(hWnd, search.timeoutMs, search.request, search.minutes)) {
        search.found = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool ActivateRunningCopy(const std::string& title, UINT timeoutMs, WPARAM request, LPARAM minutes) {
    Search search{&title, timeoutMs, request, minutes, nullptr};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return false;
    // A copy hidden in the tray stays hidden: it only becomes the
    // foreground window.
    SetForegroundWindow(search.found);
    return true;
}

} // namespace rw
