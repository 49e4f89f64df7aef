// The diary and real spreadsheet programs reading each other's workbooks:
// LibreOffice Calc, Gnumeric and Python's xlwt/xlrd.
#include "system/interop/Peers.h"
#include "support/DiaryFixture.h"

#include "main_window/Form1.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/EntryBox.h"
#include "platform/MessageBox.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
#include "store/DiaryStore.h"

#include <QCryptographicHash>
#include <QTest>

using peers::CellMap;

namespace {

// The peers a round trip is checked against: the Python one (xlwt writes,
// xlrd reads), LibreOffice and Gnumeric. "needs" is the peer's program.
void addPeerRows(const QString& pythonPeer)
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("needs");
    QTest::newRow(qPrintable(QStringLiteral("python3-") + pythonPeer)) << pythonPeer << QString();
    QTest::newRow("LibreOffice Calc") << QStringLiteral("LibreOffice") << peers::soffice();
    QTest::newRow("Gnumeric") << QStringLiteral("Gnumeric") << peers::ssconvert();
}

bool peerInstalled(const QString& peer, const QString& needs, const QString& pythonPeer)
{
    return peers::havePython() && (!needs.isEmpty() || peer == pythonPeer);
}

const QString Sheet1 = QStringLiteral("Sheet1");

QString longText(const QString& unit, int size = workbook::MaxCellChars)
{
    QString s;
    while (s.size() < size)
        s += unit;
    return s.left(size);
}

// One field of the diary sheet: record is 0-based (sheet row record + 1);
// a null value stands for an empty cell.
struct Field {
    int record;
    QString column;
    QJsonValue value;
};

// Pages that exercise what the diary stores: Japanese with line breaks and
// runs of spaces, texts at the cell limit (Japanese only, and Latin turning
// Japanese deep inside, where the file format splits a text across records),
// extreme and negative colour numbers, empty fields and a missing colour.
QList<Field> content()
{
    return {
        {0, QStringLiteral("予定"), QStringLiteral("遠足\n弁当 と  水筒")},
        {0, QStringLiteral("出欠"), QStringLiteral("出")},
        {0, QStringLiteral("時間1"), QStringLiteral("国語")},
        {0, QStringLiteral("内容1"), QStringLiteral("漢字の書き取り\n\n二行あけて")},
        {0, QStringLiteral("感想"), longText(QStringLiteral("長い一日だった。"))},
        {0, QStringLiteral("予定色"), 255},
        {0, QStringLiteral("時間色1"), 16711680},
        {0, QStringLiteral("天気"), QStringLiteral("/opt/merrow/はれ.ico")},
        {1, QStringLiteral("感想"), QString(20000, QLatin1Char('a')) + QString(12767, QChar(0x3044))},
        {1, QStringLiteral("内容7"), QString(300, QLatin1Char('x'))},
        {2, QStringLiteral("予定色"), -2147483647 - 1},
        {2, QStringLiteral("時間色1"), 2147483647},
        {2, QStringLiteral("時間色2"), 0},
        {2, QStringLiteral("時間色3"), -1},
        {2, QStringLiteral("時間色7"), -2147483624},
        {3, QStringLiteral("予定"), QStringLiteral("<&>\"' ①②③ ㈱ 髙﨑 ｶﾀｶﾅ")},
        {3, QStringLiteral("内容2"), QStringLiteral("  前後に空白  ")},
        {4, QStringLiteral("予定色"), QJsonValue()},
        {364, QStringLiteral("感想"), QStringLiteral("修了式")},
    };
}

// Texts only the diary writes here: Gnumeric and LibreOffice import them
// fine from .xls, but not all of them write a tab or a character beyond the
// 16-bit range back into one.
QList<Field> diaryOnlyContent()
{
    return {
        {5, QStringLiteral("予定"), QStringLiteral("タブ\tと絵文字😀")},
        {5, QStringLiteral("感想"), QStringLiteral("行末\n")},
    };
}

