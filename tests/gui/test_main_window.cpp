// The main window as a pupil uses it: where things stand, which day is on
// screen, when typed text and colours reach the workbook, the weather mark.
#include "support/DiaryFixture.h"
#include "support/FileBytes.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "main_window/WeatherPicture.h"
#include "platform/AccessibleWidgets.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"
#include "platform/Notice.h"
#include "platform/PictureBox.h"
#include "platform/QtJapanese.h"
#include "platform/workbook/Workbook.h"
#include "search/SearchWindow.h"
#include "store/Diary.h"
#include "store/PageSaver.h"
#include "weather/Form2.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <sys/stat.h>

namespace {

constexpr ColourValue Red{0x000000FF};
constexpr ColourValue Blue{0x00FF0000};
const ColourValue Text = ColourValue::system(ColourValue::WindowText);

// Writes one field of the diary on disk, as another program might.
void writeDiary(const QString& path, int record, const QString& column, const QString& text, bool numeric)
{
    workbook::Error error;
    auto book = workbook::Workbook::open(path, &error);
    workbook::RecordTable table;
    if (!book || !book->readTable(QStringLiteral("Sheet1"), &table, &error)
        || !book->writeFields(QStringLiteral("Sheet1"), {{record - 1, table.columnIndex(column), text, numeric}},
                              &error))
        qFatal("cannot write the diary");
}

QColor commonestColour(QWidget* widget)
{
    const QImage image = widget->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    return QColor(std::max_element(counts.cbegin(), counts.cend()).key());
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void controlsStandWhereDesigned();
    void keyboardOrderSkipsHiddenFields();
    void startsOnToday();
    void typedTextReachesItsDayOnlyWhenLeft();
    void pageOnScreenIsSavedAfterAPause();
    void entryColoursBelongToTheirDay();
    void oddColourFieldsKeepTheBoxColour();
    void weatherMarkBelongsToItsDay();
    void searchShowsTheFoundDayAsAClickDoes();
    void timetableOfAnEarlierWeekFillsEmptySubjects();
    void closingWhileHeldElsewhereDoesWhatIsAnswered();
};

void TestMainWindow::controlsStandWhereDesigned()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QCOMPARE(form->windowTitle(), QStringLiteral("Merrow日記Lt."));
    QCOMPARE(form->geometry(), QRect(141, 47, 625, 641));
    // Logical pixels (twips / 15), caption, point size (0: the window's font).
    const struct {
        const char* name;
        QRect rect;
        const char* caption;
        double points;
    } rows[] = {
        {"Command1", {0, 0, 73, 25}, "色変更", 0},
        {"Command2", {72, 0, 73, 25}, "終了", 0},
        {"MonthView1", {16, 32, 159, 148}, "", 9},
        {"Label1", {24, 192, 137, 25}, "今日の予定", 14.25},
        {"Text1", {16, 216, 153, 129}, "", 0},
        {"Label7", {24, 360, 73, 41}, "今日の天気", 14.25},
        {"Picture1", {96, 360, 41, 33}, "", 0},
        {"Label2(0)", {40, 424, 97, 25}, "出欠記録", 14.25},
        {"Text2", {16, 456, 145, 73}, "", 0},
        {"Label4", {248, 8, 81, 25}, "時間割", 14.25},
        {"Label5", {408, 8, 113, 25}, "授業内容", 14.25},
        {"Label3(0)", {192, 48, 25, 41}, "1", 24},
        {"Label3(6)", {192, 480, 25, 41}, "7", 24},
        {"Text3(0)", {224, 32, 121, 72}, "", 12},
        {"Text3(6)", {224, 464, 121, 72}, "", 12},
        {"Text4(3)", {344, 248, 249, 73}, "", 9},
        {"Label6", {8, 560, 49, 41}, "感想・記録", 14.25},
        {"Text5", {64, 544, 529, 65}, "", 0},
        {"Text6", {16, 616, 33, 18}, "", 0},
        {"Text15", {472, 616, 57, 18}, "", 0},
    };
    for (const auto& row : rows) {
        auto* widget = form->findChild<QWidget*>(QString::fromUtf8(row.name));
        QVERIFY2(widget, row.name);
        QCOMPARE(widget->geometry(), row.rect);
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), QString::fromUtf8(row.caption));
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), QString::fromUtf8(row.caption));
        if (row.points > 0)
            QCOMPARE(widget->font().pointSizeF(), row.points);
    }
    QVERIFY(controlsOf(form).Label3[0]->font().italic() && controlsOf(form).Label1->font().bold()
            && !controlsOf(form).Label6->font().bold());
    QCOMPARE(controlsOf(form).Text3[0]->font().family(), QStringLiteral("ＭＳ Ｐ明朝"));
    // Resizing moves nothing; the buttons' faces are flat in their design colour.
    form->resize(1000, 900);
    QCOMPARE(controlsOf(form).Text5->geometry(), QRect(64, 544, 529, 65));
    QCOMPARE(commonestColour(controlsOf(form).Command1), QColor(196, 232, 253));
    QCOMPARE(commonestColour(controlsOf(form).Command2), QColor(251, 225, 149));
}

