// The diary model over a real workbook, bound to fake controls: no widgets.
#include "platform/BoundField.h"
#include "platform/DataControl.h"
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

struct FakeField : BoundField {
    QString text;
    QString boundText() const override { return text; }
    void setBoundText(const QString& t) override { text = t; }
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
        {{2002, 4, 1}, 1}, {{2002, 12, 31}, 275}, {{2003, 1, 1}, 276}, {{2003, 3, 31}, 365}};
    for (const auto& [date, record] : cases) {
        QCOMPARE(Diary::recordOf(date), record);
        QCOMPARE(Diary::dateOf(record), date);
    }
}

void TestDiaryModel::daysReadWithThePagesEditsAndWriteBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    DataControl data1;
    FakeField plan, firstColour;
    data1.bind(&plan, DayRecord::plan());
    data1.bind(&firstColour, DayRecord::planColour());
    data1.setDatabaseName(path);
    QString message;
    QVERIFY2(DiaryStore::open(data1, &message), qPrintable(message));
    Diary diary(data1);
    data1.move(39); // 2002-05-10 on screen
    QCOMPARE(diary.currentDate(), QDate(2002, 5, 10));
    QCOMPARE(diary.currentDay().colour(0), std::optional(ColourValue(DayRecord::DefaultColour)));

    plan.text = QStringLiteral("遠足");                // typed, not yet saved
    QCOMPARE(diary.day({2002, 5, 10}).plan, plan.text);
    QList<QDate> dates;
    diary.forEachDay([&](const QDate& date, const Day& day) {
        dates << date;
        if (date == QDate(2002, 5, 10))
            QCOMPARE(day.plan, plan.text);
    });
    QCOMPARE(dates.size(), 365);
    QCOMPARE(dates.last(), QDate(2003, 3, 31));

    Day other = diary.day({2003, 1, 6});
    other.contents[2] = QStringLiteral("書き初め");
    other.setColour(3, ColourValue(255));
    diary.setDay({2003, 1, 6}, other);
    Day shown = diary.currentDay();
    shown.plan = QStringLiteral("雨で中止");
    diary.setDay({2002, 5, 10}, shown);
    QCOMPARE(plan.text, shown.plan);                  // the page on screen follows
    QCOMPARE(diary.day({2002, 4, 1}).plan, QString()); // outside dates stay empty
    QVERIFY(diary.day({2003, 4, 1}) == Day());

    workbook::Error error;
    QVERIFY(data1.close(&error));
    DataControl reopened;
    reopened.setDatabaseName(path);
    QVERIFY(DiaryStore::open(reopened, &message));
    Diary again(reopened);
    QCOMPARE(again.day({2003, 1, 6}), other);
    QCOMPARE(again.day({2002, 5, 10}).plan, shown.plan);
}

QTEST_GUILESS_MAIN(TestDiaryModel)
#include "test_diary_model.moc"
