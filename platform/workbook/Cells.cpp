#include "platform/workbook/CellVisitor.h"

namespace workbook::detail {

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

} // namespace workbook::detail