QJsonObject contentBook()
{
    const QStringList header = DayRecord::allColumns();
    QMap<QPair<int, int>, QJsonValue> grid;
    for (const QJsonValue& v : peers::diaryCells())
        grid.insert({v.toArray().at(0).toInt(), v.toArray().at(1).toInt()}, v.toArray().at(2));
    for (const Field& f : content()) {
        const QPair<int, int> at{f.record + 1, int(header.indexOf(f.column))};
        if (f.value.isNull())
            grid.remove(at);
        else
            grid.insert(at, f.value);
    }
    QJsonArray cells;
    for (auto it = grid.cbegin(); it != grid.cend(); ++it)
        cells.append(peers::cell(it.key().first, it.key().second, it.value()));
    const QJsonArray memo{peers::cell(0, 0, QStringLiteral("買い物")), peers::cell(1, 0, QStringLiteral("牛乳")),
                          peers::cell(1, 1, 2), peers::cell(2, 1, 3.25)};
    return peers::book({peers::sheet(Sheet1, cells), peers::sheet(QStringLiteral("メモ"), memo)});
}

QString jsonText(const QJsonValue& v)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == double(qint64(d)) ? QString::number(qint64(d)) : QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    return v.toString();
}

// The sheet as the engine reads it, keyed by sheet row and column.
CellMap engineCells(const QString& path, const QString& sheetName, QString* problem)
{
    workbook::Error error;
    auto book = workbook::Workbook::open(path, &error);
    workbook::RecordTable table;
    if (!book || !book->readTable(sheetName, &table, &error)) {
        *problem = QStringLiteral("cannot read %1: %2").arg(path, error.detail);
        return {};
    }
    CellMap map;
    for (int c = 0; c < table.columnNames.size(); ++c) {
        if (!table.columnNames[c].isEmpty())
            map.insert({0, c}, table.columnNames[c]);
    }
    for (int r = 0; r < table.recordCount(); ++r) {
        for (int c = 0; c < table.records[r].size(); ++c) {
            if (!table.records[r][c].isEmpty())
                map.insert({r + 1, c}, table.records[r][c]);
        }
    }
    return map;
}

CellMap bookCells(const QJsonObject& desc, const QString& sheetName)
{
    for (const QJsonValue& s : desc.value(QStringLiteral("sheets")).toArray()) {
        if (s.toObject().value(QStringLiteral("name")).toString() == sheetName) {
            CellMap map;
            for (const QJsonValue& v : s.toObject().value(QStringLiteral("cells")).toArray()) {
                const QString text = jsonText(v.toArray().at(2));
                if (!text.isEmpty())
                    map.insert({v.toArray().at(0).toInt(), v.toArray().at(1).toInt()}, text);
            }
            return map;
        }
    }
    return {};
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A cell of a sheet as (sheet name, row, column).
using CellKey = std::tuple<QString, int, int>;

} // namespace

class TestInterop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void peerWrittenWorkbooksReadTheSame_data();
    void peerWrittenWorkbooksReadTheSame();
    void diaryWrittenWorkbookReadsTheSameInPeers_data();
    void diaryWrittenWorkbookReadsTheSameInPeers();
    void workbookExtrasSurviveASave_data();
    void workbookExtrasSurviveASave();
    void typedPageReachesEveryPeer();

private:
    QString peerWorkbook(const QString& peer);
    QString diaryWorkbook();
    void comparePeerViews(const QString& before, const QString& after, const QMap<CellKey, QString>& changes);

    QTemporaryDir m_dir;
    QMap<QString, QString> m_peerBooks;
    QString m_diaryBook;
};

void TestInterop::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (!peers::havePython())
        qWarning("/usr/bin/python3 with python3-xlrd and python3-xlwt is missing: most cases will skip");
}

// The content workbook as a peer writes it; empty text when it could not.
QString TestInterop::peerWorkbook(const QString& peer)
{
    if (m_peerBooks.contains(peer))
        return m_peerBooks.value(peer);
    const QString base = m_dir.filePath(peer);
    QString out;
    if (peer == QLatin1String("xlwt")) {
        const peers::Run r = peers::writeBook(QStringLiteral("xlwt"), contentBook(), base + QStringLiteral(".xls"));
        if (r.ok)
            out = base + QStringLiteral(".xls");
        else
            qWarning("%s", qPrintable(r.describe()));
    } else if (peer == QLatin1String("LibreOffice")) {
        const QString fods = base + QStringLiteral(".fods");
        peers::writeBook(QStringLiteral("fods"), contentBook(), fods);
        const peers::Run r = peers::libreOfficeConvert({fods}, QStringLiteral("xls:MS Excel 97"), m_dir.path());
        if (QFileInfo::exists(base + QStringLiteral(".xls")))
            out = base + QStringLiteral(".xls");
        else
            qWarning("%s", qPrintable(r.describe()));
    } else if (peer == QLatin1String("Gnumeric")) {
        const QString ods = base + QStringLiteral(".ods");
        peers::writeBook(QStringLiteral("ods"), contentBook(), ods);
        const peers::Run r = peers::run(peers::ssconvert(), {QStringLiteral("-T"), QStringLiteral("Gnumeric_Excel:excel_biff8"),
                                                             ods, base + QStringLiteral(".xls")});
        if (r.ok && QFileInfo::exists(base + QStringLiteral(".xls")))
            out = base + QStringLiteral(".xls");
        else
            qWarning("%s", qPrintable(r.describe()));
    }
    m_peerBooks.insert(peer, out);
    return out;
}

