#include "platform/DataControl.h"

#include "platform/BoundField.h"

namespace {

// Bound text controls keep line breaks as LF; a field written elsewhere with
// CR LF must not look edited just because the control normalised it.
QString normalisedLineBreaks(QString text)
{
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return text;
}

} // namespace

DataControl::DataControl(QObject* parent)
    : QObject(parent)
{
}

DataControl::~DataControl() = default;

void DataControl::bind(BoundField* field, const QString& column)
{
    m_bindings.append({field, column});
}

bool DataControl::open(workbook::Error* error)
{
    m_book = workbook::Workbook::open(m_path, error);
    if (!m_book)
        return false;
    workbook::RecordTable table;
    if (!m_book->readTable(m_sheet, &table, error)) {
        m_book.reset();
        return false;
    }
    for (QStringList& record : table.records) {
        for (QString& field : record)
            field = normalisedLineBreaks(field);
    }
    m_table = std::move(table);
    m_bindingColumns.clear();
    for (const auto& binding : std::as_const(m_bindings))
        m_bindingColumns.append(m_table.columnIndex(binding.second));
    m_pending.clear();
    m_numbersAsText.clear();
    for (const auto& cell : std::as_const(m_table.numbersAsText)) {
        if (m_numericColumns.contains(m_table.columnNames.value(cell.second)))
            m_numbersAsText.insert(cell);
    }
    m_current = 1;
    showCurrent();
    return true;
}

void DataControl::takeEdits()
{
    if (!m_book || m_current < 1 || m_current > m_table.recordCount())
        return;
    const int record = m_current - 1;
    for (int i = 0; i < m_bindings.size(); ++i) {
        const int column = m_bindingColumns[i];
        if (column >= 0)
            storeField(record, column, m_bindings[i].first->boundText());
    }
}

bool DataControl::storeField(int record, int column, const QString& text)
{
    if (record < 0 || record >= m_table.recordCount() || column < 0 || text == m_table.field(record, column))
        return false;
    QStringList& row = m_table.records[record];
    while (row.size() <= column)
        row.append(QString());
    row[column] = text;
    m_pending.insert({record, column}, text);
    return true;
}

void DataControl::storeNumbersAsNumbers()
{
    const int record = m_current - 1;
    for (const int column : std::as_const(m_bindingColumns)) {
        if (column >= 0 && m_numbersAsText.remove({record, column}) && !m_pending.contains({record, column}))
            m_pending.insert({record, column}, m_table.field(record, column));
    }
}

void DataControl::setField(int record, int column, const QString& text)
{
    if (m_book && storeField(record, column, text) && record == m_current - 1)
        showCurrent();
}

bool DataControl::firstTooLongPending(int* record, QString* column) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value().size() > workbook::MaxCellChars) {
            *record = it.key().first;
            *column = m_table.columnNames.value(it.key().second);
            return true;
        }
    }
    return false;
}

bool DataControl::writePending(workbook::Error* error)
{
    takeEdits();
    if (m_pending.isEmpty())
        return true;
    QList<workbook::FieldWrite> writes;
    writes.reserve(m_pending.size());
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        const int column = it.key().second;
        const bool numeric = m_numericColumns.contains(m_table.columnNames.value(column));
        writes.append({it.key().first, column, it.value(), numeric});
    }
    if (!m_book->writeFields(m_sheet, writes, error))
        return false;
    if (m_book->lastSaveNote() != workbook::SaveNote::None)
        m_saveNote = m_book->lastSaveNote();
    m_pending.clear();
    return true;
}

void DataControl::moveTo(int record)
{
    if (!m_book)
        return;
    workbook::Error error;
    if (m_writeBehind)
        takeEdits();
    else if (!writePending(&error))
        emit saveFailed(error);
    m_current = std::clamp(record, 1, std::max(1, m_table.recordCount()));
    showCurrent();
}

void DataControl::moveFirst()
{
    moveTo(1);
}

void DataControl::move(int rows)
{
    moveTo(m_current + rows);
}

void DataControl::showCurrent()
{
    const int record = m_current - 1;
    for (int i = 0; i < m_bindings.size(); ++i) {
        const int column = m_bindingColumns[i];
        m_bindings[i].first->setBoundText(column < 0 ? QString() : m_table.field(record, column));
    }
}

bool DataControl::close(workbook::Error* error)
{
    if (!m_book)
        return true;
    return writePending(error);
}
