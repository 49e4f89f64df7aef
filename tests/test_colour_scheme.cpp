// The colour scheme: applying and reading it back, the colour settings dialog,
// and the settings file that keeps it between runs.
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "appearance/ColourScheme.h"
#include "appearance/FrmAbout.h"
#include "appearance/SettingsFile.h"
#include "main_window/Form1.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/ColourSwatch.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

using Role = MonthCalendar::ColourRole;

const ColourScheme Example{{ColourValue(815785), ColourValue(13101301), ColourValue(0), ColourValue(16777215),
                            ColourValue(16777215), ColourValue(815785)}};
const ColourScheme Other{{ColourValue(0x0000FF), ColourValue(0x00FF00), ColourValue(0x123456), ColourValue(0x654321),
                          ColourValue::system(ColourValue::Highlight), ColourValue::system(ColourValue::WindowText)}};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

int topLevelCount(const QString& name)
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return int(std::count_if(all.begin(), all.end(), [&](QWidget* w) { return w->objectName() == name; }));
}

} // namespace

class TestColourScheme : public QObject {
    Q_OBJECT
private slots:
    void applyColoursCaptionsNotEntries();
    void currentReadsBackWhatWasApplied();
    void fileFormatIsExact();
    void readerAcceptsWhatItMayAndRefusesTheRest_data();
    void readerAcceptsWhatItMayAndRefusesTheRest();
    void schemeSurvivesARestart();
    void badFileKeepsDesignColoursAndCloseMendsIt();
    void dialogShowsTitleVersionAndSwatches();
    void okAppliesButDoesNotWriteUntilClose();
    void cancelDiscardsPicksAndSecondOpenKeepsThem();
    void unconfirmedPicksReachTheFileAtClose();
    void unwritableSettingsStillEndsAndSavesTheDiary();
};

void TestColourScheme::applyColoursCaptionsNotEntries()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const ColourValue entryBefore = form->Text3[0]->foreColour();
    const QImage boxBefore = form->Text1->grab().toImage();
    ApplyColourScheme(*form, Other);
    const QList<CaptionLabel*> labels = form->captionLabels();
    QCOMPARE(labels.size(), 13);
    for (CaptionLabel* label : labels)
        QCOMPARE(label->foreColour(), Other[ColourScheme::CaptionText]);
    QCOMPARE(form->Text3[0]->foreColour(), entryBefore);
    QCOMPARE(form->Text2->foreColour(), ColourValue::system(ColourValue::WindowText));
    // Trailing days take the day background, not the day text.
    QCOMPARE(form->MonthView1->colour(Role::TrailingText), Other[ColourScheme::DayBackground]);
    QCOMPARE(form->palette().color(QPalette::Window), QColor(0, 255, 0));
    // The entry boxes, frames included, look as before.
    QCOMPARE(form->Text1->grab().toImage(), boxBefore);
}

void TestColourScheme::currentReadsBackWhatWasApplied()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    for (const ColourScheme& scheme : {Example, Other}) {
        ApplyColourScheme(*diary.form(), scheme);
        ApplyColourScheme(*diary.form(), scheme);
        QVERIFY(CurrentColourScheme(*diary.form()) == scheme);
    }
}

void TestColourScheme::fileFormatIsExact()
{
    ColourScheme black;
    QCOMPARE(SettingsFile::format(black), QByteArray("0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"));
    QCOMPARE(SettingsFile::format(black).size(), 18);
    const QByteArray example = SettingsFile::format(Example);
    QCOMPARE(example, QByteArray("815785\r\n13101301\r\n0\r\n16777215\r\n16777215\r\n815785\r\n"));
    QCOMPARE(example.size(), 49);
    QCOMPARE(SettingsFile::format(Other).count("-"), 2);
    QVERIFY(SettingsFile::parse(SettingsFile::format(Other)) == Other);
}

void TestColourScheme::readerAcceptsWhatItMayAndRefusesTheRest_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("six lines") << QByteArray("815785\r\n13101301\r\n0\r\n16777215\r\n16777215\r\n815785\r\n") << true;
    QTest::newRow("one line, commas") << QByteArray("815785,13101301,0,16777215,16777215,815785\r\n") << true;
    QTest::newRow("LF only, spaces") << QByteArray(" 815785\n  13101301 \n0\n16777215\n16777215\n815785") << true;
    QTest::newRow("blank lines") << QByteArray("\r\n815785\r\n\r\n13101301\r\n0\r\n16777215\r\n16777215\r\n815785\r\n") << true;
    QTest::newRow("too few") << QByteArray("815785\r\n13101301\r\n0\r\n") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("garbage") << QByteArray("red\r\nblue\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("fraction") << QByteArray("1.5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("beyond 32 bits") << QByteArray("2147483648\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("empty between commas") << QByteArray("1,,2,3,4,5\r\n") << false;
    QTest::newRow("endless digits") << QByteArray(1 << 20, '7') << false;
}

void TestColourScheme::readerAcceptsWhatItMayAndRefusesTheRest()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    const auto scheme = SettingsFile::parse(bytes);
    QCOMPARE(scheme.has_value(), accepted);
    if (accepted)
        QVERIFY(*scheme == Example);
}

