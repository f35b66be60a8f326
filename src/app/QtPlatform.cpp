#include "app/QtPlatform.h"

#include <QApplication>
#include <QClipboard>

namespace vk::app {

QtEventPump::QtEventPump(int intervalMs) : intervalMs_(intervalMs) { timer_.start(); }

void QtEventPump::pump() {
    if (timer_.elapsed() < intervalMs_) return;
    pumpNow();
}

void QtEventPump::pumpNow() {
    timer_.restart();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (afterPump_) afterPump_();
}

void QtClipboard::setText(const std::string& text) {
    if (auto* clipboard = QApplication::clipboard())
        clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace vk::app
