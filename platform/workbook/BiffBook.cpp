#include "platform/workbook/BiffBook.h"

#include "platform/workbook/ContinuedReader.h"
#include "platform/workbook/Records.h"

#include <QHash>

#include <algorithm>

namespace workbook::detail {

namespace {

constexpr quint32 NoString = 0xFFFFFFFF;

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

// Where things are in the worksheet being rewritten.
struct SheetLayout {
    quint32 bofPos = 0;
    std::vector<quint32> others;   // records carried over unchanged, in order
    size_t split = 0;              // the cell table goes before others[split]
    std::vector<RowRecord> rows;   // sorted, one per row
    std::vector<ColumnFormat> columns;
    quint16 defaultHeight = 255;
};

void layoutSheet(const QByteArray& s, const SheetInfo& sheet, SheetLayout* layout)
{
    int depth = 0;
    bool afterCell = false;
    qint64 tableAt = -1, dimensionsAt = -1, window2At = -1;
    RecordView r;
    for (qint64 pos = sheet.start; pos < sheet.end && recordAt(s, pos, &r); pos += 4 + r.size) {
        int recordDepth = depth;
        if (r.type == rt::Bof)
            recordDepth = ++depth;
        else if (r.type == rt::Eof)
            --depth;
        if (recordDepth == 1) {
            if (r.type == rt::Bof) {
                layout->bofPos = quint32(pos);
                continue;
            }
            if (r.type == rt::Index || r.type == rt::DbCell) {
                afterCell = false;
                continue; // regenerated
            }
            const bool row = r.type == rt::Row;
            if (row || isCellRecord(r.type)) {
                if (tableAt < 0)
                    tableAt = qint64(layout->others.size());
                if (row && r.size >= 16)
                    layout->rows.push_back({u16(r.data), quint32(pos)});
                afterCell = !row;
                continue;
            }
            if (afterCell && isTrailer(r.type))
                continue; // travels with its cell
            afterCell = false;
            if (r.type == rt::ColInfo && r.size >= 8)
                layout->columns.push_back({u16(r.data), u16(r.data + 2), u16(r.data + 6)});
            else if (r.type == rt::DefaultRowHeight && r.size >= 4 && u16(r.data + 2) != 0)
                layout->defaultHeight = u16(r.data + 2);
            else if (r.type == rt::Dimensions && dimensionsAt < 0)
                dimensionsAt = qint64(layout->others.size());
            else if (r.type == rt::Window2 && window2At < 0)
                window2At = qint64(layout->others.size());
        } else {
            afterCell = false;
        }
        layout->others.push_back(quint32(pos));
    }
    if (tableAt >= 0)
        layout->split = size_t(tableAt);
    else if (dimensionsAt >= 0)
        layout->split = size_t(dimensionsAt + 1);
    else if (window2At >= 0)
        layout->split = size_t(window2At);
    else
        layout->split = layout->others.empty() ? 0 : layout->others.size() - 1; // before the EOF
    std::vector<RowRecord>& rows = layout->rows;
    sortKeepingLast(rows, [](const RowRecord& record) { return record.row; });
}

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

bool BiffBook::parse(const QByteArray& stream, BiffBook* book, Error* error)
{
    *book = BiffBook();
    book->stream = stream;
    RecordView r;
    if (!recordAt(stream, 0, &r) || r.size < 4 || r.type != rt::Bof) {
        const quint16 first = stream.size() >= 2 ? u16(stream.constData()) : 0;
        if (isEarlyBof(first))
            *error = {ErrorKind::OldFormat, QStringLiteral("BIFF2-4 workbook")};
        else
            *error = damaged(QStringLiteral("the workbook stream does not start with a BOF record"));
        return false;
    }
    const quint16 version = u16(r.data);
    if (version < bof::Biff8 && version >= bof::Biff2) {
        *error = {ErrorKind::OldFormat, QStringLiteral("BIFF version %1").arg(version, 4, 16, QLatin1Char('0'))};
        return false;
    }
    if (version != bof::Biff8 || u16(r.data + 2) != bof::Globals) {
        *error = damaged(QStringLiteral("the workbook stream does not start with BIFF8 workbook globals"));
        return false;
    }

    qint64 pos = 0;
    for (bool ended = false; !ended;) {
        if (!recordAt(stream, pos, &r)) {
            *error = damaged(QStringLiteral("the workbook globals end early"), pos);
            return false;
        }
        qint64 next = pos + 4 + r.size;
        switch (r.type) {
        case rt::FilePass:
            *error = {ErrorKind::Encrypted, QStringLiteral("the workbook is protected with a password")};
            return false;
        case rt::BoundSheet: {
            SheetInfo sheet;
            bool ok = r.size >= 8;
            if (ok) {
                sheet.start = u32(r.data);
                sheet.kind = u8(r.data + 5);
                sheet.boundPos = quint32(pos);
                const int cch = u8(r.data + 6);
                const bool high = u8(r.data + 7) & 1;
                ok = 8 + cch * (high ? 2 : 1) <= r.size;
                if (ok)
                    sheet.name = decodeChars(r.data + 8, cch, high);
            }
            if (!ok) {
                *error = damaged(QStringLiteral("a BOUNDSHEET record is too short"), pos);
                return false;
            }
            book->sheets.push_back(sheet);
            break;
        }
        case rt::Sst: {
            if (book->sstPos >= 0) {
                *error = damaged(QStringLiteral("a second shared string table"), pos);
                return false;
            }
            std::vector<ContinuedReader::Segment> segments{{r.data, r.size}};
            RecordView c;
            while (recordAt(stream, next, &c) && c.type == rt::Continue) {
                segments.push_back({c.data, c.size});
                next += 4 + c.size;
            }
            ContinuedReader reader(std::move(segments));
            QString problem;
            if (!SharedStrings::parse(reader, &book->sst, &problem)) {
                *error = damaged(problem, pos);
                return false;
            }
            book->sstPos = pos;
            book->sstEnd = next;
            break;
        }
        case rt::Xf:
            ++book->xfCount;
            break;
        case rt::Eof:
            ended = true;
            break;
        default:
            break;
        }
        pos = next;
    }
    book->globalsEnd = quint32(pos);

    for (SheetInfo& sheet : book->sheets) {
        qint64 p = sheet.start;
        if (p < pos || !recordAt(stream, p, &r) || r.type != rt::Bof || r.size < 4) {
            *error = damaged(QStringLiteral("sheet \"%1\" does not start with a BOF record").arg(sheet.name), p);
            return false;
        }
        // Only the record headers matter here: a tight loop over them.
        const char* base = stream.constData();
        for (int depth = 0;;) {
            if (p + 4 > stream.size() || p + 4 + u16(base + p + 2) > stream.size()) {
                *error = damaged(QStringLiteral("sheet \"%1\" ends early").arg(sheet.name), p);
                return false;
            }
            const quint16 type = u16(base + p);
            p += 4 + u16(base + p + 2);
            if (type == rt::Bof)
                ++depth;
            else if (type == rt::Eof && --depth == 0)
                break;
        }
        sheet.end = quint32(p);
    }
    std::vector<std::pair<quint32, quint32>> ranges;
    for (const SheetInfo& sheet : book->sheets)
        ranges.emplace_back(sheet.start, sheet.end);
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].first < ranges[i - 1].second) {
            *error = damaged(QStringLiteral("two sheets overlap"), ranges[i].first);
            return false;
        }
    }
    return true;
}

