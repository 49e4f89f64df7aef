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
