#include "main_window/WeatherPicture.h"

#include "platform/AppInfo.h"
#include "platform/PictureLoader.h"

#include <QFileInfo>

namespace WeatherPicture {

QPixmap forStoredPath(const QString& storedPath)
{
    if (storedPath.isEmpty())
        return {};
    if (QFileInfo::exists(storedPath))
        return PictureLoader::load(storedPath);
    const qsizetype cut = std::max(storedPath.lastIndexOf(QLatin1Char('/')), storedPath.lastIndexOf(QLatin1Char('\\')));
    const QString name = storedPath.mid(cut + 1);
    if (name.isEmpty())
        return {};
    return PictureLoader::load(AppInfo::programFilePath(name));
}

} // namespace WeatherPicture
