// The shared 32-bit colour value: 0x00BBGGRR for a plain colour, or a reference
// to a system colour (top bit set, low byte the index) that is resolved against
// the desktop's palette only when something is drawn with it (WidgetColour.h);
// the value itself needs Qt Core alone, so the diary model can hold it.
#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

class ColourValue {
public:
    // System colour indices the diary names.
    static constexpr int WindowBackground = 5;
    static constexpr int WindowText = 8;
    static constexpr int Highlight = 13;
    static constexpr int ButtonFace = 15;

    constexpr ColourValue() = default;
    constexpr explicit ColourValue(qint32 raw)
        : m_raw(raw)
    {
    }

    static constexpr ColourValue fromRgb(int red, int green, int blue)
    {
        return ColourValue(qint32((blue & 0xFF) << 16 | (green & 0xFF) << 8 | (red & 0xFF)));
    }
    static constexpr ColourValue system(int index) { return ColourValue(qint32(0x80000000u | quint32(index & 0xFF))); }

    constexpr qint32 raw() const { return m_raw; }
    constexpr bool isSystem() const { return m_raw < 0; }
    constexpr int systemIndex() const { return m_raw & 0xFF; }

    // Decimal text as the diary stores it: "-" only when negative, no leading zeros.
    QString toText() const { return QString::number(m_raw); }
    // Reads such text back; spaces around it are tolerated, anything else is not.
    static std::optional<ColourValue> fromText(const QString& text);

    friend constexpr bool operator==(ColourValue a, ColourValue b) { return a.m_raw == b.m_raw; }

private:
    qint32 m_raw = 0;
};

Q_DECLARE_METATYPE(ColourValue)
