#include "platform/HiddenField.h"

HiddenField::HiddenField(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QWidget::setVisible(false);
}
