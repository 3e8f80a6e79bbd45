// The Qt main window on the offscreen platform: start-up at the first
// activation, the real controls, modal boxes, and the counter field's focus
// rules, against the simulated reader.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include <filesystem>
#include <thread>

#include "Accessibility.h"
#include "Form1Layout.h"
#include "MainWindow.h"
#include "ReaderWorld.h"
#include "TForm1.h"

namespace vm4417::test {
namespace {

using namespace std::chrono_literals;
using ui::TForm1;

class SilentSound final : public InfoSound {
public:
    void Play() override {}
    void PlayWarning() override {}
};

// Answers every modal window that opens and remembers what it showed.
class BoxAnswerer : public QObject {
public:
    struct Seen {
        QString caption;
        QString text;
        bool isMessageBox = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        // The names a screen reader reads for the box's pictures.
        QStringList pictureNames = {};
    };

    explicit BoxAnswerer(std::chrono::milliseconds keepOpen = 0ms) : keepOpen_(keepOpen) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Check(); });
        timer_.start();
    }
    std::vector<Seen> seen;

private:
    void Check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == answering_) return;
        answering_ = modal;
        Seen s{modal->windowTitle(), {}, false, QMessageBox::NoIcon};
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            s = {box->windowTitle(), box->text(), true, box->icon()};
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
            for (int i = 0; i < accessible->childCount(); ++i) {
                QAccessibleInterface* child = accessible->child(i);
                if (child->role() == QAccessible::Graphic)
                    s.pictureNames << child->text(QAccessible::Name);
            }
        }
        seen.push_back(s);
        QTimer::singleShot(keepOpen_, modal, [modal] {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                QTest::keyClick(box, Qt::Key_Return);
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
        });
    }

    QTimer timer_;
    QWidget* answering_ = nullptr;
    std::chrono::milliseconds keepOpen_;
};

class Widgets : public ::testing::Test, public ReaderWorld {
protected:
    ~Widgets() override { form.hide(); }

    void Store(std::uint8_t port, std::uint8_t minimize = 0) {
        ReaderSettings settings;
        ApplyDefaults(settings);
        settings.PortNumber = port;
        settings.MinimizeAtStart = minimize;
        ASSERT_TRUE(SaveSettings(files, settings));
    }
    // Shows the window as the program entry does and waits for start-up.
    void ShowAndStart() {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return StatusText() != "Info"; }, 5000));
        QTest::qWait(20);
    }
    template <typename W = QWidget>
    W* Get(Control c) {
        return static_cast<W*>(form.Widget(c));
    }
    QString StatusText() { return form.findChild<QLabel*>("StatusPanel")->text(); }
    std::size_t Identifications() {
        std::size_t n = 0;
        for (const auto& reader : readers) n += reader->Requests().size();
        return n;
    }

    SilentSound sound;
    TForm1 form;
    MainWindow logic{MainWindowServices{form, ports, files, clock, keys, sound, 1, "Vm4417", {}}};
    bool attached = (form.Attach(logic), true);
};

TEST_F(Widgets, StartUpFindsTheReaderAndNamesItInCaptionAndStatus) {
    AddReader(3);
    Store(3);
    ShowAndStart();
    EXPECT_EQ(StatusText(), QString::fromUtf8("Připojeno zařízení VELM1234 na portu COM3"));
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Čtečka čipů VELM1234"));
    EXPECT_TRUE(form.TimerObject(Timer::Timer1).isActive());
    EXPECT_EQ(form.TimerObject(Timer::Timer1).interval(), 333);
    EXPECT_TRUE(Get(Control::Memo1)->isVisible());
    EXPECT_TRUE(Get(Control::Memo1)->hasFocus());
    EXPECT_EQ(Get<QPlainTextEdit>(Control::Memo1)->document()->blockCount(), 31);
}

TEST_F(Widgets, MinimiseAtStart) {
    Store(29, 1);
    ShowAndStart();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.isMinimized(); }, 2000));
    EXPECT_TRUE(Get<QCheckBox>(Control::CheckBox5)->isChecked());
}

