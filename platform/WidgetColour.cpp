#include "platform/WidgetColour.h"

#include <QApplication>
#include <QWidget>

void setWidgetColour(QWidget* widget, QPalette::ColorRole role, ColourValue colour)
{
    QPalette p = widget->palette();
    const QColor resolved = colour.resolve(QApplication::palette());
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, role, resolved);
    widget->setPalette(p);
}
