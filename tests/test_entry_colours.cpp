// Per-day text colours, the weather picture, and the weather picker.
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "main_window/Form1.h"
#include "main_window/WeatherPicture.h"
#include "platform/AppInfo.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/DataControl.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/HiddenField.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"
#include "platform/PictureBox.h"
#include "platform/PictureLoader.h"
#include "platform/workbook/Workbook.h"
#include "weather/Form2.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr ColourValue Red{0x000000FF};
constexpr ColourValue Blue{0x00FF0000};
const ColourValue Text = ColourValue::system(ColourValue::WindowText);

// Writes fields of the diary on disk directly, as another program might.
void writeDiary(const QString& path, int record, const QString& column, const QString& text, bool numeric)
{
    workbook::Error error;
    auto book = workbook::Workbook::open(path, &error);
    QVERIFY(book);
    workbook::RecordTable table;
    QVERIFY(book->readTable(QStringLiteral("Sheet1"), &table, &error));
    QVERIFY(book->writeFields(QStringLiteral("Sheet1"), {{record - 1, table.columnIndex(column), text, numeric}}, &error));
}

QList<QPair<int, int>> numbersAsText(const QString& path)
{
    workbook::Error error;
    auto book = workbook::Workbook::open(path, &error);
    workbook::RecordTable table;
    if (!book || !book->readTable(QStringLiteral("Sheet1"), &table, &error))
        qFatal("cannot read the diary");
    return table.numbersAsText;
}

} // namespace

class TestEntryColours : public QObject {
    Q_OBJECT
private slots:
    void periodColourColoursBothBoxesAndComesBack();
    void cancelledChooserChangesNothing();
    void colourChosenBeforeCloseIsKept();
    void pressThatSelectsNoOtherDayRewritesTheColourFields();
    void systemColourSurvivesStoreAndShow();
    void unreadableColourFieldKeepsTheBoxColour();
    void weatherPictureFollowsTheDay();
    void rainChosenAfterAnotherDateGoesToThatDay();
    void cancelAndCloseBoxChangeNothing();
    void movedDiaryStillShowsItsWeather();
    void unsuitableWeatherPathsNeitherBlockNorCrash();
    void pickerIsOneInstanceWithItsDesign();
};

void TestEntryColours::periodColourColoursBothBoxesAndComesBack()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    ColourChooser::setNextAnswerForTesting(Red);
    QTest::mouseClick(form->Label3[2], Qt::LeftButton);
    QCOMPARE(form->Text3[2]->foreColour(), Red);
    QCOMPARE(form->Text4[2]->foreColour(), Red);
    QCOMPARE(form->Text3[1]->foreColour(), Text);
    QCOMPARE(form->Label3[2]->foreColour(), form->Label1->foreColour());  // the caption keeps the scheme colour

    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(diary.fileField(40, QStringLiteral("時間色3")), QStringLiteral("255"));
    QCOMPARE(form->Text3[2]->foreColour(), Text);
    QCOMPARE(form->Text4[2]->foreColour(), Text);
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(form->Text3[2]->foreColour(), Red);
    QCOMPARE(form->Text4[2]->foreColour(), Red);
    QCOMPARE(form->Text3[2]->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(form->Text2->foreColour(), Text);   // attendance never changes colour
}

void TestEntryColours::cancelledChooserChangesNothing()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    ColourChooser::setNextAnswerForTesting(std::nullopt);
    QTest::mouseClick(form->Label1, Qt::LeftButton);
    ColourChooser::setNextAnswerForTesting(std::nullopt);
    QTest::mouseClick(form->Label6, Qt::LeftButton);
    QCOMPARE(form->Text1->foreColour(), Text);
    QCOMPARE(form->Text5->foreColour(), Text);
    QCOMPARE(form->Text6->text(), QString::number(Text.raw()));
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());
}

void TestEntryColours::colourChosenBeforeCloseIsKept()
{
    DiaryFixture diary(QDate(2002, 7, 1));
    QVERIFY(diary.start());
    ColourChooser::setNextAnswerForTesting(Blue);
    QTest::mouseClick(diary.form()->Label6, Qt::LeftButton);
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(92, QStringLiteral("感想色")), QStringLiteral("16711680"));
    QVERIFY(diary.start());
    QCOMPARE(diary.form()->Text5->foreColour(), Blue);
}

