#include "app/FileIcon.h"

#include <QApplication>
#include <QBuffer>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QStyle>

#include "app/TextFit.h"
#include "tools/PeIcon.h"

namespace vk::app {

QIcon iconFromIco(const QByteArray& ico) {
    QBuffer buffer;
    buffer.setData(ico);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QIcon icon;
    // Every size the file holds, so each view picks the one that fits.
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) break;
        QImage image = reader.read();
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QIcon fileIcon(const QString& path) {
    if (auto ico = tools::extractIcon(toBytes(path))) {
        QIcon icon = iconFromIco(QByteArray(ico->data(), static_cast<qsizetype>(ico->size())));
        if (!icon.isNull()) return icon;
    }
    static QFileIconProvider provider;
    QIcon icon = provider.icon(QFileInfo(path));
    if (!icon.isNull()) return icon;
    return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

}  // namespace vk::app
