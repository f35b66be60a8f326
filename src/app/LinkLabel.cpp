#include "app/LinkLabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>

namespace vk::app {

LinkLabel::LinkLabel(const QString& text, const QUrl& url, QWidget* parent) : QLabel(text, parent), url_(url) {
    setCursor(Qt::PointingHandCursor);
    setHover(false);
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

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) QDesktopServices::openUrl(url_);
}

}  // namespace vk::app
