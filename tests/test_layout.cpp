// The main window as designed: where every control stands, its caption, font
// and keyboard order; captions that wrap; fields that are never seen.
#include "support/DiaryFixture.h"

#include "main_window/Form1.h"
#include "platform/CaptionLabel.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/HiddenField.h"
#include "platform/MonthCalendar.h"
#include "platform/PictureBox.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QScrollBar>
#include <QTest>

#include <algorithm>

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void controlsStandWhereDesigned_data();
    void controlsStandWhereDesigned();
    void windowGeometryAndCaption();
    void keyboardOrderStartsInThePlanBox();
    void longCaptionsWrapOntoTwoLines();
    void hiddenFieldsAreNeverSeenOrReached();
    void entryBoxesTakeNewLinesAndNeverScroll();
    void japaneseFacesAreSubstituted();
};

void TestLayout::controlsStandWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");   // logical pixels: twips / 15
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("points");    // 0: the window's font
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");

    auto row = [](const char* name, QRect r, const char* caption, double pt = 0, bool bold = false, bool italic = false) {
        QTest::newRow(name) << QString::fromUtf8(name) << r << QString::fromUtf8(caption) << pt << bold << italic;
    };
    row("Command1", {0, 0, 73, 25}, "色変更");
    row("Command2", {72, 0, 73, 25}, "終了");
    row("MonthView1", {16, 32, 159, 148}, "", 9);
    row("Label1", {24, 192, 137, 25}, "今日の予定", 14.25, true);
    row("Text1", {16, 216, 153, 129}, "");
    row("Label7", {24, 360, 73, 41}, "今日の天気", 14.25, true);
    row("Picture1", {96, 360, 41, 33}, "");
    row("Label2(0)", {40, 424, 97, 25}, "出欠記録", 14.25, true);
    row("Text2", {16, 456, 145, 73}, "");
    row("Label4", {248, 8, 81, 25}, "時間割", 14.25, true);
    row("Label5", {408, 8, 113, 25}, "授業内容", 14.25, true);
    row("Label3(0)", {192, 48, 25, 41}, "1", 24, true, true);
    row("Label3(6)", {192, 480, 25, 41}, "7", 24, true, true);
    row("Text3(0)", {224, 32, 121, 72}, "", 12);
    row("Text3(6)", {224, 464, 121, 72}, "", 12);
    row("Text4(0)", {344, 32, 249, 73}, "", 9);
    row("Text4(3)", {344, 248, 249, 73}, "", 9);
    row("Label6", {8, 560, 49, 41}, "感想・記録", 14.25, false);
    row("Text5", {64, 544, 529, 65}, "");
    row("Text6", {16, 616, 33, 18}, "");
    row("Text7", {67, 616, 33, 18}, "");
    row("Text13", {373, 616, 33, 18}, "");
    row("Text14", {424, 616, 33, 18}, "");
    row("Text15", {472, 616, 57, 18}, "");
}

void TestLayout::controlsStandWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(bool, italic);

    DiaryFixture diary;
    QVERIFY(diary.start());
    auto* widget = diary.form()->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->geometry(), geometry);
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), caption);
    if (auto* button = qobject_cast<QPushButton*>(widget))
        QCOMPARE(button->text(), caption);
    if (points > 0) {
        QCOMPARE(widget->font().pointSizeF(), points);
        QCOMPARE(widget->font().bold(), bold);
        QCOMPARE(widget->font().italic(), italic);
        const QString face = widget->font().family();
        QVERIFY2(face == QStringLiteral("ＭＳ Ｐゴシック") || face == QStringLiteral("ＭＳ Ｐ明朝"), qPrintable(face));
        if (name.startsWith(QLatin1String("Text")))
            QCOMPARE(face, QStringLiteral("ＭＳ Ｐ明朝"));
    }
}

