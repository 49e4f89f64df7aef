#include "platform/WidgetColour.h"

#include <QApplication>
#include <QWidget>

namespace {

// The standard system colour indices, each mapped to the palette role that
// plays the same part on this desktop.
QColor systemColour(int index, const QPalette& p)
{
    using R = QPalette::ColorRole;
    switch (index) {
    case 0: return p.color(R::Button);                          // scroll bar
    case 1: return p.color(R::Dark);                            // desktop
    case 2: return p.color(R::Highlight);                       // active caption
    case 3: return p.color(R::Mid);                             // inactive caption
    case 4: return p.color(R::Window);                          // menu
    case 5: return p.color(R::Base);                            // window background
    case 6: return p.color(R::Shadow);                          // window frame
    case 7: return p.color(R::WindowText);                      // menu text
    case 8: return p.color(R::Text);                            // window text
    case 9: return p.color(R::HighlightedText);                 // active caption text
    case 10: return p.color(R::Button);                         // active border
    case 11: return p.color(R::Button);                         // inactive border
    case 12: return p.color(R::Mid);                            // application workspace
    case 13: return p.color(R::Highlight);                      // highlight
    case 14: return p.color(R::HighlightedText);                // highlighted text
    case 15: return p.color(R::Button);                         // button face
    case 16: return p.color(R::Dark);                           // button shadow
    case 17: return p.color(QPalette::Disabled, R::Text);       // grey text
    case 18: return p.color(R::ButtonText);                     // button text
    case 19: return p.color(QPalette::Disabled, R::WindowText); // inactive caption text
    case 20: return p.color(R::Light);                          // button highlight
    case 21: return p.color(R::Shadow);                         // 3D dark shadow
    case 22: return p.color(R::Midlight);                       // 3D light
    case 23: return p.color(R::ToolTipText);                    // tooltip text
    case 24: return p.color(R::ToolTipBase);                    // tooltip background
    default: return p.color(R::Text);
    }
}

} // namespace

ColourValue colourValueOf(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return ColourValue::fromRgb(rgb.red(), rgb.green(), rgb.blue());
}

QColor resolveColour(ColourValue colour, const QPalette& palette)
{
    if (colour.isSystem())
        return systemColour(colour.systemIndex(), palette);
    const quint32 v = quint32(colour.raw());
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

void setWidgetColour(QWidget* widget, QPalette::ColorRole role, ColourValue colour)
{
    QPalette p = widget->palette();
    const QColor resolved = resolveColour(colour, QApplication::palette());
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, role, resolved);
    widget->setPalette(p);
}
