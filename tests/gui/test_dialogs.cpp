// The colour scheme with its dialog and settings file.
#include "support/DiaryFixture.h"
#include "support/FileBytes.h"

#include "appearance/ColourScheme.h"
#include "appearance/FrmAbout.h"
#include "appearance/SettingsFile.h"
#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/ColourSwatch.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"
#include "store/Diary.h"
#include "weather/Form2.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

namespace {

using Role = MonthCalendar::ColourRole;
const ColourScheme Example{{ColourValue(815785), ColourValue(13101301), ColourValue(0), ColourValue(16777215),
                            ColourValue(16777215), ColourValue(815785)}};
const ColourScheme Other{{ColourValue(0x0000FF), ColourValue(0x00FF00), ColourValue(0x123456), ColourValue(0x654321),
                          ColourValue::system(ColourValue::Highlight), ColourValue::system(ColourValue::WindowText)}};
const QByteArray ExampleFile("815785\r\n13101301\r\n0\r\n16777215\r\n16777215\r\n815785\r\n");

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void schemeColoursCaptionsNotEntries();
    void settingsFileIsReadStrictly_data();
    void settingsFileIsReadStrictly();
    void dialogAppliesOnOkAndSavesAtClose();
    void unwritableSettingsStillSaveTheDiary();
};

