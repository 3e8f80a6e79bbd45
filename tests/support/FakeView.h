#pragma once
// A main window without widgets: it starts in the states of the control
// table and records what the logic does to it.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "MainView.h"

namespace vm4417::test {

class FakeView final : public MainView {
public:
    struct ControlState {
        bool visible = true;
        bool enabled = true;
        bool checked = false;
        std::string text;
        int repaints = 0;
    };
    struct Box {
        enum class Kind { Error, Conversion, MakerInformation } kind;
        std::string caption;
        std::string text;
        bool timer1WasEnabled = false;
    };

    FakeView();

    void SetVisible(Control c, bool visible) override { state(c).visible = visible; }
    void SetEnabled(Control c, bool enabled) override { state(c).enabled = enabled; }
    bool IsChecked(Control box) const override { return controls.at(box).checked; }
    void SetChecked(Control box, bool checked) override { state(box).checked = checked; }
    std::string Text(Control c) const override { return controls.at(c).text; }
    void SetText(Control c, const std::string& text) override { state(c).text = text; }
    void SetFocus(Control c) override { focus = c; }
    void RepaintNow(Control c) override;

    std::string Caption() const override { return caption; }
    void SetCaption(const std::string& text) override { caption = text; }
    void Minimize() override { minimized = true; }
    void CloseWindow() override { closed = true; }

    void SetStatusText(const std::string& text) override;
    Rgb StatusColor() const override { return statusColor; }
    void SetStatusColor(Rgb color) override { statusColor = color; }

    void SetAccessibleName(Control c, const std::string& name) override {
        accessibleNames[c] = name;
    }
    void Announce(const std::string& notice) override { announcements.push_back(notice); }

    std::string MemoLine(int index) const override;
    void SetMemoLine(int index, const std::string& text) override;

    bool IsTimerEnabled(Timer t) const override { return timers.at(t); }
    void SetTimerEnabled(Timer t, bool enabled) override { timers[t] = enabled; }

    void ShowErrorBox(const std::string& text) override;
    void ShowConversionErrorBox(const std::string& caption, const std::string& text) override;
    void ShowMakerInformation() override;

    const ControlState& operator[](Control c) const { return controls.at(c); }
    bool LedLitShown() const {
        return !controls.at(Control::Image1).visible && controls.at(Control::Image2).visible;
    }
    bool LedDarkShown() const { return controls.at(Control::Image1).visible; }
    // The status texts that were shown, in order.
    std::vector<std::string> statusTexts;
    // The names the logic gave controls, and what it asked a screen reader
    // to speak, in order.
    std::map<Control, std::string> accessibleNames;
    std::vector<std::string> announcements;

    std::map<Control, ControlState> controls;
    std::string caption = "Čtečka čipů VELM";
    std::string status = "Info";
    // What the status bar showed at each repaint.
    std::vector<std::string> repaintedStatus;
    Rgb statusColor{212, 208, 200};
    std::vector<std::string> memo;
    std::map<Timer, bool> timers{{Timer::Timer1, false}, {Timer::Timer2, false}};
    std::vector<Box> boxes;
    // Runs while a modal box is open, as timer ticks would.
    std::function<void()> whileBoxOpen;
    bool minimized = false;
    bool closed = false;
    std::optional<Control> focus;

private:
    ControlState& state(Control c) { return controls[c]; }
    void OpenBox(Box box);
};

}  // namespace vm4417::test
