#include "platform/CaptionLabel.h"

#include "platform/WidgetColour.h"

#include <QApplication>
#include <QMouseEvent>

CaptionLabel::CaptionLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFocusPolicy(Qt::NoFocus);
    setMargin(0);
    setIndent(0);
}

void CaptionLabel::setForeColour(ColourValue colour)
{
    m_fore = colour;
    applyForeColour();
}

void CaptionLabel::applyForeColour() { setWidgetColour(this, QPalette::WindowText, m_fore); }

void CaptionLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void CaptionLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange && m_fore.isSystem())
        applyForeColour();
}
