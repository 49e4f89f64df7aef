// Picture loading from a path, refusing anything that is not a plain picture
// file of reasonable size, so that a folder, a device or a pipe never blocks.
#pragma once

#include <QPixmap>
#include <QString>

namespace PictureLoader {

inline constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

// An empty path, a missing or unsuitable file, or an undecodable one give a
// null pixmap. Icons with several images give the 32 x 32 one when present;
// on a screen of devicePixelRatio above 1 an icon that also holds larger
// images gives one of 32 x 32 device-independent pixels, made from the
// smallest large enough, so the mark keeps its size and stays sharp.
QPixmap load(const QString& path, qreal devicePixelRatio = 1.0);

} // namespace PictureLoader
