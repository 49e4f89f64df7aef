#include "search/TextFold.h"

namespace TextFold {

namespace {

// Marks that compose with the character before them under NFKC: those two
// must be folded together (ｶﾞ is one ガ).
bool composesWithPrevious(char16_t c)
{
    if (c < 0x300)
        return false;
    return c == 0xFF9E || c == 0xFF9F || QChar::isMark(c);
}

char16_t hiraganaOf(char16_t c)
{
    if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE) // ァ ... ヶ, ヽ ヾ
        return char16_t(c - 0x60);
    return c;
}

// The characters a diary is mostly written in, folded without asking Qt's
// normalisation (which makes a string for every call); 0 for the others.
char16_t quickFold(char16_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? char16_t(c + 0x20) : c;
    if ((c >= 0x3041 && c <= 0x3096) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3001 && c <= 0x3011) || c == 0x30FC)
        return c; // hiragana, kanji, 、。「」【】, ー: already folded
    if ((c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE)
        return hiraganaOf(c);
    if (c >= 0xFF01 && c <= 0xFF5E) { // full-width ASCII
        const auto ascii = char16_t(c - 0xFEE0);
        return ascii >= 'A' && ascii <= 'Z' ? char16_t(ascii + 0x20) : ascii;
    }
    if (c == 0x3000)
        return u' ';
    return 0;
}

} // namespace

QString fold(QStringView text, QList<qsizetype>* from)
{
    QString out;
    out.reserve(text.size());
    if (from) {
        from->clear();
        from->reserve(text.size());
    }
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || c == u'\r') {
            ++i;
            continue;
        }
        const bool marked = i + 1 < n && composesWithPrevious(text[i + 1].unicode());
        if (const char16_t quick = marked ? 0 : quickFold(c)) {
            out.append(QChar(quick));
            if (from)
                from->append(i);
            ++i;
            continue;
        }
        // The character with its surrogate and marks, normalised as one piece.
        qsizetype end = i + 1;
        if (QChar::isHighSurrogate(c) && end < n && text[end].isLowSurrogate())
            ++end;
        while (end < n && composesWithPrevious(text[end].unicode()))
            ++end;
        const QString piece =
            text.sliced(i, end - i).toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
        for (const QChar ch : piece) {
            out.append(QChar(hiraganaOf(ch.unicode())));
            if (from)
                from->append(i);
        }
        i = end;
    }
    return out;
}

QString fold(QStringView text) { return fold(text, nullptr); }

std::pair<qsizetype, qsizetype> originalSpan(const QList<qsizetype>& from, qsizetype textLength, qsizetype start,
                                             qsizetype length)
{
    if (start < 0 || length <= 0 || start + length > from.size())
        return {0, 0};
    // A match may end inside the folded form of one character (キ of ㌔):
    // the whole character counts.
    qsizetype next = start + length;
    while (next < from.size() && from[next] == from[next - 1])
        ++next;
    const qsizetype end = next < from.size() ? from[next] : textLength;
    return {from[start], end - from[start]};
}

} // namespace TextFold
