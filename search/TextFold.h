// The form texts are compared in when the pupil searches the diary: what a
// Japanese reader takes for the same letters folds to the same characters.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace TextFold {

// Compatibility forms to their plain form as NFKC does (full-width Latin and
// digits, half-width katakana with their voicing marks, ㌔), katakana to
// hiragana, and letters to their case-folded form. Line breaks fold to
// nothing: a phrase reads on across the break the box's width put in it.
QString fold(QStringView text);

// The same, with where each folded character comes from: from[i] is the
// position in text of the character (or character with its marks) that
// folded character i was made of.
QString fold(QStringView text, QList<qsizetype>* from);

// The part of the original text that folded characters [start, start + length)
// were made of: {position, length} in text.
std::pair<qsizetype, qsizetype> originalSpan(const QList<qsizetype>& from, qsizetype textLength, qsizetype start,
                                             qsizetype length);

} // namespace TextFold
