#include "HandOver.h"

#include <chrono>

#include "win32/WideText.h"

namespace vm4417::ui {

namespace {

using namespace std::chrono_literals;

// The first program may be between its mutex and its window.
constexpr auto kWindowWait = 5s;
constexpr auto kRetry = 100ms;
// Start-up's port scan keeps the first program's thread busy for a while.
constexpr UINT kAnswerWaitMs = 15000;
constexpr LRESULT kShownAnswer = 0x4417;

struct Search {
    std::wstring property;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    if (GetPropW(window, search.property.c_str()) == nullptr) return TRUE;
    search.found = window;
    return FALSE;
}

HWND FindFolderWindow(const std::wstring& property) {
    Search search{property};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring FolderPropertyName(const std::string& folderKey) {
    return L"vm4417-folder-" + win32::Wide(folderKey);
}

UINT ShowRequestMessage() {
    static const UINT message = RegisterWindowMessageW(L"vm4417-show-window");
    return message;
}

}  // namespace

void MarkFolderWindow(HWND window, const std::string& folderKey) {
    SetPropW(window, FolderPropertyName(folderKey).c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkFolderWindow(HWND window, const std::string& folderKey) {
    RemovePropW(window, FolderPropertyName(folderKey).c_str());
}

std::optional<LRESULT> AnswerShowRequest(HWND window, UINT message) {
    if (message == 0 || message != ShowRequestMessage()) return std::nullopt;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return kShownAnswer;
}

HandOverResult AskToShow(const std::string& folderKey) {
    const std::wstring property = FolderPropertyName(folderKey);
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    HWND window = FindFolderWindow(property);
    while (window == nullptr && std::chrono::steady_clock::now() < deadline) {
        Sleep(static_cast<DWORD>(kRetry.count()));
        window = FindFolderWindow(property);
    }
    if (window == nullptr) return HandOverResult::NoAnswer;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    AllowSetForegroundWindow(process);
    DWORD_PTR answer = 0;
    const LRESULT sent = SendMessageTimeoutW(window, ShowRequestMessage(), 0, 0, SMTO_ABORTIFHUNG,
                                             kAnswerWaitMs, &answer);
    return sent != 0 && answer == static_cast<DWORD_PTR>(kShownAnswer) ? HandOverResult::Shown
                                                                       : HandOverResult::NoAnswer;
}

}  // namespace vm4417::ui
