#include "platform/ColourSwatch.h"

#include "platform/WidgetColour.h"

#include <QPainter>

ColourSwatch::ColourSwatch(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void ColourSwatch::setColour(ColourValue colour)
{
    m_colour = colour;
    // A screen reader says the colour the sample shows.
    const QColor shown = resolveColour(colour, palette());
    setAccessibleDescription(
        QStringLiteral("赤 %1、緑 %2、青 %3").arg(shown.red()).arg(shown.green()).arg(shown.blue()));
    update();
}

void ColourSwatch::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), resolveColour(m_colour, palette()));
    }
    QFrame::paintEvent(event);
}
