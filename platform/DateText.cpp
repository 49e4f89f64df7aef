#include "platform/DateText.h"

namespace DateText {

QString withWeekday(const QDate& date)
{
    static const QString weekdays = QStringLiteral("月火水木金土日");
    if (!date.isValid())
        return QString();
    return QStringLiteral("%1年%2月%3日(%4)")
        .arg(date.year())
        .arg(date.month())
        .arg(date.day())
        .arg(weekdays.at(date.dayOfWeek() - 1));
}

} // namespace DateText
