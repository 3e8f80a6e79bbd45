#include "ForegroundIntegrity.h"

#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace vm4417::win32 {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct ProcessLevel {
    std::optional<std::uint32_t> level;
    bool denied = false;  // Windows refused access to the process or its token
};

std::optional<std::uint32_t> TokenLevel(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
    // Pointer-sized elements keep the label's pointer aligned.
    std::vector<ULONG_PTR> buffer((size + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR));
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
        return std::nullopt;
    }
    const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) return std::nullopt;
    return *GetSidSubAuthority(sid, count - 1u);
}

ProcessLevel LevelOf(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return {std::nullopt, GetLastError() == ERROR_ACCESS_DENIED};
    }
    const OwnedHandle owned(token);
    return {TokenLevel(token), false};
}

ProcessLevel ForegroundLevel() {
    const HWND window = GetForegroundWindow();
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0) return {};
    const OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {std::nullopt, GetLastError() == ERROR_ACCESS_DENIED};
    return LevelOf(process.get());
}

}  // namespace

IntegrityReading ReadIntegrity() {
    // A process keeps its level for its lifetime.
    static const std::optional<std::uint32_t> own = LevelOf(GetCurrentProcess()).level;
    const ProcessLevel foreground = ForegroundLevel();
    return {own, foreground.level, foreground.denied};
}

bool TargetAboveUs(const IntegrityReading& reading) {
    if (!reading.own) return false;
    if (reading.foreground) return *reading.foreground > *reading.own;
    return reading.foregroundDenied && *reading.own < integrity::High;
}

}  // namespace vm4417::win32