void TestMainWindow::keyboardOrderSkipsHiddenFields()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(controlsOf(form).Text1));
    QList<QWidget*> expected;
    for (int k = 0; k < 7; ++k)
        expected << controlsOf(form).Text3[k] << controlsOf(form).Text4[k];
    expected << controlsOf(form).Text5 << controlsOf(form).MonthView1 << controlsOf(form).Text2
             << controlsOf(form).Command1 << controlsOf(form).Picture1 << controlsOf(form).Command2
             << controlsOf(form).Text1;
    const QImage unfocused = controlsOf(form).Command1->grab().toImage();
    // A box with the focus has a line in the highlight colour inside its frame, away from the cursor.
    const auto rightEdge = [](EntryBox* box) {
        return box->grab().toImage().pixelColor(box->width() - 3, box->height() / 2);
    };
    const QColor highlight = controlsOf(form).Text3[0]->palette().color(QPalette::Highlight);
    QVERIFY(rightEdge(controlsOf(form).Text3[0]) != highlight);
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), next->objectName());
        if (next == controlsOf(form).Command1)
            QVERIFY(controlsOf(form).Command1->grab().toImage() != unfocused); // the focus is seen
        if (next == controlsOf(form).Text3[0])
            QCOMPARE(rightEdge(controlsOf(form).Text3[0]), highlight);
    }
    QCOMPARE(controlsOf(form).Text1->toPlainText(), QString());
    QVERIFY(controlsOf(form).Text4[0]->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!controlsOf(form).MonthView1->testAttribute(Qt::WA_InputMethodEnabled));
}

// Today's page, or the same month and day within the diary's year.
void TestMainWindow::startsOnToday()
{
    const QDate cases[][2] = {{{2002, 4, 1}, {2002, 4, 1}},   {{2003, 3, 31}, {2003, 3, 31}},
                              {{2026, 12, 6}, {2002, 12, 6}}, {{2027, 1, 1}, {2003, 1, 1}},
                              {{2028, 2, 29}, {2003, 2, 28}}, {{2001, 3, 31}, {2003, 3, 31}}};
    for (const auto& [today, shown] : cases) {
        DiaryFixture diary(today);
        QVERIFY(diary.start());
        QCOMPARE(controlsOf(diary.form()).MonthView1->value(), shown);
        QCOMPARE(diary.form()->diary().currentDate(), shown);
        QCOMPARE(diary.form()->tag(), QStringLiteral("1"));
    }
}

