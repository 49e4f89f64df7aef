// The bold rule, the opening date and the day index.
#include "main_window/CalendarRules.h"
#include "platform/AppInfo.h"
#include "store/DayIndex.h"

#include <QTest>

class TestCalendarRules : public QObject {
    Q_OBJECT
private slots:
    void boldRuleMarksTheFirstColumnOfEveryWeek();
    void boldRuleStaysInsideTheArrayForAnyWeekStart();
    void boldRuleLeavesOtherFlagsAlone();
    void dayIndexAndOpeningDate();
    void programPathHasOneSeparator();
};

void TestCalendarRules::boldRuleMarksTheFirstColumnOfEveryWeek()
{
    QList<bool> flags(42, false);
    CalendarRules::markBoldDays(42, 1, flags);
    QList<int> marked;
    for (int i = 0; i < flags.size(); ++i) {
        if (flags[i])
            marked << i;
    }
    QCOMPARE(marked, (QList<int>{0, 7, 14, 21, 28, 35}));

    QList<bool> one(1, false);
    CalendarRules::markBoldDays(1, 1, one);
    QCOMPARE(one, QList<bool>{false});

    QList<bool> eight(8, false);
    CalendarRules::markBoldDays(8, 1, eight);
    QCOMPARE(eight, (QList<bool>{true, false, false, false, false, false, false, false}));
}

void TestCalendarRules::boldRuleStaysInsideTheArrayForAnyWeekStart()
{
    for (int start = 1; start <= 7; ++start) {
        for (qint16 count : {qint16(0), qint16(1), qint16(7), qint16(8), qint16(42)}) {
            QList<bool> flags(count, false);
            CalendarRules::markBoldDays(count, start, flags);   // must not touch outside
            QCOMPARE(flags.size(), int(count));
            for (int i = 0; i < flags.size(); ++i) {
                if (flags[i])
                    QCOMPARE((i + start - 1) % 7, 0);
            }
        }
    }
    // Weeks from Monday: element 6 is the first Sunday and is marked.
    QList<bool> flags(42, false);
    CalendarRules::markBoldDays(42, 2, flags);
    QVERIFY(flags[6]);
    QVERIFY(flags[13]);
    QVERIFY(!flags[0]);
}

void TestCalendarRules::boldRuleLeavesOtherFlagsAlone()
{
    QList<bool> flags(42, true);
    CalendarRules::markBoldDays(42, 1, flags);
    QCOMPARE(flags, QList<bool>(42, true));
}

void TestCalendarRules::dayIndexAndOpeningDate()
{
    QCOMPARE(DayIndex::of(QDate(2002, 4, 1)), 1);
    QCOMPARE(DayIndex::of(QDate(2002, 5, 1)), 31);
    QCOMPARE(DayIndex::of(QDate(2003, 1, 1)), 276);
    QCOMPARE(DayIndex::of(QDate(2003, 3, 31)), 365);

    QCOMPARE(CalendarRules::openingDate(QDate(2002, 9, 1)), QDate(2002, 9, 1));
    QCOMPARE(CalendarRules::openingDate(QDate(2026, 4, 1)), QDate(2002, 4, 1));
    QCOMPARE(CalendarRules::openingDate(QDate(2026, 3, 31)), QDate(2003, 3, 31));
    QCOMPARE(CalendarRules::openingDate(QDate(2024, 2, 29)), QDate(2003, 2, 28));
    QCOMPARE(CalendarRules::openingDate(QDate(1999, 12, 31)), QDate(2002, 12, 31));
}

void TestCalendarRules::programPathHasOneSeparator()
{
    QCOMPARE(AppInfo::joinProgramPath(QStringLiteral("/"), QStringLiteral("nikki.xls")), QStringLiteral("/nikki.xls"));
    QCOMPARE(AppInfo::joinProgramPath(QStringLiteral("/opt/diary"), QStringLiteral("nikki.xls")),
             QStringLiteral("/opt/diary/nikki.xls"));
    AppInfo::setProgramFolderForTesting(QStringLiteral("/"));
    QCOMPARE(AppInfo::programFilePath(QStringLiteral("inf.txt")), QStringLiteral("/inf.txt"));
    AppInfo::setProgramFolderForTesting(QString());
}

QTEST_GUILESS_MAIN(TestCalendarRules)
#include "test_calendar_rules.moc"
