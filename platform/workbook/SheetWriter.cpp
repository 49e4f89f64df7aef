// The sheet rewriter's output for the target sheet: its records with a new
// cell table in row blocks, and the INDEX and DBCELL records that find them.
#include "platform/workbook/StreamRewriter.h"

namespace workbook::detail {

// Rows with cells or a ROW record, in order.
std::vector<StreamRewriter::RowOut> StreamRewriter::rowsOut() const
{
    std::vector<RowOut> rows;
    size_t c = 0, rr = 0;
    const auto& records = m_layout.rows;
    while (c < m_merged.size() || rr < records.size()) {
        const int cellRow = c < m_merged.size() ? m_merged[c].row : MaxRows;
        const int recordRow = rr < records.size() ? records[rr].row : MaxRows;
        RowOut row{quint16(std::min(cellRow, recordRow)), -1, c, c};
        if (recordRow == row.row)
            row.rowPos = records[rr++].pos;
        while (c < m_merged.size() && m_merged[c].row == row.row)
            ++c;
        row.end = c;
        rows.push_back(row);
    }
    return rows;
}

// Row blocks of up to 32 rows each, as Excel writes them.
std::vector<StreamRewriter::Block> StreamRewriter::rowBlocks(const std::vector<RowOut>& rows)
{
    std::vector<Block> blocks;
    for (size_t k = 0; k < rows.size();) {
        size_t e = k + 1;
        while (e < rows.size() && rows[e].row / 32 == rows[k].row / 32)
            ++e;
        blocks.emplace_back(k, e);
        k = e;
    }
    return blocks;
}

void StreamRewriter::writeDimensions()
{
    quint16 colMin = MaxColumns, colMax = 0;
    for (const Cell& c : m_merged) {
        colMin = std::min(colMin, c.col);
        colMax = std::max<quint16>(colMax, c.col + 1);
    }
    const bool empty = m_merged.empty();
    putRecordHeader(m_out, rt::Dimensions, 14);
    put32(m_out, empty ? 0 : m_merged.front().row);
    put32(m_out, empty ? 0 : m_merged.back().row + 1u);
    put16(m_out, empty ? 0 : colMin);
    put16(m_out, colMax);
    put16(m_out, 0);
}

// The INDEX record, its DEFCOLWIDTH and DBCELL positions left for later.
// Returns where it went.
qint64 StreamRewriter::writeIndex(const std::vector<RowOut>& rows, size_t blocks)
{
    const qint64 indexPos = m_out.size();
    putRecordHeader(m_out, rt::Index, 16 + 4 * int(blocks));
    put32(m_out, 0);
    put32(m_out, rows.empty() ? 0 : rows.front().row);
    put32(m_out, rows.empty() ? 0 : rows.back().row + 1u);
    put32(m_out, 0);
    for (size_t b = 0; b < blocks; ++b)
        put32(m_out, 0);
    return indexPos;
}

// A record carried over; the sheet's DIMENSIONS is written anew.
void StreamRewriter::copyOther(quint32 pos)
{
    if (pos == m_layout.dimensionsPos) {
        if (!m_dimensionsDone) // it came after the cells
            writeDimensions();
        m_dimensionsDone = true;
        return;
    }
    if (pos == m_layout.defColWidthPos)
        m_defColWidthAt = m_out.size();
    copyRecord(pos);
}

// One row block: its ROW records, their cells, the DBCELL that finds them.
// Returns where the DBCELL went.
quint32 StreamRewriter::writeBlock(const std::vector<RowOut>& rows, const Block& block)
{
    const auto& [first, last] = block;
    const qint64 firstRowPos = m_out.size();
    for (size_t k = first; k < last; ++k)
        writeRow(rows[k]);
    std::vector<qint64> cellStarts;
    for (size_t k = first; k < last; ++k) {
        cellStarts.push_back(m_out.size());
        writeCells(rows[k].begin, rows[k].end);
    }
    const qint64 dbcellPos = m_out.size();
    putRecordHeader(m_out, rt::DbCell, 4 + 2 * int(cellStarts.size()));
    put32(m_out, quint32(dbcellPos - firstRowPos));
    qint64 previous = firstRowPos + 20; // the end of the first ROW record
    for (qint64 start : cellStarts) {
        put16(m_out, quint16(start - previous));
        previous = start;
    }
    return quint32(dbcellPos);
}

// The rewritten sheet: BOF, INDEX, the records before the cell table, row
// blocks of up to 32 rows each closed by a DBCELL, the records after.
void StreamRewriter::writeTargetSheet()
{
    const std::vector<RowOut> rows = rowsOut();
    const std::vector<Block> blocks = rowBlocks(rows);

    copyRecord(m_layout.bofPos);
    const std::vector<quint32>& others = m_layout.others;
    size_t o = 0;
    if (o < m_layout.split && recordOf(others[o]).type == rt::Uncalced)
        copyRecord(others[o++]);
    const qint64 indexPos = writeIndex(rows, blocks.size());

    m_defColWidthAt = -1;
    m_dimensionsDone = false;
    for (; o < m_layout.split; ++o)
        copyOther(others[o]);
    if (!m_dimensionsDone)
        writeDimensions();
    m_dimensionsDone = true;

    std::vector<quint32> dbcells;
    for (const Block& block : blocks)
        dbcells.push_back(writeBlock(rows, block));
    for (; o < others.size(); ++o)
        copyOther(others[o]);
    set32(m_out, indexPos + 4 + 12, m_defColWidthAt >= 0 ? quint32(m_defColWidthAt) : 0);
    for (size_t b = 0; b < dbcells.size(); ++b)
        set32(m_out, indexPos + 4 + 16 + 4 * qsizetype(b), dbcells[b]);
}

// A row's ROW record with its cells' columns; one of a row without cells as it was.
void StreamRewriter::writeRow(const RowOut& row)
{
    putRecordHeader(m_out, rt::Row, 16);
    const qint64 data = m_out.size();
    const bool hasCells = row.begin < row.end;
    if (row.rowPos >= 0) {
        m_out.append(at(row.rowPos + 4), 16);
        if (!hasCells)
            return;
    } else {
        put16(m_out, row.row);
        put32(m_out, 0);
        put16(m_out, m_layout.defaultHeight);
        put32(m_out, 0);
        put32(m_out, 0x000F0100); // default flags, as Excel writes them
    }
    set16(m_out, data + 2, m_merged[row.begin].col);
    set16(m_out, data + 4, m_merged[row.end - 1].col + 1);
}

Q_ALWAYS_INLINE void StreamRewriter::putCellHeader(quint16 type, int size, const Cell& c)
{
    putRecordHeader(m_out, type, size);
    put16(m_out, c.row);
    put16(m_out, c.col);
    put16(m_out, c.xf);
}

// RK or blank cells from begin on in adjacent columns, as one record (MULRK
// and MULBLANK for more than one). Returns where the run ends.
size_t StreamRewriter::writeRun(size_t begin, size_t end)
{
    const Cell& c = m_merged[begin];
    size_t e = begin + 1;
    while (e < end && m_merged[e].kind == c.kind && m_merged[e].col == m_merged[e - 1].col + 1)
        ++e;
    const bool blank = c.kind == CellKind::Blank;
    if (e - begin == 1) {
        putCellHeader(blank ? rt::Blank : rt::Rk, blank ? 6 : 10, c);
        if (!blank)
            put32(m_out, c.ref);
        return e;
    }
    putRecordHeader(m_out, blank ? rt::MulBlank : rt::MulRk, 6 + int(e - begin) * (blank ? 2 : 6));
    put16(m_out, c.row);
    put16(m_out, c.col);
    for (size_t k = begin; k < e; ++k) {
        put16(m_out, m_merged[k].xf);
        if (!blank)
            put32(m_out, m_merged[k].ref);
    }
    put16(m_out, m_merged[e - 1].col);
    return e;
}

Q_ALWAYS_INLINE void StreamRewriter::writeCell(const Cell& c)
{
    switch (c.kind) {
    case CellKind::Number:
        putCellHeader(rt::Number, 14, c);
        putF64(m_out, c.number());
        break;
    case CellKind::Sst:
        putCellHeader(rt::LabelSst, 10, c);
        put32(m_out, m_finalIndex[c.ref]);
        break;
    case CellKind::Formula: writeFormula(c); break;
    case CellKind::BoolErr:
        if (c.ref == NoRecord) {
            putCellHeader(rt::BoolErr, 8, c);
            put16(m_out, quint16((c.aux & 0xFF) | (c.result == ResultKind::Error ? 0x100 : 0)));
            break;
        }
        [[fallthrough]];
    default: // LABEL, RSTRING, BOOLERR as they were, a long text with its CONTINUE records
        copyRecord(c.ref);
        copyFollowing(c.ref, [](quint16 type, qint64) { return type == rt::Continue; });
        break;
    }
}

// One row's cells; runs of RK and blank cells become MULRK and MULBLANK.
void StreamRewriter::writeCells(size_t begin, size_t end)
{
    for (size_t j = begin; j < end;) {
        const CellKind kind = m_merged[j].kind;
        if (kind == CellKind::Blank || kind == CellKind::Rk) {
            j = writeRun(j, end);
        } else {
            writeCell(m_merged[j]);
            ++j;
        }
    }
}

} // namespace workbook::detail
