// The diary model over a real workbook, with a fake page in place of the
// window, and the search of its year: no widgets.
#include "search/DiarySearch.h"
#include "search/TextFold.h"
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"
#include "store/FileHolder.h"
#include "store/PageBinding.h"
#include "store/PageSaver.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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

// One field of the workbook on disk, as another program would read it.
QString fileField(const QString& path, const QDate& date, const QString& column)
{
    workbook::RecordTable table;
    const auto book = workbook::Workbook::open(path, nullptr);
    if (!book || !book->readTable(DayRecord::SheetName, &table, nullptr))
        return QStringLiteral("(unreadable)");
    return table.field(DiaryYear.recordOf(date), table.columnIndex(column));
}

// Another program's save of one field into the file as it is on disk.
void saveElsewhere(const QString& path, const QDate& date, const QString& column, const QString& text)
{
    workbook::RecordTable table;
    const auto book = workbook::Workbook::open(path, nullptr);
    QVERIFY(book && book->readTable(DayRecord::SheetName, &table, nullptr));
    QVERIFY(book->writeFields(DayRecord::SheetName, {{DiaryYear.recordOf(date), table.columnIndex(column), text}},
                              nullptr));
}

// A diary on a new workbook with its page saving itself on a clock the test
// moves: every write on the test's thread, every notice kept.
struct SavingDiary {
    SavingDiary()
        : path(dir.filePath(QStringLiteral("nikki.xls")))
        , saver(
              diary, [this] { return now; }, [] {}, [this](const QString& text) { notices << text; })
    {
        diary.setPage(&page);
        diary.setBackgroundForTesting(false);
        QString message;
        if (!diary.open(path, &message))
            qFatal("%s", qPrintable(message));
        diary.showDate(Today);
    }
    // Moves the clock on, doing whatever falls due on the way.
    void wait(int ms)
    {
        for (const qint64 end = now + ms; now < end;) {
            const int next = saver.tick();
            now = next < 0 ? end : std::min(end, now + std::max(next, 1));
        }
        saver.tick();
    }
    void type(const QString& text)
    {
        page.plan += text;
        saver.pageChanged();
    }
    QString filePlan() const { return fileField(path, Today, DayRecord::plan()); }

    static inline const QDate Today{2002, 5, 10};
    QTemporaryDir dir;
    QString path;
    FakePage page;
    Diary diary;
    qint64 now = 0;
    QStringList notices;
    PageSaver saver;
};

} // namespace

class TestDiaryModel : public QObject {
    Q_OBJECT
private slots:
    void datesAndRecordsMapBothWays();
    void daysReadWithThePagesEditsAndWriteBack();
    void wordsFoundInFoldedFormsOncePerBox();
    void steadyTypingIsWrittenWithinTheDeadline();
    void failedSavesAreToldOnceAndTriedAgain();
    void anotherProgramsSavesAreReadAndLoseNothing();
    void fileHeldElsewhereIsNotWrittenUntilFree();
    void timetableIsTheLastSameWeekdayWithSubjects();
};

void TestDiaryModel::datesAndRecordsMapBothWays()
{
    const QList<std::pair<QDate, int>> cases{{{2002, 4, 1}, 0},    {{2002, 12, 31}, 274}, {{2003, 1, 1}, 275},
                                             {{2003, 2, 28}, 333}, {{2003, 3, 31}, 364},  {{2002, 3, 31}, -1},
                                             {{2003, 4, 1}, -1},   {QDate(), -1}};
    for (const auto& [date, record] : cases) {
        QCOMPARE(DiaryYear.recordOf(date), record);
        if (record >= 0)
            QCOMPARE(DiaryYear.dateOf(record), date);
    }
    // Any year's day stands for the same day of the diary's year; 29 February for the 28th.
    QCOMPARE(DiaryYear.withinYear({2024, 2, 29}), QDate(2003, 2, 28));
    QCOMPARE(DiaryYear.withinYear({2026, 4, 1}), QDate(2002, 4, 1));
    QCOMPARE(DiaryYear.withinYear({2026, 3, 31}), QDate(2003, 3, 31));
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

    QVERIFY(diary.write(nullptr));
    QVERIFY(!diary.hasPendingEdits());
    Diary again;
    QVERIFY(again.open(path, &message));
    QCOMPARE(again.day({2003, 1, 6}), other);
    QCOMPARE(again.day({2002, 5, 10}).plan, onScreen.plan);
}

