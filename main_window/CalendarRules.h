// The calendar's own rules: the date it opens on and the Sundays in bold.
#pragma once

#include <QDate>
#include <QList>

namespace CalendarRules {

// Today, or the same month and day within the diary's year when today lies outside it.
QDate openingDate(const QDate& today);

// The bold rule: for i = 1, 8, 15, ... below count, the flag at i - startOfWeek
// is set. With weeks starting on Sunday (code 1) that is the first column of
// every row. Indices outside the flag array are skipped, whatever the week start.
void markBoldDays(qint16 count, int startOfWeek, QList<bool>& state);

} // namespace CalendarRules
