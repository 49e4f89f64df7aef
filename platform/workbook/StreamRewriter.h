// The sheet rewriter: builds the stream BiffBook::write returns, one part
// after the other: the target sheet's cells with the writes merged in, the
// shared string table, the globals, then every sheet (copied, or rewritten
// for the target). Its output for the target sheet is in SheetWriter.cpp.
#pragma once

#include "platform/workbook/BiffBook.h"
#include "platform/workbook/Records.h"
#include "platform/workbook/SheetLayout.h"

#include <QHash>

#include <map>
#include <utility>
#include <vector>

namespace workbook::detail {

class StreamRewriter {
public:
    StreamRewriter(const BiffBook& book, const SheetInfo& target)
        : m_book(book)
        , m_s(book.stream)
        , m_target(target)
    {
    }

    bool run(const std::vector<CellWrite>& writesIn, QByteArray* result, Error* error);

private:
    struct Replaced {
        quint16 row, col;
        quint32 formulaPos;
    };
    struct RowOut {
        quint16 row;
        qint64 rowPos;     // its ROW record, or -1
        size_t begin, end; // its cells in m_merged
    };
    using Block = std::pair<size_t, size_t>; // rows [first, last) of one row block

    static constexpr quint32 NoString = 0xFFFFFFFF;

    const char* at(qint64 pos) const { return m_s.constData() + pos; }
    RecordView recordOf(qint64 pos) const
    {
        RecordView r;
        recordAt(m_s, pos, &r);
        return r;
    }
    void copyRecord(qint64 pos) { m_out.append(at(pos), 4 + recordOf(pos).size); }
    // Copies the records after pos for as long as they are of the kinds given.
    template <typename Keep>
    void copyFollowing(qint64 pos, Keep keep)
    {
        RecordView r = recordOf(pos);
        for (qint64 p = pos + 4 + r.size; p < m_target.end && recordAt(m_s, p, &r) && keep(r.type, p); p += 4 + r.size)
            copyRecord(p);
    }

    quint16 defaultXf() const { return m_book.xfCount >= 16 ? 15 : 0; }
    quint16 inheritedXf(quint16 row, quint16 col) const;

    // Merging the writes into the target sheet's cells.
    void prepareStringLookup(const std::vector<CellWrite>& writes);
    quint32 stringIndex(const QString& text);
    void mergeWrites(const std::vector<Cell>& cells, const std::vector<CellWrite>& writes);
    bool mergedCell(const CellWrite& w, const Cell* old, Cell* c);
    static void numberCell(Cell* c, double v);

    // Definitions whose formula was overwritten (SharedFormulas.cpp).
    std::vector<std::vector<quint32>> definitionsAfter(quint32 formulaPos) const;
    void moveDefinitions();
    void splitSharedFormula(const std::vector<quint32>& definition, const std::vector<Cell*>& users);
    void keepResult(Cell* c);
    void writeFormula(const Cell& c);

    // The new shared string table.
    bool countOtherSheetsStrings(std::vector<char>& used, Error* error);
    bool buildStringTable(Error* error);

    // The stream out, apart from the target sheet.
    std::vector<qint64> writeGlobals();
    void copySheet(const SheetInfo& sheet);

    // The target sheet (SheetWriter.cpp).
    std::vector<RowOut> rowsOut() const;
    static std::vector<Block> rowBlocks(const std::vector<RowOut>& rows);
    void writeDimensions();
    qint64 writeIndex(const std::vector<RowOut>& rows, size_t blocks);
    void copyOther(quint32 pos);
    quint32 writeBlock(const std::vector<RowOut>& rows, const Block& block);
    void writeTargetSheet();
    void writeRow(const RowOut& row);
    void putCellHeader(quint16 type, int size, const Cell& c);
    size_t writeRun(size_t begin, size_t end);
    void writeCell(const Cell& c);
    void writeCells(size_t begin, size_t end);

    const BiffBook& m_book;
    const QByteArray& m_s;
    const SheetInfo& m_target;
    SheetLayout m_layout;
    std::vector<Cell> m_merged;
    QStringList m_texts; // the old cells' inline texts (SheetCells::texts)
    std::vector<Replaced> m_replaced;
    // For formulas that take over an overwritten cell's definition: the records
    // written after them, and the cell their PtgExp is to name (row << 16 | col).
    std::map<quint32, QByteArray> m_definitionsAfter;
    std::map<quint32, quint32> m_expTargets;
    QHash<QString, quint32> m_lookup;
    std::vector<QString> m_added;      // new strings, indexed after the old ones
    std::vector<quint32> m_finalIndex; // old or added index -> index in the new table
    std::vector<SstOut> m_strings;
    quint32 m_totalRefs = 0;
    Buffer m_out;
    // While the target sheet is written: where its DEFCOLWIDTH went, whether DIMENSIONS did.
    qint64 m_defColWidthAt = -1;
    bool m_dimensionsDone = false;
};

} // namespace workbook::detail
