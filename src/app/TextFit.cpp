#include "app/TextFit.h"

namespace vk::app {

QString compactText(const QFontMetrics& metrics, const QString& text, int maxWidth) {
    if (metrics.horizontalAdvance(text) < maxWidth) return text;
    const QString dots = QStringLiteral("...");
    // Widths grow with the prefix, so the longest fitting one is found by halving.
    qsizetype lo = 1, hi = text.size(), best = 1;
    while (lo <= hi) {
        qsizetype mid = (lo + hi) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + dots) < maxWidth) {
            best = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (best < text.size() && text.at(best - 1).isHighSurrogate() && best > 1) --best;
    return text.left(best) + dots;
}

QString fileNamePart(const QString& path) {
    qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString folderPart(const QString& path) {
    qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}


QString singleLine(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() < 0x20) c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f) c = QChar(0x2421);
    }
    return out;
}

}  // namespace vk::app