void TestInterop::peerWrittenWorkbooksReadTheSame_data()
{
    addPeerRows(QStringLiteral("xlwt"));
}

void TestInterop::peerWrittenWorkbooksReadTheSame()
{
    QFETCH(QString, peer);
    QFETCH(QString, needs);
    if (!peerInstalled(peer, needs, QStringLiteral("xlwt")))
        QSKIP("this peer is not installed");
    const QString path = peerWorkbook(peer);
    QVERIFY2(!path.isEmpty(), "the peer did not write its workbook");
    const QByteArray written = fileHash(path);

    const QJsonObject desc = contentBook();
    QString problem;
    const CellMap diarySheet = engineCells(path, Sheet1, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const QString difference = peers::firstDifference(bookCells(desc, Sheet1), diarySheet);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    const CellMap memo = engineCells(path, QStringLiteral("メモ"), &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(memo, bookCells(desc, QStringLiteral("メモ")));

    // The real window shows the pages: text, line breaks and colours.
    DiaryFixture diary(QDate(2002, 4, 1));
    QVERIFY(QFile::copy(path, diary.workbookPath()));
    QString message;
    QVERIFY2(diary.start(&message), qPrintable(message));
    Form1* form = diary.form();
    QCOMPARE(form->Text1->toPlainText(), QStringLiteral("遠足\n弁当 と  水筒"));
    QCOMPARE(form->Text4[0]->toPlainText(), QStringLiteral("漢字の書き取り\n\n二行あけて"));
    QCOMPARE(form->Text5->toPlainText(), longText(QStringLiteral("長い一日だった。")));
    QCOMPARE(form->Text1->foreColour(), ColourValue(255));
    QCOMPARE(form->Text3[0]->foreColour(), ColourValue(16711680));
    QCOMPARE(form->Text4[0]->foreColour(), ColourValue(16711680));
    diary.clickDate(QDate(2002, 4, 3));
    QCOMPARE(form->Text1->foreColour(), ColourValue(-2147483647 - 1));
    QCOMPARE(form->Text3[0]->foreColour(), ColourValue(2147483647));
    QCOMPARE(form->Text3[1]->foreColour(), ColourValue(0));
    QCOMPARE(form->Text3[2]->foreColour(), ColourValue(-1));
    QCOMPARE(form->Text3[6]->foreColour(), ColourValue(-2147483624));
    diary.clickDate(QDate(2002, 4, 2));
    QCOMPARE(form->Text5->toPlainText(), QString(20000, QLatin1Char('a')) + QString(12767, QChar(0x3044)));
    diary.clickDate(QDate(2002, 4, 4));
    QCOMPARE(form->Text1->toPlainText(), QStringLiteral("<&>\"' ①②③ ㈱ 髙﨑 ｶﾀｶﾅ"));
    QCOMPARE(form->Text4[1]->toPlainText(), QStringLiteral("  前後に空白  "));
    QVERIFY(diary.closeWindow());
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());
    // Reading and leaving unchanged pages does not rewrite another program's file.
    QCOMPARE(fileHash(diary.workbookPath()), written);
}

// The content written by the diary's own engine into a new diary.
QString TestInterop::diaryWorkbook()
{
    if (!m_diaryBook.isEmpty())
        return m_diaryBook;
    const QString path = m_dir.filePath(QStringLiteral("diary.xls"));
    workbook::Error error;
    if (!DiaryStore::createWorkbook(path, &error))
        qFatal("cannot create a diary: %s", qPrintable(error.detail));
    auto book = workbook::Workbook::open(path, &error);
    const QStringList header = DayRecord::allColumns();
    QList<workbook::FieldWrite> writes;
    for (const Field& f : content() + diaryOnlyContent()) {
        writes.append({f.record, int(header.indexOf(f.column)), jsonText(f.value),
                       DayRecord::colourColumns().contains(f.column)});
    }
    if (!book || !book->writeFields(Sheet1, writes, &error))
        qFatal("cannot write the diary: %s", qPrintable(error.detail));
    m_diaryBook = path;
    return path;
}

void TestInterop::diaryWrittenWorkbookReadsTheSameInPeers_data()
{
    addPeerRows(QStringLiteral("xlrd"));
}

void TestInterop::diaryWrittenWorkbookReadsTheSameInPeers()
{
    QFETCH(QString, peer);
    QFETCH(QString, needs);
    if (!peerInstalled(peer, needs, QStringLiteral("xlrd")))
        QSKIP("this peer is not installed");
    const QString path = diaryWorkbook();

    CellMap expected = bookCells(contentBook(), Sheet1);
    const QStringList header = DayRecord::allColumns();
    for (const Field& f : diaryOnlyContent())
        expected.insert({f.record + 1, int(header.indexOf(f.column))}, jsonText(f.value));

    QJsonObject sheet;
    if (peer == QLatin1String("xlrd")) {
        peers::Run r;
        const QJsonObject dumped = peers::dump(QStringLiteral("xlrd"), path, &r);
        QVERIFY2(r.ok, qPrintable(r.describe()));
        QCOMPARE(dumped.value(QStringLiteral("warnings")).toString(), QString());
        sheet = peers::sheetOf(dumped, Sheet1);
        // Colour numbers are number cells, texts are text cells.
        for (const QJsonValue& v : sheet.value(QStringLiteral("cells")).toArray()) {
            const QJsonArray c = v.toArray();
            const bool colour = DayRecord::colourColumns().contains(header.value(c.at(1).toInt())) && c.at(0).toInt() > 0;
            QVERIFY2(c.at(2).toString() == (colour ? QLatin1String("number") : QLatin1String("text")),
                     qPrintable(QStringLiteral("row %1 col %2 is a %3 cell").arg(c.at(0).toInt()).arg(c.at(1).toInt())
                                    .arg(c.at(2).toString())));
        }
    } else if (peer == QLatin1String("LibreOffice")) {
        const QString out = m_dir.filePath(QStringLiteral("lo-read"));
        const peers::Run r = peers::libreOfficeConvert({path}, QStringLiteral("fods"), out);
        QVERIFY2(r.ok, qPrintable(r.describe()));
        QVERIFY2(peers::complaints(r).isEmpty(), qPrintable(peers::complaints(r).join(u'\n')));
        sheet = peers::sheetOf(peers::dump(QStringLiteral("fodsdump"), out + QStringLiteral("/diary.fods")), Sheet1);
    } else {
        peers::Run r;
        sheet = peers::sheetOf(peers::gnumericCsv(path, &r), QStringLiteral("0.csv"));
        QVERIFY2(r.ok, qPrintable(r.describe()));
        // Gnumeric has no width table for the Japanese face the diary names: that notice is no complaint.
        QStringList said;
        for (const QByteArray& line : r.err.split('\n')) {
            if (!line.trimmed().isEmpty() && !line.contains("unknown widths for font"))
                said << QString::fromUtf8(line);
        }
        QVERIFY2(said.isEmpty(), qPrintable(said.join(u'\n')));
    }
    QVERIFY2(!sheet.isEmpty(), "the peer shows no sheet \"Sheet1\"");
    const QString difference = peers::firstDifference(expected, peers::cellsOf(sheet));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Before and after dumps of every peer agree everywhere but in the changed cells.
void TestInterop::comparePeerViews(const QString& before, const QString& after, const QMap<CellKey, QString>& changes)
{
    // xlrd: values of every sheet, bold fonts, column widths, merged areas, number formats.
    peers::Run r;
    const QJsonObject xBefore = peers::dump(QStringLiteral("xlrd"), before, &r);
    QVERIFY2(r.ok, qPrintable(r.describe()));
    const QJsonObject xAfter = peers::dump(QStringLiteral("xlrd"), after, &r);
    QVERIFY2(r.ok, qPrintable(r.describe()));
    QCOMPARE(xAfter.value(QStringLiteral("warnings")).toString(), QString());
    const QJsonArray sheetsBefore = xBefore.value(QStringLiteral("sheets")).toArray();
    const QJsonArray sheetsAfter = xAfter.value(QStringLiteral("sheets")).toArray();
    QCOMPARE(sheetsAfter.size(), sheetsBefore.size());
    for (int i = 0; i < sheetsBefore.size(); ++i) {
        const QJsonObject b = sheetsBefore[i].toObject();
        const QJsonObject a = sheetsAfter[i].toObject();
        const QString name = b.value(QStringLiteral("name")).toString();
        QCOMPARE(a.value(QStringLiteral("name")).toString(), name);
        CellMap expected = peers::cellsOf(b);
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (std::get<0>(it.key()) != name)
                continue;
            const QPair<int, int> at{std::get<1>(it.key()), std::get<2>(it.key())};
            if (it.value().isEmpty())
                expected.remove(at);
            else
                expected.insert(at, it.value());
        }
        const QString difference = peers::firstDifference(expected, peers::cellsOf(a));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("xlrd, sheet %1: %2").arg(name, difference)));
        for (const char* key : {"bold", "widths", "merged", "formats"}) {
            QVERIFY2(a.value(QLatin1String(key)) == b.value(QLatin1String(key)),
                     qPrintable(QStringLiteral("xlrd, sheet %1: %2 changed").arg(name, QLatin1String(key))));
        }
    }

    // LibreOffice: formulas and resolved cell styles too; it converts both in one run.
    if (!peers::soffice().isEmpty()) {
        const QString out = m_dir.filePath(QStringLiteral("lo-compare-") + QFileInfo(after).completeBaseName());
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QFile::copy(before, out + QStringLiteral("/before.xls"));
        QFile::copy(after, out + QStringLiteral("/after.xls"));
        const peers::Run lo = peers::libreOfficeConvert(
            {out + QStringLiteral("/before.xls"), out + QStringLiteral("/after.xls")}, QStringLiteral("fods"), out);
        QVERIFY2(lo.ok, qPrintable(lo.describe()));
        QVERIFY2(peers::complaints(lo).isEmpty(), qPrintable(peers::complaints(lo).join(u'\n')));
        const QJsonObject fBefore = peers::dump(QStringLiteral("fodsdump"), out + QStringLiteral("/before.fods"));
        const QJsonObject fAfter = peers::dump(QStringLiteral("fodsdump"), out + QStringLiteral("/after.fods"));
        const QJsonArray lb = fBefore.value(QStringLiteral("sheets")).toArray();
        const QJsonArray la = fAfter.value(QStringLiteral("sheets")).toArray();
        QVERIFY(!lb.isEmpty());
        QCOMPARE(la.size(), lb.size());
        for (int i = 0; i < lb.size(); ++i) {
            const QString name = lb[i].toObject().value(QStringLiteral("name")).toString();
            QMap<QPair<int, int>, QJsonArray> cb, ca;
            for (const QJsonValue& v : lb[i].toObject().value(QStringLiteral("cells")).toArray())
                cb.insert({v.toArray().at(0).toInt(), v.toArray().at(1).toInt()}, v.toArray());
            for (const QJsonValue& v : la[i].toObject().value(QStringLiteral("cells")).toArray())
                ca.insert({v.toArray().at(0).toInt(), v.toArray().at(1).toInt()}, v.toArray());
            for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
                if (std::get<0>(it.key()) == name) {
                    const QPair<int, int> at{std::get<1>(it.key()), std::get<2>(it.key())};
                    QCOMPARE(ca.value(at).at(3).toString(), it.value());
                    cb.remove(at);
                    ca.remove(at);
                }
            }
            for (auto it = cb.cbegin(); it != cb.cend(); ++it) {
                QVERIFY2(ca.value(it.key()) == it.value(),
                         qPrintable(QStringLiteral("LibreOffice, sheet %1, row %2 col %3: %4 became %5")
                                        .arg(name).arg(it.key().first).arg(it.key().second)
                                        .arg(QString::fromUtf8(QJsonDocument(it.value()).toJson(QJsonDocument::Compact)).left(300),
                                             QString::fromUtf8(QJsonDocument(ca.value(it.key())).toJson(QJsonDocument::Compact)).left(300))));
            }
            QCOMPARE(ca.size(), cb.size());
            QVERIFY2(la[i].toObject().value(QStringLiteral("columns")) == lb[i].toObject().value(QStringLiteral("columns")),
                     qPrintable(QStringLiteral("LibreOffice, sheet %1: column widths or styles changed").arg(name)));
        }
    }

    // Gnumeric: the values of every sheet.
    if (!peers::ssconvert().isEmpty()) {
        peers::Run gr;
        const QJsonObject gBefore = peers::gnumericCsv(before, &gr);
        QVERIFY2(gr.ok, qPrintable(gr.describe()));
        const QJsonObject gAfter = peers::gnumericCsv(after, &gr);
        QVERIFY2(gr.ok, qPrintable(gr.describe()));
        const QJsonArray gb = gBefore.value(QStringLiteral("sheets")).toArray();
        const QJsonArray ga = gAfter.value(QStringLiteral("sheets")).toArray();
        QCOMPARE(ga.size(), gb.size());
        for (int i = 0; i < gb.size(); ++i) {
            const QString name = sheetsBefore.at(i).toObject().value(QStringLiteral("name")).toString();
            CellMap expected = peers::cellsOf(gb[i].toObject());
            for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
                if (std::get<0>(it.key()) != name)
                    continue;
                const QPair<int, int> at{std::get<1>(it.key()), std::get<2>(it.key())};
                if (it.value().isEmpty())
                    expected.remove(at);
                else
                    expected.insert(at, it.value());
            }
            const QString difference = peers::firstDifference(expected, peers::cellsOf(ga[i].toObject()));
            QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("Gnumeric, sheet %1: %2").arg(name, difference)));
        }
    }
}

