// The simulator seen from the program's side: open the link, write requests,
// read what comes back.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <tuple>

#include <gtest/gtest.h>

#include "ReaderSimulator.h"

namespace readersim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vm4417::posix::WriteAll;
namespace fs = std::filesystem;

constexpr std::string_view kCode = "0123456789ABCD";

bool IsUpperHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

// The program's end of the line, opened through the link as the program does.
class Client {
public:
    explicit Client(const fs::path& link)
        : fd_(::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

    bool IsOpen() const { return fd_.IsValid(); }
    bool Write(std::string_view bytes) { return WriteAll(fd_.Get(), bytes, 1s).error.empty(); }

    // Whatever arrives until `count` bytes are there or `timeout` has passed.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout = 1s) {
        std::string got;
        const auto deadline = Clock::now() + timeout;
        while (got.size() < count && WaitFor(POLLIN, deadline)) {
            char buffer[64];
            const ssize_t n =
                ::read(fd_.Get(), buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
        }
        return got;
    }

    // The poll events seen before `timeout`, or 0.
    short Events(std::chrono::milliseconds timeout) {
        pollfd entry{fd_.Get(), POLLIN, 0};
        return ::poll(&entry, 1, static_cast<int>(timeout.count())) > 0 ? entry.revents : 0;
    }

    int Fd() const { return fd_.Get(); }

private:
    bool WaitFor(short events, Clock::time_point deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd entry{fd_.Get(), events, 0};
        return ::poll(&entry, 1, static_cast<int>(left.count())) > 0;
    }

    UniqueFd fd_;
};

class ReaderSimulatorTest : public ::testing::Test {
protected:
    ReaderSimulatorTest() {
        char pattern[] = "/tmp/readersim-test-XXXXXX";
        if (::mkdtemp(pattern)) dir_ = pattern;
    }
    ~ReaderSimulatorTest() override {
        sim_.reset();
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    ReaderSimulator& Start(Options options = {}) {
        options.linkDir = dir_;
        options.seed = 4417;
        sim_ = std::make_unique<ReaderSimulator>(options);
        const Result started = sim_->Start();
        EXPECT_TRUE(started.ok()) << started.error;
        return *sim_;
    }

    fs::path dir_;
    std::unique_ptr<ReaderSimulator> sim_;
};

TEST_F(ReaderSimulatorTest, AnswersEachRequestKindWithItsFixedLengthReply) {
    Options options;
    options.ident = "7Q3Z";
    ReaderSimulator& sim = Start(options);
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());

    ASSERT_TRUE(client.Write("QI\r"));
    EXPECT_EQ(client.Read(6), "A7Q3Z\r");

    ASSERT_TRUE(client.Write("QB\r"));
    const std::string ack = client.Read(4);
    ASSERT_EQ(ack.size(), 4u);
    EXPECT_EQ(ack.front(), 'A');
    EXPECT_EQ(ack.back(), '\r');
    EXPECT_TRUE(sim.IsBlocked());

    ASSERT_TRUE(sim.SendFrame(kCode).ok());
    EXPECT_EQ(client.Read(16), "A" + std::string(kCode) + "\r");
    ASSERT_TRUE(client.Write("*D0\r"));
    EXPECT_EQ(client.Read(18), "A" + std::string(kCode) + "00\r");

    // Replies go out before the log entry is made.
    ASSERT_TRUE(sim.WaitForRequests(3, 1s));
    const std::vector<Request> log = sim.Requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].kind, RequestKind::Identification);
    EXPECT_EQ(log[1].kind, RequestKind::Command);
    EXPECT_EQ(log[1].command, 'B');
    EXPECT_EQ(log[2].kind, RequestKind::RepeatedRead);
    EXPECT_EQ(log[2].bytes, "*D0\r");
}

TEST_F(ReaderSimulatorTest, SkipsGarbageAndWaitsForSplitRequests) {
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());

    ASSERT_TRUE(client.Write("\x01Q*D\x7fQ7\rQI\r"));
    EXPECT_EQ(client.Read(6), "A1234\r");

    ASSERT_TRUE(client.Write("Q"));
    EXPECT_EQ(client.Read(1, 50ms), "");
    ASSERT_TRUE(client.Write("I\r"));
    EXPECT_EQ(client.Read(6), "A1234\r");
    EXPECT_EQ(client.Read(1, 50ms), "");
    ASSERT_TRUE(sim.WaitForRequests(2, 1s));
    EXPECT_EQ(sim.Requests().size(), 2u);
}

