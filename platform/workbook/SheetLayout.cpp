#include "platform/workbook/SheetLayout.h"

#include "platform/workbook/Records.h"

namespace workbook::detail {

namespace {

// Sorts the sheet's top-level records into those the rewriter regenerates
// (INDEX, DBCELL, rows, cells and their trailers) and those it carries over.
class LayoutScanner {
public:
    explicit LayoutScanner(SheetLayout* layout)
        : m_layout(layout)
    {
    }

    // A record of the sheet's own substream; false when it is not carried over.
    bool topLevel(const RecordView& r, qint64 pos)
    {
        if (r.type == rt::Bof) {
            m_layout->bofPos = quint32(pos);
            return false;
        }
        if (r.type == rt::Index || r.type == rt::DbCell) {
            m_afterCell = false;
            return false; // regenerated
        }
        const bool row = r.type == rt::Row;
        if (row || isCellRecord(r.type)) {
            if (m_tableAt < 0)
                m_tableAt = qint64(m_layout->others.size());
            if (row && r.size >= 16)
                m_layout->rows.push_back({u16(r.data), quint32(pos)});
            m_afterCell = !row;
            return false;
        }
        if (m_afterCell && isTrailer(r.type))
            return false; // travels with its cell
        m_afterCell = false;
        if (r.type == rt::Dimensions && m_dimensionsAt >= 0)
            return false; // one is written
        noteCarried(r, pos);
        return true;
    }

    // A record of an embedded substream (a chart's), carried over as it is.
    void nested() { m_afterCell = false; }

    // The cell table goes where the old one was, else after DIMENSIONS, else
    // before WINDOW2, else before the EOF.
    size_t split() const
    {
        const std::vector<quint32>& others = m_layout->others;
        if (m_tableAt >= 0)
            return size_t(m_tableAt);
        if (m_dimensionsAt >= 0)
            return size_t(m_dimensionsAt + 1);
        if (m_window2At >= 0)
            return size_t(m_window2At);
        return others.empty() ? 0 : others.size() - 1;
    }

private:
    void noteCarried(const RecordView& r, qint64 pos)
    {
        if (r.type == rt::ColInfo && r.size >= 8) {
            m_layout->columns.push_back({u16(r.data), u16(r.data + 2), u16(r.data + 6)});
        } else if (r.type == rt::DefaultRowHeight && r.size >= 4 && u16(r.data + 2) != 0) {
            m_layout->defaultHeight = u16(r.data + 2);
        } else if (r.type == rt::Dimensions) {
            m_dimensionsAt = qint64(m_layout->others.size());
            m_layout->dimensionsPos = quint32(pos);
        } else if (r.type == rt::DefColWidth && m_layout->defColWidthPos == 0) {
            m_layout->defColWidthPos = quint32(pos);
        } else if (r.type == rt::Window2 && m_window2At < 0) {
            m_window2At = qint64(m_layout->others.size());
        }
    }

    SheetLayout* m_layout;
    bool m_afterCell = false;
    qint64 m_tableAt = -1, m_dimensionsAt = -1, m_window2At = -1;
};

} // namespace

void layoutSheet(const QByteArray& s, const SheetInfo& sheet, SheetLayout* layout)
{
    LayoutScanner scanner(layout);
    int depth = 0;
    RecordView r;
    for (qint64 pos = sheet.start; pos < sheet.end && recordAt(s, pos, &r); pos += 4 + r.size) {
        int recordDepth = depth;
        if (r.type == rt::Bof)
            recordDepth = ++depth;
        else if (r.type == rt::Eof)
            --depth;
        if (recordDepth == 1) {
            if (!scanner.topLevel(r, pos))
                continue;
        } else {
            scanner.nested();
        }
        layout->others.push_back(quint32(pos));
    }
    layout->split = scanner.split();
    sortKeepingLast(layout->rows, [](const RowRecord& record) { return record.row; });
}

} // namespace workbook::detail
