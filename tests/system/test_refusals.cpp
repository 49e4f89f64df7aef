// What the diary does with files it cannot fully use: workbooks of the wrong
// kind or shape, odd colour fields, weather paths to odd places, and bad
// settings files. Each: the user is told (or the diary copes), nothing
// crashes or blocks, and the file stays as it was until the user saves.
#include "system/interop/Peers.h"
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "appearance/ColourScheme.h"
#include "appearance/SettingsFile.h"
#include "main_window/Form1.h"
#include "platform/AppInfo.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/EntryBox.h"
#include "platform/HiddenField.h"
#include "platform/MessageBox.h"
#include "platform/PictureBox.h"
#include "platform/PictureLoader.h"
#include "platform/workbook/BiffBook.h"
#include "platform/workbook/CompoundFile.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"

#include <QApplication>
#include <QTest>

#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Sheet1 = QStringLiteral("Sheet1");


QByteArray le16(quint16 v)
{
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

QByteArray record(quint16 type, const QByteArray& data)
{
    return le16(type) + le16(quint16(data.size())) + data;
}

QByteArray newDiaryBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.xls"));
    workbook::Error error;
    if (!DiaryStore::createWorkbook(path, &error))
        qFatal("cannot create a diary");
    return readAll(path);
}

// A new diary whose workbook stream is changed, the compound file around it rebuilt.
QByteArray withWorkbookStream(const std::function<QByteArray(const QByteArray&)>& change)
{
    using namespace workbook::detail;
    const QByteArray file = newDiaryBytes();
    CompoundEntry root;
    workbook::Error error;
    if (!readCompoundFile(file, &root, &error))
        qFatal("cannot read a new diary");
    CompoundEntry* stream = root.findStream("Workbook");
    stream->data = change(QByteArray(stream->data.constData(), stream->data.size()));
    QByteArray out;
    if (!writeCompoundFile(root, &out, &error))
        qFatal("cannot write a compound file");
    return out;
}

// A compound file holding only these streams.
QByteArray compoundFileWith(const QList<QPair<QByteArray, QByteArray>>& streams)
{
    using namespace workbook::detail;
    CompoundEntry root;
    root.isStorage = true;
    for (const auto& s : streams) {
        CompoundEntry e;
        e.name = s.first;
        e.data = s.second;
        root.children.push_back(e);
    }
    QByteArray out;
    workbook::Error error;
    if (!writeCompoundFile(root, &out, &error))
        qFatal("cannot write a compound file");
    return out;
}

// The child side of the tests that must not block or eat memory: opens a
// workbook as the diary does and says how it went.
int childMain(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    rlimit memory{};
    memory.rlim_cur = memory.rlim_max = rlim_t(2) << 30;
    ::setrlimit(RLIMIT_AS, &memory);
    workbook::Error error;
    auto book = workbook::Workbook::open(QString::fromLocal8Bit(argv[2]), &error);
    std::printf("%s\n", book ? "opened" : qPrintable(DiaryStore::openErrorMessage(QString::fromLocal8Bit(argv[2]), error)));
    return 0;
}

// A diary sheet description: header plus records with colour numbers; extra
// cells overwrite or add.
QJsonObject diaryBook(int records, const QStringList& header = DayRecord::allColumns(), const QJsonArray& extra = {},
                      const QString& sheetName = Sheet1)
{
    QJsonArray cells = peers::diaryCells(records, header);
    for (const QJsonValue& v : extra)
        cells.append(v);
    return peers::book({peers::sheet(sheetName, cells)});
}


} // namespace

class TestRefusals : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void unusableWorkbookIsRefusedUntouched_data();
    void unusableWorkbookIsRefusedUntouched();
    void workbookThatIsNoFileNeverBlocks_data();
    void workbookThatIsNoFileNeverBlocks();
    void moreThan365RecordsKeepsTheRest();
    void textOverTheCellLimit();

private:
    QTemporaryDir m_made;
    QMap<QString, QString> m_peerMade; // name -> file made by a peer program
};

