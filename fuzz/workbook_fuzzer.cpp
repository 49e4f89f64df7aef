// Raw bytes as nikki.xls, all in memory: through the compound file, the
// workbook records and the shared strings to the day records. On some inputs
// fields are written back, and the new file must read back holding exactly
// the old tables with those fields changed.
#include "platform/workbook/Workbook.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <vector>

using namespace workbook;

namespace {

void require(bool ok, const char* what, const Error& error = Error())
{
    if (ok)
        return;
    std::fprintf(stderr, "workbook_fuzzer: %s (%d: %s)\n", what, int(error.kind), qPrintable(error.detail));
    std::abort();
}

bool oneOf(ErrorKind kind, std::initializer_list<ErrorKind> kinds)
{
    for (ErrorKind k : kinds)
        if (k == kind)
            return true;
    return false;
}

// A write costs as much as several reads: one input in eight is written,
// chosen by its bytes so that every finding replays. Replays write them all.
bool chosenForWriting(const uint8_t* data, size_t size)
{
    static const bool all = qEnvironmentVariableIsSet("WORKBOOK_FUZZER_WRITE_ALL");
    if (all)
        return true;
    quint32 h = 2166136261u ^ quint32(size);
    for (size_t i = 0; i < size; i += 61)
        h = (h ^ data[i]) * 16777619u;
    return (h >> 13 & 7) == 0;
}

// The table readTable() must give after the writes: as before, the written
// fields changed, trailing empty fields and records trimmed.
RecordTable applied(RecordTable table, const QList<FieldWrite>& writes)
{
    for (const FieldWrite& w : writes) {
        QStringList& fields = w.record < 0 ? table.columnNames : [&]() -> QStringList& {
            if (w.record >= table.records.size())
                table.records.resize(w.record + 1);
            return table.records[w.record];
        }();
        if (w.column >= fields.size())
            fields.resize(w.column + 1);
        fields[w.column] = normaliseLineBreaks(w.text);
    }
    auto trim = [](QStringList& fields) {
        while (!fields.isEmpty() && fields.back().isEmpty())
            fields.removeLast();
    };
    trim(table.columnNames);
    for (QStringList& fields : table.records)
        trim(fields);
    while (!table.records.isEmpty() && table.records.back().isEmpty())
        table.records.removeLast();
    return table;
}

// Equal tables, or the first difference printed.
bool same(const RecordTable& got, const RecordTable& want)
{
    if (got.columnNames == want.columnNames && got.records == want.records)
        return true;
    const qsizetype rows = std::max(got.records.size(), want.records.size());
    for (qsizetype r = -1; r < rows; ++r) {
        for (int c = 0; c < 256; ++c) {
            if (got.field(int(r), c) != want.field(int(r), c)) {
                std::fprintf(stderr, "record %lld, column %d: read \"%s\", expected \"%s\"\n", (long long)r, c,
                             qPrintable(got.field(int(r), c)), qPrintable(want.field(int(r), c)));
                return false;
            }
        }
    }
    std::fprintf(stderr, "the tables differ only in trailing empty fields\n");
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Error error;
    const auto book = Workbook::openBytes(bytes, &error);
    if (!book) {
        require(
            oneOf(error.kind, {ErrorKind::NotWorkbook, ErrorKind::OldFormat, ErrorKind::Encrypted, ErrorKind::Damaged})
                && !error.detail.isEmpty(),
            "open refused with an unexpected error", error);
        return 0;
    }
    const QStringList names = book->sheetNames();
    std::vector<std::pair<QString, RecordTable>> tables;
    for (const QString& name : names) {
        RecordTable table;
        if (book->readTable(name, &table, &error))
            tables.emplace_back(name, std::move(table));
        else
            require(oneOf(error.kind, {ErrorKind::NoSheet, ErrorKind::Damaged}), "read failed unexpectedly", error);
    }
    if (tables.empty() || !chosenForWriting(data, size))
        return 0;

    const QString target = tables.front().first;
    const RecordTable& before = tables.front().second;
    const QList<FieldWrite> writes{
        {-1, 0, QStringLiteral("日記\nfuzz"), false},
        {0, 1, QStringLiteral("-2147483640"), true},
        {1, 0, QString(), false},
        {2, 3, QStringLiteral("0.1"), true},
        // A text the table may hold already: the shared string is reused.
        {3, 2, before.field(0, 0).isEmpty() ? QStringLiteral("晴れ") : before.field(0, 0), false},
    };
    QByteArray file;
    if (!book->rewrite(target, writes, &file, &error)) {
        require(error.kind == ErrorKind::Damaged, "rewrite failed unexpectedly", error);
        return 0;
    }
    const auto again = Workbook::openBytes(file, &error);
    require(again != nullptr, "the rewritten workbook does not open", error);
    require(again->sheetNames() == names, "the rewritten workbook has other sheets");
    for (auto& [name, table] : tables) {
        RecordTable after;
        require(again->readTable(name, &after, &error), "a rewritten sheet does not read", error);
        // Moved, not copied: a table of 65,536 records is costly to copy.
        require(same(after, name == target ? applied(std::move(table), writes) : table),
                "a rewritten sheet reads differently");
    }
    return 0;
}
