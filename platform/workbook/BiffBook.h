// The BIFF8 workbook stream: its records parsed into sheets, shared strings and
// cells, and written back with changed cells. Internal to the engine (tests and
// fuzzers may use it).
#pragma once

#include "platform/workbook/SharedStrings.h"
#include "platform/workbook/Workbook.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

namespace workbook::detail {

namespace rt {
inline constexpr quint16 Formula = 0x0006;
inline constexpr quint16 Eof = 0x000A;
inline constexpr quint16 FilePass = 0x002F;
inline constexpr quint16 Continue = 0x003C;
inline constexpr quint16 DefColWidth = 0x0055;
inline constexpr quint16 Uncalced = 0x005E;
inline constexpr quint16 ColInfo = 0x007D;
inline constexpr quint16 BoundSheet = 0x0085;
inline constexpr quint16 MulRk = 0x00BD;
inline constexpr quint16 MulBlank = 0x00BE;
inline constexpr quint16 RString = 0x00D6;
inline constexpr quint16 DbCell = 0x00D7;
inline constexpr quint16 Xf = 0x00E0;
inline constexpr quint16 Sst = 0x00FC;
inline constexpr quint16 LabelSst = 0x00FD;
inline constexpr quint16 ExtSst = 0x00FF;
inline constexpr quint16 Dimensions = 0x0200;
inline constexpr quint16 Blank = 0x0201;
inline constexpr quint16 Number = 0x0203;
inline constexpr quint16 Label = 0x0204;
inline constexpr quint16 BoolErr = 0x0205;
inline constexpr quint16 String = 0x0207;
inline constexpr quint16 Row = 0x0208;
inline constexpr quint16 Index = 0x020B;
inline constexpr quint16 Array = 0x0221;
inline constexpr quint16 DefaultRowHeight = 0x0225;
inline constexpr quint16 Table = 0x0236;
inline constexpr quint16 Window2 = 0x023E;
inline constexpr quint16 Rk = 0x027E;
inline constexpr quint16 ShrFmla = 0x04BC;
inline constexpr quint16 Bof = 0x0809;
} // namespace rt

inline constexpr int MaxRows = 65536;
inline constexpr int MaxColumns = 256;

struct SheetInfo {
    QString name;
    quint8 kind = 0;       // BOUNDSHEET dt: 0 worksheet, 1 macro sheet, 2 chart, 6 VBA module
    quint32 boundPos = 0;  // stream position of its BOUNDSHEET record
    quint32 start = 0;     // its BOF
    quint32 end = 0;       // just past its EOF
};

enum class CellKind : quint8 { Blank, Number, Rk, Sst, Label, BoolErr, Formula };
enum class ResultKind : quint8 { None, Number, Text, Bool, Error, Empty };

// One cell in 16 bytes, whatever its kind.
struct Cell {
    quint16 row = 0;
    quint16 col = 0;
    quint16 xf = 0;
    CellKind kind = CellKind::Blank;
    ResultKind result = ResultKind::None; // Formula: cached result; BoolErr: Bool or Error
    // Sst: string index; Rk: RK bits; Label, BoolErr, Formula: record position.
    quint32 ref = 0;
    // Label and formula text results: index in SheetCells::texts; BoolErr and
    // formula booleans and errors: the value.
    quint32 aux = 0;

    // Number cells keep their value in ref and aux; formulas keep theirs in the record.
    double number() const
    {
        const quint64 bits = quint64(aux) << 32 | ref;
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    void setNumber(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        ref = quint32(bits);
        aux = quint32(bits >> 32);
    }
};
static_assert(sizeof(Cell) == 16);

struct SheetCells {
    std::vector<Cell> cells; // in record order
    QStringList texts;       // inline texts (LABEL, RSTRING, formula results); [0] is empty
};

// A field write checked and ready: text normalised, numbers parsed.
struct CellWrite {
    enum Kind : quint8 { Empty, Text, Number };
    quint16 row = 0;
    quint16 col = 0;
    Kind kind = Empty;
    double number = 0;
    QString text;
};

// Checks sizes and positions, turns line breaks into LF and numeric texts
// into numbers. FieldTooLong or WriteFailed (a position outside the sheet).
bool prepareWrites(const QList<FieldWrite>& writes, std::vector<CellWrite>* out, Error* error);

// Text of a number as the table shows it: whole values as integers, others
// in the shortest form that reads back to the same double.
QString numberText(double value);
double rkValue(quint32 rk);
QString errorText(quint8 code);

class BiffBook {
public:
    // Parses the globals and finds every sheet's substream. Cells are read on demand.
    static bool parse(const QByteArray& stream, BiffBook* book, Error* error);

    const SheetInfo* findSheet(const QString& name) const;
    // A worksheet, rather than a chart, macro or dialog sheet.
    bool isWorksheet(const SheetInfo& sheet) const;
    QStringList sheetNames() const;

    bool readCells(const SheetInfo& sheet, SheetCells* out, Error* error) const;
    template <typename Sink>
    bool visitCells(const SheetInfo& sheet, Sink& sink, Error* error) const;
    bool readTable(const SheetInfo& sheet, RecordTable* table, Error* error) const;
    QString cellText(const SheetCells& cells, const Cell& cell) const;

    // A new stream: this one with the writes applied to the sheet. Everything
    // else is carried over; the shared strings are rebuilt (unreferenced ones
    // dropped) and every stream position is fixed up.
    bool write(const SheetInfo& sheet, const std::vector<CellWrite>& writes, QByteArray* out, Error* error) const;

    // The stream of a workbook with one empty worksheet.
    static QByteArray newWorkbookStream(const QString& sheetName);

    QByteArray stream;
    quint32 globalsEnd = 0;
    std::vector<SheetInfo> sheets;
    SharedStrings sst;
    qint64 sstPos = -1; // SST record and the CONTINUE records after it: [sstPos, sstEnd)
    qint64 sstEnd = -1;
    int xfCount = 0;
};

} // namespace workbook::detail
