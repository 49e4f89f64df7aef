// The workbook engine through its public interface: workbooks as real programs
// write them, every cell and string encoding, what a write changes and keeps,
// and files that are no usable workbook.
#include "support/Biff.h"
#include "support/FileBytes.h"

#include "platform/workbook/ContinuedReader.h"
#include "platform/workbook/Workbook.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace workbook;
using namespace biff;
Q_DECLARE_METATYPE(workbook::ErrorKind)

namespace {

const QString Sheet1 = QStringLiteral("Sheet1");

QString dataFile(const QString& name) { return QStringLiteral(TEST_DATA_DIR "/") + name; }

RecordTable table(const Workbook& book, const QString& sheet = QStringLiteral("Sheet1"))
{
    RecordTable t;
    Error error;
    if (!book.readTable(sheet, &t, &error))
        qWarning("cannot read %s: %s", qPrintable(sheet), qPrintable(error.detail));
    return t;
}

RecordTable table(const QString& path, const QString& sheet = QStringLiteral("Sheet1"))
{
    Error error;
    const auto book = Workbook::open(path, &error);
    return book ? table(*book, sheet) : RecordTable();
}

// A shared-string table of one string, "a".
const QByteArray OneStringTable = record(0x00FC, le32(1) + le32(1) + le16(1) + char(0) + "a");

std::unique_ptr<Workbook> openFile(const QTemporaryDir& dir, const QByteArray& bytes, Error* error)
{
    const QString path = dir.filePath(QStringLiteral("built.xls"));
    if (!writeAll(path, bytes))
        qFatal("cannot write a test file");
    return Workbook::open(path, error);
}

QString copyData(const QTemporaryDir& dir, const QString& name)
{
    const QString to = dir.filePath(QStringLiteral("nikki.xls"));
    if (!writeAll(to, readAll(dataFile(name))))
        qFatal("cannot copy test data");
    return to;
}

} // namespace

class TestWorkbook : public QObject {
    Q_OBJECT
private slots:
    void readsWorkbooksOfRealWriters_data();
    void readsWorkbooksOfRealWriters();
    void readsEveryStringAndCellEncoding();
    void lastOfTwoRecordsForOneCellWins();
    void readsBiff8WhateverItsStreamIsCalled();
    void writeChangesOnlyTheWrittenFields_data();
    void writeChangesOnlyTheWrittenFields();
    void storesNumbersAndTexts();
    void refusesWritesItCannotMake();
    void keepsSharedFormulasWhenTheirCellIsOverwritten();
    void keepsArrayAndTableResultsWhenTheirCellIsOverwritten();
    void listsOnlyTheSheetsItReadsAsTables();
    void movesTheIndexOfSheetsAfterTheWrittenOne();
    void placesNewCellsAfterDimensionsInTheirRow();
    void refusesWhatIsNoUsableWorkbook_data();
    void refusesWhatIsNoUsableWorkbook();
};

void TestWorkbook::readsWorkbooksOfRealWriters_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("secondSheet");
    const char* rows[][3] = {{"xlwt", "diary_xlwt.xls", "メモ"},
                             {"LibreOffice", "diary_libreoffice.xls", "集計"},
                             {"Gnumeric", "diary_gnumeric.xls", "集計"},
                             {"Gnumeric, BIFF8 and BIFF5", "diary_gnumeric_dual.xls", "集計"}};
    for (const auto& [row, file, second] : rows)
        QTest::newRow(row) << QString::fromUtf8(file) << QString::fromUtf8(second);
}

