#include "PortAdvice.h"

#include <string_view>

#include "Texts.h"

namespace vm4417 {

namespace {

std::string_view Reason(Fault fault) {
    switch (fault) {
        case Fault::None: return text::kPortUsable;
        case Fault::Missing: return text::kPortMissing;
        case Fault::NoPermission: return text::kPortNoPermission;
        case Fault::InUse: return text::kPortInUse;
        case Fault::Console: return text::kPortConsole;
        case Fault::WrongKind: return text::kPortWrongKind;
        case Fault::Lost: return text::kPortLost;
        case Fault::Failed: break;
    }
    return text::kPortFailed;
}

std::string PaddedTo(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

std::string PortStatusText(const Status& status) {
    std::string words(Reason(status.fault));
    if (status.Ok()) return words;
    if (!status.detail.empty()) words += " (" + status.detail + ")";
    if (status.fault == Fault::NoPermission) words += text::kPortPermissionFix;
    return words;
}

std::string PortListLine(std::uint8_t number, const std::string& path, const Status& status) {
    std::string line = PaddedTo("COM" + std::to_string(number), 7) + PaddedTo(path, 24) + ' ';
    if (!status.Ok()) line += text::kPortUnusable;
    return line + PortStatusText(status);
}

}  // namespace vm4417
