#include "store/PageSaver.h"

#include "store/Diary.h"
#include "store/DiaryStore.h"

PageSaver::PageSaver(Diary& diary, Clock clock, std::function<void()> collectPage, Notify notify)
    : m_diary(diary)
    , m_clock(std::move(clock))
    , m_collectPage(std::move(collectPage))
    , m_notify(std::move(notify))
{
}

void PageSaver::dueBy(qint64 when)
{
    if (!m_due || *m_due > when)
        m_due = when;
}

// The deadline runs from the first change: later keystrokes do not move it.
void PageSaver::pageChanged() { dueBy(m_clock() + DeadlineMs); }

void PageSaver::saveNow() { dueBy(m_clock()); }

void PageSaver::fileMayHaveChanged()
{
    m_diary.fileMayHaveChanged();
    dueBy(m_clock() + SettleMs);
}

int PageSaver::tick()
{
    const qint64 now = m_clock();
    if (m_writing) {
        if (m_diary.isWriting())
            return PollMs;
        finish(now);
    }
    // A file read in anew leaves its merge to write: at most once more in a row.
    for (int round = 0; round < 2 && m_due && now >= *m_due; ++round) {
        start();
        if (!m_writing || m_diary.isWriting())
            break;
        finish(now); // done already: a small file, or no worker
    }
    if (m_writing)
        return PollMs;
    return m_due ? int(std::max<qint64>(0, *m_due - now)) : -1;
}

void PageSaver::start()
{
    m_due.reset();
    m_collectPage();
    m_writing = m_diary.startWrite();
}

void PageSaver::finish(qint64 now)
{
    m_writing = false;
    SaveProblem problem;
    const bool ok = m_diary.finishWrite(&problem);
    const QString report = DiaryStore::reportMessage(m_diary.path(), m_diary.takeReport());
    if (!report.isEmpty())
        tell(report);
    if (!problem.holder.isEmpty()) {
        // Told once per holder; looked at again until the file is free.
        if (std::exchange(m_heldBy, problem.holder) != problem.holder)
            tell(DiaryStore::heldMessage(m_diary.path(), problem.holder));
        m_due = now + HeldMs;
        return;
    }
    if (!ok) {
        // Said once, not at every attempt; the text stays pending and is tried again.
        m_due = now + RetryMs;
        if (!std::exchange(m_failureTold, true))
            tell(DiaryStore::saveErrorMessage(m_diary, problem.error));
        return;
    }
    m_failureTold = false;
    if (!m_heldBy.isEmpty() && !m_diary.hasPendingEdits())
        tell(DiaryStore::freedMessage(m_diary.path(), std::exchange(m_heldBy, QString())));
    if (m_diary.hasPendingEdits())
        dueBy(now); // read in the file, or typed while the worker wrote
}

void PageSaver::tell(const QString& text)
{
    if (m_notify)
        m_notify(text);
}
