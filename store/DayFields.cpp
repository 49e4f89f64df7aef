#include "store/DayFields.h"

#include "store/Day.h"
#include "store/DayRecord.h"

#include <QHash>

namespace DayFields {

const QList<DayField>& all()
{
    static const QList<DayField> fields = [] {
        using DR = QString& (*)(Day&, int);
        const DR plan = [](Day& d, int) -> QString& { return d.plan; };
        const DR attendance = [](Day& d, int) -> QString& { return d.attendance; };
        const DR subject = [](Day& d, int k) -> QString& { return d.subjects[size_t(k)]; };
        const DR content = [](Day& d, int k) -> QString& { return d.contents[size_t(k)]; };
        const DR impressions = [](Day& d, int) -> QString& { return d.impressions; };
        const DR colour = [](Day& d, int k) -> QString& { return d.colourTexts[size_t(k)]; };
        const DR weather = [](Day& d, int) -> QString& { return d.weather; };
        QList<DayField> table;
        table.append({DayRecord::plan(), QStringLiteral("今日の予定"), 0, Day::PlanColour, false, plan});
        table.append({DayRecord::attendance(), QStringLiteral("出欠記録"), 1, -1, false, attendance});
        for (int k = 0; k < Day::Periods; ++k) {
            table.append({DayRecord::subject(k), QStringLiteral("%1時間目の教科").arg(k + 1), 2 + 2 * k,
                          Day::periodColour(k), false, subject, k});
        }
        for (int k = 0; k < Day::Periods; ++k) {
            table.append({DayRecord::content(k), QStringLiteral("%1時間目の授業内容").arg(k + 1), 3 + 2 * k,
                          Day::periodColour(k), false, content, k});
        }
        table.append({DayRecord::impressions(), QStringLiteral("感想・記録"), 2 + 2 * Day::Periods,
                      Day::ImpressionsColour, false, impressions});
        table.append({DayRecord::planColour(), DayRecord::planColour(), -1, -1, true, colour, Day::PlanColour});
        for (int k = 0; k < Day::Periods; ++k) {
            table.append(
                {DayRecord::periodColour(k), DayRecord::periodColour(k), -1, -1, true, colour, Day::periodColour(k)});
        }
        table.append({DayRecord::impressionsColour(), DayRecord::impressionsColour(), -1, -1, true, colour,
                      Day::ImpressionsColour});
        table.append({DayRecord::weather(), QStringLiteral("天気マーク"), -1, -1, false, weather});
        return table;
    }();
    return fields;
}

const DayField* named(const QString& column)
{
    static const QHash<QString, const DayField*> byName = [] {
        QHash<QString, const DayField*> names;
        for (const DayField& field : all())
            names.insert(field.column, &field);
        return names;
    }();
    return byName.value(column);
}

const QList<const DayField*>& textBoxes()
{
    static const QList<const DayField*> boxes = [] {
        QList<const DayField*> list;
        for (const DayField& field : all()) {
            if (field.page >= 0)
                list.append(&field);
        }
        std::sort(list.begin(), list.end(), [](const DayField* a, const DayField* b) { return a->page < b->page; });
        return list;
    }();
    return boxes;
}

} // namespace DayFields
