#pragma once
// Files in the current directory through the Win32 file calls: the settings
// file replaced atomically and durably, log lines appended in one write and
// flushed, and nothing but plain disk files opened.

#include <string>

#include "FileStore.h"

namespace vm4417 {

class Win32FileStore final : public FileStore {
public:
    std::optional<std::string> PathInWorkingDirectory(std::string_view name) override;
    FileReadResult ReadPrefix(const std::string& path, std::size_t maxBytes) override;
    Status ReplaceDurably(const std::string& path, std::span<const std::uint8_t> bytes) override;
    Status AppendDurably(const std::string& path, std::string_view text) override;
};

}  // namespace vm4417
