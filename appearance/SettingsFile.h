// The settings file "inf.txt" beside the program: the colour scheme as six
// signed decimal integers, each followed by CR LF.
#pragma once

#include "appearance/ColourScheme.h"
#include "appearance/SettingsFormat.h"

#include <QString>

namespace SettingsFile {

QString path();

} // namespace SettingsFile

// Reads the settings file and applies it; a missing or bad file leaves the
// colours as they are.
void LoadColourScheme(SchemeTarget& form);

// Writes the scheme safely: a new file, flushed, renamed over the old one.
// False with a message for the user when it cannot be written.
bool SaveColourScheme(const ColourScheme& scheme, QString* message);
