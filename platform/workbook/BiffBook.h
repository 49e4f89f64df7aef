// The BIFF8 workbook stream: its workbook-wide records (sheets, shared
// strings, formats) and every sheet's place in it. Cells are read on demand
// and written back through the sheet rewriter. Internal to the engine (tests
// and fuzzers may use it).
#pragma once

#include "platform/workbook/Cells.h"
#include "platform/workbook/RecordTypes.h"
#include "platform/workbook/SharedStrings.h"
#include "platform/workbook/Values.h"
#include "platform/workbook/Workbook.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

namespace workbook::detail {

struct SheetInfo {
    QString name;
    quint8 kind = 0;      // BOUNDSHEET dt: 0 worksheet, 1 macro sheet, 2 chart, 6 VBA module
    quint32 boundPos = 0; // stream position of its BOUNDSHEET record
    quint32 start = 0;    // its BOF
    quint32 end = 0;      // just past its EOF
};

class BiffBook {
public:
    // Parses the globals and finds every sheet's substream. Cells are read on demand.
    static bool parse(const QByteArray& stream, BiffBook* book, Error* error);

    // A worksheet, rather than a chart or macro sheet: one readTable can read.
    bool isWorksheet(const SheetInfo& sheet) const;
    const SheetInfo* findWorksheet(const QString& name) const;
    QStringList worksheetNames() const;

    bool readCells(const SheetInfo& sheet, SheetCells* out, Error* error) const;
    // Defined in CellVisitor.h.
    template <typename Sink>
    bool visitCells(const SheetInfo& sheet, Sink& sink, Error* error) const;
    bool readTable(const SheetInfo& sheet, RecordTable* table, Error* error) const;
    QString cellText(const SheetCells& cells, const Cell& cell) const;

    // A new stream: this one with the writes applied to the sheet. Everything
    // else is carried over; the shared strings are rebuilt (unreferenced ones
    // dropped) and every stream position is fixed up.
    bool write(const SheetInfo& sheet, const std::vector<CellWrite>& writes, QByteArray* out, Error* error) const;

    // The stream of a workbook with one empty worksheet.
    static QByteArray newWorkbookStream(const QString& sheetName);

    QByteArray stream;
    quint32 globalsEnd = 0;
    std::vector<SheetInfo> sheets;
    SharedStrings sst;
    qint64 sstPos = -1; // SST record and the CONTINUE records after it: [sstPos, sstEnd)
    qint64 sstEnd = -1;
    int xfCount = 0;
};

} // namespace workbook::detail
