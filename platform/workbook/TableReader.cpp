#include "platform/workbook/CellVisitor.h"

#include <algorithm>

namespace workbook::detail {

namespace {

struct CachedNumber {
    quint64 bits = ~0ull;
    QString text;
};

// The sink that writes each cell's text into its field of the table.
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
    Q_ALWAYS_INLINE void noteTextNumber(const Cell& c, const QString& t)
    {
        // Most texts start with a letter or a kana: an ASCII test rules them out
        // before any parsing (parseNumber accepts ASCII digits only).
        const char16_t first = t.isEmpty() ? u'\0' : t.front().unicode();
        if (c.row == 0 || !((first >= u'0' && first <= u'9') || first == u'-' || first == u'+' || first == u' '))
            return;
        double value;
        if (parseNumber(t, &value))
            table.numbersAsText.append({c.row - 1, c.col});
    }
    Q_ALWAYS_INLINE void cell(const Cell& c)
    {
        switch (c.kind) {
        case CellKind::Blank: clear(c); break;
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

void trimFields(QStringList& fields)
{
    qsizetype n = fields.size();
    while (n > 0 && std::as_const(fields)[n - 1].isEmpty())
        --n;
    if (n < fields.size())
        fields.resize(n);
}

} // namespace

bool BiffBook::readTable(const SheetInfo& sheet, RecordTable* table, Error* error) const
{
    // One pass over the records straight into the table; trailing empty
    // fields and records are trimmed afterwards.
    *table = RecordTable();
    Fill fill{*this, *table};
    if (!visitCells(sheet, fill, error))
        return false;
    trimFields(table->columnNames);
    qsizetype records = 0;
    for (qsizetype r = 0; r < table->records.size(); ++r) {
        trimFields(table->records[r]);
        if (!table->records[r].isEmpty())
            records = r + 1;
    }
    table->records.resize(records);
    return true;
}

} // namespace workbook::detail
