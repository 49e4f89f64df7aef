#include "platform/workbook/Values.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace workbook {

QString normaliseLineBreaks(QString text)
{
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    return text;
}

} // namespace workbook

namespace workbook::detail {

QString numberText(double value)
{
    // Whole values as plain integers, as far as a double holds every one (2^53).
    const double magnitude = std::fabs(value);
    if (std::isfinite(value) && value == std::trunc(value) && magnitude <= 9007199254740992.0)
        return QString::number(qint64(value));
    // Others in the shortest form that reads back the same; no exponent
    // where the number is short enough to be read without one.
    if (std::isfinite(value) && magnitude >= 1e-5 && magnitude < 1e15)
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    case 0x2B: return QStringLiteral("#GETTING_DATA");
    default: return QString();
    }
}

double rkValue(quint32 rk)
{
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

std::optional<quint32> toRk(double v)
{
    constexpr double Low = -536870912.0, High = 536870911.0; // 30-bit signed integers
    if (v == std::floor(v) && v >= Low && v <= High)
        return (quint32(qint32(v)) << 2) | 2;
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    if ((bits & 0x3FFFFFFFFull) == 0)
        return quint32(bits >> 32);
    const double hundred = v * 100;
    if (hundred == std::floor(hundred) && hundred >= Low && hundred <= High && double(qint32(hundred)) / 100 == v)
        return (quint32(qint32(hundred)) << 2) | 3;
    return std::nullopt;
}

bool parseNumber(const QString& text, double* out)
{
    const QStringView t = QStringView(text).trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    auto digits = [&] {
        const qsizetype from = i;
        while (i < n && t[i] >= u'0' && t[i] <= u'9')
            ++i;
        return i - from;
    };
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    qsizetype mantissa = digits();
    if (i < n && t[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    *out = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(*out);
}

bool needsUtf16(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
}

QString decodeChars(const char* p, int count, bool highByte)
{
    if (!highByte)
        return QString::fromLatin1(p, count);
    QString s;
    appendUtf16(&s, p, count);
    return s;
}

bool prepareWrites(const QList<FieldWrite>& writes, std::vector<CellWrite>* out, Error* error)
{
    out->clear();
    out->reserve(size_t(writes.size()));
    for (const FieldWrite& w : writes) {
        if (w.record < -1 || w.record + 1 >= MaxRows || w.column < 0 || w.column >= MaxColumns) {
            *error = {ErrorKind::WriteFailed,
                      QStringLiteral("record %1, column %2 lies outside a worksheet").arg(w.record).arg(w.column)};
            return false;
        }
        CellWrite c;
        c.row = quint16(w.record + 1);
        c.col = quint16(w.column);
        const QString text = normaliseLineBreaks(w.text);
        if (text.size() > MaxCellChars) {
            *error = {ErrorKind::FieldTooLong, QStringLiteral("record %1, column %2: %3 characters, a cell holds %4")
                                                   .arg(w.record)
                                                   .arg(w.column)
                                                   .arg(text.size())
                                                   .arg(MaxCellChars)};
            return false;
        }
        if (text.isEmpty()) {
            c.kind = CellWrite::Empty;
        } else if (w.numeric && parseNumber(text, &c.number)) {
            c.kind = CellWrite::Number;
        } else {
            c.kind = CellWrite::Text;
            c.text = text;
        }
        out->push_back(std::move(c));
    }
    return true;
}

} // namespace workbook::detail
