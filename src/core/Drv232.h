#pragma once
// The reader link: the reader's request/reply protocol over a serial line and
// the code text made from a code frame. The file keeps the design's unit name
// Drv232 ("driver for the RS-232 reader"); the class in it is ReaderLink,
// named for what it is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
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
inline constexpr std::size_t kPollPayloadLength = 14;
// Code frames met while another reply was awaited, kept for the next polls.
inline constexpr std::size_t kMaxQueuedFrames = 64;

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
    // line could not be dropped (the port is closed all the same); a port
    // whose device is gone closes without failure.
    bool CloseReaderPort();
    bool IsOpen() const { return readerPort_ != nullptr; }
    // True when the port in use has seen its device go away; only a new
    // OpenReaderPort can bring the reader back.
    bool IsLost() const { return readerPort_ != nullptr && readerPort_->IsLost(); }
    // Lets go of a lost port without touching its modem lines, which went
    // with the device. Frames already queued stay for the next polls.
    void ForgetLostPort();
    // Why the latest OpenReaderPort failed (Ok after a success).
    const Status& LastOpenStatus() const { return lastOpenStatus_; }

    // "QI" CR -> "A" + 4 characters + CR; sets ReaderIdent.
    bool IdentifyReader();
    // "Q" + letter + CR -> "A" + 2 bytes + CR.
    bool SendReaderCommand(char letter);
    // Takes one spontaneous frame "A" + 14 code characters + CR: the oldest
    // frame queued by an earlier request first, else one from the line.
    ReadResult PollChipCode(bool decimalCode);
    std::size_t QueuedFrames() const { return queuedFrames_.size(); }
    // Bytes read from the line that no request has taken yet.
    std::size_t PendingBytes() const { return pending_.size(); }
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
    using Payload = std::vector<std::uint8_t>;
    using FramePayload = std::array<std::uint8_t, kPollPayloadLength>;

    // Sends `request` (if any) and reads a reply of exactly `replyLength`
    // bytes framed by "A" ... CR; returns its payload, or nothing. A whole
    // code frame met in place of a request's reply is queued and the reply
    // is looked for after it.
    std::optional<Payload> Exchange(std::span<const std::uint8_t> request, std::size_t replyLength);
    // Takes a reply of `length` bytes from the pending bytes and the line.
    std::optional<Payload> TakeReply(std::size_t length);
    void DropFailedReply(std::size_t length);
    // Tops the pending bytes up from the line to `count`, with one read.
    void FillPending(std::size_t count);
    // Moves a whole code frame at the front of the pending bytes to the
    // queue; false when there is none or the queue is full.
    bool QueueFrontFrame();
    ReadResult TakeCode(std::span<const std::uint8_t> payload, bool decimalCode);

    SerialPorts& ports_;
    // The port in use, if any; every open attempt replaces it.
    std::unique_ptr<SerialLine> readerPort_;
    // Bytes read from the line that no request has taken yet, in order.
    std::deque<std::uint8_t> pending_;
    std::deque<FramePayload> queuedFrames_;
    Status lastOpenStatus_;
    std::array<std::uint8_t, kRawCodeLength> rawCodeChars_{};
    std::string readerIdent_;
    std::string chipCodeText_;
    std::string conversionMessage_;
};

}  // namespace vm4417
