// The month calendar: which presses and keys select a day, what the arrows
// show, the range ends, the bold days it asks for, and its accessible table.
#include "main_window/CalendarRules.h"
#include "platform/MonthCalendar.h"

#include <QAccessible>
#include <QImage>
#include <QSet>
#include <QTest>

#include <memory>

namespace {

const QDate kMin(2002, 4, 1);
const QDate kMax(2003, 3, 31);

// A calendar at its designed size, with every signal logged in arrival order
// (value() as it stood when each arrived) and the bold days it asks for.
struct Calendar {
    MonthCalendar c;
    QStringList log;
    QPoint lastPoint;
    int boldCalls = 0;
    QDate boldFirst;
    QSet<QDate> bold;

    Calendar()
    {
        c.setFont(QFont(QStringLiteral("IPAPGothic"), 9));
        c.resize(159, 148);
        c.setRange(kMin, kMax);
        c.setValue(QDate(2002, 5, 10));
        c.show();
        QObject::connect(&c, &MonthCalendar::mouseDown,
                         [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                             log << QStringLiteral("down %1 %2").arg(int(b)).arg(int(m));
                             lastPoint = QPoint(x, y);
                         });
        QObject::connect(&c, &MonthCalendar::keyboardSelecting,
                         [this] { log << "selecting " + c.value().toString(Qt::ISODate); });
        QObject::connect(&c, &MonthCalendar::dateClick, [this](const QDate& d) {
            log << QStringLiteral("click %1 value %2").arg(d.toString(Qt::ISODate), c.value().toString(Qt::ISODate));
        });
    }
    void askForBold()
    {
        c.setDayBoldHandler([this](const QDate& f, qint16 n, QList<bool>& flags) {
            ++boldCalls;
            boldFirst = f;
            QVERIFY(n == 42 && flags.size() == 42 && !flags.contains(true));
            for (int k = 0; k < flags.size(); ++k)
                flags[k] = bold.contains(f.addDays(k));
        });
    }
    QStringList press(const QPoint& at, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {})
    {
        log.clear();
        QTest::mousePress(&c, button, mods, at);
        QTest::mouseRelease(&c, button, mods, at);
        return log;
    }
    QStringList press(const QDate& day) { return press(c.dayRect(day).center()); }
};

} // namespace

class TestMonthCalendar : public QObject {
    Q_OBJECT
private slots:
    void pressesSelectADayOnlyWithTheLeftButton()
    {
        Calendar cal;
        MonthCalendar& c = cal.c;
        QCOMPARE(cal.press(QDate(2002, 5, 20)), QStringList({"down 1 0", "click 2002-05-20 value 2002-05-20"}));
        QCOMPARE(cal.lastPoint, c.dayRect(QDate(2002, 5, 20)).center());
        // A trailing day of April selects it and shows April, whose own leading
        // day, 31 March, lies outside the range.
        QCOMPARE(cal.press(QDate(2002, 4, 28)), QStringList({"down 1 0", "click 2002-04-28 value 2002-04-28"}));
        QCOMPARE(c.displayedMonth(), 4);
        QCOMPARE(cal.press(QDate(2002, 3, 31)), QStringList({"down 1 0"}));
        QCOMPARE(c.value(), QDate(2002, 4, 28));

        // Other buttons, the arrows' right button, the title and the weekdays only raise mouseDown.
        c.setValue(QDate(2002, 5, 10));
        const QRect first = c.dayRect(c.firstDisplayedDate());
        const std::pair<QPoint, Qt::MouseButton> presses[] = {
            {c.dayRect(QDate(2002, 5, 21)).center(), Qt::RightButton},
            {c.dayRect(QDate(2002, 5, 21)).center(), Qt::MiddleButton},
            {c.nextArrowRect().center(), Qt::RightButton},
            {QPoint(c.width() / 2, c.nextArrowRect().center().y()), Qt::LeftButton}, // title
            {QPoint(first.center().x(), (c.nextArrowRect().bottom() + first.top()) / 2 + 2), Qt::LeftButton},
        };
        for (const auto& [at, button] : presses) {
            QCOMPARE(cal.press(at, button, Qt::ShiftModifier),
                     QStringList({QStringLiteral("down %1 %2").arg(int(button)).arg(int(Qt::ShiftModifier))}));
            QCOMPARE(cal.lastPoint, at);
            QCOMPARE(c.value(), QDate(2002, 5, 10));
            QCOMPARE(c.displayedMonth(), 5);
        }
    }