TEST_F(Widgets, AnUnwritableDirectoryShowsExactlyOneBox) {
    TempDir gone;
    WorkingDirectory inside(gone.path());
    ASSERT_EQ(rmdir(gone.path().c_str()), 0);
    BoxAnswerer answerer;
    ShowAndStart();
    QTest::qWait(100);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].caption, "Error");
    EXPECT_EQ(answerer.seen[0].text, QString::fromUtf8("Chyba při ukládání parametrů"));
    EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.seen[0].pictureNames, QStringList{QString::fromUtf8("Chyba")});
    EXPECT_EQ(StatusText(),
              QString::fromUtf8("Na žádném sériovém portu nebylo identifikováno zařízení."));
}

TEST_F(Widgets, ModalWindowsAndReactivationNeverRunStartUpAgain) {
    AddReader(3);
    Store(3);
    BoxAnswerer answerer;
    ShowAndStart();
    ASSERT_EQ(Identifications(), 1u);
    QTest::mouseClick(Get(Control::SpeedButton1), Qt::LeftButton);  // maker window
    auto* edit = Get<QLineEdit>(Control::Edit1);
    edit->setText("abc");
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 1000));
    QTest::keyClick(edit, Qt::Key_Tab);  // error box
    QWidget other;
    other.show();
    other.activateWindow();
    QTest::qWait(50);
    form.activateWindow();
    QTest::qWait(200);
    EXPECT_EQ(answerer.seen.size(), 2u);
    EXPECT_EQ(Identifications(), 1u);
}

TEST_F(Widgets, AWindowStartedMinimisedStartsUpWhenRestored) {
    AddReader(3);
    Store(3);
    form.showMinimized();
    QTest::qWait(200);
    EXPECT_EQ(Identifications(), 0u);
    EXPECT_EQ(StatusText(), "Info");
    form.showNormal();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Identifications() == 1u; }, 3000));
}

TEST_F(Widgets, ResizingKeepsTheControlsAndStretchesTheStatusBar) {
    ShowAndStart();
    const QRect button = Get(Control::BitBtn7)->geometry();
    form.resize(700, 650);
    QTest::qWait(20);
    EXPECT_EQ(Get(Control::BitBtn7)->geometry(), button);
    EXPECT_EQ(Get(Control::StatusBar1)->geometry(), QRect(0, 650 - 19, 700, 19));
    EXPECT_EQ(Get(Control::BitBtn7)->geometry(), QRect(368, 512, 105, 25));
}

// What a screen reader reads of each control shown, through Qt's own
// accessibility interfaces: the table's name (the counter field's from its
// label), and the window as a window.
TEST_F(Widgets, EveryControlShownIsNamedForAScreenReader) {
    AddReader(3);
    Store(3);
    ShowAndStart();
    for (const ControlEntry& entry : Form1Controls()) {
        QWidget* widget = Get(entry.id);
        if (!widget->isVisible()) continue;
        SCOPED_TRACE(entry.name.data());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(),
                  std::string(Form1AccessibleName(entry.id)));
        EXPECT_EQ(accessible->text(QAccessible::Description).toStdString(),
                  std::string(Form1Accessible(entry.id).description));
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&form)->role(), QAccessible::Window);
}

// Tab from the list visits every control that takes the focus, in the
// table's order, and comes back to the list: no field keeps the Tab key.
TEST_F(Widgets, TabWalksEveryControlInOrder) {
    AddReader(3);
    Store(3);
    ShowAndStart();
    ASSERT_TRUE(Get(Control::Memo1)->hasFocus());
    std::vector<std::string> expected, walked;
    for (Control c : Form1TabOrder()) {
        if (Get(c)->isVisible() && Get(c)->isEnabled()) expected.emplace_back(Form1Control(c).name);
    }
    expected.emplace_back("Memo1");
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        walked.push_back(focused->objectName().toStdString());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    EXPECT_EQ(walked, expected);
}

class CounterField : public Widgets {
protected:
    void SetUp() override {
        reader = &AddReader(3);
        Store(3);
        ShowAndStart();
        edit = Get<QLineEdit>(Control::Edit1);
        edit->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 1000));
    }
    // A click as the window system delivers it: to the top-level window.
    void ClickAsWindowSystem(QWidget* widget) {
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          widget->mapTo(&form, widget->rect().center()));
    }
    void Type(const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    readersim::ReaderSimulator* reader = nullptr;
    QLineEdit* edit = nullptr;
};

TEST_F(CounterField, TabAcceptsTheNumber) {
    Type("100");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(logic.Settings().StoredCounter, 100u);
    EXPECT_FALSE(edit->hasFocus());
    reader->SendFrame("00000000000001");
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->text() == "101"; }, 2000));
}

