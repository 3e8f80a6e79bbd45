// The reader link over the termios backend, against the simulated reader on
// real pseudo-terminals.

#include <dirent.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "Drv232.h"
#include "ReaderSimulator.h"
#include "TempDir.h"
#include "posix/TermiosSerial.h"

namespace vm4417 {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using readersim::Malformation;

constexpr std::uint8_t kPort = 5;

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

readersim::Options SimOptions(const std::string& dir, int port = kPort) {
    readersim::Options options;
    options.linkDir = dir;
    options.port = port;
    options.ident = "1234";
    options.holdFramesUntilFirstRequest = false;
    options.seed = 7;
    return options;
}

class ReaderLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Start().ok()) << sim.RunError();
        ASSERT_TRUE(link.OpenReaderPort(kPort));
    }
    // Runs `request` and returns how long it took.
    template <typename F>
    static Steady::duration Timed(F&& request) {
        const auto start = Steady::now();
        request();
        return Steady::now() - start;
    }

    test::TempDir dir;
    readersim::ReaderSimulator sim{SimOptions(dir.path())};
    TermiosSerialPorts ports{SerialLocations{dir.path(), "/nonexistent", "/dev"}};
    ReaderLink link{ports};
};

TEST(PortNames, NumbersMapToDirectoryLinksOrDeviceNames) {
    TermiosSerialPorts inDirectory(SerialLocations{"/tmp/ports", "/nonexistent", "/dev"});
    EXPECT_EQ(inDirectory.CandidatePaths(9), std::vector<std::string>{"/tmp/ports/COM9"});
    EXPECT_EQ(inDirectory.CandidatePaths(10), std::vector<std::string>{"/tmp/ports/COM10"});

    // Device names are checked in a directory of our own: real serial
    // devices are not touched by tests.
    test::TempDir devices;
    TermiosSerialPorts system(SerialLocations{std::nullopt, "/nonexistent", devices.path()});
    EXPECT_EQ(
        system.CandidatePaths(0),
        (std::vector<std::string>{devices / "ttyUSB0", devices / "ttyACM0", devices / "ttyS0"}));
    EXPECT_EQ(system.DevicePath(3), std::nullopt);
    test::WriteFileBytes(devices / "ttyS3", {});
    test::WriteFileBytes(devices / "ttyACM3", {});
    EXPECT_EQ(system.DevicePath(3), devices / "ttyACM3");
    test::WriteFileBytes(devices / "ttyUSB3", {});
    EXPECT_EQ(system.DevicePath(3), devices / "ttyUSB3");
}

TEST(PortOpening, TheActiveConsoleIsNeverOpened) {
    test::TempDir dir;
    readersim::ReaderSimulator sim(SimOptions(dir.path()));
    ASSERT_TRUE(sim.Start().ok());
    const std::string device = sim.DevicePath();  // e.g. /dev/pts/4
    ASSERT_EQ(device.rfind("/dev/", 0), 0u);
    const std::string consoles = dir / "active";
    std::ofstream(consoles) << "tty0 " << device.substr(5) << "\n";

    TermiosSerialPorts guarded(SerialLocations{dir.path(), consoles, "/dev"});
    EXPECT_TRUE(guarded.IsActiveConsole(dir / "COM5"));
    EXPECT_EQ(guarded.Open(kPort, ReaderPortConfig()).line, nullptr);

    std::ofstream(consoles) << "tty0\n";
    EXPECT_FALSE(guarded.IsActiveConsole(dir / "COM5"));
    EXPECT_NE(guarded.Open(kPort, ReaderPortConfig()).line, nullptr);
}

TEST(PortOpening, APortIsExclusiveAndFailedOpensLeakNothing) {
    test::TempDir dir;
    readersim::ReaderSimulator sim(SimOptions(dir.path()));
    ASSERT_TRUE(sim.Start().ok());
    TermiosSerialPorts ports(SerialLocations{dir.path(), "/nonexistent", "/dev"});
    auto first = ports.Open(kPort, ReaderPortConfig());
    ASSERT_NE(first.line, nullptr);
    const int descriptors = OpenDescriptorCount();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(ports.Open(kPort, ReaderPortConfig()).line, nullptr)
            << "a second user of the port";
        EXPECT_EQ(ports.Open(kPort + 1, ReaderPortConfig()).line, nullptr)
            << "a port that does not exist";
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    first.line.reset();
    EXPECT_NE(ports.Open(kPort, ReaderPortConfig()).line, nullptr) << "free again after closing";
}