bool BiffBook::isWorksheet(const SheetInfo& sheet) const
{
    return u16(stream.constData() + sheet.start + 4 + 2) == bof::Worksheet;
}

const SheetInfo* BiffBook::findSheet(const QString& name) const
{
    for (const SheetInfo& sheet : sheets)
        if (sheet.name == name)
            return &sheet;
    // Excel treats sheet names without regard to case.
    for (const SheetInfo& sheet : sheets)
        if (sheet.name.compare(name, Qt::CaseInsensitive) == 0)
            return &sheet;
    return nullptr;
}

QStringList BiffBook::sheetNames() const
{
    QStringList names;
    for (const SheetInfo& sheet : sheets)
        names << sheet.name;
    return names;
}

// Decodes every top-level cell record of a sheet in record order. The sink
// gets cell(c) for each cell (MULRK and MULBLANK one by one), then text(c, t)
// for a LABEL's text or, when its STRING record follows, a formula's text result.
template <typename Sink>
bool BiffBook::visitCells(const SheetInfo& sheet, Sink& sink, Error* error) const
{
    const quint32 sstCount = quint32(sst.strings.size());
    Cell pendingString; // a formula whose text result follows in a STRING record
    bool pending = false;
    int depth = 0;
    RecordView r;

    auto tooShort = [&](qint64 pos) {
        *error = damaged(QStringLiteral("a cell record is too short"), pos);
        return false;
    };
    auto readString = [&](qint64 pos, const char* from, int size, QString* text) {
        std::vector<ContinuedReader::Segment> segments{{from, quint32(size)}};
        RecordView c;
        for (qint64 p = pos + 4 + r.size; recordAt(stream, p, &c) && c.type == rt::Continue; p += 4 + c.size)
            segments.push_back({c.data, c.size});
        ContinuedReader reader(std::move(segments));
        if (reader.readUnicodeString(text))
            return true;
        *error = damaged(QStringLiteral("a cell's text is cut off"), pos);
        return false;
    };

    for (qint64 pos = sheet.start; pos < sheet.end && recordAt(stream, pos, &r); pos += 4 + r.size) {
        // A formula's STRING comes right after it and its other trailers; the
        // writer moves nothing else with the formula, so nothing else may pair.
        if (pending && !(depth == 1 && isTrailer(r.type)))
            pending = false;
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
        const char* d = r.data;
        if (r.type == rt::String) {
            if (pending) {
                QString text;
                if (!readString(pos, d, r.size, &text))
                    return false;
                sink.text(pendingString, std::move(text));
                pending = false;
            }
            continue;
        }
        if (!isCellRecord(r.type))
            continue;
        pending = false;
        if (r.size < 6)
            return tooShort(pos);
        Cell c;
        c.row = u16(d);
        c.col = u16(d + 2);
        c.xf = u16(d + 4);
        int count = 1; // cells in the record
        switch (r.type) {
        case rt::LabelSst:
            if (r.size < 10)
                return tooShort(pos);
            c.kind = CellKind::Sst;
            c.ref = u32(d + 6);
            if (c.ref >= sstCount) {
                *error = damaged(QStringLiteral("a cell refers to shared string %1 of %2").arg(c.ref).arg(sstCount), pos);
                return false;
            }
            break;
        case rt::Number:
            if (r.size < 14)
                return tooShort(pos);
            c.kind = CellKind::Number;
            c.ref = u32(d + 6);
            c.aux = u32(d + 10);
            break;
        case rt::Rk:
            if (r.size < 10)
                return tooShort(pos);
            c.kind = CellKind::Rk;
            c.ref = u32(d + 6);
            break;
        case rt::Blank:
            c.kind = CellKind::Blank;
            break;
        case rt::BoolErr:
            if (r.size < 8)
                return tooShort(pos);
            c.kind = CellKind::BoolErr;
            c.aux = u8(d + 6);
            c.result = u8(d + 7) ? ResultKind::Error : ResultKind::Bool;
            c.ref = quint32(pos);
            break;
        case rt::Label:
        case rt::RString:
            c.kind = CellKind::Label;
            c.ref = quint32(pos);
            break;
        case rt::Formula:
            if (r.size < 20)
                return tooShort(pos);
            c.kind = CellKind::Formula;
            c.ref = quint32(pos);
            if (u16(d + 12) == 0xFFFF) {
                switch (u8(d + 6)) {
                case 0: c.result = ResultKind::Text; break;
                case 1: c.result = ResultKind::Bool; c.aux = u8(d + 8); break;
                case 2: c.result = ResultKind::Error; c.aux = u8(d + 8); break;
                default: c.result = ResultKind::Empty; break;
                }
            } else {
                c.result = ResultKind::Number;
            }
            break;
        case rt::MulRk:
            c.kind = CellKind::Rk;
            count = (r.size - 6) / 6;
            break;
        case rt::MulBlank:
            c.kind = CellKind::Blank;
            count = (r.size - 6) / 2;
            break;
        }
        if (count < 1)
            return tooShort(pos);
        if (c.col + count > MaxColumns) {
            *error = damaged(QStringLiteral("a cell lies beyond column %1").arg(MaxColumns), pos);
            return false;
        }
        if (r.type == rt::MulRk) {
            for (int k = 0; k < count; ++k, ++c.col) {
                c.xf = u16(d + 4 + 6 * k);
                c.ref = u32(d + 6 + 6 * k);
                sink.cell(c);
            }
        } else if (r.type == rt::MulBlank) {
            for (int k = 0; k < count; ++k, ++c.col) {
                c.xf = u16(d + 4 + 2 * k);
                sink.cell(c);
            }
        } else {
            sink.cell(c);
            if (c.kind == CellKind::Label) {
                QString text;
                if (!readString(pos, d + 6, r.size - 6, &text))
                    return false;
                sink.text(c, std::move(text));
            } else if (c.kind == CellKind::Formula && c.result == ResultKind::Text) {
                pendingString = c;
                pending = true;
            }
        }
    }
    return true;
}

