// The diary: the workbook, the days of the year in it and the edits not yet
// written. Every day reads as the diary would write it, the edits of the page
// on screen included, so a search or an export needs nothing of the windows:
//     diary.forEachDay([](const QDate& date, const Day& day) { ... });
// Dates and records convert through DiaryYear (SchoolYear.h): record 0 is
// the year's first day.
//
// Another program may save the file while the diary is open. Every save first
// looks whether the file still holds what the diary last read or wrote; when
// not, it reads the file again and takes in the other program's changes
// instead of writing. The diary remembers what it wrote, so a save of the
// other program that dropped the diary's text is undone, and a box changed on
// both sides keeps both texts.
#pragma once

#include "platform/workbook/Workbook.h"
#include "store/Day.h"
#include "store/SchoolYear.h"

#include <QDate>
#include <QMap>
#include <QPair>
#include <QSet>

#include <functional>
#include <memory>

class PageBinding;

// Why a save did not happen.
struct SaveProblem {
    workbook::Error error;
    QString holder; // the program that has the file open: nothing was written
};

// What a save or a read of the file found besides the diary's own text.
struct SaveReport {
    bool recreated = false;    // the file had vanished: written anew from the diary
    bool otherChanges = false; // another program's changes were read in
    // Boxes (day, column) changed both here and by another program: both texts kept.
    QList<std::pair<QDate, QString>> bothChanged;
    // Boxes whose text another program's save had dropped: written again.
    QList<std::pair<QDate, QString>> restored;

    bool isEmpty() const { return !recreated && !otherChanges && bothChanged.isEmpty() && restored.isEmpty(); }
};

class Diary {
public:
    using Writer = std::function<bool(workbook::Workbook&, const QList<workbook::FieldWrite>&, workbook::Error*)>;

    Diary();
    ~Diary();

    // Opens the workbook, creating a missing one first, with the first day
    // current. A workbook the diary cannot use is refused untouched, with a
    // message for the user.
    bool open(const QString& path, QString* message);
    bool isOpen() const { return m_book != nullptr; }
    QString path() const { return m_path; }
    // Rows of the sheet: the year's 365 and any after them.
    int recordCount() const { return m_table.recordCount(); }

    // The page showing the current day; what it holds counts as that day's.
    void setPage(PageBinding* page) { m_page = page; }
    QDate currentDate() const { return DiaryYear.dateOf(m_current); }
    // Takes the page's edits as pending, then makes the date current and shows it.
    void showDate(const QDate& date);

    // The day of a date of the diary's year; an empty day outside it.
    Day day(const QDate& date);
    Day currentDay() { return day(currentDate()); }
    // Every day of the year in date order.
    void forEachDay(const std::function<void(const QDate&, const Day&)>& visit);
    // The nearest earlier day of the date's weekday whose subjects hold any
    // text: the week's timetable, looked up across the year so that a holiday
    // week is skipped. Invalid when there is none.
    QDate lastTimetableDay(const QDate& date);
    // Replaces the fields of a day that differ; they reach the file with the
    // next write, as edits on screen do. The page shows them at once.
    void setDay(const QDate& date, const Day& day);

    // Makes the current day's colour fields that the file holds as text
    // ("255" typed elsewhere) pending, so that they are written as numbers.
    void storeNumbersAsNumbers();
    bool hasPendingEdits() const { return !m_pending.isEmpty(); }
    // The file may have changed on disk: the next write looks even when
    // nothing is pending.
    void fileMayHaveChanged() { m_checkFile = true; }

    // Takes the page's edits as pending and writes every pending field, after
    // reading in what another program saved meanwhile. True when nothing is
    // left unwritten; a failure keeps them pending. despiteHolder writes even
    // while another program holds the file (the pupil chose to, at the close).
    bool write(SaveProblem* problem, bool despiteHolder = false);
    // The same on a worker thread, so that saving a large workbook never holds
    // up typing; false when nothing was due. Until finishWrite() takes its
    // result the workbook belongs to the worker; the days do not.
    bool startWrite();
    bool isWriting() const;
    // Waits for the write startWrite() began and takes its result: true when
    // none ran or it succeeded. A worker that found the file changed wrote
    // nothing: the changes are taken in and what is pending stays pending.
    // While another program holds the file nothing is written and
    // problem->holder names it.
    bool finishWrite(SaveProblem* problem);
    // The first pending field too long for a cell: its date and column name.
    bool firstTooLongPending(QDate* date, QString* column) const;
    // What the saves found since the last call.
    SaveReport takeReport() { return std::exchange(m_report, SaveReport()); }

    // Test seams: the engine's write replaced, and every write run on the
    // calling thread.
    void setWriterForTesting(Writer writer) { m_writer = std::move(writer); }
    void setBackgroundForTesting(bool on) { m_background = on; }

private:
    using Key = QPair<int, int>; // (record, sheet column)
    struct Written {
        QStringList priors; // what the file held before each of the diary's writes
        QString text;       // what the diary wrote last
    };
    struct Outcome;

    bool isDiaryRecord(const Key& key) const { return key.first >= 0 && key.first < m_table.recordCount(); }
    // A colour field, kept in the file as a number.
    static bool isNumeric(const workbook::RecordTable& table, int column);
    int recordOf(const QDate& date) const; // -1 outside the year or with no diary open
    void collectPage();
    bool storeField(int record, int column, const QString& text);
    void showCurrent();
    bool canStart(QString* holder, bool despiteHolder = false);
    std::function<Outcome()> nextJob(const QString& holder);
    bool take(Outcome outcome, SaveProblem* problem);
    void written(const QList<workbook::FieldWrite>& writes, workbook::SaveNote note);
    bool takeInFile(std::unique_ptr<workbook::Workbook> book, workbook::RecordTable disk, SaveProblem* problem);

    QString m_path;
    std::unique_ptr<workbook::Workbook> m_book;
    workbook::RecordTable m_table;     // the file with the pending edits
    workbook::RecordTable m_fileTable; // the file as the diary last read or wrote it
    DayColumns m_columns{{}};          // where m_table keeps each field of a day
    PageBinding* m_page = nullptr;
    int m_current = 0;            // record of the day on screen
    QMap<Key, QString> m_pending; // not yet in the file; m_table already holds it
    QMap<Key, Written> m_written; // fields the diary wrote since it opened the file
    // Colour fields stored as text cells: written back as numbers when their day is left.
    QSet<Key> m_numbersAsText;
    SaveReport m_report;
    bool m_checkFile = false;
    Writer m_writer;
    bool m_background = true;
    struct BackgroundWrite;
    std::unique_ptr<BackgroundWrite> m_running;
};
