// Read-modify-write: what the engine writes, what it keeps, and how a save
// behaves when the disk, the folder or another program gets in the way.
#include "support/FileBytes.h"
#include "platform/workbook/BiffBook.h"
#include "platform/workbook/CompoundFile.h"
#include "platform/workbook/Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace workbook;
using namespace workbook::detail;

namespace {

const QString Sheet1 = QStringLiteral("Sheet1");
const QString PythonWithXlrd = QStringLiteral("/usr/bin/python3");

QString copyData(const QTemporaryDir& dir, const QString& name, const QString& as = QStringLiteral("nikki.xls"))
{
    const QString to = dir.filePath(as);
    QFile::remove(to);
    if (!QFile::copy(QStringLiteral(TEST_DATA_DIR "/") + name, to))
        qFatal("cannot copy test data");
    QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return to;
}

RecordTable table(const QString& path, const QString& sheet = Sheet1)
{
    Error error;
    const auto book = Workbook::open(path, &error);
    RecordTable t;
    if (!book || !book->readTable(sheet, &t, &error))
        qWarning("cannot read %s: %s", qPrintable(path), qPrintable(error.detail));
    return t;
}

// The parsed workbook stream and the other streams of a file, for looking
// below the public interface.
struct Parsed {
    CompoundEntry root;
    BiffBook book;
    SheetCells cells(const QString& sheet) const
    {
        SheetCells c;
        Error error;
        book.readCells(*book.findSheet(sheet), &c, &error);
        return c;
    }
    const Cell* cell(const SheetCells& c, int row, int col) const
    {
        const Cell* found = nullptr;
        for (const Cell& cell : c.cells)
            if (cell.row == row && cell.col == col)
                found = &cell;
        return found;
    }
    QList<QByteArray> records(const QString& sheet, quint16 type) const
    {
        QList<QByteArray> found;
        const SheetInfo* s = book.findSheet(sheet);
        for (qint64 p = s->start; p < s->end; p += 4 + u16(book.stream.constData() + p + 2))
            if (u16(book.stream.constData() + p) == type)
                found << book.stream.mid(p, 4 + u16(book.stream.constData() + p + 2));
        return found;
    }
};

Parsed parse(const QString& path)
{
    Parsed p;
    Error error;
    const QByteArray bytes = readAll(path);
    if (!readCompoundFile(bytes, &p.root, &error))
        qFatal("unreadable compound file");
    // Copied: the stream must not refer into bytes, which go away here.
    const QByteArray stream(p.root.findStream("Workbook")->data.constData(), p.root.findStream("Workbook")->data.size());
    if (!BiffBook::parse(stream, &p.book, &error))
        qFatal("unreadable workbook stream");
    return p;
}

int formulaCount(const Parsed& p, const QString& sheet)
{
    const SheetCells c = p.cells(sheet);
    return int(std::count_if(c.cells.begin(), c.cells.end(), [](const Cell& x) { return x.kind == CellKind::Formula; }));
}

// INDEX and DBCELL lead to the right records: INDEX to each DBCELL, a DBCELL
// back to its first ROW and on to the first cell of each of its rows.
QString indexProblem(const Parsed& p, const QString& sheet)
{
    const QByteArray& s = p.book.stream;
    const char* d = s.constData();
    const QList<QByteArray> index = p.records(sheet, rt::Index);
    if (index.size() != 1)
        return QStringLiteral("%1 INDEX records").arg(index.size());
    const QByteArray& x = index.first();
    const quint32 defColWidth = u32(x.constData() + 4 + 12);
    if (p.records(sheet, rt::DefColWidth).isEmpty() ? defColWidth != 0 : u16(d + defColWidth) != rt::DefColWidth)
        return QStringLiteral("INDEX does not point to DEFCOLWIDTH");
    for (int at = 16; at + 4 <= x.size() - 4; at += 4) {
        const quint32 dbcell = u32(x.constData() + 4 + at);
        if (u16(d + dbcell) != rt::DbCell)
            return QStringLiteral("INDEX entry %1 misses its DBCELL").arg(at);
        const quint32 firstRow = dbcell - u32(d + dbcell + 4);
        if (u16(d + firstRow) != rt::Row)
            return QStringLiteral("DBCELL at %1 misses its first ROW").arg(dbcell);
        qint64 cell = firstRow + 20;
        const int rows = (u16(d + dbcell + 2) - 4) / 2;
        for (int i = 0; i < rows; ++i) {
            cell += u16(d + dbcell + 8 + 2 * i);
            const quint16 rowRecord = u16(d + firstRow + 20 * i + 4);
            const bool hasCells = u16(d + firstRow + 20 * i + 4 + 4) > 0;
            if (hasCells && u16(d + cell + 4) != rowRecord)
                return QStringLiteral("DBCELL at %1 misses the cells of row %2").arg(dbcell).arg(rowRecord);
        }
    }
    return QString();
}

// Each EXTSST bucket points at the string it names, in its record.
QString extSstProblem(const Parsed& p)
{
    const QByteArray& s = p.book.stream;
    const char* d = s.constData();
    std::vector<qint64> records;
    qint64 extsst = -1;
    for (qint64 pos = p.book.sstPos; pos < p.book.globalsEnd; pos += 4 + u16(d + pos + 2)) {
        if (u16(d + pos) == rt::ExtSst)
            extsst = pos;
        else if (pos < p.book.sstEnd)
            records.push_back(pos);
    }
    if (extsst < 0 || extsst != p.book.sstEnd)
        return QStringLiteral("no EXTSST right after the SST");
    const quint16 perBucket = u16(d + extsst + 4);
    const int buckets = (u16(d + extsst + 2) - 2) / 8;
    if (buckets != int((p.book.sst.strings.size() + perBucket - 1) / perBucket))
        return QStringLiteral("%1 buckets for %2 strings").arg(buckets).arg(p.book.sst.strings.size());
    for (int b = 0; b < buckets; ++b) {
        const quint32 at = u32(d + extsst + 6 + 8 * b);
        const quint16 offset = u16(d + extsst + 10 + 8 * b);
        auto in = std::find_if(records.rbegin(), records.rend(), [&](qint64 r) { return r < at; });
        if (in == records.rend() || at - *in != offset)
            return QStringLiteral("bucket %1 has a wrong offset").arg(b);
        if (u16(d + at) != p.book.sst.strings[size_t(b) * perBucket].text.size())
            return QStringLiteral("bucket %1 does not start at its string").arg(b);
    }
    return QString();
}

// What python3-xlrd reads: sheet -> "row,col" -> [type, value, format index].
std::optional<QJsonObject> xlrdCells(const QString& path)
{
    static const bool available = QProcess::execute(PythonWithXlrd, {"-c", "import xlrd"}) == 0;
    if (!available)
        return std::nullopt;
    static const char* script = R"(
import sys, json, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
out = {}
for s in book.sheets():
    cells = {}
    for r in range(s.nrows):
        for c in range(s.ncols):
            cell = s.cell(r, c)
            if cell.ctype != xlrd.XL_CELL_EMPTY:
                cells["%d,%d" % (r, c)] = [cell.ctype, cell.value, cell.xf_index]
    out[s.name] = cells
json.dump(out, sys.stdout)
)";
    QProcess python;
    python.start(PythonWithXlrd, {"-c", QString::fromLatin1(script), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("xlrd failed: %s", python.readAllStandardError().constData());
        return QJsonObject();
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QString key(int row, int col)
{
    return QStringLiteral("%1,%2").arg(row).arg(col);
}

QByteArray record(quint16 type, const QByteArray& data)
{
    QByteArray r;
    put16(r, type);
    put16(r, quint16(data.size()));
    return r + data;
}

QByteArray words(std::initializer_list<quint16> values)
{
    QByteArray b;
    for (quint16 v : values)
        put16(b, v);
    return b;
}

// A workbook file with one sheet "Sheet1" holding these records.
QByteArray workbookFile(const QByteArray& cells)
{
    const QByteArray bof = words({0x0600, 0x0005, 0, 0, 0, 0, 0, 0});
    QByteArray s = record(rt::Bof, bof);
    const qsizetype bound = s.size();
    s += record(rt::BoundSheet, words({0, 0, 0}) + QByteArray("\x06\x00Sheet1", 8)) + record(rt::Eof, {});
    set32(s, bound + 4, quint32(s.size()));
    s += record(rt::Bof, words({0x0600, 0x0010, 0, 0, 0, 0, 0, 0})) + cells + record(rt::Eof, {});
    CompoundEntry root;
    root.isStorage = true;
    root.children.push_back({"Workbook", false, s, {}, {}});
    QByteArray file;
    Error error;
    writeCompoundFile(root, &file, &error);
    return file;
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// Child modes of this test program, run through QProcess.
int saveLoop(const QString& path)
{
    Error error;
    const auto book = Workbook::open(path, &error);
    if (!book)
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 1;; ++i) {
        // Alternate sizes so that old and new files differ in length too.
        const QString text = QStringLiteral("round %1 ").arg(i) + QString(i % 2 ? 5000 : 10, u'あ');
        if (!book->writeFields(Sheet1, {{0, 0, text}, {0, 1, QString::number(i), true}}, &error))
            return 3;
        std::printf("saved %d\n", i);
        std::fflush(stdout);
    }
}

int saveOnce(const QString& path)
{
    Error error;
    const auto book = Workbook::open(path, &error);
    if (!book)
        return 2;
    const bool ok = book->writeFields(Sheet1, {{0, 0, QStringLiteral("from the child")}}, &error);
    std::printf("%d|%s", ok ? -1 : int(error.kind), error.detail.toUtf8().constData());
    return 0;
}

} // namespace

class TestWorkbookWrite : public QObject {
    Q_OBJECT

private slots:
    void keepsEverythingElse_data();
    void keepsEverythingElse();
    void storesNumbersAndTexts();
    void createsANewDiaryInOneWrite();
    void refusesTooLongFieldsWritingNothing();
    void keepsSharedFormulasWhenTheirCellIsOverwritten();
    void keepsEditsOfOtherPrograms();
    void failedSaveChangesNothing();
    void keepsFilePermissions();
    void killedSaveLeavesAWholeWorkbook();
    void libreOfficeReadsWrittenWorkbooks();
};

void TestWorkbookWrite::keepsEverythingElse_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("other");
    QTest::newRow("xlwt") << "diary_xlwt.xls" << "メモ";
    QTest::newRow("LibreOffice") << "diary_libreoffice.xls" << "集計";
    QTest::newRow("Gnumeric") << "diary_gnumeric.xls" << "集計";
}

void TestWorkbookWrite::keepsEverythingElse()
{
    QFETCH(QString, file);
    QFETCH(QString, other);
    QTemporaryDir dir;
    const QString path = copyData(dir, file);
    const RecordTable before = table(path);
    const RecordTable otherBefore = table(path, other);
    const Parsed old = parse(path);
    const std::optional<QJsonObject> xlrdBefore = xlrdCells(path);

    const int plan = before.columnIndex(QStringLiteral("予定"));
    const int planColour = before.columnIndex(QStringLiteral("予定色"));
    const int weather = before.columnIndex(QStringLiteral("天気"));
    const int newColumn = int(before.columnNames.size());
    const SheetCells oldCells = old.cells(Sheet1);
    const Cell* oldPlan = old.cell(oldCells, 1, plan);
    QVERIFY(oldPlan);

    const QList<FieldWrite> writes{
        {0, plan, QStringLiteral("新しい予定\n二行目")},
        {0, planColour, QStringLiteral("65280"), true},
        {1, plan, QString()},
        {5, weather, QStringLiteral("3")},
        {400, 3, QStringLiteral("新しい行")},
        {-1, newColumn, QStringLiteral("追加列")},
    };
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY(book);
    QVERIFY2(book->writeFields(Sheet1, writes, &error), qPrintable(error.detail));

    // The table is the old one with exactly these fields changed.
    RecordTable expected = before;
    expected.columnNames.resize(newColumn + 1);
    expected.columnNames[newColumn] = QStringLiteral("追加列");
    expected.records.resize(401);
    for (const FieldWrite& w : writes) {
        if (w.record < 0)
            continue;
        QStringList& r = expected.records[w.record];
        if (r.size() <= w.column)
            r.resize(w.column + 1);
        r[w.column] = w.text;
    }
    const RecordTable after = table(path);
    QCOMPARE(after.columnNames, expected.columnNames);
    QCOMPARE(after.recordCount(), 401);
    for (int r = 0; r < 401; ++r)
        for (int c = 0; c <= newColumn; ++c)
            if (after.field(r, c) != expected.field(r, c))
                QFAIL(qPrintable(QStringLiteral("record %1 column %2: \"%3\", expected \"%4\"")
                                     .arg(r).arg(c).arg(after.field(r, c), expected.field(r, c))));
    const RecordTable otherAfter = table(path, other);
    QCOMPARE(otherAfter.columnNames, otherBefore.columnNames);
    QCOMPARE(otherAfter.records, otherBefore.records);

    // Below the surface: formats, formulas, column widths and the other streams.
    const Parsed now = parse(path);
    const SheetCells newCells = now.cells(Sheet1);
    QCOMPARE(now.cell(newCells, 1, plan)->xf, oldPlan->xf);
    QCOMPARE(now.cell(newCells, 1, planColour)->kind, CellKind::Rk);
    QCOMPARE(now.cell(newCells, 6, weather)->kind, CellKind::Sst);
    QCOMPARE(formulaCount(now, Sheet1), formulaCount(old, Sheet1));
    QCOMPARE(formulaCount(now, other), formulaCount(old, other));
    QCOMPARE(now.records(Sheet1, rt::ColInfo), old.records(Sheet1, rt::ColInfo));
    QCOMPARE(now.records(other, rt::ColInfo), old.records(other, rt::ColInfo));
    QCOMPARE(now.book.sheetNames(), old.book.sheetNames());
    QCOMPARE(indexProblem(now, Sheet1), QString());
    QCOMPARE(extSstProblem(now), QString());
    QCOMPARE(now.root.children.size(), old.root.children.size());
    for (const CompoundEntry& entry : old.root.children) {
        if (entry.name == "Workbook")
            continue;
        const CompoundEntry* kept = now.root.findEntry(entry.name);
        QVERIFY2(kept, entry.name.constData());
        QCOMPARE(kept->data, entry.data);
    }
    QCOMPARE(now.root.classId, old.root.classId);

    // python3-xlrd sees the same cells, formats included, but for the written ones.
    const std::optional<QJsonObject> xlrdAfter = xlrdCells(path);
    if (!xlrdAfter)
        QSKIP("no python3-xlrd at /usr/bin/python3");
    QVERIFY(!xlrdAfter->isEmpty());
    QSet<QString> written;
    for (const FieldWrite& w : writes)
        written << key(w.record + 1, w.column);
    for (const QString& sheet : xlrdBefore->keys()) {
        const QJsonObject a = (*xlrdBefore)[sheet].toObject();
        const QJsonObject b = (*xlrdAfter)[sheet].toObject();
        for (const QString& k : a.keys())
            if (!(sheet == Sheet1 && written.contains(k)))
                QVERIFY2(a[k] == b[k], qPrintable(sheet + QLatin1Char(' ') + k));
    }
    const QJsonObject s = (*xlrdAfter)[Sheet1].toObject();
    QCOMPARE(s[key(1, plan)].toArray()[1].toString(), QStringLiteral("新しい予定\n二行目"));
    QCOMPARE(s[key(1, plan)].toArray()[2], (*xlrdBefore)[Sheet1].toObject()[key(1, plan)].toArray()[2]);
    QCOMPARE(s[key(1, planColour)].toArray()[1].toDouble(), 65280.0);
    QCOMPARE(s[key(6, weather)].toArray()[1].toString(), QStringLiteral("3"));
    QCOMPARE(s[key(401, 3)].toArray()[1].toString(), QStringLiteral("新しい行"));
    QCOMPARE(s[key(0, newColumn)].toArray()[1].toString(), QStringLiteral("追加列"));
    QVERIFY(!s.contains(key(2, plan)) || s[key(2, plan)].toArray().at(1).toString().isEmpty());
}

void TestWorkbookWrite::storesNumbersAndTexts()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("numbers.xls"));
    Error error;
    QVERIFY2(Workbook::createEmpty(path, Sheet1, &error), qPrintable(error.detail));
    auto book = Workbook::open(path, &error);
    QVERIFY2(book, qPrintable(error.detail));
    const QStringList numeric{"255", "-2147483640", "0.1", "1e20", "12.50", " 7 ", "abc", "", "2147483647", "-0",
                              "1.5e-7", "0x10", "1,000"};
    const QStringList readBack{"255", "-2147483640", "0.1", "1e+20", "12.5", "7", "abc", "", "2147483647", "0",
                               "1.5e-07", "0x10", "1,000"};
    QList<FieldWrite> writes;
    for (int i = 0; i < numeric.size(); ++i)
        writes.append({0, i, numeric[i], true});
    writes.append({1, 0, QStringLiteral("3")});            // a subject typed as a number stays text
    writes.append({1, 1, QStringLiteral("a\r\nb\rc\nd")}); // line breaks are stored as LF
    writes.append({1, 2, QString(MaxCellChars, u'字')});
    QVERIFY2(book->writeFields(Sheet1, writes, &error), qPrintable(error.detail));

    const RecordTable t = table(path);
    for (int i = 0; i < numeric.size(); ++i)
        QCOMPARE(t.field(0, i), readBack[i]);
    QCOMPARE(t.field(1, 0), QStringLiteral("3"));
    QCOMPARE(t.field(1, 1), QStringLiteral("a\nb\nc\nd"));
    QCOMPARE(t.field(1, 2), QString(MaxCellChars, u'字'));

    const Parsed p = parse(path);
    const SheetCells cells = p.cells(Sheet1);
    QCOMPARE(p.cell(cells, 1, 0)->kind, CellKind::Rk);     // 255 fits an RK
    QCOMPARE(p.cell(cells, 1, 1)->kind, CellKind::Number); // -2147483640 does not
    QCOMPARE(p.cell(cells, 1, 6)->kind, CellKind::Sst);    // "abc" was no number
    QVERIFY(!p.cell(cells, 1, 7));                         // empty text: no cell
    QCOMPARE(p.cell(cells, 2, 0)->kind, CellKind::Sst);
    QCOMPARE(p.cell(cells, 1, 0)->xf, quint16(15));        // the default cell format

    // Emptying a cell with the default format removes it.
    QVERIFY(book->writeFields(Sheet1, {{0, 0, QString()}}, &error));
    const Parsed emptied = parse(path);
    QVERIFY(!emptied.cell(emptied.cells(Sheet1), 1, 0));
}