TEST_F(ReaderSimulatorTest, EachMalformationCorruptsRepliesAndFramesAsItClaims) {
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());
    const std::string frame = "A" + std::string(kCode) + "\r";
    const std::tuple<Malformation, std::string, std::string> cases[] = {
        {Malformation::WrongFirstByte, "B1234\r", "B" + frame.substr(1)},
        {Malformation::WrongLastByte, "A1234\n", frame.substr(0, 15) + "\n"},
        {Malformation::MissingLastByte, "A1234", frame.substr(0, 15)},
    };
    for (const auto& [malformation, reply, malformedFrame] : cases) {
        sim.SetMalformation(malformation);
        ASSERT_TRUE(client.Write("QI\r"));
        EXPECT_EQ(client.Read(6, 200ms), reply);
        ASSERT_TRUE(sim.SendFrame(kCode).ok());
        EXPECT_EQ(client.Read(16, 200ms), malformedFrame);
    }
}

TEST_F(ReaderSimulatorTest, SilenceLogsRequestsWithoutReplying) {
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());

    sim.SetSilent(true);
    ASSERT_TRUE(client.Write("QI\r"));
    ASSERT_TRUE(sim.WaitForRequests(1, 1s));
    EXPECT_EQ(client.Read(1, 200ms), "");
    EXPECT_EQ(sim.Requests()[0].reply, "");

    sim.SetSilent(false);
    ASSERT_TRUE(client.Write("QI\r"));
    EXPECT_EQ(client.Read(6), "A1234\r");
}

TEST_F(ReaderSimulatorTest, SendsFramesAndRawBytesExactly) {
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());

    EXPECT_FALSE(sim.SendFrame("ABC").ok());
    const Transmission random = sim.SendFrame();
    ASSERT_TRUE(random.ok()) << random.error;
    const std::string frame = client.Read(16);
    ASSERT_EQ(frame.size(), 16u);
    EXPECT_EQ(frame, random.bytes);
    EXPECT_EQ(frame.front(), 'A');
    EXPECT_EQ(frame.back(), '\r');
    EXPECT_TRUE(IsUpperHex(frame.substr(1, 14))) << Printable(frame);

    ASSERT_TRUE(sim.SendRaw("A01\r").ok());
    EXPECT_EQ(client.Read(4), "A01\r");
}

TEST_F(ReaderSimulatorTest, HoldsTimerAndQueuedFramesUntilTheFirstRequest) {
    Options options;
    options.behaviour.frameInterval = 20ms;
    ReaderSimulator& sim = Start(options);
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());

    ASSERT_TRUE(sim.QueueFrame(kCode).ok());
    EXPECT_EQ(client.Read(1, 150ms), "");
    ASSERT_TRUE(client.Write("QI\r"));
    EXPECT_EQ(client.Read(6), "A1234\r");
    EXPECT_EQ(client.Read(16), "A" + std::string(kCode) + "\r");
    const std::string timed = client.Read(16);
    ASSERT_EQ(timed.size(), 16u);
    EXPECT_TRUE(IsUpperHex(timed.substr(1, 14))) << Printable(timed);
}

TEST_F(ReaderSimulatorTest, WithoutHoldTimerFramesComeBeforeAnyRequest) {
    Options options;
    options.holdFramesUntilFirstRequest = false;
    options.behaviour.frameInterval = 20ms;
    ReaderSimulator& sim = Start(options);
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Read(16).size(), 16u);
}

TEST_F(ReaderSimulatorTest, StopHangsUpTheClientRemovesTheLinkAndStartReplugs) {
    fs::create_symlink("/nonexistent/stale", dir_ / "COM1");
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());

    sim.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.LinkPath())));
    EXPECT_TRUE(client.Events(1s) & POLLHUP);
    char byte = 0;
    const ssize_t got = ::read(client.Fd(), &byte, 1);
    EXPECT_TRUE(got == 0 || (got < 0 && errno == EIO)) << got << " " << errno;

    ASSERT_TRUE(sim.Start().ok());
    Client replugged(sim.LinkPath());
    ASSERT_TRUE(replugged.IsOpen());
    ASSERT_TRUE(replugged.Write("QI\r"));
    EXPECT_EQ(replugged.Read(6), "A1234\r");
}

TEST_F(ReaderSimulatorTest, PacingSpreadsAReplyOverTheLineTime) {
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());
    sim.SetPacing(true);

    const auto asked = Clock::now();
    ASSERT_TRUE(client.Write("*D0\r"));
    EXPECT_EQ(client.Read(18).size(), 18u);
    const auto took = Clock::now() - asked;
    EXPECT_GT(took, 12ms);
    EXPECT_LT(took, 80ms);
}

TEST_F(ReaderSimulatorTest, NoiseArrivesUnasked) {
    ReaderSimulator& sim = Start();
    Client client(sim.LinkPath());
    ASSERT_TRUE(client.IsOpen());
    sim.SetNoiseRate(500);
    EXPECT_EQ(client.Read(5).size(), 5u);
    EXPECT_TRUE(sim.Requests().empty());
}

}  // namespace
}  // namespace readersim
