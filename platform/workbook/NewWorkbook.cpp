// The new-workbook template: the records Excel 97 writes for a workbook
// with one empty worksheet, as Japanese Excel sets it up.
#include "platform/workbook/BiffBook.h"

#include "platform/workbook/Records.h"

namespace workbook::detail {

namespace {

class TemplateWriter {
public:
    explicit TemplateWriter(Buffer& s)
        : m_s(s)
        , m_w(s)
    {
    }

    // A record of 16-bit words.
    void rec(quint16 type, std::initializer_list<quint16> words)
    {
        QByteArray d;
        for (quint16 v : words)
            put16(d, v);
        m_w.record(type, d);
    }

    void bof(quint16 kind)
    {
        QByteArray d;
        put16(d, bof::Biff8);
        put16(d, kind);
        put16(d, 0x0DBB); // build and year of Excel 97
        put16(d, 0x07CC);
        put32(d, 0);
        put32(d, 0x06);
        m_w.record(rt::Bof, d);
    }

    // An XLUnicodeString: 8- or 16-bit length, then Latin-1 or UTF-16 characters.
    static void unicode(QByteArray& d, const QString& text, bool shortLength)
    {
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
    }

    void workbookSettings();
    void fonts();
    void formats();
    // Returns where the BOUNDSHEET went, for its sheet position.
    qsizetype boundSheet(const QString& sheetName);
    void worksheet();

private:
    Buffer& m_s;
    RecordWriter m_w;
};

void TemplateWriter::workbookSettings()
{
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
}

// Five fonts (index 4 is never used): MS PGothic 11pt, as Japanese Excel has.
void TemplateWriter::fonts()
{
    const QString fontName = QStringLiteral(u"ＭＳ Ｐゴシック");
    for (int f = 0; f < 5; ++f) {
        QByteArray d;
        put16(d, 220);    // height in twips
        put16(d, 0);      // attributes
        put16(d, 0x7FFF); // automatic colour
        put16(d, f == 2 || f == 3 ? 700 : 400);
        put16(d, 0);          // no super/subscript
        d.append(char(0));    // no underline
        d.append(char(3));    // family: modern
        d.append(char(0x80)); // Shift_JIS character set
        d.append(char(0));
        unicode(d, fontName, true);
        m_w.record(rt::Font, d);
    }
}

// Fifteen style formats and the default cell format (XF 15).
void TemplateWriter::formats()
{
    for (int x = 0; x < 16; ++x) {
        QByteArray d;
        const bool style = x < 15;
        put16(d, x == 1 || x == 2 ? 1 : x == 3 || x == 4 ? 2 : 0); // font
        put16(d, 0);                                               // General
        put16(d, style ? 0xFFF5 : 0x0001);                         // locked; style: no parent
        d.append(char(0x20));                                      // bottom aligned
        d.append(char(0));
        d.append(char(0));
        d.append(char(style && x > 0 ? 0xF4 : 0));
        put32(d, 0);
        put32(d, 0);
        put16(d, 0x20C0); // automatic colours
        m_w.record(rt::Xf, d);
    }
}

qsizetype TemplateWriter::boundSheet(const QString& sheetName)
{
    QByteArray sheet;
    put32(sheet, 0); // stream position, set by the caller
    sheet.append(char(0));
    sheet.append(char(0));
    unicode(sheet, sheetName, true);
    const qsizetype boundPos = m_s.size();
    m_w.record(rt::BoundSheet, sheet);
    return boundPos;
}

void TemplateWriter::worksheet()
{
    bof(bof::Worksheet);
    rec(rt::CalcMode, {1}); // automatic
    rec(rt::CalcCount, {100});
    rec(rt::RefMode, {1}); // A1
    rec(rt::Iteration, {0});
    QByteArray delta;
    putF64(delta, 0.001);
    m_w.record(rt::Delta, delta);
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
}

} // namespace

QByteArray BiffBook::newWorkbookStream(const QString& sheetName)
{
    Buffer s;
    TemplateWriter w(s);
    w.bof(bof::Globals);
    w.workbookSettings();
    w.fonts();
    w.formats();
    w.rec(rt::Style, {0x8000, 0xFF00}); // Normal
    w.rec(rt::UsesElfs, {1});
    const qsizetype boundPos = w.boundSheet(sheetName);
    writeSst(s, {}, 0);
    w.rec(rt::Eof, {});
    set32(s, boundPos + 4, quint32(s.size()));
    w.worksheet();
    return s.take();
}

} // namespace workbook::detail