void TestEntryColours::pressThatSelectsNoOtherDayRewritesTheColourFields()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    ColourChooser::setNextAnswerForTesting(Red);
    QTest::mouseClick(form->Label1, Qt::LeftButton);
    QCOMPARE(form->Text6->text(), QString::number(Text.raw()));
    QTest::mouseClick(form->MonthView1, Qt::RightButton, {}, form->MonthView1->dayRect(QDate(2002, 5, 20)).center());
    QCOMPARE(form->Text6->text(), QStringLiteral("255"));
    QCOMPARE(form->Data1->currentRecord(), 40);
    // Pressing the day on screen stores them too, and writes them.
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(diary.fileField(40, QStringLiteral("予定色")), QStringLiteral("255"));
    QCOMPARE(diary.fileField(40, QStringLiteral("時間色1")), QString::number(Text.raw()));
}

void TestEntryColours::systemColourSurvivesStoreAndShow()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    const ColourValue highlight = ColourValue::system(ColourValue::Highlight);
    diary.form()->Text5->setForeColour(highlight);
    diary.clickDate(QDate(2002, 5, 12));
    QCOMPARE(diary.fileField(40, QStringLiteral("感想色")), QString::number(highlight.raw()));
    QVERIFY(diary.fileField(40, QStringLiteral("感想色")).startsWith(QLatin1Char('-')));
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(diary.form()->Text5->foreColour(), highlight);
    QCOMPARE(diary.form()->Text5->palette().color(QPalette::Text), QApplication::palette().color(QPalette::Highlight));
}

void TestEntryColours::unreadableColourFieldKeepsTheBoxColour()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    QVERIFY(diary.closeWindow());
    writeDiary(diary.workbookPath(), 41, QStringLiteral("予定色"), QString(), false);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("時間色2"), QStringLiteral("みどり"), false);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("感想色"), QStringLiteral("99999999999"), true);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("時間色1"), QStringLiteral("255"), false); // typed as text elsewhere

    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->Text1->setForeColour(Blue);
    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(form->Data1->currentRecord(), 41);
    QCOMPARE(form->Text3[0]->foreColour(), Red);     // the good field applies
    QCOMPARE(form->Text3[1]->foreColour(), Text);    // the bad ones leave the colour as it was
    // Leaving the day keeps the unreadable fields as they are in the file...
    diary.clickDate(QDate(2002, 5, 12));
    QCOMPARE(diary.fileField(41, QStringLiteral("時間色2")), QStringLiteral("みどり"));
    QCOMPARE(diary.fileField(41, QStringLiteral("予定色")), QString());
    QCOMPARE(diary.fileField(41, QStringLiteral("時間色1")), QStringLiteral("255"));
    QVERIFY(numbersAsText(diary.workbookPath()).isEmpty()); // now a number cell
    // ...until the user chooses a colour for that box, even the one it kept.
    ColourChooser::setNextAnswerForTesting(Red);
    QTest::mouseClick(form->Label1, Qt::LeftButton);
    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(form->Text1->foreColour(), Red);
    ColourChooser::setNextAnswerForTesting(Blue);
    QTest::mouseClick(form->Label3[1], Qt::LeftButton);
    ColourChooser::setNextAnswerForTesting(Red);
    QTest::mouseClick(form->Label1, Qt::LeftButton);
    diary.clickDate(QDate(2002, 5, 12));
    QCOMPARE(diary.fileField(41, QStringLiteral("時間色2")), QStringLiteral("16711680"));
    QCOMPARE(diary.fileField(41, QStringLiteral("予定色")), QStringLiteral("255"));
    QCOMPARE(diary.fileField(41, QStringLiteral("感想色")), QStringLiteral("99999999999"));
}

void TestEntryColours::weatherPictureFollowsTheDay()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QVERIFY(form->Picture1->picture().isNull());
    QCOMPARE(form->Picture1->size(), QSize(41, 33));

    form->Label7_Click();
    Form2* picker = form->weatherPicker();
    QVERIFY(picker);
    QTest::mouseClick(picker->Command2[1], Qt::LeftButton);
    const QString cloud = diary.folder().path() + QStringLiteral("/くもり.ico");
    QCOMPARE(form->Text15->text(), cloud);
    QVERIFY(!form->Picture1->picture().isNull());
    QCOMPARE(form->Picture1->size(), QSize(32, 32));
    QTRY_VERIFY(!form->weatherPicker());

    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(diary.fileField(40, QStringLiteral("天気")), cloud);
    QVERIFY(form->Picture1->picture().isNull());          // no mark that day
    diary.clickDate(QDate(2002, 5, 10));
    QVERIFY(!form->Picture1->picture().isNull());
}

