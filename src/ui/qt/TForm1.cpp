#include "TForm1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>

#include "Accessibility.h"
#include "AccessibleRole.h"
#include "Form1Layout.h"
#include "MainWindow.h"
#include "Pictures.h"
#include "PixelArtButtonStyle.h"
#include "SpokenNotice.h"
#include "TForm2.h"
#include "Texts.h"
#include "UiFont.h"
#include "WindowPlacement.h"

namespace vm4417::ui {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

Glyph GlyphOf(Control c) {
    switch (c) {
        case Control::BitBtn1: return Glyph::Block;
        case Control::BitBtn2: return Glyph::Unblock;
        case Control::BitBtn3: return Glyph::LedOn;
        case Control::BitBtn4: return Glyph::LedOff;
        case Control::BitBtn5: return Glyph::RepeatRead;
        case Control::BitBtn6: return Glyph::ResetNumbering;
        case Control::BitBtn7: return Glyph::Exit;
        case Control::BitBtn8: return Glyph::Demo;
        default: return Glyph::MakerInfo;
    }
}

QWidget* MakeLabel(const ControlEntry& entry, QWidget* parent) {
    auto* label = new QLabel(Q(entry.text), parent);
    // An opaque label hides the frame line it sits on, as a group caption.
    label->setAutoFillBackground(true);
    label->move(entry.left, entry.top);
    label->adjustSize();
    return label;
}

QWidget* MakePicture(const ControlEntry& entry, QWidget* parent) {
    auto* picture = new QLabel(parent);
    // From the top-left corner: the first cell and one column of the second,
    // pixel for pixel at the screen's scale.
    picture->setPixmap(LedCropPicture(entry.id == Control::Image1 ? LedDarkImage() : LedLitImage(),
                                      parent->devicePixelRatioF()));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setScaledContents(false);
    return picture;
}

QWidget* MakeMemo(QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setPlainText(QString(kListLineCount - 1, QChar('\n')));
    memo->setFrameShape(QFrame::StyledPanel);
    // Captures rewrite lines all day long; an undo history would only grow.
    memo->setUndoRedoEnabled(false);
    // Tab goes on to the next control, as in every other field of the window.
    memo->setTabChangesFocus(true);
    return memo;
}

QWidget* MakeBevel(QWidget* parent) {
    auto* bevel = new QFrame(parent);
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    SetAccessibleRole(*bevel, QAccessible::Grouping);
    return bevel;
}

QWidget* MakeBitBtn(const ControlEntry& entry, QWidget* parent) {
    auto* button = new QPushButton(ButtonIcon(GlyphOf(entry.id), parent->devicePixelRatioF()),
                                   Q(entry.text), parent);
    button->setIconSize(QSize(kCellSize, kCellSize));
    button->setStyle(PixelArtButtons());
    button->setAutoDefault(false);
    return button;
}

QWidget* MakeSpeedButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(ButtonIcon(Glyph::MakerInfo, parent->devicePixelRatioF()));
    button->setIconSize(QSize(kCellSize, kCellSize));
    // It never takes the focus, so pressing it leaves the counter field alone.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QMessageBox* MakeBox(const QString& caption, const QString& text) {
    // No parent: the box centres on the screen, and application modality
    // still keeps the operator out of the main window meanwhile.
    auto* box = new QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    ok->setText(QStringLiteral("OK"));
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(ok);
    // The box's picture, for a screen reader.
    if (auto* icon = box->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) {
        icon->setAccessibleName(Q(text::kErrorIconName));
    }
    return box;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    // A window to assistive technology, not a plain area.
    SetAccessibleRole(*this, QAccessible::Window);
    setWindowTitle(Q(text::kCaption));
    setWindowIcon(ProgramIcon());
    setFont(UiFont(11));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    resize(kClientWidth, kClientHeight);
    BuildControls();
    SetTabOrder();
    timer1_.setInterval(kTimer1Interval);
    timer2_.setInterval(kTimer2Interval);
    timer1_.setTimerType(Qt::PreciseTimer);
    timer2_.setTimerType(Qt::PreciseTimer);
    CentreOnScreen(this, frameGeometry().size());
}

