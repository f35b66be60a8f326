#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QUrl>

namespace vk::app {

// What the program asks of the desktop: a file shown in the file manager, a
// file's properties window, a web page in the browser. The file manager is
// asked over D-Bus (org.freedesktop.FileManager1); where none answers, the
// folder is opened as a document instead.
class DesktopShell : public QObject {
    Q_OBJECT
public:
    explicit DesktopShell(QObject* parent = nullptr, QDBusConnection bus = QDBusConnection::sessionBus());

    // The folder of file in the file manager with file selected; without a
    // file manager on the bus, the folder opened by the desktop.
    void showFileLocation(const QString& file);
    // The file manager's properties window of file; else showFileLocation.
    void showFileProperties(const QString& file);
    void openWebAddress(const QUrl& address);

    void setBus(QDBusConnection bus) { bus_ = bus; }

signals:
    // After a request has been handed on (to the file manager or the fallback).
    void requestDone();

private:
    void callFileManager(const QString& method, const QString& file, void (DesktopShell::*fallback)(const QString&));
    void openFolder(const QString& file);

    QDBusConnection bus_;
};

}  // namespace vk::app