bool BiffBook::readCells(const SheetInfo& sheet, SheetCells* out, Error* error) const
{
    struct Collect {
        SheetCells* out;
        size_t lastTextCell = 0;
        void cell(const Cell& c)
        {
            out->cells.push_back(c);
            if (c.kind == CellKind::Label || c.kind == CellKind::Formula)
                lastTextCell = out->cells.size() - 1;
        }
        void text(const Cell&, QString&& t)
        {
            out->cells[lastTextCell].aux = quint32(out->texts.size());
            out->texts.append(std::move(t));
        }
    } collect{out};
    out->cells.clear();
    out->texts = QStringList{QString()}; // formulas whose STRING is missing show this
    // A guess from the size of typical cell records; MULRK and MULBLANK may need more.
    out->cells.reserve((sheet.end - sheet.start) / 14);
    return visitCells(sheet, collect, error);
}

QString BiffBook::cellText(const SheetCells& cells, const Cell& c) const
{
    switch (c.kind) {
    case CellKind::Blank: return QString();
    case CellKind::Number: return numberText(c.number());
    case CellKind::Rk: return numberText(rkValue(c.ref));
    case CellKind::Sst: return sst.strings[c.ref].text;
    case CellKind::Label: return cells.texts.value(c.aux);
    case CellKind::BoolErr:
    case CellKind::Formula:
        switch (c.result) {
        case ResultKind::Number: return numberText(f64(stream.constData() + c.ref + 4 + 6));
        case ResultKind::Text: return cells.texts.value(c.aux);
        case ResultKind::Bool: return c.aux ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        case ResultKind::Error: return errorText(quint8(c.aux));
        default: return QString();
        }
    }
    return QString();
}

