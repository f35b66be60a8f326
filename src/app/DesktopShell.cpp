#include "app/DesktopShell.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

namespace vk::app {
namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
// A file manager that does not answer in this time is taken as absent.
constexpr int kTimeoutMs = 5000;

}  // namespace

DesktopShell::DesktopShell(QObject* parent, QDBusConnection bus) : QObject(parent), bus_(bus) {}

void DesktopShell::showFileLocation(const QString& file) {
    callFileManager(QStringLiteral("ShowItems"), file, &DesktopShell::openFolder);
}

void DesktopShell::showFileProperties(const QString& file) {
    callFileManager(QStringLiteral("ShowItemProperties"), file, &DesktopShell::showFileLocation);
}

void DesktopShell::openWebAddress(const QUrl& address) {
    QDesktopServices::openUrl(address);
    emit requestDone();
}

void DesktopShell::openFolder(const QString& file) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
    emit requestDone();
}

void DesktopShell::callFileManager(const QString& method, const QString& file,
                                   void (DesktopShell::*fallback)(const QString&)) {
    if (!bus_.isConnected()) {
        (this->*fallback)(file);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, method);
    call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
    // Asynchronous: the window goes on while the file manager starts up.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, file, fallback] {
        watcher->deleteLater();
        if (watcher->isError()) (this->*fallback)(file);
        else emit requestDone();
    });
}

}  // namespace vk::app
