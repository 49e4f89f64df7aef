#include "store/Diary.h"

#include "store/DayRecord.h"
#include "store/DiaryStore.h"
#include "store/PageBinding.h"

#include <QFileInfo>

#include <future>

namespace {

bool isNumeric(const workbook::RecordTable& table, int column)
{
    return DayRecord::colourColumns().contains(table.columnNames.value(column));
}

} // namespace

struct Diary::BackgroundWrite {
    QList<workbook::FieldWrite> writes;
    std::future<std::pair<bool, workbook::Error>> result;
};

Diary::Diary() = default;
Diary::~Diary() { finishWrite(nullptr); }

bool Diary::open(const QString& path, QString* message)
{
    m_path = path;
    workbook::Error error;
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink() && !DiaryStore::createWorkbook(path, &error)) {
        *message = DiaryStore::createErrorMessage(path, error);
        return false;
    }
    auto book = workbook::Workbook::open(path, &error);
    workbook::RecordTable table;
    if (!book || !book->readTable(DayRecord::SheetName, &table, &error)) {
        *message = DiaryStore::openErrorMessage(path, error);
        return false;
    }
    const QString problem = DiaryStore::problemWith(table);
    if (!problem.isEmpty()) {
        *message = QStringLiteral("日記ファイル「%1」は日記として使えません。\n%2\n\nファイルは変更していません。")
                       .arg(path, problem);
        return false;
    }
    // The page's text boxes keep line breaks as LF; a field written elsewhere
    // with CR LF must not look edited just because a box normalised it.
    for (QStringList& record : table.records) {
        for (QString& field : record)
            field = workbook::normaliseLineBreaks(field);
    }
    m_book = std::move(book);
    m_table = std::move(table);
    m_pending.clear();
    m_numbersAsText.clear();
    for (const auto& cell : std::as_const(m_table.numbersAsText)) {
        if (isNumeric(m_table, cell.second))
            m_numbersAsText.insert(cell);
    }
    m_current = 1;
    showCurrent();
    return true;
}

int Diary::rowOf(const QDate& date) const
{
    const int record = DayIndex::of(date);
    return isOpen() && record >= 1 && record <= DayRecord::DaysInYear ? record - 1 : -1;
}

void Diary::collectPage()
{
    const int row = m_current - 1;
    if (!m_page || !isOpen())
        return;
    Day onPage = DayColumns(m_table.columnNames).dayOf(m_table.records.value(row));
    m_page->readPage(onPage);
    for (const auto& [column, text] : DayColumns(m_table.columnNames).fieldsOf(onPage))
        storeField(row, column, text);
}

bool Diary::storeField(int row, int column, const QString& text)
{
    if (row < 0 || row >= m_table.recordCount() || column < 0 || text == m_table.field(row, column))
        return false;
    QStringList& record = m_table.records[row];
    while (record.size() <= column)
        record.append(QString());
    record[column] = text;
    m_pending.insert({row, column}, text);
    return true;
}

void Diary::showCurrent()
{
    if (m_page)
        m_page->showDay(DayColumns(m_table.columnNames).dayOf(m_table.records.value(m_current - 1)));
}

void Diary::showDate(const QDate& date)
{
    if (!isOpen())
        return;
    collectPage();
    m_current = std::clamp(DayIndex::of(date), 1, DayRecord::DaysInYear);
    showCurrent();
}

Day Diary::day(const QDate& date)
{
    const int row = rowOf(date);
    if (row < 0)
        return {};
    collectPage();
    return DayColumns(m_table.columnNames).dayOf(m_table.records.value(row));
}

void Diary::forEachDay(const std::function<void(const QDate&, const Day&)>& visit)
{
    if (!isOpen())
        return;
    collectPage();
    const DayColumns columns(m_table.columnNames);
    for (int record = 1; record <= DayRecord::DaysInYear; ++record)
        visit(DayIndex::dateOf(record), columns.dayOf(m_table.records.value(record - 1)));
}

void Diary::setDay(const QDate& date, const Day& day)
{
    const int row = rowOf(date);
    if (row < 0)
        return;
    collectPage();
    bool changed = false;
    for (const auto& [column, text] : DayColumns(m_table.columnNames).fieldsOf(day))
        changed |= storeField(row, column, text);
    if (changed && row == m_current - 1)
        showCurrent();
}

void Diary::storeNumbersAsNumbers()
{
    const int row = m_current - 1;
    for (auto it = m_numbersAsText.begin(); it != m_numbersAsText.end();) {
        if (it->first == row) {
            if (!m_pending.contains(*it))
                m_pending.insert(*it, m_table.field(it->first, it->second));
            it = m_numbersAsText.erase(it);
        } else {
            ++it;
        }
    }
}

bool Diary::write(workbook::Error* error)
{
    if (!isOpen())
        return true;
    finishWrite(nullptr); // what a failed worker write left pending is written here
    collectPage();
    if (m_pending.isEmpty())
        return true;
    const QList<workbook::FieldWrite> writes = pendingWrites();
    if (!m_book->writeFields(DayRecord::SheetName, writes, error))
        return false;
    written(writes);
    return true;
}

bool Diary::startWrite()
{
    if (!isOpen() || isWriting())
        return false;
    finishWrite(nullptr);
    collectPage();
    if (m_pending.isEmpty())
        return false;
    m_background = std::make_unique<BackgroundWrite>();
    m_background->writes = pendingWrites();
    m_background->result = std::async(std::launch::async, [book = m_book.get(), writes = m_background->writes] {
        workbook::Error error;
        const bool ok = book->writeFields(DayRecord::SheetName, writes, &error);
        return std::pair{ok, error};
    });
    return true;
}

bool Diary::isWriting() const
{
    return m_background && m_background->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

bool Diary::finishWrite(workbook::Error* error)
{
    if (!m_background)
        return true;
    const auto [ok, failure] = m_background->result.get();
    const std::unique_ptr<BackgroundWrite> done = std::move(m_background);
    if (ok)
        written(done->writes);
    else if (error)
        *error = failure;
    return ok;
}

QList<workbook::FieldWrite> Diary::pendingWrites() const
{
    QList<workbook::FieldWrite> writes;
    writes.reserve(m_pending.size());
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        writes.append({it.key().first, it.key().second, it.value(), isNumeric(m_table, it.key().second)});
    return writes;
}

void Diary::written(const QList<workbook::FieldWrite>& writes)
{
    if (m_book->lastSaveNote() != workbook::SaveNote::None)
        m_saveNote = m_book->lastSaveNote();
    for (const workbook::FieldWrite& w : writes) {
        const auto it = m_pending.find({w.record, w.column});
        if (it != m_pending.end() && *it == w.text)
            m_pending.erase(it);
    }
}

bool Diary::firstTooLongPending(QDate* date, QString* column) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value().size() > workbook::MaxCellChars) {
            *date = DayIndex::dateOf(it.key().first + 1);
            *column = m_table.columnNames.value(it.key().second);
            return true;
        }
    }
    return false;
}
