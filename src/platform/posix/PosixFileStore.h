#pragma once

#include "FileStore.h"

namespace vm4417 {

// Files in the process's current working directory, written so that what is
// reported as saved survives a crash or a power cut.
class PosixFileStore final : public FileStore {
public:
    std::optional<std::string> PathInWorkingDirectory(std::string_view name) override;
    FileReadResult ReadPrefix(const std::string& path, std::size_t maxBytes) override;
    Status ReplaceDurably(const std::string& path, std::span<const std::uint8_t> bytes) override;
    Status AppendDurably(const std::string& path, std::string_view text) override;
};

}  // namespace vm4417
