#include "DesktopAttention.h"

#include <QApplication>

#include "Texts.h"

namespace vm4417::ui {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// Any window of the program counts: a message box of it in front has the
// operator's eyes on the program too.
bool DesktopAttention::WindowInFront() {
    return QApplication::activeWindow() != nullptr && !window_.isMinimized();
}

void DesktopAttention::Ask(const std::string& notice) {
    // No time limit: the entry asks until the operator brings the window
    // forward, which clears it.
    QApplication::alert(&window_, 0);
    notifications_.Show(Q(text::kCaption), Q(notice));
}

}  // namespace vm4417::ui
