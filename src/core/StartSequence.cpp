#include "StartSequence.h"

#include <cstdint>

#include "Texts.h"

namespace vm4417 {

namespace {

constexpr std::chrono::milliseconds kLoginFolderRetry{500};

}  // namespace

// FNV-1a: short, stable across builds and systems, and plenty for telling
// one user's folders apart.
std::string FolderKey(std::string_view canonicalPath) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : canonicalPath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string key(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) key[static_cast<std::size_t>(i)] = kDigits[hash & 15];
    return key;
}

Status EnterLoginFolder(const std::function<Status()>& enter, Clock& clock) {
    const Clock::TimePoint end = clock.Now() + kLoginFolderWait;
    for (;;) {
        Status entered = enter();
        if (entered.fault != Fault::Missing || clock.Now() >= end) return entered;
        clock.SleepFor(kLoginFolderRetry);
    }
}

std::string LoginFolderFailureLine(std::string_view folder, const Status& entered) {
    if (folder.empty()) return std::string(text::kLoginFolderNone);
    if (entered.fault != Fault::Missing) {
        return std::string(text::kFolderError) + entered.detail +
               std::string(text::kLoginNotStarted);
    }
    return std::string(text::kLoginFolderMissing) + std::string(folder) +
           std::string(text::kLoginFolderMissingWaited) + std::to_string(kLoginFolderWait.count()) +
           std::string(text::kLoginFolderMissingEnd);
}

StartDecision DecideStart(FolderLockOutcome lock, std::string_view folder,
                          std::string_view detail) {
    switch (lock) {
        case FolderLockOutcome::Taken: return {StartWay::GoOn, {}};
        case FolderLockOutcome::HeldByAnother: return {StartWay::HandOver, {}};
        case FolderLockOutcome::Unavailable: break;
    }
    std::string line(text::kFolderNotLocked);
    line += folder;
    line += " (";
    line += detail;
    line += text::kFolderNotLockedEnd;
    return {StartWay::GoOnWarned, line};
}

StartEnd EndOfHandOver(HandOverResult result, std::string_view folder) {
    if (result == HandOverResult::Shown) {
        return {0, std::string(text::kAlreadyRunning) + std::string(folder) +
                       std::string(text::kAlreadyRunningShown)};
    }
    return {1, std::string(text::kAlreadyRunning) + std::string(folder) +
                   std::string(text::kAlreadyRunningNoAnswer)};
}

}  // namespace vm4417
