// Files that are not diaries, damaged or hostile: each is refused with the
// right kind of error, left as it was, and never crashes or hangs the engine.
#include "support/FileBytes.h"
#include "support/LittleEndian.h"
#include "platform/workbook/BiffBook.h"
#include "platform/workbook/CompoundFile.h"
#include "platform/workbook/Workbook.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <unistd.h>

using namespace workbook;
using namespace workbook::detail;

Q_DECLARE_METATYPE(workbook::ErrorKind)

namespace {

QByteArray dataFile(const char* name)
{
    return readAll(QStringLiteral(TEST_DATA_DIR "/") + QLatin1String(name));
}


QByteArray record(quint16 type, const QByteArray& data)
{
    return le16(type) + le16(quint16(data.size())) + data;
}

QByteArray bof(quint16 version, quint16 kind)
{
    return record(rt::Bof, le16(version) + le16(kind) + le32(0) + le32(0) + le32(0));
}

// Globals (after their BOF) and one sheet named "S" holding the given records.
QByteArray stream(const QByteArray& globals, const QByteArray& sheet)
{
    QByteArray s = bof(0x0600, 0x0005) + globals;
    const qsizetype bound = s.size();
    s += record(rt::BoundSheet, le32(0) + QByteArray(2, '\0') + char(1) + char(0) + "S") + record(rt::Eof, {});
    set32(s, bound + 4, quint32(s.size()));
    return s + bof(0x0600, 0x0010) + sheet + record(rt::Eof, {});
}

QByteArray sst(const QByteArray& strings, quint32 count)
{
    return record(rt::Sst, le32(count) + le32(count) + strings);
}

QByteArray labelSst(int row, int col, quint32 index)
{
    return record(rt::LabelSst, le16(quint16(row)) + le16(quint16(col)) + le16(15) + le32(index));
}

QByteArray compound(const QList<std::pair<QByteArray, QByteArray>>& streams)
{
    CompoundEntry root;
    root.isStorage = true;
    for (const auto& [name, data] : streams) {
        CompoundEntry e;
        e.name = name;
        e.data = data;
        root.children.push_back(e);
    }
    QByteArray file;
    Error error;
    if (!writeCompoundFile(root, &file, &error))
        qFatal("cannot build a compound file");
    return file;
}

QByteArray workbookFile(const QByteArray& stream)
{
    return compound({{"Workbook", stream}});
}

// Sector arithmetic on the 512-byte-sector files the tests build.
struct Cfb {
    QByteArray bytes;
    qsizetype sector(quint32 s) const { return 512 + qsizetype(s) * 512; }
    qsizetype fatEntry(quint32 s) const { return sector(u32(bytes.constData() + 0x4C + 4 * (s / 128))) + 4 * (s % 128); }
    quint32 next(quint32 s) const { return u32(bytes.constData() + fatEntry(s)); }
    void setNext(quint32 s, quint32 to) { set32(bytes, fatEntry(s), to); }
    quint32 dirStart() const { return u32(bytes.constData() + 0x30); }
    // The directory entry of a top-level stream, found by its UTF-16 name.
    qsizetype entry(const QString& name) const
    {
        QByteArray wanted;
        for (QChar c : name)
            put16(wanted, c.unicode());
        for (quint32 s = dirStart(); s < 0xFFFFFFF0; s = next(s))
            for (int i = 0; i < 4; ++i)
                if (bytes.mid(sector(s) + 128 * i, wanted.size()) == wanted)
                    return sector(s) + 128 * i;
        return -1;
    }
};

} // namespace

class TestWorkbookErrors : public QObject {
    Q_OBJECT

private slots:
    void refusesWhatIsNoUsableWorkbook_data();
    void refusesWhatIsNoUsableWorkbook();
    void refusesDamagedCellsWhenReading_data();
    void refusesDamagedCellsWhenReading();
    void refusesUnreadablePaths();
    void survivesRandomDamage();
    void pairsAFormulaOnlyWithTheStringRightAfterIt();
    void reservesNoWideRecordForEveryLaterOne();
    void keepsEachStreamOfTheWorkbookStreamsSize();
    void reservesNoRecordBeyondTheLastRow();
};

