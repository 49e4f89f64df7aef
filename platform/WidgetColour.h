// Colours a widget with a colour value: the link between the value and the controls.
#pragma once

#include "platform/ColourValue.h"

#include <QPalette>

class QWidget;

// Gives a widget's palette role the colour, resolved now, in every colour group.
void setWidgetColour(QWidget* widget, QPalette::ColorRole role, ColourValue colour);