TEST_F(CounterField, AWrongNumberKeepsTheFocusAndSwallowsTheClick) {
    Type("7");
    QTest::keyClick(edit, Qt::Key_Tab);
    BoxAnswerer answerer;
    // Once through the top-level window, once delivered to the button itself.
    for (bool viaWindow : {true, false}) {
        answerer.seen.clear();
        edit->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 1000));
        Type("abc");
        QWidget* reset = Get(Control::BitBtn6);  // "Nuluj pořadí"
        if (viaWindow) {
            ClickAsWindowSystem(reset);
        } else {
            QTest::mouseClick(reset, Qt::LeftButton);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.seen.empty(); }, 2000));
        QTest::qWait(50);
        EXPECT_EQ(answerer.seen.size(), 1u);
        EXPECT_EQ(answerer.seen[0].text, QString::fromUtf8("Chybný formát čísla"));
        EXPECT_EQ(edit->text(), "abc");
        EXPECT_EQ(logic.Settings().StoredCounter, 7u) << "the reset button did not act";
        EXPECT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 1000));
    }
}

TEST_F(CounterField, AClickOnACheckBoxRunsTheExitFirst) {
    Type("55");
    auto* box = Get<QCheckBox>(Control::CheckBox6);
    ClickAsWindowSystem(box);
    EXPECT_EQ(logic.Settings().StoredCounter, 55u);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(logic.Settings().SaveToDisk, 1);
}

TEST_F(CounterField, TheMakerButtonAndOtherWindowsDoNotRunTheExit) {
    BoxAnswerer answerer;
    Type("abc");
    ClickAsWindowSystem(Get(Control::SpeedButton1));
    QWidget other;
    other.show();
    other.activateWindow();
    QTest::qWait(100);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_FALSE(answerer.seen[0].isMessageBox) << "only the maker window opened";
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 1000));
    EXPECT_EQ(answerer.seen.size(), 1u);
}

TEST_F(CounterField, CapturesGoOnWhileAnErrorBoxIsOpen) {
    BoxAnswerer answerer(800ms);
    Type("abc");
    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_EQ(answerer.seen.size(), 1u);
    // The box stayed open for 800 ms while the frame came in and was listed.
    EXPECT_EQ(edit->text(), "abc");
    reader->SendFrame("00000000000042");
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->text() == "1"; }, 2000));
    EXPECT_TRUE(logic.CaptureCounter() == 1u);
}

// A demo tick that takes longer than the interval is followed by at most
// one further tick at once, never by a burst of the missed ones.
TEST(DemoTicks, DoNotPileUp) {
    ReaderWorld world;  // no readers
    // The first capture takes a second to type.
    RecordingKeySink keys(world.clock);
    keys.onBegin = [&keys] {
        if (keys.begins == 1) std::this_thread::sleep_for(1s);
    };
    SilentSound sound;
    TForm1 form;
    MainWindow logic(MainWindowServices{
        form, world.ports, world.files, world.clock, keys, sound, 1, "Vm4417", {}});
    form.Attach(logic);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.StartupQueued() && logic.DemoIdle(); }, 5000));
    static_cast<QCheckBox*>(form.Widget(Control::CheckBox1))->setChecked(true);  // type captures

    // The first tick lasts a second against a 100 ms interval.
    form.TimerObject(Timer::Timer2).setInterval(100);
    std::vector<std::chrono::steady_clock::time_point> ends;
    QObject::connect(&form.TimerObject(Timer::Timer2), &QTimer::timeout,
                     [&] { ends.push_back(std::chrono::steady_clock::now()); });
    QTest::mouseClick(form.Widget(Control::BitBtn8), Qt::LeftButton);
    QTest::qWait(1600);
    QTest::mouseClick(form.Widget(Control::BitBtn8), Qt::LeftButton);
    ASSERT_GE(ends.size(), 4u);
    EXPECT_EQ(logic.CaptureCounter(), ends.size());
    // One tick may follow the long one at once; after that the interval rules.
    for (std::size_t i = 2; i < ends.size(); ++i) {
        EXPECT_GE(ends[i] - ends[i - 1], 80ms) << "tick " << i << " was a missed interval made up";
    }
    EXPECT_LE(ends.size(), 8u);
}

}  // namespace
}  // namespace vm4417::test
