#pragma once
// Shared records: the 16-byte settings record and its file, the order
// counter's text, the capture time text and the daily capture log.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "Clock.h"
#include "FileStore.h"

namespace vm4417 {

// The operator's options, the reader's port and the last order number, kept
// in memory for the whole run and stored in the settings file byte for byte.
// A flag byte means off when 0 and on otherwise; handlers store 0 or 1, and a
// loaded value that nothing touches is written back unchanged.
struct ReaderSettings {
    static constexpr std::size_t kSize = 16;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint8_t PortNumber = 0;       // offset 0: first port of the scan
    std::uint8_t OrderToKeys = 0;      // 1: type the order number
    std::uint8_t TimeToKeys = 0;       // 2: type the time of day
    std::uint8_t CodeToKeys = 0;       // 3: type captures instead of listing
    std::uint8_t LedOffAfterCode = 0;  // 4: darken the reader's LED after a capture
    std::uint8_t MinimizeAtStart = 0;  // 5
    std::uint8_t SaveToDisk = 0;       // 6: append captures to the daily log
    std::uint8_t SoundSignal = 0;      // 7: beep on each capture
    std::uint32_t StoredCounter = 0;   // 8..11, little-endian in the file
    std::uint8_t CrcOption = 0;        // 12: stored and restored, never used
    std::uint8_t DecimalCode = 0;      // 13: codes in decimal
    std::uint8_t ExactCharacters = 0;  // 14: typed characters the same on every layout
    std::uint8_t Reserved = 0;         // 15: kept as loaded

    // The file image, independent of the host's byte order.
    Bytes ToBytes() const;
    // Replaces the first `prefix.size()` bytes of the record (at most 16),
    // leaving the rest as it is; a short settings file loads this way.
    void OverlayBytes(std::span<const std::uint8_t> prefix);

    friend bool operator==(const ReaderSettings&, const ReaderSettings&) = default;
};

inline bool IsOn(std::uint8_t flag) { return flag != 0; }
inline std::uint8_t FlagByte(bool on) { return on ? 1 : 0; }

inline constexpr std::string_view kSettingsFileName = "VM4417.INI";

// The port scan tries 0..kHighestScannedPort; a first start begins at the top.
inline constexpr std::uint8_t kHighestScannedPort = 29;

// Sets the defaults of a first start: port 29, LED-off and sound on, other
// options off, counter 0. Offsets 3 (typing), 12, 14 and 15 keep their value.
void ApplyDefaults(ReaderSettings& settings);
enum class SettingsLoad {
    Loaded,      // the file was read (a short file replaces only the bytes present)
    Missing,     // no file (or no working directory): a first start
    Unreadable,  // a file exists but could not be opened or read completely
};

// Reads the settings file into `settings`. A file shorter than 16 bytes
// replaces only the bytes present. When the file is missing or cannot be
// opened the record is untouched; when reading or closing failed, bytes
// already read stay in the record.
SettingsLoad LoadSettings(FileStore& files, ReaderSettings& settings);
// Writes the 16 bytes as the new settings file, replacing the old one as a
// whole. False leaves the previous file intact.
bool SaveSettings(FileStore& files, const ReaderSettings& settings);

// The order number as shown, typed and logged: unsigned decimal.
std::string CounterText(std::uint32_t counter);

// Decimal text of n with a leading "0" when it has one digit; a longer text
// is replaced by its third and fourth characters (2026 gives "26", 123 "3").
// That is how the year's last two digits were made, and the time fields
// never have more than two digits, so only odd callers see the cut.
std::string TwoDigits(std::uint16_t n);
// "HH:MM:SS" of the given local time.
std::string TimeText(const LocalDateTime& now);
// The daily log's file name for the given local date, e.g. "VM06D12M.txt";
// the year takes no part in it.
std::string LogFileName(const LocalDateTime& now);

inline constexpr std::size_t kCaptureTimeLength = 8;

// Appends "<counter> <time> <code>" CR LF to today's log in the working
// directory, the code's unprintable bytes as "?". True once the line is on
// stable storage; a failure leaves the log as it was.
bool AppendCaptureLog(FileStore& files, Clock& clock, std::uint32_t counter,
                      std::string_view captureTime, std::string_view chipCode);

}  // namespace vm4417
