// The day record: the names of the diary sheet's columns. What each field
// is (its box, its colour) is told by the table in DayFields.h.
#pragma once

#include <QString>
#include <QStringList>

namespace DayRecord {

inline const QString SheetName = QStringLiteral("Sheet1");
// The colour a new diary gives every entry: the system window-text colour.
inline constexpr qint32 DefaultColour = qint32(0x80000008u);

inline QString plan() { return QStringLiteral("予定"); }
inline QString attendance() { return QStringLiteral("出欠"); }
inline QString subject(int k) { return QStringLiteral("時間%1").arg(k + 1); } // k = 0 ... 6
inline QString content(int k) { return QStringLiteral("内容%1").arg(k + 1); }
inline QString impressions() { return QStringLiteral("感想"); }
inline QString planColour() { return QStringLiteral("予定色"); }
inline QString periodColour(int k) { return QStringLiteral("時間色%1").arg(k + 1); }
inline QString impressionsColour() { return QStringLiteral("感想色"); }
inline QString weather() { return QStringLiteral("天気"); }

// What the pupil calls the box of a column: "今日の予定", "3時間目の授業内容", ...
QString boxName(const QString& column);

// The nine colour columns, in the order the page stores them.
QStringList colourColumns();
bool isColourColumn(const QString& column);
// All the day's columns in the order a new diary lays them out.
QStringList allColumns();

} // namespace DayRecord
