#include "appearance/SettingsFormat.h"

#include <limits>

namespace SettingsFile {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

std::optional<qint32> parseInteger(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toByteArray().toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

} // namespace

std::optional<ColourScheme> parse(const QByteArray& bytes)
{
    ColourScheme scheme;
    qsizetype pos = 0;
    const qsizetype end = bytes.size();
    for (int i = 0; i < 6; ++i) {
        while (pos < end && (isSpace(bytes[pos]) || bytes[pos] == '\r' || bytes[pos] == '\n'))
            ++pos;
        const qsizetype start = pos;
        while (pos < end && bytes[pos] != ',' && bytes[pos] != '\r' && bytes[pos] != '\n')
            ++pos;
        const auto value = parseInteger(QByteArrayView(bytes).sliced(start, pos - start));
        if (!value)
            return std::nullopt;
        scheme.colours[size_t(i)] = ColourValue(*value);
        if (pos < end && bytes[pos] == ',')
            ++pos;
    }
    return scheme;
}

QByteArray format(const ColourScheme& scheme)
{
    QByteArray out;
    for (ColourValue colour : scheme.colours)
        out += QByteArray::number(colour.raw()) + "\r\n";
    return out;
}

} // namespace SettingsFile