TEST_F(ReaderLinkTest, IdentificationNeedsAWellFramedReply) {
    EXPECT_TRUE(link.IdentifyReader());
    EXPECT_EQ(link.ReaderIdent(), "1234");
    ASSERT_TRUE(sim.WaitForRequests(1, 1s));
    EXPECT_EQ(sim.Requests().front().bytes, "QI\r");

    sim.SetMalformation(Malformation::WrongLastByte);
    ReaderLink fresh(ports);
    link.CloseReaderPort();
    ASSERT_TRUE(fresh.OpenReaderPort(kPort));
    EXPECT_FALSE(fresh.IdentifyReader());
    EXPECT_EQ(fresh.ReaderIdent(), "");
}

TEST_F(ReaderLinkTest, CommandsAcceptAnyTwoPayloadBytes) {
    EXPECT_TRUE(link.SendReaderCommand('R'));
    EXPECT_TRUE(sim.IsLedOn());
    sim.SetSilent(true);
    // Replies already waiting are taken in order; nothing is purged.
    sim.SendRaw(std::string("A\0\xFF\r", 4));
    sim.SendRaw("A??\r");
    EXPECT_TRUE(link.SendReaderCommand('B'));
    EXPECT_TRUE(link.SendReaderCommand('O'));
    EXPECT_FALSE(link.SendReaderCommand('Z')) << "silence";
    sim.SendRaw("B??\r");
    EXPECT_FALSE(link.SendReaderCommand('Z')) << "wrong first byte";
}

TEST_F(ReaderLinkTest, AValidFrameBecomesTheCodeAndAMalformedOneChangesNothing) {
    sim.SendFrame("00000A1B2C3D45");
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText(), "00000A1B2C3D");
    const auto raw = link.RawCodeChars();
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + 14), "00000A1B2C3D45");

    sim.SendRaw("B11111111111111\r");
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Failed);
    sim.SendRaw("A22222222222222\n");
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Failed);
    EXPECT_EQ(link.ChipCodeText(), "00000A1B2C3D");
    EXPECT_EQ(link.RawCodeChars(), raw);
}

TEST_F(ReaderLinkTest, RepeatedReadAndDecimalConversion) {
    sim.SendFrame("00000000001000");
    EXPECT_EQ(link.PollChipCode(true), ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText(), "16");
    EXPECT_EQ(link.RepeatChipRead(false), ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText(), "000000000010");
    ASSERT_TRUE(sim.WaitForRequests(1, 1s));
    EXPECT_EQ(sim.Requests().back().bytes.substr(0, 2), "*D");
    EXPECT_EQ(sim.Requests().back().bytes.size(), 4u);

    // A code that does not convert leaves the old text and says why.
    sim.SendFrame("000G0000000000");
    EXPECT_EQ(link.PollChipCode(true), ReadResult::ConversionError);
    EXPECT_EQ(link.ConversionMessage(), "'$000G00000000' is not a valid integer value");
    EXPECT_EQ(link.ChipCodeText(), "000000000010");
    EXPECT_EQ(link.RawCodeChars()[3], 'G');
}

// Bounds come from the design's time-outs with wide margins for a loaded
// machine; the fine timing is measured by bench/link_bench.
TEST_F(ReaderLinkTest, ReadsEndAtTheTimeOutsAndNoLater) {
    // Silence: 16 x 8 ms + 200 ms = 328 ms, never less.
    const auto silent = Timed([&] { EXPECT_EQ(link.PollChipCode(false), ReadResult::Failed); });
    EXPECT_GE(silent, 325ms);
    EXPECT_LT(silent, 1000ms);

    // A complete frame already there returns well before the time-out.
    sim.SendFrame();
    const auto ready = Timed([&] { EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok); });
    EXPECT_LT(ready, 200ms);

    // A frame arriving during the read ends it as its last byte comes in,
    // not at the time-out.
    std::jthread later([&] {
        std::this_thread::sleep_for(100ms);
        sim.SendFrame();
    });
    const auto arriving = Timed([&] { EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok); });
    EXPECT_GE(arriving, 95ms);
    EXPECT_LT(arriving, 325ms);
}

