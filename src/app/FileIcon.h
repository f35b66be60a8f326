#pragma once

#include <QIcon>
#include <QString>

namespace vk::app {

// The icon a user knows the file by: a Windows program's own icon (its first
// icon group), else the desktop's icon for the file's type, else a plain
// file icon.
QIcon fileIcon(const QString& path);

// An icon from the bytes of an .ico file; null when none of its images loads.
QIcon iconFromIco(const QByteArray& ico);

}  // namespace vk::app
