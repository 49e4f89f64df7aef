#include "platform/PictureLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace {

// The size the picture box and the designs are made for.
constexpr int Designed = 32;

} // namespace

namespace PictureLoader {

QPixmap load(const QString& path, qreal devicePixelRatio)
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
    const int wanted = std::max(Designed, qRound(Designed * devicePixelRatio));
    QImage first;
    QImage designed;
    QImage large; // the smallest square image of at least wanted pixels
    do {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        if (first.isNull())
            first = image;
        if (image.size() == QSize(Designed, Designed))
            designed = image;
        else if (wanted > Designed && image.width() == image.height() && image.width() >= wanted
                 && (large.isNull() || image.width() < large.width()))
            large = image;
        if (!designed.isNull() && (wanted == Designed || large.width() == wanted))
            break;
    } while (reader.jumpToNextImage());

    // Only an icon designed at 32 pixels is known to want 32 on screen.
    if (!designed.isNull() && !large.isNull()) {
        QImage image = large.width() == wanted
                           ? large
                           : large.scaled(wanted, wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image.setDevicePixelRatio(qreal(wanted) / Designed);
        return QPixmap::fromImage(image);
    }
    const QImage& best = designed.isNull() ? first : designed;
    return best.isNull() ? QPixmap() : QPixmap::fromImage(best);
}

} // namespace PictureLoader
