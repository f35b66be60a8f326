#include "app/QtPlatform.h"

#include <QApplication>
#include <QClipboard>

#include "net/SocketHub.h"

namespace vk::app {

QtEventPump::QtEventPump(int intervalMs) : intervalMs_(intervalMs) { timer_.start(); }

void QtEventPump::pump() {
    if (timer_.elapsed() < intervalMs_) return;
    pumpNow();
}

void QtEventPump::pumpNow() {
    timer_.restart();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Socket events ride on the same pump as the window's.
    net::SocketHub::instance().processEvents(0);
    if (afterPump_) afterPump_();
}

void QtClipboard::setText(const std::string& text) {
    if (auto* clipboard = QApplication::clipboard())
        clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace vk::app
