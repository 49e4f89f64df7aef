#include "platform/DateText.h"

namespace DateText {

QString date(const QDate& date)
{
    return QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day());
}

QString withWeekday(const QDate& date)
{
    return date.isValid() ? QStringLiteral("%1(%2)").arg(DateText::date(date)).arg(weekday(date.dayOfWeek()))
                          : QString();
}

QChar weekday(int dayOfWeek) { return QStringLiteral("月火水木金土日").at((dayOfWeek + 6) % 7); }

} // namespace DateText
