#include "platform/CaptionLabel.h"

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

void CaptionLabel::applyForeColour()
{
    QPalette p = palette();
    const QColor c = m_fore.resolve(QApplication::palette());
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::WindowText, c);
    setPalette(p);
}

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
