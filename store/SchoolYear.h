// The diary's school year as a value: its first day and its length. The
// design's year, 2002-04-01 to 2003-03-31, is the only one the program
// offers; the store, the calendar, printing and the search ask DiaryYear
// instead of repeating its dates.
//
// A "record" is a day's 0-based index in the year and in the diary sheet's
// records: record 0 is the first day, sheet row 1.
#pragma once

#include <QDate>

struct SchoolYear {
    QDate first;
    int days = 0;

    QDate last() const { return first.addDays(days - 1); }
    bool contains(const QDate& date) const { return date.isValid() && date >= first && date <= last(); }
    // The record of a date of the year; -1 outside it.
    int recordOf(const QDate& date) const { return contains(date) ? int(first.daysTo(date)) : -1; }
    QDate dateOf(int record) const { return first.addDays(record); }
    // The date of the year that stands for a day of any year: the same month
    // and day, in the year's first calendar year from its first month on,
    // with 29 February as 28 February.
    QDate withinYear(const QDate& date) const;
};

inline const SchoolYear DiaryYear{QDate(2002, 4, 1), 365};