void TestWorkbookWrite::createsANewDiaryInOneWrite()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    Error error;
    QVERIFY2(Workbook::createEmpty(path, Sheet1, &error), qPrintable(error.detail));
    QVERIFY(!Workbook::createEmpty(dir.filePath(QStringLiteral("x.xls")), QStringLiteral("a/b"), &error));
    QCOMPARE(error.kind, ErrorKind::WriteFailed);
    auto book = Workbook::open(path, &error);
    QVERIFY(book);
    QCOMPARE(book->sheetNames(), QStringList{Sheet1});
    RecordTable empty;
    QVERIFY(book->readTable(Sheet1, &empty, &error));
    QCOMPARE(empty.recordCount(), 0);

    QList<FieldWrite> writes;
    for (int c = 0; c < 27; ++c)
        writes.append({-1, c, QStringLiteral("列%1").arg(c)});
    for (int r = 0; r < 365; ++r)
        for (int c = 0; c < 27; ++c)
            writes.append(c >= 17 && c < 26 ? FieldWrite{r, c, QString::number(-2147483640 + r), true}
                                            : FieldWrite{r, c, QStringLiteral("%1日目 欄%2\n二行目").arg(r).arg(c)});
    QVERIFY2(book->writeFields(Sheet1, writes, &error), qPrintable(error.detail));
    const RecordTable t = table(path);
    QCOMPARE(t.recordCount(), 365);
    QCOMPARE(t.columnNames.size(), 27);
    for (const FieldWrite& w : std::as_const(writes))
        if (t.field(w.record, w.column) != w.text)
            QFAIL(qPrintable(QStringLiteral("record %1 column %2").arg(w.record).arg(w.column)));

    const Parsed p = parse(path);
    QVERIFY(p.book.sstEnd - p.book.sstPos > 8 * MaxRecordData); // the table spans CONTINUE records
    QCOMPARE(extSstProblem(p), QString());
    QCOMPARE(indexProblem(p, Sheet1), QString());

    // Saving a field again and again replaces its string; the table does not grow.
    const qsizetype strings = p.book.sst.strings.size();
    for (int i = 0; i < 30; ++i)
        QVERIFY(book->writeFields(Sheet1, {{10, 16, QStringLiteral("書き直し %1").arg(i)}}, &error));
    QCOMPARE(parse(path).book.sst.strings.size(), strings);
    QCOMPARE(table(path).field(10, 16), QStringLiteral("書き直し 29"));

    const std::optional<QJsonObject> x = xlrdCells(path);
    if (!x)
        QSKIP("no python3-xlrd at /usr/bin/python3");
    const QJsonObject s = (*x)[Sheet1].toObject();
    QCOMPARE(s[key(0, 3)].toArray()[1].toString(), QStringLiteral("列3"));
    QCOMPARE(s[key(365, 0)].toArray()[1].toString(), QStringLiteral("364日目 欄0\n二行目"));
    QCOMPARE(s[key(365, 20)].toArray()[1].toDouble(), -2147483640.0 + 364);
}

