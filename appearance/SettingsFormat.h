// The text of the settings file: six signed decimal colour values in scheme
// order, each followed by CR LF.
#pragma once

#include "appearance/ColourScheme.h"

#include <QByteArray>

#include <optional>

namespace SettingsFile {

// Values end at a comma or a line end; spaces before and after a value and
// blank lines are skipped; what follows the sixth value is ignored. Anything
// short of six 32-bit integers is refused.
std::optional<ColourScheme> parse(const QByteArray& bytes);
QByteArray format(const ColourScheme& scheme);

// Reads at most this much: a good file is under a hundred bytes.
inline constexpr qint64 MaxBytes = 64 * 1024;

} // namespace SettingsFile
