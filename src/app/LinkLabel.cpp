#include "app/LinkLabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>

namespace vk::app {

LinkLabel::LinkLabel(const QString& text, const QUrl& url, QWidget* parent) : QLabel(text, parent), url_(url) {
    setCursor(Qt::PointingHandCursor);
    setHover(false);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent, std::function<void()> action)
    : LinkLabel(text, QUrl(), parent) {
    action_ = std::move(action);
}

void LinkLabel::setHover(bool hover) {
    hover_ = hover;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText,
                 hover ? QColor(0, 0, 0xFF) : QApplication::palette().color(QPalette::ButtonText));
    setPalette(pal);
}

void LinkLabel::enterEvent(QEnterEvent*) { setHover(true); }
void LinkLabel::leaveEvent(QEvent*) { setHover(false); }

void LinkLabel::click() {
    if (action_) action_();
    else QDesktopServices::openUrl(url_);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) click();
}

}  // namespace vk::app