// ~QWidget still moves the focus away from the child widgets; by then this
// is no longer a TForm1, so the focus and event hooks must be gone first.
TForm1::~TForm1() {
    disconnect(qApp, &QApplication::focusChanged, this, &TForm1::OnFocusChanged);
    qApp->removeEventFilter(this);
}

void TForm1::BuildControls() {
    for (const ControlEntry& entry : Form1Controls()) {
        QWidget* widget = MakeControl(entry);
        widget->setObjectName(Q(entry.name));
        if (entry.kind != ControlKind::Label && entry.kind != ControlKind::StatusBar) {
            widget->setGeometry(entry.left, entry.top, entry.width, entry.height);
        }
        widget->setVisible(entry.visible);
        if (!entry.tip.empty()) widget->setToolTip(Q(entry.tip));
        widgets_[entry.id] = widget;
    }
    // Bevels are drawn under everything, captions above their bevels, and
    // the dark LED above the lit one.
    for (Control bevel : {Control::Bevel1, Control::Bevel2, Control::Bevel3})
        widgets_[bevel]->lower();
    for (Control caption : {Control::Label4, Control::Label6, Control::Label7})
        widgets_[caption]->raise();
    widgets_[Control::Image1]->raise();
    NameControls();
    notice_ = new SpokenNotice(statusBar_);
}

// What a screen reader says of each control beyond its text. A label names
// its control as the label's buddy, which also tells the screen reader which
// label it is.
void TForm1::NameControls() {
    for (const ControlEntry& control : Form1Controls()) {
        const AccessibleEntry entry = Form1Accessible(control.id);
        QWidget* widget = widgets_.at(control.id);
        if (entry.label) {
            static_cast<QLabel*>(widgets_.at(*entry.label))->setBuddy(widget);
        } else if (!entry.name.empty()) {
            widget->setAccessibleName(Q(entry.name));
        }
        if (!entry.description.empty()) widget->setAccessibleDescription(Q(entry.description));
    }
}

QWidget* TForm1::MakeControl(const ControlEntry& entry) {
    switch (entry.kind) {
        case ControlKind::Label: return MakeLabel(entry, this);
        case ControlKind::Picture: return MakePicture(entry, this);
        case ControlKind::SpeedButton: return MakeSpeedButton(this);
        case ControlKind::Memo: return memo1_ = static_cast<QPlainTextEdit*>(MakeMemo(this));
        case ControlKind::Bevel: return MakeBevel(this);
        case ControlKind::BitBtn: return MakeBitBtn(entry, this);
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(Q(entry.text), this);
            box->setChecked(entry.checked);
            return box;
        }
        case ControlKind::Edit: return edit1_ = new QLineEdit(Q(entry.text), this);
        case ControlKind::StatusBar: {
            statusBar_ = new QStatusBar(this);
            statusBar_->setSizeGripEnabled(true);
            statusBar_->setAutoFillBackground(true);
            statusPanel_ = new QLabel(Q(entry.text));
            statusPanel_->setObjectName(QStringLiteral("StatusPanel"));
            statusPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            statusPanel_->setFixedWidth(kStatusPanelWidth);
            statusBar_->addWidget(statusPanel_);
            return statusBar_;
        }
    }
    return nullptr;
}

void TForm1::SetTabOrder() {
    const auto order = Form1TabOrder();
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(widgets_.at(order[i - 1]), widgets_.at(order[i]));
    }
}

void TForm1::Attach(MainWindow& logic) {
    logic_ = &logic;
    ConnectHandlers();
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &TForm1::OnFocusChanged);
}

