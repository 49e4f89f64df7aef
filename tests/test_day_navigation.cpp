// The main window from start to a chosen day: which record is on screen, and
// when typed text reaches the workbook.
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "appearance/SettingsFile.h"
#include "main_window/Form1.h"
#include "platform/DataControl.h"
#include "platform/EntryBox.h"
#include "platform/HiddenField.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"
#include "platform/workbook/Workbook.h"
#include "store/DiaryStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestDayNavigation : public QObject {
    Q_OBJECT
private slots:
    void startsOnToday_data();
    void startsOnToday();
    void missingWorkbookIsCreated();
    void typedTextReachesTheLeftDay();
    void typedTextIsWrittenAtClose();
    void clickOnShownDateWritesAndReshows();
    void rightButtonPressMovesNoRecord();
    void keyboardSelectionShowsTheSelectedDay();
    void firstActivationHappensOnce();
    void unchangedDayWritesNothing();
    void unusableWorkbookIsRefusedUntouched_data();
    void unusableWorkbookIsRefusedUntouched();
    void failedSaveKeepsTheTextAndSaysSo();
    void closeAfterFailedSaveAsksTheUser();
};

void TestDayNavigation::startsOnToday_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("shown");
    QTest::addColumn<int>("record");
    QTest::newRow("first day") << QDate(2002, 4, 1) << QDate(2002, 4, 1) << 1;
    QTest::newRow("inside the year") << QDate(2002, 5, 10) << QDate(2002, 5, 10) << 40;
    QTest::newRow("last day") << QDate(2003, 3, 31) << QDate(2003, 3, 31) << 365;
    QTest::newRow("years later, December") << QDate(2026, 12, 6) << QDate(2002, 12, 6) << 250;
    QTest::newRow("years later, January") << QDate(2027, 1, 1) << QDate(2003, 1, 1) << 276;
    QTest::newRow("leap day") << QDate(2028, 2, 29) << QDate(2003, 2, 28) << 334;
    QTest::newRow("before the year") << QDate(2001, 3, 31) << QDate(2003, 3, 31) << 365;
}

void TestDayNavigation::startsOnToday()
{
    QFETCH(QDate, today);
    QFETCH(QDate, shown);
    QFETCH(int, record);
    DiaryFixture diary(today);
    QVERIFY(diary.start());
    QCOMPARE(diary.form()->MonthView1->value(), shown);
    QCOMPARE(diary.form()->Data1->currentRecord(), record);
    QCOMPARE(diary.form()->tag(), QStringLiteral("1"));
    QCOMPARE(diary.form()->MonthView1->minDate(), QDate(2002, 4, 1));
    QCOMPARE(diary.form()->MonthView1->maxDate(), QDate(2003, 3, 31));
}

void TestDayNavigation::missingWorkbookIsCreated()
{
    DiaryFixture diary;
    QVERIFY(!QFile::exists(diary.workbookPath()));
    QVERIFY(diary.start());
    QVERIFY(QFile::exists(diary.workbookPath()));

    workbook::Error error;
    auto book = workbook::Workbook::open(diary.workbookPath(), &error);
    QVERIFY(book);
    workbook::RecordTable table;
    QVERIFY(book->readTable(QStringLiteral("Sheet1"), &table, &error));
    QCOMPARE(table.recordCount(), 365);
    QVERIFY(DiaryStore::problemWith(table).isEmpty());
    for (int r : {0, 180, 364}) {
        QCOMPARE(table.field(r, table.columnIndex(QStringLiteral("予定色"))), QStringLiteral("-2147483640"));
        QCOMPARE(table.field(r, table.columnIndex(QStringLiteral("時間色7"))), QStringLiteral("-2147483640"));
        QCOMPARE(table.field(r, table.columnIndex(QStringLiteral("予定"))), QString());
        QCOMPARE(table.field(r, table.columnIndex(QStringLiteral("天気"))), QString());
    }
}

void TestDayNavigation::typedTextReachesTheLeftDay()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(form->Text1, QStringLiteral("遠足"));
    QTest::keyClick(form->Text1, Qt::Key_Return);
    DiaryFixture::type(form->Text1, QStringLiteral("弁当"));
    DiaryFixture::type(form->Text4[2], QStringLiteral("分数のかけ算"));
    // Nothing reaches the file while the day is on screen.
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QString());

    diary.clickDate(QDate(2002, 5, 14));
    QCOMPARE(form->Data1->currentRecord(), 44);
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("遠足\n弁当"));
    QCOMPARE(diary.fileField(40, QStringLiteral("内容3")), QStringLiteral("分数のかけ算"));
    QCOMPARE(form->Text1->toPlainText(), QString());

    // And it comes back with its day.
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(form->Text1->toPlainText(), QStringLiteral("遠足\n弁当"));
}

void TestDayNavigation::typedTextIsWrittenAtClose()
{
    DiaryFixture diary(QDate(2003, 3, 31));
    QVERIFY(diary.start());
    DiaryFixture::type(diary.form()->Text5, QStringLiteral("修了式"));
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(365, QStringLiteral("感想")), QStringLiteral("修了式"));
}

