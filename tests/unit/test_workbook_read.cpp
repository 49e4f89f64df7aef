// Reading workbooks as real programs write them, and SST/cell encodings that
// only Excel produces, built here byte by byte.
#include "support/FileBytes.h"
#include "support/LittleEndian.h"
#include "platform/workbook/BiffBook.h"
#include "platform/workbook/CompoundFile.h"
#include "platform/workbook/Workbook.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace workbook;
using namespace workbook::detail;

namespace {

const QStringList DiaryColumns = [] {
    QStringList c{QStringLiteral("予定"), QStringLiteral("出欠")};
    for (int i = 1; i <= 7; ++i)
        c << QStringLiteral("時間%1").arg(i);
    for (int i = 1; i <= 7; ++i)
        c << QStringLiteral("内容%1").arg(i);
    c << QStringLiteral("感想") << QStringLiteral("予定色");
    for (int i = 1; i <= 7; ++i)
        c << QStringLiteral("時間色%1").arg(i);
    c << QStringLiteral("感想色") << QStringLiteral("天気");
    return c;
}();

QString dataFile(const QString& name)
{
    return QStringLiteral(TEST_DATA_DIR "/") + name;
}


QByteArray utf16(const QString& s)
{
    QByteArray b;
    for (QChar c : s)
        put16(b, c.unicode());
    return b;
}

QByteArray record(quint16 type, const QByteArray& data)
{
    return le16(type) + le16(quint16(data.size())) + data;
}

QByteArray bof(quint16 kind)
{
    return record(rt::Bof, le16(0x0600) + le16(kind) + le32(0) + le32(0) + le32(0));
}

QByteArray cellHeader(int row, int col, int xf = 15)
{
    return le16(quint16(row)) + le16(quint16(col)) + le16(quint16(xf));
}

// A workbook stream: globals holding the given records (SST and such), then
// one worksheet per (name, cell records) pair.
QByteArray workbookStream(const QByteArray& globals, const QList<std::pair<QString, QByteArray>>& sheets)
{
    QByteArray head = bof(0x0005) + globals;
    QList<qsizetype> boundAt;
    for (const auto& [name, cells] : sheets) {
        boundAt << head.size();
        head += record(rt::BoundSheet, le32(0) + QByteArray(2, '\0') + char(name.size()) + char(1) + utf16(name));
    }
    head += record(rt::Eof, {});
    QByteArray stream = head;
    for (int i = 0; i < sheets.size(); ++i) {
        set32(stream, boundAt[i] + 4, quint32(stream.size()));
        stream += bof(0x0010) + sheets[i].second + record(rt::Eof, {});
    }
    return stream;
}

QByteArray compoundFile(const QByteArray& stream, const QByteArray& name = "Workbook")
{
    CompoundEntry root;
    root.isStorage = true;
    CompoundEntry s;
    s.name = name;
    s.data = stream;
    root.children.push_back(s);
    QByteArray file;
    Error error;
    if (!writeCompoundFile(root, &file, &error))
        qFatal("cannot build a compound file");
    return file;
}

std::unique_ptr<Workbook> openBytes(const QTemporaryDir& dir, const QByteArray& bytes, Error* error)
{
    const QString path = dir.filePath(QStringLiteral("built.xls"));
    if (!writeAll(path, bytes))
        qFatal("cannot write test file");
    return Workbook::open(path, error);
}

} // namespace

class TestWorkbookRead : public QObject {
    Q_OBJECT

private slots:
    void readsWorkbooksOfRealWriters_data();
    void readsWorkbooksOfRealWriters();
    void readsSharedStringsSplitOverContinue();
    void readsEveryCellKind();
    void readsSixtyThousandRowsWithDifat();
};

