#include "search/DiarySearch.h"

#include "platform/DateText.h"
#include "search/TextFold.h"
#include "store/DayRecord.h"
#include "store/Diary.h"

#include <QStringList>

QList<SearchHit> DiarySearch::find(Diary& diary, const QString& word)
{
    return find([&diary](const auto& visit) { diary.forEachDay(visit); }, word);
}

QList<SearchHit> DiarySearch::find(const DaySource& days, const QString& word)
{
    // The ideographic space folds to an ASCII one.
    QStringList words = TextFold::fold(word).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    words.removeDuplicates();
    QList<SearchHit> hits;
    if (words.isEmpty())
        return hits;
    visitBoxes(days, [&](const QDate& date, const QString& column, const QString& text, const QString& folded) {
        SearchHit hit{date, column, text, -1, 0, 0};
        for (const QString& w : words) {
            const qsizetype found = folded.indexOf(w);
            if (found < 0)
                return;
            if (hit.foldedStart < 0 || found < hit.foldedStart)
                hit.foldedStart = found, hit.foldedLength = w.size();
        }
        // Counted only in the boxes found: most boxes miss at the first word.
        for (const QString& w : words) {
            for (qsizetype at = folded.indexOf(w); at >= 0; at = folded.indexOf(w, at + w.size()))
                ++hit.count;
        }
        hits.append(std::move(hit));
    });
    return hits;
}

void DiarySearch::prepare(Diary& diary)
{
    prepare([&diary](const auto& visit) { diary.forEachDay(visit); });
}

void DiarySearch::prepare(const DaySource& days)
{
    visitBoxes(days, [](const QDate&, const QString&, const QString&, const QString&) {});
}

void DiarySearch::visitBoxes(const DaySource& days, const BoxVisit& visit)
{
    size_t slot = 0;
    days([&](const QDate& date, const Day& day) {
        for (const auto& [column, text] : day.boxTexts()) {
            const size_t at = slot++;
            if (text.isEmpty())
                continue;
            if (at >= m_folded.size())
                m_folded.resize(at + 1);
            Folded& cached = m_folded[at];
            // Unchanged texts share their data with the diary's, so this compares pointers.
            if (cached.text != text)
                cached = {text, TextFold::fold(text)};
            visit(date, column, text, cached.folded);
        }
    });
}

std::pair<qsizetype, qsizetype> DiarySearch::span(const SearchHit& hit)
{
    QList<qsizetype> from;
    TextFold::fold(hit.text, &from);
    return TextFold::originalSpan(from, hit.text.size(), hit.foldedStart, hit.foldedLength);
}

SearchSnippet DiarySearch::snippet(const SearchHit& hit, int before, int after)
{
    const auto [start, length] = span(hit);
    const auto flat = [](QString part) { return part.replace(QLatin1Char('\n'), QLatin1Char(' ')); };
    SearchSnippet parts{flat(hit.text.first(start)), flat(hit.text.sliced(start, length)),
                        flat(hit.text.sliced(start + length))};
    if (parts.before.size() > before)
        parts.before = QStringLiteral("…") + parts.before.right(before);
    if (parts.after.size() > after)
        parts.after = parts.after.left(after) + QStringLiteral("…");
    return parts;
}

QString DiarySearch::dateCaption(const QDate& date) { return DateText::withWeekday(date); }

QString DiarySearch::boxCaption(const QString& column)
{
    for (int k = 0; k < Day::Periods; ++k) {
        if (column == DayRecord::subject(k))
            return QStringLiteral("%1時間目 教科").arg(k + 1);
        if (column == DayRecord::content(k))
            return QStringLiteral("%1時間目 授業内容").arg(k + 1);
    }
    return DayRecord::boxName(column);
}
