// The reader link fed by a scripted line: bytes arrive in chunks, some after
// a gap long enough to end a read early, some only once a request was sent.
//
// The first input byte chooses one of two scripts.
//
// A clean script is what a reader really sends: code frames at any time, and
// to each request its well-formed reply, with up to three chip frames ahead
// of it. Model: every request succeeds (identification yields the reply's
// four characters, a repeated read its code); every frame becomes a capture
// exactly once, in the order sent; a poll fails only when no frame is
// waiting.
//
// A rough script is any bytes with any requests. Model: a capture is always
// a whole frame "A" + 14 + CR that the line delivered, captures keep the
// order of the line and no two share bytes; the queue stays within its
// bound; a request that succeeds had its reply in what the line delivered.
// Nothing is purged or invented: a request takes exactly its reply's length
// of bytes (fewer only when no more came) plus 16 for each frame it queued,
// and a poll served from the queue takes none.

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "Drv232.h"
#include "FuzzInput.h"

namespace vm4417::fuzz {
namespace {

// Bytes that arrive once `afterWrites` requests were sent; `gapBefore`: a
// pause before the first of them that ends a read already under way.
struct Segment {
    std::string bytes;
    std::size_t afterWrites = 0;
    bool gapBefore = false;
};

class ScriptedLine final : public SerialLine {
public:
    explicit ScriptedLine(std::deque<Segment>& script, std::string& delivered)
        : script_(script), delivered_(delivered) {}

    bool Write(std::span<const std::uint8_t>) override {
        ++writes_;
        return true;
    }
    std::vector<std::uint8_t> Read(std::size_t count) override {
        std::vector<std::uint8_t> got;
        while (got.size() < count && !script_.empty()) {
            Segment& next = script_.front();
            if (next.afterWrites > writes_) break;
            if (next.gapBefore && !got.empty()) break;
            next.gapBefore = false;
            const std::size_t take = std::min(count - got.size(), next.bytes.size());
            const auto end = next.bytes.begin() + static_cast<std::ptrdiff_t>(take);
            got.insert(got.end(), next.bytes.begin(), end);
            delivered_.append(next.bytes, 0, take);
            next.bytes.erase(0, take);
            if (next.bytes.empty()) script_.pop_front();
        }
        return got;
    }
    bool DropModemLines() override { return true; }
    bool IsLost() const override { return false; }

private:
    std::deque<Segment>& script_;
    std::string& delivered_;
    std::size_t writes_ = 0;
};

class ScriptedPorts final : public SerialPorts {
public:
    OpenedLine Open(std::uint8_t, const PortConfig&) override {
        return {std::make_unique<ScriptedLine>(script, delivered), Status::Success()};
    }
    std::deque<Segment> script;
    std::string delivered;  // every byte the line handed over, in order
};

enum class Request { Poll, Identify, Command, Repeat };

std::string Framed(const std::string& payload) { return "A" + payload + "\r"; }

std::string CodeChars(FuzzInput& input, std::size_t count) {
    static const char kChars[] = "0123456789ABCDEF";
    std::string chars;
    for (std::size_t i = 0; i < count; ++i) chars += kChars[input.Below(16)];
    return chars;
}

// Splits `bytes` into chunks (sizes from the input) without gaps.
void AddChunked(std::deque<Segment>& script, FuzzInput& input, const std::string& bytes,
                std::size_t afterWrites) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size = 1 + input.Below(bytes.size());
        script.push_back({bytes.substr(at, size), afterWrites, false});
        at += size;
    }
}

std::string LatestPayload(const ReaderLink& link) {
    const auto& raw = link.RawCodeChars();
    return std::string(raw.begin(), raw.begin() + kPollPayloadLength);
}