void TestInterop::workbookExtrasSurviveASave_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("LibreOffice: extra column, moved columns, bold, widths, formulas, second sheet")
        << QStringLiteral("data:diary_libreoffice.xls");
    QTest::newRow("Gnumeric: the same workbook") << QStringLiteral("data:diary_gnumeric.xls");
    QTest::newRow("xlwt: merged cells, widths, bold, formula sheet, extra columns") << QStringLiteral("xlwt");
}

void TestInterop::workbookExtrasSurviveASave()
{
    QFETCH(QString, source);
    if (!peers::havePython())
        QSKIP("python3-xlrd/xlwt are not installed");
    const QString before = m_dir.filePath(QStringLiteral("extras-before.xls"));
    const QString after = m_dir.filePath(QStringLiteral("extras-after.xls"));
    QFile::remove(before);
    QFile::remove(after);
    if (source.startsWith(QLatin1String("data:"))) {
        QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/") + source.mid(5), before));
    } else {
        // The diary's columns with two of the user's own among them.
        QStringList header = DayRecord::allColumns();
        header.insert(3, QStringLiteral("メモ欄"));
        header.append(QStringLiteral("合計"));
        QJsonArray cells = peers::diaryCells(365, header);
        for (int r = 1; r <= 365; r += 7)
            cells.append(peers::cell(r, 3, QStringLiteral("週のメモ %1").arg(r)));
        cells.append(peers::cell(1, int(header.size()) - 1, QJsonObject{{QStringLiteral("formula"), QStringLiteral("LEN(D2)")}}));
        QJsonObject s1 = peers::sheet(Sheet1, cells);
        s1.insert(QStringLiteral("bold"), QJsonArray{QJsonArray{0, 0}, QJsonArray{0, 1}, QJsonArray{0, 3}});
        s1.insert(QStringLiteral("widths"), QJsonObject{{QStringLiteral("0"), 9000}, {QStringLiteral("3"), 6000}});
        s1.insert(QStringLiteral("merged"), QJsonArray{QJsonArray{370, 371, 0, 3}});
        cells.append(peers::cell(370, 0, QStringLiteral("欄外の結合セル")));
        s1.insert(QStringLiteral("cells"), cells);
        QJsonObject s2 = peers::sheet(QStringLiteral("集計"), QJsonArray{peers::cell(0, 0, 3), peers::cell(1, 0, 4.5),
                                                                      peers::cell(2, 0, QJsonObject{{QStringLiteral("formula"), QStringLiteral("A1*A2")}})});
        const peers::Run r = peers::writeBook(QStringLiteral("xlwt"), peers::book({s1, s2}), before);
        QVERIFY2(r.ok, qPrintable(r.describe()));
    }
    QVERIFY(QFile::copy(before, after));

    // Save a few pages the way the diary does: texts, a long text, a colour,
    // a field emptied, on the first, a middle and the last day.
    workbook::Error error;
    auto book = workbook::Workbook::open(after, &error);
    QVERIFY2(book, qPrintable(error.detail));
    workbook::RecordTable table;
    QVERIFY(book->readTable(Sheet1, &table, &error));
    QVERIFY(DiaryStore::problemWith(table).isEmpty());
    const auto col = [&](const QString& name) { return table.columnIndex(name); };
    const QList<workbook::FieldWrite> writes{
        {0, col(QStringLiteral("予定")), QStringLiteral("書き換えた予定\n二行目"), false},
        {0, col(QStringLiteral("感想")), QString(), false},
        {199, col(QStringLiteral("内容4")), longText(QStringLiteral("とても長い記録。"), 5000), false},
        {199, col(QStringLiteral("時間色4")), QStringLiteral("65280"), true},
        {364, col(QStringLiteral("天気")), QStringLiteral("/opt/merrow/ゆき.ico"), false},
    };
    QVERIFY2(book->writeFields(Sheet1, writes, &error), qPrintable(error.detail));
    QMap<CellKey, QString> changes;
    for (const workbook::FieldWrite& w : writes)
        changes.insert({Sheet1, w.record + 1, w.column}, w.text);
    comparePeerViews(before, after, changes);
}

