// The pictures on a screen scaled by 2: drawn from the icons' larger images at
// their designed size, not a 32-pixel image enlarged.
#include "support/DiaryFixture.h"

#include "appearance/FrmAbout.h"
#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/PictureBox.h"
#include "weather/Form2.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestHiDpi : public QObject {
    Q_OBJECT
private slots:
    void picturesUseTheScreensPixels();
};

namespace {

// Sharp at ratio 2: twice the pixels, the designed 32 x 32 on screen.
bool sharp(const QPixmap& pixmap)
{
    return pixmap.size() == QSize(64, 64) && pixmap.deviceIndependentSize() == QSizeF(32, 32);
}

} // namespace

void TestHiDpi::picturesUseTheScreensPixels()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QCOMPARE(form->devicePixelRatioF(), 2.0);

    form->Picture1_Click();
    Form2* picker = form->weatherPicker();
    for (QPushButton* button : picker->Command2)
        QVERIFY2(sharp(button->icon().pixmap(button->iconSize(), button->devicePixelRatioF())),
                 qPrintable(button->toolTip()));
    QTest::mouseClick(picker->Command2[3], Qt::LeftButton);
    QVERIFY(sharp(controlsOf(form).Picture1->picture()));
    QCOMPARE(controlsOf(form).Picture1->size(), QSize(32, 32));
    // The mark read back from the path the day stores.
    diary.clickDate(QDate(2002, 5, 11));
    diary.clickDate(QDate(2002, 5, 10));
    QVERIFY(sharp(controlsOf(form).Picture1->picture()));

    form->Command1_Click();
    const auto* icon = form->openColourSettings()->findChild<QLabel*>(QStringLiteral("picIcon"));
    QVERIFY(icon && sharp(icon->pixmap()));
}

int main(int argc, char** argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_hidpi.moc"