void RunClean(FuzzInput& input) {
    ScriptedPorts ports;
    ReaderLink link(ports);
    Check(link.OpenReaderPort(1), "open");
    std::size_t writes = 0;
    std::deque<std::string> waiting;  // frames sent and not yet captured
    for (int step = 0; step < 200 && !input.Empty(); ++step) {
        const auto request = static_cast<Request>(input.Below(4));
        const std::size_t ahead = request == Request::Poll ? input.Below(2) : input.Below(4);
        for (std::size_t i = 0; i < ahead && waiting.size() < kMaxQueuedFrames; ++i) {
            waiting.push_back(CodeChars(input, kPollPayloadLength));
            AddChunked(ports.script, input, Framed(waiting.back()), writes);
        }
        switch (request) {
            case Request::Poll: {
                const bool any = !waiting.empty();
                const ReadResult result = link.PollChipCode(false);
                Check((result == ReadResult::Ok) == any, "a poll succeeds when a frame waits");
                if (any) {
                    Check(LatestPayload(link) == waiting.front(), "captures in the order sent");
                    waiting.pop_front();
                }
                break;
            }
            case Request::Identify: {
                const std::string ident = CodeChars(input, 4);
                AddChunked(ports.script, input, Framed(ident), ++writes);
                Check(link.IdentifyReader(), "identification behind frames");
                Check(link.ReaderIdent() == ident, "identification text");
                break;
            }
            case Request::Command:
                AddChunked(ports.script, input, Framed(CodeChars(input, 2)), ++writes);
                Check(link.SendReaderCommand('Z'), "command behind frames");
                break;
            case Request::Repeat: {
                const std::string code = CodeChars(input, 16);
                AddChunked(ports.script, input, Framed(code), ++writes);
                Check(link.RepeatChipRead(false) == ReadResult::Ok, "repeated read behind frames");
                Check(link.ChipCodeText() == code.substr(0, 12), "repeated read's code");
                break;
            }
        }
        Check(link.QueuedFrames() <= kMaxQueuedFrames, "queue bound");
    }
    // Whatever is still waiting is captured by polls alone, in order.
    while (!waiting.empty()) {
        Check(link.PollChipCode(false) == ReadResult::Ok, "a waiting frame is polled");
        Check(LatestPayload(link) == waiting.front(), "late captures in order");
        waiting.pop_front();
    }
    Check(link.PollChipCode(false) == ReadResult::Failed, "nothing invented at the end");
}

void RunRough(FuzzInput& input) {
    ScriptedPorts ports;
    ReaderLink link(ports);
    Check(link.OpenReaderPort(1), "open");
    std::size_t searchFrom = 0;  // in `delivered`, just past the latest capture
    const auto checkCapture = [&] {
        const std::string frame = "A" + LatestPayload(link) + "\r";
        const std::size_t at = ports.delivered.find(frame, searchFrom);
        Check(at != std::string::npos, "a capture is a delivered frame, after the previous one");
        searchFrom = at + frame.size();
    };
    std::size_t writes = 0;
    for (int step = 0; step < 100 && !input.Empty(); ++step) {
        const std::uint8_t op = input.Byte();
        if (op & 0x80) {
            // Raw bytes, sometimes sure to start a frame.
            std::string bytes = input.Bytes(1 + input.Below(40));
            if (op & 0x40) bytes = "A" + bytes;
            ports.script.push_back({bytes, writes + ((op & 0x20) ? 1 : 0), (op & 0x10) != 0});
            continue;
        }
        const std::string& got = ports.delivered;
        const std::size_t takenBefore = got.size() - link.PendingBytes();
        const std::size_t queuedBefore = link.QueuedFrames();
        std::size_t replyLength = 0;
        switch (static_cast<Request>(op % 4)) {
            case Request::Poll:
                replyLength = queuedBefore > 0 ? 0 : 16;
                if (link.PollChipCode(false) == ReadResult::Ok) checkCapture();
                break;
            case Request::Identify:
                ++writes;
                replyLength = 6;
                if (link.IdentifyReader()) {
                    Check(got.find(Framed(link.ReaderIdent())) != std::string::npos,
                          "an identification reply was delivered");
                }
                break;
            case Request::Command:
                ++writes;
                replyLength = 4;
                if (link.SendReaderCommand('Z')) {
                    bool found = false;
                    for (std::size_t i = 0; i + 3 < got.size() && !found; ++i) {
                        found = got[i] == 'A' && got[i + 3] == '\r';
                    }
                    Check(found, "a command reply was delivered");
                }
                break;
            case Request::Repeat:
                ++writes;
                replyLength = 18;
                if (link.RepeatChipRead(false) == ReadResult::Ok) {
                    const auto& raw = link.RawCodeChars();
                    const std::string reply = Framed(std::string(raw.begin(), raw.end()));
                    Check(got.find(reply) != std::string::npos,
                          "a repeated read's reply was delivered");
                }
                break;
        }
        Check(link.QueuedFrames() <= kMaxQueuedFrames, "queue bound");
        const std::size_t queuedNow = link.QueuedFrames() + (replyLength == 0 ? 1 : 0);
        Check(queuedNow >= queuedBefore, "queued frames leave only through polls");
        const std::size_t expected = replyLength + 16 * (queuedNow - queuedBefore);
        const std::size_t taken = got.size() - link.PendingBytes() - takenBefore;
        Check(taken <= expected, "a request takes no more than its reply and its frames");
        Check(taken == expected || link.PendingBytes() == 0, "bytes left over stay pending");
    }
    // Queued frames come out of polls, still in the line's order.
    while (link.QueuedFrames() > 0) {
        Check(link.PollChipCode(false) == ReadResult::Ok, "queued frames are whole");
        checkCapture();
    }
}

}  // namespace
}  // namespace vm4417::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vm4417::fuzz::FuzzInput input(data, size);
    if (input.Byte() & 1) {
        vm4417::fuzz::RunRough(input);
    } else {
        vm4417::fuzz::RunClean(input);
    }
    return 0;
}
