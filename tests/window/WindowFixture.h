#pragma once
// The window logic with a fake view and clock, real files in a temporary
// working directory, and simulated readers on pseudo-terminals.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeView.h"
#include "MainWindow.h"
#include "ReaderWorld.h"

namespace vm4417::test {

class CountingSound final : public InfoSound {
public:
    void Play() override { ++plays; }
    void PlayWarning() override { ++warnings; }
    int plays = 0;
    int warnings = 0;
};

// A desktop whose window is in front or not, as set; it keeps every notice
// it was asked to show.
class RecordingAttention final : public Attention {
public:
    bool WindowInFront() override { return inFront; }
    void Ask(const std::string& notice) override { notices.push_back(notice); }
    bool inFront = true;
    std::vector<std::string> notices;
};

class WindowTest : public ::testing::Test, public ReaderWorld {
protected:
    void StoreSettings(const ReaderSettings& settings);
    ReaderSettings StoredSettings();
    // Settings for a start with a reader on `port`: defaults, listing mode.
    static ReaderSettings SettingsWithPort(std::uint8_t port);
    // Creates the window logic and runs start-up.
    void Start();
    // The port numbers that start-up tried, from its status texts.
    std::vector<int> TriedPorts() const;
    // A reader on `port` as the stored settings' port, and start-up.
    readersim::ReaderSimulator& StartWithReaderOn(std::uint8_t port);
    // Sends a frame and runs one tick of the capture cycle.
    void Capture(const std::string& code14);
    // One tick of the poll timer, a timer interval after the last.
    void Tick();
    std::string ListLine(int index) const { return view.MemoLine(index); }

    CountingSound sound;
    RecordingAttention attention;
    FakeView view;
    std::unique_ptr<MainWindow> window;
    // What the window reported for the operator's diagnosis.
    std::vector<std::string> reported;
    // The administrator's preset the window is given; empty: none.
    std::string settingsPreset;
};

}  // namespace vm4417::test
