#include "platform/workbook/BiffBook.h"

#include "platform/workbook/ContinuedReader.h"
#include "platform/workbook/Records.h"

#include <algorithm>

namespace workbook::detail {

namespace {

// The stream must open with the BOF of BIFF8 workbook globals.
bool checkGlobalsBof(const QByteArray& stream, Error* error)
{
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
    return true;
}

bool readBoundSheet(const RecordView& r, qint64 pos, BiffBook* book, Error* error)
{
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
    return true;
}

// The SST record at pos and its CONTINUE records; next moves past them.
bool readSst(qint64 pos, qint64* next, BiffBook* book, Error* error)
{
    if (book->sstPos >= 0) {
        *error = damaged(QStringLiteral("a second shared string table"), pos);
        return false;
    }
    ContinuedReader reader = continuedRecord(book->stream, pos, 0, next);
    QString problem;
    if (!SharedStrings::parse(reader, &book->sst, &problem)) {
        *error = damaged(problem, pos);
        return false;
    }
    book->sstPos = pos;
    book->sstEnd = *next;
    return true;
}

// The workbook-wide records up to the globals' EOF.
bool readGlobals(BiffBook* book, Error* error)
{
    const QByteArray& stream = book->stream;
    RecordView r;
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
        case rt::BoundSheet:
            if (!readBoundSheet(r, pos, book, error))
                return false;
            break;
        case rt::Sst:
            if (!readSst(pos, &next, book, error))
                return false;
            break;
        case rt::Xf: ++book->xfCount; break;
        case rt::Eof: ended = true; break;
        default: break;
        }
        pos = next;
    }
    book->globalsEnd = quint32(pos);
    return true;
}

// Finds where the sheet's substream ends: just past the EOF that matches its BOF.
bool findSheetEnd(const QByteArray& stream, qint64 globalsEnd, SheetInfo* sheet, Error* error)
{
    qint64 p = sheet->start;
    RecordView r;
    if (p < globalsEnd || !recordAt(stream, p, &r) || r.type != rt::Bof || r.size < 4) {
        *error = damaged(QStringLiteral("sheet \"%1\" does not start with a BOF record").arg(sheet->name), p);
        return false;
    }
    // Only the record headers matter here: a tight loop over them.
    const char* base = stream.constData();
    for (int depth = 0;;) {
        if (p + 4 > stream.size() || p + 4 + u16(base + p + 2) > stream.size()) {
            *error = damaged(QStringLiteral("sheet \"%1\" ends early").arg(sheet->name), p);
            return false;
        }
        const quint16 type = u16(base + p);
        p += 4 + u16(base + p + 2);
        if (type == rt::Bof)
            ++depth;
        else if (type == rt::Eof && --depth == 0)
            break;
    }
    sheet->end = quint32(p);
    return true;
}

bool checkSheetsApart(const std::vector<SheetInfo>& sheets, Error* error)
{
    std::vector<std::pair<quint32, quint32>> ranges;
    for (const SheetInfo& sheet : sheets)
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

} // namespace

bool BiffBook::parse(const QByteArray& stream, BiffBook* book, Error* error)
{
    *book = BiffBook();
    book->stream = stream;
    if (!checkGlobalsBof(stream, error) || !readGlobals(book, error))
        return false;
    for (SheetInfo& sheet : book->sheets)
        if (!findSheetEnd(stream, book->globalsEnd, &sheet, error))
            return false;
    return checkSheetsApart(book->sheets, error);
}

bool BiffBook::isWorksheet(const SheetInfo& sheet) const
{
    return u16(stream.constData() + sheet.start + 4 + 2) == bof::Worksheet;
}

const SheetInfo* BiffBook::findWorksheet(const QString& name) const
{
    for (const SheetInfo& sheet : sheets)
        if (sheet.name == name && isWorksheet(sheet))
            return &sheet;
    // Excel treats sheet names without regard to case.
    for (const SheetInfo& sheet : sheets)
        if (sheet.name.compare(name, Qt::CaseInsensitive) == 0 && isWorksheet(sheet))
            return &sheet;
    return nullptr;
}

QStringList BiffBook::worksheetNames() const
{
    QStringList names;
    for (const SheetInfo& sheet : sheets)
        if (isWorksheet(sheet))
            names << sheet.name;
    return names;
}

} // namespace workbook::detail
