// The rule that maps a date of the diary's year to its record.
#pragma once

#include <QDate>

namespace DayIndex {

inline const QDate FirstDay{2002, 4, 1};
inline const QDate LastDay{2003, 3, 31};

// Days from 2002-03-31: 2002-04-01 is record 1, 2003-03-31 is record 365.
inline int of(const QDate& date) { return int(QDate(2002, 3, 31).daysTo(date)); }

// The date of a record: the inverse of of().
inline QDate dateOf(int index) { return QDate(2002, 3, 31).addDays(index); }

// The date of the diary's year that stands for a day of any year: the same
// month and day (April to December in 2002, January to March in 2003), with
// 29 February as 28 February.
QDate withinYear(const QDate& date);

} // namespace DayIndex
