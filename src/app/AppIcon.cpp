#include "app/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vk::app {
namespace {

// Drawn on a 64-unit square, like the SVG.
void drawShield(QPainter& p) {
    QPainterPath shield;
    shield.moveTo(32, 4);
    shield.lineTo(56, 12);
    shield.lineTo(56, 30);
    shield.cubicTo(56, 45, 46, 55, 32, 60);
    shield.cubicTo(18, 55, 8, 45, 8, 30);
    shield.lineTo(8, 12);
    shield.closeSubpath();
    QLinearGradient g(0, 4, 0, 60);
    g.setColorAt(0, QColor(0x23, 0x8a, 0xa8));
    g.setColorAt(1, QColor(0x0d, 0x3b, 0x4f));
    p.setPen(QPen(QColor(0x08, 0x26, 0x33), 2));
    p.setBrush(g);
    p.drawPath(shield);
}

void drawMagnifier(QPainter& p, QPointF centre, double radius) {
    p.setBrush(QColor(0xe0, 0x40, 0x40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, radius * 0.36, radius * 0.36);
    QPen ring(Qt::white, radius * 0.45, Qt::SolidLine, Qt::RoundCap);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);
    ring.setWidthF(radius * 0.55);
    p.setPen(ring);
    QPointF from = centre + QPointF(radius * 0.72, radius * 0.72);
    p.drawLine(from, from + QPointF(radius * 0.9, radius * 0.9));
}

}  // namespace

QPixmap logoPixmap(int size) {
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    drawShield(p);
    drawMagnifier(p, {29, 28}, 11);
    return pix;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addPixmap(logoPixmap(size));
    return icon;
}

QPixmap scanningFrame(int frame, int size) {
    static const QPointF offsets[4] = {{-5, -5}, {5, -5}, {5, 5}, {-5, 5}};
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A folder being searched.
    p.setPen(QPen(QColor(0x9a, 0x74, 0x1c), 1.5));
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    QPainterPath folder;
    folder.moveTo(6, 18);
    folder.lineTo(24, 18);
    folder.lineTo(28, 23);
    folder.lineTo(58, 23);
    folder.lineTo(58, 54);
    folder.lineTo(6, 54);
    folder.closeSubpath();
    p.drawPath(folder);
    QPointF c = QPointF(28, 34) + offsets[frame & 3];
    QPen ring(QColor(0x0d, 0x3b, 0x4f), 4, Qt::SolidLine, Qt::RoundCap);
    p.setPen(ring);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(c, 9, 9);
    ring.setWidthF(5);
    p.setPen(ring);
    p.drawLine(c + QPointF(6.5, 6.5), c + QPointF(14, 14));
    return pix;
}

}  // namespace vk::app
