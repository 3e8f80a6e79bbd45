#pragma once
// MainWindow is the main window's behaviour without any toolkit: start-up,
// the option boxes, the capture cycle, the operator's commands, the counter
// field and demo mode. It works on a MainView (drawn by TForm1, the Qt view,
// or its Win32 twin) and on the reader link, files, clock, key sink and sound
// it is given, so the same logic serves any toolkit and runs in tests
// without one.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Attention.h"
#include "Clock.h"
#include "DemoCodes.h"
#include "Drv232.h"
#include "FileStore.h"
#include "Form1Layout.h"
#include "Global.h"
#include "InfoSound.h"
#include "KeySink.h"
#include "MainView.h"
#include "ReaderSearch.h"

namespace vm4417 {

inline constexpr int kListLastLine = kListLineCount - 1;
// Spaces between the list's columns, so that they sit under the headings.
inline constexpr int kGapAfterOrder = 7;
inline constexpr int kGapAfterTime = 6;
inline constexpr int kScanTries = kHighestScannedPort + 1;
inline constexpr std::chrono::milliseconds kIdentifyWait{300};
inline constexpr std::chrono::milliseconds kDemoLedTime{500};
inline constexpr std::chrono::milliseconds kTimer1Interval{333};
inline constexpr std::chrono::milliseconds kTimer2Interval{2000};
inline constexpr Rgb kRepeatReadColor{255, 255, 0};

struct MainWindowServices {
    MainView& view;
    SerialPorts& ports;
    FileStore& files;
    Clock& clock;
    KeySink& keys;
    InfoSound& sound;
    std::uint64_t demoSeed = 0;
    // Caption of the conversion error box, see ApplicationTitle().
    std::string applicationTitle;
    // Takes a line for the operator's diagnosis (standard error) when a
    // capture could not be typed; may be empty.
    std::function<void(const std::string&)> reportProblem;
    // Reaches the operator when a capture was not typed while the window is
    // not in front; may be null.
    Attention* attention = nullptr;
    // The administrator's preset settings file, taken at a first start in
    // place of the defaults (see SettingsPreset.h); empty: none.
    std::string settingsPreset{};
    // Which ports are present, where a lost reader is also looked for; null:
    // only its own port.
    const PortPresence* presence = nullptr;
};

// A port that start-up's scan could not open, and the system's reason.
struct PortFailure {
    std::uint8_t number = 0;
    Status status;
};

// The program's title from its executable's file name: the name up to its
// first full stop, the first letter upper case and the rest lower case
// ("vm4417" gives "Vm4417").
std::string ApplicationTitle(std::string_view executableFileName);

class MainWindow {
public:
    explicit MainWindow(const MainWindowServices& services);

    // Start-up: settings, port scan, controls from the settings. The view
    // calls it once, at the first activation of the window.
    void FormActivate();

    // A box changed state (by a click); runs its handler. Each handler copies
    // its box into the settings record in memory.
    void CheckBoxClick(Control box);
    void CheckBox1Click();    // "Kód čipu do klávesnice": type captures; shows the two below
    void CheckBox2Click();    // "Zhasnutí LED po přijetí kódu": LED off after a capture
    void CheckBox3Click();    // "Pořadí do klávesnice": type the order number first
    void CheckBox4Click();    // "Čas do klávesnice": type the time first
    void CheckBox5Click();    // "Minimalizovat po spuštění": minimise at the next start
    void CheckBox6Click();    // "Ukládat na disk": append captures to the daily log
    void CheckBox7Click();    // "Zvukový signál": a sound for each capture
    void CheckBox8Click() {}  // "Family" (hidden): nothing
    void CheckBox9Click();    // "CRC" (hidden): stored, never used
    void CheckBox10Click();   // "Dekadický kód": codes in decimal
    void CheckBox11Click();   // "Přesné znaky": the same characters on every layout

    void Timer1Timer();  // poll timer (333 ms): one poll, and a capture when a frame came
    void Timer2Timer();  // demo timer (2000 ms): one invented capture