void TestRefusals::initTestCase()
{
    if (!peers::havePython())
        return;
    // Files only real programs make well: an .xlsx and an .ods from LibreOffice,
    // a password-protected .xls saved by LibreOffice.
    const QString fods = m_made.filePath(QStringLiteral("peer.fods"));
    QVERIFY(peers::writeBook(QStringLiteral("fods"), diaryBook(365), fods).ok);
    const QString xls = m_made.filePath(QStringLiteral("peer.xls"));
    QVERIFY(peers::writeBook(QStringLiteral("xlwt"), diaryBook(365), xls).ok);
    if (peers::soffice().isEmpty())
        return;
    peers::libreOfficeConvert({fods}, QStringLiteral("xlsx"), m_made.path());
    peers::libreOfficeConvert({fods}, QStringLiteral("ods"), m_made.path());
    const QString encrypted = m_made.filePath(QStringLiteral("encrypted.xls"));
    peers::libreOfficeSaveEncrypted(xls, encrypted);
    m_peerMade.insert(QStringLiteral("xlsx"), m_made.filePath(QStringLiteral("peer.xlsx")));
    m_peerMade.insert(QStringLiteral("ods"), m_made.filePath(QStringLiteral("peer.ods")));
    m_peerMade.insert(QStringLiteral("encrypted"), encrypted);
    for (const QString& path : std::as_const(m_peerMade))
        QVERIFY2(QFileInfo::exists(path), qPrintable(path + QStringLiteral(" was not made")));
    // A real encrypted workbook: xlrd says so too.
    const peers::Run r = peers::run(peers::python(), {QStringLiteral("-c"),
        QStringLiteral("import xlrd,sys\ntry:\n xlrd.open_workbook(sys.argv[1])\nexcept xlrd.XLRDError as e:\n print(e)"), encrypted});
    QVERIFY2(r.out.contains("encrypted"), r.out.constData());
}

