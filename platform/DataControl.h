// The data control: a worksheet of a workbook presented as records with a
// cursor, and controls bound to the current record's fields by column name.
// Edits in bound controls stay pending until the cursor is about to move or
// the control closes; only then do they reach the file.
#pragma once

#include "platform/workbook/Workbook.h"

#include <QMap>
#include <QObject>
#include <QPair>
#include <QSet>

#include <memory>

class BoundField;

class DataControl : public QObject {
    Q_OBJECT
public:
    explicit DataControl(QObject* parent = nullptr);
    ~DataControl() override;

    void setDatabaseName(const QString& path) { m_path = path; }
    QString databaseName() const { return m_path; }
    void setRecordSource(const QString& sheetName) { m_sheet = sheetName; }
    QString recordSource() const { return m_sheet; }
    // Columns whose fields are stored as number cells.
    void setNumericColumns(const QStringList& columns) { m_numericColumns = columns; }

    void bind(BoundField* field, const QString& column);

    // Opens the workbook with record 1 current and fills the bound controls.
    bool open(workbook::Error* error);
    bool isOpen() const { return m_book != nullptr; }
    const workbook::RecordTable& table() const { return m_table; }

    int currentRecord() const { return m_current; } // 1-based
    int recordCount() const { return m_table.recordCount(); }

    // Both moves first write the pending edits of the current record (a failed
    // write is reported through saveFailed and the edits stay pending), then
    // make the new record current and fill the bound controls from it.
    void moveFirst();
    void move(int rows);

    // With writing behind, a move takes the edits as pending but leaves the
    // write to the caller's next writePending(), so that the new record can be
    // drawn before a large workbook is saved.
    void setWriteBehind(bool on) { m_writeBehind = on; }

    // Takes the bound controls' edits as pending and tries to write every
    // pending field. True when nothing is left unwritten.
    bool writePending(workbook::Error* error);
    // Takes the bound controls' edits as pending without writing them.
    void collectEdits() { takeEdits(); }
    // Makes the current record's numeric fields that the file holds as text
    // ("255" typed elsewhere) pending, so that they are written as numbers.
    void storeNumbersAsNumbers();
    // Sets one field (record 0-based) as a pending edit, and shows it when
    // its record is current. An unchanged text changes nothing.
    void setField(int record, int column, const QString& text);
    bool hasPendingEdits() const { return !m_pending.isEmpty(); }
    // The first pending field too long for a cell: its record (0-based) and
    // column name; false when there is none.
    bool firstTooLongPending(int* record, QString* column) const;
    // What the last write found on disk (another program's changes kept, or a
    // vanished file written anew); reading it clears it.
    workbook::SaveNote takeSaveNote() { return std::exchange(m_saveNote, workbook::SaveNote::None); }

    // Writes the pending edits; the caller decides what a failure means.
    bool close(workbook::Error* error);

signals:
    void saveFailed(const workbook::Error& error);

private:
    void takeEdits();
    bool storeField(int record, int column, const QString& text);
    void showCurrent();
    void moveTo(int record);

    QString m_path;
    QString m_sheet = QStringLiteral("Sheet1");
    QStringList m_numericColumns;
    QList<QPair<BoundField*, QString>> m_bindings;
    std::unique_ptr<workbook::Workbook> m_book;
    workbook::RecordTable m_table;
    QList<int> m_bindingColumns;        // sheet column of each binding
    // (record, column) -> text not yet in the file; m_table already holds it.
    QMap<QPair<int, int>, QString> m_pending;
    // Numeric fields stored as text cells: written back as numbers when their record is left.
    QSet<QPair<int, int>> m_numbersAsText;
    int m_current = 0;
    workbook::SaveNote m_saveNote = workbook::SaveNote::None;
    bool m_writeBehind = false;
};