bool BiffBook::readTable(const SheetInfo& sheet, RecordTable* table, Error* error) const
{
    // One pass over the records straight into the table; trailing empty
    // fields and records are trimmed afterwards.
    struct CachedNumber {
        quint64 bits = ~0ull;
        QString text;
    };
    struct Fill {
        const BiffBook& book;
        RecordTable& table;
        // Diaries repeat a few numbers (colours) many times: their texts are shared.
        std::vector<CachedNumber> numbers = std::vector<CachedNumber>(256);
        int currentRow = -1;
        QStringList* fields = nullptr;
        QString* texts = nullptr; // fields->data(), detached
        qsizetype textCount = 0;
        // A record is usually as wide as the one before; one wide record
        // cannot make every later one that wide, as only set fields count.
        qsizetype width = 8;
        qsizetype used = 0;

        const QString& number(double v)
        {
            quint64 bits;
            std::memcpy(&bits, &v, sizeof bits);
            // A multiplicative hash: the top bits depend on every bit of the
            // value, so colours such as 255 and 16711680 do not collide.
            CachedNumber& slot = numbers[(bits * 0x9E3779B97F4A7C15ull) >> 56];
            if (slot.bits != bits) {
                slot.bits = bits;
                slot.text = numberText(v);
            }
            return slot.text;
        }
        // Switches to a record: its list is sized once, as wide as the widest
        // field set in the record before, and written through a raw pointer.
        void enterRow(quint16 row)
        {
            if (used > 0)
                width = used;
            used = 0;
            currentRow = row;
            if (row == 0) {
                fields = &table.columnNames;
            } else {
                QList<QStringList>& records = table.records;
                if (row > records.size()) {
                    // Doubling stops at the sheet's last row: never room for records that cannot be.
                    if (row > records.capacity())
                        records.reserve(std::min<qsizetype>(MaxRows - 1, std::max<qsizetype>(row, 2 * records.capacity())));
                    records.resize(row);
                }
                fields = &records[row - 1];
            }
            if (fields->isEmpty())
                fields->resize(width);
            texts = fields->data();
            textCount = fields->size();
        }
        Q_ALWAYS_INLINE QString& field(const Cell& c)
        {
            if (c.row != currentRow)
                enterRow(c.row);
            if (c.col >= textCount) {
                fields->resize(c.col + 1);
                texts = fields->data();
                textCount = fields->size();
            }
            used = std::max<qsizetype>(used, c.col + 1);
            return texts[c.col];
        }
        // An empty value adds no field, but empties one an earlier record set.
        void clear(const Cell& c)
        {
            if (c.row == currentRow) {
                if (c.col < textCount)
                    texts[c.col].clear();
                return;
            }
            if (c.row == 0 ? c.col < table.columnNames.size()
                           : c.row <= table.records.size() && c.col < table.records[c.row - 1].size())
                field(c).clear();
        }
        // Most fields are still null: copy-constructed in place, not assigned.
        Q_ALWAYS_INLINE void set(const Cell& c, const QString& text)
        {
            QString& slot = field(c);
            if (slot.isNull())
                new (&slot) QString(text);
            else
                slot = text;
        }
        // A number typed into a text cell elsewhere ("255"): listed, so that a
        // numeric column can store it back as a number.
        void noteTextNumber(const Cell& c, const QString& t)
        {
            double value;
            if (c.row > 0 && !t.isEmpty() && (t[0].isDigit() || t[0] == u'-' || t[0] == u'+' || t[0] == u' ')
                && parseNumber(t, &value))
                table.numbersAsText.append({c.row - 1, c.col});
        }
        Q_ALWAYS_INLINE void cell(const Cell& c)
        {
            switch (c.kind) {
            case CellKind::Blank:
                clear(c);
                break;
            case CellKind::Sst: {
                const QString& text = book.sst.strings[c.ref].text;
                if (text.isEmpty()) {
                    clear(c);
                } else {
                    set(c, text);
                    noteTextNumber(c, text);
                }
                break;
            }
            case CellKind::Number: set(c, number(c.number())); break;
            case CellKind::Rk: set(c, number(rkValue(c.ref))); break;
            case CellKind::Label: break; // its text follows
            case CellKind::Formula:
                if (c.result == ResultKind::Number) {
                    set(c, number(f64(book.stream.constData() + c.ref + 4 + 6)));
                    break;
                }
                if (c.result == ResultKind::Text) {
                    clear(c); // until its STRING record comes
                    break;
                }
                [[fallthrough]];
            default: {
                const QString text = book.cellText(SheetCells(), c);
                if (text.isEmpty())
                    clear(c);
                else
                    set(c, text);
            }
            }
        }
        void text(const Cell& c, QString&& t)
        {
            if (t.isEmpty()) {
                clear(c);
            } else {
                if (c.kind != CellKind::Formula) // a formula's text result is no typed number
                    noteTextNumber(c, t);
                field(c) = std::move(t);
            }
        }
    };

    *table = RecordTable();
    Fill fill{*this, *table};
    if (!visitCells(sheet, fill, error))
        return false;
    auto trim = [](QStringList& fields) {
        qsizetype n = fields.size();
        while (n > 0 && std::as_const(fields)[n - 1].isEmpty())
            --n;
        if (n < fields.size())
            fields.resize(n);
    };
    trim(table->columnNames);
    qsizetype records = 0;
    for (qsizetype r = 0; r < table->records.size(); ++r) {
        trim(table->records[r]);
        if (!table->records[r].isEmpty())
            records = r + 1;
    }
    table->records.resize(records);
    return true;
}