void TestWorkbookErrors::refusesWhatIsNoUsableWorkbook_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<ErrorKind>("kind");
    const QByteArray libreOffice = dataFile("diary_libreoffice.xls");
    QByteArray noise(4096, '\0');
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QByteArray good = stream(sst(le16(1) + char(0) + "a", 1), labelSst(0, 0, 0));

    QTest::newRow("empty file") << QByteArray() << ErrorKind::NotWorkbook;
    QTest::newRow("random bytes") << noise << ErrorKind::NotWorkbook;
    QTest::newRow("zip (.xlsx)") << QByteArray("PK\x03\x04\x14\x00\x06\x00", 8) + noise << ErrorKind::NotWorkbook;
    QTest::newRow("HTML") << QByteArray("<!DOCTYPE html><html><body><table><tr><td>1</td></tr></table></body></html>")
                          << ErrorKind::NotWorkbook;
    QTest::newRow("compound file of another program") << compound({{"WordDocument", noise}}) << ErrorKind::NotWorkbook;
    QTest::newRow("truncated workbook") << libreOffice.left(libreOffice.size() / 2) << ErrorKind::Damaged;
    QTest::newRow("compound file header only") << libreOffice.left(512) << ErrorKind::Damaged;
    QTest::newRow("BIFF5 Book stream") << dataFile("old_biff5.xls") << ErrorKind::OldFormat;
    QTest::newRow("BIFF5 globals in a Workbook stream")
        << workbookFile(bof(0x0500, 0x0005) + record(rt::Eof, {})) << ErrorKind::OldFormat;
    QTest::newRow("Excel 4.0 worksheet") << bof(0x0000, 0x0010).replace(0, 2, le16(0x0409)) + record(rt::Eof, {})
                                         << ErrorKind::OldFormat;
    QTest::newRow("FILEPASS") << workbookFile(bof(0x0600, 0x0005) + record(rt::FilePass, le16(1) + QByteArray(52, 'k'))
                                              + good.mid(20))
                              << ErrorKind::Encrypted;
    QTest::newRow("encrypted Office document")
        << compound({{"EncryptionInfo", noise.left(200)}, {"EncryptedPackage", noise}}) << ErrorKind::Encrypted;
    QTest::newRow("globals without EOF") << workbookFile(good.left(good.indexOf(record(rt::Eof, {}))))
                                         << ErrorKind::Damaged;
    QTest::newRow("record running past the stream") << workbookFile(good.left(good.size() - 3)) << ErrorKind::Damaged;
    QTest::newRow("sheet without BOF") << workbookFile(stream({}, {}).replace(record(rt::Eof, {}) + bof(0x0600, 0x0010),
                                                                            record(rt::Eof, {}) + record(0x0001, QByteArray(16, 0))))
                                       << ErrorKind::Damaged;
    QByteArray farSheet = stream({}, {});
    set32(farSheet, 20 + 4, 0x7FFFFFFF); // the BOUNDSHEET right after the globals' BOF
    QTest::newRow("sheet beyond the stream") << workbookFile(farSheet) << ErrorKind::Damaged;
    QTest::newRow("string longer than the table")
        << workbookFile(stream(sst(le16(65535) + char(1) + "ab", 1), {})) << ErrorKind::Damaged;
    QTest::newRow("phonetic block longer than the table")
        << workbookFile(stream(sst(le16(1) + char(4) + le32(0xFFFFFFFF) + "a", 1), {})) << ErrorKind::Damaged;
    QTest::newRow("run list longer than the table")
        << workbookFile(stream(sst(le16(1) + char(8) + le16(0xFFFF) + "a", 1), {})) << ErrorKind::Damaged;

    // Compound file structures that would make a naive reader loop or allocate.
    Cfb cfb{libreOffice};
    const qsizetype entry = cfb.entry(QStringLiteral("Workbook"));
    const quint32 first = u32(libreOffice.constData() + entry + 0x74);
    Cfb loop = cfb;
    loop.setNext(loop.next(loop.next(first)), first);
    QTest::newRow("sector chain loop") << loop.bytes << ErrorKind::Damaged;
    Cfb dirLoop = cfb;
    dirLoop.setNext(dirLoop.dirStart(), dirLoop.dirStart());
    QTest::newRow("directory chain loop") << dirLoop.bytes << ErrorKind::Damaged;
    Cfb beyond = cfb;
    beyond.setNext(first, 0x00FFFFFF);
    QTest::newRow("sector beyond the file") << beyond.bytes << ErrorKind::Damaged;
    Cfb huge = cfb;
    set32(huge.bytes, 0x2C, 0x7FFFFFFF);
    QTest::newRow("huge FAT sector count") << huge.bytes << ErrorKind::Damaged;
    Cfb hugeDifat = cfb;
    set32(hugeDifat.bytes, 0x48, 0x40000000);
    QTest::newRow("huge DIFAT sector count") << hugeDifat.bytes << ErrorKind::Damaged;
    Cfb bigStream = cfb;
    set32(bigStream.bytes, entry + 0x78, 0x7FFFFFF0);
    QTest::newRow("stream larger than the file") << bigStream.bytes << ErrorKind::Damaged;
    Cfb cycle = cfb;
    set32(cycle.bytes, entry + 0x44, quint32((entry - cycle.sector(cycle.dirStart())) / 128));
    QTest::newRow("directory tree cycle") << cycle.bytes << ErrorKind::Damaged;
}