void TestDialogs::schemeColoursCaptionsNotEntries()
{
    DiaryFixture diary;
    QVERIFY(writeAll(SettingsFile::path(), "12,34\r\nnot a colour\r\n")); // a bad file: the design's colours
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const ColourScheme design{{ColourValue(0x000C72A9), ColourValue(0x00C7E8F5), ColourValue(0), ColourValue(0xFFFFFF),
                               ColourValue(0xFFFFFF), ColourValue(0x000C72A9)}};
    QVERIFY(CurrentColourScheme(*form) == design);
    const QImage boxBefore = controlsOf(form).Text1->grab().toImage();
    ApplyColourScheme(*form, Other);
    QVERIFY(CurrentColourScheme(*form) == Other);
    QCOMPARE(form->captionLabels().size(), 13);
    for (CaptionLabel* label : form->captionLabels())
        QCOMPARE(label->foreColour(), Other[ColourScheme::CaptionText]);
    const MonthCalendar* calendar = controlsOf(form).MonthView1;
    const Role roles[] = {Role::DayText, Role::DayBackground, Role::TitleText, Role::TitleBackground};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(calendar->colour(roles[i]), Other[ColourScheme::DayText + i]);
    QCOMPARE(calendar->colour(Role::TrailingText), Other[ColourScheme::DayBackground]);
    QCOMPARE(form->palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(controlsOf(form).Text1->grab().toImage(), boxBefore); // entry boxes, frames included, as before
    QCOMPARE(controlsOf(form).Text3[0]->foreColour(), ColourValue::system(ColourValue::WindowText));

    QVERIFY(diary.closeWindow()); // the close writes the scheme in force, whole
    QCOMPARE(readAll(SettingsFile::path()), SettingsFile::format(Other));
    QVERIFY(diary.start());
    QVERIFY(CurrentColourScheme(*diary.form()) == Other);
}

void TestDialogs::settingsFileIsReadStrictly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("six lines") << ExampleFile << true;
    QTest::newRow("one line, commas") << QByteArray("815785,13101301,0,16777215,16777215,815785\r\n") << true;
    QTest::newRow("LF only, spaces, blank lines, a seventh value")
        << QByteArray("\n 815785\n  13101301 \n0\n16777215\n16777215\n815785\n999") << true;
    QTest::newRow("too few") << QByteArray("815785\r\n13101301\r\n0\r\n") << false;
    QTest::newRow("garbage") << QByteArray("red\r\nblue\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("fraction") << QByteArray("1.5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("beyond 32 bits") << QByteArray("2147483648\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("empty between commas") << QByteArray("1,,2,3,4,5\r\n") << false;
    QTest::newRow("UTF-16") << QByteArray::fromHex("fffe380031003500") + QByteArray(12, '\0') << false;
}

void TestDialogs::settingsFileIsReadStrictly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    const auto scheme = SettingsFile::parse(bytes);
    QCOMPARE(scheme.has_value(), accepted);
    if (accepted)
        QVERIFY(*scheme == Example);
    QCOMPARE(SettingsFile::format(Example), ExampleFile);
    const ColourScheme limits{{ColourValue(2147483647), ColourValue(-2147483647 - 1)}};
    QVERIFY(SettingsFile::parse(SettingsFile::format(Other)) == Other
            && SettingsFile::parse(SettingsFile::format(limits)) == limits);
}

void TestDialogs::dialogAppliesOnOkAndSavesAtClose()
{
    DiaryFixture diary;
    QVERIFY(writeAll(SettingsFile::path(), ExampleFile));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->Command1_Click();
    FrmAbout* about = form->openColourSettings();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("merrow日記lite"));
    QCOMPARE(about->lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.2.0"));
    QVERIFY(about->swatchScheme() == Example);
    for (int i = 0; i < 6; ++i) { // each swatch a short bar, clear of its button
        const QRect swatch = about->swatches[i]->geometry();
        QVERIFY(swatch.height() == 18 && swatch.width() >= 33 && swatch.right() < about->changeButtons[i]->x());
    }
    form->Command1_Click(); // one instance
    QCOMPARE(form->openColourSettings(), about);

    // Cancel discards the picks.
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00112233));
    QTest::mouseClick(about->changeButtons[2], Qt::LeftButton);
    ColourChooser::setNextAnswerForTesting(std::nullopt);
    QTest::mouseClick(about->changeButtons[0], Qt::LeftButton);
    QCOMPARE(about->swatchScheme()[ColourScheme::DayText], ColourValue(0x00112233));
    QCOMPARE(about->swatchScheme()[ColourScheme::CaptionText], Example[ColourScheme::CaptionText]);
    // Named for a screen reader; Esc cancels as the button does.
    QCOMPARE(about->changeButtons[2]->accessibleName(), QStringLiteral("日付文字を変更"));
    QCOMPARE(about->swatches[2]->accessibleDescription(), QStringLiteral("赤 51、緑 34、青 17"));
    QCOMPARE(about->focusWidget(), about->changeButtons[0]); // back from the chooser
    QTest::keyClick(about, Qt::Key_Escape);
    QVERIFY(CurrentColourScheme(*form) == Example);
    QVERIFY(form->commitData()); // closed, even if not yet gone: its picks are not saved
    QCOMPARE(readAll(SettingsFile::path()), ExampleFile);
    QTRY_VERIFY(!form->openColourSettings());
    form->Label7_Click();
    QTest::keyClick(form->weatherPicker(), Qt::Key_Escape);
    QTRY_VERIFY(!form->weatherPicker());

    // OK applies, and the file follows only at the close.
    form->Command1_Click();
    about = form->openColourSettings();
    QVERIFY(about->swatchScheme() == Example);
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00ABCDEF));
    QTest::mouseClick(about->changeButtons[3], Qt::LeftButton);
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    QTRY_VERIFY(!form->openColourSettings());
    QCOMPARE(controlsOf(form).MonthView1->colour(Role::DayBackground), ColourValue(0x00ABCDEF));
    QCOMPARE(readAll(SettingsFile::path()), ExampleFile);

    // Picks not confirmed with OK still reach the file at the close.
    form->Command1_Click();
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00445566));
    QTest::mouseClick(form->openColourSettings()->changeButtons[5], Qt::LeftButton);
    QVERIFY(diary.closeWindow());
    ColourScheme expected = Example;
    expected.colours[3] = ColourValue(0x00ABCDEF);
    expected.colours[5] = ColourValue(0x00445566);
    QVERIFY(SettingsFile::parse(readAll(SettingsFile::path())) == expected);
}

void TestDialogs::unwritableSettingsStillSaveTheDiary()
{
    DiaryFixture diary;
    QVERIFY(QDir(diary.folder().path()).mkdir(QStringLiteral("inf.txt"))); // no one can write it, root included
    QVERIFY(diary.start());
    DiaryFixture::type(controlsOf(diary.form()).Text1, QStringLiteral("色より日記"));
    QVERIFY(diary.closeWindow());
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("inf.txt")));
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("色より日記"));

    QVERIFY(QDir(diary.folder().path()).rmdir(QStringLiteral("inf.txt")));
    QCOMPARE(::mkfifo(QFile::encodeName(SettingsFile::path()).constData(), 0600), 0); // a pipe never blocks the start
    QVERIFY(diary.start());
    QCOMPARE(CurrentColourScheme(*diary.form())[ColourScheme::WindowBackground], ColourValue(0x00C7E8F5));
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