    void BitBtn1Click();       // "Zablokování": block the reader
    void BitBtn2Click();       // "Odblokování": unblock the reader
    void BitBtn3Click();       // "Rozsviť LED": light the reader's LED
    void BitBtn4Click();       // "Zhasni LED": darken the reader's LED
    void BitBtn5Click();       // "Opakované čtení čipu": repeat a read into the status bar
    void BitBtn6Click();       // "Nuluj pořadí": order number back to 0
    void BitBtn7Click();       // "Konec programu": close the port, save the settings, end
    void BitBtn8Click();       // "Demo" / "Stop": start or stop demo captures
    void SpeedButton1Click();  // the telephone picture: the maker-information window
    // The focus left the counter field for another control of this window.
    // False when the text was refused (an error box was shown).
    bool Edit1Exit();

    // The machine is about to sleep: the reader's port is let go, so that
    // its adapter can come back under the same name.
    void PrepareForSleep();
    // The machine woke up: the reader is opened and identified again at
    // once, and looked for as a lost one if it is not back on its port.
    void ResumeFromSleep();

    const ReaderSettings& Settings() const { return settings_; }
    std::uint32_t CaptureCounter() const { return captureCounter_; }
    const std::string& CaptureTime() const { return captureTime_; }
    int ListLine() const { return listLine_; }
    bool DemoIdle() const { return demoIdle_; }
    bool ReaderFound() const { return readerFound_; }
    // The reader's line was lost (or let go for a sleep) and the window
    // waits for it to come back.
    bool ReaderLost() const { return readerLost_; }
    bool Asleep() const { return asleep_; }
    const ReaderLink& Link() const { return link_; }
    // The ports start-up's scan could not open, in scan order; the entry
    // point tells the operator about them.
    const std::vector<PortFailure>& ScanFailures() const { return scanFailures_; }

private:
    void LoadOrCreateSettings();
    void TakePreset();
    bool ScanPorts();
    bool TryPort(std::uint8_t number);
    void EnterReaderState();
    void EnterNoReaderState();
    void ShowCaptureArea();
    void SetOptionBoxes();

    // Changes a box from code; its handler runs when the state changes.
    void SetCheckBox(Control box, bool checked);
    std::uint8_t BoxFlag(Control box) const;

    void PollReader();
    void NoteReaderLost();
    void WaitForReader();
    void IdentifyReturningReader(std::uint8_t port);
    void TakeReturnedReader(std::uint8_t port);
    void ShowConnected();

    void ShowStatus(std::string_view text);
    void ShowLogError();
    void ShowCaptureError(std::string_view text);
    void ShowTypingError(const std::string& problem);
    void ShowTypingNote(std::string_view note);
    void TellNotTyped(const std::string& problem);
    void ShowQuietStatus();

    void RegisterCapture();
    void WriteListLine();
    void NextCounter();
    void ShowLedLit();
    void ShowLedDark();
    void NameLed(bool lit);
    bool ReaderCommand(char letter, std::string_view done, std::string_view failed);
    void ShowConversionError();

    MainView& view_;
    FileStore& files_;
    Clock& clock_;
    KeySink& keys_;
    InfoSound& sound_;
    std::string applicationTitle_;
    std::function<void(const std::string&)> reportProblem_;
    Attention* attention_;
    std::string settingsPreset_;
    ReaderLink link_;
    ReaderSearch search_;
    DemoCodes demoCodes_;

    ReaderSettings settings_;
    std::uint32_t captureCounter_ = 0;
    std::string captureTime_;
    int listLine_ = 0;
    bool demoIdle_ = false;
    bool readerFound_ = false;
    bool readerLost_ = false;
    bool asleep_ = false;
    // While the reader is lost: the port opened to look for it, and when (it
    // is identified on a later tick, once it had a moment).
    std::optional<std::uint8_t> tryingPort_;
    Clock::TimePoint openedAt_{};
    Rgb statusColor_;
    // The status bar shows the log error; and the capture in hand could not
    // be logged.
    bool logErrorShown_ = false;
    bool captureLogFailed_ = false;
    std::vector<PortFailure> scanFailures_;
};

}  // namespace vm4417
