// Colour values on screen: resolving a value against a palette, reading a
// chosen QColor back, and colouring a widget. The value itself (ColourValue.h)
// needs none of this.
#pragma once

#include "platform/ColourValue.h"

#include <QColor>
#include <QPalette>

class QWidget;

// The colour to draw with, from the given palette for system references.
QColor resolveColour(ColourValue colour, const QPalette& palette);
// The plain colour value of a colour on screen.
ColourValue colourValueOf(const QColor& colour);

// Gives a widget's palette role the colour, resolved now, in every colour group.
void setWidgetColour(QWidget* widget, QPalette::ColorRole role, ColourValue colour);
