#include "main_window/CalendarRules.h"
#include "platform/MonthCalendar.h"

#include <QImage>
#include <QSet>
#include <QTest>

#include <memory>

namespace {

const QDate kMin(2002, 4, 1);
const QDate kMax(2003, 3, 31);

std::unique_ptr<MonthCalendar> makeCalendar()
{
    auto c = std::make_unique<MonthCalendar>();
    c->setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    c->resize(159, 148);
    c->setRange(kMin, kMax);
    c->setValue(QDate(2002, 5, 10));
    c->show();
    return c;
}

// Every signal in arrival order, with value() as it stood when each arrived.
struct Recorder {
    QStringList log;
    QPoint lastPoint;
    explicit Recorder(MonthCalendar& c)
    {
        QObject::connect(&c, &MonthCalendar::mouseDown,
                         [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                             log << QStringLiteral("down %1 %2").arg(int(b)).arg(int(m));
                             lastPoint = QPoint(x, y);
                         });
        QObject::connect(&c, &MonthCalendar::keyboardSelecting,
                         [this, &c] { log << "selecting " + c.value().toString(Qt::ISODate); });
        QObject::connect(&c, &MonthCalendar::dateClick, [this, &c](const QDate& d) {
            log << QStringLiteral("click %1 value %2").arg(d.toString(Qt::ISODate), c.value().toString(Qt::ISODate));
        });
    }
};

struct BoldRecorder {
    int calls = 0;
    QDate first;
    bool wellFormed = false; // 42 flags, all false on entry
    QSet<QDate> bold;
    MonthCalendar::DayBoldHandler handler()
    {
        return [this](const QDate& f, qint16 n, QList<bool>& flags) {
            ++calls;
            first = f;
            wellFormed = n == 42 && flags.size() == 42 && !flags.contains(true);
            for (int k = 0; k < flags.size(); ++k)
                flags[k] = bold.contains(f.addDays(k));
        };
    }
};

void press(MonthCalendar& c, const QPoint& at, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {})
{
    QTest::mousePress(&c, button, mods, at);
    QTest::mouseRelease(&c, button, mods, at);
}

} // namespace

class TestMonthCalendar : public QObject {
    Q_OBJECT
private slots:
    void pressesSelectADayOnlyWithTheLeftButton()
    {
        auto c = makeCalendar();
        Recorder rec(*c);
        const QPoint day20 = c->dayRect(QDate(2002, 5, 20)).center();
        QTest::mouseClick(c.get(), Qt::LeftButton, {}, day20);
        QCOMPARE(rec.log, QStringList({"down 1 0", "click 2002-05-20 value 2002-05-20"}));
        QCOMPARE(rec.lastPoint, day20);

        // A trailing day of April selects it and shows April...
        rec.log.clear();
        QTest::mouseClick(c.get(), Qt::LeftButton, {}, c->dayRect(QDate(2002, 4, 28)).center());
        QCOMPARE(rec.log, QStringList({"down 1 0", "click 2002-04-28 value 2002-04-28"}));
        QCOMPARE(c->displayedMonth(), 4);
        // ...whose own leading day, 31 March, lies outside the range.
        rec.log.clear();
        QTest::mouseClick(c.get(), Qt::LeftButton, {}, c->dayRect(QDate(2002, 3, 31)).center());
        QCOMPARE(rec.log, QStringList({"down 1 0"}));
        QCOMPARE(c->value(), QDate(2002, 4, 28));
        QCOMPARE(c->displayedMonth(), 4);

        // Other buttons, the arrows' right button, the title and the weekdays only raise mouseDown.
        c->setValue(QDate(2002, 5, 10));
        const QRect first = c->dayRect(c->firstDisplayedDate());
        const QList<std::pair<QPoint, Qt::MouseButton>> presses = {
            {c->dayRect(QDate(2002, 5, 21)).center(), Qt::RightButton},
            {c->dayRect(QDate(2002, 5, 21)).center(), Qt::MiddleButton},
            {c->nextArrowRect().center(), Qt::RightButton},
            {QPoint(c->width() / 2, c->nextArrowRect().center().y()), Qt::LeftButton}, // title text
            {QPoint(first.center().x(), (c->nextArrowRect().bottom() + first.top()) / 2 + 2),
             Qt::LeftButton}, // weekdays
        };
        for (const auto& [at, button] : presses) {
            rec.log.clear();
            press(*c, at, button, Qt::ShiftModifier);
            QCOMPARE(rec.log, QStringList({QStringLiteral("down %1 %2").arg(int(button)).arg(int(Qt::ShiftModifier))}));
            QCOMPARE(rec.lastPoint, at);
            QCOMPARE(c->value(), QDate(2002, 5, 10));
            QCOMPARE(c->displayedMonth(), 5);
        }
    }