void TForm1::ConnectHandlers() {
    MainWindow* logic = logic_;
    const std::pair<Control, void (MainWindow::*)()> buttons[] = {
        {Control::BitBtn1, &MainWindow::BitBtn1Click},
        {Control::BitBtn2, &MainWindow::BitBtn2Click},
        {Control::BitBtn3, &MainWindow::BitBtn3Click},
        {Control::BitBtn4, &MainWindow::BitBtn4Click},
        {Control::BitBtn5, &MainWindow::BitBtn5Click},
        {Control::BitBtn6, &MainWindow::BitBtn6Click},
        {Control::BitBtn7, &MainWindow::BitBtn7Click},
        {Control::BitBtn8, &MainWindow::BitBtn8Click},
        {Control::SpeedButton1, &MainWindow::SpeedButton1Click},
    };
    for (const auto& [control, handler] : buttons) {
        auto* button = static_cast<QAbstractButton*>(widgets_.at(control));
        connect(button, &QAbstractButton::clicked, this, [logic, handler] { (logic->*handler)(); });
    }
    for (const ControlEntry& entry : Form1Controls()) {
        if (entry.kind != ControlKind::CheckBox) continue;
        auto* box = static_cast<QCheckBox*>(widgets_.at(entry.id));
        const Control id = entry.id;
        // Boxes set by the logic stay silent (SetChecked), so this is the
        // operator's change.
        connect(box, &QCheckBox::toggled, this, [this, logic, id] {
            logic->CheckBoxClick(id);
            emit CheckBoxClicked(id);
        });
    }
    connect(&timer1_, &QTimer::timeout, this, [logic] { logic->Timer1Timer(); });
    connect(&timer2_, &QTimer::timeout, this, [logic] { logic->Timer2Timer(); });
}

// ---- Start-up at the first activation ---------------------------------------

bool TForm1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) StartupWhenActive();
    return QWidget::event(e);
}

void TForm1::changeEvent(QEvent* e) {
    // A window started minimised may already be active when it is restored.
    if (e->type() == QEvent::WindowStateChange && isActiveWindow()) StartupWhenActive();
    QWidget::changeEvent(e);
}

void TForm1::StartupWhenActive() {
    if (startupQueued_ || logic_ == nullptr || isMinimized() || !isVisible()) return;
    startupQueued_ = true;
    // Queued, so that the activation finishes and the window is painted
    // before the port scan blocks the thread.
    QMetaObject::invokeMethod(
        this,
        [this] {
            logic_->FormActivate();
            emit StartupFinished();
        },
        Qt::QueuedConnection);
}

void TForm1::resizeEvent(QResizeEvent* e) {
    // Everything keeps its place; only the status bar follows the bottom edge.
    const ControlEntry& bar = Form1Control(Control::StatusBar1);
    statusBar_->setGeometry(0, height() - bar.height, width(), bar.height);
    QWidget::resizeEvent(e);
}

// ---- The face's menu ------------------------------------------------------------

void TForm1::SetStartAtLoginItem(std::function<StartAtLoginMenuItem()> read,
                                 std::function<void(bool)> switchTo) {
    readStartAtLogin_ = std::move(read);
    switchStartAtLogin_ = std::move(switchTo);
}

// The list and the counter field have menus of their own; a right click
// anywhere else reaches the window.
void TForm1::contextMenuEvent(QContextMenuEvent* e) {
    if (!readStartAtLogin_) return QWidget::contextMenuEvent(e);
    QMenu menu(this);
    QAction* item = menu.addAction(QString());
    item->setObjectName(QStringLiteral("StartAtLoginItem"));
    item->setCheckable(true);
    const StartAtLoginMenuItem state = readStartAtLogin_();
    item->setText(Q(state.text));
    item->setChecked(state.checked);
    item->setEnabled(state.enabled);
    if (menu.exec(e->globalPos()) == item) switchStartAtLogin_(item->isChecked());
}

// ---- The counter field's exit ------------------------------------------------

// The focus moved from the counter field to another control of this window
// (by Tab or by pressing the control; not to another window or program, and
// never to the maker button, which takes no focus). Qt moves the focus before
// it delivers the press, so the exit runs before the control reacts.
void TForm1::OnFocusChanged(QWidget* old, QWidget* now) {
    if (old != edit1_ || now == nullptr || now->window() != this) return;
    if (RunEdit1Exit()) return;
    edit1_->setFocus(Qt::OtherFocusReason);
    // The press that moved the focus comes right after this; once the number
    // is refused it must not reach the control.
    swallowPress_ = true;
    QTimer::singleShot(0, this, [this] { swallowPress_ = false; });
}

bool TForm1::eventFilter(QObject* /*watched*/, QEvent* e) {
    if (swallowPress_ && e->type() == QEvent::MouseButtonPress) {
        swallowPress_ = false;
        return true;
    }
    return false;
}

