#include "appearance/ColourScheme.h"

#include "main_window/Form1.h"
#include "platform/CaptionLabel.h"
#include "platform/MonthCalendar.h"

void ApplyColourScheme(Form1& form, const ColourScheme& scheme)
{
    using Role = MonthCalendar::ColourRole;
    for (CaptionLabel* label : form.captionLabels())
        label->setForeColour(scheme[ColourScheme::CaptionText]);
    form.setBackColour(scheme[ColourScheme::WindowBackground]);
    MonthCalendar* calendar = form.MonthView1;
    calendar->setColour(Role::DayText, scheme[ColourScheme::DayText]);
    calendar->setColour(Role::DayBackground, scheme[ColourScheme::DayBackground]);
    calendar->setColour(Role::TitleText, scheme[ColourScheme::TitleText]);
    calendar->setColour(Role::TitleBackground, scheme[ColourScheme::TitleBackground]);
    calendar->setColour(Role::TrailingText, scheme[ColourScheme::DayBackground]);
}

ColourScheme CurrentColourScheme(const Form1& form)
{
    using Role = MonthCalendar::ColourRole;
    const MonthCalendar* calendar = form.MonthView1;
    return {{form.Label1->foreColour(), form.backColour(), calendar->colour(Role::DayText),
             calendar->colour(Role::DayBackground), calendar->colour(Role::TitleText),
             calendar->colour(Role::TitleBackground)}};
}
