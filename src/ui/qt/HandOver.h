#pragma once
// One program per working folder on Linux, the hand-over between two starts
// in one folder, both sides. The first listens on a local socket named with
// the folder's key (in $XDG_RUNTIME_DIR) and answers by showing its window;
// a second start connects, asks it to show its window, passing on the
// desktop's activation token (Wayland's xdg-activation), waits for its
// answer and ends without a window, a port scan or a file written.

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QWidget>

#include <string>

#include "StartSequence.h"

namespace vm4417::ui {

// The first start's side.
class HandOverServer final : public QObject {
    Q_OBJECT

public:
    // `window` is what a later start brings to the front.
    explicit HandOverServer(QWidget& window) : window_(window) {}

    // Listens for later starts in the folder of `folderKey`, removing a
    // socket a killed holder left there: call only while holding the
    // folder's lock. False when it cannot listen.
    bool Listen(const std::string& folderKey);
    QString ErrorText() const { return server_.errorString(); }

private:
    void Answer();
    // Restored if minimised, raised and activated, with the desktop's token
    // where the second start had one (Wayland allows the activation only
    // with it).
    void ShowWindow(const QString& activationToken);

    QWidget& window_;
    QLocalServer server_;
};

// A second start's side: asks the program working in the folder of
// `folderKey` to show its window. Needs a QCoreApplication. Waits a few
// seconds for the first to listen (it may be starting too) and for its
// answer (it may be scanning ports).
HandOverResult AskToShow(const std::string& folderKey, const QByteArray& activationToken);

}  // namespace vm4417::ui
