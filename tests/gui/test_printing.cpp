// The diary on paper: a month exported to PDF through the answered dialogs, read back with poppler.
#include "support/DiaryFixture.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/EntryBox.h"
#include "platform/Footprint.h"
#include "platform/QtJapanese.h"
#include "printing/PrintRange.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void rangesKeepToTheYearAndAreNamed();
    void monthExportHoldsTheDaysWritten();
    void saveDialogsMemoryGoesWithTheProgram();
    void saveDialogShowsColumnsWhole();
};

// Each range with its first and last day, its name and its file name.
void TestPrinting::rangesKeepToTheYearAndAreNamed()
{
    using R = PrintRange;
    const auto is = [](const R& r, const QDate& first, const QDate& last, const char* name, const char* file) {
        return r.first == first && r.last == last && r.name() == QString::fromUtf8(name)
               && (!file || r.fileName() == QString::fromUtf8(file));
    };
    const QDate friday(2002, 5, 10);
    QVERIFY(is(R::around(friday, R::Day, 1), friday, friday, "2002年5月10日(金)", "日記_2002年5月10日.pdf"));
    QVERIFY(is(R::around(friday, R::Week, 1), QDate(2002, 5, 5), QDate(2002, 5, 11), "2002年5月5日〜11日",
               "日記_2002年5月5日の週.pdf"));
    QVERIFY(is(R::around(friday, R::Week, 2), QDate(2002, 5, 6), QDate(2002, 5, 12), "2002年5月6日〜12日", nullptr));
    QVERIFY(is(R::around(friday, R::Week, 7), QDate(2002, 5, 4), QDate(2002, 5, 10), "2002年5月4日〜10日", nullptr));
    QVERIFY(is(R::around(QDate(2002, 5, 31), R::Week, 1), QDate(2002, 5, 26), QDate(2002, 6, 1),
               "2002年5月26日〜6月1日", nullptr));
    QVERIFY(is(R::around(QDate(2002, 12, 31), R::Week, 1), QDate(2002, 12, 29), QDate(2003, 1, 4),
               "2002年12月29日〜2003年1月4日", nullptr));
    // Weeks and months at the ends of the year stop there.
    QVERIFY(is(R::around(QDate(2002, 4, 2), R::Week, 1), QDate(2002, 4, 1), QDate(2002, 4, 6), "2002年4月1日〜6日",
               nullptr));
    QVERIFY(is(R::around(QDate(2003, 3, 31), R::Week, 1), QDate(2003, 3, 30), QDate(2003, 3, 31), "2003年3月30日〜31日",
               nullptr));
    QVERIFY(is(R::around(QDate(2003, 2, 14), R::Month, 1), QDate(2003, 2, 1), QDate(2003, 2, 28), "2003年2月",
               "日記_2003年2月.pdf"));
    QVERIFY(is(R::around(friday, R::Year, 1), QDate(2002, 4, 1), QDate(2003, 3, 31), "2002年度", "日記_2002年度.pdf"));
}

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

// In Japanese, the detail view's headings and a folder's sizes, types and
// dates fit their columns.
void TestPrinting::saveDialogShowsColumnsWhole()
{
    QVERIFY(QtJapanese::install(*QCoreApplication::instance()));
    const Footprint footprint; // where the dialog keeps its memory, gone with the test
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("写真")));
    QFile pdf(folder.filePath(QStringLiteral("日記_2002年5月.pdf")));
    QVERIFY(pdf.open(QIODevice::WriteOnly) && pdf.write(QByteArray(150000, 'x')) == 150000);
    pdf.close();
    const std::unique_ptr<QFileDialog> dialog(
        PrintRangeDialog::saveDialog(nullptr, folder.filePath(QStringLiteral("日記_2002年度.pdf"))));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("PDFに書き出す"));
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    auto* view = dialog->findChild<QTreeView*>();
    auto* model = dialog->findChild<QFileSystemModel*>();
    QVERIFY(view && model);
    const QModelIndex root = model->index(folder.path());
    QTRY_COMPARE(model->rowCount(root), 2);
    QHeaderView* header = view->header();
    QFont bold = header->font();
    bold.setBold(true);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名前"));
    for (int column = 0; column < 4; ++column) {
        const QString heading = model->headerData(column, Qt::Horizontal).toString();
        QVERIFY2(header->sectionSize(column) > QFontMetrics(bold).horizontalAdvance(heading), qPrintable(heading));
        for (int row = 0; row < 2; ++row) {
            const QString value = model->index(row, column, root).data().toString();
            QVERIFY2(column == 0 || header->sectionSize(column) > view->fontMetrics().horizontalAdvance(value),
                     qPrintable(value));
        }
    }
    // A name typed without ".pdf" that is an existing file's is asked about, not replaced unasked.
    QString asked;
    QTimer::singleShot(0, [&asked] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = box->text();
            box->reject();
        }
    });
    dialog->selectFile(QStringLiteral("日記_2002年5月"));
    QMetaObject::invokeMethod(dialog.get(), "accept"); // the save button
    QVERIFY2(asked.contains(QStringLiteral("日記_2002年5月.pdf")), qPrintable(asked));
    QVERIFY(dialog->result() != QDialog::Accepted);
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
