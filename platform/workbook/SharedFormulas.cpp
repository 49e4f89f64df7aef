// The sheet rewriter's care for formula definitions. A shared, array or table
// formula is defined by a record after the FORMULA of its first cell, and
// the other cells' FORMULA records name that cell in a PtgExp token (PtgTbl
// for a table). When the first cell is overwritten, the other cells must
// keep showing what they showed.
#include "platform/workbook/StreamRewriter.h"

#include <optional>

namespace workbook::detail {

namespace {

constexpr quint8 PtgExp = 0x01; // shared and array formulas
constexpr quint8 PtgTbl = 0x02; // data tables

// The cell (row << 16 | col) a FORMULA names when its tokens are that one token.
std::optional<quint32> pointedAt(const RecordView& f, quint8 ptg)
{
    // cce at 20, then the tokens
    if (f.type != rt::Formula || f.size < 27 || u16(f.data + 20) < 5 || u8(f.data + 22) != ptg)
        return std::nullopt;
    return quint32(u16(f.data + 23)) << 16 | u16(f.data + 25);
}

} // namespace

// The definitions among the records after a formula, each with its CONTINUE records.
std::vector<std::vector<quint32>> StreamRewriter::definitionsAfter(quint32 formulaPos) const
{
    std::vector<std::vector<quint32>> definitions;
    bool open = false;
    RecordView r = recordOf(formulaPos);
    for (qint64 p = formulaPos + 4 + r.size; p < m_target.end && recordAt(m_s, p, &r) && isTrailer(r.type);
         p += 4 + r.size) {
        if (isAnchor(r.type))
            definitions.push_back({quint32(p)});
        else if (open && r.type == rt::Continue)
            definitions.back().push_back(quint32(p));
        open = isAnchor(r.type) || (open && r.type == rt::Continue);
    }
    return definitions;
}

// For each overwritten formula cell that defined a formula, the formulas
// that still use it: a shared formula's take the definition over. An array
// formula's or table's results depend on where the range lies and what it
// spans, so no part of it can be defined anew: its other cells keep the
// results they showed as constants, as a copy-and-paste of values would.
void StreamRewriter::moveDefinitions()
{
    for (const Replaced& rep : m_replaced) {
        const quint32 key = quint32(rep.row) << 16 | rep.col;
        for (const std::vector<quint32>& definition : definitionsAfter(rep.formulaPos)) {
            const RecordView r = recordOf(definition.front());
            const quint8 ptg = r.type == rt::Table ? PtgTbl : PtgExp;
            std::vector<Cell*> users;
            for (Cell& c : m_merged)
                if (c.kind == CellKind::Formula && cellKey(c) > key && pointedAt(recordOf(c.ref), ptg) == key)
                    users.push_back(&c);
            if (users.empty())
                continue;
            if (r.type == rt::ShrFmla) {
                if (r.size >= 10)
                    splitSharedFormula(definition, users);
            } else {
                for (Cell* c : users)
                    keepResult(c);
            }
        }
    }
}

// A formula cell turned into a constant holding its cached result.
void StreamRewriter::keepResult(Cell* c)
{
    switch (c->result) {
    case ResultKind::Number: numberCell(c, f64(at(c->ref + 4 + 6))); break;
    case ResultKind::Text:
        c->kind = CellKind::Sst;
        c->ref = stringIndex(m_texts.value(c->aux));
        break;
    case ResultKind::Bool:
    case ResultKind::Error:
        c->kind = CellKind::BoolErr;
        c->ref = NoRecord;
        break;
    default: c->kind = CellKind::Blank; break;
    }
}

// A shared formula's tokens are relative to each cell that uses it, so any
// of them can define it. Its users, in record order, are split into ranges,
// each defined after its first cell, which all its cells' PtgExp then name:
// each range runs right to the old last column and down as far as no user
// lies left of its first cell; the users that remain start the next one.
void StreamRewriter::splitSharedFormula(const std::vector<quint32>& definition, const std::vector<Cell*>& users)
{
    const RecordView shared = recordOf(definition.front());
    quint16 lastRow = u16(shared.data + 2);
    quint8 lastCol = u8(shared.data + 5);
    for (const Cell* c : users) {
        lastRow = std::max(lastRow, c->row);
        lastCol = std::max(lastCol, quint8(c->col));
    }
    std::vector<char> done(users.size(), 0);
    for (size_t i = 0; i < users.size(); ++i) {
        if (done[i])
            continue;
        const Cell& first = *users[i];
        quint16 bottom = lastRow;
        for (size_t j = i + 1; j < users.size(); ++j) {
            if (!done[j] && users[j]->row > first.row && users[j]->col < first.col) {
                bottom = users[j]->row - 1;
                break;
            }
        }
        int count = 0;
        for (size_t j = i; j < users.size() && users[j]->row <= bottom; ++j) {
            if (!done[j] && users[j]->col >= first.col) {
                done[j] = 1;
                ++count;
                m_expTargets[users[j]->ref] = cellKey(first);
            }
        }
        QByteArray& after = m_definitionsAfter[first.ref];
        const qsizetype start = after.size();
        for (quint32 p : definition)
            after.append(at(p), 4 + recordOf(p).size);
        set16(after, start + 4, first.row);
        set16(after, start + 6, bottom);
        after[start + 8] = char(first.col);
        after[start + 9] = char(lastCol);
        after[start + 11] = char(std::min(count, 255)); // cUse
    }
}

// A formula as it was, naming its new definition and followed by it when it took one over.
void StreamRewriter::writeFormula(const Cell& c)
{
    const qint64 start = m_out.size();
    copyRecord(c.ref);
    if (!m_definitionsAfter.empty()) {
        if (const auto t = m_expTargets.find(c.ref); t != m_expTargets.end()) {
            set16(m_out, start + 4 + 23, quint16(t->second >> 16));
            set16(m_out, start + 4 + 25, quint16(t->second));
        }
        if (const auto d = m_definitionsAfter.find(c.ref); d != m_definitionsAfter.end())
            m_out.append(d->second);
    }
    copyFollowing(c.ref, [](quint16 type, qint64) { return isTrailer(type); });
}

} // namespace workbook::detail
