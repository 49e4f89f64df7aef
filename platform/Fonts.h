// The diary's fonts, asked for by their Japanese face names and substituted
// with installed proportional Japanese faces.
#pragma once

#include <QFont>

namespace Fonts {

inline const QString Gothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString Mincho = QStringLiteral("ＭＳ Ｐ明朝");

// Registers the substitutions and makes the 9-point Gothic the default user-
// interface font, as on a Japanese desktop; call once after the application exists.
void installSubstitutions();

QFont font(const QString& face, double points, bool bold = false, bool italic = false);

} // namespace Fonts
