#include "platform/PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace PictureLoader {

QPixmap load(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    // isFile() is true only for regular files (after symbolic links): pipes,
    // devices and folders are refused before anything opens them.
    if (!info.isFile() || info.size() <= 0 || info.size() > MaxFileBytes)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes)
        return {};

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage best;
    // An icon file may hold several sizes; the box is designed for 32 x 32.
    do {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        if (best.isNull() || image.size() == QSize(32, 32))
            best = image;
        if (best.size() == QSize(32, 32))
            break;
    } while (reader.jumpToNextImage());
    return best.isNull() ? QPixmap() : QPixmap::fromImage(best);
}

} // namespace PictureLoader
