#include "ReaderProtocol.h"

#include <algorithm>
#include <cstdio>

#include "PrintableText.h"

namespace readersim {
namespace {

enum class Match { Complete, NeedMore, NoMatch };

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Decides as early as possible whether `pending` starts with a request, so
// that one garbage byte never holds back the bytes behind it for long.
Match MatchRequest(std::string_view pending, ParsedRequest& request) {
    switch (pending[0]) {
        case 'Q':
            if (pending.size() < 2) return Match::NeedMore;
            if (!IsLetter(pending[1])) return Match::NoMatch;
            if (pending.size() < 3) return Match::NeedMore;
            if (pending[2] != kFrameEnd) return Match::NoMatch;
            request.kind = pending[1] == 'I' ? RequestKind::Identification : RequestKind::Command;
            if (request.kind == RequestKind::Command) request.command = pending[1];
            request.bytes = pending.substr(0, 3);
            return Match::Complete;
        case '*':
            if (pending.size() < 2) return Match::NeedMore;
            if (pending[1] != 'D') return Match::NoMatch;
            if (pending.size() < 4) return Match::NeedMore;
            if (pending[3] != kFrameEnd) return Match::NoMatch;
            request.kind = RequestKind::RepeatedRead;
            request.bytes = pending.substr(0, 4);
            return Match::Complete;
        default: return Match::NoMatch;
    }
}

std::string Framed(std::string_view payload) {
    std::string frame(1, kFrameStart);
    frame += payload;
    frame += kFrameEnd;
    return frame;
}

}  // namespace

std::vector<ParsedRequest> RequestParser::Feed(std::string_view bytes) {
    pending_ += bytes;
    std::vector<ParsedRequest> requests;
    std::size_t start = 0;
    while (start < pending_.size()) {
        ParsedRequest request;
        const Match match = MatchRequest(std::string_view(pending_).substr(start), request);
        if (match == Match::NeedMore) break;
        if (match == Match::NoMatch) {
            ++start;
            continue;
        }
        start += request.bytes.size();
        requests.push_back(std::move(request));
    }
    pending_.erase(0, start);
    return requests;
}

std::string IdentificationReply(std::string_view ident) { return Framed(ident); }

std::string CommandReply(char command) { return Framed(std::string{command, '0'}); }

std::string RepeatedReadReply(std::string_view readCode) { return Framed(readCode); }

std::string CodeFrame(std::string_view frameCode) { return Framed(frameCode); }

std::string Malform(std::string frame, Malformation how) {
    if (frame.empty()) return frame;
    switch (how) {
        case Malformation::None: break;
        case Malformation::WrongFirstByte: frame.front() = 'B'; break;
        case Malformation::WrongLastByte: frame.back() = '\n'; break;
        case Malformation::MissingLastByte: frame.pop_back(); break;
    }
    return frame;
}

bool IsValidFrameCode(std::string_view code) {
    return code.size() == kFrameCodeLength &&
           std::all_of(code.begin(), code.end(), vm4417::IsPrintableAscii);
}

bool IsValidIdent(std::string_view ident) {
    return ident.size() == kIdentLength &&
           std::all_of(ident.begin(), ident.end(), vm4417::IsPrintableAscii);
}

std::string Printable(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c == '\r') {
            text += "<CR>";
        } else if (c == '\n') {
            text += "<LF>";
        } else if (vm4417::IsPrintableAscii(c)) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", static_cast<unsigned char>(c));
            text += hex;
        }
    }
    return text;
}

std::string_view KindName(RequestKind kind) {
    switch (kind) {
        case RequestKind::Identification: return "identification";
        case RequestKind::Command: return "command";
        case RequestKind::RepeatedRead: return "repeated read";
    }
    return "unknown";
}

}  // namespace readersim
