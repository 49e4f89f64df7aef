// The search of the year: the time one keystroke in the search field costs,
// from the word changed to its results listed. The word is typed one
// character at a time, each prefix a keystroke, with the page on screen
// holding an edit not yet saved.
//
// bench_search FULL_YEAR_WORKBOOK ROWS60000_WORKBOOK ROUNDS
// Prints one JSON object per line:
//   year         DiarySearch::find over the diary of the full-year workbook
//   year_window  the search window: the field's text set, the list repainted
//   big_diary    the diary of the 60,000-row workbook (its year's 365 days)
//   big_window   the search window on that diary
//   big_rows     the same search over all 60,000 rows, as if each were a day
// "open" is a new search made ready (every box folded; for the window, shown
// and drawn), "first" the first keystroke after it.
#include "Stats.h"
#include "platform/Fonts.h"
#include "platform/workbook/Workbook.h"
#include "search/DiarySearch.h"
#include "search/SearchWindow.h"
#include "store/Diary.h"
#include "store/PageBinding.h"

#include <QApplication>
#include <QLineEdit>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

using bench::Clock;
using bench::ms;
using bench::percentile;

namespace {

// The page on screen with an edit not yet saved, as the search finds it.
struct TypedPage : PageBinding {
    void readPage(Day& day) const override { day.plan = QStringLiteral("実験レポートの下書き"); }
    void showDay(const Day&) override {}
};

const QString Word = QStringLiteral("実験レポート");

// Times the first keystroke on a fresh search, then each prefix of the word as
// a keystroke, rounds times over.
template <class Keystroke, class Fresh>
void measure(const char* kind, int rounds, Fresh fresh, Keystroke keystroke)
{
    std::vector<double> times;
    qsizetype hits = 0;
    auto t0 = Clock::now();
    fresh();
    const double open = ms(t0, Clock::now());
    t0 = Clock::now();
    keystroke(Word.left(1));
    const double first = ms(t0, Clock::now());
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype n = 1; n <= Word.size(); ++n) {
            t0 = Clock::now();
            hits = keystroke(Word.left(n));
            times.push_back(ms(t0, Clock::now()));
        }
    }
    std::printf("{\"kind\": \"%s\", \"n\": %zu, \"open\": %.4f, \"first\": %.4f, \"p50\": %.4f, \"p99\": %.4f, "
                "\"max\": %.4f, \"hits\": %lld}\n",
                kind, times.size(), open, first, percentile(times, 50), percentile(times, 99), percentile(times, 100),
                static_cast<long long>(hits));
    std::fflush(stdout);
}

bool openDiary(Diary& diary, TypedPage& page, const char* path)
{
    diary.setPage(&page);
    QString message;
    if (!diary.open(QString::fromLocal8Bit(path), &message)) {
        std::fprintf(stderr, "bench_search: %s\n", qPrintable(message));
        return false;
    }
    diary.showDate(QDate(2002, 5, 15));
    return true;
}

void measureWindow(const char* kind, int rounds, Diary& diary)
{
    std::unique_ptr<SearchWindow> window;
    measure(
        kind, rounds,
        [&] {
            window = std::make_unique<SearchWindow>(diary, [](const SearchHit&) {});
            window->show();
            window->repaint();
            QCoreApplication::processEvents();
        },
        [&](const QString& w) {
            window->wordField->setText(w);
            window->repaint();
            return qsizetype(window->resultList->model()->rowCount());
        });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_search FULL_YEAR_WORKBOOK ROWS60000_WORKBOOK ROUNDS\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    Fonts::installSubstitutions();
    const int rounds = std::max(1, std::atoi(argv[3]));

    TypedPage page;
    Diary year;
    if (!openDiary(year, page, argv[1]))
        return 1;
    DiarySearch search;
    measure(
        "year", rounds,
        [&] {
            search = DiarySearch();
            search.prepare(year);
        },
        [&](const QString& w) { return search.find(year, w).size(); });

    measureWindow("year_window", rounds, year);

    Diary big;
    if (!openDiary(big, page, argv[2]))
        return 1;
    measure(
        "big_diary", rounds,
        [&] {
            search = DiarySearch();
            search.prepare(big);
        },
        [&](const QString& w) { return search.find(big, w).size(); });
    measureWindow("big_window", rounds, big);

    workbook::Error error;
    workbook::RecordTable table;
    const auto book = workbook::Workbook::open(QString::fromLocal8Bit(argv[2]), &error);
    if (!book || !book->readTable(QStringLiteral("Sheet1"), &table, &error)) {
        std::fprintf(stderr, "bench_search: cannot read %s\n", argv[2]);
        return 1;
    }
    const DayColumns columns(table.columnNames);
    const auto everyRow = [&](const auto& visit) {
        const QDate first(2002, 4, 1);
        for (int row = 0; row < table.recordCount(); ++row)
            visit(first.addDays(row), columns.dayOf(table.records[row]));
    };
    measure(
        "big_rows", std::max(1, rounds / 5),
        [&] {
            search = DiarySearch();
            search.prepare(everyRow);
        },
        [&](const QString& w) { return search.find(everyRow, w).size(); });
    return 0;
}
