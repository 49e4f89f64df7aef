// The diary: the workbook, the days of the year in it and the edits not yet
// written. Every day reads as the diary would write it, the edits of the page
// on screen included, so a search or an export needs nothing of the windows:
//     diary.forEachDay([](const QDate& date, const Day& day) { ... });
// Dates and records convert in DayIndex.h (record 1 is 2002-04-01).
#pragma once

#include "platform/workbook/Workbook.h"
#include "store/Day.h"
#include "store/DayIndex.h"

#include <QDate>
#include <QMap>
#include <QPair>
#include <QSet>

#include <functional>
#include <memory>

class PageBinding;

class Diary {
public:
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
    QDate currentDate() const { return DayIndex::dateOf(m_current); }
    // Takes the page's edits as pending, then makes the date current and shows it.
    void showDate(const QDate& date);

    // The day of a date of the diary's year; an empty day outside it.
    Day day(const QDate& date);
    Day currentDay() { return day(currentDate()); }
    // Every day of the year in date order.
    void forEachDay(const std::function<void(const QDate&, const Day&)>& visit);
    // Replaces the fields of a day that differ; they reach the file with the
    // next write, as edits on screen do. The page shows them at once.
    void setDay(const QDate& date, const Day& day);

    // Makes the current day's colour fields that the file holds as text
    // ("255" typed elsewhere) pending, so that they are written as numbers.
    void storeNumbersAsNumbers();
    bool hasPendingEdits() const { return !m_pending.isEmpty(); }
    // Takes the page's edits as pending and writes every pending field.
    // True when nothing is left unwritten; a failure keeps them pending.
    bool write(workbook::Error* error);
    // The same write on a worker thread, so that saving a large workbook never
    // holds up typing; false when nothing was pending. Until finishWrite()
    // takes its result the workbook belongs to the worker; the days do not.
    bool startWrite();
    bool isWriting() const;
    // Waits for the write startWrite() began and takes its result: true when
    // none ran or it succeeded. Fields edited again meanwhile stay pending.
    bool finishWrite(workbook::Error* error);
    // The first pending field too long for a cell: its date and column name.
    bool firstTooLongPending(QDate* date, QString* column) const;
    // What the last write found on disk (another program's changes kept, or a
    // vanished file written anew); reading it clears it.
    workbook::SaveNote takeSaveNote() { return std::exchange(m_saveNote, workbook::SaveNote::None); }

private:
    int rowOf(const QDate& date) const; // 0-based sheet row, -1 outside the year
    void collectPage();
    bool storeField(int row, int column, const QString& text);
    void showCurrent();
    QList<workbook::FieldWrite> pendingWrites() const;
    void written(const QList<workbook::FieldWrite>& writes);

    QString m_path;
    std::unique_ptr<workbook::Workbook> m_book;
    workbook::RecordTable m_table;
    PageBinding* m_page = nullptr;
    int m_current = 1; // record of the day on screen
    // (row, column) -> text not yet in the file; m_table already holds it.
    QMap<QPair<int, int>, QString> m_pending;
    // Colour fields stored as text cells: written back as numbers when their day is left.
    QSet<QPair<int, int>> m_numbersAsText;
    workbook::SaveNote m_saveNote = workbook::SaveNote::None;
    struct BackgroundWrite;
    std::unique_ptr<BackgroundWrite> m_background;
};
