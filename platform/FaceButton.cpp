#include "platform/FaceButton.h"

FaceButton::FaceButton(const QString& text, ColourValue face, QWidget* parent)
    : QPushButton(text, parent)
    , m_face(face)
{
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAutoDefault(false);
    setWidgetColour(this, QPalette::Button, face);
}
