// Where a lost reader is looked for, against a system whose ports a test
// plugs and unplugs. The ports themselves and their identities as Linux
// tells them are tested in link/PortPresenceTest.cpp; the whole window with
// simulated readers in window/CaptureCycleTest.cpp.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "ReaderSearch.h"

namespace vm4417 {
namespace {

using namespace std::chrono_literals;

class FakePresence final : public PortPresence {
public:
    std::optional<std::vector<PresentPort>> PresentPorts() const override {
        if (!known) return std::nullopt;
        std::vector<PresentPort> present;
        for (const auto& [number, device] : devices) present.push_back({number, device.name});
        return present;
    }
    UsbIdentity UsbIdentityOf(std::uint8_t number) const override {
        const auto it = devices.find(number);
        return it == devices.end() ? UsbIdentity{} : it->second.usb;
    }
    void Plug(std::uint8_t number, std::string name, UsbIdentity usb = {}) {
        devices[number] = {std::move(name), std::move(usb)};
    }
    void Unplug(std::uint8_t number) { devices.erase(number); }

    struct Device {
        std::string name;
        UsbIdentity usb;
    };
    std::map<std::uint8_t, Device> devices;
    bool known = true;
};

const UsbIdentity kReaderAdapter{"0403:6001", "A50285BI", "1-1.2", ""};

class ReaderSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        presence.Plug(3, "ttyUSB3", kReaderAdapter);
        presence.Plug(0, "ttyS0");  // a modem, there all along
        search.Connected(3, "1234");
        presence.Unplug(3);
        search.Lost(now);
    }
    // Ports named over `duration`, tick by tick, each answering `ident`.
    std::vector<int> Named(std::chrono::milliseconds duration,
                           std::optional<std::string> ident = std::nullopt) {
        std::vector<int> named;
        for (const auto end = now + duration; now < end; now += 333ms) {
            if (const auto port = search.NextPort(now)) {
                named.push_back(*port);
                if (search.Identified(*port, ident) == ReturnVerdict::Take) break;
            }
        }
        return named;
    }

    FakePresence presence;
    ReaderSearch search{&presence};
    Clock::TimePoint now{};
};

TEST_F(ReaderSearchTest, TheOwnPortWhileThereAndEachNewPortOncePerAppearance) {
    EXPECT_EQ(Named(5s), std::vector<int>{}) << "nothing there: no request to the modem";
    presence.Plug(3, "ttyUSB3", kReaderAdapter);
    EXPECT_EQ(Named(2700ms), (std::vector<int>{3, 3, 3})) << "about once a second";
    presence.Unplug(3);
    presence.Plug(7, "ttyUSB7");
    EXPECT_EQ(Named(5s), std::vector<int>{7});
    presence.Unplug(7);
    EXPECT_EQ(Named(1s), std::vector<int>{});
    presence.Plug(7, "ttyUSB7");
    EXPECT_EQ(Named(5s), std::vector<int>{7}) << "plugged again: a new appearance";
    presence.Plug(7, "pts/9");
    EXPECT_EQ(Named(5s), std::vector<int>{7}) << "another device under the same number";
}

// Without a port folder, Linux's port 0 is ttyUSB0 while the adapter is
// there and the built-in ttyS0 once it is gone; a sleep lets go of a port
// whose device stays.
TEST_F(ReaderSearchTest, TheOwnNumberIsTriedOnlyWhileItLeadsToTheReadersOwnOrANewDevice) {
    ReaderSearch search0(&presence);
    presence.Plug(0, "ttyUSB0", kReaderAdapter);
    search0.Connected(0, "1234");
    presence.Plug(0, "ttyS0");
    search0.Lost(now);
    std::vector<int> named;
    for (int tick = 0; tick < 9; ++tick, now += 333ms) {
        if (const auto port = search0.NextPort(now)) named.push_back(*port);
    }
    EXPECT_EQ(named, std::vector<int>{}) << "ttyS0 was there all along";
    presence.Plug(0, "ttyUSB0", kReaderAdapter);
    EXPECT_EQ(search0.NextPort(now), 0) << "the adapter is back";

    ReaderSearch asleep(&presence);
    asleep.Connected(0, "1234");
    asleep.Lost(now);
    EXPECT_EQ(asleep.NextPort(now), 0) << "the port was let go, its device stayed";
}

TEST_F(ReaderSearchTest, NewPortsMostLikeTheLostAdapterGoFirst) {
    presence.Plug(9, "ttyUSB9");
    presence.Plug(6, "ttyUSB6", {"1a86:7523", "", "1-4", ""});
    presence.Plug(8, "ttyUSB8", {"0403:6001", "", "1-3", ""});
    presence.Plug(5, "ttyUSB5", {"0403:6001", "", "1-1.2", ""});
    presence.Plug(4, "ttyUSB4", {"0403:6001", "A50285BI", "1-3.1", ""});
    EXPECT_EQ(Named(5s), (std::vector<int>{4, 5, 8, 6, 9}));
}

TEST_F(ReaderSearchTest, WhatTheAnswerDecides) {
    struct Case {
        std::uint8_t port;
        std::optional<std::string> ident;
        ReturnVerdict verdict;
        std::uint8_t connectedAfter;
    };
    const Case cases[] = {
        {3, "1234", ReturnVerdict::Take, 3},
        {3, "7777", ReturnVerdict::Take, 3},  // a spare reader in the same socket
        {3, std::nullopt, ReturnVerdict::NoReader, 3},
        {7, "7777", ReturnVerdict::OtherReader, 3},
        {7, std::nullopt, ReturnVerdict::NoReader, 3},
        {7, "1234", ReturnVerdict::Take, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " " + c.ident.value_or("-"));
        ReaderSearch fresh(&presence);
        presence.Plug(3, "ttyUSB3", kReaderAdapter);
        fresh.Connected(3, "1234");
        presence.Unplug(3);
        fresh.Lost(now);
        EXPECT_EQ(fresh.Identified(c.port, c.ident), c.verdict);
        EXPECT_EQ(fresh.Port(), c.connectedAfter);
    }
}

TEST_F(ReaderSearchTest, ANewPortSettlesFirstAndOneThatDidNotOpenIsTriedAgain) {
    presence.Plug(7, "ttyUSB7");
    ASSERT_EQ(search.NextPort(now), std::nullopt);
    now += kNewPortSettle;
    ASSERT_EQ(search.NextPort(now), 7);
    // Not opened, so not identified: not yet the operator's.
    now += 333ms;
    EXPECT_EQ(search.NextPort(now), std::nullopt);
    now += kReconnectInterval;
    EXPECT_EQ(search.NextPort(now), 7);
}

TEST_F(ReaderSearchTest, WithoutWordFromTheSystemOnlyTheOwnPortIsTried) {
    presence.known = false;
    ReaderSearch blind(&presence);
    blind.Connected(3, "1234");
    blind.Lost(now);
    presence.Plug(7, "ttyUSB7");
    std::vector<int> named;
    for (int tick = 0; tick < 9; ++tick, now += 333ms) {
        if (const auto port = blind.NextPort(now)) named.push_back(*port);
    }
    EXPECT_EQ(named, (std::vector<int>{3, 3, 3}));
    // The first reading the system gives names the ports it has: none new.
    presence.known = true;
    for (int tick = 0; tick < 9; ++tick, now += 333ms) {
        if (const auto port = blind.NextPort(now)) named.push_back(*port);
    }
    EXPECT_EQ(named, (std::vector<int>{3, 3, 3})) << "port 3 is not there; 7 was there before";
}

}  // namespace
}  // namespace vm4417
