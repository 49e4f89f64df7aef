// Qt's own texts in Japanese whatever the locale: the entry boxes' menu, the
// file, print and colour dialogs and the message boxes' buttons, from the
// system's Qt translations (Debian's qt6-translations-l10n). Everything the
// pupil sees is Japanese.
#pragma once

class QCoreApplication;

namespace QtJapanese {

// False when the translations are not installed; Qt's texts stay English.
bool install(QCoreApplication& app);

} // namespace QtJapanese
