#include "UsbIdentity.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace vm4417 {

namespace {

namespace fs = std::filesystem;

// A path with its links followed; empty when it does not lead anywhere.
fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

// The first line of a sysfs attribute, without its line end.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// The tty's device in sysfs is an interface of a USB device (ttyACM) or a
// port below one (usb-serial's ttyUSB): the USB device is the nearest folder
// above with a vendor and product id. Nothing leaves the sysfs root.
fs::path UsbDeviceFolder(const std::string& ttyName, const fs::path& sysfsRoot) {
    const fs::path root = Resolved(sysfsRoot);
    if (root.empty() || ttyName.empty()) return {};
    fs::path folder = Resolved(root / "class" / "tty" / ttyName / "device");
    const std::string inside = root.string() + "/";
    while (!folder.empty() && folder.string().starts_with(inside)) {
        std::error_code error;
        if (fs::exists(folder / "idVendor", error) && fs::exists(folder / "idProduct", error)) {
            return folder;
        }
        folder = folder.parent_path();
    }
    return {};
}

// The by-id link that leads to the same device node.
std::string ByIdName(const fs::path& device, const fs::path& byId) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(byId, error)) {
        if (Resolved(entry.path()) == device) return entry.path().filename().string();
    }
    return {};
}

}  // namespace

UsbIdentity ReadUsbIdentity(const std::string& device, const UsbLocations& locations) {
    UsbIdentity usb;
    const fs::path node = Resolved(device);
    if (node.empty()) return usb;
    const fs::path folder = UsbDeviceFolder(node.filename().string(), locations.sysfsRoot);
    if (!folder.empty()) {
        const std::string vendor = Attribute(folder / "idVendor");
        const std::string product = Attribute(folder / "idProduct");
        if (!vendor.empty() && !product.empty()) usb.vendorProduct = vendor + ":" + product;
        usb.serialNumber = Attribute(folder / "serial");
        usb.location = folder.filename().string();
    }
    usb.name = ByIdName(node, locations.serialById);
    return usb;
}

}  // namespace vm4417
