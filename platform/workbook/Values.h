// Cell values as the file holds them and as the table shows them: numbers,
// RK numbers, error codes, 8-bit and UTF-16 characters, field texts to write.
#pragma once

#include "platform/workbook/Bytes.h"
#include "platform/workbook/Workbook.h"

#include <QString>

#include <optional>
#include <vector>

namespace workbook::detail {

inline constexpr int MaxRows = 65536;
inline constexpr int MaxColumns = 256;

// Text of a number as the table shows it: whole values as integers, others
// in the shortest form that reads back to the same double.
QString numberText(double value);
double rkValue(quint32 rk);
// The RK form of a number, when one holds it exactly.
std::optional<quint32> toRk(double v);
QString errorText(quint8 code);
// A decimal number, surrounding spaces allowed; no hex, infinities or NaN.
bool parseNumber(const QString& text, double* out);

// Whether the text has a character outside Latin-1, so that it must be stored as UTF-16.
bool needsUtf16(const QString& text);

inline void appendLatin1(QString* out, const char* p, qsizetype n) { out->append(QLatin1String(p, n)); }

inline void appendUtf16(QString* out, const char* p, qsizetype n)
{
    const qsizetype old = out->size();
    if (old == 0)
        *out = QString(n, Qt::Uninitialized);
    else
        out->resize(old + n);
    char16_t* dst = reinterpret_cast<char16_t*>(out->data()) + old;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        std::memcpy(dst, p, size_t(n) * 2);
    } else {
        for (qsizetype i = 0; i < n; ++i)
            dst[i] = u16(p + 2 * i);
    }
}

// count characters, 8-bit (Latin-1) or UTF-16 as highByte says.
QString decodeChars(const char* p, int count, bool highByte);

// A field write checked and ready: text normalised, numbers parsed.
struct CellWrite {
    enum Kind : quint8 { Empty, Text, Number };
    quint16 row = 0;
    quint16 col = 0;
    Kind kind = Empty;
    double number = 0;
    QString text;
};

// Checks sizes and positions, turns line breaks into LF and numeric texts
// into numbers. FieldTooLong or WriteFailed (a position outside the sheet).
bool prepareWrites(const QList<FieldWrite>& writes, std::vector<CellWrite>* out, Error* error);

} // namespace workbook::detail
