#include "store/Day.h"

#include "store/DayRecord.h"

#include <algorithm>
#include <array>

std::optional<ColourValue> Day::colour(int field) const { return ColourValue::fromText(colourTexts.at(size_t(field))); }

void Day::setColour(int field, ColourValue colour) { colourTexts.at(size_t(field)) = colour.toText(); }

QList<std::pair<QString, QString>> Day::boxTexts() const
{
    // A search asks this of every day at every keystroke: the names are made once.
    static const QStringList columns = [] {
        QStringList names{DayRecord::plan(), DayRecord::attendance()};
        for (int k = 0; k < Periods; ++k)
            names << DayRecord::subject(k) << DayRecord::content(k);
        return names << DayRecord::impressions();
    }();
    QList<std::pair<QString, QString>> boxes;
    boxes.reserve(columns.size());
    const auto add = [&](const QString& text) { boxes.append({columns[boxes.size()], text}); };
    add(plan);
    add(attendance);
    for (size_t k = 0; k < size_t(Periods); ++k) {
        add(subjects[k]);
        add(contents[k]);
    }
    add(impressions);
    return boxes;
}

namespace {

constexpr size_t FieldCount = 27;

// The fields of a day in the order of DayRecord::allColumns().
template <class D>
auto fieldsInColumnOrder(D& day)
{
    std::array<decltype(&day.plan), FieldCount> fields{};
    size_t i = 0;
    fields[i++] = &day.plan;
    fields[i++] = &day.attendance;
    for (auto& subject : day.subjects)
        fields[i++] = &subject;
    for (auto& content : day.contents)
        fields[i++] = &content;
    fields[i++] = &day.impressions;
    for (auto& colour : day.colourTexts)
        fields[i++] = &colour;
    fields[i++] = &day.weather;
    return fields;
}

} // namespace

QString Day::text(const QString& column) const
{
    const qsizetype i = DayRecord::allColumns().indexOf(column);
    return i < 0 ? QString() : *fieldsInColumnOrder(*this)[size_t(i)];
}

void Day::setText(const QString& column, const QString& text)
{
    const qsizetype i = DayRecord::allColumns().indexOf(column);
    if (i >= 0)
        *fieldsInColumnOrder(*this)[size_t(i)] = text;
}

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
    const auto fields = fieldsInColumnOrder(day);
    QList<std::pair<int, QString>> out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (m_columns[qsizetype(i)] >= 0)
            out.append({m_columns[qsizetype(i)], *fields[i]});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}
