#include "app/HeaderColors.h"

#include <algorithm>
#include <cmath>

namespace vk::app {

namespace {

double channel(double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

double luminance(const QColor& c) {
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

HeaderColors headerColors(const QPalette& palette) {
    const bool dark = palette.color(QPalette::Window).lightnessF() < 0.5;
    if (dark) return {QColor(0x1c, 0x35, 0x40), QColor(0x9f, 0xd8, 0xec), QColor(0xe8, 0xf0, 0xf3)};
    return {QColor(0xe6, 0xf1, 0xf5), QColor(0x0d, 0x3b, 0x4f), QColor(0x1b, 0x2b, 0x33)};
}

double contrastRatio(const QColor& a, const QColor& b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace vk::app
