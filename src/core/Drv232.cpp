#include "Drv232.h"

#include "HexNumber.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vm4417 {

namespace {

constexpr std::uint8_t kReplyStart = 'A';
constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::size_t kIdentReplyLength = 6;
constexpr std::size_t kCommandReplyLength = 4;
constexpr std::size_t kPollFrameLength = 16;
constexpr std::size_t kRepeatReplyLength = 18;
// The reader ignores the third byte of the repeated-read request.
constexpr std::uint8_t kRepeatReadParameter = '0';

}  // namespace

PortConfig ReaderPortConfig() {
    PortConfig config;
    config.line = LineSettings{9600, 8, false, 1};
    config.timeouts = ReadTimeouts{std::chrono::milliseconds{20}, std::chrono::milliseconds{8},
                                   std::chrono::milliseconds{200}};
    config.raiseModemLines = true;
    return config;
}

ChipCodeFormat FormatChipCode(std::span<const std::uint8_t, kRawCodeLength> rawCodeChars,
                              bool decimalCode) {
    const auto shown = rawCodeChars.first<kShownCodeLength>();
    if (!decimalCode) {
        return {true, std::string(shown.begin(), shown.end()), {}};
    }
    // The number ends at the first zero byte, as a C string would.
    const auto end = std::find(shown.begin(), shown.end(), std::uint8_t{0});
    const std::span<const std::uint8_t> digits(shown.begin(), end);
    const std::string_view text(reinterpret_cast<const char*>(digits.data()), digits.size());
    if (const auto value = ParseHex32(text)) {
        return {true, std::to_string(static_cast<std::int32_t>(*value)), {}};
    }
    // The text is kept as the program has always shown it: the wording of the
    // number conversion that failed and its "$" hexadecimal prefix, in
    // English even in the Czech window.
    std::string message = "'$";
    message += text;
    message += "' is not a valid integer value";
    return {false, {}, message};
}

bool ReaderLink::OpenReaderPort(std::uint8_t number) {
    readerPort_.reset();
    pending_.clear();
    OpenedLine opened = ports_.Open(number, ReaderPortConfig());
    readerPort_ = std::move(opened.line);
    lastOpenStatus_ = std::move(opened.status);
    return readerPort_ != nullptr;
}

bool ReaderLink::CloseReaderPort() {
    if (!readerPort_) return false;
    // A device that went away took its modem lines with it: nothing failed.
    const bool dropped = readerPort_->DropModemLines() || readerPort_->IsLost();
    readerPort_.reset();
    pending_.clear();
    return dropped;
}

void ReaderLink::ForgetLostPort() {
    readerPort_.reset();
    pending_.clear();
}

std::optional<ReaderLink::Payload> ReaderLink::Exchange(std::span<const std::uint8_t> request,
                                                        std::size_t replyLength) {
    if (!readerPort_) return std::nullopt;
    if (!request.empty() && !readerPort_->Write(request)) return std::nullopt;
    // A chip touched just before the request puts its frame ahead of the
    // reply; keep it as a capture and look for the reply behind it.
    for (;;) {
        if (auto reply = TakeReply(replyLength)) return reply;
        if (!QueueFrontFrame()) break;
    }
    DropFailedReply(replyLength);
    return std::nullopt;
}

// A failed read takes its length of bytes (or all that came), as a plain read
// of that length would have; bytes beyond it stay for the next request.
void ReaderLink::DropFailedReply(std::size_t length) {
    const std::size_t taken = std::min(length, pending_.size());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
}

std::optional<ReaderLink::Payload> ReaderLink::TakeReply(std::size_t length) {
    FillPending(length);
    if (pending_.size() < length || pending_.front() != kReplyStart ||
        pending_[length - 1] != kCarriageReturn) {
        return std::nullopt;
    }
    const auto end = pending_.begin() + static_cast<std::ptrdiff_t>(length);
    Payload payload(pending_.begin() + 1, end - 1);
    pending_.erase(pending_.begin(), end);
    return payload;
}

void ReaderLink::FillPending(std::size_t count) {
    if (pending_.size() >= count || !readerPort_) return;
    const std::vector<std::uint8_t> got = readerPort_->Read(count - pending_.size());
    pending_.insert(pending_.end(), got.begin(), got.end());
}

bool ReaderLink::QueueFrontFrame() {
    if (queuedFrames_.size() >= kMaxQueuedFrames) return false;
    if (pending_.empty() || pending_.front() != kReplyStart) return false;
    FillPending(kPollFrameLength);
    if (pending_.size() < kPollFrameLength || pending_[kPollFrameLength - 1] != kCarriageReturn) {
        return false;
    }
    FramePayload frame;
    std::copy_n(pending_.begin() + 1, kPollPayloadLength, frame.begin());
    queuedFrames_.push_back(frame);
    pending_.erase(pending_.begin(), pending_.begin() + kPollFrameLength);
    return true;
}

bool ReaderLink::IdentifyReader() {
    static constexpr std::uint8_t kRequest[] = {'Q', 'I', kCarriageReturn};
    const auto payload = Exchange(kRequest, kIdentReplyLength);
    if (!payload) return false;
    readerIdent_.assign(payload->begin(), payload->end());
    return true;
}

bool ReaderLink::SendReaderCommand(char letter) {
    const std::uint8_t request[] = {'Q', static_cast<std::uint8_t>(letter), kCarriageReturn};
    return Exchange(request, kCommandReplyLength).has_value();
}

ReadResult ReaderLink::PollChipCode(bool decimalCode) {
    if (!queuedFrames_.empty()) {
        const FramePayload frame = queuedFrames_.front();
        queuedFrames_.pop_front();
        return TakeCode(frame, decimalCode);
    }
    if (!readerPort_) return ReadResult::Failed;
    const auto payload = TakeReply(kPollFrameLength);
    if (!payload) {
        DropFailedReply(kPollFrameLength);
        return ReadResult::Failed;
    }
    return TakeCode(*payload, decimalCode);
}

ReadResult ReaderLink::RepeatChipRead(bool decimalCode) {
    static constexpr std::uint8_t kRequest[] = {'*', 'D', kRepeatReadParameter, kCarriageReturn};
    const auto payload = Exchange(kRequest, kRepeatReplyLength);
    if (!payload) return ReadResult::Failed;
    return TakeCode(*payload, decimalCode);
}

ReadResult ReaderLink::TakeCode(std::span<const std::uint8_t> payload, bool decimalCode) {
    std::copy(payload.begin(), payload.end(), rawCodeChars_.begin());
    ChipCodeFormat formatted = FormatChipCode(rawCodeChars_, decimalCode);
    if (!formatted.ok) {
        conversionMessage_ = std::move(formatted.message);
        return ReadResult::ConversionError;
    }
    SetChipCodeText(std::move(formatted.text));
    return ReadResult::Ok;
}

void ReaderLink::SetChipCodeText(std::string text) {
    if (text.size() > kChipCodeTextLength) text.resize(kChipCodeTextLength);
    chipCodeText_ = std::move(text);
}

}  // namespace vm4417