void TestRefusals::unusableWorkbookIsRefusedUntouched_data()
{
    QTest::addColumn<QString>("source");      // bytes:, data:, xlwt:, peer:
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QJsonObject>("desc");
    QTest::addColumn<QStringList>("expected");

    const QString cannotOpen = QStringLiteral("を開けません");
    const QString notXls = QStringLiteral("Excel 97-2003 形式のブック（.xls）ではありません");
    const QString old = QStringLiteral("古い形式");
    const QString locked = QStringLiteral("パスワードで保護");
    const QString damaged = QStringLiteral("ファイルが壊れています");
    const QString unusable = QStringLiteral("日記として使えません");
    const QStringList header = DayRecord::allColumns();

    auto bytes = [&](const char* name, const QByteArray& b, const QStringList& expected) {
        QTest::newRow(name) << QStringLiteral("bytes") << b << QJsonObject() << expected;
    };
    auto xlwt = [&](const char* name, const QJsonObject& desc, const QStringList& expected) {
        QTest::newRow(name) << QStringLiteral("xlwt") << QByteArray() << desc << expected;
    };
    bytes("empty file", QByteArray(), {cannotOpen, notXls});
    bytes("a zip named nikki.xls", QByteArray("PK\x03\x04", 4) + QByteArray(1000, '\0'), {cannotOpen, notXls});
    QTest::newRow("an .xlsx by LibreOffice") << QStringLiteral("peer:xlsx") << QByteArray() << QJsonObject() << QStringList{cannotOpen, notXls};
    QTest::newRow("an .ods by LibreOffice") << QStringLiteral("peer:ods") << QByteArray() << QJsonObject() << QStringList{cannotOpen, notXls};
    bytes("an HTML table saved as .xls",
          "<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><body><table><tr><td>予定</td><td>出欠</td></tr>"
          "</table></body></html>\r\n",
          {cannotOpen, notXls});
    bytes("HTML with a byte order mark", "\xEF\xBB\xBF<!DOCTYPE html><html><table></table></html>", {cannotOpen, notXls});
    bytes("plain text", QByteArray("予定\t出欠\r\n").repeated(40), {cannotOpen, notXls});
    QTest::newRow("BIFF5 (Excel 5.0/95) by Gnumeric") << QStringLiteral("data:old_biff5.xls") << QByteArray() << QJsonObject()
                                                      << QStringList{cannotOpen, old};
    bytes("BIFF4 worksheet", record(0x0409, QByteArray("\x00\x00\x10\x00\x00\x00", 6)) + record(0x000A, {}), {cannotOpen, old});
    bytes("BIFF2 worksheet", record(0x0009, QByteArray("\x02\x00\x10\x00", 4)) + record(0x000A, {}), {cannotOpen, old});
    bytes("BIFF5 stream named Workbook",
          withWorkbookStream([](const QByteArray&) {
              return record(0x0809, QByteArray("\x00\x05\x05\x00\x00\x00\x00\x00", 8)) + record(0x000A, {});
          }),
          {cannotOpen, old});
    QTest::newRow("encrypted by LibreOffice (RC4)") << QStringLiteral("peer:encrypted") << QByteArray() << QJsonObject()
                                                    << QStringList{cannotOpen, locked};
    bytes("encrypted, XOR obfuscation (FILEPASS)",
          withWorkbookStream([](const QByteArray& s) {
              const int bofEnd = 4 + int(quint8(s[2]) | quint8(s[3]) << 8);
              return s.left(bofEnd) + record(0x002F, QByteArray("\x00\x00\x34\x12\x78\x56", 6)) + s.mid(bofEnd);
          }),
          {cannotOpen, locked});
    bytes("encrypted .xlsx renamed .xls",
          compoundFileWith({{"EncryptionInfo", QByteArray(200, '\x04')}, {"EncryptedPackage", QByteArray(5000, '\x11')}}),
          {cannotOpen, locked});
    bytes("a Word document", compoundFileWith({{"WordDocument", QByteArray(5000, 'w')}}), {cannotOpen, notXls});
    bytes("cut in half", newDiaryBytes().left(newDiaryBytes().size() / 2), {cannotOpen});
    bytes("workbook stream of garbage", withWorkbookStream([](const QByteArray& s) { return QByteArray(s.size(), '\xA5'); }),
          {cannotOpen, damaged});
    bytes("sheet substream cut short", withWorkbookStream([](const QByteArray& s) { return s.left(s.size() - 200); }),
          {cannotOpen, damaged});
    xlwt("no sheet \"Sheet1\"", diaryBook(365, header, {}, QStringLiteral("日記")), {cannotOpen, QStringLiteral("シート「Sheet1」がありません")});
    QStringList noWeather = header;
    noWeather.removeLast();
    xlwt("a missing column", diaryBook(365, noWeather), {unusable, QStringLiteral("列「天気」がありません")});
    QStringList twice = header;
    twice.append(QStringLiteral("予定"));
    xlwt("duplicate column names", diaryBook(365, twice), {unusable, QStringLiteral("列「予定」が 2 つあり")});
    xlwt("364 records", diaryBook(364), {unusable, QStringLiteral("364 日分の行しかありません")});
    xlwt("the header only", diaryBook(0), {unusable, QStringLiteral("0 日分の行しかありません")});
    xlwt("nothing at all in Sheet1", peers::book({peers::sheet(Sheet1, {})}), {unusable, QStringLiteral("列「予定」がありません")});
}

void TestRefusals::unusableWorkbookIsRefusedUntouched()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QJsonObject, desc);
    QFETCH(QStringList, expected);

    DiaryFixture diary;
    const QString path = diary.workbookPath();
    if (source == QLatin1String("bytes")) {
        QVERIFY(writeAll(path, bytes));
    } else if (source.startsWith(QLatin1String("data:"))) {
        diary.folder().copyData(source.mid(5), DiaryStore::fileName());
    } else if (source == QLatin1String("xlwt")) {
        if (!peers::havePython())
            QSKIP("python3-xlwt is not installed");
        const peers::Run r = peers::writeBook(QStringLiteral("xlwt"), desc, path);
        QVERIFY2(r.ok, qPrintable(r.describe()));
    } else {
        const QString made = m_peerMade.value(source.mid(5));
        if (made.isEmpty())
            QSKIP("LibreOffice is not installed");
        QVERIFY(QFile::copy(made, path));
    }
    const QByteArray before = readAll(path);
    const QStringList filesBefore = QDir(diary.folder().path()).entryList(QDir::Files | QDir::NoDotAndDotDot);

    QString message;
    QVERIFY(!diary.start(&message));
    QVERIFY(!diary.form());
    for (const QString& part : expected)
        QVERIFY2(message.contains(part), qPrintable(message));
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("ファイルは変更していません")), qPrintable(message));
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(diary.folder().path()).entryList(QDir::Files | QDir::NoDotAndDotDot), filesBefore);
}