void TestMainWindow::typedTextReachesItsDayOnlyWhenLeft()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QCOMPARE(diary.fileField(365, QStringLiteral("時間色7")), QStringLiteral("-2147483640")); // the new diary
    const QByteArray untouched = readAll(diary.workbookPath());
    diary.clickDate(QDate(2002, 5, 11));
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(readAll(diary.workbookPath()), untouched); // an unchanged day writes nothing

    DiaryFixture::type(controlsOf(form).Text1, QStringLiteral("遠足"));
    QTest::keyClick(controlsOf(form).Text1, Qt::Key_Return);
    DiaryFixture::type(controlsOf(form).Text1, QStringLiteral("弁当"));
    DiaryFixture::type(controlsOf(form).Text4[2], QStringLiteral("分数のかけ算"));
    QTest::mouseClick(controlsOf(form).MonthView1, Qt::RightButton, {},
                      controlsOf(form).MonthView1->dayRect(QDate(2002, 5, 20)).center());
    QCOMPARE(controlsOf(form).MonthView1->value(), QDate(2002, 5, 10)); // a right click moves no day
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QString());

    diary.clickDate(QDate(2002, 5, 14));
    QCOMPARE(form->diary().currentDate(), QDate(2002, 5, 14));
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("遠足\n弁当"));
    QCOMPARE(diary.fileField(40, QStringLiteral("内容3")), QStringLiteral("分数のかけ算"));
    QCOMPARE(controlsOf(form).Text1->toPlainText(), QString());

    DiaryFixture::type(controlsOf(form).Text3[0], QStringLiteral("国語"));
    diary.clickDate(QDate(2002, 5, 14)); // the day on screen, clicked again, is written and stays
    QCOMPARE(diary.fileField(44, QStringLiteral("時間1")), QStringLiteral("国語"));
    QCOMPARE(controlsOf(form).Text3[0]->toPlainText(), QStringLiteral("国語"));

    DiaryFixture::type(controlsOf(form).Text2, QStringLiteral("欠席"));
    controlsOf(form).MonthView1->setFocus();
    QTest::keyClick(controlsOf(form).MonthView1, Qt::Key_Right);
    QCOMPARE(form->diary().currentDate(), QDate(2002, 5, 15));
    QCOMPARE(diary.fileField(44, QStringLiteral("出欠")), QStringLiteral("欠席"));

    DiaryFixture::type(controlsOf(form).Text5, QStringLiteral("修了式"));
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(45, QStringLiteral("感想")), QStringLiteral("修了式"));
}

// The timing itself is the unit tier's (PageSaver on a test clock): here the
// page's boxes and colours reach the saver, and leaving the window saves.
void TestMainWindow::pageOnScreenIsSavedAfterAPause()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    DiaryFixture::type(controlsOf(diary.form()).Text4[2], QStringLiteral("分数"));
    ColourChooser::setNextAnswerForTesting(Red);
    QTest::mouseClick(controlsOf(diary.form()).Label1, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(diary.fileField(40, QStringLiteral("内容3")), QStringLiteral("分数"),
                              10 * PageSaver::DeadlineMs);
    QCOMPARE(diary.fileField(40, QStringLiteral("予定色")), QStringLiteral("255"));
    QTRY_VERIFY(!diary.form()->diary().hasPendingEdits());

    DiaryFixture::type(controlsOf(diary.form()).Text5, QStringLiteral("窓を離れる"));
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(diary.form(), &deactivate);
    QTRY_COMPARE_WITH_TIMEOUT(diary.fileField(40, QStringLiteral("感想")), QStringLiteral("窓を離れる"), 10000);
}