namespace {

// Builds the stream BiffBook::write returns, one part after the other: the
// target sheet's cells with the writes merged in, the shared string table,
// the globals, then every sheet (copied, or rewritten for the target).
class StreamRewriter {
public:
    StreamRewriter(const BiffBook& book, const SheetInfo& target) : m_book(book), m_s(book.stream), m_target(target) {}

    bool run(const std::vector<CellWrite>& writesIn, QByteArray* result, Error* error)
    {
        SheetCells sc;
        if (!m_book.readCells(m_target, &sc, error))
            return false;
        layoutSheet(m_s, m_target, &m_layout);
        std::vector<Cell> cells = std::move(sc.cells);
        sortKeepingLast(cells, [](const Cell& c) { return cellKey(c); });
        std::vector<CellWrite> writes = writesIn;
        sortKeepingLast(writes, [](const CellWrite& w) { return writeKey(w); });
        prepareStringLookup(writes);
        mergeWrites(cells, writes);
        moveSharedFormulaAnchors();
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

private:
    struct Replaced {
        quint16 row, col;
        quint32 formulaPos;
    };
    struct RowOut {
        quint16 row;
        qint64 rowPos; // its ROW record, or -1
        size_t begin, end; // its cells in m_merged
    };

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

    // A new cell takes the format of its row, else of its column, else the default.
    quint16 inheritedXf(quint16 row, quint16 col) const
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
    void prepareStringLookup(const std::vector<CellWrite>& writes)
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

    quint32 stringIndex(const QString& text)
    {
        quint32& index = m_lookup[text];
        if (index == NoString) {
            index = quint32(m_book.sst.strings.size() + m_added.size());
            m_added.push_back(text);
        }
        return index;
    }

    void mergeWrites(const std::vector<Cell>& cells, const std::vector<CellWrite>& writes)
    {
        m_merged.reserve(cells.size() + writes.size());
        size_t i = 0;
        for (const CellWrite& w : writes) {
            while (i < cells.size() && cellKey(cells[i]) < writeKey(w))
                m_merged.push_back(cells[i++]);
            const Cell* old = i < cells.size() && cellKey(cells[i]) == writeKey(w) ? &cells[i] : nullptr;
            Cell c;
            c.row = w.row;
            c.col = w.col;
            c.xf = old ? old->xf : inheritedXf(w.row, w.col);
            if (old && old->kind == CellKind::Formula)
                m_replaced.push_back({w.row, w.col, old->ref});
            bool keep = true;
            switch (w.kind) {
            case CellWrite::Empty:
                // A formatted cell stays as a blank that keeps its format.
                keep = old && old->xf != defaultXf();
                c.kind = CellKind::Blank;
                break;
            case CellWrite::Number:
                if (const auto rk = toRk(w.number)) {
                    c.kind = CellKind::Rk;
                    c.ref = *rk;
                } else {
                    c.kind = CellKind::Number;
                    c.setNumber(w.number);
                }
                break;
            case CellWrite::Text:
                c.kind = CellKind::Sst;
                c.ref = stringIndex(w.text);
                break;
            }
            if (old)
                ++i;
            if (keep)
                m_merged.push_back(c);
        }
        while (i < cells.size())
            m_merged.push_back(cells[i++]);
    }

    // A shared or array formula is defined after the FORMULA of its top-left
    // cell. When that cell is overwritten, the definition moves to the next
    // formula that still refers to it (its first token a PtgExp naming the cell).
    void moveSharedFormulaAnchors()
    {
        for (const Replaced& rep : m_replaced) {
            std::vector<quint32> anchors;
            RecordView r = recordOf(rep.formulaPos);
            for (qint64 p = rep.formulaPos + 4 + r.size; p < m_target.end && recordAt(m_s, p, &r) && isTrailer(r.type);
                 p += 4 + r.size)
                if (isAnchor(r.type) || (r.type == rt::Continue && !anchors.empty()))
                    anchors.push_back(quint32(p));
            if (anchors.empty())
                continue;
            for (const Cell& c : m_merged) {
                if (c.kind != CellKind::Formula || cellKey(c) <= (quint32(rep.row) << 16 | rep.col))
                    continue;
                const RecordView f = recordOf(c.ref);
                // cce at 20, then the tokens
                if (f.size >= 27 && u16(f.data + 20) >= 5 && u8(f.data + 22) == 0x01 && u16(f.data + 23) == rep.row
                    && u16(f.data + 25) == rep.col) {
                    m_movedAnchors.emplace_back(c.ref, std::move(anchors));
                    break;
                }
            }
        }
    }

    bool movedAway(qint64 pos) const
    {
        for (const auto& m : m_movedAnchors)
            if (std::find(m.second.begin(), m.second.end(), quint32(pos)) != m.second.end())
                return true;
        return false;
    }

    // The strings still referenced anywhere, old ones first in their old
    // order; unreferenced ones are dropped, so the table cannot grow without end.
    bool buildStringTable(Error* error)
    {
        const SharedStrings& sst = m_book.sst;
        const quint32 oldCount = quint32(sst.strings.size());
        std::vector<char> used(oldCount + m_added.size(), 0);
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
    std::vector<qint64> writeGlobals()
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
    void copySheet(const SheetInfo& sheet)
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

    // Rows with cells or a ROW record worth keeping, in order.
    std::vector<RowOut> rowsOut() const
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
            // Without cells, a ROW record stays only if it says something
            // (outline, hidden, height or format of its own).
            if (row.begin == row.end && (u32(at(row.rowPos + 4 + 12)) & 0xF7) == 0)
                continue;
            rows.push_back(row);
        }
        return rows;
    }