void TestRefusals::workbookThatIsNoFileNeverBlocks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a folder named nikki.xls") << QStringLiteral("folder") << QStringLiteral("読み込めません");
    QTest::newRow("a named pipe named nikki.xls") << QStringLiteral("pipe") << QStringLiteral("開けません");
    QTest::newRow("nikki.xls linked to /dev/null") << QStringLiteral("/dev/null") << QStringLiteral("開けません");
    QTest::newRow("nikki.xls linked to /dev/zero") << QStringLiteral("/dev/zero") << QStringLiteral("開けません");
    QTest::newRow("nikki.xls linked to /dev/urandom") << QStringLiteral("/dev/urandom") << QStringLiteral("開けません");
}

// Opened by a child process with a memory limit and a deadline, so that a
// diary that would block or read forever fails the test instead of hanging it.
void TestRefusals::workbookThatIsNoFileNeverBlocks()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(DiaryStore::fileName());
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else if (kind == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(kind, path));

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), path});
    QVERIFY(child.waitForStarted());
    const bool ended = child.waitForFinished(10000);
    if (!ended) {
        child.kill();
        child.waitForFinished();
    }
    QVERIFY2(ended, "opening the workbook did not return within 10 seconds");
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(QStringLiteral("the opening process failed: %1").arg(QString::fromUtf8(child.readAllStandardError().right(500)))));
    const QString said = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(said.contains(expected), qPrintable(said));
}

void TestRefusals::moreThan365RecordsKeepsTheRest()
{
    if (!peers::havePython())
        QSKIP("python3-xlwt is not installed");
    DiaryFixture diary(QDate(2003, 3, 31));
    const int plan = int(DayRecord::allColumns().indexOf(DayRecord::plan()));
    QJsonArray extra;
    extra.append(peers::cell(365, plan, QStringLiteral("最後の日")));
    for (int r = 366; r <= 400; ++r)
        extra.append(peers::cell(r, plan, QStringLiteral("余分な行 %1").arg(r)));
    const peers::Run r = peers::writeBook(QStringLiteral("xlwt"), diaryBook(400, DayRecord::allColumns(), extra), diary.workbookPath());
    QVERIFY2(r.ok, qPrintable(r.describe()));
    const QByteArray before = readAll(diary.workbookPath());

    QVERIFY(diary.start());
    Form1* form = diary.form();
    QCOMPARE(form->diary().currentDate(), QDate(2003, 3, 31));
    QCOMPARE(form->Text1->toPlainText(), QStringLiteral("最後の日"));
    // Looking is not saving.
    diary.clickDate(QDate(2003, 3, 30));
    diary.clickDate(QDate(2003, 3, 31));
    QCOMPARE(readAll(diary.workbookPath()), before);

    DiaryFixture::type(form->Text5, QStringLiteral("一年の終わり"));
    QVERIFY(diary.closeWindow());
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());
    QCOMPARE(diary.fileField(365, DayRecord::impressions()), QStringLiteral("一年の終わり"));
    for (int record = 366; record <= 400; ++record)
        QCOMPARE(diary.fileField(record, DayRecord::plan()), QStringLiteral("余分な行 %1").arg(record));
}



void TestRefusals::textOverTheCellLimit()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const QByteArray before = readAll(diary.workbookPath());
    DiaryFixture::type(form->Text5, QString(workbook::MaxCellChars + 1, QChar(0x3042)));
    diary.clickDate(QDate(2002, 5, 11));
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(QStringLiteral("2002年5月10日の「感想・記録」が、1 つの欄に書ける文字数（32767 文字）"))
                 && shown[0].contains(QStringLiteral("入力した内容は消えていません")) && !shown[0].contains(u'（' + QStringLiteral("record")),
             qPrintable(shown[0]));
    QCOMPARE(readAll(diary.workbookPath()), before);
    diary.clickDate(QDate(2002, 5, 10));
    QCOMPARE(form->Text5->toPlainText().size(), workbook::MaxCellChars + 1);
    // One character less fits.
    QTest::keyClick(form->Text5, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(form->Text5, Qt::Key_Backspace);
    MessageBox::resetForTesting();
    diary.clickDate(QDate(2002, 5, 11));
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());
    QCOMPARE(diary.fileField(40, DayRecord::impressions()), QString(workbook::MaxCellChars, QChar(0x3042)));
}





int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestRefusals test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_refusals.moc"