void TestDayNavigation::clickOnShownDateWritesAndReshows()
{
    DiaryFixture diary(QDate(2002, 6, 3));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(form->Text3[0], QStringLiteral("国語"));
    diary.clickDate(QDate(2002, 6, 3));
    QCOMPARE(diary.fileField(64, QStringLiteral("時間1")), QStringLiteral("国語"));
    QCOMPARE(form->Data1->currentRecord(), 64);
    QCOMPARE(form->Text3[0]->toPlainText(), QStringLiteral("国語"));
}

void TestDayNavigation::rightButtonPressMovesNoRecord()
{
    DiaryFixture diary(QDate(2002, 6, 3));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(form->Text2, QStringLiteral("欠席"));
    QTest::mouseClick(form->MonthView1, Qt::RightButton, {}, form->MonthView1->dayRect(QDate(2002, 6, 20)).center());
    QCOMPARE(form->Data1->currentRecord(), 64);
    QCOMPARE(form->MonthView1->value(), QDate(2002, 6, 3));
    QCOMPARE(form->Text2->toPlainText(), QStringLiteral("欠席"));
    QCOMPARE(diary.fileField(64, QStringLiteral("出欠")), QString());
}

void TestDayNavigation::keyboardSelectionShowsTheSelectedDay()
{
    DiaryFixture diary(QDate(2002, 6, 3));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(form->Text1, QStringLiteral("水泳"));
    form->MonthView1->setFocus();
    QTest::keyClick(form->MonthView1, Qt::Key_Right);
    QCOMPARE(form->MonthView1->value(), QDate(2002, 6, 4));
    QCOMPARE(form->Data1->currentRecord(), 65);
    QCOMPARE(diary.fileField(64, QStringLiteral("予定")), QStringLiteral("水泳"));
}

void TestDayNavigation::firstActivationHappensOnce()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    diary.clickDate(QDate(2002, 5, 20));
    QCOMPARE(form->Data1->currentRecord(), 50);

    // A different scheme on disk now must not be read on a later activation.
    QVERIFY(writeAll(SettingsFile::path(), "255\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"));
    const ColourValue caption = form->backColour();

    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(form, &activate);
    form->Form_Activate();
    QCOMPARE(form->Data1->currentRecord(), 50);
    QCOMPARE(form->backColour(), caption);
}

void TestDayNavigation::unchangedDayWritesNothing()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    const QDateTime before = QFileInfo(diary.workbookPath()).lastModified();
    const QByteArray hash = fileHash(diary.workbookPath());
    QTest::qWait(20);
    diary.clickDate(QDate(2002, 5, 11));
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(fileHash(diary.workbookPath()), hash);
    QCOMPARE(QFileInfo(diary.workbookPath()).lastModified(), before);
}

void TestDayNavigation::unusableWorkbookIsRefusedUntouched_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("開けません");
    QTest::newRow("text file") << QByteArray("予定,出欠\n").repeated(50) << QStringLiteral("開けません");
    QTest::newRow("zip") << QByteArray("PK\x03\x04", 4) + QByteArray(600, 'x') << QStringLiteral("開けません");
}

void TestDayNavigation::unusableWorkbookIsRefusedUntouched()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    DiaryFixture diary;
    QVERIFY(writeAll(diary.workbookPath(), bytes));

    QString message;
    QVERIFY(!diary.start(&message));
    QVERIFY2(message.contains(expected), qPrintable(message));
    QVERIFY(message.contains(diary.workbookPath()));
    QFile again(diary.workbookPath());
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), bytes);
    QVERIFY(!diary.form());
}

void TestDayNavigation::failedSaveKeepsTheTextAndSaysSo()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(form->Text1, QStringLiteral("消えないで"));

    // The folder disappears under the diary: even root cannot write there.
    const QString folder = diary.folder().path();
    const QString moved = folder + QStringLiteral(".away");
    QVERIFY(QDir().rename(folder, moved));
    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(form->Data1->currentRecord(), 41);
    QVERIFY(form->Data1->hasPendingEdits());
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("保存できませんでした")));
    QVERIFY(shown.first().contains(diary.workbookPath()));

    // Back on that day the text is still there, and the next move saves it.
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(form->Text1->toPlainText(), QStringLiteral("消えないで"));
    QVERIFY(QDir().rename(moved, folder));
    diary.clickDate(QDate(2002, 5, 12));
    QVERIFY(!form->Data1->hasPendingEdits());
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("消えないで"));
}

void TestDayNavigation::closeAfterFailedSaveAsksTheUser()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    DiaryFixture::type(diary.form()->Text5, QStringLiteral("大事な感想"));
    const QString folder = diary.folder().path();
    const QString moved = folder + QStringLiteral(".away");
    QVERIFY(QDir().rename(folder, moved));

    // "Don't close": the window stays with the text.
    MessageBox::resetForTesting();
    MessageBox::setNextAnswerForTesting(1);
    QVERIFY(!diary.closeWindow());
    QCOMPARE(diary.form()->Text5->toPlainText(), QStringLiteral("大事な感想"));

    // "Try again" after the folder is back: saved, and the window closes.
    QVERIFY(QDir().rename(moved, folder));
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(40, QStringLiteral("感想")), QStringLiteral("大事な感想"));
}

QTEST_MAIN(TestDayNavigation)
#include "test_day_navigation.moc"
