#include "app/TaskIcon.h"

#include <QSystemTrayIcon>

namespace vk::app {

TaskIcon::TaskIcon(QObject* parent) : QObject(parent) {}

TaskIcon::~TaskIcon() { hideButton(); }

QString TaskIcon::shownTip() const {
    QString tip = tipText_;
    tip.truncate(kTipLength);
    // A cut through a surrogate pair would leave half a character.
    if (!tip.isEmpty() && tip.back().isHighSurrogate()) tip.chop(1);
    return tip;
}

void TaskIcon::showButton() {
    if (!tray_) {
        tray_ = new QSystemTrayIcon(this);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { activated(static_cast<int>(reason)); });
    }
    tray_->setIcon(icon_);
    tray_->setToolTip(shownTip());
    if (!added_) {
        tray_->show();
        added_ = true;
    }
}

void TaskIcon::hideButton() {
    if (tray_) tray_->hide();
    added_ = false;
}

void TaskIcon::showNotification(const QString& title, const QString& text) {
    lastNotification_ = {title, text};
    if (tray_ && added_ && QSystemTrayIcon::supportsMessages())
        tray_->showMessage(title, text, QSystemTrayIcon::Information);
}

void TaskIcon::activated(int reason) {
    switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
        case QSystemTrayIcon::Trigger: emit click(); break;
        case QSystemTrayIcon::DoubleClick: emit dblClick(); break;
        case QSystemTrayIcon::Context: emit rightClick(); break;
        default: break;
    }
}

}  // namespace vk::app
