// Search of the diary's year: the boxes of every day whose text holds a word,
// compared in the folded form of TextFold.h. No widgets.
#pragma once

#include "store/Day.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

class Diary;

// One box of one day that holds every word, with where the first of them
// stands and how often they stand in it.
struct SearchHit {
    QDate date;
    QString column; // the day's column (DayRecord.h)
    QString text;   // the box's whole text
    qsizetype foldedStart = 0, foldedLength = 0;
    int count = 0;
};

// The parts of a hit's text as a result list shows it: some text before the
// word, the word as written, some text after it; line breaks as spaces.
struct SearchSnippet {
    QString before, match, after;
};

class DiarySearch {
public:
    // Visits days in date order, as Diary::forEachDay does.
    using DaySource = std::function<void(const std::function<void(const QDate&, const Day&)>&)>;

    // Every box of every day of the diary that holds each of the words (split
    // at ASCII and ideographic spaces, in any order), by date and then in page
    // order; the page's unsaved edits included. Empty for blanks only.
    QList<SearchHit> find(Diary& diary, const QString& word);
    // The same over any days: a source that visits the same days in the same
    // order each time finds its folded texts kept from the last search.
    QList<SearchHit> find(const DaySource& days, const QString& word);

    // Folds every box's text ahead of the first word, so that the first
    // keystroke costs no more than the next.
    void prepare(Diary& diary);
    void prepare(const DaySource& days);

    static SearchSnippet snippet(const SearchHit& hit, int before = 12, int after = 40);
    // Where in hit.text the marked word stands: {position, length}.
    static std::pair<qsizetype, qsizetype> span(const SearchHit& hit);
    // 2002年5月10日(金)
    static QString dateCaption(const QDate& date);
    // 今日の予定, 出欠記録, 3時間目 教科, 3時間目 授業内容, 感想・記録
    static QString boxCaption(const QString& column);

private:
    using BoxVisit =
        std::function<void(const QDate&, const QString& column, const QString& text, const QString& folded)>;
    void visitBoxes(const DaySource& days, const BoxVisit& visit);

    // The folded text of each box the last search saw, by its place in the
    // visit; folded again only where the text changed.
    struct Folded {
        QString text, folded;
    };
    std::vector<Folded> m_folded;
};
