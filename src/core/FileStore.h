#pragma once
// Files in the program's working directory: the settings record and the daily
// capture log. Backends decide how a name becomes a path.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vm4417 {

struct FileReadResult {
    bool opened = false;              // the file existed and could be opened
    bool complete = false;            // reading and closing both succeeded
    std::vector<std::uint8_t> bytes;  // what was read, even when incomplete
};

class FileStore {
public:
    virtual ~FileStore() = default;

    // The full path of `name` in the current working directory, or nothing
    // when the working directory cannot be determined. No length limit.
    virtual std::optional<std::string> PathInWorkingDirectory(std::string_view name) = 0;
    // Reads at most `maxBytes` from the start of an existing file.
    virtual FileReadResult ReadPrefix(const std::string& path, std::size_t maxBytes) = 0;
    // Replaces the file's content as one step: after a crash or power cut
    // the file holds either the old or the new bytes. False leaves the old
    // file as it was.
    virtual bool ReplaceDurably(const std::string& path,
                                std::span<const std::uint8_t> bytes) = 0;
    // Appends `text` with a single write, creating the file if needed and
    // never truncating it; true only once the text is on stable storage.
    virtual bool AppendDurably(const std::string& path, std::string_view text) = 0;
};

}  // namespace vm4417
