#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <string>

namespace vk::app {

// One running copy per config.ini: a later start hands its arguments to the
// running copy and ends, so two tray icons never write the same settings.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const std::string& configIni, QObject* parent = nullptr);

    // True when this process is now the running copy; false when a running
    // copy took the arguments (the caller then ends).
    bool claim(const QStringList& arguments);
    const QString& serverName() const { return serverName_; }

signals:
    // Another start handed over its arguments.
    void activated(const QStringList& arguments);

private:
    bool handOver(const QStringList& arguments);
    void readHandOver();

    QString serverName_;
    QLocalServer server_;
};

}  // namespace vk::app
