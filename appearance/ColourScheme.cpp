#include "appearance/ColourScheme.h"

#include "appearance/SchemeTarget.h"
#include "platform/CaptionLabel.h"
#include "platform/MonthCalendar.h"

void ApplyColourScheme(SchemeTarget& form, const ColourScheme& scheme)
{
    using Role = MonthCalendar::ColourRole;
    for (CaptionLabel* label : form.captionLabels())
        label->setForeColour(scheme[ColourScheme::CaptionText]);
    form.setBackColour(scheme[ColourScheme::WindowBackground]);
    MonthCalendar* calendar = form.schemeCalendar();
    calendar->setColour(Role::DayText, scheme[ColourScheme::DayText]);
    calendar->setColour(Role::DayBackground, scheme[ColourScheme::DayBackground]);
    calendar->setColour(Role::TitleText, scheme[ColourScheme::TitleText]);
    calendar->setColour(Role::TitleBackground, scheme[ColourScheme::TitleBackground]);
    calendar->setColour(Role::TrailingText, scheme[ColourScheme::DayBackground]);
    form.m_scheme = scheme;
}

ColourScheme CurrentColourScheme(const SchemeTarget& form) { return form.m_scheme; }