void TestDiaryModel::wordsFoundInFoldedFormsOncePerBox()
{
    Day may, june;
    may.plan = QStringLiteral("英語ＡＢＣテストは来週月曜");
    may.contents[2] = QStringLiteral("ｶﾞｯｺｳの話");
    may.attendance = QStringLiteral("一ヶ月休み");
    june.attendance = QStringLiteral("今日は5㌔走った");
    june.subjects[6] = QStringLiteral("実験");
    june.plan = QStringLiteral("𠮷田と𝐀組");
    june.impressions = QStringLiteral("きょうは\n実験が楽しかった。次の実験は十二月。");
    DiarySearch search;
    const auto listed = [&](const char16_t* word) {
        QStringList rows;
        const auto days = [&](const auto& visit) { visit(QDate(2002, 5, 10), may), visit(QDate(2002, 6, 3), june); };
        for (const SearchHit& hit : search.find(days, QString::fromUtf16(word))) {
            const SearchSnippet s = DiarySearch::snippet(hit, 4, 8);
            rows << DiarySearch::dateCaption(hit.date) + DiarySearch::boxCaption(hit.column) + u' ' + s.before + u'['
                        + s.match + u']' + s.after + u'*' + QString::number(hit.count);
        }
        return rows.join(u'|');
    };
    const char16_t* const cases[][2] = {
        {u"abc", u"2002年5月10日(金)今日の予定 英語[ＡＢＣ]テストは来週月曜*1"},
        {u"ガッこう", u"2002年5月10日(金)3時間目 授業内容 [ｶﾞｯｺｳ]の話*1"},
        {u"ロ", u"2002年6月3日(月)出欠記録 今日は5[㌔]走った*1"},
        {u"5キ", u"2002年6月3日(月)出欠記録 今日は[5㌔]走った*1"},
        {u"𠮷田", u"2002年6月3日(月)今日の予定 [𠮷田]と𝐀組*1"},
        {u"a組", u"2002年6月3日(月)今日の予定 𠮷田と[𝐀組]*1"},
        {u"ゖ", u"2002年5月10日(金)出欠記録 一[ヶ]月休み*1"},
        {u"かっこう", u""},
        {u"", u""},
        {u" \u3000 ", u""},
        {u"実験",
         u"2002年6月3日(月)7時間目 教科 [実験]*1|2002年6月3日(月)感想・記録 …ょうは [実験]が楽しかった。次…*2"},
        // Every word, in any order, the first one in the text marked; a phrase reads on across a line break.
        {u"楽しかった\u3000実験 実験", u"2002年6月3日(月)感想・記録 …ょうは [実験]が楽しかった。次…*3"},
        {u"テスト ｶﾞｯｺｳ", u""},
        {u"は実験が", u"2002年6月3日(月)感想・記録 きょう[は 実験が]楽しかった。次の…*1"},
    };
    for (const auto& [word, rows] : cases)
        QCOMPARE(listed(word), QString::fromUtf16(rows));
    june.impressions = QStringLiteral("観察"); // a changed text is folded again
    QCOMPARE(listed(u"実験"), QStringLiteral("2002年6月3日(月)7時間目 教科 [実験]*1"));

    // Every character alone folds as NFKC, case folding and katakana to hiragana say, shortcuts or not.
    for (char32_t c = 0x20; c < 0x10000; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || c == u'\n' || c == u'\r')
            continue;
        QString expected = QString(QChar(c)).normalized(QString::NormalizationForm_KC).toCaseFolded();
        for (QChar& ch : expected)
            if ((ch >= QChar(0x30A1) && ch <= QChar(0x30F6)) || ch == QChar(0x30FD) || ch == QChar(0x30FE))
                ch = QChar(ch.unicode() - 0x60);
        const QString folded = TextFold::fold(QString(QChar(c)));
        QVERIFY2(folded == expected, qPrintable(QString::number(uint(c), 16)));
    }
}

