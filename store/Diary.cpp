#include "store/Diary.h"

#include "store/DayRecord.h"
#include "store/DiaryStore.h"
#include "store/FileHolder.h"
#include "store/PageBinding.h"

#include <QFileInfo>

#include <future>

namespace {

using workbook::ErrorKind;

bool isNumeric(const workbook::RecordTable& table, int column)
{
    return DayRecord::isColourColumn(table.columnNames.value(column));
}

void setField(workbook::RecordTable& table, int record, int column, const QString& text)
{
    if (record < 0 || record >= table.recordCount() || column < 0)
        return;
    QStringList& fields = table.records[record];
    while (fields.size() <= column)
        fields.append(QString());
    fields[column] = text;
}

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

// What one write or look at the file did, on whichever thread ran it.
struct Diary::Outcome {
    bool ok = true;
    QString holder; // another program held the file: nothing was written
    workbook::Error error;
    QList<workbook::FieldWrite> writes;
    workbook::SaveNote note = workbook::SaveNote::None;
    // The file had changed: read again, nothing written.
    std::unique_ptr<workbook::Workbook> reread;
    workbook::RecordTable table;
};

struct Diary::BackgroundWrite {
    std::future<Outcome> result;
};

Diary::Diary()
    : m_writer([](workbook::Workbook& book, const QList<workbook::FieldWrite>& writes, workbook::Error* error) {
        return book.writeFields(DayRecord::SheetName, writes, error);
    })
{
}

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
    normaliseLineBreaks(table);
    m_book = std::move(book);
    m_table = std::move(table);
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

int Diary::recordOf(const QDate& date) const { return isOpen() ? DiaryYear.recordOf(date) : -1; }

void Diary::collectPage()
{
    const int record = m_current;
    if (!m_page || !isOpen())
        return;
    const DayColumns columns(m_table.columnNames);
    Day onPage = columns.dayOf(m_table.records.value(record));
    m_page->readPage(onPage);
    for (const auto& [column, text] : columns.fieldsOf(onPage))
        storeField(record, column, text);
}

bool Diary::storeField(int record, int column, const QString& text)
{
    if (!isDiaryRecord({record, column}) || column < 0 || text == m_table.field(record, column))
        return false;
    setField(m_table, record, column, text);
    m_pending.insert({record, column}, text);
    return true;
}

void Diary::showCurrent()
{
    if (m_page)
        m_page->showDay(DayColumns(m_table.columnNames).dayOf(m_table.records.value(m_current)));
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
    return DayColumns(m_table.columnNames).dayOf(m_table.records.value(record));
}

void Diary::forEachDay(const std::function<void(const QDate&, const Day&)>& visit)
{
    if (!isOpen())
        return;
    collectPage();
    const DayColumns columns(m_table.columnNames);
    for (int record = 0; record < DiaryYear.days; ++record)
        visit(DiaryYear.dateOf(record), columns.dayOf(m_table.records.value(record)));
}

QDate Diary::lastTimetableDay(const QDate& date)
{
    if (!isOpen())
        return {};
    collectPage();
    const DayColumns columns(m_table.columnNames);
    for (QDate earlier = date.addDays(-7); earlier >= DiaryYear.first; earlier = earlier.addDays(-7)) {
        const Day day = columns.dayOf(m_table.records.value(recordOf(earlier)));
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
    for (const auto& [column, text] : DayColumns(m_table.columnNames).fieldsOf(day))
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

bool Diary::canStart(QString* holder, bool despiteHolder)
{
    if (!isOpen() || isWriting())
        return false;
    collectPage();
    if (m_pending.isEmpty() && !m_checkFile)
        return false;
    *holder = despiteHolder ? QString() : FileHolder::of(m_path);
    return true;
}

std::function<Diary::Outcome()> Diary::nextJob(const QString& holder)
{
    m_checkFile = false;
    // Written while another program holds the file, the text would be dropped
    // by that program's next save: the file is only looked at.
    QList<workbook::FieldWrite> writes;
    if (holder.isEmpty()) {
        writes.reserve(m_pending.size());
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
            writes.append({it.key().first, it.key().second, it.value(), isNumeric(m_table, it.key().second)});
    }
    // A vanished file is made again even with nothing pending: the diary holds the whole year.
    const QList<workbook::FieldWrite> anew =
        !holder.isEmpty()  ? writes
        : writes.isEmpty() ? QList<workbook::FieldWrite>{{-1, 0, m_table.columnNames.value(0), false}}
                           : writes;
    return [book = m_book.get(), writes, anew, writer = m_writer, holder] {
        Outcome outcome;
        outcome.holder = holder;
        try {
            if (book->changedOnDisk()) {
                workbook::Error error;
                auto fresh = workbook::Workbook::open(book->path(), &error);
                if (fresh && fresh->readTable(DayRecord::SheetName, &outcome.table, &error)) {
                    outcome.reread = std::move(fresh);
                    return outcome;
                }
                if (error.kind != ErrorKind::Missing) {
                    outcome.ok = false;
                    outcome.error = error;
                    return outcome;
                }
                outcome.writes = anew;
            } else {
                outcome.writes = writes;
            }
            if (!outcome.writes.isEmpty()) {
                outcome.ok = writer(*book, outcome.writes, &outcome.error);
                outcome.note = book->lastSaveNote();
            }
        } catch (const std::exception& e) {
            // Out of memory, say: a failed save like any other, tried again later.
            outcome.ok = false;
            outcome.error = {ErrorKind::WriteFailed, QString::fromLocal8Bit(e.what())};
        } catch (...) {
            outcome.ok = false;
            outcome.error = {ErrorKind::WriteFailed, QString()};
        }
        if (!outcome.ok)
            outcome.writes.clear();
        return outcome;
    };
}

bool Diary::write(SaveProblem* problem, bool despiteHolder)
{
    if (!isOpen())
        return true;
    finishWrite(nullptr); // what a failed worker write left pending is written here
    SaveProblem local;
    SaveProblem* p = problem ? problem : &local;
    // A file read in anew leaves edits to write; a third change on disk in a row is left for later.
    for (int round = 0; round < 3; ++round) {
        QString holder;
        if (!canStart(&holder, despiteHolder))
            return m_pending.isEmpty();
        if (!take(nextJob(holder)(), p))
            return false;
    }
    return m_pending.isEmpty();
}

bool Diary::startWrite()
{
    QString holder;
    if (!canStart(&holder))
        return false;
    auto job = nextJob(holder);
    m_running = std::make_unique<BackgroundWrite>();
    if (m_background) {
        try {
            m_running->result = std::async(std::launch::async, job);
            return true;
        } catch (const std::system_error&) {
            // No thread to be had: the save runs here instead.
        }
    }
    std::promise<Outcome> done;
    done.set_value(job());
    m_running->result = done.get_future();
    return true;
}

bool Diary::isWriting() const
{
    return m_running && m_running->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

bool Diary::finishWrite(SaveProblem* problem)
{
    if (!m_running)
        return true;
    Outcome outcome = m_running->result.get();
    m_running.reset();
    SaveProblem ignored;
    return take(std::move(outcome), problem ? problem : &ignored);
}

bool Diary::take(Outcome outcome, SaveProblem* problem)
{
    if (!outcome.ok) {
        problem->error = outcome.error;
        return false;
    }
    if (outcome.reread && !takeInFile(std::move(outcome.reread), std::move(outcome.table), problem))
        return false;
    if (!outcome.holder.isEmpty() && !m_pending.isEmpty()) {
        problem->holder = outcome.holder;
        return false;
    }
    written(outcome.writes, outcome.note);
    if (outcome.note == workbook::SaveNote::MergedOtherChanges) {
        // Another program saved between the look and the write: its changes are in the file now.
        workbook::RecordTable merged;
        if (m_book->readTable(DayRecord::SheetName, &merged, nullptr))
            return takeInFile(nullptr, std::move(merged), problem);
    }
    return true;
}

void Diary::written(const QList<workbook::FieldWrite>& writes, workbook::SaveNote note)
{
    if (note == workbook::SaveNote::Recreated)
        m_report.recreated = true;
    for (const workbook::FieldWrite& w : writes) {
        const Key key{w.record, w.column};
        if (!isDiaryRecord(key))
            continue;
        Written& mine = m_written[key];
        const QString prior = m_fileTable.field(w.record, w.column);
        if (!mine.priors.contains(prior))
            mine.priors.append(prior);
        mine.text = w.text;
        setField(m_fileTable, w.record, w.column, w.text);
        const auto it = m_pending.find(key);
        if (it != m_pending.end() && *it == w.text)
            m_pending.erase(it);
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
            setField(view, now.first, now.second, both);
            if (both != theirs)
                pending.insert(now, both);
            if (wrote)
                written.insert(now, history);
            continue;
        }
        setField(view, now.first, now.second, mine);
        pending.insert(now, mine);
        if (wrote)
            written.insert(now, history);
    }
    if (book)
        m_book = std::move(book);
    m_fileTable = disk;
    m_table = std::move(view);
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
