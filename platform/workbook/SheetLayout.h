// Where things are in the worksheet being rewritten: the records carried
// over, where the cell table goes, the rows' and columns' formats.
#pragma once

#include "platform/workbook/BiffBook.h"

#include <algorithm>
#include <vector>

namespace workbook::detail {

inline quint32 cellKey(const Cell& c) { return quint32(c.row) << 16 | c.col; }
inline quint32 writeKey(const CellWrite& w) { return quint32(w.row) << 16 | w.col; }

// Sorts by position; of several entries for one position the last one stays.
template <typename T, typename Key>
void sortKeepingLast(std::vector<T>& items, Key key)
{
    const auto before = [&](const T& a, const T& b) { return key(a) < key(b); };
    // Cells usually come in order already.
    if (!std::is_sorted(items.begin(), items.end(), before))
        std::stable_sort(items.begin(), items.end(), before);
    size_t kept = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (kept > 0 && key(items[kept - 1]) == key(items[i]))
            items[kept - 1] = std::move(items[i]);
        else if (kept != i)
            items[kept++] = std::move(items[i]);
        else
            ++kept;
    }
    items.resize(kept);
}

struct RowRecord {
    quint16 row;
    quint32 pos;
};

struct ColumnFormat {
    quint16 first, last, xf;
};

struct SheetLayout {
    quint32 bofPos = 0;
    std::vector<quint32> others; // records carried over unchanged, in order
    // The sheet's own DIMENSIONS (written anew) and DEFCOLWIDTH, or 0; not those of an embedded chart.
    quint32 dimensionsPos = 0;
    quint32 defColWidthPos = 0;
    size_t split = 0;            // the cell table goes before others[split]
    std::vector<RowRecord> rows; // sorted, one per row
    std::vector<ColumnFormat> columns;
    quint16 defaultHeight = 255;
};

void layoutSheet(const QByteArray& s, const SheetInfo& sheet, SheetLayout* layout);

} // namespace workbook::detail
