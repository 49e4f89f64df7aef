// The six-colour scheme of the main window: caption text, window background,
// calendar day text, day background, title text and title background.
#pragma once

#include "platform/ColourValue.h"

#include <array>

class SchemeTarget;

struct ColourScheme {
    enum Role { CaptionText, WindowBackground, DayText, DayBackground, TitleText, TitleBackground };
    std::array<ColourValue, 6> colours{};

    ColourValue operator[](int role) const { return colours[size_t(role)]; }
    friend bool operator==(const ColourScheme& a, const ColourScheme& b) { return a.colours == b.colours; }
};

// Puts the scheme into force: the thirteen captions, the window background,
// then the calendar's day text, day background, title text, title background
// and, last, its trailing days in the day background colour. The window keeps
// it as the scheme in force.
void ApplyColourScheme(SchemeTarget& form, const ColourScheme& scheme);

// The scheme in force: the one last applied to the window.
ColourScheme CurrentColourScheme(const SchemeTarget& form);
