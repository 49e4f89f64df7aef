#include "platform/ColourValue.h"

#include <limits>

std::optional<ColourValue> ColourValue::fromText(const QString& text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return ColourValue(qint32(v));
}