void TestLayout::windowGeometryAndCaption()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QCOMPARE(form->windowTitle(), QStringLiteral("Merrow日記Lt."));
    QCOMPARE(form->geometry(), QRect(141, 47, 625, 641));
    QVERIFY(!form->windowIcon().isNull());
    // Resizing moves nothing.
    const QRect text5 = form->Text5->geometry();
    form->resize(1000, 900);
    QCOMPARE(form->Text5->geometry(), text5);
    form->showMaximized();
    QCOMPARE(form->Text5->geometry(), text5);
    // The faces as drawn: flat in their design colour, not a lighter gradient,
    // with the border still drawn and the focus still seen.
    const auto commonest = [](QWidget* w) {
        const QImage image = w->grab().toImage();
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y)];
        const auto most = std::max_element(counts.cbegin(), counts.cend());
        return std::pair(QColor(most.key()), most.value() * 100 / (image.width() * image.height()));
    };
    for (auto [button, face] : {std::pair(form->Command1, QColor(196, 232, 253)),
                                std::pair(form->Command2, QColor(251, 225, 149))}) {
        const auto [colour, percent] = commonest(button);
        QCOMPARE(colour, face);
        QVERIFY2(percent >= 60 && percent < 100, qPrintable(QString::number(percent)));
    }
    const QImage unfocused = form->Command1->grab().toImage();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->Text2->setFocus();
    QTest::keyClick(form->Text2, Qt::Key_Tab);
    QVERIFY(form->Command1->hasFocus());
    QVERIFY(form->Command1->grab().toImage() != unfocused);
}

void TestLayout::keyboardOrderStartsInThePlanBox()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Text1));

    QList<QWidget*> expected;
    for (int k = 0; k < 7; ++k)
        expected << form->Text3[k] << form->Text4[k];
    expected << form->Text5 << form->MonthView1 << form->Text2 << form->Command1 << form->Picture1 << form->Command2
             << form->Text1;
    for (QWidget* next : expected) {
        QWidget* from = QApplication::focusWidget();
        QTest::keyClick(from, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), next->objectName());
    }
    // Tab moves on; it never lands as a character in the box.
    QCOMPARE(form->Text1->toPlainText(), QString());
}

void TestLayout::longCaptionsWrapOntoTwoLines()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    for (CaptionLabel* label : form->captionLabels()) {
        const int lineHeight = QFontMetrics(label->font()).height();
        const int needed = label->heightForWidth(label->width());
        const bool twoLines = label == form->Label7 || label == form->Label6;
        if (twoLines) {
            QVERIFY2(needed > lineHeight && needed <= label->height() + 2, qPrintable(label->objectName()));
        } else {
            QVERIFY2(needed <= lineHeight + 1, qPrintable(label->text()));
        }
    }
}

void TestLayout::hiddenFieldsAreNeverSeenOrReached()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    Form1* form = diary.form();
    form->resize(1600, 1200);
    QList<HiddenField*> hidden{form->Text6, form->Text14, form->Text15};
    for (HiddenField* f : form->Text7_13)
        hidden << f;
    QCOMPARE(hidden.size(), 10);
    for (HiddenField* field : hidden) {
        field->show();
        QVERIFY(!field->isVisible());
        QCOMPARE(field->focusPolicy(), Qt::NoFocus);
        QVERIFY(!field->testAttribute(Qt::WA_InputMethodEnabled));
    }
    // Walking the whole keyboard order never stops on one.
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form, Qt::Key_Tab);
        QVERIFY(!qobject_cast<HiddenField*>(QApplication::focusWidget()));
    }
}

void TestLayout::entryBoxesTakeNewLinesAndNeverScroll()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    EntryBox* box = diary.form()->Text3[0];
    box->setFocus();
    for (int i = 0; i < 12; ++i) {
        DiaryFixture::type(box, QStringLiteral("とても長い行がここで折り返されるはず"));
        QTest::keyClick(box, Qt::Key_Return);
    }
    QCOMPARE(box->toPlainText().count(QLatin1Char('\n')), 12);
    QVERIFY(!box->verticalScrollBar()->isVisible());
    QVERIFY(!box->horizontalScrollBar()->isVisible());
    QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!diary.form()->MonthView1->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!diary.form()->Command1->testAttribute(Qt::WA_InputMethodEnabled));
}

void TestLayout::japaneseFacesAreSubstituted()
{
    DiaryFixture diary;
    QVERIFY(diary.start());
    const QFontInfo gothic(diary.form()->Label1->font());
    const QFontInfo mincho(diary.form()->Text3[0]->font());
    if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic")))
        QSKIP("the IPA fonts are not installed");
    QCOMPARE(gothic.family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(mincho.family(), QStringLiteral("IPAPMincho"));
}

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