// Keys every 100 ms, no pause: the file always holds what was typed a
// deadline ago, and nothing is written once the keys stop.
void TestDiaryModel::steadyTypingIsWrittenWithinTheDeadline()
{
    SavingDiary d;
    QString typed;
    for (int key = 0; key < 40; ++key) {
        const QString saved = d.filePlan();
        QVERIFY2(typed.startsWith(saved) && saved.size() >= typed.size() - PageSaver::DeadlineMs / 100 - 1,
                 qPrintable(QStringLiteral("%1 ms: %2 of %3 typed").arg(d.now).arg(saved.size()).arg(typed.size())));
        typed += QChar(u'あ' + key);
        d.type(typed.right(1));
        d.wait(100);
    }
    d.wait(PageSaver::DeadlineMs);
    QCOMPARE(d.filePlan(), typed);
    QVERIFY(!d.diary.hasPendingEdits());
    const QByteArray written = readAll(d.path);
    d.saver.saveNow(); // the window left with nothing changed: nothing written
    d.wait(PageSaver::RetryMs);
    QCOMPARE(readAll(d.path), written);
    QVERIFY(d.notices.isEmpty());
}

// A writer that fails, then throws (out of memory), then works: one notice,
// the text kept and written at the retry that works.
void TestDiaryModel::failedSavesAreToldOnceAndTriedAgain()
{
    // A refusal for a long text that no edit of the diary holds names no day.
    const QString general = DiaryStore::saveErrorMessage(Diary(), {workbook::ErrorKind::FieldTooLong, {}});
    QVERIFY2(general.contains(QStringLiteral("超えた欄があります")) && !general.contains(QStringLiteral("の「")),
             qPrintable(general));
    SavingDiary d;
    int calls = 0;
    const Diary::Writer real = [](workbook::Workbook& book, const QList<workbook::FieldWrite>& writes,
                                  workbook::Error* error) {
        return book.writeFields(DayRecord::SheetName, writes, error);
    };
    d.diary.setWriterForTesting(
        [&](workbook::Workbook& book, const QList<workbook::FieldWrite>& writes, workbook::Error* error) {
            if (++calls == 1) { // with the folder gone meanwhile, a stick pulled out say
                QDir().rename(d.dir.path(), d.dir.path() + QStringLiteral("-away"));
                *error = {workbook::ErrorKind::WriteFailed, QStringLiteral("No space left on device")};
                return false;
            }
            if (calls == 2)
                throw std::bad_alloc();
            return real(book, writes, error);
        });
    d.type(QStringLiteral("消えない"));
    d.wait(PageSaver::DeadlineMs);
    QCOMPARE(calls, 1);
    QCOMPARE(d.notices.size(), 1);
    QVERIFY2(d.notices[0].contains(QStringLiteral("保存できませんでした"))
                 && d.notices[0].contains(QStringLiteral("入力した内容は消えていません"))
                 && d.notices[0].contains(QStringLiteral("（詳しい情報: No space left on device）"))
                 && d.notices[0].contains(QStringLiteral("日記のフォルダーが見つかりません")),
             qPrintable(d.notices[0]));
    QVERIFY(QDir().rename(d.dir.path() + QStringLiteral("-away"), d.dir.path()));
    d.wait(PageSaver::RetryMs);
    QCOMPARE(calls, 2);
    QCOMPARE(d.filePlan(), QString());
    QVERIFY(d.diary.hasPendingEdits());
    d.wait(PageSaver::RetryMs);
    QCOMPARE(calls, 3);
    QCOMPARE(d.filePlan(), QStringLiteral("消えない"));
    QCOMPARE(d.notices.size(), 1);
}

