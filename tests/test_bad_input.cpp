// What the diary does with files it cannot fully use: workbooks of the wrong
// kind or shape, odd colour fields, weather paths to odd places, and bad
// settings files. Each: the user is told (or the diary copes), nothing
// crashes or blocks, and the file stays as it was until the user saves.
#include "interop/Peers.h"
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "appearance/ColourScheme.h"
#include "appearance/SettingsFile.h"
#include "main_window/Form1.h"
#include "platform/AppInfo.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/DataControl.h"
#include "platform/EntryBox.h"
#include "platform/HiddenField.h"
#include "platform/MessageBox.h"
#include "platform/PictureBox.h"
#include "platform/PictureLoader.h"
#include "platform/workbook/BiffBook.h"
#include "platform/workbook/CompoundFile.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
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

const QByteArray GoodScheme("255\r\n0\r\n65280\r\n16711680\r\n0\r\n16777215\r\n");

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void unusableWorkbookIsRefusedUntouched_data();
    void unusableWorkbookIsRefusedUntouched();
    void workbookThatIsNoFileNeverBlocks_data();
    void workbookThatIsNoFileNeverBlocks();
    void moreThan365RecordsKeepsTheRest();
    void oddColourField_data();
    void oddColourField();
    void textOverTheCellLimit();
    void oddWeatherPath_data();
    void oddWeatherPath();
    void badSettingsFile_data();
    void badSettingsFile();

private:
    QTemporaryDir m_made;
    QMap<QString, QString> m_peerMade; // name -> file made by a peer program
    ColourScheme m_design;
};

void TestBadInput::initTestCase()
{
    // The colours a diary starts with when no settings file says otherwise.
    {
        DiaryFixture diary;
        QVERIFY(diary.start());
        m_design = CurrentColourScheme(*diary.form());
    }
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

void TestBadInput::unusableWorkbookIsRefusedUntouched_data()
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

void TestBadInput::unusableWorkbookIsRefusedUntouched()
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

void TestBadInput::workbookThatIsNoFileNeverBlocks_data()
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
void TestBadInput::workbookThatIsNoFileNeverBlocks()
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

void TestBadInput::moreThan365RecordsKeepsTheRest()
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
    QCOMPARE(form->Data1->currentRecord(), 365);
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

void TestBadInput::oddColourField_data()
{
    QTest::addColumn<QJsonValue>("value");     // what another program left in the colour fields
    QTest::addColumn<bool>("isColour");        // the diary takes it as a colour
    QTest::addColumn<qint32>("colour");        // which one, if so
    QTest::newRow("text") << QJsonValue(QStringLiteral("赤")) << false << 0;
    QTest::newRow("hexadecimal text") << QJsonValue(QStringLiteral("&HFF&")) << false << 0;
    QTest::newRow("fraction") << QJsonValue(255.5) << false << 0;
    QTest::newRow("huge number") << QJsonValue(1e20) << false << 0;
    QTest::newRow("just above 32 bits") << QJsonValue(2147483648.0) << false << 0;
    QTest::newRow("just below 32 bits") << QJsonValue(-2147483649.0) << false << 0;
    QTest::newRow("nothing") << QJsonValue() << false << 0;
    QTest::newRow("digits as text") << QJsonValue(QStringLiteral("255")) << true << 255;
    QTest::newRow("digits with spaces") << QJsonValue(QStringLiteral(" 65280 ")) << true << 65280;
    QTest::newRow("smallest 32-bit number") << QJsonValue(-2147483648.0) << true << qint32(0x80000000u);
    QTest::newRow("whole number written as 1.0e3") << QJsonValue(1000.0) << true << 1000;
}

void TestBadInput::oddColourField()
{
    QFETCH(QJsonValue, value);
    QFETCH(bool, isColour);
    QFETCH(qint32, colour);
    if (!peers::havePython())
        QSKIP("python3-xlwt is not installed");
    DiaryFixture diary(QDate(2002, 5, 9));
    const QStringList header = DayRecord::allColumns();
    const int planColour = int(header.indexOf(DayRecord::planColour()));
    const int impressionsColour = int(header.indexOf(DayRecord::impressionsColour()));
    // 2002-05-09 (sheet row 39) in blue; 2002-05-10 (row 40) holds the odd value.
    const int blue = 0xFF0000;
    QJsonArray extra{QJsonValue(peers::cell(39, planColour, blue)), QJsonValue(peers::cell(39, impressionsColour, blue))};
    QJsonObject desc = diaryBook(365, header, extra);
    QJsonArray cells = desc[QStringLiteral("sheets")].toArray()[0].toObject()[QStringLiteral("cells")].toArray();
    for (int i = int(cells.size()) - 1; i >= 0; --i) {
        const QJsonArray c = cells[i].toArray();
        if (c[0].toInt() == 40 && (c[1].toInt() == planColour || c[1].toInt() == impressionsColour))
            cells.removeAt(i);
    }
    if (!value.isNull()) {
        cells.append(peers::cell(40, planColour, value));
        cells.append(peers::cell(40, impressionsColour, value));
    }
    desc = peers::book({peers::sheet(Sheet1, cells)});
    const peers::Run r = peers::writeBook(QStringLiteral("xlwt"), desc, diary.workbookPath());
    QVERIFY2(r.ok, qPrintable(r.describe()));
    const QString stored = diary.fileField(40, DayRecord::planColour());

    QVERIFY(diary.start());
    Form1* form = diary.form();
    QCOMPARE(form->Text1->foreColour(), ColourValue(blue));
    diary.clickDate(QDate(2002, 5, 10));
    const ColourValue shown(isColour ? colour : blue);
    QCOMPARE(form->Text1->foreColour(), shown);
    QCOMPARE(form->Text5->foreColour(), shown);
    // Leaving the day keeps an odd field as another program left it; a colour
    // number is written back as the diary writes numbers.
    diary.clickDate(QDate(2002, 5, 11));
    const QString kept = isColour ? QString::number(colour) : stored;
    QCOMPARE(diary.fileField(40, DayRecord::planColour()), kept);
    QCOMPARE(diary.fileField(40, DayRecord::impressionsColour()), kept);
    // Until the user chooses a colour for that box.
    diary.clickDate(QDate(2002, 5, 10));
    ColourChooser::setNextAnswerForTesting(ColourValue(0x00FF00));
    QTest::mouseClick(form->Label1, Qt::LeftButton);
    diary.clickDate(QDate(2002, 5, 11));
    QCOMPARE(diary.fileField(40, DayRecord::planColour()), QString::number(0x00FF00));
    QCOMPARE(diary.fileField(40, DayRecord::impressionsColour()), kept);
    QVERIFY(diary.closeWindow());
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());
}