void TestWorkbookRead::readsWorkbooksOfRealWriters_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("crlf");          // how the file holds the CR LF typed into a field
    QTest::addColumn<QString>("concatenation"); // the cached result of a text formula
    QTest::addColumn<QString>("secondSheet");
    QTest::newRow("xlwt") << "diary_xlwt.xls" << "\r\n" << "" << "メモ";
    QTest::newRow("LibreOffice") << "diary_libreoffice.xls" << "\n" << "0" << "集計";
    QTest::newRow("Gnumeric") << "diary_gnumeric.xls" << "\n" << "合計!" << "集計";
    QTest::newRow("Gnumeric, BIFF8 and BIFF5 streams") << "diary_gnumeric_dual.xls" << "\n" << "合計!" << "集計";
}

void TestWorkbookRead::readsWorkbooksOfRealWriters()
{
    QFETCH(QString, file);
    QFETCH(QString, crlf);
    QFETCH(QString, concatenation);
    QFETCH(QString, secondSheet);
    Error error;
    const auto book = Workbook::open(dataFile(file), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QCOMPARE(book->sheetNames(), QStringList({QStringLiteral("Sheet1"), secondSheet}));

    RecordTable t;
    QVERIFY2(book->readTable(QStringLiteral("Sheet1"), &t, &error), qPrintable(error.detail));
    QCOMPARE(t.recordCount(), 365);
    // Columns are found by name wherever they are; LibreOffice's sheet has them
    // reordered with an extra one, and its header names are partly rich text.
    QHash<QString, int> col;
    for (const QString& name : DiaryColumns) {
        col[name] = t.columnIndex(name);
        QVERIFY2(col[name] >= 0, qPrintable(name));
    }
    auto f = [&](int record, const char* name) { return t.field(record, col[QString::fromUtf8(name)]); };

    QCOMPARE(f(0, "予定"), QStringLiteral("歯医者\n午後3時から"));
    QCOMPARE(f(0, "感想"), QStringLiteral("晴れて気持ちよかった。\nまた行きたい。"));
    QCOMPARE(f(0, "時間2"), QStringLiteral("12:30"));
    QCOMPARE(f(0, "内容2"), QStringLiteral("昼食（カレー）"));
    QCOMPARE(f(0, "予定色"), QStringLiteral("255"));
    QCOMPARE(f(0, "時間色1"), QStringLiteral("16711680"));
    QCOMPARE(f(0, "時間色2"), QStringLiteral("-2147483640"));
    QCOMPARE(f(0, "時間3"), QString());
    QCOMPARE(f(1, "予定"), QStringLiteral("3"));
    QCOMPARE(f(1, "内容1"), QStringLiteral("café crème à la naïve"));
    QCOMPARE(f(1, "感想"), QStringLiteral("Ünïcödé ±½ ÿ"));
    QCOMPARE(f(2, "予定"), QStringLiteral("旅行") + crlf + QStringLiteral("京都"));
    QCOMPARE(f(2, "内容3"), QString(300, u'x'));
    QCOMPARE(f(2, "感想"), QStringLiteral("長い").repeated(200));
    QCOMPARE(f(9, "感想色"), QStringLiteral("0"));
    QCOMPARE(f(9, "感想"), QStringLiteral("十日目"));
    QCOMPARE(f(200, "感想"), QStringLiteral("201日目: walk と読書 "));
    QCOMPARE(f(203, "感想"), QStringLiteral("204日目: walk と読書 !!!"));
    QCOMPARE(f(203, "内容1"), QStringLiteral("meeting 3"));
    QCOMPARE(f(364, "予定"), QStringLiteral("大晦日"));
    QCOMPARE(f(364, "天気"), QStringLiteral("雪"));
    QCOMPARE(f(364, "時間色7"), QStringLiteral("-2147483640"));
    QCOMPARE(t.field(365, 0), QString());

    RecordTable other;
    QVERIFY(book->readTable(secondSheet, &other, &error));
    if (file.contains(QLatin1String("xlwt"))) {
        QCOMPARE(other.columnNames, QStringList{QStringLiteral("買い物")});
        QCOMPARE(other.records.value(0), QStringList({QStringLiteral("牛乳"), QStringLiteral("2")}));
        QCOMPARE(other.records.value(1), QStringList({QStringLiteral("パン"), QStringLiteral("3.25")}));
        return;
    }
    // The extra column and the formulas of LibreOffice's and Gnumeric's sheets.
    const int memo = t.columnIndex(QStringLiteral("メモ欄"));
    QCOMPARE(memo, 2);
    QCOMPARE(t.field(0, memo), QStringLiteral("1"));
    QCOMPARE(t.field(1, memo), concatenation);
    QCOMPARE(t.field(2, memo), QStringLiteral("太字のメモ"));
    QCOMPARE(t.field(3, memo), QStringLiteral("Memo 3 日本語"));
    QCOMPARE(other.columnNames, QStringList({QStringLiteral("合計"), QStringLiteral("-6442450920")}));
    QCOMPARE(other.records.value(0), QStringList({QStringLiteral("真偽"), QStringLiteral("TRUE")}));
    QCOMPARE(other.records.value(1), QStringList({QStringLiteral("小数"), QStringLiteral("0.1")}));
}

void TestWorkbookRead::readsSharedStringsSplitOverContinue()
{
    // Every way a string can meet a record boundary, as Excel, LibreOffice and
    // Japanese Excel (phonetic blocks) write them.
    const QByteArray runs2 = le16(0) + le16(5) + le16(2) + le16(6);
    const QByteArray phonetic = le16(1) + le16(16) + le16(0) + le16(0x31) + le16(0) + le16(3) + le16(3)
                                + utf16(QStringLiteral("かんじ")) + le16(0);
    QByteArray sst = le32(20) + le32(11);
    sst += le16(3) + char(0) + "abc";                                   // 0: 8-bit
    sst += le16(3) + char(0) + QByteArray("\xE9\xB1\xFF");              // 1: Latin-1 above 0x7F
    sst += le16(12) + char(1) + utf16(QStringLiteral("あいうえお"));    // 2: UTF-16, then ...
    QByteArray c1 = char(0) + QByteArray("ABCDEFG");                    //    ... 8-bit after the split
    c1 += le16(6) + char(0) + "xyz";                                    // 3: 8-bit, then ...
    QByteArray c2 = char(1) + utf16(QStringLiteral("かなカ"));          //    ... UTF-16 after the split
    c2 += le16(4) + char(0x08) + le16(2) + "Rich" + runs2.left(6);      // 4: its runs cross the boundary
    QByteArray c3 = runs2.mid(6);
    c3 += le16(2) + char(0x05) + le32(quint32(phonetic.size())) + utf16(QStringLiteral("漢字")) + phonetic.left(6);
    QByteArray c4 = phonetic.mid(6);                                    // 5: phonetic block crosses it
    QByteArray c5 = le16(3) + char(0) + "end";                          // 6: starts the record: no option byte
    c5 += le16(3) + char(0x0D) + le16(1) + le32(8) + utf16(QStringLiteral("日本語")) + le16(1) + le16(0)
          + QByteArray(8, '\x01');                                      // 7: runs and phonetic block
    c5 += le16(0) + char(0);                                            // 8: empty
    c5 += le16(2) + char(0);                                            // 9: header only, then ...
    QByteArray c6 = char(1) + utf16(QStringLiteral("終了"));            //    ... characters after the split
    c6 += le16(2) + char(0x01) + utf16(QStringLiteral("最後"));         // 10
    QByteArray globals = record(rt::Sst, sst);
    for (const QByteArray& c : {c1, c2, c3, c4, c5, c6})
        globals += record(rt::Continue, c);

    QByteArray cells;
    for (int i = 0; i < 11; ++i)
        cells += record(rt::LabelSst, cellHeader(i, 0) + le32(quint32(i)));
    const QByteArray stream = workbookStream(globals, {{QStringLiteral("Sheet1"), cells}});

    QTemporaryDir dir;
    Error error;
    const auto book = openBytes(dir, compoundFile(stream), &error);
    QVERIFY2(book, qPrintable(error.detail));
    RecordTable t;
    QVERIFY2(book->readTable(QStringLiteral("Sheet1"), &t, &error), qPrintable(error.detail));
    QCOMPARE(t.columnNames, QStringList{QStringLiteral("abc")});
    QStringList column;
    for (const QStringList& r : std::as_const(t.records))
        column << r.value(0);
    QCOMPARE(column, QStringList({QStringLiteral("é±ÿ"), QStringLiteral("あいうえおABCDEFG"),
                                  QStringLiteral("xyzかなカ"), QStringLiteral("Rich"), QStringLiteral("漢字"),
                                  QStringLiteral("end"), QStringLiteral("日本語"), QString(), QStringLiteral("終了"),
                                  QStringLiteral("最後")}));

    // A write elsewhere carries these strings over with their runs and phonetic
    // blocks, however the new table is split.
    QVERIFY2(book->writeFields(QStringLiteral("Sheet1"), {{0, 1, QStringLiteral("new")}}, &error),
             qPrintable(error.detail));
    QFile written(book->path());
    QVERIFY(written.open(QIODevice::ReadOnly));
    CompoundEntry root;
    QVERIFY(readCompoundFile(written.readAll(), &root, &error));
    BiffBook parsed;
    QVERIFY(BiffBook::parse(root.findStream("Workbook")->data, &parsed, &error));
    const SstString& rich = parsed.sst.strings[4];
    QCOMPARE(rich.text, QStringLiteral("Rich"));
    QCOMPARE(rich.runCount, quint16(2));
    QCOMPARE(parsed.sst.extras.mid(rich.extraPos, 8), runs2);
    const SstString& kanji = parsed.sst.strings[5];
    QVERIFY(kanji.hasExt);
    QCOMPARE(parsed.sst.extras.mid(kanji.extraPos, int(kanji.extLength)), phonetic);
}

void TestWorkbookRead::readsEveryCellKind()
{
    auto rk = [](quint32 v) { return le32(v); };
    QByteArray cells;
    QByteArray label = cellHeader(0, 0) + le16(2) + char(1) + utf16(QStringLiteral("名前"));
    cells += record(rt::Label, label);
    QByteArray rstring = cellHeader(0, 1) + le16(3) + char(1) + utf16(QStringLiteral("リッチ")) + le16(1) + le16(0) + le16(1);
    cells += record(rt::RString, rstring);
    QByteArray number;
    putF64(number, 3.5);
    cells += record(rt::Number, cellHeader(1, 0) + number);
    cells += record(rt::Rk, cellHeader(1, 1) + rk((255u << 2) | 2));                // integer
    cells += record(rt::Rk, cellHeader(1, 2) + rk((1234u << 2) | 3));               // hundredths
    cells += record(rt::Rk, cellHeader(1, 3) + rk(0x3FF80000));                      // 1.5 as a float
    cells += record(rt::Rk, cellHeader(1, 4) + rk((quint32(-3) << 2) | 2));         // negative
    QByteArray big;
    putF64(big, -2147483640.0);
    cells += record(rt::Number, cellHeader(1, 5) + big);
    QByteArray tiny;
    putF64(tiny, 0.1);
    cells += record(rt::Number, cellHeader(1, 6) + tiny);
    cells += record(rt::MulRk, le16(2) + le16(0) + le16(15) + rk((7u << 2) | 2) + le16(16) + rk((825u << 2) | 3)
                                   + le16(17) + rk(0x3FF80000) + le16(2));
    cells += record(rt::Blank, cellHeader(2, 3));
    cells += record(rt::MulBlank, le16(2) + le16(4) + le16(15) + le16(15) + le16(5));
    cells += record(rt::BoolErr, cellHeader(3, 0) + char(1) + char(0));
    cells += record(rt::BoolErr, cellHeader(3, 1) + char(0x07) + char(1));
    auto formula = [&](int col, const QByteArray& result) {
        return record(rt::Formula, cellHeader(3, col) + result + le16(0) + le32(0) + le16(3) + char(0x1E) + le16(1));
    };
    QByteArray fortyTwo;
    putF64(fortyTwo, 42);
    cells += formula(2, fortyTwo);
    cells += formula(3, QByteArray(1, 0) + QByteArray(5, 0) + le16(0xFFFF));
    cells += record(rt::String, le16(4) + char(1) + utf16(QStringLiteral("式の結果")));
    cells += formula(4, QByteArray(1, 1) + QByteArray(1, 0) + QByteArray(1, 0) + QByteArray(3, 0) + le16(0xFFFF));
    cells += formula(5, QByteArray(1, 2) + QByteArray(1, 0) + QByteArray(1, 0x2A) + QByteArray(3, 0) + le16(0xFFFF));
    cells += formula(6, QByteArray(1, 3) + QByteArray(5, 0) + le16(0xFFFF));
    cells += formula(7, QByteArray(1, 0) + QByteArray(5, 0) + le16(0xFFFF)); // its STRING is missing

    // Sheets are found by name, not by order; the stream is padded with zeros
    // after the last EOF, as xlwt does.
    const QByteArray stream = workbookStream({}, {{QStringLiteral("Other"), QByteArray()}, {QStringLiteral("Cells"), cells}})
                              + QByteArray(300, '\0');
    QTemporaryDir dir;
    Error error;
    const auto book = openBytes(dir, compoundFile(stream), &error);
    QVERIFY2(book, qPrintable(error.detail));
    RecordTable t;
    QVERIFY2(book->readTable(QStringLiteral("Cells"), &t, &error), qPrintable(error.detail));
    QCOMPARE(t.columnNames, QStringList({QStringLiteral("名前"), QStringLiteral("リッチ")}));
    QCOMPARE(t.records.value(0), QStringList({"3.5", "255", "12.34", "1.5", "-3", "-2147483640", "0.1"}));
    QCOMPARE(t.records.value(1), QStringList({"7", "8.25", "1.5"}));
    QCOMPARE(t.records.value(2), QStringList({"TRUE", "#DIV/0!", "42", "式の結果", "FALSE", "#N/A"}));
    QCOMPARE(t.recordCount(), 3);
    QCOMPARE(t.field(2, 6), QString());
    QCOMPARE(t.field(2, 7), QString());
    QCOMPARE(t.field(-1, 1), QStringLiteral("リッチ"));
    QCOMPARE(t.field(7, 0), QString());
    QCOMPARE(t.field(-2, 0), QString());
    // Names compare as Excel compares them.
    QVERIFY(book->readTable(QStringLiteral("cells"), &t, &error));
    QVERIFY(!book->readTable(QStringLiteral("Sheet1"), &t, &error));
    QCOMPARE(error.kind, ErrorKind::NoSheet);
}

void TestWorkbookRead::readsSixtyThousandRowsWithDifat()
{
    QFile packed(dataFile(QStringLiteral("rows60000_xlwt.xls.qz")));
    QVERIFY(packed.open(QIODevice::ReadOnly));
    const QByteArray bytes = qUncompress(packed.readAll());
    QVERIFY(bytes.size() > 7 * 1024 * 1024);
    // More than 109 FAT sectors: the header's DIFAT sector count is not zero.
    QVERIFY(u32(bytes.constData() + 0x48) > 0);

    QTemporaryDir dir;
    Error error;
    const auto book = openBytes(dir, bytes, &error);
    QVERIFY2(book, qPrintable(error.detail));
    RecordTable t;
    QVERIFY(book->readTable(QStringLiteral("Sheet1"), &t, &error));
    QCOMPARE(t.recordCount(), 60000);
    QCOMPARE(t.columnNames, QStringList({QStringLiteral("予定"), QStringLiteral("予定色")}));
    QCOMPARE(t.records[0], QStringList({QStringLiteral("昼食"), QStringLiteral("1")}));
    QCOMPARE(t.records[59999], QStringList({QStringLiteral("朝会"), QStringLiteral("60000")}));
    QCOMPARE(t.records[12349].value(0), QStringLiteral("café"));
    RecordTable texts;
    QVERIFY(book->readTable(QStringLiteral("長文"), &texts, &error));
    QCOMPARE(texts.records.last().value(0), QStringLiteral("00099") + QStringLiteral("長い文章。").repeated(6000));
}

QTEST_GUILESS_MAIN(TestWorkbookRead)
#include "test_workbook_read.moc"
