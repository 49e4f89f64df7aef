// Picture loading from a path, refusing anything that is not a plain picture
// file of reasonable size, so that a folder, a device or a pipe never blocks.
#pragma once

#include <QPixmap>
#include <QString>

namespace PictureLoader {

inline constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

// An empty path, a missing or unsuitable file, or an undecodable one give a
// null pixmap. Icons with several images give the 32 x 32 one when present.
QPixmap load(const QString& path);

} // namespace PictureLoader