void TestMainWindow::entryColoursBelongToTheirDay()
{
    // The Japanese menu of every box, the colour entry doing what the caption's click does.
    QVERIFY(QtJapanese::install(*QCoreApplication::instance()));
    QPlainTextEdit plain;
    const std::unique_ptr<QMenu> standard(plain.createStandardContextMenu());
    QVERIFY(!standard->actions().isEmpty() && standard->actions().first()->text() != QStringLiteral("&Undo"));
    QVERIFY(standard->actions().first()->text().contains(
        QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"))));
    {
        AccessibleWidgets::install(); // before any control exists, as the program does
        DiaryFixture keys(QDate(2002, 5, 10));
        QVERIFY(keys.start());
        const Form1Controls ui = controlsOf(keys.form());
        QAction* colour = ui.Text4[2]->findChild<QAction*>(QStringLiteral("colourAction"));
        QVERIFY(colour && colour->text() == QStringLiteral("文字の色…"));
        ColourChooser::setNextAnswerForTesting(Red);
        colour->trigger();
        QCOMPARE(ui.Text3[2]->foreColour(), Red);
        QVERIFY(!ui.Text2->findChild<QAction*>(QStringLiteral("colourAction"))); // attendance keeps its colour
        // A screen reader presses what the mouse clicks; a caption that does nothing has no action.
        const auto accessible = [](QObject* object) { return QAccessible::queryAccessibleInterface(object); };
        const QString press = QAccessibleActionInterface::pressAction();
        ColourChooser::setNextAnswerForTesting(Blue);
        accessible(ui.Label6)->actionInterface()->doAction(press);
        QCOMPARE(ui.Text5->foreColour(), Blue);
        ColourChooser::setNextAnswerForTesting(Red); // another action is no press
        accessible(ui.Label6)->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
        QCOMPARE(ui.Text5->foreColour(), Blue);
        ColourChooser::resetForTesting();
        QVERIFY(!accessible(ui.Label2[0])->actionInterface()->actionNames().contains(press));
        QCOMPARE(accessible(ui.Picture1)->role(), QAccessible::Button);
        accessible(ui.Picture1)->actionInterface()->doAction(press);
        QVERIFY(keys.form()->weatherPicker() && keys.form()->weatherPicker()->isVisible());
        QCOMPARE(accessible(keys.form())->role(), QAccessible::Window);
        QWidget plainDialog(nullptr, Qt::Dialog);
        QCOMPARE(accessible(&plainDialog)->role(), QAccessible::Dialog);
        QMenu popup; // Qt's own windows keep their roles
        QCOMPARE(accessible(&popup)->role(), QAccessible::PopupMenu);
        QCOMPARE(keys.form()->accessibleDescription(), QStringLiteral("表示中の日: 2002年5月10日(金)"));
        QCOMPARE(ui.Text3[6]->accessibleName(), QStringLiteral("7時間目の教科"));
        QCOMPARE(ui.Text4[0]->accessibleName(), QStringLiteral("1時間目の授業内容"));
    }

    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    ColourChooser::setNextAnswerForTesting(std::nullopt); // cancelled: nothing changes
    QTest::mouseClick(controlsOf(form).Label1, Qt::LeftButton);
    QCOMPARE(controlsOf(form).Text1->foreColour(), Text);
    ColourChooser::setNextAnswerForTesting(Red);
    QTest::mouseClick(controlsOf(form).Label3[2], Qt::LeftButton);
    QCOMPARE(controlsOf(form).Text3[2]->foreColour(), Red);
    QCOMPARE(controlsOf(form).Text4[2]->foreColour(), Red);
    QCOMPARE(controlsOf(form).Text3[1]->foreColour(), Text);
    QCOMPARE(controlsOf(form).Label3[2]->foreColour(),
             controlsOf(form).Label1->foreColour()); // captions keep the scheme

    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(diary.fileField(40, QStringLiteral("時間色3")), QStringLiteral("255"));
    QCOMPARE(diary.fileField(40, QStringLiteral("時間色2")), QString::number(Text.raw()));
    QCOMPARE(controlsOf(form).Text4[2]->foreColour(), Text);
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(controlsOf(form).Text3[2]->palette().color(QPalette::Text), QColor(255, 0, 0));

    ColourChooser::setNextAnswerForTesting(Blue); // chosen just before closing: kept
    QTest::mouseClick(controlsOf(form).Label6, Qt::LeftButton);
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(40, QStringLiteral("感想色")), QStringLiteral("16711680"));
    QVERIFY(diary.start());
    QCOMPARE(controlsOf(diary.form()).Text5->foreColour(), Blue);
    QCOMPARE(controlsOf(diary.form()).Text2->foreColour(), Text); // attendance never changes colour
}

void TestMainWindow::oddColourFieldsKeepTheBoxColour()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    QVERIFY(diary.closeWindow());
    writeDiary(diary.workbookPath(), 41, QStringLiteral("予定色"), QString(), false);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("時間色2"), QStringLiteral("みどり"), false);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("感想色"), QStringLiteral("99999999999"), true);
    writeDiary(diary.workbookPath(), 41, QStringLiteral("時間色1"), QStringLiteral(" 255 "), false);

    QVERIFY(diary.start());
    Form1* form = diary.form();
    controlsOf(form).Text1->setForeColour(Blue);
    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(controlsOf(form).Text3[0]->foreColour(), Red); // a number typed as text still reads
    QCOMPARE(controlsOf(form).Text3[1]->foreColour(), Text);
    QCOMPARE(controlsOf(form).Text1->foreColour(), Blue);
    diary.clickDate(QDate(2002, 5, 12));
    QCOMPARE(diary.fileField(41, QStringLiteral("時間色2")), QStringLiteral("みどり")); // left as it was
    QCOMPARE(diary.fileField(41, QStringLiteral("予定色")), QString());
    QCOMPARE(diary.fileField(41, QStringLiteral("時間色1")), QStringLiteral("255")); // now a number cell
    workbook::Error error;
    workbook::RecordTable table;
    QVERIFY(
        workbook::Workbook::open(diary.workbookPath(), &error)->readTable(QStringLiteral("Sheet1"), &table, &error));
    QVERIFY(table.numbersAsText.isEmpty());

    // A colour chosen on purpose is stored, even the one the box kept.
    diary.clickDate(QDate(2002, 5, 11));
    ColourChooser::setNextAnswerForTesting(Blue);
    QTest::mouseClick(controlsOf(form).Label1, Qt::LeftButton);
    diary.clickDate(QDate(2002, 5, 12));
    QCOMPARE(diary.fileField(41, QStringLiteral("予定色")), QStringLiteral("16711680"));
    QCOMPARE(diary.fileField(41, QStringLiteral("感想色")), QStringLiteral("99999999999"));
}