    void writeDimensions()
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

    // The rewritten sheet: BOF, INDEX, the records before the cell table, row
    // blocks of up to 32 rows each closed by a DBCELL, the records after.
    void writeTargetSheet()
    {
        const std::vector<RowOut> rows = rowsOut();
        std::vector<std::pair<size_t, size_t>> blocks;
        for (size_t k = 0; k < rows.size();) {
            size_t e = k + 1;
            while (e < rows.size() && rows[e].row / 32 == rows[k].row / 32)
                ++e;
            blocks.emplace_back(k, e);
            k = e;
        }

        copyRecord(m_layout.bofPos);
        const std::vector<quint32>& others = m_layout.others;
        size_t o = 0;
        if (o < m_layout.split && recordOf(others[o]).type == rt::Uncalced)
            copyRecord(others[o++]);
        const qint64 indexPos = m_out.size();
        putRecordHeader(m_out, rt::Index, 16 + 4 * int(blocks.size()));
        put32(m_out, 0);
        put32(m_out, rows.empty() ? 0 : rows.front().row);
        put32(m_out, rows.empty() ? 0 : rows.back().row + 1u);
        put32(m_out, 0);
        for (size_t b = 0; b < blocks.size(); ++b)
            put32(m_out, 0);

        qint64 defColWidthAt = -1;
        bool dimensionsDone = false;
        auto copyOther = [&](quint32 pos) {
            const quint16 type = recordOf(pos).type;
            if (type == rt::Dimensions) {
                if (!dimensionsDone)
                    writeDimensions();
                dimensionsDone = true;
                return;
            }
            if (type == rt::DefColWidth && defColWidthAt < 0)
                defColWidthAt = m_out.size();
            copyRecord(pos);
        };
        for (; o < m_layout.split; ++o)
            copyOther(others[o]);
        if (!dimensionsDone)
            writeDimensions();
        dimensionsDone = true;

        std::vector<quint32> dbcells;
        for (const auto& [first, last] : blocks) {
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
            dbcells.push_back(quint32(dbcellPos));
        }
        for (; o < others.size(); ++o)
            copyOther(others[o]);
        set32(m_out, indexPos + 4 + 12, defColWidthAt >= 0 ? quint32(defColWidthAt) : 0);
        for (size_t b = 0; b < dbcells.size(); ++b)
            set32(m_out, indexPos + 4 + 16 + 4 * qsizetype(b), dbcells[b]);
    }