void TestInterop::typedPageReachesEveryPeer()
{
    if (!peers::havePython())
        QSKIP("python3-xlrd/xlwt are not installed");
    DiaryFixture diary(QDate(2002, 5, 10));
    diary.folder().copyData(QStringLiteral("diary_libreoffice.xls"), DiaryStore::fileName());
    const QString before = m_dir.filePath(QStringLiteral("gui-before.xls"));
    QFile::remove(before);
    QVERIFY(QFile::copy(diary.workbookPath(), before));
    QVERIFY(diary.start());
    Form1* form = diary.form();

    DiaryFixture::type(form->Text1, QStringLiteral("運動会"));
    QTest::keyClick(form->Text1, Qt::Key_Return);
    DiaryFixture::type(form->Text1, QStringLiteral("雨で延期"));
    DiaryFixture::type(form->Text4[1], QStringLiteral("リレーの練習"));
    // The day already holds impressions: the long text replaces them.
    const QString impressions = longText(QStringLiteral("くやしいけれど、また来週。"));
    form->Text5->setFocus();
    QTest::keyClick(form->Text5, Qt::Key_A, Qt::ControlModifier);
    DiaryFixture::type(form->Text5, impressions);
    ColourChooser::setNextAnswerForTesting(ColourValue::fromRgb(0, 0, 255));
    QTest::mouseClick(form->Label1, Qt::LeftButton);
    diary.clickDate(QDate(2002, 5, 11));
    QVERIFY2(MessageBox::shownTextsForTesting().isEmpty(), qPrintable(MessageBox::shownTextsForTesting().join(u'\n')));
    QVERIFY(diary.closeWindow());

    workbook::Error error;
    auto book = workbook::Workbook::open(before, &error);
    workbook::RecordTable table;
    QVERIFY(book && book->readTable(Sheet1, &table, &error));
    // 2002-05-10 is record 40, sheet row 40.
    const QMap<CellKey, QString> changes{
        {{Sheet1, 40, table.columnIndex(QStringLiteral("予定"))}, QStringLiteral("運動会\n雨で延期")},
        {{Sheet1, 40, table.columnIndex(QStringLiteral("内容2"))}, QStringLiteral("リレーの練習")},
        {{Sheet1, 40, table.columnIndex(QStringLiteral("感想"))}, impressions},
        {{Sheet1, 40, table.columnIndex(QStringLiteral("予定色"))}, QString::number(0xFF0000)},
    };
    comparePeerViews(before, diary.workbookPath(), changes);
}

QTEST_MAIN(TestInterop)
#include "test_interop.moc"
