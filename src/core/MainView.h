#pragma once
// What the window logic needs from a main window, whatever toolkit draws it.
// Texts are UTF-8. Setting a state from here never runs a handler: the logic
// decides which handler runs (see MainWindow::SetCheckBox).

#include <cstdint>
#include <string>

namespace vm4417 {

enum class Control {
    Label1,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6,
    Label7,
    Image1,
    Image2,
    SpeedButton1,
    Memo1,
    Edit1,
    StatusBar1,
    Bevel1,
    Bevel2,
    Bevel3,
    BitBtn1,
    BitBtn2,
    BitBtn3,
    BitBtn4,
    BitBtn5,
    BitBtn6,
    BitBtn7,
    BitBtn8,
    CheckBox1,
    CheckBox2,
    CheckBox3,
    CheckBox4,
    CheckBox5,
    CheckBox6,
    CheckBox7,
    CheckBox8,
    CheckBox9,
    CheckBox10,
    CheckBox11,
};

enum class Timer { Timer1, Timer2 };

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class MainView {
public:
    virtual ~MainView() = default;

    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual bool IsChecked(Control box) const = 0;
    virtual void SetChecked(Control box, bool checked) = 0;
    // Text of the counter field or of a button.
    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    virtual void SetFocus(Control control) = 0;
    // Paints the control now, without waiting for the event loop, so that
    // the operator sees it while a long step blocks the thread.
    virtual void RepaintNow(Control control) = 0;

    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void Minimize() = 0;
    // Closes the main window, which ends the program.
    virtual void CloseWindow() = 0;

    virtual void SetStatusText(const std::string& text) = 0;
    virtual Rgb StatusColor() const = 0;
    virtual void SetStatusColor(Rgb color) = 0;

    // What a screen reader calls the control from now on (a picture that
    // shows a state); the screen reader is told of the change.
    virtual void SetAccessibleName(Control control, const std::string& name) = 0;
    // Asks a screen reader to speak `notice` once, now.
    virtual void Announce(const std::string& notice) = 0;

    // Lines of the capture list as the list numbers them. Reading a line that
    // does not exist gives "", writing one does nothing.
    virtual std::string MemoLine(int index) const = 0;
    virtual void SetMemoLine(int index, const std::string& text) = 0;

    virtual bool IsTimerEnabled(Timer timer) const = 0;
    // Enabling (re)starts the interval from now.
    virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;

    // Modal boxes; each returns when the operator has closed it. Timers keep
    // ticking meanwhile.
    virtual void ShowErrorBox(const std::string& text) = 0;
    virtual void ShowConversionErrorBox(const std::string& caption, const std::string& text) = 0;
    virtual void ShowMakerInformation() = 0;
};

}  // namespace vm4417