void TestColourScheme::schemeSurvivesARestart()
{
    DiaryFixture diary;
    QVERIFY(writeAll(SettingsFile::path(), "815785,13101301,0,16777215,16777215,815785\r\n" + QByteArray(200, '9')));
    QVERIFY(diary.start());
    QVERIFY(CurrentColourScheme(*diary.form()) == Example);
    ApplyColourScheme(*diary.form(), Other);
    QVERIFY(diary.closeWindow());
    // The longer old file is replaced whole.
    QCOMPARE(readFile(SettingsFile::path()), SettingsFile::format(Other));

    QVERIFY(diary.start());
    QVERIFY(CurrentColourScheme(*diary.form()) == Other);
    QCOMPARE(diary.form()->Label3[6]->foreColour(), Other[ColourScheme::CaptionText]);
}

void TestColourScheme::badFileKeepsDesignColoursAndCloseMendsIt()
{
    DiaryFixture diary;
    QVERIFY(writeAll(SettingsFile::path(), "12,34\r\nnot a colour\r\n"));
    QVERIFY(diary.start());
    const ColourScheme design = CurrentColourScheme(*diary.form());
    QCOMPARE(design[ColourScheme::CaptionText], ColourValue(0x000C72A9));
    QCOMPARE(design[ColourScheme::WindowBackground], ColourValue(0x00C7E8F5));
    QVERIFY(diary.closeWindow());
    QVERIFY(SettingsFile::parse(readFile(SettingsFile::path())) == design);
}

void TestColourScheme::dialogShowsTitleVersionAndSwatches()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    ApplyColourScheme(*diary.form(), Other);
    diary.form()->Command1_Click();
    FrmAbout* about = diary.form()->openColourSettings();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("merrow日記lite"));
    QCOMPARE(about->lblTitle->text(), QStringLiteral("merrow日記lite"));
    QCOMPARE(about->lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.2.0"));
    QVERIFY(about->swatchScheme() == Other);
    QVERIFY(about->windowFlags() & Qt::Tool);   // no taskbar entry

    // A second press brings the same dialog forward.
    diary.form()->Command1_Click();
    QCOMPARE(diary.form()->openColourSettings(), about);
    QCOMPARE(topLevelCount(QStringLiteral("frmAbout")), 1);
}

void TestColourScheme::okAppliesButDoesNotWriteUntilClose()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    ApplyColourScheme(*diary.form(), Example);
    QVERIFY(writeAll(SettingsFile::path(), SettingsFile::format(Example)));
    diary.form()->Command1_Click();
    FrmAbout* about = diary.form()->openColourSettings();
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00ABCDEF));
    QTest::mouseClick(about->changeButtons[3], Qt::LeftButton);   // day background
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    QTRY_VERIFY(!diary.form()->openColourSettings());
    QCOMPARE(diary.form()->MonthView1->colour(Role::DayBackground), ColourValue(0x00ABCDEF));
    QCOMPARE(diary.form()->MonthView1->colour(Role::TrailingText), ColourValue(0x00ABCDEF));
    QCOMPARE(readFile(SettingsFile::path()), SettingsFile::format(Example));
    QVERIFY(diary.closeWindow());
    QVERIFY(SettingsFile::parse(readFile(SettingsFile::path()))->colours[3] == ColourValue(0x00ABCDEF));
}

void TestColourScheme::cancelDiscardsPicksAndSecondOpenKeepsThem()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    ApplyColourScheme(*diary.form(), Example);
    diary.form()->Command1_Click();
    FrmAbout* about = diary.form()->openColourSettings();
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00112233));
    QTest::mouseClick(about->changeButtons[2], Qt::LeftButton);
    ColourChooser::setNextAnswerForTesting(std::nullopt);          // the chooser cancelled
    QTest::mouseClick(about->changeButtons[0], Qt::LeftButton);
    QCOMPARE(about->swatchScheme()[ColourScheme::CaptionText], Example[ColourScheme::CaptionText]);

    diary.form()->Command1_Click();                                 // still the same picks
    QCOMPARE(diary.form()->openColourSettings()->swatchScheme()[ColourScheme::DayText], ColourValue(0x00112233));

    QTest::mouseClick(about->Command3, Qt::LeftButton);
    QTRY_VERIFY(!diary.form()->openColourSettings());
    QVERIFY(CurrentColourScheme(*diary.form()) == Example);
    diary.form()->Command1_Click();
    QVERIFY(diary.form()->openColourSettings()->swatchScheme() == Example);
}

void TestColourScheme::unconfirmedPicksReachTheFileAtClose()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    ApplyColourScheme(*diary.form(), Example);
    diary.form()->Command1_Click();
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00445566));
    QTest::mouseClick(diary.form()->openColourSettings()->changeButtons[5], Qt::LeftButton);
    QVERIFY(diary.closeWindow());
    ColourScheme expected = Example;
    expected.colours[5] = ColourValue(0x00445566);
    QVERIFY(SettingsFile::parse(readFile(SettingsFile::path())) == expected);
    QCOMPARE(topLevelCount(QStringLiteral("frmAbout")), 0);
}

void TestColourScheme::unwritableSettingsStillEndsAndSavesTheDiary()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    DiaryFixture::type(diary.form()->Text1, QStringLiteral("色より日記"));
    // A folder in the way of the file: no one can write it, root included.
    QVERIFY(QDir(diary.folder().path()).mkdir(QStringLiteral("inf.txt")));
    QVERIFY(diary.closeWindow());
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("inf.txt")));
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("色より日記"));
}

QTEST_MAIN(TestColourScheme)
#include "test_colour_scheme.moc"
