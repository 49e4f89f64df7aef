#include "store/Diary.h"

#include "platform/DataControl.h"
#include "store/DayIndex.h"
#include "store/DayRecord.h"

Diary::Diary(DataControl& data1)
    : m_data(data1)
{
}

QDate Diary::firstDate()
{
    return DayIndex::FirstDay;
}

QDate Diary::lastDate()
{
    return DayIndex::LastDay;
}

int Diary::recordOf(const QDate& date)
{
    return DayIndex::of(date);
}

QDate Diary::dateOf(int record)
{
    return DayIndex::dateOf(record);
}

bool Diary::isOpen() const
{
    return m_data.isOpen();
}

Day Diary::day(const QDate& date)
{
    const int record = recordOf(date);
    if (!m_data.isOpen() || record < 1 || record > DayRecord::DaysInYear)
        return {};
    m_data.collectEdits();
    return DayColumns(m_data.table().columnNames).dayOf(m_data.table().records.value(record - 1));
}

Day Diary::currentDay()
{
    return day(currentDate());
}

QDate Diary::currentDate() const
{
    return dateOf(m_data.currentRecord());
}

void Diary::forEachDay(const std::function<void(const QDate&, const Day&)>& visit)
{
    if (!m_data.isOpen())
        return;
    m_data.collectEdits();
    const workbook::RecordTable& table = m_data.table();
    const DayColumns columns(table.columnNames);
    for (int record = 1; record <= DayRecord::DaysInYear; ++record)
        visit(dateOf(record), columns.dayOf(table.records.value(record - 1)));
}

void Diary::setDay(const QDate& date, const Day& day)
{
    const int record = recordOf(date);
    if (!m_data.isOpen() || record < 1 || record > DayRecord::DaysInYear)
        return;
    m_data.collectEdits();
    for (const auto& [column, text] : DayColumns(m_data.table().columnNames).fieldsOf(day))
        m_data.setField(record - 1, column, text);
}
