// One day of the diary as a value: what the page shows and the record holds.
#pragma once

#include "platform/ColourValue.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct Day {
    static constexpr int Periods = 7;
    static constexpr int Colours = Periods + 2; // plan, the seven periods, impressions
    // The colour fields, by the boxes whose text they colour.
    enum ColourField { PlanColour = 0, ImpressionsColour = Periods + 1 };
    static constexpr int periodColour(int period) { return 1 + period; } // period 0 ... 6

    QString plan;
    QString attendance;
    std::array<QString, Periods> subjects;
    std::array<QString, Periods> contents;
    QString impressions;
    // The colour fields as stored; a field that holds no colour number reads as none.
    std::array<QString, Colours> colourTexts;
    QString weather; // the weather icon's path, or empty

    // The field of a column by its name (DayFields.h); empty for another name.
    QString text(const QString& column) const;
    void setText(const QString& column, const QString& text);

    // Colour fields by ColourField.
    std::optional<ColourValue> colour(int field) const;
    void setColour(int field, ColourValue colour);

    // The texts of the page's boxes with the column each comes from, in the
    // order the page shows them (plan, attendance, subject and content of each
    // period, impressions): what a search of the year looks through.
    QList<std::pair<QString, QString>> boxTexts() const;

    friend bool operator==(const Day&, const Day&) = default;
};

// The day's record in the diary sheet: fields by column name.
class DayColumns {
public:
    // The sheet column of each of the day's fields, from the header row;
    // -1 where a column is absent.
    explicit DayColumns(const QStringList& header);

    Day dayOf(const QStringList& record) const;
    // (column, text) for every field of the day, in sheet column order.
    QList<std::pair<int, QString>> fieldsOf(const Day& day) const;

private:
    QList<int> m_columns; // by position in DayFields::all()
};