TEST_F(ReaderLinkTest, AGapOfMoreThan20msEndsTheRead) {
    std::jthread torn([&] {
        sim.SendRaw("A0000000");
        std::this_thread::sleep_for(120ms);
        sim.SendRaw("0000000\r");
    });
    const auto start = Steady::now();
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Failed);
    // Had the read waited for the whole time-out, the rest sent at 120 ms
    // would have completed the frame.
    EXPECT_LT(Steady::now() - start, 325ms) << "ended by the 20 ms gap, not at 328 ms";
    torn.join();
    // The rest of the torn frame is left for the next read, which fails too.
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Failed);
    sim.SendFrame("11111111111111");
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText(), "111111111111");
}

TEST_F(ReaderLinkTest, FramesMetInPlaceOfARequestsReplyBecomeTheNextCodes) {
    struct Case {
        const char* request;
        std::function<bool(ReaderLink&)> run;
    };
    const Case cases[] = {
        {"identification", [](ReaderLink& l) { return l.IdentifyReader(); }},
        {"LED off", [](ReaderLink& l) { return l.SendReaderCommand('Z'); }},
        {"repeated read", [](ReaderLink& l) { return l.RepeatChipRead(false) == ReadResult::Ok; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        sim.SendFrame("AAAAAAAAAAAAAA");
        sim.SendFrame("BBBBBBBBBBBBBB");
        EXPECT_TRUE(c.run(link)) << "the reply behind the frames is still taken";
        EXPECT_EQ(link.QueuedFrames(), 2u);
        EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok);
        EXPECT_EQ(link.ChipCodeText(), "AAAAAAAAAAAA");
        EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok);
        EXPECT_EQ(link.ChipCodeText(), "BBBBBBBBBBBB");
        sim.SendFrame("CCCCCCCCCCCCCC");
        EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok) << "the line is in step again";
        EXPECT_EQ(link.ChipCodeText(), "CCCCCCCCCCCC");
    }
}

TEST_F(ReaderLinkTest, BytesThatFormNoFrameAreTakenAsTheReplyAndTheRestKeptInOrder) {
    // Sixteen bytes that are no frame, then the command's reply "AZ0" CR: the
    // command takes four of them and fails, and nothing after them is lost.
    sim.SendRaw("A000A12345678901");
    EXPECT_FALSE(link.SendReaderCommand('Z'));
    EXPECT_EQ(link.QueuedFrames(), 0u);
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok) << "A12345678901AZ0 and CR";
    EXPECT_EQ(link.ChipCodeText(), "12345678901A");
    const auto raw = link.RawCodeChars();
    EXPECT_EQ(std::string(raw.begin(), raw.begin() + 14), "12345678901AZ0");
}

TEST_F(ReaderLinkTest, PacedBytesAtRealLineSpeedAreReadWhole) {
    sim.SetPacing(true);
    sim.SendFrame("0123456789ABCD");
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText(), "0123456789AB");
    EXPECT_TRUE(link.IdentifyReader());
}

TEST_F(ReaderLinkTest, NoiseNeverYieldsACodeAndTheLinkRecovers) {
    // 10,000 random bytes without "A", so no window of them is a frame.
    std::mt19937 random(99);
    std::string noise(10000, '\0');
    for (char& c : noise) {
        do {
            c = static_cast<char>(random() & 0xFF);
        } while (c == 'A');
    }
    sim.SendRaw(noise);
    // 625 full reads, then one that takes the rest and ends 20 ms later.
    for (int poll = 0; poll < 627; ++poll) {
        ASSERT_EQ(link.PollChipCode(false), ReadResult::Failed) << "poll " << poll;
    }
    sim.SendFrame("0000000000FEED");
    EXPECT_EQ(link.PollChipCode(false), ReadResult::Ok);
    EXPECT_EQ(link.ChipCodeText(), "0000000000FE");
}

TEST_F(ReaderLinkTest, AVanishedReaderFailsEveryRequestQuickly) {
    sim.Stop();
    for (int i = 0; i < 5; ++i) {
        const auto took = Timed([&] {
            EXPECT_EQ(link.PollChipCode(false), ReadResult::Failed);
            EXPECT_FALSE(link.IdentifyReader());
            EXPECT_FALSE(link.SendReaderCommand('Z'));
            EXPECT_EQ(link.RepeatChipRead(false), ReadResult::Failed);
        });
        EXPECT_LT(took, 1500ms);
    }
    link.CloseReaderPort();
    EXPECT_FALSE(link.CloseReaderPort()) << "nothing left to close";
    EXPECT_FALSE(link.OpenReaderPort(kPort)) << "the link is gone";
}

}  // namespace
}  // namespace vm4417