void TestEntryColours::rainChosenAfterAnotherDateGoesToThatDay()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->Picture1_Click();
    diary.clickDate(QDate(2002, 5, 15));
    QTest::mouseClick(form->weatherPicker()->Command2[2], Qt::LeftButton);
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(45, QStringLiteral("天気")), diary.folder().path() + QStringLiteral("/あめ.ico"));
    QCOMPARE(diary.fileField(40, QStringLiteral("天気")), QString());
}

void TestEntryColours::cancelAndCloseBoxChangeNothing()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->Label7_Click();
    QTest::mouseClick(form->weatherPicker()->Command1, Qt::LeftButton);
    QTRY_VERIFY(!form->weatherPicker());
    form->Label7_Click();
    QVERIFY(form->weatherPicker()->close());
    QTRY_VERIFY(!form->weatherPicker());
    QCOMPARE(form->Text15->text(), QString());
    QVERIFY(form->Picture1->picture().isNull());
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(40, QStringLiteral("天気")), QString());
}

void TestEntryColours::movedDiaryStillShowsItsWeather()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    QVERIFY(diary.closeWindow());
    const QString windowsPath = QStringLiteral("C:\\Program Files\\merrow\\はれ.ico");
    const QString otherFolder = QStringLiteral("/nonexistent/old/place/ゆき.ico");
    writeDiary(diary.workbookPath(), 40, QStringLiteral("天気"), windowsPath, false);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("天気"), otherFolder, false);

    QVERIFY(diary.start());
    QVERIFY(!diary.form()->Picture1->picture().isNull());
    diary.clickDate(QDate(2002, 5, 11));
    QVERIFY(!diary.form()->Picture1->picture().isNull());
    QVERIFY(diary.closeWindow());
    // The stored paths stay as they were.
    QCOMPARE(diary.fileField(40, QStringLiteral("天気")), windowsPath);
    QCOMPARE(diary.fileField(41, QStringLiteral("天気")), otherFolder);
}

void TestEntryColours::unsuitableWeatherPathsNeitherBlockNorCrash()
{
    TestFolder folder;
    const QString pipe = folder.file(QStringLiteral("pipe.ico"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder.ico")));
    QFile big(folder.file(QStringLiteral("big.ico")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(PictureLoader::MaxFileBytes + 1));
    big.close();
    QVERIFY(writeAll(folder.file(QStringLiteral("junk.ico")), "not a picture at all"));

    QElapsedTimer timer;
    timer.start();
    for (const QString& path : {pipe, folder.file(QStringLiteral("folder.ico")), folder.file(QStringLiteral("big.ico")),
                                folder.file(QStringLiteral("junk.ico")), QStringLiteral("/dev/zero"),
                                QStringLiteral("/dev/null")}) {
        QVERIFY2(WeatherPicture::forStoredPath(path).isNull(), qPrintable(path));
    }
    // A pipe with no writer would block an open() forever; this must return at once.
    QVERIFY(timer.elapsed() < 5000);
}

void TestEntryColours::pickerIsOneInstanceWithItsDesign()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->Label7_Click();
    Form2* picker = form->weatherPicker();
    form->Picture1_Click();
    QCOMPARE(form->weatherPicker(), picker);
    QCOMPARE(picker->windowTitle(), QStringLiteral("天気"));
    QCOMPARE(picker->size(), QSize(362, 158));
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(picker->Command2[i]->geometry(), QRect(8 + 72 * i, 8, 57, 57));
        QVERIFY(!picker->Command2[i]->icon().isNull());
    }
    QCOMPARE(picker->Command1->text(), QStringLiteral("キャンセル"));
    QVERIFY(!(picker->windowFlags() & Qt::WindowMaximizeButtonHint));
}

QTEST_MAIN(TestEntryColours)
#include "test_entry_colours.moc"
