// The settings file "inf.txt" beside the program: the colour scheme as six
// signed decimal integers, each followed by CR LF.
#pragma once

#include "appearance/ColourScheme.h"

#include <QByteArray>
#include <QString>

#include <optional>

class Form1;

namespace SettingsFile {

QString path();

// Values end at a comma or a line end; spaces before and after a value and
// blank lines are skipped. Anything short of six 32-bit integers is refused.
std::optional<ColourScheme> parse(const QByteArray& bytes);
QByteArray format(const ColourScheme& scheme);

// Reads at most this much: a good file is under a hundred bytes.
inline constexpr qint64 MaxBytes = 64 * 1024;

} // namespace SettingsFile

// Reads the settings file and applies it; a missing or bad file leaves the
// colours as they are.
void LoadColourScheme(Form1& form);

// Writes the colour settings dialog's six swatches (loading it hidden when it
// is not open) safely: a new file, flushed, renamed over the old one.
// False with a message for the user when it cannot be written.
bool SaveColourScheme(Form1& form, QString* message);
