#include "store/Diary.h"

#include "store/DayRecord.h"
#include "store/DiaryStore.h"
#include "store/PageBinding.h"

#include <QFileInfo>

namespace {

using workbook::ErrorKind;

// The page's text boxes keep line breaks as LF; a field written elsewhere
// with CR LF must not look edited just because a box normalised it.
void normaliseLineBreaks(workbook::RecordTable& table)
{
    for (QStringList& record : table.records) {
        for (QString& field : record)
            field = workbook::normaliseLineBreaks(field);
    }
}

// A box changed here and by another program: the diary's text first, then the other's.
QString bothTexts(const QString& mine, const QString& theirs)
{
    if (mine.isEmpty())
        return theirs;
    return mine + QStringLiteral("\n――― ほかのプログラムで保存された内容 ―――\n") + theirs;
}

} // namespace

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
    normaliseLineBreaks(table);
    m_book = std::move(book);
    m_table = std::move(table);
    m_columns = DayColumns(m_table.columnNames);
    m_fileTable = m_table;
    m_pending.clear();
    m_written.clear();
    m_numbersAsText.clear();
    for (const auto& cell : std::as_const(m_table.numbersAsText)) {
        if (isNumeric(m_table, cell.second))
            m_numbersAsText.insert(cell);
    }
    m_current = 0;
    showCurrent();
    return true;
}

bool Diary::isNumeric(const workbook::RecordTable& table, int column)
{
    return DayRecord::isColourColumn(table.columnNames.value(column));
}

int Diary::recordOf(const QDate& date) const { return isOpen() ? DiaryYear.recordOf(date) : -1; }

void Diary::collectPage()
{
    const int record = m_current;
    if (!m_page || !isOpen())
        return;
    Day onPage = m_columns.dayOf(m_table.records.value(record));
    m_page->readPage(onPage);
    for (const auto& [column, text] : m_columns.fieldsOf(onPage))
        storeField(record, column, text);
}

bool Diary::storeField(int record, int column, const QString& text)
{
    if (!isDiaryRecord({record, column}) || column < 0 || text == m_table.field(record, column))
        return false;
    m_table.setField(record, column, text);
    m_pending.insert({record, column}, text);
    return true;
}

void Diary::showCurrent()
{
    if (m_page)
        m_page->showDay(m_columns.dayOf(m_table.records.value(m_current)));
}

void Diary::showDate(const QDate& date)
{
    if (!isOpen())
        return;
    collectPage();
    m_current = std::clamp(int(DiaryYear.first.daysTo(date)), 0, DiaryYear.days - 1);
    showCurrent();
}

Day Diary::day(const QDate& date)
{
    const int record = recordOf(date);
    if (record < 0)
        return {};
    collectPage();
    return m_columns.dayOf(m_table.records.value(record));
}

void Diary::forEachDay(const std::function<void(const QDate&, const Day&)>& visit)
{
    if (!isOpen())
        return;
    collectPage();
    for (int record = 0; record < DiaryYear.days; ++record)
        visit(DiaryYear.dateOf(record), m_columns.dayOf(m_table.records.value(record)));
}

QDate Diary::lastTimetableDay(const QDate& date)
{
    if (!isOpen())
        return {};
    collectPage();
    for (QDate earlier = date.addDays(-7); earlier >= DiaryYear.first; earlier = earlier.addDays(-7)) {
        const Day day = m_columns.dayOf(m_table.records.value(recordOf(earlier)));
        if (std::any_of(day.subjects.cbegin(), day.subjects.cend(), [](const QString& s) { return !s.isEmpty(); }))
            return earlier;
    }
    return {};
}

void Diary::setDay(const QDate& date, const Day& day)
{
    const int record = recordOf(date);
    if (record < 0)
        return;
    collectPage();
    bool changed = false;
    for (const auto& [column, text] : m_columns.fieldsOf(day))
        changed |= storeField(record, column, text);
    if (changed && record == m_current)
        showCurrent();
}

void Diary::storeNumbersAsNumbers()
{
    const int record = m_current;
    for (auto it = m_numbersAsText.begin(); it != m_numbersAsText.end();) {
        if (it->first == record) {
            if (!m_pending.contains(*it))
                m_pending.insert(*it, m_table.field(it->first, it->second));
            it = m_numbersAsText.erase(it);
        } else {
            ++it;
        }
    }
}

bool Diary::takeInFile(std::unique_ptr<workbook::Workbook> book, workbook::RecordTable disk, SaveProblem* problem)
{
    const QString unusable = DiaryStore::problemWith(disk);
    if (!unusable.isEmpty()) {
        // Replaced by something that is no diary: nothing taken in, nothing overwritten.
        problem->error = {ErrorKind::Damaged, unusable};
        return false;
    }
    normaliseLineBreaks(disk);
    collectPage();
    workbook::RecordTable view = disk;
    QMap<Key, QString> pending;
    QMap<Key, Written> written;
    QSet<Key> own(m_pending.keyBegin(), m_pending.keyEnd());
    for (auto it = m_written.keyBegin(); it != m_written.keyEnd(); ++it)
        own.insert(*it);
    for (const Key& key : std::as_const(own)) {
        // Columns are found by name: the other program may have moved them.
        const Key now{key.first, int(disk.columnIndex(m_table.columnNames.value(key.second)))};
        const QString mine = m_table.field(key.first, key.second);
        const QString theirs = disk.field(now.first, now.second);
        const bool unsaved = m_pending.contains(key);
        const bool wrote = m_written.contains(key);
        Written history = m_written.value(key);
        const QDate date = DiaryYear.dateOf(key.first);
        const QString column = disk.columnNames.value(now.second);
        if (now.second < 0 || theirs == mine) {
            if (now.second >= 0 && wrote)
                written.insert(now, history);
            continue;
        }
        if (theirs == m_fileTable.field(key.first, key.second)) {
            // Not touched over there: the diary's edit stands.
        } else if (!unsaved && theirs.contains(mine)) {
            continue; // the other program built on what the diary had saved: its text now
        } else if (history.priors.contains(theirs) || mine.contains(theirs)) {
            // Its save carried an older copy of the box: the diary's text goes back.
            if (!unsaved)
                m_report.restored.append({date, column});
        } else {
            const QString both = bothTexts(mine, theirs);
            if (both != theirs) {
                m_report.bothChanged.append({date, column});
                history.priors.append(theirs);
            }
            view.setField(now.first, now.second, both);
            if (both != theirs)
                pending.insert(now, both);
            if (wrote)
                written.insert(now, history);
            continue;
        }
        view.setField(now.first, now.second, mine);
        pending.insert(now, mine);
        if (wrote)
            written.insert(now, history);
    }
    if (book)
        m_book = std::move(book);
    m_fileTable = disk;
    m_table = std::move(view);
    m_columns = DayColumns(m_table.columnNames);
    m_pending = std::move(pending);
    m_written = std::move(written);
    m_numbersAsText.clear();
    for (const auto& cell : std::as_const(disk.numbersAsText)) {
        if (isNumeric(disk, cell.second) && !m_pending.contains(cell))
            m_numbersAsText.insert(cell);
    }
    m_report.otherChanges = true;
    showCurrent();
    return true;
}

bool Diary::firstTooLongPending(QDate* date, QString* column) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value().size() > workbook::MaxCellChars) {
            *date = DiaryYear.dateOf(it.key().first);
            *column = m_table.columnNames.value(it.key().second);
            return true;
        }
    }
    return false;
}
