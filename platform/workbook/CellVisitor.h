// Cell decoding: every top-level cell record of a sheet turned into cells,
// one at a time, for a sink that builds what the caller needs.
#pragma once

#include "platform/workbook/BiffBook.h"
#include "platform/workbook/ContinuedReader.h"
#include "platform/workbook/Records.h"

namespace workbook::detail {

// A formula's cached result: a number in the record, or a text (in the STRING
// record after it), boolean or error code.
inline void decodeFormulaResult(const char* d, Cell* c)
{
    if (u16(d + 12) != 0xFFFF) {
        c->result = ResultKind::Number;
        return;
    }
    switch (u8(d + 6)) {
    case 0: c->result = ResultKind::Text; break;
    case 1:
        c->result = ResultKind::Bool;
        c->aux = u8(d + 8);
        break;
    case 2:
        c->result = ResultKind::Error;
        c->aux = u8(d + 8);
        break;
    default: c->result = ResultKind::Empty; break;
    }
}

// The kind and value of a cell record at pos whose row, column and format are
// read already; count gets the cells it holds. False when the record is too short.
inline bool decodeCellValue(const RecordView& r, qint64 pos, Cell* c, int* count)
{
    const char* d = r.data;
    *count = 1;
    switch (r.type) {
    case rt::LabelSst:
        if (r.size < 10)
            return false;
        c->kind = CellKind::Sst;
        c->ref = u32(d + 6);
        return true;
    case rt::Number:
        if (r.size < 14)
            return false;
        c->kind = CellKind::Number;
        c->ref = u32(d + 6);
        c->aux = u32(d + 10);
        return true;
    case rt::Rk:
        if (r.size < 10)
            return false;
        c->kind = CellKind::Rk;
        c->ref = u32(d + 6);
        return true;
    case rt::Blank: c->kind = CellKind::Blank; return true;
    case rt::BoolErr:
        if (r.size < 8)
            return false;
        c->kind = CellKind::BoolErr;
        c->aux = u8(d + 6);
        c->result = u8(d + 7) ? ResultKind::Error : ResultKind::Bool;
        c->ref = quint32(pos);
        return true;
    case rt::Label:
    case rt::RString:
        c->kind = CellKind::Label;
        c->ref = quint32(pos);
        return true;
    case rt::Formula:
    case rt::OldFormula:
    case rt::OldFormula4:
        if (r.size < (r.type == rt::Formula ? 20 : 18))
            return false;
        c->kind = CellKind::Formula;
        c->ref = quint32(pos);
        decodeFormulaResult(d, c);
        return true;
    case rt::MulRk:
        c->kind = CellKind::Rk;
        *count = (r.size - 6) / 6;
        return true;
    case rt::MulBlank:
        c->kind = CellKind::Blank;
        *count = (r.size - 6) / 2;
        return true;
    }
    return true;
}

// One pass over a sheet's records for BiffBook::visitCells.
template <typename Sink>
class CellVisitor {
public:
    CellVisitor(const BiffBook& book, Sink& sink, Error* error)
        : m_book(book)
        , m_sink(sink)
        , m_error(error)
    {
    }

    bool run(const SheetInfo& sheet)
    {
        const QByteArray& stream = m_book.stream;
        int depth = 0;
        RecordView r;
        for (qint64 pos = sheet.start; pos < sheet.end && recordAt(stream, pos, &r); pos += 4 + r.size) {
            // A formula's STRING comes right after it and its other trailers; the
            // writer moves nothing else with the formula, so nothing else may pair.
            if (m_pending && !(depth == 1 && isTrailer(r.type)))
                m_pending = false;
            if (r.type == rt::Bof) {
                ++depth;
                continue;
            }
            if (r.type == rt::Eof) {
                --depth;
                continue;
            }
            if (depth != 1)
                continue;
            if (r.type == rt::String) {
                if (m_pending && !stringRecord(pos))
                    return false;
                continue;
            }
            if (!isCellRecord(r.type))
                continue;
            m_pending = false;
            if (!cellRecord(pos, r))
                return false;
        }
        return true;
    }

private:
    bool tooShort(qint64 pos)
    {
        *m_error = damaged(QStringLiteral("a cell record is too short"), pos);
        return false;
    }

    // The Unicode string in the record at pos from byte skip of its data on.
    bool readString(qint64 pos, quint32 skip, QString* text)
    {
        ContinuedReader reader = continuedRecord(m_book.stream, pos, skip);
        if (reader.readUnicodeString(text))
            return true;
        *m_error = damaged(QStringLiteral("a cell's text is cut off"), pos);
        return false;
    }

    // The text result of the formula before it.
    bool stringRecord(qint64 pos)
    {
        QString text;
        if (!readString(pos, 0, &text))
            return false;
        m_sink.text(m_pendingString, std::move(text));
        m_pending = false;
        return true;
    }

    Q_ALWAYS_INLINE bool cellRecord(qint64 pos, const RecordView& r)
    {
        if (r.size < 6)
            return tooShort(pos);
        const char* d = r.data;
        Cell c;
        c.row = u16(d);
        c.col = u16(d + 2);
        c.xf = u16(d + 4);
        int count = 1; // cells in the record
        if (!decodeCellValue(r, pos, &c, &count))
            return tooShort(pos);
        const quint32 sstCount = quint32(m_book.sst.strings.size());
        if (c.kind == CellKind::Sst && c.ref >= sstCount) {
            *m_error = damaged(QStringLiteral("a cell refers to shared string %1 of %2").arg(c.ref).arg(sstCount), pos);
            return false;
        }
        if (count < 1)
            return tooShort(pos);
        if (c.col + count > MaxColumns) {
            *m_error = damaged(QStringLiteral("a cell lies beyond column %1").arg(MaxColumns), pos);
            return false;
        }
        if (r.type == rt::MulRk || r.type == rt::MulBlank) {
            emitRun(r, c, count);
            return true;
        }
        m_sink.cell(c);
        if (c.kind == CellKind::Label) {
            QString text;
            if (!readString(pos, 6, &text))
                return false;
            m_sink.text(c, std::move(text));
        } else if (c.kind == CellKind::Formula && c.result == ResultKind::Text) {
            m_pendingString = c;
            m_pending = true;
        }
        return true;
    }

    // MULRK and MULBLANK: their cells one by one.
    void emitRun(const RecordView& r, Cell c, int count)
    {
        const char* d = r.data;
        const bool rk = r.type == rt::MulRk;
        for (int k = 0; k < count; ++k, ++c.col) {
            c.xf = u16(d + 4 + (rk ? 6 : 2) * k);
            if (rk)
                c.ref = u32(d + 6 + 6 * k);
            m_sink.cell(c);
        }
    }

    const BiffBook& m_book;
    Sink& m_sink;
    Error* m_error;
    Cell m_pendingString; // a formula whose text result follows in a STRING record
    bool m_pending = false;
};

// Decodes every top-level cell record of a sheet in record order. The sink
// gets cell(c) for each cell (MULRK and MULBLANK one by one), then text(c, t)
// for a LABEL's text or, when its STRING record follows, a formula's text result.
template <typename Sink>
bool BiffBook::visitCells(const SheetInfo& sheet, Sink& sink, Error* error) const
{
    return CellVisitor<Sink>(*this, sink, error).run(sheet);
}

} // namespace workbook::detail