void TestMainWindow::weatherMarkBelongsToItsDay()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QVERIFY(controlsOf(form).Picture1->picture().isNull());
    // The caption and the picture open the picker, by mouse or by key.
    QTest::mouseClick(controlsOf(form).Picture1, Qt::LeftButton);
    Form2* picker = form->weatherPicker();
    QVERIFY(picker);
    QTest::mouseClick(controlsOf(form).Label7, Qt::LeftButton);
    QCOMPARE(form->weatherPicker(), picker); // one instance
    QCOMPARE(picker->windowTitle(), QStringLiteral("天気"));
    QCOMPARE(picker->size(), QSize(362, 158));
    QCOMPARE(picker->Command2[4]->geometry(), QRect(8 + 72 * 4, 8, 57, 57));
    QTest::mouseClick(picker->Command1, Qt::LeftButton); // cancel
    QTRY_VERIFY(!form->weatherPicker());
    QVERIFY(controlsOf(form).Picture1->picture().isNull());

    QTest::keyClick(controlsOf(form).Picture1, Qt::Key_Space);
    QTest::mouseClick(form->weatherPicker()->Command2[1], Qt::LeftButton);
    const QString cloud = diary.folder().file(QStringLiteral("くもり.ico"));
    QVERIFY(!controlsOf(form).Picture1->picture().isNull());
    QCOMPARE(controlsOf(form).Picture1->size(), QSize(32, 32));
    QTRY_VERIFY(!form->weatherPicker());
    QTest::keyClick(
        controlsOf(form).Picture1,
        Qt::Key_Return); // the day's mark is the checked button; chosen after another date: goes to that date
    QVERIFY(form->weatherPicker()->Command2[1]->isChecked() && !form->weatherPicker()->Command2[0]->isChecked());
    diary.clickDate(QDate(2002, 5, 15));
    QTest::mouseClick(form->weatherPicker()->Command2[2], Qt::LeftButton);
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(40, QStringLiteral("天気")), cloud);
    QCOMPARE(diary.fileField(45, QStringLiteral("天気")), diary.folder().file(QStringLiteral("あめ.ico")));

    // A diary moved from elsewhere finds its icons beside the program; the paths stay.
    const QString windowsPath = QStringLiteral("C:\\Program Files\\merrow\\はれ.ico");
    writeDiary(diary.workbookPath(), 41, QStringLiteral("天気"), windowsPath, false);
    QVERIFY(diary.start());
    diary.clickDate(QDate(2002, 5, 11));
    QVERIFY(!controlsOf(diary.form()).Picture1->picture().isNull());
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(41, QStringLiteral("天気")), windowsPath);

    // Paths that are no picture never block or crash: a pipe, a device.
    const QString pipe = diary.folder().file(QStringLiteral("pipe.ico"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(WeatherPicture::forStoredPath(pipe).isNull());
    QVERIFY(WeatherPicture::forStoredPath(QStringLiteral("/dev/zero")).isNull());

    // A missing icon is told; the day keeps its mark and the picker stays.
    QVERIFY(QFile::remove(diary.folder().file(QStringLiteral("ゆき.ico"))));
    QVERIFY(diary.start());
    diary.clickDate(QDate(2002, 5, 11));
    QTest::mouseClick(controlsOf(diary.form()).Picture1, Qt::LeftButton);
    picker = diary.form()->weatherPicker();
    QTest::mouseClick(picker->Command2[3], Qt::LeftButton);
    QVERIFY2(MessageBox::shownTextsForTesting().value(0).contains(QStringLiteral("天気マークの絵「")),
             qPrintable(MessageBox::shownTextsForTesting().join(u'|')));
    QVERIFY(picker->isVisible() && picker->Command2[0]->isChecked() && !picker->Command2[3]->isChecked());
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(41, QStringLiteral("天気")), windowsPath);
}

