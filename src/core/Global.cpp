#include "Global.h"

#include <algorithm>

#include "PrintableText.h"

namespace vm4417 {

namespace {

constexpr std::size_t kCounterOffset = 8;

void PutLittleEndian32(ReaderSettings::Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetLittleEndian32(const ReaderSettings::Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

ReaderSettings FromBytes(const ReaderSettings::Bytes& b) {
    ReaderSettings s;
    s.PortNumber = b[0];
    s.OrderToKeys = b[1];
    s.TimeToKeys = b[2];
    s.CodeToKeys = b[3];
    s.LedOffAfterCode = b[4];
    s.MinimizeAtStart = b[5];
    s.SaveToDisk = b[6];
    s.SoundSignal = b[7];
    s.StoredCounter = GetLittleEndian32(b, kCounterOffset);
    s.CrcOption = b[12];
    s.DecimalCode = b[13];
    s.ExactCharacters = b[14];
    s.Reserved = b[15];
    return s;
}

}  // namespace

ReaderSettings::Bytes ReaderSettings::ToBytes() const {
    Bytes b{};
    b[0] = PortNumber;
    b[1] = OrderToKeys;
    b[2] = TimeToKeys;
    b[3] = CodeToKeys;
    b[4] = LedOffAfterCode;
    b[5] = MinimizeAtStart;
    b[6] = SaveToDisk;
    b[7] = SoundSignal;
    PutLittleEndian32(b, kCounterOffset, StoredCounter);
    b[12] = CrcOption;
    b[13] = DecimalCode;
    b[14] = ExactCharacters;
    b[15] = Reserved;
    return b;
}

void ReaderSettings::OverlayBytes(std::span<const std::uint8_t> prefix) {
    Bytes bytes = ToBytes();
    std::copy_n(prefix.begin(), std::min(prefix.size(), kSize), bytes.begin());
    *this = FromBytes(bytes);
}

void ApplyDefaults(ReaderSettings& settings) {
    settings.PortNumber = kHighestScannedPort;
    settings.OrderToKeys = 0;
    settings.TimeToKeys = 0;
    settings.LedOffAfterCode = 1;
    settings.MinimizeAtStart = 0;
    settings.SaveToDisk = 0;
    settings.SoundSignal = 1;
    settings.StoredCounter = 0;
    settings.DecimalCode = 0;
}

SettingsLoad LoadSettings(FileStore& files, ReaderSettings& settings) {
    const auto path = files.PathInWorkingDirectory(kSettingsFileName);
    if (!path) return SettingsLoad::Missing;
    const FileReadResult read = files.ReadPrefix(*path, ReaderSettings::kSize);
    if (read.opening.fault == Fault::Missing) return SettingsLoad::Missing;
    if (!read.Opened()) return SettingsLoad::Unreadable;
    settings.OverlayBytes(read.bytes);
    return read.complete ? SettingsLoad::Loaded : SettingsLoad::Unreadable;
}

bool SaveSettings(FileStore& files, const ReaderSettings& settings) {
    const auto path = files.PathInWorkingDirectory(kSettingsFileName);
    if (!path) return false;
    const ReaderSettings::Bytes bytes = settings.ToBytes();
    return files.ReplaceDurably(*path, bytes).Ok();
}

std::string CounterText(std::uint32_t counter) { return std::to_string(counter); }

std::string TwoDigits(std::uint16_t n) {
    std::string text = std::to_string(n);
    if (text.size() == 1) return "0" + text;
    if (text.size() > 2) return text.substr(2, 2);
    return text;
}

namespace {
std::string Field(int value) { return TwoDigits(static_cast<std::uint16_t>(value)); }
}  // namespace

std::string TimeText(const LocalDateTime& now) {
    return Field(now.hour) + ":" + Field(now.minute) + ":" + Field(now.second);
}

std::string LogFileName(const LocalDateTime& now) {
    return "VM" + Field(now.day) + "D" + Field(now.month) + "M.txt";
}

bool AppendCaptureLog(FileStore& files, Clock& clock, std::uint32_t counter,
                      std::string_view captureTime, std::string_view chipCode) {
    const auto path = files.PathInWorkingDirectory(LogFileName(clock.LocalNow()));
    if (!path) return false;
    std::string line = CounterText(counter);
    line += ' ';
    line += captureTime;
    line += ' ';
    // One capture per line, whatever bytes the reader sent.
    line += PrintableText(chipCode);
    line += "\r\n";
    return files.AppendDurably(*path, line).Ok();
}

}  // namespace vm4417