bool TForm1::RunEdit1Exit() { return logic_->Edit1Exit(); }

// ---- MainView ------------------------------------------------------------------

void TForm1::SetVisible(Control control, bool visible) {
    widgets_.at(control)->setVisible(visible);
}
void TForm1::SetEnabled(Control control, bool enabled) {
    widgets_.at(control)->setEnabled(enabled);
}

bool TForm1::IsChecked(Control box) const {
    return static_cast<QCheckBox*>(widgets_.at(box))->isChecked();
}

void TForm1::SetChecked(Control box, bool checked) {
    // The logic runs the box's handler itself; the toggled signal must not.
    auto* widget = static_cast<QCheckBox*>(widgets_.at(box));
    const QSignalBlocker silent(widget);
    widget->setChecked(checked);
}

std::string TForm1::Text(Control control) const {
    if (control == Control::Edit1) return S(edit1_->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widgets_.at(control)))
        return S(button->text());
    return {};
}

void TForm1::SetText(Control control, const std::string& text) {
    if (control == Control::Edit1) {
        edit1_->setText(Q(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widgets_.at(control))) {
        button->setText(Q(text));
    }
}

void TForm1::SetFocus(Control control) { widgets_.at(control)->setFocus(Qt::OtherFocusReason); }

void TForm1::RepaintNow(Control control) {
    QWidget* widget = control == Control::StatusBar1 ? statusPanel_ : widgets_.at(control);
    widget->repaint();
}

std::string TForm1::Caption() const { return S(windowTitle()); }
void TForm1::SetCaption(const std::string& caption) { setWindowTitle(Q(caption)); }
void TForm1::Minimize() { showMinimized(); }
void TForm1::CloseWindow() { close(); }

void TForm1::SetStatusText(const std::string& text) { statusPanel_->setText(Q(text)); }

// Qt tells the screen reader of the change (its name-change event).
void TForm1::SetAccessibleName(Control control, const std::string& name) {
    widgets_.at(control)->setAccessibleName(Q(name));
}

void TForm1::Announce(const std::string& notice) { notice_->Say(Q(notice)); }

Rgb TForm1::StatusColor() const {
    const QColor c = statusBar_->palette().color(QPalette::Window);
    return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
               static_cast<std::uint8_t>(c.blue())};
}

void TForm1::SetStatusColor(Rgb color) {
    QPalette palette = statusBar_->palette();
    palette.setColor(QPalette::Window, QColor(color.red, color.green, color.blue));
    statusBar_->setPalette(palette);
}

std::string TForm1::MemoLine(int index) const {
    const QTextBlock block = memo1_->document()->findBlockByNumber(index);
    return block.isValid() ? S(block.text()) : std::string();
}

void TForm1::SetMemoLine(int index, const std::string& text) {
    const QTextBlock block = memo1_->document()->findBlockByNumber(index);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(Q(text));
}

bool TForm1::IsTimerEnabled(Timer timer) const {
    return (timer == Timer::Timer1 ? timer1_ : timer2_).isActive();
}

void TForm1::SetTimerEnabled(Timer timer, bool enabled) {
    QTimer& t = TimerObject(timer);
    if (enabled) {
        t.start();
    } else {
        t.stop();
    }
}

void TForm1::ShowErrorBox(const std::string& text) {
    MakeBox(Q(text::kErrorCaption), Q(text))->exec();
    ReturnFromModal();
}

void TForm1::ShowConversionErrorBox(const std::string& caption, const std::string& text) {
    MakeBox(Q(caption), Q(text))->exec();
    ReturnFromModal();
}

void TForm1::ShowMakerInformation() {
    {
        TForm2 form(this);
        form.exec();
    }
    ReturnFromModal();
}

// A window manager hands the activation back to the main window when a box
// closes; without one (a bare X server) nobody would, and the keyboard would
// go nowhere.
void TForm1::ReturnFromModal() {
    if (QApplication::activeWindow() == nullptr && QApplication::activeModalWidget() == nullptr &&
        isVisible() && !isMinimized()) {
        activateWindow();
    }
}

}  // namespace vm4417::ui
