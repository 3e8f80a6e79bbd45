// The ports Linux has and the USB device behind each, read from a /dev and a
// sysfs of the test's own making, laid out as the kernel and udev lay them
// out for an FTDI adapter (usb-serial), an Arduino (cdc-acm) and a built-in
// port. The device nodes are plain files: nothing is opened.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PortAdvice.h"
#include "TempDir.h"
#include "posix/PortDiagnostics.h"
#include "posix/TermiosSerial.h"

namespace vm4417 {
namespace {

namespace fs = std::filesystem;

}  // namespace

void PrintTo(const UsbIdentity& usb, std::ostream* out) {
    *out << '{' << usb.vendorProduct << '|' << usb.serialNumber << '|' << usb.location << '|'
         << usb.name << '}';
}

namespace {

class PortPresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* node : {"ttyUSB0", "ttyACM1", "ttyS0", "ttyS4", "ttyUSB300", "ttyUSBx"}) {
            Write(dev / node, "");
        }
        const fs::path ftdi = sys / "devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.2";
        Write(ftdi / "idVendor", "0403\n");
        Write(ftdi / "idProduct", "6001\n");
        Write(ftdi / "serial", "A50285BI\n");
        Tty("ttyUSB0", ftdi / "1-1.2:1.0/ttyUSB0");
        const fs::path arduino = sys / "devices/pci0000:00/0000:00:14.0/usb2/2-3";
        Write(arduino / "idVendor", "2341\n");
        Write(arduino / "idProduct", "0043\n");
        Tty("ttyACM1", arduino / "2-3:1.0");
        Tty("ttyS4", sys / "devices/platform/serial8250");
        fs::create_directories(dev / "serial/by-id");
        fs::create_symlink("../../ttyUSB0", dev / "serial/by-id" / kFtdiName);
    }
    static void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    // /sys/class/tty/NAME/device leads to the tty's device, as in sysfs.
    void Tty(const std::string& name, const fs::path& device) {
        const fs::path classEntry = sys / "class/tty" / name;
        fs::create_directories(classEntry);
        fs::create_directories(device);
        fs::create_symlink(fs::relative(device, classEntry), classEntry / "device");
    }

    static constexpr const char* kFtdiName = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    test::TempDir dir;
    fs::path dev = dir / "dev";
    fs::path sys = dir / "sys";
    TermiosSerialPorts ports{
        SerialLocations{std::nullopt, "/nonexistent", dev, {sys, dev / "serial/by-id"}}};
};

TEST_F(PortPresenceTest, EachPresentPortWithWhatTheSystemTellsOfItsAdapter) {
    struct Expected {
        std::uint8_t number;
        UsbIdentity usb;
    };
    const Expected expected[] = {
        {0, {"0403:6001", "A50285BI", "1-1.2", kFtdiName}},
        {1, {"2341:0043", "", "2-3", ""}},
        {4, {}},
    };
    const auto present = ports.PresentPorts();
    ASSERT_TRUE(present.has_value());
    ASSERT_EQ(present->size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((*present)[i].number, expected[i].number);
        EXPECT_EQ(ports.UsbIdentityOf(expected[i].number), expected[i].usb);
    }
    const std::string list = PortListText(DiagnosePorts(ports), "");
    EXPECT_NE(list.find("\n       USB 0403:6001, sériové číslo A50285BI, místo 1-1.2, název " +
                        std::string(kFtdiName) + "\n"),
              std::string::npos)
        << list;
}

TEST_F(PortPresenceTest, ANodeMadeAnewIsAnotherDeviceUnderTheSameNumber) {
    const auto before = ports.PresentPorts();
    Write(dev / "new", "");
    fs::rename(dev / "new", dev / "ttyACM1");
    const auto after = ports.PresentPorts();
    ASSERT_TRUE(before && after);
    ASSERT_EQ(before->size(), after->size());
    EXPECT_EQ((*before)[0].device, (*after)[0].device);
    EXPECT_NE((*before)[1].device, (*after)[1].device);
}

}  // namespace
}  // namespace vm4417
