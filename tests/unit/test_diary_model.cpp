// The diary model over a real workbook, with a fake page in place of the
// window: no widgets.
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/PageBinding.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// Shows the plan and the plan's colour, as two boxes of the window would.
struct FakePage : PageBinding {
    QString plan, planColour;
    void readPage(Day& day) const override
    {
        day.plan = plan;
        day.colourTexts[0] = planColour;
    }
    void showDay(const Day& day) override
    {
        plan = day.plan;
        planColour = day.colourTexts[0];
    }
};

} // namespace

class TestDiaryModel : public QObject {
    Q_OBJECT
private slots:
    void datesAndRecordsMapBothWays();
    void daysReadWithThePagesEditsAndWriteBack();
};

void TestDiaryModel::datesAndRecordsMapBothWays()
{
    const QList<std::pair<QDate, int>> cases{
        {{2002, 4, 1}, 1}, {{2002, 12, 31}, 275}, {{2003, 1, 1}, 276}, {{2003, 2, 28}, 334}, {{2003, 3, 31}, 365}};
    for (const auto& [date, record] : cases) {
        QCOMPARE(DayIndex::of(date), record);
        QCOMPARE(DayIndex::dateOf(record), date);
    }
}

void TestDiaryModel::daysReadWithThePagesEditsAndWriteBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    FakePage page;
    Diary diary;
    diary.setPage(&page);
    QString message;
    QVERIFY2(diary.open(path, &message), qPrintable(message)); // a new diary
    QCOMPARE(page.planColour, QString::number(DayRecord::DefaultColour));
    diary.showDate({2002, 5, 10});
    QCOMPARE(diary.currentDate(), QDate(2002, 5, 10));
    QCOMPARE(diary.currentDay().colour(0), std::optional(ColourValue(DayRecord::DefaultColour)));

    page.plan = QStringLiteral("遠足"); // typed, not yet saved
    QCOMPARE(diary.day({2002, 5, 10}).plan, page.plan);
    QVERIFY(diary.hasPendingEdits());
    QList<QDate> found;
    diary.forEachDay([&](const QDate& date, const Day& day) {
        for (const auto& [column, text] : day.boxTexts()) {
            if (text.contains(QStringLiteral("遠足")))
                found << date;
        }
    });
    QCOMPARE(found, QList<QDate>{QDate(2002, 5, 10)});

    Day other = diary.day({2003, 1, 6});
    other.contents[2] = QStringLiteral("書き初め");
    other.setColour(3, ColourValue(255));
    diary.setDay({2003, 1, 6}, other);
    QCOMPARE(page.plan, QStringLiteral("遠足")); // another day: the page stays
    Day onScreen = diary.currentDay();
    onScreen.plan = QStringLiteral("雨で中止");
    diary.setDay(diary.currentDate(), onScreen);
    QCOMPARE(page.plan, onScreen.plan);        // the page follows
    QVERIFY(diary.day({2003, 4, 1}) == Day()); // outside the year

    workbook::Error error;
    QVERIFY(diary.write(&error));
    QVERIFY(!diary.hasPendingEdits());
    Diary again;
    QVERIFY(again.open(path, &message));
    QCOMPARE(again.day({2003, 1, 6}), other);
    QCOMPARE(again.day({2002, 5, 10}).plan, onScreen.plan);
}

QTEST_GUILESS_MAIN(TestDiaryModel)
#include "test_diary_model.moc"
