#include "app/XpProgressBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vk::app {

XpProgressBar::XpProgressBar(QWidget* parent) : QWidget(parent), color_(palette().color(QPalette::Highlight)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize XpProgressBar::sizeHint() const { return orientation_ == 0 ? QSize(200, 20) : QSize(20, 200); }

void XpProgressBar::setMin(int v) { min_ = v; recompute(); }
void XpProgressBar::setMax(int v) { max_ = v; recompute(); }
void XpProgressBar::setValue(int v) { value_ = v; recompute(); }
void XpProgressBar::setColor(const QColor& c) { color_ = c; update(); }
void XpProgressBar::setBrushStyle(int v) { brushStyle_ = v; update(); }
void XpProgressBar::setScrolling(int v) { scrolling_ = v; update(); }
void XpProgressBar::setShowText(bool v) { showText_ = v; update(); }
void XpProgressBar::setImage(const QPixmap& p) { image_ = p; update(); }

void XpProgressBar::setOrientation(int v) {
    orientation_ = v;
    setSizePolicy(v == 0 ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                  v == 0 ? QSizePolicy::Fixed : QSizePolicy::Expanding);
    updateGeometry();
    update();
}

void XpProgressBar::recompute() {
    // A Max of 0 would divide by zero; the bar then shows Min.
    double share = max_ != 0 ? static_cast<double>(value_) * 100.0 / max_ : 0.0;
    percent_ = static_cast<int>(std::lround(share + min_));
    update();
}

QString XpProgressBar::text() const {
    if (scrolling_ == 2) return QStringLiteral("Gathering Required Information");
    return QString::number(percent_) + QStringLiteral(" %");
}

QColor XpProgressBar::textColor() const {
    // Colours given as 0x00BBGGRR.
    return scrolling_ == 6 ? QColor(0xC0, 0xC0, 0xC0) : QColor(0x40, 0x00, 0x00);
}

void XpProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool vertical = orientation_ != 0;
    const double shown = std::clamp(percent_, 0, 100) / 100.0;

    // Trough.
    QColor trough = scrolling_ == 6 ? QColor(40, 40, 48) : palette().color(QPalette::Base);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(trough);
    p.drawRoundedRect(frame, 3, 3);

    QRectF inner = frame.adjusted(2, 2, -2, -2);
    QRectF fill = inner;
    if (vertical) fill.setTop(inner.bottom() - inner.height() * shown);
    else fill.setWidth(inner.width() * shown);

    QColor base = color_;
    auto gradient = [&](const QColor& a, const QColor& b) {
        QLinearGradient g(fill.topLeft(), vertical ? fill.topRight() : fill.bottomLeft());
        g.setColorAt(0, a);
        g.setColorAt(0.5, b);
        g.setColorAt(1, a);
        return g;
    };

    p.setPen(Qt::NoPen);
    if (scrolling_ != 8 && shown > 0) {
        switch (scrolling_) {
            case 3: {  // separate blocks
                const double block = (vertical ? inner.width() : inner.height()) * 0.7 + 2;
                const double step = block + 2;
                const double length = vertical ? fill.height() : fill.width();
                for (double pos = 0; pos + 1 < length; pos += step) {
                    double len = std::min(block, length - pos);
                    QRectF r = vertical ? QRectF(fill.left(), fill.bottom() - pos - len, fill.width(), len)
                                        : QRectF(fill.left() + pos, fill.top(), len, fill.height());
                    QLinearGradient g(r.topLeft(), vertical ? r.topRight() : r.bottomLeft());
                    g.setColorAt(0, base.lighter(150));
                    g.setColorAt(0.5, base);
                    g.setColorAt(1, base.lighter(150));
                    p.setBrush(g);
                    p.drawRect(r);
                }
                break;
            }
            case 4: {  // along-the-bar gradient
                QLinearGradient g(inner.topLeft(), vertical ? inner.bottomLeft() : inner.topRight());
                g.setColorAt(0, base.lighter(170));
                g.setColorAt(1, base.darker(130));
                p.setBrush(g);
                p.drawRoundedRect(fill, 2, 2);
                break;
            }
            case 5:  // hatched with the brush style
                p.setBrush(base.lighter(160));
                p.drawRect(fill);
                p.setBrush(QBrush(base.darker(120), static_cast<Qt::BrushStyle>(std::clamp(brushStyle_ + 1, 2, 14))));
                p.drawRect(fill);
                break;
            case 6:  // dark with a glow
                p.setBrush(gradient(base.darker(200), base.lighter(110)));
                p.drawRoundedRect(fill, 2, 2);
                break;
            case 7: {  // pill
                double radius = (vertical ? fill.width() : fill.height()) / 2;
                p.setBrush(gradient(base, base.lighter(180)));
                p.drawRoundedRect(fill, radius, radius);
                break;
            }
            case 9:  // image, or stripes without one
                if (!image_.isNull()) {
                    p.drawTiledPixmap(fill, image_);
                } else {
                    p.setBrush(base);
                    p.drawRect(fill);
                    p.setBrush(QBrush(base.lighter(140), Qt::BDiagPattern));
                    p.drawRect(fill);
                }
                break;
            default:
                p.setBrush(gradient(base.darker(110), base.lighter(140)));
                p.drawRoundedRect(fill, 2, 2);
                break;
        }
    }

    if (showText_ || scrolling_ == 8) {
        p.setPen(textColor());
        p.setFont(font());
        p.drawText(rect(), Qt::AlignCenter, text());
    }
}

}  // namespace vk::app