void TestBadInput::textOverTheCellLimit()
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

void TestBadInput::oddWeatherPath_data()
{
    QTest::addColumn<QString>("stored");       // {dir}: a scratch folder, {program}: the program folder
    QTest::addColumn<QString>("shows");        // icon beside the program it shows, or empty: no picture
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("the icon beside the program") << QStringLiteral("{program}/はれ.ico") << QStringLiteral("はれ.ico");
    QTest::newRow("a Windows path of another machine") << QStringLiteral("C:\\Program Files\\merrow\\くもり.ico") << QStringLiteral("くもり.ico");
    QTest::newRow("a missing folder, a known icon name") << QStringLiteral("/old/place/ゆき.ico") << QStringLiteral("ゆき.ico");
    QTest::newRow("a missing file of an unknown name") << QStringLiteral("/old/place/虹.ico") << QString();
    QTest::newRow("a path ending in a separator") << QStringLiteral("/old/place/") << QString();
    QTest::newRow("a folder") << QStringLiteral("{dir}") << QString();
    QTest::newRow("a folder named like an icon") << QStringLiteral("{dir}/あめ.ico") << QString();
    QTest::newRow("/dev/zero") << QStringLiteral("/dev/zero") << QString();
    QTest::newRow("/dev/urandom") << QStringLiteral("/dev/urandom") << QString();
    QTest::newRow("/dev/null") << QStringLiteral("/dev/null") << QString();
    QTest::newRow("a named pipe") << QStringLiteral("{dir}/pipe.ico") << QString();
    QTest::newRow("a missing path whose name is a pipe beside the program") << QStringLiteral("/gone/fifo.ico") << QString();
    QTest::newRow("a 100 MB file") << QStringLiteral("{dir}/huge.ico") << QString();
    QTest::newRow("a file that is no picture") << QStringLiteral("{program}/nikki.xls") << QString();
    QTest::newRow("a /proc file") << QStringLiteral("/proc/self/status") << QString();
}

