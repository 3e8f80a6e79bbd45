#pragma once
// The main window in Qt Widgets: it builds the controls of the control table,
// shows what the window logic tells it, and passes the operator's actions and
// the timer ticks on to the logic. It decides nothing itself, except the
// toolkit's part of the counter field's focus rules.

#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>

#include "Form1Layout.h"
#include "MainView.h"
#include "StartAtLogin.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStatusBar;

namespace vm4417 {
class MainWindow;
}

namespace vm4417::ui {

class SpokenNotice;

class TForm1 final : public QWidget, public MainView {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Connects the controls to the logic; call once, before the window shows.
    void Attach(MainWindow& logic);
    // The widget of a control, for tests and for the program entry.
    QWidget* Widget(Control control) const { return widgets_.at(control); }
    QTimer& TimerObject(Timer timer) { return timer == Timer::Timer1 ? timer1_ : timer2_; }
    // Whether start-up has been queued (it runs from the event loop soon after).
    bool StartupQueued() const { return startupQueued_; }
    // The face's menu (a right click on the window's background or its status
    // bar): one checkable item for the start at login, read anew each time
    // the menu opens; `switchTo` gets the state the operator chose.
    void SetStartAtLoginItem(std::function<StartAtLoginMenuItem()> read,
                             std::function<void(bool)> switchTo);

    // MainView
    void SetVisible(Control control, bool visible) override;
    void SetEnabled(Control control, bool enabled) override;
    bool IsChecked(Control box) const override;
    void SetChecked(Control box, bool checked) override;
    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    void SetFocus(Control control) override;
    void RepaintNow(Control control) override;
    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    void Minimize() override;
    void CloseWindow() override;
    void SetStatusText(const std::string& text) override;
    void SetAccessibleName(Control control, const std::string& name) override;
    void Announce(const std::string& notice) override;
    Rgb StatusColor() const override;
    void SetStatusColor(Rgb color) override;
    std::string MemoLine(int index) const override;
    void SetMemoLine(int index, const std::string& text) override;
    bool IsTimerEnabled(Timer timer) const override;
    void SetTimerEnabled(Timer timer, bool enabled) override;
    void ShowErrorBox(const std::string& text) override;
    void ShowConversionErrorBox(const std::string& caption, const std::string& text) override;
    void ShowMakerInformation() override;

signals:
    // Start-up (the logic's FormActivate) has run.
    void StartupFinished();
    // The operator changed a check box, and its handler has run.
    void CheckBoxClicked(vm4417::Control box);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    QWidget* MakeControl(const ControlEntry& entry);
    void NameControls();
    void SetTabOrder();
    void ConnectHandlers();
    void StartupWhenActive();
    bool RunEdit1Exit();
    void ReturnFromModal();
    void OnFocusChanged(QWidget* old, QWidget* now);

    MainWindow* logic_ = nullptr;
    std::map<Control, QWidget*> widgets_;
    QLineEdit* edit1_ = nullptr;
    QPlainTextEdit* memo1_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    SpokenNotice* notice_ = nullptr;
    QTimer timer1_;
    QTimer timer2_;
    bool startupQueued_ = false;
    // The press that moved the focus out of a refused counter field.
    bool swallowPress_ = false;
    std::function<StartAtLoginMenuItem()> readStartAtLogin_;
    std::function<void(bool)> switchStartAtLogin_;
};

}  // namespace vm4417::ui