    void writeRow(const RowOut& row)
    {
        putRecordHeader(m_out, rt::Row, 16);
        const qint64 data = m_out.size();
        if (row.rowPos >= 0) {
            m_out.append(at(row.rowPos + 4), 16);
        } else {
            put16(m_out, row.row);
            put32(m_out, 0);
            put16(m_out, m_layout.defaultHeight);
            put32(m_out, 0);
            put32(m_out, 0x000F0100); // default flags, as Excel writes them
        }
        const bool hasCells = row.begin < row.end;
        set16(m_out, data + 2, hasCells ? m_merged[row.begin].col : 0);
        set16(m_out, data + 4, hasCells ? m_merged[row.end - 1].col + 1 : 0);
    }

    void putCellHeader(quint16 type, int size, const Cell& c)
    {
        putRecordHeader(m_out, type, size);
        put16(m_out, c.row);
        put16(m_out, c.col);
        put16(m_out, c.xf);
    }

    // One row's cells; runs of RK and blank cells become MULRK and MULBLANK.
    void writeCells(size_t begin, size_t end)
    {
        for (size_t j = begin; j < end;) {
            const Cell& c = m_merged[j];
            if (c.kind == CellKind::Blank || c.kind == CellKind::Rk) {
                size_t e = j + 1;
                while (e < end && m_merged[e].kind == c.kind && m_merged[e].col == m_merged[e - 1].col + 1)
                    ++e;
                const bool blank = c.kind == CellKind::Blank;
                if (e - j == 1) {
                    putCellHeader(blank ? rt::Blank : rt::Rk, blank ? 6 : 10, c);
                    if (!blank)
                        put32(m_out, c.ref);
                } else {
                    putRecordHeader(m_out, blank ? rt::MulBlank : rt::MulRk, 6 + int(e - j) * (blank ? 2 : 6));
                    put16(m_out, c.row);
                    put16(m_out, c.col);
                    for (size_t k = j; k < e; ++k) {
                        put16(m_out, m_merged[k].xf);
                        if (!blank)
                            put32(m_out, m_merged[k].ref);
                    }
                    put16(m_out, m_merged[e - 1].col);
                }
                j = e;
                continue;
            }
            switch (c.kind) {
            case CellKind::Number:
                putCellHeader(rt::Number, 14, c);
                putF64(m_out, c.number());
                break;
            case CellKind::Sst:
                putCellHeader(rt::LabelSst, 10, c);
                put32(m_out, m_finalIndex[c.ref]);
                break;
            case CellKind::Formula:
                copyRecord(c.ref);
                for (const auto& [formula, anchors] : m_movedAnchors)
                    if (formula == c.ref)
                        for (quint32 a : anchors)
                            copyRecord(a);
                copyFollowing(c.ref, [&](quint16 type, qint64 p) { return isTrailer(type) && !movedAway(p); });
                break;
            default: // LABEL, RSTRING, BOOLERR as they were, a long text with its CONTINUE records
                copyRecord(c.ref);
                copyFollowing(c.ref, [](quint16 type, qint64) { return type == rt::Continue; });
                break;
            }
            ++j;
        }
    }

    const BiffBook& m_book;
    const QByteArray& m_s;
    const SheetInfo& m_target;
    SheetLayout m_layout;
    std::vector<Cell> m_merged;
    std::vector<Replaced> m_replaced;
    std::vector<std::pair<quint32, std::vector<quint32>>> m_movedAnchors; // formula -> records moved after it
    QHash<QString, quint32> m_lookup;
    std::vector<QString> m_added;          // new strings, indexed after the old ones
    std::vector<quint32> m_finalIndex;     // old or added index -> index in the new table
    std::vector<SstOut> m_strings;
    quint32 m_totalRefs = 0;
    Buffer m_out;
};

} // namespace

bool BiffBook::write(const SheetInfo& target, const std::vector<CellWrite>& writes, QByteArray* result,
                     Error* error) const
{
    return StreamRewriter(*this, target).run(writes, result, error);
}

