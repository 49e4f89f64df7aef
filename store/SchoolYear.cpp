#include "store/SchoolYear.h"

QDate SchoolYear::withinYear(const QDate& date) const
{
    if (!date.isValid())
        return first;
    const int year = date.month() >= first.month() ? first.year() : first.year() + 1;
    const int day = std::min(date.day(), QDate(year, date.month(), 1).daysInMonth());
    return QDate(year, date.month(), day);
}
