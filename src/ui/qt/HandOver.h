#pragma once
// One program per working folder on Linux: the folder's lock first thing at
// start, and the hand-over between two starts in one folder. The first
// listens on a local socket named with the folder's key (in
// $XDG_RUNTIME_DIR); a second start connects, asks it to show its window, passing on the
// desktop's activation token (Wayland's xdg-activation), waits for its
// answer and ends without a window, a port scan or a file written.

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <string>

#include "FolderInstance.h"

namespace vm4417::ui {

// The socket's path for a folder's key (see FolderKey).
QString HandOverSocketPath(const std::string& folderKey);

class HandOverServer final : public QObject {
    Q_OBJECT

public:
    // Listens at `path`, removing a socket a killed holder left there: call
    // only while holding the folder's lock. False when it cannot listen.
    bool Listen(const QString& path);
    QString ErrorText() const { return server_.errorString(); }

signals:
    // A second start asks for the window; `activationToken` may be empty.
    void ShowRequested(const QString& activationToken);

private:
    void Answer();

    QLocalServer server_;
};

// A second start's side: asks the program listening at `path` to show its
// window. Needs a QCoreApplication. Waits a few seconds for the first to
// listen (it may be starting too) and for its answer (it may be scanning
// ports).
HandOverResult AskToShow(const QString& path, const QByteArray& activationToken);

}  // namespace vm4417::ui
