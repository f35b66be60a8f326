#pragma once

#include <QColor>
#include <QPalette>

namespace vk::app {

// The page headers' colours: the light scheme on a light desktop, a dark one
// on a dark desktop, each with readable contrast whatever the palette's own text.
struct HeaderColors {
    QColor background;
    QColor title;
    QColor text;
};

HeaderColors headerColors(const QPalette& palette);

// WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

}  // namespace vk::app