void TestMainWindow::searchShowsTheFoundDayAsAClickDoes()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(controlsOf(form).Text4[2], QStringLiteral("朝の\nガッコウで実験"));
    diary.clickDate(QDate(2002, 6, 3));
    DiaryFixture::type(controlsOf(form).Text5, QStringLiteral("跳び箱で実験"));
    // "検索…", the entry before the last of an entry box's menu, opens the window; Ctrl+F raises the same one.
    QTimer::singleShot(0, [] {
        QTest::keySequence(QApplication::activePopupWidget(), {Qt::Key_Up, Qt::Key_Up, Qt::Key_Return});
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, {}, {});
    QCoreApplication::sendEvent(controlsOf(form).Text5, &menuEvent);
    SearchWindow* search = form->searchWindow();
    QVERIFY(search && search->isVisible() && !search->parentWidget() && search->windowTitle() == "日記の検索");
    form->activateWindow();
    QTRY_VERIFY(form->isActiveWindow());
    QTest::keyClick(controlsOf(form).Text5, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(form->searchWindow() == search && search->isActiveWindow());

    DiaryFixture::type(search->wordField, QStringLiteral("がっこう")); // the input method's Enter commits
    const QAbstractItemModel* rows = search->resultList->model();
    QCOMPARE(rows->index(0, 2).data().toString(), QStringLiteral("朝の 【ガッコウ】で実験（1 か所）"));
    search->wordField->setText(QStringLiteral("実験")); // the page keys in the field page through the list
    QCOMPARE(rows->rowCount(), 2);
    for (const auto& [key, row] :
         {std::pair{Qt::Key_PageDown, 1}, {Qt::Key_PageUp, 0}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0}}) {
        QTest::keyClick(search->wordField, key);
        QCOMPARE(search->resultList->currentIndex().row(), row);
    }
    search->wordField->setText(QStringLiteral("実験\u3000がっこう")); // as many rows, each shown anew
    QCOMPARE(rows->rowCount(), 1);
    QVERIFY(search->countLabel->text().startsWith(QStringLiteral("1 日の 1 の欄に見つかりました。")));
    QCOMPARE(rows->index(0, 2).data().toString(), QStringLiteral("朝の 【ガッコウ】で実験（2 か所）"));
    QTest::keyClick(search->wordField, Qt::Key_Return); // shows the day, the cursor in the box at the word
    QCOMPARE(controlsOf(form).MonthView1->value(), QDate(2002, 5, 10));
    QCOMPARE(controlsOf(form).Text4[2]->toPlainText(), QStringLiteral("朝の\nガッコウで実験"));
    QTRY_VERIFY(form->isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), controlsOf(form).Text4[2]);
    QCOMPARE(controlsOf(form).Text4[2]->textCursor().position(), 3);
    QCOMPARE(diary.fileField(64, QStringLiteral("感想")), QStringLiteral("跳び箱で実験")); // the day left is saved

    // Back in the search window, the year is searched again with the page's edits; the row chosen stays chosen.
    search->wordField->setText(QStringLiteral("実験"));
    QTest::keyClick(search->wordField, Qt::Key_Down);
    diary.clickDate(QDate(2002, 4, 8));
    DiaryFixture::type(controlsOf(form).Text1, QStringLiteral("理科の実験"));
    search->activateWindow();
    QTRY_VERIFY(search->isActiveWindow());
    QVERIFY(rows->rowCount() == 3 && search->resultList->currentIndex().row() == 2);
    search->wordField->setText(QStringLiteral(" 宇宙"));
    QCOMPARE(search->countLabel->text(), QStringLiteral("「宇宙」は見つかりませんでした。"));
}

