#include "platform/FaceButton.h"

#include "platform/WidgetColour.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

FaceButton::FaceButton(const QString& text, ColourValue face, QWidget* parent)
    : QPushButton(text, parent)
{
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAutoDefault(false);
    setWidgetColour(this, QPalette::Button, face);
}

void FaceButton::paintEvent(QPaintEvent*)
{
    // The style draws the border and the focus cue; the face inside it is the
    // button's own colour, flat, where the style would lighten it into a gradient.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawPrimitive(QStyle::PE_PanelButtonCommand, option);
    QColor face = palette().color(QPalette::Button);
    if (isDown())
        face = face.darker(110);
    // Inside the outline and its inner line, whichever pixel row a style puts them on.
    painter.fillRect(rect().adjusted(2, 2, -2, -2), face);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        focus.backgroundColor = face;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
    option.rect = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
}
