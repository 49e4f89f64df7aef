#include "main_window/WeatherPicture.h"

#include "platform/AppInfo.h"
#include "platform/PictureLoader.h"

#include <QFileInfo>

namespace {

// The file name of a stored path written with "/" or "\" separators.
QString fileNameOf(const QString& storedPath)
{
    const qsizetype cut = std::max(storedPath.lastIndexOf(QLatin1Char('/')), storedPath.lastIndexOf(QLatin1Char('\\')));
    return storedPath.mid(cut + 1);
}

} // namespace

namespace WeatherPicture {

QPixmap forStoredPath(const QString& storedPath, qreal devicePixelRatio)
{
    if (storedPath.isEmpty())
        return {};
    if (QFileInfo::exists(storedPath))
        return PictureLoader::load(storedPath, devicePixelRatio);
    const QString name = fileNameOf(storedPath);
    if (name.isEmpty())
        return {};
    return PictureLoader::load(AppInfo::programFilePath(name), devicePixelRatio);
}

QString spokenName(const QString& storedPath)
{
    const QString name = QFileInfo(fileNameOf(storedPath)).completeBaseName();
    return QStringLiteral("天気マーク: ") + (name.isEmpty() ? QStringLiteral("なし") : name);
}

} // namespace WeatherPicture
