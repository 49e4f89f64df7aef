#include "store/Day.h"

#include "store/DayFields.h"

#include <algorithm>

std::optional<ColourValue> Day::colour(int field) const { return ColourValue::fromText(colourTexts.at(size_t(field))); }

void Day::setColour(int field, ColourValue colour) { colourTexts.at(size_t(field)) = colour.toText(); }

QList<std::pair<QString, QString>> Day::boxTexts() const
{
    QList<std::pair<QString, QString>> boxes;
    boxes.reserve(DayFields::textBoxes().size());
    for (const DayField* field : DayFields::textBoxes())
        boxes.append({field->column, field->of(*this)});
    return boxes;
}

QString Day::text(const QString& column) const
{
    const DayField* field = DayFields::named(column);
    return field ? field->of(*this) : QString();
}

void Day::setText(const QString& column, const QString& text)
{
    if (const DayField* field = DayFields::named(column))
        field->of(*this) = text;
}

DayColumns::DayColumns(const QStringList& header)
{
    for (const DayField& field : DayFields::all())
        m_columns.append(int(header.indexOf(field.column)));
}

Day DayColumns::dayOf(const QStringList& record) const
{
    Day day;
    const QList<DayField>& fields = DayFields::all();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (m_columns[i] >= 0)
            fields[i].of(day) = record.value(m_columns[i]);
    }
    return day;
}

QList<std::pair<int, QString>> DayColumns::fieldsOf(const Day& day) const
{
    const QList<DayField>& fields = DayFields::all();
    QList<std::pair<int, QString>> out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (m_columns[i] >= 0)
            out.append({m_columns[i], fields[i].of(day)});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}
