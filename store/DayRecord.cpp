#include "store/DayRecord.h"

namespace DayRecord {

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
