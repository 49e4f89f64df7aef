#include "main_window/CalendarRules.h"

#include "store/SchoolYear.h"

namespace CalendarRules {

QDate openingDate(const QDate& today)
{
    if (DiaryYear.contains(today))
        return today;
    return DiaryYear.withinYear(today);
}

void markBoldDays(qint16 count, int startOfWeek, QList<bool>& state)
{
    for (int i = 1; i < count; i += 7) {
        const int index = i - startOfWeek;
        if (index >= 0 && index < state.size())
            state[index] = true;
    }
}

} // namespace CalendarRules
