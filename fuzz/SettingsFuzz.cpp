// The settings loader against a file store whose answer comes from the
// input: no file, a file that cannot be opened, or a file whose first bytes
// (and whether reading them completed) the input decides.
//
// Model: only a missing file is Missing; a file opened and read completely is
// Loaded and any other is Unreadable; a file's bytes replace exactly the
// first min(16, n) bytes of the record and nothing else; a record saved and
// loaded again is the same record.

#include <algorithm>
#include <cstring>

#include "FuzzInput.h"
#include "Global.h"

namespace vm4417::fuzz {
namespace {

class ScriptedFiles final : public FileStore {
public:
    std::optional<std::string> PathInWorkingDirectory(std::string_view name) override {
        if (noDirectory) return std::nullopt;
        return "/work/" + std::string(name);
    }
    FileReadResult ReadPrefix(const std::string&, std::size_t maxBytes) override {
        FileReadResult result = read;
        if (result.bytes.size() > maxBytes) result.bytes.resize(maxBytes);
        return result;
    }
    Status ReplaceDurably(const std::string&, std::span<const std::uint8_t> bytes) override {
        saved.assign(bytes.begin(), bytes.end());
        return Status::Success();
    }
    Status AppendDurably(const std::string&, std::string_view) override {
        return Status::Failure(Fault::Failed, "not used");
    }

    bool noDirectory = false;
    FileReadResult read;
    std::vector<std::uint8_t> saved;
};

ReaderSettings RecordFrom(const std::string& bytes) {
    ReaderSettings record;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    record.OverlayBytes(std::span(data, bytes.size()));
    return record;
}

}  // namespace
}  // namespace vm4417::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vm4417;
    using namespace vm4417::fuzz;
    FuzzInput input(data, size);
    const std::uint8_t kind = input.Byte();
    const ReaderSettings before = RecordFrom(input.Bytes(ReaderSettings::kSize));
    const std::string file = input.Rest();

    ScriptedFiles files;
    files.noDirectory = (kind & 0x03) == 0x03;
    const bool missing = (kind & 0x03) == 0x01;
    const bool refused = (kind & 0x03) == 0x02;
    if (missing) files.read.opening = Status::Failure(Fault::Missing, "no file");
    if (refused) files.read.opening = Status::Failure(static_cast<Fault>(2 + (kind >> 2) % 6), "x");
    const bool opened = !missing && !refused && !files.noDirectory;
    files.read.complete = opened && (kind & 0x80) == 0;
    if (opened) files.read.bytes.assign(file.begin(), file.end());

    ReaderSettings loaded = before;
    const SettingsLoad result = LoadSettings(files, loaded);

    const SettingsLoad expected = (missing || files.noDirectory) ? SettingsLoad::Missing
                                  : !opened                      ? SettingsLoad::Unreadable
                                  : files.read.complete          ? SettingsLoad::Loaded
                                                                 : SettingsLoad::Unreadable;
    Check(result == expected, "load result");
    ReaderSettings::Bytes image = before.ToBytes();
    if (opened) {
        std::memcpy(image.data(), file.data(), std::min(file.size(), ReaderSettings::kSize));
    }
    Check(loaded.ToBytes() == image, "record bytes after loading");

    // Saved and loaded again: the same record, byte for byte.
    ScriptedFiles store;
    Check(SaveSettings(store, loaded), "save");
    Check(store.saved.size() == ReaderSettings::kSize, "saved size");
    Check(std::equal(store.saved.begin(), store.saved.end(), image.begin()), "saved bytes");
    store.read.complete = true;
    store.read.bytes = store.saved;
    ReaderSettings again;
    Check(LoadSettings(store, again) == SettingsLoad::Loaded, "reload result");
    Check(again == loaded, "reloaded record");
    return 0;
}
