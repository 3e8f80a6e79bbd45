#pragma once
// How the Linux program asks for an operator who is not looking at it: the
// toolkit's alert on the main window, which on X11 makes its taskbar entry
// ask for attention until the window is active again (the window manager's
// _NET_WM_STATE_DEMANDS_ATTENTION, or the urgency hint where it has none),
// and a desktop notification. Qt 6.4's Wayland plugin has no alert, so on
// Wayland the notification is what reaches the operator.

#include <QWidget>

#include "Attention.h"
#include "DesktopNotifications.h"

namespace vm4417::ui {

class DesktopAttention final : public Attention {
public:
    explicit DesktopAttention(QWidget& window) : window_(window) {}

    bool WindowInFront() override;
    void Ask(const std::string& notice) override;

private:
    QWidget& window_;
    DesktopNotifications notifications_;
};

}  // namespace vm4417::ui
