// The Windows serial backend and the reader link on it, against simulated
// readers that tests/win32/with-readers maps into the Wine prefix as COM5
// (answers, no chips), COM6 (a chip every 0.4 s) and COM7 (never answers).

#include <gtest/gtest.h>

#include <chrono>

#include "Drv232.h"
#include "win32/Win32Serial.h"

namespace vm4417 {
namespace {

constexpr std::uint8_t kAnsweringPort = 5;
constexpr std::uint8_t kChipPort = 6;
constexpr std::uint8_t kSilentPort = 7;
constexpr std::uint8_t kEmptyPort = 9;  // registered in the prefix, nothing behind it

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

TEST(Win32Serial, IdentifiesAndCommandsTheReader) {
    Win32SerialPorts ports;
    ReaderLink link(ports);
    ASSERT_TRUE(link.OpenReaderPort(kAnsweringPort)) << ports.LastFailure();
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
    ASSERT_TRUE(link.OpenReaderPort(kChipPort)) << ports.LastFailure();
    ReadResult result = ReadResult::Failed;
    // A chip comes every 0.4 s; a poll listens up to 328 ms.
    for (int i = 0; i < 20 && result != ReadResult::Ok; ++i) result = link.PollChipCode(false);
    ASSERT_EQ(result, ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText().size(), 12u);
}

TEST(Win32Serial, ASilentReadEndsAtTheReadTimeOuts) {
    Win32SerialPorts ports;
    auto line = ports.Open(kSilentPort, ReaderPortConfig());
    ASSERT_NE(line, nullptr) << ports.LastFailure();
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
    auto first = ports.Open(kAnsweringPort, ReaderPortConfig());
    ASSERT_NE(first, nullptr) << ports.LastFailure();
    Win32SerialPorts otherCopy;
    EXPECT_EQ(otherCopy.Open(kAnsweringPort, ReaderPortConfig()), nullptr);
    EXPECT_FALSE(otherCopy.LastFailure().empty());
    first.reset();
    EXPECT_NE(otherCopy.Open(kAnsweringPort, ReaderPortConfig()), nullptr) << otherCopy.LastFailure();
}

TEST(Win32Serial, ANameWithoutADeviceFailsAndCanBeTriedAgain) {
    Win32SerialPorts ports;
    for (std::uint8_t number : {kEmptyPort, std::uint8_t{0}, kEmptyPort}) {
        SCOPED_TRACE(static_cast<int>(number));
        EXPECT_EQ(ports.Open(number, ReaderPortConfig()), nullptr);
        EXPECT_FALSE(ports.LastFailure().empty());
    }
}

}  // namespace
}  // namespace vm4417