void TestDiaryModel::anotherProgramsSavesAreReadAndLoseNothing()
{
    SavingDiary d;
    const QDate june(2002, 6, 1);
    const QByteArray before = readAll(d.path);
    d.type(QStringLiteral("遠足"));
    d.wait(PageSaver::DeadlineMs);
    QCOMPARE(d.filePlan(), QStringLiteral("遠足"));

    // A program that opened the file before that save saves its copy with a change of its own.
    QVERIFY(writeAll(d.path, before));
    saveElsewhere(d.path, june, DayRecord::impressions(), QStringLiteral("よそで書いた"));
    d.saver.fileMayHaveChanged();
    d.wait(PageSaver::SettleMs + PageSaver::PollMs);
    QCOMPARE(d.diary.day(june).impressions, QStringLiteral("よそで書いた")); // the search and print see it
    QCOMPARE(fileField(d.path, june, DayRecord::impressions()), QStringLiteral("よそで書いた"));
    QCOMPARE(d.filePlan(), QStringLiteral("遠足")); // the dropped text written again
    QCOMPARE(d.notices.size(), 1);
    QVERIFY2(d.notices[0].contains(QStringLiteral("その変更を読み込みました"))
                 && d.notices[0].contains(
                     QStringLiteral("2002年5月10日の「今日の予定」は、ほかのプログラムの保存で消えていた")),
             qPrintable(d.notices[0]));

    // The same box changed here (not yet saved) and there: both texts stay, the page shows them.
    d.type(QStringLiteral("は雨"));
    d.page.planColour = QStringLiteral("255"); // a box the other program left alone
    saveElsewhere(d.path, SavingDiary::Today, DayRecord::plan(), QStringLiteral("遠足は中止"));
    saveElsewhere(d.path, SavingDiary::Today, DayRecord::attendance(), QStringLiteral("出席"));
    d.notices.clear();
    d.saver.fileMayHaveChanged();
    d.wait(PageSaver::SettleMs + PageSaver::PollMs);
    const QString both = QStringLiteral("遠足は雨\n――― ほかのプログラムで保存された内容 ―――\n遠足は中止");
    QCOMPARE(d.page.plan, both);
    QCOMPARE(d.filePlan(), both);
    QCOMPARE(d.diary.currentDay().attendance, QStringLiteral("出席"));
    QCOMPARE(fileField(d.path, SavingDiary::Today, DayRecord::planColour()), QStringLiteral("255"));
    QVERIFY(!d.diary.hasPendingEdits());
    QVERIFY2(d.notices.size() == 1
                 && d.notices[0].contains(
                     QStringLiteral("2002年5月10日の「今日の予定」は、この日記とほかのプログラムの両方で")),
             qPrintable(d.notices.join(u'|')));

    // A save that kept all the diary wrote is only read: the file stays the other program's.
    saveElsewhere(d.path, june, DayRecord::attendance(), QStringLiteral("欠席"));
    struct stat theirs = {}, after = {};
    QCOMPARE(::stat(QFile::encodeName(d.path).constData(), &theirs), 0);
    d.saver.fileMayHaveChanged();
    d.wait(PageSaver::SettleMs + PageSaver::PollMs);
    QCOMPARE(d.diary.day(june).attendance, QStringLiteral("欠席"));
    QCOMPARE(::stat(QFile::encodeName(d.path).constData(), &after), 0);
    QCOMPARE(after.st_ino, theirs.st_ino); // written, it would be a new file renamed over it

    // Another program saves between the diary's look at the file and its write: both stay, and the diary knows.
    bool raced = false;
    d.diary.setWriterForTesting([&](workbook::Workbook& book, const auto& writes, workbook::Error* error) {
        if (!std::exchange(raced, true))
            saveElsewhere(d.path, june, DayRecord::attendance(), QStringLiteral("遅刻"));
        return book.writeFields(DayRecord::SheetName, writes, error);
    });
    d.type(QStringLiteral("。"));
    QVERIFY(d.diary.write(nullptr) && raced);
    QCOMPARE(d.diary.day(june).attendance, QStringLiteral("遅刻"));
    QCOMPARE(fileField(d.path, june, DayRecord::attendance()), QStringLiteral("遅刻"));
    QCOMPARE(d.filePlan(), both + QStringLiteral("。"));

    // Removed: made again at once from what the diary holds, and said so.
    QVERIFY(QFile::remove(d.path));
    d.notices.clear();
    d.saver.fileMayHaveChanged();
    d.wait(PageSaver::SettleMs + PageSaver::PollMs);
    QCOMPARE(fileField(d.path, june, DayRecord::impressions()), QStringLiteral("よそで書いた"));
    QVERIFY(d.notices.size() == 1 && d.notices[0].contains(QStringLiteral("作り直しました")));
}

