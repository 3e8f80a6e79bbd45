#include "MainWindow.h"

#include <cctype>
#include <optional>

#include "Accessibility.h"
#include "CounterInput.h"
#include "KeyTyping.h"
#include "PrintableText.h"
#include "SettingsPreset.h"
#include "Texts.h"

namespace vm4417 {

namespace {

std::string Concat(std::string_view a, std::string_view b) {
    std::string s(a);
    s += b;
    return s;
}

// "Záznam č. 12 nebyl napsán: obrazovka je zamčená. Je v seznamu v okně
// programu."
std::string NotTypedNotice(std::uint32_t counter, const std::string& problem) {
    std::string notice = Concat(text::kNotTypedStart, CounterText(counter));
    notice += text::kNotTypedMiddle;
    if (!problem.empty()) notice += ": " + problem;
    notice += text::kNotTypedEnd;
    return notice;
}

}  // namespace

std::string ApplicationTitle(std::string_view executableFileName) {
    const auto slash = executableFileName.find_last_of("/\\");
    if (slash != std::string_view::npos) executableFileName.remove_prefix(slash + 1);
    std::string title(executableFileName.substr(0, executableFileName.find('.')));
    for (std::size_t i = 0; i < title.size(); ++i) {
        const auto c = static_cast<unsigned char>(title[i]);
        title[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return title;
}

MainWindow::MainWindow(const MainWindowServices& services)
    : view_(services.view),
      files_(services.files),
      clock_(services.clock),
      keys_(services.keys),
      sound_(services.sound),
      applicationTitle_(services.applicationTitle),
      reportProblem_(services.reportProblem),
      attention_(services.attention),
      settingsPreset_(services.settingsPreset),
      link_(services.ports),
      search_(services.presence),
      demoCodes_(services.demoSeed) {}

// ---- Start-up --------------------------------------------------------------

void MainWindow::FormActivate() {
    LoadOrCreateSettings();
    demoIdle_ = false;
    statusColor_ = view_.StatusColor();
    readerFound_ = ScanPorts();
    if (readerFound_) {
        EnterReaderState();
    } else {
        EnterNoReaderState();
    }
    captureCounter_ = settings_.StoredCounter;
    listLine_ = 0;
    view_.SetText(Control::Edit1, CounterText(captureCounter_));
    SetOptionBoxes();
}

// Only a first start (no file) writes the defaults, or the administrator's
// preset in their place. A file that is there but cannot be read is left
// alone for the operator to look into; the program runs on the defaults
// meanwhile.
void MainWindow::LoadOrCreateSettings() {
    switch (LoadSettings(files_, settings_)) {
        case SettingsLoad::Loaded: return;
        case SettingsLoad::Missing:
            ApplyDefaults(settings_);
            TakePreset();
            if (!SaveSettings(files_, settings_)) {
                view_.ShowErrorBox(std::string(text::kSettingsSaveError));
            }
            return;
        case SettingsLoad::Unreadable:
            ApplyDefaults(settings_);
            view_.ShowErrorBox(std::string(text::kSettingsReadError));
            return;
    }
}

void MainWindow::TakePreset() {
    const PresetReading preset = ReadPreset(files_, settingsPreset_);
    if (preset.load == PresetLoad::Loaded) settings_ = preset.settings;
    if (preset.load == PresetLoad::Invalid) {
        // Also for the administrator's logs: a start at login shows the box
        // to an operator who did not make the file.
        const std::string text = InvalidPresetText(settingsPreset_, preset.reason);
        if (reportProblem_) reportProblem_(text);
        view_.ShowErrorBox(text);
    }
}

// Tries each number from 0 to kHighestScannedPort once, starting at the
// stored one and going down, wrapping from 0 to the highest.
bool MainWindow::ScanPorts() {
    scanFailures_.clear();
    auto number = static_cast<std::uint8_t>(settings_.PortNumber + 1);
    for (int attempt = 0; attempt < kScanTries; ++attempt) {
        number = number == 0 ? kHighestScannedPort : static_cast<std::uint8_t>(number - 1);
        if (TryPort(number)) return true;
    }
    return false;
}

bool MainWindow::TryPort(std::uint8_t number) {
    const std::string portName = std::to_string(number);
    ShowStatus(Concat(text::kTestingPort, portName));
    view_.RepaintNow(Control::StatusBar1);
    if (!link_.OpenReaderPort(number)) {
        scanFailures_.push_back({number, link_.LastOpenStatus()});
        return false;
    }
    // The reader needs a moment after its modem lines come up.
    clock_.SleepFor(kIdentifyWait);
    if (link_.IdentifyReader()) {
        settings_.PortNumber = number;
        search_.Connected(number, link_.ReaderIdent());
        ShowConnected();
        view_.SetCaption(view_.Caption() + link_.ReaderIdent());
        return true;
    }
    if (!link_.CloseReaderPort()) ShowStatus(text::kPortCloseError);
    return false;
}

void MainWindow::ShowConnected() {
    ShowStatus(Concat(text::kConnected, link_.ReaderIdent()) +
               Concat(text::kOnPort, std::to_string(settings_.PortNumber)));
}

void MainWindow::ShowCaptureArea() {
    for (Control c :
         {Control::Image1, Control::Label1, Control::Label2, Control::Label3, Control::Memo1}) {
        view_.SetVisible(c, true);
    }
    NameLed(false);  // the dark picture covers the lit one
    view_.SetFocus(Control::Memo1);
    view_.SetMemoLine(0, "");
}

void MainWindow::EnterReaderState() {
    view_.SetTimerEnabled(Timer::Timer1, true);
    ShowCaptureArea();
}

void MainWindow::EnterNoReaderState() {
    ShowStatus(text::kNoReader);
    view_.SetVisible(Control::BitBtn8, true);
    demoIdle_ = true;
    for (Control c : {Control::BitBtn1, Control::BitBtn2, Control::BitBtn3, Control::BitBtn4,
                      Control::BitBtn5}) {
        view_.SetEnabled(c, false);
    }
}

// The boxes follow the loaded record; their handlers copy them back, so the
// record ends as it was (apart from the typing sub-options, which an
// unchecked "Kód čipu do klávesnice" clears).
void MainWindow::SetOptionBoxes() {
    if (IsOn(settings_.CodeToKeys)) {
        SetCheckBox(Control::CheckBox1, true);
        view_.SetVisible(Control::CheckBox3, true);
        view_.SetVisible(Control::CheckBox4, true);
        SetCheckBox(Control::CheckBox3, IsOn(settings_.OrderToKeys));
        SetCheckBox(Control::CheckBox4, IsOn(settings_.TimeToKeys));
    } else {
        SetCheckBox(Control::CheckBox1, false);
    }
    SetCheckBox(Control::CheckBox2, IsOn(settings_.LedOffAfterCode));
    SetCheckBox(Control::CheckBox6, IsOn(settings_.SaveToDisk));
    SetCheckBox(Control::CheckBox7, IsOn(settings_.SoundSignal));
    SetCheckBox(Control::CheckBox9, false);
    SetCheckBox(Control::CheckBox10, IsOn(settings_.DecimalCode));
    SetCheckBox(Control::CheckBox11, IsOn(settings_.ExactCharacters));
    const bool minimize = IsOn(settings_.MinimizeAtStart);
    SetCheckBox(Control::CheckBox5, minimize);
    if (minimize) view_.Minimize();
}

// ---- Option boxes ----------------------------------------------------------

void MainWindow::SetCheckBox(Control box, bool checked) {
    if (view_.IsChecked(box) == checked) return;
    view_.SetChecked(box, checked);
    CheckBoxClick(box);
}

std::uint8_t MainWindow::BoxFlag(Control box) const { return FlagByte(view_.IsChecked(box)); }

void MainWindow::CheckBoxClick(Control box) {
    switch (box) {
        case Control::CheckBox1: CheckBox1Click(); break;
        case Control::CheckBox2: CheckBox2Click(); break;
        case Control::CheckBox3: CheckBox3Click(); break;
        case Control::CheckBox4: CheckBox4Click(); break;
        case Control::CheckBox5: CheckBox5Click(); break;
        case Control::CheckBox6: CheckBox6Click(); break;
        case Control::CheckBox7: CheckBox7Click(); break;
        case Control::CheckBox8: CheckBox8Click(); break;
        case Control::CheckBox9: CheckBox9Click(); break;
        case Control::CheckBox10: CheckBox10Click(); break;
        case Control::CheckBox11: CheckBox11Click(); break;
        default: break;
    }
}

// "Přesné znaky" only changes how captures are typed, so it can be changed
// only while they are; its value stays as it is meanwhile.
void MainWindow::CheckBox1Click() {
    view_.SetEnabled(Control::CheckBox11, view_.IsChecked(Control::CheckBox1));
    if (view_.IsChecked(Control::CheckBox1)) {
        settings_.CodeToKeys = 1;
        view_.SetVisible(Control::CheckBox3, true);
        view_.SetVisible(Control::CheckBox4, true);
        SetCheckBox(Control::CheckBox3, IsOn(settings_.OrderToKeys));
        SetCheckBox(Control::CheckBox4, IsOn(settings_.TimeToKeys));
    } else {
        settings_.OrderToKeys = 0;
        settings_.TimeToKeys = 0;
        settings_.CodeToKeys = 0;
        view_.SetVisible(Control::CheckBox3, false);
        view_.SetVisible(Control::CheckBox4, false);
    }
}

void MainWindow::CheckBox2Click() { settings_.LedOffAfterCode = BoxFlag(Control::CheckBox2); }
void MainWindow::CheckBox3Click() { settings_.OrderToKeys = BoxFlag(Control::CheckBox3); }
void MainWindow::CheckBox4Click() { settings_.TimeToKeys = BoxFlag(Control::CheckBox4); }
void MainWindow::CheckBox5Click() { settings_.MinimizeAtStart = BoxFlag(Control::CheckBox5); }
void MainWindow::CheckBox6Click() { settings_.SaveToDisk = BoxFlag(Control::CheckBox6); }
void MainWindow::CheckBox7Click() { settings_.SoundSignal = BoxFlag(Control::CheckBox7); }
void MainWindow::CheckBox9Click() { settings_.CrcOption = BoxFlag(Control::CheckBox9); }
void MainWindow::CheckBox10Click() { settings_.DecimalCode = BoxFlag(Control::CheckBox10); }
void MainWindow::CheckBox11Click() { settings_.ExactCharacters = BoxFlag(Control::CheckBox11); }

// ---- Captures --------------------------------------------------------------

void MainWindow::Timer1Timer() {
    view_.SetTimerEnabled(Timer::Timer1, false);
    if (asleep_) {
        // Nothing to do until the machine has woken up.
    } else if (readerLost_) {
        WaitForReader();
    } else {
        PollReader();
        if (link_.IsLost()) NoteReaderLost();
    }
    view_.SetTimerEnabled(Timer::Timer1, true);
}

void MainWindow::PollReader() {
    switch (link_.PollChipCode(IsOn(settings_.DecimalCode))) {
        case ReadResult::Failed: break;
        case ReadResult::ConversionError:
            // Polling stays off while the box is open, so such boxes never stack.
            ShowConversionError();
            break;
        case ReadResult::Ok:
            ShowLedLit();
            view_.SetStatusColor(statusColor_);
            RegisterCapture();
            if (IsOn(settings_.LedOffAfterCode)) {
                if (link_.SendReaderCommand('Z')) {
                    ShowLedDark();
                } else {
                    ShowCaptureError(text::kLedOffError);
                }
            }
            break;
    }
}

// The reader went away (unplugged, hung up): its port is let go without a
// close error, and the reader is looked for on later ticks (ReaderSearch).
void MainWindow::NoteReaderLost() {
    link_.ForgetLostPort();
    readerLost_ = true;
    tryingPort_.reset();
    search_.Lost(clock_.Now());
    ShowStatus(Concat(text::kReaderLost, std::to_string(settings_.PortNumber)) +
               std::string(text::kReaderLostElsewhere));
}

// One step per tick, so the window never waits: open the port the search
// names; once it is open, identify the reader there on a later tick, when
// it has had its moment after the modem lines came up.
void MainWindow::WaitForReader() {
    const Clock::TimePoint now = clock_.Now();
    if (link_.IsOpen() && tryingPort_) {
        if (now - openedAt_ >= kIdentifyWait) IdentifyReturningReader(*tryingPort_);
        return;
    }
    tryingPort_ = search_.NextPort(now);
    if (!tryingPort_) return;
    if (link_.OpenReaderPort(*tryingPort_)) {
        openedAt_ = now;
    } else {
        tryingPort_.reset();
    }
}

void MainWindow::IdentifyReturningReader(std::uint8_t port) {
    tryingPort_.reset();
    const std::string lostIdent = search_.Ident();
    const bool answered = link_.IdentifyReader();
    const auto ident = answered ? std::optional<std::string>(link_.ReaderIdent()) : std::nullopt;
    switch (search_.Identified(port, ident)) {
        case ReturnVerdict::Take: TakeReturnedReader(port); return;
        case ReturnVerdict::OtherReader:
            ShowStatus(Concat(text::kOtherReaderOnPort, std::to_string(port)) +
                       Concat(text::kOtherReaderIs, *ident) +
                       Concat(text::kWaitingForReader, lostIdent));
            break;
        case ReturnVerdict::NoReader: break;
    }
    link_.CloseReaderPort();  // not the reader; its close result says nothing new
}

// The status bar says where the reader is now; "Konec programu" saves that
// port, so that the next start-up scan begins there.
void MainWindow::TakeReturnedReader(std::uint8_t port) {
    readerLost_ = false;
    const std::uint8_t before = settings_.PortNumber;
    settings_.PortNumber = port;
    if (port == before) {
        ShowConnected();
        return;
    }
    ShowStatus(Concat(text::kReaderBack, link_.ReaderIdent()) +
               Concat(text::kReaderBackOnPort, std::to_string(port)) +
               Concat(text::kReaderBackBefore, std::to_string(before)) + ")");
}

// The port is closed as the exit button closes it, so that the kernel and
// the adapter are free to bring the device back under its old name.
void MainWindow::PrepareForSleep() {
    if (!readerFound_ || asleep_) return;
    asleep_ = true;
    if (!readerLost_) {
        if (link_.IsOpen()) link_.CloseReaderPort();
        readerLost_ = true;
        search_.Lost(clock_.Now());
    } else if (tryingPort_) {
        link_.CloseReaderPort();
        tryingPort_.reset();
    }
    ShowStatus(Concat(text::kAsleep, std::to_string(settings_.PortNumber)));
}

// The own port is due at once; the same tick opens it and a later one
// identifies the reader there, which sends a chip touched meanwhile after
// its answer.
void MainWindow::ResumeFromSleep() {
    if (!asleep_) return;
    asleep_ = false;
    ShowStatus(Concat(text::kAwake, std::to_string(settings_.PortNumber)));
    WaitForReader();
}

void MainWindow::Timer2Timer() {
    link_.SetChipCodeText(demoCodes_.Next());
    ShowLedLit();
    RegisterCapture();
    clock_.SleepFor(kDemoLedTime);
    // Demo captures never talk to a reader; only the indicator goes dark.
    if (IsOn(settings_.LedOffAfterCode)) ShowLedDark();
}

// Numbers, stamps, logs and delivers the capture whose code is in the link,
// and beeps: with the warning sound, and a call for an operator who is not
// looking, when it was to be typed and was not.
void MainWindow::RegisterCapture() {
    captureTime_ = TimeText(clock_.LocalNow()).substr(0, kCaptureTimeLength);
    const bool withOrder = IsOn(settings_.OrderToKeys);
    const bool withTime = IsOn(settings_.TimeToKeys);
    NextCounter();
    const std::string& code = link_.ChipCodeText();
    captureLogFailed_ = false;
    if (IsOn(settings_.SaveToDisk)) {
        if (AppendCaptureLog(files_, clock_, captureCounter_, captureTime_, code)) {
            // Logging works again: the old failure no longer holds.
            if (logErrorShown_) ShowQuietStatus();
        } else {
            ShowLogError();
        }
    }
    // Why the capture was not typed, when it was to be typed and was not.
    std::optional<std::string> notTyped;
    if (IsOn(settings_.CodeToKeys)) {
        const CaptureKeys keys{captureCounter_, captureTime_, code,
                               withOrder,       withTime,     IsOn(settings_.ExactCharacters)};
        const TypingOutcome typing = TypeCapture(keys_, clock_, keys);
        if (!typing.typed) {
            // Nothing may be lost: a capture that could not be typed is listed.
            WriteListLine();
            ShowTypingError(typing.problem);
            notTyped = typing.problem;
        } else if (typing.OperatorKeysMixedIn()) {
            // The application got a mixed line; the list keeps the capture as read.
            WriteListLine();
            ShowTypingNote(text::kOperatorKeysMixedIn);
        }
        if (typing.operatorKeys.dropped > 0) ShowTypingNote(text::kOperatorKeysDropped);
    } else {
        WriteListLine();
    }
    if (notTyped) {
        TellNotTyped(*notTyped);
    } else if (IsOn(settings_.SoundSignal)) {
        sound_.Play();
    }
}

// The application received nothing and the capture waits in the list: the
// operator hears the difference without looking, and one who is not looking
// at the window is called to it.
//
// An operator with a screen reader who has the window in front is told by
// it, as the status bar tells a sighted one; where the status bar keeps the
// log error instead, the screen reader is not told either.
void MainWindow::TellNotTyped(const std::string& problem) {
    if (IsOn(settings_.SoundSignal)) sound_.PlayWarning();
    if (attention_ == nullptr) return;
    if (!attention_->WindowInFront()) {
        attention_->Ask(NotTypedNotice(captureCounter_, problem));
    } else if (!captureLogFailed_) {
        view_.Announce(NotTypedNotice(captureCounter_, problem));
    }
}

// The status bar shows one text at a time. A capture that could not be
// logged keeps "Chyba při ukládání dat" over its lesser errors (LED, keys),
// so that the operator learns that captures go unrecorded; the next capture
// that is logged takes it away again.
void MainWindow::ShowStatus(std::string_view text) {
    view_.SetStatusText(std::string(text));
    logErrorShown_ = false;
}

void MainWindow::ShowLogError() {
    ShowStatus(text::kLogError);
    logErrorShown_ = true;
    captureLogFailed_ = true;
}

void MainWindow::ShowCaptureError(std::string_view text) {
    if (!captureLogFailed_) ShowStatus(text);
}

void MainWindow::ShowTypingError(const std::string& problem) {
    std::string status(text::kKeyboardError);
    if (!problem.empty()) status += ": " + problem;
    ShowCaptureError(status);
    if (reportProblem_) {
        reportProblem_(status + " (" + std::string(text::kListedCapture) +
                       CounterText(captureCounter_) + ")");
    }
}

// Something the operator should check about a capture that was typed.
void MainWindow::ShowTypingNote(std::string_view note) {
    const std::string status = Concat(text::kKeyboardNote, ": ") + std::string(note) +
                               Concat(text::kCaptureNumber, CounterText(captureCounter_)) + ")";
    ShowCaptureError(status);
    if (reportProblem_) reportProblem_(status);
}

// What the status bar says when nothing is amiss.
void MainWindow::ShowQuietStatus() {
    if (readerFound_) {
        ShowConnected();
    } else {
        ShowStatus(text::kNoReader);
    }
}

void MainWindow::NextCounter() {
    ++captureCounter_;  // unsigned: wraps to 0 after 4294967295
    settings_.StoredCounter = captureCounter_;
    view_.SetText(Control::Edit1, CounterText(captureCounter_));
}

// The first 30 captures fill lines 0..29; from then on each is written to
// line 30 and the list scrolls up at once, so line 30 is always empty.
void MainWindow::WriteListLine() {
    const std::string line = CounterText(captureCounter_) + std::string(kGapAfterOrder, ' ') +
                             captureTime_ + std::string(kGapAfterTime, ' ') +
                             PrintableText(link_.ChipCodeText());
    view_.SetMemoLine(listLine_, line);
    ++listLine_;
    if (listLine_ > kListLastLine) {
        listLine_ = kListLastLine;
        for (int i = 0; i < kListLastLine; ++i) view_.SetMemoLine(i, view_.MemoLine(i + 1));
        view_.SetMemoLine(kListLastLine, "");
    }
}

void MainWindow::ShowLedLit() {
    view_.SetVisible(Control::Image1, false);
    view_.SetVisible(Control::Image2, true);
    NameLed(true);
    // Painted at once: the capture goes on blocking the thread for a while.
    view_.RepaintNow(Control::Image1);
    view_.RepaintNow(Control::Image2);
}

void MainWindow::ShowLedDark() {
    view_.SetVisible(Control::Image1, true);
    view_.SetVisible(Control::Image2, false);
    NameLed(false);
}

// Both pictures carry the indicator's name: a screen reader finds the state
// in whichever one is shown.
void MainWindow::NameLed(bool lit) {
    const std::string name(LedIndicatorName(lit));
    view_.SetAccessibleName(Control::Image1, name);
    view_.SetAccessibleName(Control::Image2, name);
}

void MainWindow::ShowConversionError() {
    view_.ShowConversionErrorBox(applicationTitle_, link_.ConversionMessage() + ".");
}

// ---- Commands --------------------------------------------------------------

// While the reader is away, the port open at the moment (if any) is one
// being looked at, maybe another device: it gets no command.
bool MainWindow::ReaderCommand(char letter, std::string_view done, std::string_view failed) {
    const bool ok = !readerLost_ && link_.SendReaderCommand(letter);
    ShowStatus(ok ? done : failed);
    return ok;
}

void MainWindow::BitBtn1Click() { ReaderCommand('B', text::kBlocked, text::kBlockError); }
void MainWindow::BitBtn2Click() { ReaderCommand('O', text::kUnblocked, text::kUnblockError); }

void MainWindow::BitBtn3Click() {
    if (ReaderCommand('R', text::kLedOn, text::kLedOnError)) ShowLedLit();
}

void MainWindow::BitBtn4Click() {
    if (ReaderCommand('Z', text::kLedOff, text::kLedOffError)) ShowLedDark();
}

// Shows the code in the status bar, highlighted until the next capture; the
// numbering, list, log and keystrokes are left alone.
void MainWindow::BitBtn5Click() {
    if (readerLost_) {
        ShowStatus(text::kRepeatReadError);
        return;
    }
    switch (link_.RepeatChipRead(IsOn(settings_.DecimalCode))) {
        case ReadResult::Ok:
            ShowStatus(PrintableText(link_.ChipCodeText()));
            view_.SetStatusColor(kRepeatReadColor);
            break;
        case ReadResult::Failed: ShowStatus(text::kRepeatReadError); break;
        case ReadResult::ConversionError: ShowConversionError(); break;
    }
}

// The list keeps its text; the next capture, number 1, overwrites line 0.
void MainWindow::BitBtn6Click() {
    settings_.StoredCounter = 0;
    captureCounter_ = 0;
    listLine_ = 0;
    view_.SetText(Control::Edit1, "0");
}

void MainWindow::BitBtn7Click() {
    // A lost reader's port has nothing left to close. Without a reader no
    // port was ever opened, so there is nothing to close and no failure to
    // report.
    if (link_.IsLost()) link_.ForgetLostPort();
    if (link_.IsOpen() && !link_.CloseReaderPort()) {
        view_.ShowErrorBox(std::string(text::kPortCloseError));
    }
    view_.SetTimerEnabled(Timer::Timer1, false);
    if (!SaveSettings(files_, settings_)) {
        view_.ShowErrorBox(std::string(text::kSettingsSaveError));
    }
    view_.CloseWindow();
}

void MainWindow::BitBtn8Click() {
    // Every click, "Stop" included, shows the list and empties its line 0.
    ShowCaptureArea();
    demoIdle_ = !demoIdle_;
    view_.SetText(Control::BitBtn8, std::string(demoIdle_ ? text::kDemo : text::kStop));
    view_.SetTimerEnabled(Timer::Timer2, !demoIdle_);
}

void MainWindow::SpeedButton1Click() { view_.ShowMakerInformation(); }

// The typed number N becomes the last capture's number, so the next capture
// is N + 1, just as after a restart.
bool MainWindow::Edit1Exit() {
    const auto value = ParseCounterInput(view_.Text(Control::Edit1));
    if (!value) {
        view_.ShowErrorBox(std::string(text::kNumberFormatError));
        return false;
    }
    settings_.StoredCounter = static_cast<std::uint32_t>(*value);
    captureCounter_ = settings_.StoredCounter;
    return true;
}

}  // namespace vm4417
