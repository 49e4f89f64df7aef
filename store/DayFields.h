// Every field of a day, described once: its column in the diary sheet, where
// a Day keeps it, the name the pupil knows its box by (the screen reader, the
// messages and the printed page use it), its place on the page and the colour
// field its text is drawn in. Adding a field is a row of the table, its box
// on the page and its tests.
#pragma once

#include <QList>
#include <QString>

struct Day;

struct DayField {
    QString column;  // "時間3"
    QString boxName; // "3時間目の教科"
    int page = -1;   // its place among the page's text boxes, -1 for none
    int colour = -1; // the colour field (Day::ColourField) its text is drawn in, -1 for none
    bool isColour = false;
    QString& (*in)(Day&, int);
    int index = 0; // of the period or colour field

    QString& of(Day& day) const { return in(day, index); }
    const QString& of(const Day& day) const { return in(const_cast<Day&>(day), index); }
};

namespace DayFields {

// All 27 fields, in the order a new diary lays out its columns.
const QList<DayField>& all();
// The field of a column name, or null.
const DayField* named(const QString& column);
// The page's text boxes in their order on the page.
const QList<const DayField*>& textBoxes();

} // namespace DayFields