void TestBadInput::oddWeatherPath()
{
    QFETCH(QString, stored);
    QFETCH(QString, shows);
    QTemporaryDir dir;
    QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("あめ.ico"))));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.ico"))).constData(), 0600), 0);
    {
        QFile huge(dir.filePath(QStringLiteral("huge.ico")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(100 * 1024 * 1024));
    }
    DiaryFixture diary(QDate(2002, 5, 9));
    diary.folder().copyWeatherIcons();
    QCOMPARE(::mkfifo(QFile::encodeName(diary.folder().file(QStringLiteral("fifo.ico"))).constData(), 0600), 0);
    stored.replace(QStringLiteral("{dir}"), dir.path()).replace(QStringLiteral("{program}"), diary.folder().path());

    workbook::Error error;
    QVERIFY(DiaryStore::createWorkbook(diary.workbookPath(), &error));
    {
        auto book = workbook::Workbook::open(diary.workbookPath(), &error);
        const int weather = int(DayRecord::allColumns().indexOf(DayRecord::weather()));
        QVERIFY(book && book->writeFields(Sheet1, {{39, weather, stored, false}}, &error));
    }
    // A picture load that blocks would hang here: end the process instead.
    ::alarm(60);
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QElapsedTimer timer;
    timer.start();
    diary.clickDate(QDate(2002, 5, 10));
    QVERIFY2(timer.elapsed() < 5000, "showing the day took more than 5 seconds");
    ::alarm(0);
    const QPixmap picture = form->Picture1->grab();
    if (shows.isEmpty()) {
        // Nothing drawn over the box's background.
        const QImage image = picture.toImage();
        QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), image.pixelColor(0, 0));
    } else {
        const QImage expected = PictureLoader::load(diary.folder().file(shows)).toImage();
        QVERIFY(!expected.isNull());
        QCOMPARE(form->Picture1->size(), expected.size());
    }
    QCOMPARE(form->Text15->text(), stored);
    diary.clickDate(QDate(2002, 5, 11));
    // The stored path is never rewritten by showing it.
    QCOMPARE(diary.fileField(40, DayRecord::weather()), stored);
    QVERIFY(diary.closeWindow());
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());
}

void TestBadInput::badSettingsFile_data()
{
    QTest::addColumn<QString>("kind");         // "bytes", "folder", "pipe"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("applied");         // the file's colours come into force
    QTest::newRow("good (for comparison)") << QStringLiteral("bytes") << GoodScheme << true;
    QTest::newRow("good, LF line ends") << QStringLiteral("bytes") << QByteArray(GoodScheme).replace("\r", "") << true;
    QTest::newRow("good, on one line with commas") << QStringLiteral("bytes") << QByteArray("255,0,65280,16711680,0,16777215\r\n") << true;
    QTest::newRow("good, a seventh value after") << QStringLiteral("bytes") << GoodScheme + "999\r\n" << true;
    QTest::newRow("empty") << QStringLiteral("bytes") << QByteArray() << false;
    QTest::newRow("too few values") << QStringLiteral("bytes") << QByteArray("255\r\n0\r\n65280\r\n") << false;
    QTest::newRow("five values and a blank") << QStringLiteral("bytes") << QByteArray("255\r\n0\r\n65280\r\n16711680\r\n0\r\n\r\n") << false;
    QTest::newRow("a value past 32 bits") << QStringLiteral("bytes") << QByteArray("4294967296\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("a fraction") << QStringLiteral("bytes") << QByteArray("1.5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QTest::newRow("hexadecimal") << QStringLiteral("bytes") << QByteArray("&HFF&\r\n0\r\n0\r\n0\r\n0\r\n0\r\n") << false;
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131 + 7) % 256);
    QTest::newRow("garbage") << QStringLiteral("bytes") << garbage << false;
    QTest::newRow("UTF-16 text") << QStringLiteral("bytes") << QByteArray("\xFF\xFE" "2\0" "5\0" "5\0" "\r\0\n\0", 12) << false;
    QTest::newRow("100 MB of digits") << QStringLiteral("bytes") << QByteArray(100 * 1024 * 1024, '7') << false;
    QTest::newRow("a folder named inf.txt") << QStringLiteral("folder") << QByteArray() << false;
    QTest::newRow("a named pipe named inf.txt") << QStringLiteral("pipe") << QByteArray() << false;
}

void TestBadInput::badSettingsFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, applied);
    DiaryFixture diary(QDate(2002, 5, 10));
    const QString path = SettingsFile::path();
    if (kind == QLatin1String("bytes"))
        QVERIFY(writeAll(path, bytes));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    ::alarm(60);
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const ColourScheme inForce = CurrentColourScheme(*form);
    if (applied)
        QCOMPARE(SettingsFile::format(inForce), SettingsFile::format(*SettingsFile::parse(GoodScheme)));
    else
        QCOMPARE(SettingsFile::format(inForce), SettingsFile::format(m_design));
    if (kind == QLatin1String("bytes"))
        QCOMPARE(readAll(path), bytes);

    DiaryFixture::type(form->Text1, QStringLiteral("設定ファイルに関係なく保存"));
    MessageBox::resetForTesting();
    QVERIFY(diary.closeWindow());
    ::alarm(0);
    QCOMPARE(diary.fileField(40, DayRecord::plan()), QStringLiteral("設定ファイルに関係なく保存"));
    const QStringList shown = MessageBox::shownTextsForTesting();
    if (kind == QLatin1String("folder")) {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("色の設定")) && shown[0].contains(path), qPrintable(shown[0]));
        QVERIFY(QFileInfo(path).isDir());
    } else {
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join(u'\n')));
        // The close leaves a good file with the colours that were in force.
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(readAll(path), SettingsFile::format(inForce));
    }
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestBadInput test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_bad_input.moc"
