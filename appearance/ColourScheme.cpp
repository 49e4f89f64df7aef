#include "appearance/ColourScheme.h"

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
}

ColourScheme CurrentColourScheme(const SchemeTarget& form)
{
    using Role = MonthCalendar::ColourRole;
    const MonthCalendar* calendar = form.schemeCalendar();
    return {{form.captionLabels().constFirst()->foreColour(), form.backColour(), calendar->colour(Role::DayText),
             calendar->colour(Role::DayBackground), calendar->colour(Role::TitleText),
             calendar->colour(Role::TitleBackground)}};
}
