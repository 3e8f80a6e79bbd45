#include "HandOver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <chrono>

namespace vm4417::ui {

namespace {

using namespace std::chrono_literals;

// The first start may be between its lock and its socket.
constexpr auto kListenWait = 5s;
constexpr auto kConnectRetry = 100ms;
// Start-up's port scan keeps the first start's loop busy for up to 30 ports.
constexpr auto kAnswerWait = 15s;
constexpr char kShow[] = "show ";
constexpr char kShown[] = "shown\n";

QString SocketPath(const std::string& folderKey) {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(runtime).filePath(QStringLiteral("vm4417-") + QString::fromStdString(folderKey));
}

}  // namespace

bool HandOverServer::Listen(const std::string& folderKey) {
    const QString path = SocketPath(folderKey);
    QLocalServer::removeServer(path);
    // Only this user may ask for the window.
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(path)) return false;
    connect(&server_, &QLocalServer::newConnection, this, &HandOverServer::Answer);
    return true;
}

void HandOverServer::Answer() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) return;
            const QByteArray line = socket->readLine().trimmed();
            if (!line.startsWith(QByteArray(kShow).trimmed())) return;
            ShowWindow(QString::fromUtf8(line.mid(sizeof kShow - 1)));
            socket->write(kShown);
            socket->flush();
        });
    }
}

void HandOverServer::ShowWindow(const QString& activationToken) {
    // Qt's Wayland plugin takes the token from here at the next activation.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_.show();
    window_.raise();
    window_.activateWindow();
}

HandOverResult AskToShow(const std::string& folderKey, const QByteArray& activationToken) {
    const QString path = SocketPath(folderKey);
    QLocalSocket socket;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(1000)) break;
        if (waited.elapsed() > std::chrono::milliseconds(kListenWait).count()) {
            return HandOverResult::NoAnswer;
        }
        QThread::msleep(static_cast<unsigned long>(kConnectRetry.count()));
    }
    socket.write(QByteArray(kShow) + activationToken + '\n');
    if (!socket.waitForBytesWritten(1000)) return HandOverResult::NoAnswer;
    waited.restart();
    while (!socket.canReadLine()) {
        const auto left = std::chrono::milliseconds(kAnswerWait).count() - waited.elapsed();
        if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left))) {
            return HandOverResult::NoAnswer;
        }
    }
    return socket.readLine() == kShown ? HandOverResult::Shown : HandOverResult::NoAnswer;
}

}  // namespace vm4417::ui
