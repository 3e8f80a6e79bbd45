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

// Width in characters, not bytes: a Czech letter takes two bytes of UTF-8.
std::size_t Characters(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string PaddedTo(std::string s, std::size_t width) {
    const std::size_t characters = Characters(s);
    if (characters < width) s.append(width - characters, ' ');
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

std::string UsbIdentityText(const UsbIdentity& usb) {
    std::string text;
    const auto add = [&text](std::string_view label, const std::string& value) {
        if (value.empty()) return;
        if (!text.empty()) text += ", ";
        text += label;
        text += value;
    };
    add(text::kUsbVendorProduct, usb.vendorProduct);
    add(text::kUsbSerialNumber, usb.serialNumber);
    add(text::kUsbLocation, usb.location);
    add(text::kUsbName, usb.name);
    return text;
}

std::string PortListText(const std::vector<PortReport>& reports, std::string_view searched) {
    if (reports.empty()) {
        return std::string(text::kNoPortsFound) + " (" + std::string(searched) + ")\n";
    }
    std::string list(text::kPortListHeader);
    list += '\n';
    for (const PortReport& report : reports) {
        list += PortListLine(report.number, report.path, report.status) + '\n';
        if (report.usb.Known()) list += std::string(7, ' ') + UsbIdentityText(report.usb) + '\n';
    }
    return list;
}

}  // namespace vm4417
