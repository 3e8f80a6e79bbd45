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

#include "Status.h"

namespace vm4417 {

struct FileReadResult {
    // Fault::Missing: there is no file of that name. Any other fault: there
    // is something by that name, but it could not be opened as a file.
    Status opening;
    bool complete = false;            // reading and closing both succeeded
    std::vector<std::uint8_t> bytes;  // what was read, even when incomplete

    bool Opened() const { return opening.Ok(); }
};

class FileStore {
public:
    virtual ~FileStore() = default;

    // The full path of `name` in the current working directory, or nothing
    // when the working directory cannot be determined. No length limit.
    virtual std::optional<std::string> PathInWorkingDirectory(std::string_view name) = 0;
    // Reads at most `maxBytes` from the start of an existing regular file.
    // Never waits: a FIFO or device by that name is refused (WrongKind).
    virtual FileReadResult ReadPrefix(const std::string& path, std::size_t maxBytes) = 0;
    // Replaces the file's content as one step: after a crash or power cut
    // the file holds either the old or the new bytes. A failure leaves the
    // old file as it was.
    virtual Status ReplaceDurably(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
    // Appends `text` with a single write, creating the file if needed and
    // never truncating it; Ok only once the text is on stable storage. A
    // failure leaves the file as it was before the call. A name that is a
    // symbolic link, a FIFO or anything but a regular file is refused
    // (WrongKind), neither followed nor waited on.
    virtual Status AppendDurably(const std::string& path, std::string_view text) = 0;
};

}  // namespace vm4417