    void arrowsAndRangeEnds()
    {
        Calendar cal;
        MonthCalendar& c = cal.c;
        cal.askForBold();
        QCOMPARE(cal.press(c.nextArrowRect().center()), QStringList({"down 1 0"}));
        QCOMPARE(c.displayedMonth(), 6);
        QCOMPARE(cal.boldCalls, 2);
        QCOMPARE(cal.boldFirst, QDate(2002, 5, 26));
        for (int i = 0; i < 3; ++i)
            cal.press(c.previousArrowRect().center());
        QCOMPARE(c.displayedMonth(), 4);
        QCOMPARE(cal.boldCalls, 4); // not asked again when the arrow does nothing
        for (int i = 0; i < 12; ++i)
            QCOMPARE(cal.press(c.nextArrowRect().center()), QStringList({"down 1 0"}));
        QCOMPARE(c.displayedYear(), 2003);
        QCOMPARE(c.displayedMonth(), 3);
        QCOMPARE(c.value(), QDate(2002, 5, 10));

        // At its designed size the weeks share the height below the title and weekdays.
        c.setValue(QDate(2002, 5, 10));
        QCOMPARE(c.dayRect(QDate(2002, 5, 1)), QRect(68, 37, 22, 18));
        QCOMPARE(c.dayRect(QDate(2002, 6, 8)), QRect(134, 129, 23, 19));
        // The arrows: squares filling the title band but for a pixel above and below.
        QVERIFY(c.previousArrowRect() == QRect(2, 1, 17, 17) && c.nextArrowRect() == QRect(140, 1, 17, 17));
        QVERIFY(c.setValue(kMin) && c.setValue(kMax));
        QVERIFY(!c.setValue(QDate(2002, 3, 31)) && !c.setValue(QDate(2003, 4, 1)) && !c.setValue(QDate()));
        QCOMPARE(c.value(), kMax);
        QVERIFY(!c.setRange(kMax, kMin));
        QVERIFY(c.setStartOfWeek(2) && !c.setStartOfWeek(8) && !c.setStartOfWeek(0) && c.setStartOfWeek(1));
        QVERIFY(c.setRange(QDate(2002, 6, 1), QDate(2002, 6, 30)));
        QCOMPARE(c.value(), QDate(2002, 6, 30));
        QCOMPARE(c.displayedMonth(), 6);
        // Unset, the title and its arrows take the system's caption colours.
        const QImage title = c.grab(c.titleRect()).toImage();
        const QRgb captionText = c.palette().color(QPalette::HighlightedText).rgb();
        bool arrowShown = false;
        for (int y = 0; y < title.height(); ++y)
            for (int x = 0; x < title.width(); ++x)
                arrowShown |= title.pixel(x, y) == captionText;
        QVERIFY(arrowShown);

        // A range starting on a month's last day or ending on its first still pages to that month.
        QVERIFY(c.setRange(QDate(2002, 5, 31), QDate(2002, 7, 1)));
        cal.press(c.previousArrowRect().center());
        QCOMPARE(c.displayedMonth(), 5);
        for (int i = 0; i < 3; ++i)
            cal.press(c.nextArrowRect().center());
        QCOMPARE(c.displayedMonth(), 7);
    }

    // The selected day shows on any day background: in the highlight, else the day text, else black or white.
    void selectionShowsOnAnyDayBackground()
    {
        Calendar cal;
        MonthCalendar& c = cal.c;
        using Role = MonthCalendar::ColourRole;
        const auto mark = [&c] {
            return c.grab(QRect(c.dayRect(c.value()).topLeft() + QPoint(1, 1), QSize(1, 1))).toImage().pixelColor(0, 0);
        };
        const QColor highlight = c.palette().color(QPalette::Highlight);
        QCOMPARE(mark(), highlight);
        const auto value = [](const QColor& q) { return ColourValue::fromRgb(q.red(), q.green(), q.blue()); };
        c.setColour(Role::DayBackground, value(highlight));
        c.setColour(Role::DayText, ColourValue::fromRgb(0x20, 0x40, 0x10));
        QCOMPARE(mark(), QColor(0x20, 0x40, 0x10));
        c.setColour(Role::DayText, value(highlight));
        QVERIFY(qGray(highlight.rgb()) < 128);
        QCOMPARE(mark(), QColor(Qt::white));
    }

