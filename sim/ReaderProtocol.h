#pragma once
// The reader's wire format: how requests are recognised in the byte stream
// the program writes, and how replies and code frames are built. Every frame
// has a fixed length, starts with 'A' and ends with CR.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace readersim {

inline constexpr char kFrameStart = 'A';
inline constexpr char kFrameEnd = '\r';
inline constexpr std::size_t kIdentLength = 4;
inline constexpr std::size_t kFrameCodeLength = 14;  // in spontaneous frames
inline constexpr std::size_t kReadCodeLength = 16;   // in repeated-read replies
// Turns a frame code into the longer code a repeated read reports.
inline constexpr std::string_view kReadCodePadding = "00";

enum class RequestKind {
    Identification,  // "QI" CR
    Command,         // "Q", a letter other than I, CR
    RepeatedRead,    // "*D", any byte, CR
};

// How replies and frames are corrupted on purpose.
enum class Malformation {
    None,
    WrongFirstByte,   // 'B' instead of 'A'
    WrongLastByte,    // LF instead of CR
    MissingLastByte,  // one byte short
};

struct ParsedRequest {
    RequestKind kind = RequestKind::Identification;
    std::string bytes;  // exactly as received
    char command = 0;   // the letter, for a Command
};

// Cuts the byte stream from the program into requests. A request is known by
// its first byte and fixed length and must end in CR; a byte that cannot
// start one is dropped, so garbage in between is skipped and parsing
// resynchronises on the next request.
class RequestParser {
public:
    // Adds received bytes and returns the requests they complete, in order.
    // An incomplete request stays pending until more bytes arrive.
    std::vector<ParsedRequest> Feed(std::string_view bytes);
    // Forgets pending bytes, as a freshly powered reader would.
    void Reset() { pending_.clear(); }

private:
    std::string pending_;
};

std::string IdentificationReply(std::string_view ident);
// Acknowledges a command by echoing its letter.
std::string CommandReply(char command);
std::string RepeatedReadReply(std::string_view readCode);
// The frame the reader sends on its own when a chip touches it.
std::string CodeFrame(std::string_view frameCode);
// Applies `how` to a complete frame.
std::string Malform(std::string frame, Malformation how);

// True for 14 printable ASCII characters.
bool IsValidFrameCode(std::string_view code);
// True for 4 printable ASCII characters.
bool IsValidIdent(std::string_view ident);

// Bytes for humans: printable ASCII as is, CR and LF as <CR> and <LF>,
// anything else as <hex>.
std::string Printable(std::string_view bytes);
// "identification", "command" or "repeated read".
std::string_view KindName(RequestKind kind);

}  // namespace readersim
