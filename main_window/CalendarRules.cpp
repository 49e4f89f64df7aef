#include "main_window/CalendarRules.h"

#include "store/DayIndex.h"

namespace CalendarRules {

QDate openingDate(const QDate& today)
{
    if (today >= DayIndex::FirstDay && today <= DayIndex::LastDay)
        return today;
    return DayIndex::withinYear(today);
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
