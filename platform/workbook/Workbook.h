// The workbook engine: an Excel 97-2003 (.xls) workbook seen as sheets of
// records with named fields. Nothing of the file format leaks past this header.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace workbook {

enum class ErrorKind {
    None,
    Missing,      // no file at the path
    Unreadable,   // the file exists but cannot be read (permissions, I/O)
    NotWorkbook,  // not a compound file, or one without a workbook stream (e.g. .xlsx, HTML, text)
    OldFormat,    // BIFF5 or older ("Book" stream, or an old BOF version)
    Encrypted,    // password-protected workbook
    Damaged,      // a workbook stream that ends early or holds impossible records
    NoSheet,      // no worksheet of that name (chart and macro sheets hold no table)
    FieldTooLong, // a text longer than a cell can hold (32,767 characters)
    WriteFailed,  // the new file could not be written or renamed into place
};

struct Error {
    ErrorKind kind = ErrorKind::None;
    QString detail; // technical detail for the message (OS error text, record offset, ...)

    explicit operator bool() const { return kind != ErrorKind::None; }
};

// The longest text a cell can hold.
inline constexpr int MaxCellChars = 32767;

// The largest workbook file read, 1 GiB: the format's stream positions are
// 32 bits, and a save holds the file several times in memory. A larger file
// is refused with Unreadable, a save that would make one with WriteFailed.
inline constexpr qint64 MaxFileBytes = qint64(1) << 30;

// A worksheet read as a table: row 0 of the sheet is the header, records follow.
// Cells read as text: numbers holding whole values up to 2^53 as plain integers
// ("255", "-2147483640"), other numbers in the shortest form that reads back to
// the same value, without an exponent where short ("0.1", "0.0001", "1e+20"), booleans as "TRUE"/"FALSE", error values
// as "#DIV/0!", "#N/A", ... (unknown error codes as empty text), formulas as their last calculated result. Records run
// to the last row holding some text; each record's list ends at its last non-empty cell, so trailing empty fields are
// simply absent.
class RecordTable {
public:
    QStringList columnNames;    // texts of the header row, by sheet column (empty where no cell)
    QList<QStringList> records; // records[r][c]: sheet row r + 1, sheet column c, as text
    // (record, column) of the text cells whose text is a decimal number ("255").
    QList<QPair<int, int>> numbersAsText;

    int columnIndex(const QString& name) const { return columnNames.indexOf(name); }
    int recordCount() const { return int(records.size()); }
    // Text of one field; an empty cell, or a column beyond the row's last cell, is
    // empty text. Record -1 is the header row.
    QString field(int record, int column) const;
    // Sets one field of an existing record, padding the record with empty
    // fields up to the column; anything else is ignored.
    void setField(int record, int column, const QString& text);
};

// One field to write: record and column are as in RecordTable (record 0 is sheet
// row 1); record -1 is the header row (sheet row 0), so a new workbook is
// createEmpty() plus one writeFields() holding the header names and the records.
// Text is stored with line breaks as LF. Empty text empties the cell (a cell with
// a format of its own stays as a blank cell keeping that format).
struct FieldWrite {
    int record = 0;
    int column = 0;
    QString text;
    bool numeric = false; // store as a number cell when the text is a decimal number
};

// The text with CR LF and lone CR turned into LF, as writeFields() stores it.
QString normaliseLineBreaks(QString text);

// What the last successful save found on disk besides the expected file.
enum class SaveNote {
    None,
    MergedOtherChanges, // another program had saved the file: its changes were kept
    Recreated,          // the file had vanished: it was written anew from memory
};

class Workbook {
public:
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Reads the whole file. Returns null and fills error when it cannot be used.
    static std::unique_ptr<Workbook> open(const QString& path, Error* error);

    // The same for a file's bytes already in memory. The workbook has no path:
    // writeFields() fails with WriteFailed, rewrite() works.
    static std::unique_ptr<Workbook> openBytes(const QByteArray& bytes, Error* error);

    // Writes a new workbook holding one empty worksheet with this name, replacing
    // any file at the path. WriteFailed also for a name Excel would not accept.
    static bool createEmpty(const QString& path, const QString& sheetName, Error* error);

    QString path() const;
    // The worksheets, in workbook order: every name readTable() reads. Chart
    // and macro sheets are not listed; they are kept as they are on a save.
    QStringList sheetNames() const;

    // The worksheet as a table of records; false with ErrorKind::NoSheet when
    // there is none of that name (also when a chart or macro sheet has it).
    bool readTable(const QString& sheetName, RecordTable* table, Error* error) const;

    // Read-modify-write save of the given fields of one sheet. Everything else in the
    // file survives. When the file changed on disk since it was read, it is read
    // again first and only these fields are applied to it. On failure the file on
    // disk is unchanged and nothing is considered written.
    // Errors: FieldTooLong (nothing written) for a text over MaxCellChars,
    // WriteFailed with the system's reason, NoSheet, or the kind open() would give
    // when the file on disk was replaced by something unreadable. A file that has
    // vanished is written anew from what was read.
    bool writeFields(const QString& sheetName, const QList<FieldWrite>& writes, Error* error);
    SaveNote lastSaveNote() const;
    // Whether the file at path() no longer holds the bytes last read or written:
    // another program saved, replaced or removed it. Reads the file.
    bool changedOnDisk() const;

    // The file writeFields() would save when the disk still holds what was read,
    // built in memory and checked to read back; touches no file.
    bool rewrite(const QString& sheetName, const QList<FieldWrite>& writes, QByteArray* file, Error* error) const;

private:
    Workbook();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace workbook