    void arrowsMoveDisplayOnlyAndStopAtRangeEnds()
    {
        auto c = makeCalendar();
        BoldRecorder bold;
        c->setDayBoldHandler(bold.handler());
        Recorder rec(*c);
        press(*c, c->nextArrowRect().center());
        QCOMPARE(rec.log, QStringList({"down 1 0"}));
        QCOMPARE(c->displayedMonth(), 6);
        QCOMPARE(bold.calls, 2);
        QCOMPARE(bold.first, QDate(2002, 5, 26));

        for (int i = 0; i < 3; ++i)
            press(*c, c->previousArrowRect().center());
        QCOMPARE(c->displayedMonth(), 4);
        QCOMPARE(bold.calls, 4); // not asked again when the arrow does nothing
        QCOMPARE(rec.log.size(), 4);
        for (int i = 0; i < 12; ++i)
            press(*c, c->nextArrowRect().center());
        QCOMPARE(c->displayedYear(), 2003);
        QCOMPARE(c->displayedMonth(), 3);
        QCOMPARE(c->value(), QDate(2002, 5, 10));
        QVERIFY(!rec.log.join(' ').contains("click"));
    }

    void rangeEnds()
    {
        auto c = makeCalendar();
        // At its designed size the weeks share the height below the title and weekdays.
        QCOMPARE(c->dayRect(QDate(2002, 5, 1)), QRect(68, 37, 22, 18));
        QCOMPARE(c->dayRect(QDate(2002, 6, 8)), QRect(134, 129, 23, 19));
        QVERIFY(c->setValue(kMin));
        QVERIFY(c->setValue(kMax));
        QCOMPARE(c->displayedYear(), 2003);
        QVERIFY(!c->setValue(QDate(2002, 3, 31)));
        QVERIFY(!c->setValue(QDate(2003, 4, 1)));
        QVERIFY(!c->setValue(QDate()));
        QCOMPARE(c->value(), kMax);
        QVERIFY(!c->setRange(kMax, kMin));
        QVERIFY(c->setStartOfWeek(2) && !c->setStartOfWeek(8) && !c->setStartOfWeek(0));
        QVERIFY(c->setStartOfWeek(1));
        QVERIFY(c->setRange(QDate(2002, 6, 1), QDate(2002, 6, 30)));
        QCOMPARE(c->value(), QDate(2002, 6, 30));
        QCOMPARE(c->displayedMonth(), 6);
    }

    void keyboard()
    {
        auto c = makeCalendar();
        Recorder rec(*c);
        QTest::keyClick(c.get(), Qt::Key_Right);
        QTest::keyClick(c.get(), Qt::Key_PageDown);
        QCOMPARE(rec.log, QStringList({"selecting 2002-05-10", "click 2002-05-11 value 2002-05-11",
                                       "selecting 2002-05-11", "click 2002-06-11 value 2002-06-11"}));
        QCOMPARE(c->displayedMonth(), 6);

        const auto moves = [&](Qt::Key key, const QDate& from, const QDate& to) {
            c->setValue(from);
            rec.log.clear();
            QTest::keyClick(c.get(), key);
            return c->value() == to && rec.log.size() == (from == to ? 0 : 2);
        };
        QVERIFY(moves(Qt::Key_Up, QDate(2002, 5, 10), QDate(2002, 5, 3)));
        QVERIFY(moves(Qt::Key_PageUp, QDate(2002, 5, 31), QDate(2002, 4, 30)));
        QVERIFY(moves(Qt::Key_Home, QDate(2002, 5, 31), QDate(2002, 5, 1)));
        QVERIFY(moves(Qt::Key_End, QDate(2003, 2, 3), QDate(2003, 2, 28)));
        // Nothing at all at the range ends, not even keyboardSelecting.
        QVERIFY(moves(Qt::Key_Right, kMax, kMax));
        QVERIFY(moves(Qt::Key_Down, QDate(2003, 3, 27), QDate(2003, 3, 27)));
        QVERIFY(moves(Qt::Key_PageDown, QDate(2003, 3, 15), QDate(2003, 3, 15)));
        QVERIFY(moves(Qt::Key_Left, kMin, kMin));
        // A month move into a month the range only partly covers stops at the range end.
        c->setRange(QDate(2002, 4, 15), kMax);
        QVERIFY(moves(Qt::Key_PageUp, QDate(2002, 5, 10), QDate(2002, 4, 15)));
    }