QTEST_MAIN(TestMainWindow)
// The boxes' menu entry types last week's subjects into the empty subject
// boxes of the day on screen, or says in a notice that there are none.
void TestMainWindow::timetableOfAnEarlierWeekFillsEmptySubjects()
{
    DiaryFixture diary(QDate(2002, 5, 20));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    Day monday = form->diary().day(QDate(2002, 5, 13));
    monday.subjects = {QStringLiteral("国語"), QStringLiteral("算数"), QStringLiteral("理科")};
    form->diary().setDay(QDate(2002, 5, 13), monday);
    DiaryFixture::type(controlsOf(form).Text3[1], QStringLiteral("体育"));
    QAction* fill = nullptr;
    for (QAction* action : controlsOf(form).Text5->actions()) {
        if (action->text() == QStringLiteral("先週と同じ時間割"))
            fill = action;
    }
    QVERIFY(fill && fill->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_T));
    fill->trigger();
    QCOMPARE(controlsOf(form).Text3[0]->toPlainText(), QStringLiteral("国語"));
    QCOMPARE(controlsOf(form).Text3[1]->toPlainText(), QStringLiteral("体育")); // typed already: kept
    QCOMPARE(controlsOf(form).Text3[2]->toPlainText(), QStringLiteral("理科"));
    QCOMPARE(controlsOf(form).Text3[3]->toPlainText(), QString());
    QVERIFY2(form->notice()->text().contains(
                 QStringLiteral("2002年5月13日(月)の時間割を入れました: 1時間目 国語、3時間目 理科")),
             qPrintable(form->notice()->text()));
    controlsOf(form).Text3[0]->undo();
    QCOMPARE(controlsOf(form).Text3[0]->toPlainText(), QString());
    diary.clickDate(QDate(2002, 5, 21));
    QCOMPARE(diary.fileField(50, QStringLiteral("時間3")), QStringLiteral("理科"));

    diary.clickDate(QDate(2002, 4, 1)); // the year's first Monday: nothing before it
    fill->trigger();
    QVERIFY(form->notice()->text().endsWith(
        QStringLiteral("2002年4月1日(月)より前の月曜日に、時間割を書いた日がありません。")));
}

#include "test_main_window.moc"

// Held by another program at the close: trying again asks again, "それでも保存する"
// saves, "保存しないで終了する" closes with the text unsaved.
void TestMainWindow::closingWhileHeldElsewhereDoesWhatIsAnswered()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(writeAll(diary.folder().file(QStringLiteral("~$nikki.xls")), "Excel's owner file"));
    QVERIFY(diary.start());
    DiaryFixture::type(controlsOf(diary.form()).Text1, QStringLiteral("それでも残す"));
    for (int answer : {0, 2})
        MessageBox::setNextAnswerForTesting(answer);
    QVERIFY(diary.closeWindow());
    const QStringList asked = MessageBox::shownTextsForTesting();
    QVERIFY2(asked.size() == 2 && asked[1].contains(QStringLiteral("いま Excel で開かれている")),
             qPrintable(asked.join(u'|')));
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("それでも残す"));

    QVERIFY(diary.start());
    DiaryFixture::type(controlsOf(diary.form()).Text1, QStringLiteral("、消える"));
    MessageBox::setNextAnswerForTesting(3);
    QVERIFY(diary.closeWindow());
    QCOMPARE(diary.fileField(40, QStringLiteral("予定")), QStringLiteral("それでも残す"));
}
