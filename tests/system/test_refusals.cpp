// Workbooks the diary cannot use are refused at start with a message naming
// the file and the reason, the file left byte for byte as it was (the engine's
// reasons themselves are the unit tier's), and a text over the cell limit is
// refused at saving without losing it.
#include "support/Biff.h"
#include "support/DiaryFixture.h"
#include "support/FileBytes.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/EntryBox.h"
#include "platform/MessageBox.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
#include "store/DiaryStore.h"

#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A workbook the engine writes: one sheet with this header and records holding a plan.
QByteArray book(const QStringList& header, int records, const QString& sheet = u"Sheet1"_s)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"made.xls"_s);
    QList<workbook::FieldWrite> writes;
    for (int c = 0; c < header.size(); ++c)
        writes.append({-1, c, header[c], false});
    for (int r = 0; r < records; ++r)
        writes.append({r, 0, u"記録"_s, false});
    workbook::Error error;
    if (!workbook::Workbook::createEmpty(path, sheet, &error)
        || !workbook::Workbook::open(path, &error)->writeFields(sheet, writes, &error))
        qFatal("cannot make a workbook: %s", qPrintable(error.detail));
    return readAll(path);
}

} // namespace

class TestRefusals : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void unusableWorkbookIsRefusedUntouched_data();
    void unusableWorkbookIsRefusedUntouched();
    void textOverTheCellLimit();
};

// A diary that reads a device without end fails on memory instead of filling the machine's.
void TestRefusals::initTestCase()
{
    const rlimit memory{rlim_t(4) << 30, rlim_t(4) << 30};
    QCOMPARE(::setrlimit(RLIMIT_AS, &memory), 0);
}

void TestRefusals::unusableWorkbookIsRefusedUntouched_data()
{
    QTest::addColumn<QString>("kind"); // what stands at nikki.xls: a file of these bytes, a folder, a pipe, a link
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QStringList header = DayRecord::allColumns();
    const QByteArray diary = book(header, 365);
    const auto file = [](const char* name, const QByteArray& bytes, const QString& reason) {
        QTest::newRow(name) << u"file"_s << bytes << reason;
    };
    file("empty file", {}, u"を開けません。\nExcel 97-2003 形式のブック（.xls）ではありません"_s);
    file("BIFF5 (Excel 5.0/95) by Gnumeric", readAll(QStringLiteral(TEST_DATA_DIR "/old_biff5.xls")), u"古い形式"_s);
    file("password-protected",
         biff::compoundFile({{"EncryptionInfo", QByteArray(200, 4)}, {"EncryptedPackage", QByteArray(5000, 17)}}),
         u"パスワードで保護"_s);
    file("cut in half", diary.left(diary.size() / 2), u"ファイルが壊れています"_s);
    file("no sheet \"Sheet1\"", book(header, 365, u"日記"_s), u"シート「Sheet1」がありません"_s);
    file("a missing column", book(header.mid(0, header.size() - 1), 365),
         u"日記として使えません。\nシート「Sheet1」に列「天気」がありません"_s);
    file("a column twice", book(header + QStringList{u"予定"_s}, 365), u"列「予定」が 2 つあり"_s);
    file("364 records", book(header, 364), u"364 日分の行しかありません"_s);
    for (const char* kind : {"folder", "pipe", "/dev/zero"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << QByteArray() << u"ファイルを読み込めません"_s;
}

void TestRefusals::unusableWorkbookIsRefusedUntouched()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    DiaryFixture diary;
    const QString path = diary.workbookPath();
    if (kind == "folder"_L1)
        QVERIFY(QDir().mkdir(path));
    else if (kind == "pipe"_L1)
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(kind == "file"_L1 ? writeAll(path, bytes) : QFile::link(kind, path));
    const QStringList files = QDir(diary.folder().path()).entryList(QDir::AllEntries | QDir::System);

    // A diary that would wait on the pipe or read the device forever fails here instead of hanging.
    ::alarm(20);
    QString message;
    QVERIFY(!diary.start(&message));
    ::alarm(0);
    for (const QString& part : {reason, path, u"ファイルは変更していません"_s})
        QVERIFY2(message.contains(part), qPrintable(message));
    QCOMPARE(QFileInfo(path).isFile() ? readAll(path) : QByteArray(), bytes);
    QCOMPARE(QDir(diary.folder().path()).entryList(QDir::AllEntries | QDir::System), files);
}

void TestRefusals::textOverTheCellLimit()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const QByteArray before = readAll(diary.workbookPath());
    DiaryFixture::type(controlsOf(form).Text4[2], QString(workbook::MaxCellChars + 1, QChar(0x3042)));
    diary.clickDate(QDate(2002, 5, 11));
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    // The date and the box say it all: no technical detail.
    QVERIFY2(shown[0].contains(u"2002年5月10日の「3時間目の授業内容」が、1 つの欄に書ける文字数（32767 文字）"_s)
                 && shown[0].contains(u"入力した内容は消えていません"_s) && !shown[0].contains(u"（record"_s),
             qPrintable(shown[0]));
    QCOMPARE(readAll(diary.workbookPath()), before);
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(controlsOf(form).Text4[2]->toPlainText().size(), workbook::MaxCellChars + 1);
}

QTEST_MAIN(TestRefusals)
#include "test_refusals.moc"
