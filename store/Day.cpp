#include "store/Day.h"

#include "store/DayRecord.h"

#include <algorithm>

std::optional<ColourValue> Day::colour(int field) const
{
    return ColourValue::fromText(colourTexts.at(size_t(field)));
}

void Day::setColour(int field, ColourValue colour)
{
    colourTexts.at(size_t(field)) = colour.toText();
}

QList<std::pair<QString, QString>> Day::boxTexts() const
{
    QList<std::pair<QString, QString>> boxes{{DayRecord::plan(), plan}, {DayRecord::attendance(), attendance}};
    for (int k = 0; k < Periods; ++k) {
        boxes.append({DayRecord::subject(k), subjects[size_t(k)]});
        boxes.append({DayRecord::content(k), contents[size_t(k)]});
    }
    boxes.append({DayRecord::impressions(), impressions});
    return boxes;
}

bool Day::hasNoEntry() const
{
    const auto boxes = boxTexts();
    return std::all_of(boxes.cbegin(), boxes.cend(), [](const auto& box) { return box.second.trimmed().isEmpty(); });
}

namespace {

// The fields of a day in the order of DayRecord::allColumns().
std::array<QString*, 27> fieldsInColumnOrder(Day& day)
{
    std::array<QString*, 27> fields{};
    size_t i = 0;
    fields[i++] = &day.plan;
    fields[i++] = &day.attendance;
    for (QString& subject : day.subjects)
        fields[i++] = &subject;
    for (QString& content : day.contents)
        fields[i++] = &content;
    fields[i++] = &day.impressions;
    for (QString& colour : day.colourTexts)
        fields[i++] = &colour;
    fields[i++] = &day.weather;
    return fields;
}

} // namespace

DayColumns::DayColumns(const QStringList& header)
{
    for (const QString& name : DayRecord::allColumns())
        m_columns.append(int(header.indexOf(name)));
}

Day DayColumns::dayOf(const QStringList& record) const
{
    Day day;
    const auto fields = fieldsInColumnOrder(day);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (m_columns[qsizetype(i)] >= 0)
            *fields[i] = record.value(m_columns[qsizetype(i)]);
    }
    return day;
}

QList<std::pair<int, QString>> DayColumns::fieldsOf(const Day& day) const
{
    Day copy = day;
    const auto fields = fieldsInColumnOrder(copy);
    QList<std::pair<int, QString>> out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (m_columns[qsizetype(i)] >= 0)
            out.append({m_columns[qsizetype(i)], *fields[i]});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}