void TestWorkbookWrite::refusesTooLongFieldsWritingNothing()
{
    QTemporaryDir dir;
    const QString path = copyData(dir, QStringLiteral("diary_libreoffice.xls"));
    const QByteArray bytes = readAll(path);
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY(book);
    const QList<FieldWrite> writes{{3, 1, QStringLiteral("fine")}, {3, 4, QString(MaxCellChars + 1, u'x')}};
    QVERIFY(!book->writeFields(Sheet1, writes, &error));
    QCOMPARE(error.kind, ErrorKind::FieldTooLong);
    QVERIFY2(error.detail.contains(QLatin1String("record 3, column 4")), qPrintable(error.detail));
    QCOMPARE(readAll(path), bytes);
    RecordTable t;
    QVERIFY(book->readTable(Sheet1, &t, &error));
    QCOMPARE(t.field(3, 1), table(path).field(3, 1));
    QVERIFY(t.field(3, 1) != QStringLiteral("fine"));

    // Neither may a field lie outside a worksheet.
    QVERIFY(!book->writeFields(Sheet1, {{65535, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::WriteFailed);
    QVERIFY(!book->writeFields(Sheet1, {{0, 256, QStringLiteral("x")}}, &error));
    QVERIFY(!book->writeFields(QStringLiteral("No such sheet"), {{0, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::NoSheet);
    QCOMPARE(readAll(path), bytes);
}

void TestWorkbookWrite::keepsSharedFormulasWhenTheirCellIsOverwritten()
{
    // A1 and A2 share a formula defined after A1's FORMULA record; both refer
    // to it through A1's position.
    auto formula = [](quint16 row, double cached) {
        QByteArray value;
        putF64(value, cached);
        return record(rt::Formula, words({row, 0, 15}) + value + words({0x0008, 0, 0, 5}) + QByteArray("\x01\x00\x00\x00\x00", 5));
    };
    const QByteArray shared = record(rt::ShrFmla, words({0, 1}) + QByteArray("\x00\x00\x00\x02", 4) + words({3})
                                                      + QByteArray("\x1E\x07\x00", 3));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shared.xls"));
    QVERIFY(writeAll(path, workbookFile(formula(0, 7) + shared + formula(1, 7))));

    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY2(book, qPrintable(error.detail));
    QVERIFY2(book->writeFields(Sheet1, {{-1, 0, QStringLiteral("見出し")}}, &error), qPrintable(error.detail));
    const RecordTable t = table(path);
    QCOMPARE(t.field(-1, 0), QStringLiteral("見出し"));
    QCOMPARE(t.field(0, 0), QStringLiteral("7"));
    // The definition now follows A2, the formula still using it.
    const QByteArray stream = parse(path).book.stream;
    const qsizetype a2 = stream.indexOf(formula(1, 7));
    QVERIFY(a2 > 0);
    QCOMPARE(stream.mid(a2 + formula(1, 7).size(), shared.size()), shared);
    QCOMPARE(stream.count(shared), 1);
}

void TestWorkbookWrite::keepsEditsOfOtherPrograms()
{
    QTemporaryDir dir;
    const QString path = copyData(dir, QStringLiteral("diary_xlwt.xls"));
    Error error;
    auto mine = Workbook::open(path, &error);
    auto theirs = Workbook::open(path, &error);
    QVERIFY(mine && theirs);
    // Same length, so that only the content tells the change.
    QVERIFY(theirs->writeFields(Sheet1, {{10, 0, QStringLiteral("他の編集")}}, &error));
    QVERIFY(mine->writeFields(Sheet1, {{11, 0, QStringLiteral("私の編集")}}, &error));
    RecordTable t = table(path);
    QCOMPARE(t.field(10, 0), QStringLiteral("他の編集"));
    QCOMPARE(t.field(11, 0), QStringLiteral("私の編集"));
    QVERIFY(mine->readTable(Sheet1, &t, &error));
    QCOMPARE(t.field(10, 0), QStringLiteral("他の編集"));

    // A workbook that vanished is written anew from what was read.
    QVERIFY(QFile::remove(path));
    QVERIFY2(mine->writeFields(Sheet1, {{12, 0, QStringLiteral("再作成")}}, &error), qPrintable(error.detail));
    t = table(path);
    QCOMPARE(t.field(10, 0), QStringLiteral("他の編集"));
    QCOMPARE(t.field(12, 0), QStringLiteral("再作成"));
    QCOMPARE(t.field(0, 0), QStringLiteral("歯医者\n午後3時から"));
    QCOMPARE(table(path, QStringLiteral("メモ")).field(0, 0), QStringLiteral("牛乳"));

    // Replaced by something that is no workbook: refused, and left alone.
    const QByteArray html("<html><body>not a diary</body></html>");
    QVERIFY(writeAll(path, html));
    QVERIFY(!mine->writeFields(Sheet1, {{13, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::NotWorkbook);
    QCOMPARE(readAll(path), html);
}

void TestWorkbookWrite::failedSaveChangesNothing()
{
    QTemporaryDir dir;
    const QString path = copyData(dir, QStringLiteral("diary_libreoffice.xls"));
    const QByteArray bytes = readAll(path);
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY(book);

    // A full disk, as the kernel reports a file size limit: EFBIG on write.
    {
        rlimit old;
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = rlim_t(bytes.size() / 2);
        ::setrlimit(RLIMIT_FSIZE, &small);
        const bool ok = book->writeFields(Sheet1, {{0, 0, QStringLiteral("満杯")}}, &error);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!ok);
        QCOMPARE(error.kind, ErrorKind::WriteFailed);
        QVERIFY(!error.detail.isEmpty());
        QCOMPARE(readAll(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("nikki.xls")});
        RecordTable t;
        QVERIFY(book->readTable(Sheet1, &t, &error));
        QVERIFY(t.field(0, 0) != QStringLiteral("満杯"));
    }

    // A read-only folder. Root writes anywhere, so then a child without the
    // capabilities that override file permissions tries it. It stays root, so
    // it can still run this binary from a home folder only root may enter.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                  | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther));
    ErrorKind kind = ErrorKind::None;
    QString detail;
    if (runningAsRoot()) {
        QProcess child;
        child.setChildProcessModifier([] {
            for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
                    ::_exit(9);
            }
        });
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-once"), path});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        kind = ErrorKind(out.section(u'|', 0, 0).toInt());
        detail = out.section(u'|', 1);
    } else {
        kind = book->writeFields(Sheet1, {{0, 0, QStringLiteral("読み取り専用")}}, &error) ? ErrorKind::None : error.kind;
        detail = error.detail;
    }
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(kind, ErrorKind::WriteFailed);
    QVERIFY(!detail.isEmpty());
    QCOMPARE(readAll(path), bytes);

    // Once the folder is writable again, the pending fields can be saved.
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY2(book->writeFields(Sheet1, {{0, 0, QStringLiteral("再試行")}}, &error), qPrintable(error.detail));
    QCOMPARE(table(path).field(0, 0), QStringLiteral("再試行"));
}

void TestWorkbookWrite::keepsFilePermissions()
{
    QTemporaryDir dir;
    const QString path = copyData(dir, QStringLiteral("diary_xlwt.xls"));
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY(book->writeFields(Sheet1, {{0, 0, QStringLiteral("x")}}, &error));
    const auto ownerGroupOther = QFileDevice::Permissions(0x7077);
    QCOMPARE(QFileInfo(path).permissions() & ownerGroupOther, permissions);
}

void TestWorkbookWrite::killedSaveLeavesAWholeWorkbook()
{
    QTemporaryDir dir;
    const QString path = copyData(dir, QStringLiteral("diary_libreoffice.xls"));
    const QString original = table(path).field(0, 0);
    auto* random = QRandomGenerator::global();
    int saves = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-loop"), path});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        while (!said.contains("ready") && child.waitForReadyRead(20000))
            said += child.readAllStandardOutput();
        // Every other round lets a save finish first, so that the kill lands
        // in a later one; the others kill at any moment from the start.
        while (round % 2 && !said.contains("saved") && child.waitForReadyRead(20000))
            said += child.readAllStandardOutput();
        QThread::msleep(random->bounded(0, 80));
        child.kill();
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        said += child.readAllStandardOutput();
        saves += int(said.count("saved"));

        Error error;
        const auto book = Workbook::open(path, &error);
        QVERIFY2(book, qPrintable(QStringLiteral("round %1: %2").arg(round).arg(error.detail)));
        RecordTable t;
        QVERIFY(book->readTable(Sheet1, &t, &error));
        const QString text = t.field(0, 0);
        if (text == original)
            continue;
        // Old or new, and whole: the text and the number come from the same save.
        QVERIFY2(text.startsWith(QLatin1String("round ")), qPrintable(text));
        const int saved = text.section(u' ', 1, 1).toInt();
        QCOMPARE(t.field(0, 1), QString::number(saved));
        QCOMPARE(text.size(), QStringLiteral("round %1 ").arg(saved).size() + (saved % 2 ? 5000 : 10));
    }
    QVERIFY2(saves >= 12, "too few saves were interrupted");
}

void TestWorkbookWrite::libreOfficeReadsWrittenWorkbooks()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("no LibreOffice");
    QTemporaryDir dir;
    QStringList files;
    Error error;
    for (const char* name : {"diary_xlwt.xls", "diary_libreoffice.xls", "diary_gnumeric.xls"}) {
        const QString path = copyData(dir, QLatin1String(name), QLatin1String(name));
        auto book = Workbook::open(path, &error);
        QVERIFY(book);
        QVERIFY(book->writeFields(Sheet1, {{0, 0, QStringLiteral("新しい\n予定")}, {1, 0, QStringLiteral("65280"), true},
                                           {500, 1, QStringLiteral("遠い行")}},
                                  &error));
        files << path;
    }
    const QString fresh = dir.filePath(QStringLiteral("fresh.xls"));
    QVERIFY(Workbook::createEmpty(fresh, Sheet1, &error));
    auto book = Workbook::open(fresh, &error);
    QVERIFY(book->writeFields(Sheet1, {{-1, 0, QStringLiteral("予定")}, {0, 0, QStringLiteral("新しい\n予定")},
                                       {1, 0, QStringLiteral("65280"), true}, {500, 1, QStringLiteral("遠い行")}},
                              &error));
    files << fresh;

    // Every sheet to CSV (UTF-8, quoted texts), all files in one run.
    QProcess lo;
    lo.setWorkingDirectory(dir.path());
    QStringList args{QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                     QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                     QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
                     QStringLiteral("--outdir"), dir.filePath(QStringLiteral("csv"))};
    lo.start(soffice, args + files);
    QVERIFY(lo.waitForFinished(300000));
    for (const QString& path : std::as_const(files)) {
        const QString csv = QString::fromUtf8(readAll(dir.filePath(QStringLiteral("csv/")) + QFileInfo(path).completeBaseName()
                                                       + QStringLiteral("-Sheet1.csv")));
        QVERIFY2(!csv.isEmpty(), qPrintable(path));
        QVERIFY2(csv.contains(QStringLiteral("\n\"新しい\n予定\",")), qPrintable(path));
        QVERIFY2(csv.contains(QStringLiteral("\n65280,")), qPrintable(path));
        QVERIFY2(csv.contains(QStringLiteral("\n,遠い行")) || csv.contains(QStringLiteral("\n,\"遠い行\"")),
                 qPrintable(path));
    }
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--save-loop") == 0)
        return saveLoop(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && qstrcmp(argv[1], "--save-once") == 0)
        return saveOnce(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestWorkbookWrite test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_workbook_write.moc"
