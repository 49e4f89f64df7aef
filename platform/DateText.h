// Dates as the diary writes them for people: 2002年5月10日(金).
#pragma once

#include <QDate>
#include <QString>

namespace DateText {

QString withWeekday(const QDate& date);

} // namespace DateText
