// The weather picture of a day, from the icon path stored in its record.
#pragma once

#include <QPixmap>
#include <QString>

namespace WeatherPicture {

// The picture at the stored path; when that file does not exist (a diary
// moved to another folder or machine, or written with "\" separators), the
// icon of the same file name beside the program. The stored path itself is
// never changed here. Sharp on a screen of that device pixel ratio.
QPixmap forStoredPath(const QString& storedPath, qreal devicePixelRatio = 1.0);

// What a screen reader says of the mark: "天気マーク: はれ", from the icon's file name.
QString spokenName(const QString& storedPath);

} // namespace WeatherPicture