    void boldDaysAreAskedOnlyWhenTheDaysChange()
    {
        auto c = makeCalendar();
        BoldRecorder bold;
        bold.bold = {QDate(2002, 5, 3), QDate(2002, 6, 1)};
        c->setDayBoldHandler(bold.handler());
        QCOMPARE(bold.calls, 1);
        QVERIFY(bold.wellFormed);
        QCOMPARE(bold.first, QDate(2002, 4, 28));
        QCOMPARE(bold.first.dayOfWeek(), Qt::Sunday);
        QVERIFY(c->isDayBold(QDate(2002, 5, 3)));
        QVERIFY(c->isDayBold(QDate(2002, 6, 1))); // a trailing day
        QVERIFY(!c->isDayBold(QDate(2002, 5, 4)));

        // The bold face reaches the screen, and painting does not ask again.
        const QRect cell = c->dayRect(QDate(2002, 5, 3));
        const QImage boldCell = c->grab(cell).toImage();
        QCOMPARE(bold.calls, 1);
        bold.bold.clear();
        c->refreshDayBold();
        QCOMPARE(bold.calls, 2);
        QVERIFY(c->grab(cell).toImage() != boldCell);

        c->setValue(QDate(2002, 5, 20));
        QCOMPARE(bold.calls, 2);
        c->setValue(QDate(2002, 7, 1));
        QCOMPARE(bold.calls, 3);
        QCOMPARE(bold.first, QDate(2002, 6, 30));
    }

    // Sunday-first weeks: the first column of every week is bold, and the rule
    // never writes outside the flags it is given, whatever the first weekday.
    void boldRuleMarksTheFirstColumn()
    {
        for (int start = 1; start <= 7; ++start) {
            for (qint16 count : {qint16(1), qint16(8), qint16(42)}) {
                QList<bool> flags(count, false);
                CalendarRules::markBoldDays(count, start, flags);
                QCOMPARE(flags.size(), int(count));
                for (int i = 0; i < flags.size(); ++i)
                    QVERIFY(!flags[i] || (i + start - 1) % 7 == 0);
            }
        }
        QList<bool> flags(42, false);
        CalendarRules::markBoldDays(42, 1, flags);
        QCOMPARE(flags.count(true), 6);
        QVERIFY(flags[0] && flags[35]);
        QList<bool> set(42, true);
        CalendarRules::markBoldDays(42, 1, set);
        QCOMPARE(set, QList<bool>(42, true));
    }

    void anySizeIsSafe()
    {
        auto c = makeCalendar();
        for (const QSize size :
             {QSize(0, 0), QSize(1, 1), QSize(9, 6), QSize(40, 25), QSize(80, 60), QSize(600, 500)}) {
            c->resize(size);
            c->grab();
            // Even too small for the font, every day keeps a cell on the widget.
            const bool roomy = size.height() >= 12 && size.width() >= 7;
            for (int k = 0; k < MonthCalendar::DisplayedDays; ++k) {
                const QRect r = c->dayRect(c->firstDisplayedDate().addDays(k));
                QVERIFY2(roomy ? !r.isEmpty() && c->rect().contains(r) : r.isEmpty() || c->rect().contains(r),
                         qPrintable(QStringLiteral("%1x%2 day %3").arg(size.width()).arg(size.height()).arg(k)));
            }
            for (int i = 0; i < 49; ++i)
                press(*c, QPoint(size.width() * (i % 7) / 7, size.height() * (i / 7) / 7));
            QVERIFY(c->value() >= kMin && c->value() <= kMax);
        }
    }
};

QTEST_MAIN(TestMonthCalendar)
#include "test_month_calendar.moc"
