#include "app/LinkLabel.h"

#include <QApplication>
#include <QMouseEvent>

namespace vk::app {

LinkLabel::LinkLabel(const QString& text, QWidget* parent, std::function<void()> action)
    : QLabel(text, parent), action_(std::move(action)) {
    setCursor(Qt::PointingHandCursor);
    setObjectName(QStringLiteral("lblLink"));
    setHover(false);
}

void LinkLabel::setHover(bool hover) {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText,
                 hover ? QColor(0, 0, 0xFF) : QApplication::palette().color(QPalette::ButtonText));
    setPalette(pal);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) click();
}

}  // namespace vk::app
