// The diary on paper: a month exported to PDF through the answered dialogs, read back with poppler.
#include "support/DiaryFixture.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/EntryBox.h"
#include "platform/Footprint.h"
#include "printing/PrintRange.h"

#include <QFileDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void monthExportHoldsTheDaysWritten();
    void saveDialogsMemoryGoesWithTheProgram();
};

void TestPrinting::monthExportHoldsTheDaysWritten()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyWeatherIcons();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    DiaryFixture::type(controlsOf(form).Text3[0], QStringLiteral("国語"));
    DiaryFixture::type(controlsOf(form).Text4[0], QStringLiteral("漢字の書き取り"));
    form->setWeather(QPixmap(), diary.folder().file(QStringLiteral("はれ.ico")));
    diary.clickDate(QDate(2002, 5, 14));
    DiaryFixture::type(controlsOf(form).Text5, QStringLiteral("雨で体育が中止になった")); // typed, not saved yet
    qputenv("HOME", QFile::encodeName(diary.folder().path()));
    PrintRangeDialog::setNextAnswerForTesting(PrintRange::Month);
    PrintRangeDialog::setNextSavePathForTesting(QString()); // Enter: the suggested file
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTest::keyClick(controlsOf(form).Text5, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);

    const QString pdf = diary.folder().file(QStringLiteral("日記_2002年5月.pdf"));
    const auto run = [](const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    for (const char* expected :
         {"merrow日記lite", "2002年5月の日記", "書いた日：2日", "2002年5月10日(金)", "教科", "授業内容", "国語",
          "漢字の書き取り", "はれ", "2002年5月14日(火)", "雨で体育が中止になった"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    QCOMPARE(text.count(QLatin1Char('\f')), 3); // the title page and the two days written, none empty
    // The faces the pages ask for, embedded, with their text mapped to Unicode.
    const QString fonts = run(QStringLiteral("pdffonts"), {pdf});
    for (const char* face : {"IPAPGothic ", "IPAPMincho "})
        QVERIFY2(QRegularExpression(face + QStringLiteral(".* yes +\\S+ +yes ")).match(fonts).hasMatch(),
                 qPrintable(fonts));
}

// The PDF save dialog writes QtProject.conf when it closes: into the
// program's private folder, which goes at exit, not into ~/.config.
void TestPrinting::saveDialogsMemoryGoesWithTheProgram()
{
    QString folder;
    {
        const Footprint footprint;
        folder = footprint.folder();
        delete new QFileDialog;
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/QtProject.conf")));
    }
    QVERIFY(!folder.isEmpty() && !QFileInfo::exists(folder));
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
