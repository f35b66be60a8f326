#pragma once

#include <QFontMetrics>
#include <QString>

namespace vk::app {

// Text unchanged when narrower than maxWidth; else the longest prefix that
// with "..." appended is narrower (the one-character prefix when none is).
QString compactText(const QFontMetrics& metrics, const QString& text, int maxWidth);

// A file name on one line: control characters shown as their Unicode
// pictures (a newline as U+240A), everything else as it is.
QString singleLine(const QString& text);

// The parts of a scanned path after and before its last "/".
QString fileNamePart(const QString& path);
QString folderPart(const QString& path);

// UTF-8 bytes (file names, INI values) and back.
inline QString fromBytes(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string toBytes(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace vk::app