void TestWorkbookErrors::refusesWhatIsNoUsableWorkbook()
{
    QFETCH(QByteArray, bytes);
    QFETCH(ErrorKind, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    QVERIFY(writeAll(path, bytes));
    Error error;
    const auto book = Workbook::open(path, &error);
    QVERIFY(!book);
    QCOMPARE(error.kind, kind);
    QVERIFY(!error.detail.isEmpty());
    QCOMPARE(readAll(path), bytes);
}

void TestWorkbookErrors::refusesDamagedCellsWhenReading_data()
{
    QTest::addColumn<QByteArray>("cells");
    const QByteArray head = le16(1) + le16(0) + le16(15);
    QTest::newRow("string index beyond the table") << labelSst(1, 0, 5);
    QTest::newRow("column beyond 255") << labelSst(1, 300, 0);
    QTest::newRow("MULRK beyond column 255")
        << record(rt::MulRk, le16(1) + le16(250) + QByteArray(6 * 8, '\0') + le16(257));
    QTest::newRow("MULRK without cells") << record(rt::MulRk, le16(1) + le16(0) + le16(0));
    QTest::newRow("short NUMBER") << record(rt::Number, head + le16(0));
    QTest::newRow("LABEL longer than its record") << record(rt::Label, head + le16(500) + char(0) + "abc");
}

void TestWorkbookErrors::refusesDamagedCellsWhenReading()
{
    QFETCH(QByteArray, cells);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    const QByteArray bytes = workbookFile(stream(sst(le16(1) + char(0) + "a", 1), labelSst(0, 0, 0) + cells));
    QVERIFY(writeAll(path, bytes));
    Error error;
    const auto book = Workbook::open(path, &error);
    QVERIFY2(book, qPrintable(error.detail));
    RecordTable t;
    QVERIFY(!book->readTable(QStringLiteral("S"), &t, &error));
    QCOMPARE(error.kind, ErrorKind::Damaged);
    // Nor is it rewritten: a save needs the sheet's cells.
    QVERIFY(!book->writeFields(QStringLiteral("S"), {{5, 0, QStringLiteral("x")}}, &error));
    QCOMPARE(error.kind, ErrorKind::Damaged);
    QCOMPARE(readAll(path), bytes);
}

void TestWorkbookErrors::refusesUnreadablePaths()
{
    QTemporaryDir dir;
    Error error;
    QVERIFY(!Workbook::open(dir.filePath(QStringLiteral("missing.xls")), &error));
    QCOMPARE(error.kind, ErrorKind::Missing);
    QVERIFY(!Workbook::open(dir.path(), &error));
    QCOMPARE(error.kind, ErrorKind::Unreadable);
    if (::geteuid() == 0)
        QSKIP("root reads files without read permission");
    const QString path = dir.filePath(QStringLiteral("locked.xls"));
    QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/diary_xlwt.xls"), path));
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QVERIFY(!Workbook::open(path, &error));
    QCOMPARE(error.kind, ErrorKind::Unreadable);
}

void TestWorkbookErrors::survivesRandomDamage()
{
    // A small mutation run over two workbooks: whatever the damage, the engine
    // answers with a workbook or an error, and a workbook it accepts can be
    // read and saved.
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh.xls"));
    Error error;
    QVERIFY(Workbook::createEmpty(fresh, QStringLiteral("Sheet1"), &error));
    {
        auto book = Workbook::open(fresh, &error);
        QVERIFY(book->writeFields(QStringLiteral("Sheet1"), {{-1, 0, QStringLiteral("予定")}, {0, 0, QStringLiteral("晴れ")},
                                                             {0, 1, QStringLiteral("255"), true}, {1, 2, QString(300, u'字')}},
                                  &error));
    }
    const QList<QByteArray> seeds{readAll(fresh), dataFile("diary_gnumeric.xls")};
    QRandomGenerator random(20240601);
    const QString path = dir.filePath(QStringLiteral("mutant.xls"));
    int accepted = 0;
    for (int round = 0; round < 1200; ++round) {
        QByteArray bytes = seeds[round % 2];
        const int flips = 1 + random.bounded(8);
        for (int i = 0; i < flips; ++i) {
            const qsizetype at = random.bounded(bytes.size());
            bytes[at] = char(random.bounded(4) == 0 ? 0xFF : random.bounded(256));
        }
        if (round % 50 == 0)
            bytes.truncate(random.bounded(bytes.size()));
        QVERIFY(writeAll(path, bytes));
        const auto book = Workbook::open(path, &error);
        if (!book) {
            QVERIFY2(error.kind == ErrorKind::NotWorkbook || error.kind == ErrorKind::Damaged
                         || error.kind == ErrorKind::OldFormat || error.kind == ErrorKind::Encrypted,
                     qPrintable(error.detail));
            continue;
        }
        ++accepted;
        for (const QString& sheet : book->sheetNames()) {
            RecordTable t;
            if (!book->readTable(sheet, &t, &error))
                QCOMPARE(error.kind, ErrorKind::Damaged);
        }
        if (round % 4 == 0 && !book->sheetNames().isEmpty()
            && !book->writeFields(book->sheetNames().first(), {{2, 1, QStringLiteral("修復")}}, &error))
            QVERIFY2(error.kind == ErrorKind::Damaged, qPrintable(error.detail));
    }
    QVERIFY(accepted > 100);
}

void TestWorkbookErrors::pairsAFormulaOnlyWithTheStringRightAfterIt()
{
    // A formula (A2) with a text result, a record of its own kind, then its STRING.
    const QByteArray head = le16(1) + le16(0) + le16(15);
    const QByteArray formula = record(rt::Formula, head + QByteArray(6, '\0') + le16(0xFFFF) + le16(0) + le32(0)
                                                       + le16(3) + char(0x1E) + le16(1));
    const QByteArray string = record(rt::String, le16(4) + char(0) + "text");
    const QByteArray shared = record(rt::ShrFmla, QByteArray(10, '\0'));
    const QList<std::pair<QByteArray, QString>> cases{
        {formula + string, QStringLiteral("text")},
        {formula + shared + string, QStringLiteral("text")},
        // The writer moves only the formula's trailers with it: a STRING
        // beyond another record would be read now and lost by the next save.
        {formula + record(rt::DefColWidth, le16(8)) + string, QString()},
        {formula + record(rt::Row, le16(1) + le16(0) + le16(1) + le16(255) + le32(0) + le32(0x000F0100)) + string,
         QString()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    for (const auto& [cells, text] : cases) {
        QVERIFY(writeAll(path, workbookFile(stream(sst(le16(1) + char(0) + "a", 1), labelSst(0, 0, 0) + cells + labelSst(3, 0, 0)))));
        Error error;
        auto book = Workbook::open(path, &error);
        QVERIFY2(book, qPrintable(error.detail));
        RecordTable before;
        QVERIFY(book->readTable(QStringLiteral("S"), &before, &error));
        QCOMPARE(before.field(0, 0), text);
        QVERIFY2(book->writeFields(QStringLiteral("S"), {{5, 1, QStringLiteral("x")}}, &error), qPrintable(error.detail));
        RecordTable after;
        QVERIFY(Workbook::open(path, &error)->readTable(QStringLiteral("S"), &after, &error));
        QCOMPARE(after.field(0, 0), text);
    }
}

void TestWorkbookErrors::reservesNoWideRecordForEveryLaterOne()
{
    // One record with 256 fields, then many with one: memory must follow the
    // fields there are, not 256 for every record.
    QByteArray cells = record(rt::MulRk, le16(1) + le16(0) + QByteArray(6 * 256, '\0') + le16(255));
    for (int row = 2; row < 2000; ++row)
        cells += record(rt::Rk, le16(quint16(row)) + le16(0) + le16(15) + le32(2 << 2 | 2));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    QVERIFY(writeAll(path, workbookFile(stream({}, cells))));
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY2(book, qPrintable(error.detail));
    RecordTable t;
    QVERIFY2(book->readTable(QStringLiteral("S"), &t, &error), qPrintable(error.detail));
    QCOMPARE(t.recordCount(), 1999);
    QCOMPARE(t.records[0].size(), 256);
    qsizetype reserved = 0;
    for (int r = 1; r < t.recordCount(); ++r) {
        QCOMPARE(t.field(r, 0), QStringLiteral("2"));
        reserved += t.records[r].capacity();
    }
    QVERIFY2(reserved < 256 + 64 * 1998, qPrintable(QString::number(reserved)));
}

void TestWorkbookErrors::keepsEachStreamOfTheWorkbookStreamsSize()
{
    // A second top-level stream named like the workbook stream, of the same
    // size: each keeps its own bytes when read, and through a save.
    QByteArray book = stream(sst(le16(1) + char(0) + "a", 1), labelSst(0, 0, 0));
    book += record(0x0099, QByteArray(5000, 'p')); // past the sheet: ignored, but makes a big stream
    const QByteArray other(book.size(), 'z');
    const QByteArray file = compound({{"Workbook", book}, {"WORKBOOK", other}});
    CompoundEntry root;
    Error error;
    QVERIFY(readCompoundFile(file, &root, &error, QStringLiteral("Workbook")));
    QCOMPARE(root.children.size(), size_t(2));
    for (const CompoundEntry& child : root.children)
        QVERIFY2(child.data == (child.name == "Workbook" ? book : other), child.name.constData());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    QVERIFY(writeAll(path, file));
    auto opened = Workbook::open(path, &error);
    QVERIFY2(opened, qPrintable(error.detail));
    QVERIFY2(opened->writeFields(QStringLiteral("S"), {{0, 0, QStringLiteral("x")}}, &error), qPrintable(error.detail));
    CompoundEntry saved;
    QVERIFY(readCompoundFile(readAll(path), &saved, &error));
    const auto kept = std::find_if(saved.children.begin(), saved.children.end(),
                                   [](const CompoundEntry& e) { return e.name == "WORKBOOK"; });
    QVERIFY(kept != saved.children.end());
    QVERIFY(kept->data == other);
}

void TestWorkbookErrors::reservesNoRecordBeyondTheLastRow()
{
    // A cell far down, then one in the last row: room for more records than
    // a sheet has rows would be memory for nothing.
    const QByteArray cells = record(rt::Rk, le16(40000) + le16(0) + le16(15) + le32(1 << 2 | 2))
                             + record(rt::Rk, le16(65535) + le16(0) + le16(15) + le32(2 << 2 | 2));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nikki.xls"));
    QVERIFY(writeAll(path, workbookFile(stream({}, cells))));
    Error error;
    auto book = Workbook::open(path, &error);
    QVERIFY2(book, qPrintable(error.detail));
    RecordTable t;
    QVERIFY2(book->readTable(QStringLiteral("S"), &t, &error), qPrintable(error.detail));
    QCOMPARE(t.recordCount(), 65535);
    QCOMPARE(t.field(65534, 0), QStringLiteral("2"));
    QVERIFY2(t.records.capacity() <= 65535, qPrintable(QString::number(t.records.capacity())));
}

QTEST_GUILESS_MAIN(TestWorkbookErrors)
#include "test_workbook_errors.moc"
