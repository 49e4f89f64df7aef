#include "search/DiarySearch.h"

#include "platform/DateText.h"
#include "search/TextFold.h"
#include "store/DayRecord.h"
#include "store/Diary.h"

QList<SearchHit> DiarySearch::find(Diary& diary, const QString& word)
{
    return find([&diary](const auto& visit) { diary.forEachDay(visit); }, word);
}

QList<SearchHit> DiarySearch::find(const DaySource& days, const QString& word)
{
    const QString query = TextFold::fold(word.trimmed());
    QList<SearchHit> hits;
    if (query.isEmpty())
        return hits;
    visitBoxes(days, [&](const QDate& date, const QString& column, const QString& text, const QString& folded) {
        const qsizetype found = folded.indexOf(query);
        if (found >= 0)
            hits.append({date, column, text, found, query.size()});
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

SearchSnippet DiarySearch::snippet(const SearchHit& hit, int before, int after)
{
    QList<qsizetype> from;
    TextFold::fold(hit.text, &from);
    const auto [start, length] = TextFold::originalSpan(from, hit.text.size(), hit.foldedStart, hit.foldedLength);
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