QByteArray BiffBook::newWorkbookStream(const QString& sheetName)
{
    Buffer s;
    RecordWriter w(s);
    auto rec = [&](quint16 type, std::initializer_list<quint16> words) {
        QByteArray d;
        for (quint16 v : words)
            put16(d, v);
        w.record(type, d);
    };
    auto bof = [&](quint16 kind) {
        QByteArray d;
        put16(d, bof::Biff8);
        put16(d, kind);
        put16(d, 0x0DBB); // build and year of Excel 97
        put16(d, 0x07CC);
        put32(d, 0);
        put32(d, 0x06);
        w.record(rt::Bof, d);
    };
    auto unicode = [](QByteArray& d, const QString& text, bool shortLength) {
        const bool high = needsUtf16(text);
        if (shortLength)
            d.append(char(text.size()));
        else
            put16(d, quint16(text.size()));
        d.append(char(high ? 1 : 0));
        for (QChar c : text) {
            if (high)
                put16(d, c.unicode());
            else
                d.append(char(c.unicode()));
        }
    };

    bof(bof::Globals);
    rec(rt::InterfaceHdr, {0x04B0}); // UTF-16
    rec(rt::Mms, {0});
    rec(rt::InterfaceEnd, {});
    rec(rt::CodePage, {0x04B0});
    rec(rt::Dsf, {0});
    rec(rt::TabId, {1});
    rec(rt::FnGroupCount, {0x000E});
    rec(rt::WindowProtect, {0});
    rec(rt::Protect, {0});
    rec(rt::Password, {0});
    rec(rt::Prot4Rev, {0});
    rec(rt::Prot4RevPass, {0});
    rec(rt::Window1, {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 0x0258});
    rec(rt::Backup, {0});
    rec(rt::HideObj, {0});
    rec(rt::DateMode, {0}); // 1900
    rec(rt::Precision, {1});
    rec(rt::RefreshAll, {0});
    rec(rt::BookBool, {0});
    // Five fonts (index 4 is never used): MS PGothic 11pt, as Japanese Excel has.
    const QString fontName = QStringLiteral(u"ＭＳ Ｐゴシック");
    for (int f = 0; f < 5; ++f) {
        QByteArray d;
        put16(d, 220);                  // height in twips
        put16(d, 0);                    // attributes
        put16(d, 0x7FFF);               // automatic colour
        put16(d, f == 2 || f == 3 ? 700 : 400);
        put16(d, 0);                    // no super/subscript
        d.append(char(0));              // no underline
        d.append(char(3));              // family: modern
        d.append(char(0x80));           // Shift_JIS character set
        d.append(char(0));
        unicode(d, fontName, true);
        w.record(rt::Font, d);
    }
    // Fifteen style formats and the default cell format (XF 15).
    for (int x = 0; x < 16; ++x) {
        QByteArray d;
        const bool style = x < 15;
        put16(d, x == 1 || x == 2 ? 1 : x == 3 || x == 4 ? 2 : 0); // font
        put16(d, 0);                                            // General
        put16(d, style ? 0xFFF5 : 0x0001);                      // locked; style: no parent
        d.append(char(0x20));                                   // bottom aligned
        d.append(char(0));
        d.append(char(0));
        d.append(char(style && x > 0 ? 0xF4 : 0));
        put32(d, 0);
        put32(d, 0);
        put16(d, 0x20C0);                                       // automatic colours
        w.record(rt::Xf, d);
    }
    rec(rt::Style, {0x8000, 0xFF00}); // Normal
    rec(rt::UsesElfs, {1});
    QByteArray sheet;
    put32(sheet, 0); // stream position, set below
    sheet.append(char(0));
    sheet.append(char(0));
    unicode(sheet, sheetName, true);
    const qsizetype boundPos = s.size();
    w.record(rt::BoundSheet, sheet);
    writeSst(s, {}, 0);
    rec(rt::Eof, {});

    set32(s, boundPos + 4, quint32(s.size()));
    bof(bof::Worksheet);
    rec(rt::CalcMode, {1}); // automatic
    rec(rt::CalcCount, {100});
    rec(rt::RefMode, {1}); // A1
    rec(rt::Iteration, {0});
    {
        QByteArray d;
        putF64(d, 0.001);
        w.record(rt::Delta, d);
    }
    rec(rt::SaveRecalc, {1});
    rec(rt::PrintHeaders, {0});
    rec(rt::PrintGridlines, {0});
    rec(rt::GridSet, {1});
    rec(rt::Guts, {0, 0, 0, 0});
    rec(rt::DefaultRowHeight, {0, 270});
    rec(rt::WsBool, {0x04C1});
    rec(rt::HCenter, {0});
    rec(rt::VCenter, {0});
    rec(rt::DefColWidth, {8});
    rec(rt::Dimensions, {0, 0, 0, 0, 0, 0, 0});
    rec(rt::Window2, {0x06B6, 0, 0, 0x0040, 0, 0, 0, 0, 0});
    rec(rt::Eof, {});
    return s.take();
}

} // namespace workbook::detail
