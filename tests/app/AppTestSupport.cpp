#include "AppTestSupport.h"

#include <QAbstractButton>
#include <QDialog>

#include "scan/DatabaseFile.h"
#include "scan/SignatureDatabase.h"

namespace vk::apptest {

ModalDriver::ModalDriver() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

ModalDriver::~ModalDriver() { timer_.stop(); }

void ModalDriver::expect(const char* objectName, Handler handler) {
    handlers_.emplace_back(objectName, std::move(handler));
}

void ModalDriver::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    // A dialog opened again on the stack can reuse the last one's address: a
    // mark on the object tells them apart.
    if (!modal || modal->property("vkModalDriverSeen").toBool()) return;
    modal->setProperty("vkModalDriverSeen", true);
    std::string name = modal->objectName().toStdString();
    seen_.push_back(name);
    if (handlers_.empty() || handlers_.front().first != name) {
        unexpected_.push_back(name);
        if (auto* d = qobject_cast<QDialog*>(modal)) d->done(QDialog::Rejected);
        else modal->hide();
        return;
    }
    Handler h = std::move(handlers_.front().second);
    handlers_.pop_front();
    // Let the dialog finish showing before it is answered.
    QTimer::singleShot(0, modal, [h, modal] { h(modal); });
}

ProgramHome::ProgramHome(const std::vector<scan::SignatureEntry>& entries, const std::string& config,
                         const std::string& compatibleVersion) {
    scan::DatabaseMain main;
    main.version = "2026.3.14";
    main.compatibleVersion = compatibleVersion;
    main.releaseDate = {2026, 3, 14};
    main.size = static_cast<std::int32_t>(entries.size());
    dir.write("signatures.dat", scan::buildDatabaseFile(scan::formatPayload(main, entries)));
    if (!config.empty()) dir.write("config.ini", config);
    env_ = std::make_unique<test::ScopedEnv>("VANDRELKAST_HOME", dir.str().c_str());
    dataEnv_ = std::make_unique<test::ScopedEnv>("XDG_DATA_HOME", (dir.path() / "data").c_str());
}

scan::SignatureEntry stringSignature(const std::string& name, const std::string& bytes) {
    return {name, 0, "", true, bytes};
}

void clickChild(QWidget* parent, const char* name) {
    auto* button = child<QAbstractButton>(parent, name);
    if (button) button->click();
}

}  // namespace vk::apptest
