#include "FolderInstance.h"

#include <cstdint>

#include "Texts.h"

namespace vm4417 {

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

StartPath PathFor(FolderLock lock) {
    return lock == FolderLock::HeldByAnother ? StartPath::HandOver : StartPath::Run;
}

std::string UnlockedFolderLine(std::string_view folder, std::string_view detail) {
    std::string line(text::kFolderNotLocked);
    line += folder;
    line += " (";
    line += detail;
    line += text::kFolderNotLockedEnd;
    return line;
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
