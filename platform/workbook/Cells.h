// One cell of a worksheet as read from its record, whatever the record's kind.
#pragma once

#include <QStringList>

#include <cstring>
#include <vector>

namespace workbook::detail {

enum class CellKind : quint8 { Blank, Number, Rk, Sst, Label, BoolErr, Formula };
enum class ResultKind : quint8 { None, Number, Text, Bool, Error, Empty };

// One cell in 16 bytes, whatever its kind.
struct Cell {
    quint16 row = 0;
    quint16 col = 0;
    quint16 xf = 0;
    CellKind kind = CellKind::Blank;
    ResultKind result = ResultKind::None; // Formula: cached result; BoolErr: Bool or Error
    // Sst: string index; Rk: RK bits; Label, BoolErr, Formula: record position
    // (NoRecord for a BoolErr the rewriter makes).
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

// Position 0 of a stream is the globals' BOF, never a cell record.
inline constexpr quint32 NoRecord = 0;

struct SheetCells {
    std::vector<Cell> cells; // in record order
    QStringList texts;       // inline texts (LABEL, RSTRING, formula results); [0] is empty
};

} // namespace workbook::detail
