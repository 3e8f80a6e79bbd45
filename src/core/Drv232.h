#pragma once
// The reader link: the reader's request/reply protocol over a serial line and
// the code text made from a code frame. The file keeps the design's unit name
// Drv232 ("driver for the RS-232 reader"); the class in it is ReaderLink,
// named for what it is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "SerialLine.h"

namespace vm4417 {

// 9600 baud 8N1; a read gives up 20 ms after the latest byte or
// 8 ms x length + 200 ms after it started (328 ms for a code frame).
PortConfig ReaderPortConfig();

inline constexpr std::size_t kRawCodeLength = 16;
inline constexpr std::size_t kChipCodeTextLength = 16;
inline constexpr std::size_t kShownCodeLength = 12;

// Outcome of a request that yields a code.
enum class ReadResult {
    Ok,               // a well-formed reply; ChipCodeText holds the new code
    Failed,           // nothing or a malformed reply arrived; nothing changed
    ConversionError,  // decimal mode could not convert the code; see ConversionMessage()
};

struct ChipCodeFormat {
    bool ok = false;
    std::string text;     // the code text when ok
    std::string message;  // "'$…' is not a valid integer value" when not ok
};

// The code text of a frame: its first 12 characters as they are, or, in
// decimal mode, those characters read as a hexadecimal signed 32-bit number
// and written in decimal.
ChipCodeFormat FormatChipCode(std::span<const std::uint8_t, kRawCodeLength> rawCodeChars,
                              bool decimalCode);

class ReaderLink {
public:
    explicit ReaderLink(SerialPorts& ports) : ports_(ports) {}

    // Opens and configures port `number`, replacing any port held so far.
    bool OpenReaderPort(std::uint8_t number);
    // Drops DTR, then RTS, and closes. False when no port is open or a modem
    // line could not be dropped (the port is closed all the same).
    bool CloseReaderPort();
    bool IsOpen() const { return readerPort_ != nullptr; }
    // Why the latest OpenReaderPort failed (Ok after a success).
    const Status& LastOpenStatus() const { return lastOpenStatus_; }

    // "QI" CR -> "A" + 4 characters + CR; sets ReaderIdent.
    bool IdentifyReader();
    // "Q" + letter + CR -> "A" + 2 bytes + CR.
    bool SendReaderCommand(char letter);
    // Takes one spontaneous frame "A" + 14 code characters + CR.
    ReadResult PollChipCode(bool decimalCode);
    // "*D" + 1 byte + CR -> "A" + 16 code characters + CR.
    ReadResult RepeatChipRead(bool decimalCode);

    const std::string& ReaderIdent() const { return readerIdent_; }
    const std::string& ChipCodeText() const { return chipCodeText_; }
    // Demo captures invent their code; longer texts keep their first 16.
    void SetChipCodeText(std::string text);
    const std::array<std::uint8_t, kRawCodeLength>& RawCodeChars() const { return rawCodeChars_; }
    // The message of the latest ReadResult::ConversionError.
    const std::string& ConversionMessage() const { return conversionMessage_; }

private:
    // Sends `request` (if any) and reads a reply of exactly `replyLength`
    // bytes framed by "A" ... CR; returns its payload, or nothing.
    std::optional<std::vector<std::uint8_t>> Exchange(std::span<const std::uint8_t> request,
                                                      std::size_t replyLength);
    ReadResult TakeCode(std::span<const std::uint8_t> payload, bool decimalCode);

    SerialPorts& ports_;
    // The port in use, if any; every open attempt replaces it.
    std::unique_ptr<SerialLine> readerPort_;
    Status lastOpenStatus_;
    std::array<std::uint8_t, kRawCodeLength> rawCodeChars_{};
    std::string readerIdent_;
    std::string chipCodeText_;
    std::string conversionMessage_;
};

}  // namespace vm4417