void TestDiaryModel::fileHeldElsewhereIsNotWrittenUntilFree()
{
    SavingDiary d;
    const QByteArray untouched = readAll(d.path);
    const QString libreOffice = d.dir.filePath(QStringLiteral(".~lock.nikki.xls#"));
    const QString excel = d.dir.filePath(QStringLiteral("~$nikki.xls"));
    QVERIFY(
        writeAll(libreOffice, ",pupil,another-computer,08.12.2026 09:00,file:///home/pupil/.config/libreoffice/4;"));
    d.type(QStringLiteral("待って"));
    d.wait(PageSaver::DeadlineMs + 3 * PageSaver::HeldMs);
    QCOMPARE(readAll(d.path), untouched);
    QCOMPARE(d.notices.size(), 1); // told once, however often it looks
    QVERIFY2(d.notices[0].contains(QStringLiteral("LibreOffice で開かれています"))
                 && d.notices[0].contains(QStringLiteral("書いた内容は消えていません")),
             qPrintable(d.notices[0]));
    SaveProblem problem; // a day change does not write either
    QVERIFY(!d.diary.write(&problem) && problem.holder == QStringLiteral("LibreOffice"));

    QVERIFY(QFile::remove(libreOffice) && writeAll(excel, "\x05pupil"));
    d.wait(PageSaver::HeldMs);
    QCOMPARE(readAll(d.path), untouched);
    QVERIFY(d.notices.size() == 2 && d.notices[1].contains(QStringLiteral("Excel で開かれています")));

    QVERIFY(QFile::remove(excel));
    d.wait(PageSaver::HeldMs);
    QCOMPARE(d.filePlan(), QStringLiteral("待って"));
    QVERIFY(d.notices.size() == 3 && d.notices[2].contains(QStringLiteral("閉じたので、書いた内容を保存しました")));

    // At the close the pupil may choose to write all the same.
    QVERIFY(writeAll(excel, "\x05pupil"));
    d.page.plan += u'!';
    QVERIFY(!d.diary.write(&problem) && d.diary.write(&problem, true));
    QCOMPARE(d.filePlan(), QStringLiteral("待って!"));

    // A LibreOffice mark naming this computer holds the file only while LibreOffice runs here.
    QVERIFY(QFile::remove(excel));
    QVERIFY(writeAll(libreOffice, ",pupil," + QSysInfo::machineHostName().toUtf8() + ",08.12.2026 09:00,x;"));
    const QString office = d.dir.filePath(QStringLiteral("soffice.bin"));
    if (QProcess::execute(QStringLiteral("pgrep"), {QStringLiteral("-x"), QStringLiteral("soffice.bin")}) == 1)
        QCOMPARE(FileHolder::of(d.path), QString()); // left by a crash (unless another test runs LibreOffice)
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), office));
    QProcess running;
    running.start(office, {QStringLiteral("30")});
    QVERIFY(running.waitForStarted());
    QCOMPARE(FileHolder::of(d.path), QStringLiteral("LibreOffice"));
    running.kill();
    running.waitForFinished();
}

void TestDiaryModel::timetableIsTheLastSameWeekdayWithSubjects()
{
    SavingDiary d;
    Day partly;
    partly.subjects[4] = QStringLiteral("音楽"); // one period is a timetable
    d.diary.setDay({2002, 5, 6}, partly);
    QCOMPARE(d.diary.lastTimetableDay({2002, 5, 20}), QDate(2002, 5, 6)); // the week between was a holiday
    QCOMPARE(d.diary.lastTimetableDay({2002, 5, 21}), QDate());           // another weekday
    QCOMPARE(d.diary.lastTimetableDay({2002, 5, 6}), QDate());            // not the day itself
    QCOMPARE(d.diary.lastTimetableDay({2002, 8, 5}), QDate(2002, 5, 6));  // the summer holiday looks back
    QCOMPARE(d.diary.lastTimetableDay({2002, 4, 1}), QDate());            // the first week
    d.diary.setDay({2002, 7, 15}, partly);
    QCOMPARE(d.diary.lastTimetableDay({2002, 8, 5}), QDate(2002, 7, 15));
}

QTEST_GUILESS_MAIN(TestDiaryModel)
#include "test_diary_model.moc"
