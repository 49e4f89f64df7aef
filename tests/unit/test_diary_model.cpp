// The diary model over a real workbook, with a fake page in place of the
// window, and the search of its year: no widgets.
#include "search/DiarySearch.h"
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
    void wordsFoundInFoldedFormsOncePerBox();
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

void TestDiaryModel::wordsFoundInFoldedFormsOncePerBox()
{
    Day may, june;
    may.plan = QStringLiteral("英語ＡＢＣテスト");
    may.contents[2] = QStringLiteral("ｶﾞｯｺｳの話");
    june.attendance = QStringLiteral("5㌔走った");
    june.subjects[6] = QStringLiteral("実験");
    june.impressions = QStringLiteral("きょうは\n実験が楽しかった。次の実験は十二月。");
    DiarySearch search;
    const auto listed = [&](const char16_t* word) {
        QStringList rows;
        const auto days = [&](const auto& visit) { visit(QDate(2002, 5, 10), may), visit(QDate(2002, 6, 3), june); };
        for (const SearchHit& hit : search.find(days, QString::fromUtf16(word))) {
            const SearchSnippet s = DiarySearch::snippet(hit, 4, 8);
            rows << DiarySearch::dateCaption(hit.date) + DiarySearch::boxCaption(hit.column) + u' ' + s.before + u'['
                        + s.match + u']' + s.after;
        }
        return rows.join(u'|');
    };
    const char16_t* const cases[][2] = {
        {u"abc", u"2002年5月10日(金)今日の予定 英語[ＡＢＣ]テスト"},
        {u"ガッこう", u"2002年5月10日(金)3時間目 授業内容 [ｶﾞｯｺｳ]の話"},
        {u"ロ", u"2002年6月3日(月)出欠記録 5[㌔]走った"},
        {u"かっこう", u""},
        {u"", u""},
        {u"実験", u"2002年6月3日(月)7時間目 教科 [実験]|2002年6月3日(月)感想・記録 …ょうは [実験]が楽しかった。次…"},
    };
    for (const auto& [word, rows] : cases)
        QCOMPARE(listed(word), QString::fromUtf16(rows));
    june.impressions = QStringLiteral("観察"); // a changed text is folded again
    QCOMPARE(listed(u"実験"), QStringLiteral("2002年6月3日(月)7時間目 教科 [実験]"));
}

QTEST_GUILESS_MAIN(TestDiaryModel)
#include "test_diary_model.moc"