    void keyboard()
    {
        Calendar cal;
        MonthCalendar& c = cal.c;
        QTest::keyClick(&c, Qt::Key_Right);
        QTest::keyClick(&c, Qt::Key_PageDown);
        QCOMPARE(cal.log, QStringList({"selecting 2002-05-10", "click 2002-05-11 value 2002-05-11",
                                       "selecting 2002-05-11", "click 2002-06-11 value 2002-06-11"}));
        QCOMPARE(c.displayedMonth(), 6);
        const auto moves = [&](Qt::Key key, const QDate& from, const QDate& to) {
            c.setValue(from);
            cal.log.clear();
            QTest::keyClick(&c, key);
            return c.value() == to && cal.log.size() == (from == to ? 0 : 2);
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
        c.setRange(QDate(2002, 4, 15), kMax);
        QVERIFY(moves(Qt::Key_PageUp, QDate(2002, 5, 10), QDate(2002, 4, 15)));
    }

    void boldDaysAreAskedOnlyWhenTheDaysChange()
    {
        Calendar cal;
        MonthCalendar& c = cal.c;
        cal.bold = {QDate(2002, 5, 3), QDate(2002, 6, 1)};
        cal.askForBold();
        QCOMPARE(cal.boldCalls, 1);
        QCOMPARE(cal.boldFirst, QDate(2002, 4, 28)); // a Sunday
        QVERIFY(c.isDayBold(QDate(2002, 5, 3)) && c.isDayBold(QDate(2002, 6, 1)) && !c.isDayBold(QDate(2002, 5, 4)));
        // The bold face reaches the screen, and painting does not ask again.
        const QRect cell = c.dayRect(QDate(2002, 5, 3));
        const QImage boldCell = c.grab(cell).toImage();
        QCOMPARE(cal.boldCalls, 1);
        cal.bold.clear();
        c.refreshDayBold();
        QCOMPARE(cal.boldCalls, 2);
        QVERIFY(c.grab(cell).toImage() != boldCell);
        c.setValue(QDate(2002, 5, 20));
        QCOMPARE(cal.boldCalls, 2);
        c.setValue(QDate(2002, 7, 1));
        QCOMPARE(cal.boldCalls, 3);
        QCOMPARE(cal.boldFirst, QDate(2002, 6, 30));

        // The diary's rule: the first column of Sunday-first weeks; another first
        // weekday never sets a flag outside those it is given.
        for (const auto& [start, bolds] : {std::pair{1, 6}, std::pair{7, 5}}) {
            QList<bool> flags(42, false);
            CalendarRules::markBoldDays(42, start, flags);
            QCOMPARE(flags.count(true), bolds);
            QVERIFY(flags[start == 1 ? 35 : 1] && flags.size() == 42);
        }
    }

    void accessibleTableFollowsTheSelectedDay()
    {
        auto cal = std::make_unique<Calendar>();
        MonthCalendar& c = cal->c;
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&c);
        QVERIFY(table && table->tableInterface());
        QAccessibleTableInterface* t = table->tableInterface();
        QCOMPARE(table->childCount(), 42 + 7 + 1); // days, weekdays, the month
        QCOMPARE(t->caption()->text(QAccessible::Name), QStringLiteral("2002年5月"));
        QAccessibleInterface* day = t->cellAt(1, 5);
        QCOMPARE(day->text(QAccessible::Name), QStringLiteral("2002年5月10日(金)"));
        QCOMPARE(table->indexOfChild(day), 12);
        QCOMPARE(t->selectedCells(), QList<QAccessibleInterface*>{day});
        // Only a day is selected, by the calendar itself: no row or column can be.
        QVERIFY(!t->selectRow(1) && !t->selectColumn(1) && !t->unselectRow(1) && !t->unselectColumn(1)
                && !t->isRowSelected(1) && !t->isColumnSelected(1));
        QVERIFY(day->tableCellInterface()->isSelected() && day->state().selected);
        QVERIFY(!t->cellAt(1, 4)->tableCellInterface()->isSelected() && !t->cellAt(1, 4)->state().selected);
        QCOMPARE(t->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("2002年4月28日(日)")); // trailing

        // Focus and selection follow the value; days paged away are not kept.
        c.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&c) && c.hasFocus());
        QVERIFY(day->state().focused && table->focusChild() == day);
        const QAccessible::Id shownBefore = QAccessible::uniqueId(day);
        // The day just left stays valid one page longer: a screen reader compares the new focus with it.
        QVERIFY(c.setValue(QDate(2002, 6, 10)));
        QVERIFY(QAccessible::accessibleInterface(shownBefore)
                && QAccessible::accessibleInterface(shownBefore)->isValid());
        QVERIFY(c.setValue(QDate(2002, 7, 10)));
        QVERIFY(!QAccessible::accessibleInterface(shownBefore));
        QCOMPARE(t->caption()->text(QAccessible::Name), QStringLiteral("2002年7月"));

        // Monday first: July 2002 starts on a Monday, so a whole June week leads.
        QVERIFY(c.setStartOfWeek(2));
        QCOMPARE(t->columnDescription(0), QStringLiteral("月"));
        QCOMPARE(t->columnDescription(6), QStringLiteral("日"));
        QCOMPARE(t->columnDescription(7), QString());
        QAccessibleInterface* focused = table->focusChild();
        QCOMPARE(focused->text(QAccessible::Name), QStringLiteral("2002年7月10日(水)"));
        QCOMPARE(focused->tableCellInterface()->rowIndex(), 2);
        QCOMPARE(focused->tableCellInterface()->columnIndex(), 2);
        QCOMPARE(t->cellAt(2, 2), focused);
        // Paged away by the arrows, either way, the selected day is in no cell.
        for (const auto& [arrow, presses] : {std::pair{c.nextArrowRect(), 2}, {c.previousArrowRect(), 4}}) {
            for (int i = 0; i < presses; ++i)
                cal->press(arrow.center());
            QVERIFY(t->selectedCells().isEmpty() && !table->focusChild());
        }
        // The cells go with the calendar.
        const QAccessible::Id cellId = QAccessible::uniqueId(t->cellAt(0, 0));
        cal.reset();
        QVERIFY(!QAccessible::accessibleInterface(cellId));
    }
};

QTEST_MAIN(TestMonthCalendar)
#include "test_month_calendar.moc"
