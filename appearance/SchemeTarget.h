// What a colour scheme colours: the window that puts the scheme into force
// implements this, so the scheme's code needs nothing else of it. The window
// keeps the scheme in force too; ApplyColourScheme is the only way to change it.
#pragma once

#include "appearance/ColourScheme.h"
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
    virtual void setBackColour(ColourValue colour) = 0;

private:
    friend void ApplyColourScheme(SchemeTarget& form, const ColourScheme& scheme);
    friend ColourScheme CurrentColourScheme(const SchemeTarget& form);
    ColourScheme m_scheme;
};
