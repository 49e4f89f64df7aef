// What assistive technology sees of the month calendar: a table of the 42
// displayed days (named with date and weekday), the weekday names as column
// headers and the month as caption, the selected day as its focused cell.
#pragma once

class MonthCalendar;

namespace MonthCalendarAccessible {

// Installs the interface factory; once per process, from MonthCalendar itself.
void install();

// The displayed days, or their order (columnsChanged), are new: the cells of
// days no longer shown go, and the month and headers are renamed.
void daysChanged(MonthCalendar* calendar, bool columnsChanged);
// The selected day moved or the calendar took the focus: the day's cell is
// selected, and focused when the calendar has the focus.
void valueChanged(MonthCalendar* calendar);

} // namespace MonthCalendarAccessible
