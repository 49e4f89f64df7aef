// Dates as the diary writes them for people: 2002年5月10日(金).
#pragma once

#include <QChar>
#include <QDate>
#include <QString>

namespace DateText {

// "2002年5月10日"
QString date(const QDate& date);
// "2002年5月10日(金)"
QString withWeekday(const QDate& date);
// "月" for Monday (1) ... "日" for Sunday (7)
QChar weekday(int dayOfWeek);

} // namespace DateText
