// The Windows serial backend and the reader link on it, against simulated
// readers that tests/win32/with-readers maps into the Wine prefix as COM5
// (answers, no chips), COM6 (a chip every 0.4 s), COM7 (never answers) and
// COM8 (goes away when the suite asks).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "Drv232.h"
#include "win32/WideText.h"
#include "win32/Win32Serial.h"

namespace vm4417 {
namespace {

constexpr std::uint8_t kAnsweringPort = 5;
constexpr std::uint8_t kChipPort = 6;
constexpr std::uint8_t kSilentPort = 7;
constexpr std::uint8_t kUnpluggedPort = 8;
constexpr std::uint8_t kEmptyPort = 9;  // registered in the prefix, nothing behind it

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

TEST(Win32Serial, IdentifiesAndCommandsTheReader) {
    Win32SerialPorts ports;
    ReaderLink link(ports);
    ASSERT_TRUE(link.OpenReaderPort(kAnsweringPort));
    ASSERT_TRUE(link.IdentifyReader());
    EXPECT_EQ(link.ReaderIdent(), "4417");
    for (char letter : {'B', 'O', 'R', 'Z'}) {
        EXPECT_TRUE(link.SendReaderCommand(letter)) << letter;
    }
    EXPECT_TRUE(link.CloseReaderPort());
    EXPECT_FALSE(link.CloseReaderPort());
}

TEST(Win32Serial, APollTakesAChipFrame) {
    Win32SerialPorts ports;
    ReaderLink link(ports);
    ASSERT_TRUE(link.OpenReaderPort(kChipPort));
    ReadResult result = ReadResult::Failed;
    // A chip comes every 0.4 s; a poll listens up to 328 ms.
    for (int i = 0; i < 20 && result != ReadResult::Ok; ++i) result = link.PollChipCode(false);
    ASSERT_EQ(result, ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText().size(), 12u);
}

TEST(Win32Serial, ASilentReadEndsAtTheReadTimeOuts) {
    Win32SerialPorts ports;
    auto [line, status] = ports.Open(kSilentPort, ReaderPortConfig());
    ASSERT_TRUE(status.Ok()) << status.detail;
    // 16 bytes: 16 x 8 ms + 200 ms = 328 ms. Loose bounds: an ignored
    // time-out returns at once or blocks for ever, a loaded machine is late.
    const auto start = SteadyClock::now();
    const auto bytes = line->Read(16);
    const auto elapsed = std::chrono::duration_cast<milliseconds>(SteadyClock::now() - start);
    EXPECT_TRUE(bytes.empty());
    EXPECT_GE(elapsed, milliseconds{250});
    EXPECT_LE(elapsed, milliseconds{1500});
    RecordProperty("silent_read_ms", static_cast<int>(elapsed.count()));
}

TEST(Win32Serial, APortOpensOnceAtATimeAndFailedOpensLeaveItFree) {
    Win32SerialPorts ports;
    OpenedLine first = ports.Open(kAnsweringPort, ReaderPortConfig());
    ASSERT_TRUE(first.status.Ok()) << first.status.detail;
    Win32SerialPorts otherCopy;
    const OpenedLine second = otherCopy.Open(kAnsweringPort, ReaderPortConfig());
    EXPECT_EQ(second.line, nullptr);
    EXPECT_EQ(second.status.fault, Fault::InUse) << second.status.detail;
    first.line.reset();
    const OpenedLine again = otherCopy.Open(kAnsweringPort, ReaderPortConfig());
    EXPECT_TRUE(again.status.Ok()) << again.status.detail;
}

TEST(Win32Serial, ANameWithoutADeviceFailsAndCanBeTriedAgain) {
    Win32SerialPorts ports;
    for (std::uint8_t number : {kEmptyPort, std::uint8_t{0}, kEmptyPort}) {
        SCOPED_TRACE(static_cast<int>(number));
        const OpenedLine opened = ports.Open(number, ReaderPortConfig());
        EXPECT_EQ(opened.line, nullptr);
        EXPECT_EQ(opened.status.fault, Fault::Missing) << opened.status.detail;
        EXPECT_FALSE(opened.status.detail.empty());
    }
}

// Wine names every port of its registry in the system's lists; present are
// those whose link in the prefix leads to a device.
TEST(Win32Serial, ThePortsPresentAreThoseThatLeadToADevice) {
    const Win32SerialPorts ports;
    const auto present = ports.PresentPorts();
    ASSERT_TRUE(present.has_value());
    std::vector<int> numbers;
    for (const PresentPort& port : *present) numbers.push_back(port.number);
    for (const int number : {kAnsweringPort, kChipPort, kSilentPort}) {
        EXPECT_NE(std::find(numbers.begin(), numbers.end(), number), numbers.end()) << number;
    }
    EXPECT_EQ(std::find(numbers.begin(), numbers.end(), kEmptyPort), numbers.end());
}

// The claim on a port number is the session's: a copy of the program in
// another session (holding its own claim, or a global one of an older
// version) leaves this session's COM5 alone; a second copy in this session
// does not.
TEST(Win32Serial, APortNumberIsClaimedInTheSessionOnly) {
    struct Case {
        const wchar_t* heldElsewhere;
        Fault fault;
    };
    for (const Case& c :
         {Case{L"Global\\vm4417-COM5", Fault::None}, Case{L"Local\\vm4417-COM5", Fault::InUse}}) {
        SCOPED_TRACE(win32::Utf8(c.heldElsewhere));
        const HANDLE claim = CreateMutexW(nullptr, FALSE, c.heldElsewhere);
        ASSERT_NE(claim, nullptr);
        Win32SerialPorts ports;
        const OpenedLine opened = ports.Open(kAnsweringPort, ReaderPortConfig());
        EXPECT_EQ(opened.status.fault, c.fault) << opened.status.detail;
        CloseHandle(claim);
    }
}

TEST(Win32Serial, AReaderThatGoesAwayIsNoticedAndFailsAtOnce) {
    const char* folder = std::getenv("VM4417_WINE_PORTS");
    ASSERT_NE(folder, nullptr);
    Win32SerialPorts ports;
    auto [line, status] = ports.Open(kUnpluggedPort, ReaderPortConfig());
    ASSERT_TRUE(status.Ok()) << status.detail;
    const std::uint8_t identify[] = {'Q', 'I', '\r'};
    ASSERT_TRUE(line->Write(identify));
    EXPECT_EQ(line->Read(6).size(), 6u);
    EXPECT_FALSE(line->IsLost());
    // The Linux side sees this file (through Wine's Z: drive) and ends the
    // simulator, which hangs up the pseudo-terminal.
    std::ofstream(std::string("Z:") + folder + "/unplug-COM8") << "now\n";
    const auto deadline = SteadyClock::now() + std::chrono::seconds{10};
    while (!line->IsLost() && SteadyClock::now() < deadline) line->Read(16);
    ASSERT_TRUE(line->IsLost());
    const auto start = SteadyClock::now();
    EXPECT_FALSE(line->Write(identify));
    EXPECT_TRUE(line->Read(6).empty());
    EXPECT_LT(SteadyClock::now() - start, milliseconds{100});
}

}  // namespace
}  // namespace vm4417
