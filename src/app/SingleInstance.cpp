#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <unistd.h>

namespace vk::app {

namespace {

constexpr int kWaitMs = 2000;
// A hand-over is a few arguments; anything longer is not one of ours.
constexpr qint64 kMaxHandOver = 64 * 1024;
const char kAck = '1';

QString runtimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath() + QStringLiteral("/vandrelkast-%1").arg(getuid());
    QDir().mkpath(folder);
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(const std::string& configIni, QObject* parent) : QObject(parent) {
    const QString config = QString::fromUtf8(configIni.data(), static_cast<qsizetype>(configIni.size()));
    const QString canonical = QFileInfo(config).absoluteFilePath();
    const QByteArray key = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    serverName_ = runtimeFolder() + QStringLiteral("/vandrelkast-") + QString::fromLatin1(key) + QStringLiteral(".sock");
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::readHandOver);
}

bool SingleInstance::claim(const QStringList& arguments) {
    // Two copies started together must not both become the running one.
    QLockFile lock(serverName_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    lock.tryLock(kWaitMs);
    if (handOver(arguments)) return false;
    // Nobody answers: what is left there belongs to a copy that ended.
    QLocalServer::removeServer(serverName_);
    // Without the server this copy still runs; a later start just cannot find it.
    server_.listen(serverName_);
    return true;
}

bool SingleInstance::handOver(const QStringList& arguments) {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kWaitMs)) return false;
    QByteArray message;
    for (const QString& a : arguments) message += a.toUtf8() + '\0';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(kWaitMs)) return false;
    while (!socket.bytesAvailable())
        if (!socket.waitForReadyRead(kWaitMs)) return false;
    return socket.read(1) == QByteArray(1, kAck);
}

void SingleInstance::readHandOver() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxHandOver) {
                socket->abort();
                return;
            }
            if (!socket->peek(kMaxHandOver).contains('\n')) return;
            QByteArray message = socket->readAll();
            message.chop(message.size() - message.indexOf('\n'));
            QStringList arguments;
            for (const QByteArray& a : message.split('\0'))
                if (!a.isEmpty()) arguments << QString::fromUtf8(a);
            socket->write(QByteArray(1, kAck));
            socket->flush();
            emit activated(arguments);
        });
    }
}

}  // namespace vk::app
