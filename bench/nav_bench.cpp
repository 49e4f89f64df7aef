// Day navigation through the real main window (offscreen): the time from the
// mouse press on a day of the calendar to the whole window repainted with the
// new page (when the click itself draws the page and saves afterwards, the end
// of that drawing counts, not the save after it). Two kinds of click: one that leaves the day unchanged (must write
// nothing) and one after typing into the plan box (saves the day being left).
//
// bench_nav WORKBOOK BASE_DIR CLICKS SECONDS_PER_KIND
// Prints one JSON object per line.
#include "Stats.h"
#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/AppInfo.h"
#include "platform/EntryBox.h"
#include "platform/Fonts.h"
#include "platform/MonthCalendar.h"
#include "store/Diary.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

using bench::Clock;
using bench::ms;
using bench::percentile;

namespace {

// Any write of the workbook (in place or by rename) changes one of these.
struct Stamp {
    ino_t inode = 0;
    long long mtimeNs = 0;
    off_t size = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, st.st_size};
}

struct KindResult {
    std::vector<double> total, press, draw;
    int writes = 0;
    int wrongPages = 0;
};

// Notes when the last widget of the window finished painting: a click may
// draw the new page itself and only then save the day it left, and the page
// is on screen from that moment.
class PaintClock : public QObject {
public:
    bool active = false;
    Clock::time_point lastPainted{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!active || event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        watched->event(event);
        lastPainted = Clock::now();
        return true;
    }
};

KindResult clickDays(Form1* form, const QString& workbookPath, bool typed, int clicks, double seconds)
{
    PaintClock clock;
    qApp->installEventFilter(&clock);
    KindResult r;
    const QDate current = controlsOf(form).MonthView1->value();
    const QDate first(current.year(), current.month(), 1);
    int next = 0;
    const auto budgetEnd = Clock::now() + std::chrono::duration<double>(seconds);
    constexpr int Warmup = 5;
    for (int i = 0; i < Warmup + clicks; ++i) {
        if (i >= Warmup + 20 && Clock::now() > budgetEnd)
            break;
        // Walk the days of the month on show, never the selected one.
        QDate target;
        do {
            target = first.addDays(next++ % first.daysInMonth());
        } while (target == controlsOf(form).MonthView1->value());
        const QPoint at = controlsOf(form).MonthView1->dayRect(target).center();

        if (typed)
            QTest::keyClicks(controlsOf(form).Text1, QStringLiteral("x"));
        // Nothing left over from before the press may be counted in it.
        form->repaint();
        QCoreApplication::processEvents();
        const Stamp before = stampOf(workbookPath);

        const auto t0 = Clock::now();
        clock.lastPainted = {};
        clock.active = true;
        QTest::mousePress(controlsOf(form).MonthView1, Qt::LeftButton, {}, at);
        clock.active = false;
        const auto t1 = Clock::now();
        const bool drewItself = clock.lastPainted > t0;
        form->repaint();
        const auto t2 = Clock::now();

        QTest::mouseRelease(controlsOf(form).MonthView1, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        if (i < Warmup)
            continue;
        r.total.push_back(ms(t0, drewItself ? clock.lastPainted : t2));
        r.press.push_back(ms(t0, t1));
        r.draw.push_back(ms(t1, t2));
        if (!(stampOf(workbookPath) == before))
            ++r.writes;
        if (controlsOf(form).MonthView1->value() != target || form->diary().currentDate() != target)
            ++r.wrongPages;
    }
    return r;
}

void printKind(const char* kind, const KindResult& r)
{
    std::printf("{\"kind\": \"%s\", \"n\": %zu, \"p50\": %.4f, \"p99\": %.4f, \"max\": %.4f, "
                "\"press_p50\": %.4f, \"press_p99\": %.4f, \"draw_p50\": %.4f, \"draw_p99\": %.4f, \"writes\": %d, "
                "\"wrong_pages\": %d}\n",
                kind, r.total.size(), percentile(r.total, 50), percentile(r.total, 99), percentile(r.total, 100),
                percentile(r.press, 50), percentile(r.press, 99), percentile(r.draw, 50), percentile(r.draw, 99),
                r.writes, r.wrongPages);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_nav WORKBOOK BASE_DIR CLICKS SECONDS_PER_KIND\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As app/main.cpp sets the application up.
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStringLiteral("Fusion"));
    Fonts::installSubstitutions();

    const QString source = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/pravok-nav-XXXXXX"));
    const QString nikki = dir.filePath(QStringLiteral("nikki.xls"));
    if (!dir.isValid() || !QFile::copy(source, nikki)) {
        std::fprintf(stderr, "bench_nav: cannot set up the folder\n");
        return 1;
    }
    QFile::setPermissions(nikki, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QDir icons(QStringLiteral(WEATHER_ICON_DIR));
    for (const QString& name : icons.entryList({QStringLiteral("*.ico")}, QDir::Files))
        QFile::copy(icons.filePath(name), dir.filePath(name));
    AppInfo::setProgramFolderForTesting(dir.path());
    AppInfo::setTodayForTesting(QDate(2002, 5, 15));

    const auto t0 = Clock::now();
    auto* form = new Form1;
    const auto built = Clock::now();
    QString message;
    if (!form->Form_Load(&message)) {
        std::fprintf(stderr, "bench_nav: Form_Load failed: %s\n", qPrintable(message));
        return 1;
    }
    const auto t1 = Clock::now();
    form->show();
    if (!QTest::qWaitFor([&] { return form->tag() == QLatin1String("1"); }, 30000)) {
        std::fprintf(stderr, "bench_nav: no first activation\n");
        return 1;
    }
    form->repaint();
    const auto t2 = Clock::now();
    std::printf("{\"kind\": \"load\", \"construct_ms\": %.3f, \"form_load_ms\": %.3f, \"to_page_ms\": %.3f, "
                "\"records\": %d}\n",
                ms(t0, built), ms(built, t1), ms(t0, t2), form->diary().recordCount());

    const int clicks = std::atoi(argv[3]);
    const double seconds = std::atof(argv[4]);
    printKind("unchanged", clickDays(form, nikki, false, clicks, seconds));
    printKind("typed", clickDays(form, nikki, true, clicks, seconds));
    std::fflush(stdout);
    // No close: that would save the colour scheme and ask nothing of us here.
    dir.remove();
    ::_exit(0);
}
