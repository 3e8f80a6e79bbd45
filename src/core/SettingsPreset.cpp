#include "SettingsPreset.h"

#include "Texts.h"

namespace vm4417 {

PresetReading ReadPreset(FileStore& files, const std::string& path) {
    PresetReading reading;
    if (path.empty()) return reading;
    // One byte more than a record, to tell a longer file from a whole one.
    const FileReadResult read = files.ReadPrefix(path, ReaderSettings::kSize + 1);
    if (read.opening.fault == Fault::Missing) return reading;
    reading.load = PresetLoad::Invalid;
    if (!read.Opened() || !read.complete) {
        reading.reason = std::string(text::kPresetUnreadable) + " (" + read.opening.detail + ")";
    } else if (read.bytes.size() != ReaderSettings::kSize) {
        reading.reason = std::string(text::kPresetWrongSize) + std::to_string(read.bytes.size()) +
                         std::string(text::kPresetWrongSizeEnd);
    } else {
        reading.load = PresetLoad::Loaded;
        reading.settings.OverlayBytes(read.bytes);
    }
    return reading;
}

std::string InvalidPresetText(std::string_view path, std::string_view reason) {
    std::string text(text::kPresetInvalid);
    text += path;
    text += ": ";
    text += reason;
    text += text::kPresetInvalidEnd;
    return text;
}

}  // namespace vm4417
