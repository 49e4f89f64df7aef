// The start sequence: the splash, then the main window on today's page.
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "app/FrmSplash.h"
#include "main_window/Form1.h"
#include "platform/DataControl.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>

namespace {

int visibleTopLevels()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->isVisible() ? 1 : 0;
    return n;
}

} // namespace

class TestStartSequence : public QObject {
    Q_OBJECT
private slots:
    void splashShowsItsFixedContent();
    void splashHandsOverToTodaysPage();
    void unusableDiaryEndsCleanly();
};

void TestStartSequence::splashShowsItsFixedContent()
{
    FrmSplash splash;
    QCOMPARE(splash.size(), QSize(377, 170));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);   // no taskbar entry
    QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("ver1.2"));
    QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lblProductName"))->text(), QStringLiteral("Merrow 日記\u3000"));
    QVERIFY(!splash.findChild<QLabel*>(QStringLiteral("lblCompanyProduct"))->text().isEmpty());
    QVERIFY(!splash.findChild<QLabel*>(QStringLiteral("imgLogo"))->pixmap().isNull());
    // The panel's colour is the visible background.
    const QImage image = splash.grab().toImage();
    QCOMPARE(image.pixelColor(2, 2), QColor(162, 215, 225));
    QCOMPARE(image.pixelColor(370, 165), QColor(162, 215, 225));
}

void TestStartSequence::splashHandsOverToTodaysPage()
{
    DiaryFixture diary(QDate(2002, 10, 1));
    std::unique_ptr<Form1> form(FrmSplash::Form_Load());
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QTRY_COMPARE(form->tag(), QStringLiteral("1"));
    QCOMPARE(form->Data1->currentRecord(), 184);
    QVERIFY(!QApplication::topLevelWidgets().contains(nullptr));
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(w->objectName() != QLatin1String("frmSplash"), "the splash must be gone");
}

void TestStartSequence::unusableDiaryEndsCleanly()
{
    DiaryFixture diary;
    QVERIFY(writeAll(diary.workbookPath(), "<html><body>not a diary</body></html>"));
    QVERIFY(FrmSplash::Form_Load() == nullptr);
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("nikki.xls")));
    QCOMPARE(visibleTopLevels(), 0);
}

QTEST_MAIN(TestStartSequence)
#include "test_start_sequence.moc"
