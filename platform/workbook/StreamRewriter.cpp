#include "platform/workbook/StreamRewriter.h"

#include <algorithm>

namespace workbook::detail {

namespace {

// Calls f with the stream position of every top-level LABELSST record's data.
template <typename F>
bool forEachLabelSst(const QByteArray& s, const SheetInfo& sheet, F f)
{
    int depth = 0;
    RecordView r;
    for (qint64 pos = sheet.start; pos < sheet.end && recordAt(s, pos, &r); pos += 4 + r.size) {
        if (r.type == rt::Bof)
            ++depth;
        else if (r.type == rt::Eof)
            --depth;
        else if (depth == 1 && r.type == rt::LabelSst && !f(pos + 4, r.size))
            return false;
    }
    return true;
}

} // namespace

bool StreamRewriter::run(const std::vector<CellWrite>& writesIn, QByteArray* result, Error* error)
{
    SheetCells sc;
    if (!m_book.readCells(m_target, &sc, error))
        return false;
    layoutSheet(m_s, m_target, &m_layout);
    std::vector<Cell> cells = std::move(sc.cells);
    m_texts = std::move(sc.texts);
    sortKeepingLast(cells, [](const Cell& c) { return cellKey(c); });
    std::vector<CellWrite> writes = writesIn;
    sortKeepingLast(writes, [](const CellWrite& w) { return writeKey(w); });
    prepareStringLookup(writes);
    mergeWrites(cells, writes);
    moveDefinitions();
    if (!buildStringTable(error))
        return false;

    m_out = Buffer(m_s.size() + qsizetype(writes.size()) * 16 + 65536);
    const std::vector<qint64> boundAt = writeGlobals();
    for (size_t k = 0; k < m_book.sheets.size(); ++k) {
        const SheetInfo& sheet = m_book.sheets[k];
        set32(m_out, boundAt[k] + 4, quint32(m_out.size()));
        if (&sheet == &m_target)
            writeTargetSheet();
        else
            copySheet(sheet);
    }
    *result = m_out.take();
    return true;
}

// A new cell takes the format of its row, else of its column, else the default.
quint16 StreamRewriter::inheritedXf(quint16 row, quint16 col) const
{
    const auto& rows = m_layout.rows;
    auto it = std::lower_bound(rows.begin(), rows.end(), row, [](const RowRecord& r, quint16 v) { return r.row < v; });
    if (it != rows.end() && it->row == row) {
        const quint32 flags = u32(at(it->pos + 4 + 12));
        const quint16 xf = (flags >> 16) & 0xFFF;
        if ((flags & 0x80) && xf < m_book.xfCount)
            return xf;
    }
    for (auto c = m_layout.columns.rbegin(); c != m_layout.columns.rend(); ++c)
        if (col >= c->first && col <= c->last && c->xf < m_book.xfCount)
            return c->xf;
    return defaultXf();
}

// New texts reuse an equal plain string already in the table. Only old
// strings of a length some new text has are compared: a save of a few
// fields does not hash the whole table.
void StreamRewriter::prepareStringLookup(const std::vector<CellWrite>& writes)
{
    const SharedStrings& sst = m_book.sst;
    std::vector<bool> lengths(MaxCellChars + 1, false);
    for (const CellWrite& w : writes) {
        if (w.kind == CellWrite::Text) {
            lengths[size_t(w.text.size())] = true;
            m_lookup.insert(w.text, NoString);
        }
    }
    for (quint32 i = 0; i < sst.strings.size(); ++i) {
        const SstString& old = sst.strings[i];
        if (old.text.size() <= MaxCellChars && lengths[size_t(old.text.size())] && old.plain()) {
            const auto it = m_lookup.find(old.text);
            if (it != m_lookup.end() && *it == NoString)
                *it = i;
        }
    }
}

quint32 StreamRewriter::stringIndex(const QString& text)
{
    // A text not looked up beforehand (a kept formula result) is added anew.
    auto it = m_lookup.find(text);
    if (it == m_lookup.end())
        it = m_lookup.insert(text, NoString);
    quint32& index = *it;
    if (index == NoString) {
        index = quint32(m_book.sst.strings.size() + m_added.size());
        m_added.push_back(text);
    }
    return index;
}

void StreamRewriter::mergeWrites(const std::vector<Cell>& cells, const std::vector<CellWrite>& writes)
{
    m_merged.reserve(cells.size() + writes.size());
    size_t i = 0;
    for (const CellWrite& w : writes) {
        while (i < cells.size() && cellKey(cells[i]) < writeKey(w))
            m_merged.push_back(cells[i++]);
        const Cell* old = i < cells.size() && cellKey(cells[i]) == writeKey(w) ? &cells[i] : nullptr;
        Cell c;
        const bool keep = mergedCell(w, old, &c);
        if (old)
            ++i;
        if (keep)
            m_merged.push_back(c);
    }
    while (i < cells.size())
        m_merged.push_back(cells[i++]);
}

// The cell a write makes of the old one (or of none); false when no cell stays.
bool StreamRewriter::mergedCell(const CellWrite& w, const Cell* old, Cell* c)
{
    c->row = w.row;
    c->col = w.col;
    c->xf = old ? old->xf : inheritedXf(w.row, w.col);
    if (old && old->kind == CellKind::Formula)
        m_replaced.push_back({w.row, w.col, old->ref});
    switch (w.kind) {
    case CellWrite::Empty:
        // A formatted cell stays as a blank that keeps its format.
        c->kind = CellKind::Blank;
        return old && old->xf != defaultXf();
    case CellWrite::Number: numberCell(c, w.number); return true;
    case CellWrite::Text:
        c->kind = CellKind::Sst;
        c->ref = stringIndex(w.text);
        return true;
    }
    return true;
}

// A number cell, as RK when that holds it exactly.
void StreamRewriter::numberCell(Cell* c, double v)
{
    if (const auto rk = toRk(v)) {
        c->kind = CellKind::Rk;
        c->ref = *rk;
    } else {
        c->kind = CellKind::Number;
        c->setNumber(v);
    }
}

// Marks the strings the sheets other than the target refer to.
bool StreamRewriter::countOtherSheetsStrings(std::vector<char>& used, Error* error)
{
    const quint32 oldCount = quint32(m_book.sst.strings.size());
    for (const SheetInfo& sheet : m_book.sheets) {
        if (&sheet == &m_target)
            continue;
        const bool ok = forEachLabelSst(m_s, sheet, [&](qint64 dataPos, int size) {
            if (size < 10 || u32(at(dataPos + 6)) >= oldCount)
                return false;
            used[u32(at(dataPos + 6))] = 1;
            ++m_totalRefs;
            return true;
        });
        if (!ok) {
            *error = damaged(QStringLiteral("sheet \"%1\" refers to a missing shared string").arg(sheet.name));
            return false;
        }
    }
    return true;
}

// The strings still referenced anywhere, old ones first in their old
// order; unreferenced ones are dropped, so the table cannot grow without end.
bool StreamRewriter::buildStringTable(Error* error)
{
    const SharedStrings& sst = m_book.sst;
    const quint32 oldCount = quint32(sst.strings.size());
    std::vector<char> used(oldCount + m_added.size(), 0);
    if (!countOtherSheetsStrings(used, error))
        return false;
    for (const Cell& c : m_merged) {
        if (c.kind == CellKind::Sst) {
            used[c.ref] = 1;
            ++m_totalRefs;
        }
    }
    m_finalIndex.assign(used.size(), 0);
    quint32 next = 0;
    for (quint32 k = 0; k < used.size(); ++k) {
        if (!used[k])
            continue;
        m_finalIndex[k] = next++;
        SstOut s;
        if (k < oldCount) {
            const SstString& old = sst.strings[k];
            s.text = &old.text;
            s.runs = sst.extras.constData() + old.extraPos;
            s.runCount = old.runCount;
            s.ext = s.runs + 4 * old.runCount;
            s.extLength = old.extLength;
            s.hasExt = old.hasExt;
        } else {
            s.text = &m_added[k - oldCount];
        }
        m_strings.push_back(s);
    }
    return true;
}

// The globals as they were, with the new string table where the old one
// was. Returns where each BOUNDSHEET went, to be given its sheet's position.
std::vector<qint64> StreamRewriter::writeGlobals()
{
    std::vector<qint64> boundAt(m_book.sheets.size(), -1);
    size_t bound = 0;
    bool sstDone = false;
    RecordView r;
    for (qint64 pos = 0; pos < m_book.globalsEnd && recordAt(m_s, pos, &r);) {
        if (pos == m_book.sstPos) {
            writeSst(m_out, m_strings, m_totalRefs);
            sstDone = true;
            pos = m_book.sstEnd;
            continue;
        }
        if (r.type == rt::ExtSst) {
            pos += 4 + r.size;
            continue;
        }
        if (r.type == rt::Eof && !sstDone) {
            writeSst(m_out, m_strings, m_totalRefs);
            sstDone = true;
        }
        if (bound < m_book.sheets.size() && m_book.sheets[bound].boundPos == pos)
            boundAt[bound++] = m_out.size();
        copyRecord(pos);
        pos += 4 + r.size;
    }
    return boundAt;
}

// A sheet carried over: shared string indices renumbered, INDEX positions moved.
void StreamRewriter::copySheet(const SheetInfo& sheet)
{
    const qint64 base = m_out.size();
    const qint64 delta = base - qint64(sheet.start);
    m_out.append(at(sheet.start), sheet.end - sheet.start);
    auto move = [&](qint64 pos) {
        const quint32 v = u32(m_out.constData() + pos);
        if (v >= sheet.start && v < sheet.end)
            set32(m_out, pos, quint32(v + delta));
    };
    int depth = 0;
    for (qint64 p = base; p < m_out.size();) {
        const quint16 type = u16(m_out.constData() + p);
        const quint16 size = u16(m_out.constData() + p + 2);
        const qint64 d = p + 4;
        if (type == rt::Bof)
            ++depth;
        else if (type == rt::Eof)
            --depth;
        else if (depth == 1 && type == rt::LabelSst)
            set32(m_out, d + 6, m_finalIndex[u32(m_out.constData() + d + 6)]);
        else if (depth == 1 && type == rt::Index && size >= 16)
            for (int f = 12; f + 4 <= size; f += 4) // the DEFCOLWIDTH position, then the DBCELLs
                move(d + f);
        p = d + size;
    }
}

bool BiffBook::write(const SheetInfo& target, const std::vector<CellWrite>& writes, QByteArray* result,
                     Error* error) const
{
    return StreamRewriter(*this, target).run(writes, result, error);
}

} // namespace workbook::detail