// Every cell as xlrd reads it is the interop tier's; here the structure, fast
// enough for the sanitizer builds.
void TestWorkbook::readsWorkbooksOfRealWriters()
{
    QFETCH(QString, file);
    QFETCH(QString, secondSheet);
    Error error;
    const auto book = Workbook::open(dataFile(file), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QCOMPARE(book->sheetNames(), QStringList({Sheet1, secondSheet}));
    const RecordTable t = table(*book);
    QCOMPARE(t.recordCount(), 365);
    QCOMPARE(t.field(2, t.columnIndex(QStringLiteral("感想"))), QStringLiteral("長い").repeated(200));

    if (file != QLatin1String("diary_xlwt.xls"))
        return;
    // More than 109 FAT sectors: a DIFAT.
    const QByteArray big = qUncompress(readAll(dataFile(QStringLiteral("rows60000_xlwt.xls.qz"))));
    QTemporaryDir dir;
    const auto sixty = openFile(dir, big, &error);
    QVERIFY2(sixty, qPrintable(error.detail));
    const RecordTable rows = table(*sixty);
    QCOMPARE(rows.recordCount(), 60000);
    QCOMPARE(rows.records[59999], QStringList({QStringLiteral("朝会"), QStringLiteral("60000")}));
}

void TestWorkbook::readsEveryStringAndCellEncoding()
{
    // Every way a shared string can meet a record boundary, as Excel,
    // LibreOffice and Japanese Excel (phonetic blocks) write them.
    const QByteArray runs = le16(0) + le16(5) + le16(2) + le16(6);
    const QByteArray phonetic = le16(1) + le16(16) + le16(0) + le16(0x31) + le16(0) + le16(3) + le16(3)
                                + utf16(QStringLiteral("かんじ")) + le16(0);
    QByteArray OneStringTable = le32(20) + le32(9);
    OneStringTable += le16(3) + char(0) + QByteArray("\xE9\xB1\xFF");           // 0: Latin-1 above 0x7F
    OneStringTable += le16(12) + char(1) + utf16(QStringLiteral("あいうえお")); // 1: UTF-16, then ...
    QByteArray c1 = char(0) + QByteArray("ABCDEFG");                            //    ... 8-bit after the split
    c1 += le16(4) + char(0x08) + le16(2) + "Rich" + runs.left(6);               // 2: its runs cross the boundary
    QByteArray c2 = runs.mid(6);
    c2 += le16(2) + char(0x05) + le32(quint32(phonetic.size())) + utf16(QStringLiteral("漢字")) + phonetic.left(6);
    QByteArray c3 = phonetic.mid(6);                            // 3: the phonetic block crosses it
    QByteArray c4 = le16(3) + char(0) + "end";                  // 4: starts the record
    c4 += le16(0) + char(0);                                    // 5: empty
    c4 += le16(2) + char(0);                                    // 6: header only, then ...
    QByteArray c5 = char(1) + utf16(QStringLiteral("終了"));    //    ... characters after the split
    c5 += le16(2) + char(0x01) + utf16(QStringLiteral("最後")); // 7
    QByteArray globals = record(0x00FC, OneStringTable);
    for (const QByteArray& c : {c1, c2, c3, c4, c5})
        globals += record(0x003C, c);
    QByteArray cells;
    for (int i = 0; i < 8; ++i)
        cells += labelSst(i, 0, quint32(i));
    // The other cell kinds, in row 10 on.
    cells += record(0x0204, cellHeader(10, 0) + le16(2) + char(1) + utf16(QStringLiteral("名前"))); // LABEL
    cells += record(0x0203, cellHeader(10, 1) + f64(-2147483640.0));                                // NUMBER
    cells += record(0x027E, cellHeader(10, 2) + le32((1234u << 2) | 3));                            // RK, hundredths
    cells += record(0x027E, cellHeader(10, 3) + le32(0x3FF80000));                                  // RK, 1.5
    cells += record(0x00BD, le16(10) + le16(4) + le16(15) + le32((7u << 2) | 2) + le16(15)          // MULRK
                                + le32((quint32(-3) << 2) | 2) + le16(5));
    cells += record(0x0205, cellHeader(10, 6) + char(1) + char(0));    // BOOLERR true
    cells += record(0x0205, cellHeader(10, 7) + char(0x07) + char(1)); // #DIV/0!
    auto formula = [](int col, const QByteArray& result) {
        return record(0x0006, cellHeader(11, col) + result + le16(0) + le32(0) + le16(3) + char(0x1E) + le16(1));
    };
    cells += formula(0, f64(42));
    cells +=
        formula(1, QByteArray(6, 0) + le16(0xFFFF)) + record(0x0207, le16(2) + char(1) + utf16(QStringLiteral("結果")));
    cells += formula(2, QByteArray(1, 2) + QByteArray(1, 0) + QByteArray(1, 0x2A) + QByteArray(3, 0) + le16(0xFFFF));
    cells += formula(3, QByteArray(6, 0) + le16(0xFFFF)); // its STRING is missing
    cells += record(0x0201, cellHeader(11, 4));           // BLANK
    cells += record(0x0206, cellHeader(11, 5) + f64(9) + le16(0) + le16(3) + char(0x1E) + le16(9)); // Excel 3 FORMULA
    cells += record(0x0406, cellHeader(11, 6) + f64(38353) + le16(0) + le16(3) + char(0x1E) + le16(3)); // Excel 4
    // Numbers read as a pupil would write them, an exponent only where that would be long.
    const double numbers[] = {0.00001, 0.000001, 1e20, 0.1};
    for (int i = 0; i < 4; ++i)
        cells += record(0x0203, cellHeader(12, i) + f64(numbers[i]));
    const QByteArray file = workbookFile(workbookStream(globals, {{QStringLiteral("Other"), {}}, {Sheet1, cells}})
                                         + QByteArray(300, '\0')); // padded after the last EOF, as xlwt does
    QTemporaryDir dir;
    Error error;
    const auto book = openFile(dir, file, &error);
    QVERIFY2(book, qPrintable(error.detail));
    const QStringList strings{QStringLiteral("é±ÿ"),  QStringLiteral("あいうえおABCDEFG"),
                              QStringLiteral("Rich"), QStringLiteral("漢字"),
                              QStringLiteral("end"),  QString(),
                              QStringLiteral("終了"), QStringLiteral("最後")};
    auto check = [&](const RecordTable& t) {
        QCOMPARE(t.columnNames.value(0), strings[0]);
        for (int i = 1; i < 8; ++i)
            QCOMPARE(t.field(i - 1, 0), strings[i]);
        QCOMPARE(t.records.value(9),
                 QStringList({"名前", "-2147483640", "12.34", "1.5", "7", "-3", "TRUE", "#DIV/0!"}));
        QCOMPARE(t.records.value(10), QStringList({"42", "結果", "#N/A", "", "", "9", "38353"}));
        QCOMPARE(t.records.value(11), QStringList({"0.00001", "1e-06", "1e+20", "0.1"}));
    };
    check(table(*book));
    QCOMPARE(table(*book).recordCount(), 12);
    QCOMPARE(table(*book, QStringLiteral("other")).recordCount(), 0); // names compare as Excel compares them
    // A write elsewhere carries the strings over, however the new table is split.
    QVERIFY2(book->writeFields(Sheet1, {{20, 1, QString(9000, u'長')}}, &error), qPrintable(error.detail));
    check(table(book->path()));
    QCOMPARE(table(book->path()).field(20, 1), QString(9000, u'長'));
    // The engine's continued-record reader asked to skip more than a record holds reads nothing.
    QString text;
    detail::ContinuedReader past = detail::continuedRecord(record(0x0204, cellHeader(0, 0).left(4)), 0, 6);
    QVERIFY(past.atEnd() && !past.readUnicodeString(&text));
}

void TestWorkbook::lastOfTwoRecordsForOneCellWins()
{
    const QByteArray cells = labelSst(0, 0, 0) + record(0x0203, cellHeader(1, 0) + f64(1))
                             + record(0x0203, cellHeader(1, 1) + f64(2)) + labelSst(1, 0, 1)
                             + record(0x0203, cellHeader(2, 0) + f64(3)) + record(0x0203, cellHeader(1, 1) + f64(4))
                             + record(0x0201, cellHeader(0, 0)); // a blank empties the header cell
    const QByteArray OneStringTable =
        record(0x00FC, le32(2) + le32(2) + le16(1) + char(0) + "a" + le16(1) + char(0) + "b");
    QTemporaryDir dir;
    Error error;
    const auto book = openFile(dir, workbookFile(workbookStream(OneStringTable, {{Sheet1, cells}})), &error);
    QVERIFY2(book, qPrintable(error.detail));
    const QList<QStringList> expected{{"b", "4"}, {"3"}};
    QCOMPARE(table(*book).records, expected);
    QCOMPARE(table(*book).columnNames, QStringList());
    // The rewrite keeps one cell each, in the right place.
    QVERIFY(book->writeFields(Sheet1, {{2, 2, QStringLiteral("c")}}, &error));
    QCOMPARE(table(book->path()).records, (QList<QStringList>{{"b", "4"}, {"3"}, {"", "", "c"}}));
}

void TestWorkbook::readsBiff8WhateverItsStreamIsCalled()
{
    // The sheet past the first 4096 bytes, after a drawing group as large.
    const QByteArray stream =
        workbookStream(OneStringTable + record(0x00EB, QByteArray(4096, 'd')), {{Sheet1, labelSst(1, 0, 0)}});
    QList<std::pair<const char*, QByteArray>> files;
    for (const char* name : {"Book", "BOOK", "WORKBOOK"})
        files.append({name, compoundFile({{name, stream}})});
    // Sectors of 4096 bytes; a last sector that ends with the stream's bytes; sectors out of order.
    for (const auto& [shift, laid] : {std::pair{9, Laid::CutShort},
                                      {12, Laid::Whole},
                                      {12, Laid::CutShort},
                                      {9, Laid::Backwards},
                                      {12, Laid::Backwards}})
        files.append({"Workbook", handLaidCompoundFile(stream + QByteArray(5000, '\0'), shift, laid)});
    // Macros in a storage within a storage, kept by the write, and an empty storage.
    files.append({"Workbook", compoundFile({{"Workbook", stream},
                                            {"_VBA_PROJECT_CUR/VBA/dir", QByteArray(70, 'm')},
                                            {"MsoDataStore/", {}}})});
    // The byte-order mark the wrong way round, which other readers ignore.
    files.append({"Workbook", workbookFile(stream).replace(0x1C, 2, "\xFF\xFE")});
    for (const auto& [name, bytes] : files) {
        QTemporaryDir dir;
        Error error;
        auto book = openFile(dir, bytes, &error);
        QVERIFY2(book, qPrintable(QString::fromLatin1(name) + u' ' + error.detail));
        QVERIFY(book->writeFields(Sheet1, {{1, 0, QStringLiteral("b")}}, &error));
        QCOMPARE(table(book->path()).records, (QList<QStringList>{{"a"}, {"b"}}));
        const QByteArray written = readAll(book->path()); // under its own name, in whole 512-byte sectors
        QVERIFY(!streamOf(written, name).isEmpty() && written.size() % 512 == 0);
        QCOMPARE(written.mid(0x1C, 2), QByteArray("\xFE\xFF"));
        QCOMPARE(streamOf(written, "_VBA_PROJECT_CUR/VBA/dir"), streamOf(bytes, "_VBA_PROJECT_CUR/VBA/dir"));
    }
}

void TestWorkbook::listsOnlyTheSheetsItReadsAsTables()
{
    // A chart sheet named as the worksheet after it (but for case), and a macro sheet.
    QByteArray stream = workbookStream(
        OneStringTable,
        {{Sheet1, {}}, {QStringLiteral("sheet1"), labelSst(1, 0, 0)}, {QStringLiteral("Macro1"), labelSst(1, 0, 0)}});
    stream.replace(stream.indexOf(bof(0x0010)), 20, bof(0x0020));
    stream.replace(stream.lastIndexOf(bof(0x0010)), 20, bof(0x0040));
    QTemporaryDir dir;
    Error error;
    // An empty stream beside the workbook's, as some writers leave one, is carried over.
    auto book = openFile(dir, compoundFile({{"Workbook", stream}, {"Empty", {}}}), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QCOMPARE(book->sheetNames(), QStringList{QStringLiteral("sheet1")});
    QCOMPARE(table(*book).records, QList<QStringList>{{"a"}});
    RecordTable t;
    QVERIFY(!book->readTable(QStringLiteral("Macro1"), &t, &error));
    QCOMPARE(error.kind, ErrorKind::NoSheet);
    QVERIFY(!book->writeFields(QStringLiteral("Macro1"), {{0, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::NoSheet);
    QVERIFY2(book->writeFields(Sheet1, {{1, 0, QStringLiteral("b")}}, &error), qPrintable(error.detail));
    QCOMPARE(table(book->path()).records, (QList<QStringList>{{"a"}, {"b"}}));
    const QByteArray written = streamOf(readAll(book->path()));
    QVERIFY(written.contains(bof(0x0020) + eof()) && written.contains(bof(0x0040) + labelSst(1, 0, 0) + eof()));
}

void TestWorkbook::writeChangesOnlyTheWrittenFields_data()
{
    QTest::addColumn<QString>("file");
    for (const char* file : {"diary_xlwt.xls", "diary_libreoffice.xls", "diary_gnumeric.xls"})
        QTest::newRow(file) << QString::fromLatin1(file);
}

void TestWorkbook::writeChangesOnlyTheWrittenFields()
{
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QString path = copyData(dir, file);
    const RecordTable before = table(path);
    const int plan = before.columnIndex(QStringLiteral("予定"));
    const int colour = before.columnIndex(QStringLiteral("予定色"));
    const int added = int(before.columnNames.size());
    const QList<FieldWrite> writes{{0, plan, QStringLiteral("新しい予定\n二行目")},
                                   {0, colour, QStringLiteral("65280"), true},
                                   {1, plan, QString()},
                                   {400, 3, QStringLiteral("新しい行")},
                                   {-1, added, QStringLiteral("追加列")}};
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY2(book && book->writeFields(Sheet1, writes, &error), qPrintable(error.detail));

    RecordTable expected = before;
    expected.columnNames.resize(added + 1);
    expected.columnNames[added] = QStringLiteral("追加列");
    expected.records.resize(401);
    for (const FieldWrite& w : writes) {
        if (w.record >= 0) {
            expected.records[w.record].resize(std::max<qsizetype>(expected.records[w.record].size(), w.column + 1));
            expected.records[w.record][w.column] = w.text;
        }
    }
    const RecordTable after = table(path);
    QCOMPARE(after.columnNames, expected.columnNames);
    for (int r = 0; r < 401; ++r)
        for (int c = 0; c <= added; ++c)
            QVERIFY2(after.field(r, c) == expected.field(r, c), qPrintable(QStringLiteral("%1,%2").arg(r).arg(c)));
    QCOMPARE(book->lastSaveNote(), SaveNote::None);

    // Another program's save since the last write: the next one goes onto its version.
    QVERIFY(Workbook::open(path, &error)->writeFields(Sheet1, {{2, plan, QStringLiteral("よそ")}}, &error));
    QVERIFY(book->writeFields(Sheet1, {{3, plan, QStringLiteral("ここ")}}, &error));
    QCOMPARE(book->lastSaveNote(), SaveNote::MergedOtherChanges);
    const RecordTable merged = table(path);
    QVERIFY(merged.field(2, plan) == QStringLiteral("よそ") && merged.field(3, plan) == QStringLiteral("ここ")
            && merged.field(0, plan) == QStringLiteral("新しい予定\n二行目"));
}

void TestWorkbook::storesNumbersAndTexts()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("numbers.xls"));
    Error error;
    QVERIFY2(Workbook::createEmpty(path, Sheet1, &error), qPrintable(error.detail));
    // The new diary's records are the ones the peers' tier has read back: pinned, byte for byte.
    QCOMPARE(QCryptographicHash::hash(streamOf(readAll(path)), QCryptographicHash::Sha1).toHex(),
             QByteArray("843079a02dcc953721138d02c53a5ae559b0d998"));
    auto book = Workbook::open(path, &error);
    QCOMPARE(book->sheetNames(), QStringList{Sheet1});
    const QStringList numeric{
        "255",  "-2147483640",      "0.1",  "12.50",  " 7 ",   "abc", "", "-0", "0x10", "1,000", "1e999",
        "1e-4", "8355426800000000", "1e20", "1.5e-7", "2.5E+3"};
    const QStringList readBack{
        "255",    "-2147483640",      "0.1",   "12.5",    "7",   "abc", "", "0", "0x10", "1,000", "1e999",
        "0.0001", "8355426800000000", "1e+20", "1.5e-07", "2500"};
    QList<FieldWrite> writes;
    for (int i = 0; i < numeric.size(); ++i)
        writes.append({0, i, numeric[i], true});
    writes.append({1, 0, QStringLiteral("3")}); // a subject typed as a number stays text
    writes.append({1, 3, QStringLiteral(" 12")});
    writes.append({1, 1, QStringLiteral("a\r\nb\rc\nd")}); // line breaks are stored as LF
    writes.append({1, 2, QString(MaxCellChars, u'字')});
    for (int r = 2; r < 367; ++r) // a table that spans CONTINUE records
        writes.append({r, 0, QStringLiteral("%1日目の日記\n二行目").arg(r)});
    QVERIFY2(book->writeFields(Sheet1, writes, &error), qPrintable(error.detail));
    const RecordTable t = table(path);
    for (int i = 0; i < numeric.size(); ++i)
        QCOMPARE(t.field(0, i), readBack[i]);
    QCOMPARE(t.field(1, 0), QStringLiteral("3"));
    QCOMPARE(t.field(1, 1), QStringLiteral("a\nb\nc\nd"));
    QCOMPARE(t.field(1, 2), QString(MaxCellChars, u'字'));
    QCOMPARE(t.field(366, 0), QStringLiteral("366日目の日記\n二行目"));
    QCOMPARE(t.numbersAsText, (QList<QPair<int, int>>{{1, 0}, {1, 3}})); // as text; "255" went in as a number
    // Saving a field again and again does not grow the file.
    QVERIFY(book->writeFields(Sheet1, {{10, 3, QStringLiteral("書き直し")}}, &error));
    const qint64 size = QFileInfo(path).size();
    for (int i = 0; i < 20; ++i)
        QVERIFY(book->writeFields(Sheet1, {{10, 3, QStringLiteral("書き直し %1").arg(i)}}, &error));
    QVERIFY(QFileInfo(path).size() < size + 200);
    // What Excel reads of a new diary besides its cells: a workbook's class id, MS PGothic
    // 11 pt, the style XFs with the built-in Normal style on the first, the cells' XF 15.
    const QByteArray file = readAll(path);
    QCOMPARE(rootClassId(file), QByteArray::fromHex("2008020000000000c000000000000046"));
    const QByteArray stream = streamOf(file);
    auto font = [](int weight) {
        return record(0x0031, le16(220) + le16(0) + le16(0x7FFF) + le16(weight) + le16(0) + QByteArray("\0\3\x80\0", 4)
                                  + char(8) + char(1) + utf16(QStringLiteral(u"ＭＳ Ｐゴシック")));
    };
    QVERIFY(stream.count(font(400)) == 3 && stream.count(font(700)) == 2);
    auto xf = [](int font, quint16 flags, char attributes) {
        return record(0x00E0, le16(font) + le16(0) + le16(flags) + QByteArray("\x20\0\0", 3) + attributes + le32(0)
                                  + le32(0) + le16(0x20C0));
    };
    QVERIFY(stream.contains(xf(0, 0xFFF5, 0) + xf(1, 0xFFF5, char(0xF4)) + xf(1, 0xFFF5, char(0xF4))));
    QVERIFY(stream.contains(xf(0, 0xFFF5, char(0xF4)) + xf(0, 1, 0) + record(0x0293, le16(0x8000) + le16(0xFF00))));
}

void TestWorkbook::refusesWritesItCannotMake()
{
    QTemporaryDir dir;
    const QString path = copyData(dir, QStringLiteral("diary_libreoffice.xls"));
    const QByteArray bytes = readAll(path);
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY(
        !book->writeFields(Sheet1, {{3, 1, QStringLiteral("fine")}, {3, 4, QString(MaxCellChars + 1, u'x')}}, &error));
    QCOMPARE(error.kind, ErrorKind::FieldTooLong);
    QVERIFY(table(*book).field(3, 1) != QStringLiteral("fine")); // nothing written, not even in memory
    QVERIFY(!book->writeFields(Sheet1, {{65535, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::WriteFailed);
    QVERIFY(!book->writeFields(Sheet1, {{0, 256, QStringLiteral("x")}}, &error));
    QVERIFY(!book->writeFields(QStringLiteral("No such sheet"), {{0, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::NoSheet);
    QVERIFY(book->writeFields(Sheet1, {}, &error)); // nothing to write is no failure
    QByteArray same;
    QVERIFY(book->rewrite(Sheet1, {}, &same, &error) && same == bytes);
    QCOMPARE(readAll(path), bytes);
    // Another sheet naming a string the table does not have: the strings cannot be renumbered.
    const QByteArray broken =
        workbookFile(workbookStream(OneStringTable, {{Sheet1, labelSst(0, 0, 0)}, {"S", labelSst(0, 0, 5)}}));
    book = openFile(dir, broken, &error);
    QVERIFY2(book, qPrintable(error.detail));
    QVERIFY(!book->writeFields(Sheet1, {{1, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::Damaged);
    QCOMPARE(readAll(book->path()), broken);
}

void TestWorkbook::keepsSharedFormulasWhenTheirCellIsOverwritten()
{
    // A1:B4 share a formula defined after A1's FORMULA record, the others
    // naming A1 in a PtgExp, as Excel writes a formula filled right and down;
    // A3 has a formula of its own whose text result follows in a STRING record.
    auto formula = [](int row, int col, int anchorRow, int anchorCol) {
        return record(0x0006, cellHeader(row, col) + f64(7) + le16(0x0008) + le32(0) + le16(5) + char(0x01)
                                  + le16(anchorRow) + le16(anchorCol));
    };
    auto shared = [](int firstRow, int lastRow, int firstCol, int uses) {
        return record(0x04BC, le16(firstRow) + le16(lastRow) + char(firstCol) + char(1) + char(0) + char(uses) + le16(3)
                                  + QByteArray("\x1E\x07\x00", 3));
    };
    const QByteArray textFormula = record(0x0006, cellHeader(2, 0) + QByteArray(6, 0) + le16(0xFFFF) + le16(0) + le32(0)
                                                      + le16(3) + QByteArray("\x1E\x03\x00", 3))
                                   + record(0x0207, le16(2) + char(1) + utf16(QStringLiteral("結果")));
    const QByteArray cells = formula(0, 0, 0, 0) + shared(0, 3, 0, 4) + formula(0, 1, 0, 0) + formula(1, 0, 0, 0)
                             + textFormula + formula(3, 0, 0, 0);
    QTemporaryDir dir;
    Error error;
    auto book = openFile(dir, workbookFile(workbookStream({}, {{Sheet1, cells}})), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QVERIFY2(book->writeFields(Sheet1, {{-1, 0, QStringLiteral("見出し")}}, &error), qPrintable(error.detail));
    QCOMPARE(table(book->path()).records, (QList<QStringList>{{"7"}, {"結果"}, {"7"}}));
    // B1 and A2 each define the formula for the cells from them on, which name them.
    const QByteArray stream = streamOf(readAll(book->path()));
    QVERIFY(stream.contains(formula(0, 1, 0, 1) + shared(0, 0, 1, 1)));
    QVERIFY(stream.contains(formula(1, 0, 1, 0) + shared(1, 3, 0, 2)));
    QVERIFY(stream.contains(formula(3, 0, 1, 0)));
    QVERIFY(!stream.contains(shared(0, 3, 0, 4)));
}

// A stream's records as (position, type, data), from the BOF of its substream
// number `from` on (0: the globals).
static QList<std::tuple<qsizetype, quint16, QByteArray>> records(const QByteArray& stream, int from = 0)
{
    QList<std::tuple<qsizetype, quint16, QByteArray>> out;
    for (qsizetype p = 0; p + 4 <= stream.size(); p += 4 + qFromLittleEndian<quint16>(stream.constData() + p + 2)) {
        const quint16 type = qFromLittleEndian<quint16>(stream.constData() + p);
        if (type == 0x0809 && from-- == 0)
            out.clear();
        out.append({p, type, stream.mid(p + 4, qFromLittleEndian<quint16>(stream.constData() + p + 2))});
    }
    return from < 0 ? out : decltype(out)();
}

// Where the second sheet starts, and its INDEX's DEFCOLWIDTH and DBCELL pointers.
static QList<quint32> laterSheetPositions(const QByteArray& stream)
{
    QList<quint32> at;
    for (const auto& [p, type, data] : records(stream)) {
        if (type == 0x0085)
            at = {qFromLittleEndian<quint32>(data.constData())};
        if (type == 0x020B && !at.isEmpty() && p > qsizetype(at[0]))
            at << qFromLittleEndian<quint32>(data.constData() + 12)
               << qFromLittleEndian<quint32>(data.constData() + 16);
    }
    return at;
}

void TestWorkbook::keepsArrayAndTableResultsWhenTheirCellIsOverwritten()
{
    // As LibreOffice and Excel write them: C2:C5 an array formula, its ARRAY
    // after C2's FORMULA, every cell naming C2 in a PtgExp (results a number,
    // a text with its STRING, a boolean, an error); E2:E4 a data table, its
    // TABLE after E2's FORMULA, every cell naming E2 in a PtgTbl.
    auto formula = [](int row, int col, const QByteArray& result, char ptg, int anchorCol) {
        return record(0x0006,
                      cellHeader(row, col) + result + le16(0) + le32(0) + le16(5) + ptg + le16(1) + le16(anchorCol));
    };
    auto special = [](char kind, char value) {
        return QByteArray(1, kind) + '\0' + value + QByteArray(3, 0) + le16(0xFFFF);
    };
    const QByteArray array = record(0x0221, le16(1) + le16(4) + char(2) + char(2) + le16(0) + le32(0) + le16(3)
                                                + QByteArray("\x1E\x02\x00", 3));
    const QByteArray dataTable =
        record(0x0236, le16(1) + le16(3) + char(4) + char(4) + le16(0x0001) + le16(0) + le16(0) + le16(0) + le16(0));
    const QByteArray cells = formula(1, 2, f64(2), 0x01, 2) + array + formula(1, 4, f64(20), 0x02, 4) + dataTable
                             + formula(2, 2, special(0, 0), 0x01, 2)
                             + record(0x0207, le16(1) + char(1) + utf16(QStringLiteral("二")))
                             + formula(2, 4, f64(30), 0x02, 4) + formula(3, 2, special(1, 1), 0x01, 2)
                             + formula(3, 4, f64(40), 0x02, 4) + formula(4, 2, special(2, 0x07), 0x01, 2);
    QTemporaryDir dir;
    Error error;
    auto book = openFile(dir, workbookFile(workbookStream({}, {{Sheet1, cells}})), &error);
    QVERIFY2(book, qPrintable(error.detail));
    const QList<QStringList> before{
        {"", "", "2", "", "20"}, {"", "", "二", "", "30"}, {"", "", "TRUE", "", "40"}, {"", "", "#DIV/0!"}};
    QCOMPARE(table(*book).records, before);
    auto sheetTypes = [&] {
        QList<quint16> types;
        for (const auto& [p, type, data] : records(streamOf(readAll(book->path())), 1))
            types << type;
        return types;
    };
    // A write inside a range, not its first cell, leaves it defined.
    QVERIFY2(book->writeFields(Sheet1, {{1, 4, QStringLiteral("x")}}, &error), qPrintable(error.detail));
    QVERIFY(sheetTypes().contains(0x0221) && sheetTypes().contains(0x0236));
    // Overwriting the first cells: the other cells keep their results, as constants.
    QVERIFY2(book->writeFields(Sheet1, {{0, 2, QStringLiteral("5"), true}, {0, 4, QStringLiteral("y")}}, &error),
             qPrintable(error.detail));
    QCOMPARE(table(book->path()).records,
             (QList<QStringList>{
                 {"", "", "5", "", "y"}, {"", "", "二", "", "x"}, {"", "", "TRUE", "", "40"}, {"", "", "#DIV/0!"}}));
    const QList<quint16> types = sheetTypes();
    QVERIFY(!types.contains(0x0006) && !types.contains(0x0221) && !types.contains(0x0236));
}

void TestWorkbook::movesTheIndexOfSheetsAfterTheWrittenOne()
{
    const QByteArray index = record(0x020B, le32(0) + le32(0) + le32(1) + le32(0) + le32(0));
    // The written sheet's row without cells (a height of its own, as xlwt writes it) and embedded chart.
    const QByteArray emptyRow = record(0x0208, le16(7) + le16(0) + le16(1) + le16(600) + le32(0) + le32(0x000F0100));
    const QByteArray chart = bof(0x0020) + record(0x0200, le32(0) + le32(3) + le16(0) + le16(2) + le16(0)) + eof();
    QByteArray stream = workbookStream({}, {{Sheet1, emptyRow + chart}, {QStringLiteral("S2"), index}});
    const quint32 start = laterSheetPositions(stream)[0];
    stream.replace(start + 24 + 12, 8, le32(start) + le32(start + 20)); // its BOF and its INDEX
    QTemporaryDir dir;
    Error error;
    auto book = openFile(dir, workbookFile(stream), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QVERIFY(book->writeFields(Sheet1, {{0, 0, QString(300, u'字')}}, &error));
    const QByteArray written = streamOf(readAll(book->path()));
    const QList<quint32> after = laterSheetPositions(written);
    QVERIFY(after[0] > start);
    QCOMPARE(after.mid(1), (QList<quint32>{after[0], after[0] + 20}));
    QVERIFY(written.contains(emptyRow) && written.contains(chart));
}

void TestWorkbook::placesNewCellsAfterDimensionsInTheirRow()
{
    const QByteArray dimensions = record(0x0200, le32(0) + le32(0) + le16(0) + le16(0) + le16(0));
    QTemporaryDir dir;
    Error error;
    auto book = openFile(
        dir, workbookFile(workbookStream({}, {{Sheet1, dimensions + record(0x023E, QByteArray(18, '\0'))}})), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QVERIFY(book->writeFields(Sheet1, {{3, 2, QStringLiteral("x")}, {3, 6, QStringLiteral("y")}}, &error));
    QList<quint16> types;
    QMap<quint16, QByteArray> data;
    for (const auto& [p, type, bytes] : records(streamOf(readAll(book->path())), 1)) {
        types << type;
        data.insert(type, bytes);
    }
    QVERIFY(types.indexOf(0x0200) < types.indexOf(0x0208) && types.indexOf(0x0208) < types.indexOf(0x00FD));
    QVERIFY(types.lastIndexOf(0x00FD) < types.indexOf(0x023E));
    QCOMPARE(data[0x0208].left(6), le16(4) + le16(2) + le16(7)); // its row, first and last column + 1
    QCOMPARE(data[0x0200].left(12), le32(4) + le32(5) + le16(2) + le16(7));
    // Rows go in blocks of 32, each closed by a DBCELL.
    QList<FieldWrite> rows;
    for (int r = 10; r < 50; ++r)
        rows.append({r, 0, QStringLiteral("z")});
    QVERIFY(book->writeFields(Sheet1, rows, &error));
    const auto sheet = records(streamOf(readAll(book->path())), 1);
    QCOMPARE(std::count_if(sheet.cbegin(), sheet.cend(), [](const auto& r) { return std::get<1>(r) == 0x00D7; }), 2);

    // A new cell takes the format its row was given (an odd index, to see all of its bits).
    QByteArray xfs;
    for (int i = 0; i < 18; ++i)
        xfs += record(0x00E0, QByteArray(20, '\0'));
    const QByteArray formattedRow =
        record(0x0208, le16(5) + le16(0) + le16(1) + le16(255) + le32(0) + le32(0x80 | 17 << 16));
    book = openFile(dir, workbookFile(workbookStream(xfs, {{Sheet1, formattedRow}})), &error);
    QVERIFY2(book, qPrintable(error.detail));
    QVERIFY(book->writeFields(Sheet1, {{4, 1, QStringLiteral("f")}}, &error));
    QByteArray cell;
    for (const auto& [p, type, bytes] : records(streamOf(readAll(book->path())), 1))
        cell = type == 0x00FD ? bytes : cell;
    QCOMPARE(cell.left(6), le16(5) + le16(1) + le16(17));

    // A new row takes the sheet's default height, unless that is 0 (a record after it, to read past).
    for (const auto& [height, expected] : {std::pair{300, 300}, {0, 255}}) {
        const QByteArray sheet = record(0x0225, le16(0) + le16(quint16(height))) + record(0x023E, QByteArray(18, '\0'));
        book = openFile(dir, workbookFile(workbookStream({}, {{Sheet1, sheet}})), &error);
        QVERIFY2(book, qPrintable(error.detail));
        QVERIFY(book->writeFields(Sheet1, {{2, 0, QStringLiteral("h")}}, &error));
        QByteArray row;
        for (const auto& [p, type, bytes] : records(streamOf(readAll(book->path())), 1))
            row = type == 0x0208 ? bytes : row;
        QCOMPARE(row.mid(6, 2), le16(quint16(expected)));
    }

    // A sheet of nothing gets its cells before its EOF, one of only a WINDOW2 before that;
    // a DIMENSIONS after the cells is written once.
    const QByteArray window2 = record(0x023E, QByteArray(18, '\0'));
    for (const QByteArray& cells : {QByteArray(), window2, labelSst(0, 0, 0) + dimensions}) {
        book = openFile(dir, workbookFile(workbookStream(OneStringTable, {{Sheet1, cells}})), &error);
        QVERIFY2(book, qPrintable(error.detail));
        QVERIFY(book->writeFields(Sheet1, {{1, 1, QStringLiteral("x")}}, &error));
        const auto after = records(streamOf(readAll(book->path())), 1);
        QCOMPARE(std::get<1>(after.last()), quint16(0x000A));
        QList<quint16> types;
        for (const auto& r : after)
            types << std::get<1>(r);
        QVERIFY(!types.contains(0x023E) || types.indexOf(0x0208) < types.indexOf(0x023E));
        QCOMPARE(std::count_if(after.cbegin(), after.cend(), [](const auto& r) { return std::get<1>(r) == 0x0200; }),
                 1);
        QCOMPARE(table(*book).field(1, 1), QStringLiteral("x"));
    }
}

void TestWorkbook::refusesWhatIsNoUsableWorkbook_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ErrorKind>("kind");
    const QByteArray real = readAll(dataFile(QStringLiteral("diary_libreoffice.xls")));
    QByteArray noise(4096, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QByteArray good = workbookStream(OneStringTable, {{QStringLiteral("S"), labelSst(0, 0, 0)}});
    auto withCell = [&](const QByteArray& cell) {
        return workbookFile(workbookStream(OneStringTable, {{QStringLiteral("S"), cell}}));
    };
    // The FAT entry of a sector, and the directory's first sector, of a 512-byte-sector file.
    auto u32 = [](const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    auto patched = [&](qsizetype at, quint32 value) { return QByteArray(real).replace(at, 4, le32(value)); };
    const quint32 dirStart = u32(real, 0x30);
    const qsizetype fatEntryOfDir =
        512 + qsizetype(u32(real, 0x4C + 4 * (dirStart / 128))) * 512 + 4 * (dirStart % 128);

    QTest::newRow("empty file") << QByteArray() << ErrorKind::NotWorkbook;
    QTest::newRow("zip (.xlsx)") << QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + noise << ErrorKind::NotWorkbook;
    QTest::newRow("web page saved as .xls") << QByteArray(" \r\n<HTML><body>") + noise << ErrorKind::NotWorkbook;
    QTest::newRow("compound file holding nothing") << compoundFile({}) << ErrorKind::NotWorkbook;
    QTest::newRow("compound file of another program")
        << compoundFile({{"WordDocument", noise}}) << ErrorKind::NotWorkbook;
    QTest::newRow("truncated workbook") << real.left(real.size() / 2) << ErrorKind::Damaged;
    QTest::newRow("last sector ending inside the stream")
        << handLaidCompoundFile(good + QByteArray(5000, '\0'), 12, Laid::CutShort).chopped(1) << ErrorKind::Damaged;
    // Its directory in a last sector of one byte: reading its entries would run past the file.
    QByteArray shortDirectory = handLaidCompoundFile(good + QByteArray(4097 - good.size(), '\0'), 9, Laid::CutShort);
    QTest::newRow("directory in a cut last sector") << shortDirectory.replace(0x30, 4, le32(10)) << ErrorKind::Damaged;
    QTest::newRow("BIFF5 Book stream") << readAll(dataFile(QStringLiteral("old_biff5.xls"))) << ErrorKind::OldFormat;
    QTest::newRow("Excel 2.1 worksheet's BOF alone, no compound file")
        << record(0x0009, le16(2) + le16(0x10)) << ErrorKind::OldFormat;
    QTest::newRow("BIFF5 in a Workbook stream") << workbookFile(bof(0x0005, 0x0500) + eof()) << ErrorKind::OldFormat;
    QTest::newRow("FILEPASS") << workbookFile(bof(0x0005) + record(0x002F, le16(1) + QByteArray(52, 'k'))
                                              + good.mid(20))
                              << ErrorKind::Encrypted;
    QTest::newRow("encrypted Office document")
        << compoundFile({{"EncryptionInfo", noise.left(200)}, {"EncryptedPackage", noise}}) << ErrorKind::Encrypted;
    QTest::newRow("globals without EOF") << workbookFile(good.left(good.indexOf(eof()))) << ErrorKind::Damaged;
    QTest::newRow("record running past the stream") << workbookFile(good.left(good.size() - 3)) << ErrorKind::Damaged;
    QTest::newRow("sheet name longer than its record")
        << workbookFile(bof(0x0005) + record(0x0085, le32(0) + QByteArray(2, '\0') + char(10) + char(0) + "S") + eof())
        << ErrorKind::Damaged;
    QTest::newRow("sheet beyond the stream")
        << workbookFile(workbookStream({}, {{"S", {}}}).replace(24, 4, le32(0x7FFFFFFF))) << ErrorKind::Damaged;
    const QByteArray twoSheets = workbookStream({}, {{"S", {}}, {"T", {}}});
    QTest::newRow("two sheets at one place")
        << workbookFile(QByteArray(twoSheets).replace(38, 4, twoSheets.mid(24, 4))) << ErrorKind::Damaged;
    QTest::newRow("string longer than the table")
        << workbookFile(workbookStream(record(0x00FC, le32(1) + le32(1) + le16(65535) + char(1) + "ab"), {{"S", {}}}))
        << ErrorKind::Damaged;
    const QByteArray shortUtf16 = record(0x00FC, le32(1) + le32(1) + le16(3) + char(1) + utf16("ab"));
    QTest::newRow("string without its flags")
        << workbookFile(workbookStream(record(0x00FC, le32(1) + le32(1) + le16(0)), {{"S", {}}})) << ErrorKind::Damaged;
    const QByteArray splitChar = record(0x00FC, le32(1) + le32(1) + le16(2) + char(1) + utf16("a") + "b")
                                 + record(0x003C, char(1) + QByteArray(1, '\0'));
    QTest::newRow("UTF-16 character split by CONTINUE")
        << workbookFile(workbookStream(splitChar, {{"S", {}}})) << ErrorKind::Damaged;
    QTest::newRow("UTF-16 string past the table")
        << workbookFile(workbookStream(shortUtf16, {{"S", {}}})) << ErrorKind::Damaged;
    QTest::newRow("directory chain loop") << patched(fatEntryOfDir, dirStart) << ErrorKind::Damaged;
    QTest::newRow("directory chain beyond the file") << patched(fatEntryOfDir, 0x00FFFFF0) << ErrorKind::Damaged;
    QTest::newRow("DIFAT chain beyond the file")
        << QByteArray(real).replace(0x44, 4, le32(0x00FFFFF0)).replace(0x48, 4, le32(1)) << ErrorKind::Damaged;
    QTest::newRow("huge FAT sector count") << patched(0x2C, 0x7FFFFFFF) << ErrorKind::Damaged;
    QTest::newRow("huge DIFAT sector count") << patched(0x48, 0x40000000) << ErrorKind::Damaged;
    // Cells that cannot be: the sheet is refused for reading and for writing.
    QTest::newRow("string index beyond the table") << withCell(labelSst(1, 0, 5)) << ErrorKind::Damaged;
    QTest::newRow("column beyond 255") << withCell(labelSst(1, 300, 0)) << ErrorKind::Damaged;
    QTest::newRow("MULRK beyond column 255")
        << withCell(record(0x00BD, le16(1) + le16(250) + QByteArray(6 * 8, '\0') + le16(257))) << ErrorKind::Damaged;
    QTest::newRow("short NUMBER") << withCell(record(0x0203, cellHeader(1, 0) + le16(0))) << ErrorKind::Damaged;
    QTest::newRow("LABEL longer than its record")
        << withCell(record(0x0204, cellHeader(1, 0) + le16(500) + char(0) + "abc")) << ErrorKind::Damaged;
}

void TestWorkbook::refusesWhatIsNoUsableWorkbook()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ErrorKind, kind);
    QTemporaryDir dir;
    Error error;
    auto book = openFile(dir, bytes, &error);
    if (book) { // opened: the damage is in the sheet's cells
        RecordTable t;
        QVERIFY(!book->readTable(QStringLiteral("S"), &t, &error));
        QCOMPARE(error.kind, kind);
        QVERIFY(!book->writeFields(QStringLiteral("S"), {{5, 0, QStringLiteral("x")}}, &error));
    }
    QCOMPARE(error.kind, kind);
    QVERIFY(!error.detail.isEmpty());
    // The message names what the file seems to be.
    static const QHash<QByteArray, QString> seems{{"zip (.xlsx)", "zip"}, {"web page saved as .xls", "HTML"}};
    QVERIFY(error.detail.contains(seems.value(QTest::currentDataTag())));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("built.xls"))), bytes);
    QVERIFY(!Workbook::open(dir.filePath(QStringLiteral("missing.xls")), &error));
    QCOMPARE(error.kind, ErrorKind::Missing);
    QVERIFY(!Workbook::open(dir.path(), &error));
    QCOMPARE(error.kind, ErrorKind::Unreadable);
    // Over the size limit: refused before anything is read (the file is sparse).
    QFile huge(dir.filePath(QStringLiteral("huge.xls")));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(MaxFileBytes + 1));
    huge.close();
    QVERIFY(!Workbook::open(huge.fileName(), &error));
    QCOMPARE(error.kind, ErrorKind::Unreadable);
    QVERIFY(error.detail.contains(QString::number(MaxFileBytes)));
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "test_workbook.moc"
