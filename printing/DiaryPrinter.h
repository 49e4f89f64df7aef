// The diary on paper, on any paged device (a PDF file, a printer): each day
// on a page of its own laid out like the diary's page (a long day runs on to
// further pages), and a range of several days opening with a title page.
#pragma once

#include "printing/PrintRange.h"
#include "store/Day.h"

#include <QList>
#include <QPixmap>

#include <functional>

class Diary;
class QPagedPaintDevice;

class DiaryPrinter {
public:
    // The weather mark of a stored icon path, loaded as the window loads it.
    using WeatherLoader = std::function<QPixmap(const QString& storedPath)>;

    DiaryPrinter(Diary& diary, WeatherLoader weather);

    // The days that get a page: a single day always; of a longer range the
    // days with an entry (a text or a weather mark), in date order.
    QList<std::pair<QDate, Day>> daysOf(const PrintRange& range) const;

    // Draws the days on the device in its page size and margins. False when
    // the device cannot be painted on (a file that cannot be written).
    bool print(const PrintRange& range, const QList<std::pair<QDate, Day>>& days, QPagedPaintDevice* device) const;

private:
    Diary& m_diary;
    WeatherLoader m_weather;
};
