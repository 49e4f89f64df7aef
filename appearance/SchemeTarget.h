// What a colour scheme colours: the window that puts the scheme into force
// implements this, so the scheme's code needs nothing else of it.
#pragma once

#include "platform/ColourValue.h"

#include <QList>

class CaptionLabel;
class MonthCalendar;

class SchemeTarget {
public:
    virtual ~SchemeTarget() = default;
    // The caption labels, in the order the scheme sets them.
    virtual QList<CaptionLabel*> captionLabels() const = 0;
    virtual MonthCalendar* schemeCalendar() const = 0;
    virtual ColourValue backColour() const = 0;
    virtual void setBackColour(ColourValue colour) = 0;
};
