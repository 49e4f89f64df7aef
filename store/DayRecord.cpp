#include "store/DayRecord.h"

namespace DayRecord {

QString boxName(const QString& column)
{
    if (column == plan())
        return QStringLiteral("今日の予定");
    if (column == attendance())
        return QStringLiteral("出欠記録");
    if (column == impressions())
        return QStringLiteral("感想・記録");
    if (column == weather())
        return QStringLiteral("天気マーク");
    for (int k = 0; k < Periods; ++k) {
        if (column == subject(k))
            return QStringLiteral("%1時間目の教科").arg(k + 1);
        if (column == content(k))
            return QStringLiteral("%1時間目の授業内容").arg(k + 1);
    }
    return column;
}

QStringList colourColumns()
{
    QStringList columns{planColour()};
    for (int k = 0; k < Periods; ++k)
        columns << periodColour(k);
    columns << impressionsColour();
    return columns;
}

QStringList allColumns()
{
    QStringList columns{plan(), attendance()};
    for (int k = 0; k < Periods; ++k)
        columns << subject(k);
    for (int k = 0; k < Periods; ++k)
        columns << content(k);
    columns << impressions() << colourColumns() << weather();
    return columns;
}

} // namespace DayRecord
