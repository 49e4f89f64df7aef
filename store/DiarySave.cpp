// Saving: the jobs that write the pending edits, on the worker thread or on
// this one, and what their outcomes do to the diary.
#include "store/Diary.h"

#include "store/DayRecord.h"
#include "store/FileHolder.h"

#include <future>

using workbook::ErrorKind;

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
        m_fileTable.setField(w.record, w.column, w.text);
        const auto it = m_pending.find(key);
        if (it != m_pending.end() && *it == w.text)
            m_pending.erase(it);
    }
}
