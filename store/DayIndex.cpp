#include "store/DayIndex.h"

namespace DayIndex {

QDate withinYear(const QDate& date)
{
    if (!date.isValid())
        return FirstDay;
    const int year = date.month() >= 4 ? 2002 : 2003;
    const int day = std::min(date.day(), QDate(year, date.month(), 1).daysInMonth());
    return QDate(year, date.month(), day);
}

} // namespace DayIndex
