#include "store/DayRecord.h"

#include "store/DayFields.h"

namespace DayRecord {

QString boxName(const QString& column)
{
    const DayField* field = DayFields::named(column);
    return field ? field->boxName : column;
}

QStringList colourColumns()
{
    QStringList columns;
    for (const DayField& field : DayFields::all()) {
        if (field.isColour)
            columns << field.column;
    }
    return columns;
}

bool isColourColumn(const QString& column)
{
    const DayField* field = DayFields::named(column);
    return field && field->isColour;
}

QStringList allColumns()
{
    QStringList columns;
    for (const DayField& field : DayFields::all())
        columns << field.column;
    return columns;
}

} // namespace DayRecord
