// The diary and real spreadsheet programs reading each other's workbooks:
// Python's xlrd/xlwt, LibreOffice Calc and Gnumeric. What a peer reads is the
// oracle: the engine reads a peer's file, or a new diary, as xlrd does, and
// after the user types and the diary saves, every peer sees the file as
// before but for the typed fields, which it reads as typed.
#include "support/DiaryFixture.h"
#include "support/FileBytes.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/EntryBox.h"
#include "platform/MessageBox.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
#include "store/DiaryStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The peers run as a user runs them, through peers.py: xlrd and xlwt need
// Debian's python3 with its packages, LibreOffice soffice, Gnumeric ssconvert.
bool installed(const QString& peer)
{
    static const bool python = QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import xlrd, xlwt"_s}) == 0;
    const QString program = peer == u"libreoffice"_s ? u"soffice"_s
                            : peer == u"gnumeric"_s  ? u"ssconvert"_s
                                                     : QString();
    return python && (program.isEmpty() || !QStandardPaths::findExecutable(program).isEmpty());
}

// Runs peers.py; its output, or the problem it reported.
QByteArray script(const QStringList& args, QString* problem)
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s, QStringList{QStringLiteral(SOURCE_DIR "/tests/system/interop/peers.py")} + args);
    if (!p.waitForFinished(900000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        *problem = u"peers.py %1: %2"_s.arg(args.first(), QString::fromUtf8(p.readAllStandardError().right(2000)));
    return p.readAllStandardOutput();
}

// What the peer reads in each file (see peers.py); workDir takes its scratch files.
QJsonArray dump(const QString& peer, const QStringList& files, const QString& workDir, QString* problem)
{
    return QJsonDocument::fromJson(script(QStringList{u"dump"_s, peer, workDir} + files, problem)).array();
}

// A cell the diary wrote as the peer dumps it.
QJsonArray cell(const QString& peer, const QString& text, bool number)
{
    const QString kind = peer == u"xlrd"_s          ? (number ? u"number"_s : u"text"_s)
                         : peer == u"libreoffice"_s ? (number ? u"float"_s : u"string"_s)
                                                    : QString();
    return {text, kind};
}

// The first key where two dumps differ; empty when they are the same.
QString difference(const QJsonObject& expected, const QJsonObject& actual)
{
    for (const QString& key : expected.keys() + actual.keys()) {
        if (expected.value(key) != actual.value(key)) {
            const auto text = [](const QJsonValue& v) {
                return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)).left(200);
            };
            return u"%1: expected %2, got %3"_s.arg(key, text(expected.value(key)), text(actual.value(key)));
        }
    }
    return QString();
}

const QStringList Peers{u"xlrd"_s, u"libreoffice"_s, u"gnumeric"_s};

QString key(int record, int column) { return u"Sheet1/%1,%2"_s.arg(record + 1).arg(column); }

// Fields as the diary writes them: colours as numbers.
workbook::FieldWrite field(int record, const QString& column, const QString& text,
                           const QStringList& header = DayRecord::allColumns())
{
    return {record, int(header.indexOf(column)), text, DayRecord::colourColumns().contains(column)};
}

// A dump with the fields written by the diary in place of what was there.
QJsonObject withFields(QJsonObject dumped, const QString& peer, const QList<workbook::FieldWrite>& writes)
{
    for (const workbook::FieldWrite& w : writes) {
        dumped.remove(key(w.record, w.column));
        if (!w.text.isEmpty())
            dumped.insert(key(w.record, w.column), cell(peer, w.text, w.numeric));
    }
    return dumped;
}

} // namespace

class TestInterop : public QObject {
    Q_OBJECT
private slots:
    void peerWorkbookReadsAsInXlrdAndKeepsAllButTheTyped_data();
    void peerWorkbookReadsAsInXlrdAndKeepsAllButTheTyped();

private:
    QString xlwtBook();
    QTemporaryDir m_dir;
};

// xlwt's own layout, written now (see peers.py); empty when it could not be.
QString TestInterop::xlwtBook()
{
    const QString path = m_dir.filePath(u"xlwt.xls"_s);
    QString problem;
    if (!QFileInfo::exists(path))
        script({u"xlwt"_s, path}, &problem);
    return problem.isEmpty() ? path : QString();
}

void TestInterop::peerWorkbookReadsAsInXlrdAndKeepsAllButTheTyped_data()
{
    QTest::addColumn<QString>("file");
    for (const char* name :
         {"diary_libreoffice.xls", "diary_gnumeric.xls", "diary_gnumeric_dual.xls", "diary_xlwt.xls"})
        QTest::newRow(name) << QStringLiteral(TEST_DATA_DIR "/") + QLatin1String(name);
    QTest::newRow("xlwt, written now: merged cells, widths, bold, formulas") << u"xlwt"_s;
    QTest::newRow("a new diary") << u"new"_s;
}

// The engine reads every sheet of a peer's workbook (or a new diary) as xlrd
// does. Then the user looks at days, which saves nothing, and types on three: values,
// formulas, bold, widths, number formats and merged areas of every sheet, as
// xlrd, LibreOffice and Gnumeric read them, change in the typed fields alone.
void TestInterop::peerWorkbookReadsAsInXlrdAndKeepsAllButTheTyped()
{
    QFETCH(QString, file);
    if (!installed(u"xlrd"_s))
        QSKIP("python3-xlrd or python3-xlwt is not installed");
    workbook::Error error;
    if (file == "xlwt"_L1)
        QVERIFY(!(file = xlwtBook()).isEmpty());
    if (file == "new"_L1)
        QVERIFY(DiaryStore::createWorkbook(file = m_dir.filePath(u"new.xls"_s), &error));
    QString problem;
    QJsonObject xlrd = dump(u"xlrd"_s, {file}, m_dir.path(), &problem).at(0).toObject();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const auto book = workbook::Workbook::open(file, &error);
    QVERIFY2(book, qPrintable(error.detail));
    QJsonObject engine;
    for (const QString& sheet : book->sheetNames()) {
        workbook::RecordTable t;
        QVERIFY2(book->readTable(sheet, &t, &error), qPrintable(error.detail));
        for (int r = -1; r < t.recordCount(); ++r) {
            for (int c = 0; c < (r < 0 ? t.columnNames : t.records[r]).size(); ++c) {
                if (!t.field(r, c).isEmpty())
                    engine.insert(u"%1/%2,%3"_s.arg(sheet).arg(r + 1).arg(c), t.field(r, c));
            }
        }
    }
    for (const QString& k : xlrd.keys()) {
        if (k.contains(u','))
            xlrd.insert(k, xlrd.value(k).toArray().at(0));
        else
            xlrd.remove(k);
    }
    const QString misread = difference(xlrd, engine);
    QVERIFY2(misread.isEmpty(), qPrintable(misread));

    DiaryFixture diary(QDate(2002, 4, 1));
    QVERIFY(writeAll(diary.workbookPath(), readAll(file)));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    diary.clickDate(QDate(2002, 4, 3));
    diary.clickDate(QDate(2002, 4, 1));
    QCOMPARE(readAll(diary.workbookPath()), readAll(file));
    const auto replace = [](EntryBox* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        DiaryFixture::type(box, text);
    };
    // What a file format can get wrong: line breaks, runs of spaces, a text at
    // the cell limit and Latin turning Japanese deep inside one (both split
    // across records), markup characters, tabs and emoji.
    const QString atLimit = u"長い一日だった。"_s.repeated(4096).left(workbook::MaxCellChars);
    const QString mixed = QString(20000, u'a') + QString(12767, QChar(0x3044));
    replace(controlsOf(form).Text1, u"運動会"_s);
    QTest::keyClick(controlsOf(form).Text1, Qt::Key_Return);
    DiaryFixture::type(controlsOf(form).Text1, u"雨で延期 と  水筒"_s);
    replace(controlsOf(form).Text5, QString());
    ColourChooser::setNextAnswerForTesting(ColourValue::fromRgb(0, 0, 255));
    QTest::mouseClick(controlsOf(form).Label1, Qt::LeftButton);
    diary.clickDate(QDate(2002, 10, 17));
    replace(controlsOf(form).Text4[3], atLimit);
    replace(controlsOf(form).Text5, mixed);
    replace(controlsOf(form).Text3[1], u"  前後に空白  "_s);
    replace(controlsOf(form).Text4[1], u"<&>\"' ①②③ ㈱ 髙﨑 ｶﾀｶﾅ"_s);
    replace(controlsOf(form).Text1, u"タブ\tと絵文字😀"_s);
    diary.clickDate(QDate(2003, 3, 31));
    replace(controlsOf(form).Text2, u"欠\n"_s);
    QVERIFY(diary.closeWindow());
    QVERIFY2(MessageBox::shownTextsForTesting().isEmpty(), qPrintable(MessageBox::shownTextsForTesting().join(u'\n')));

    workbook::RecordTable table;
    QVERIFY(book->readTable(u"Sheet1"_s, &table, &error));
    const QStringList& header = table.columnNames;
    const QList<workbook::FieldWrite> typed{field(0, u"予定"_s, u"運動会\n雨で延期 と  水筒"_s, header),
                                            field(0, u"感想"_s, QString(), header),
                                            field(0, u"予定色"_s, u"16711680"_s, header),
                                            field(199, u"内容4"_s, atLimit, header),
                                            field(199, u"感想"_s, mixed, header),
                                            field(199, u"時間2"_s, u"  前後に空白  "_s, header),
                                            field(199, u"内容2"_s, u"<&>\"' ①②③ ㈱ 髙﨑 ｶﾀｶﾅ"_s, header),
                                            field(199, u"予定"_s, u"タブ\tと絵文字😀"_s, header),
                                            field(364, u"出欠"_s, u"欠\n"_s, header)};
    for (const QString& peer : Peers) {
        const QJsonArray dumps =
            installed(peer) ? dump(peer, {file, diary.workbookPath()}, m_dir.path(), &problem) : QJsonArray();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const QString diff = difference(withFields(dumps.at(0).toObject(), peer, typed), dumps.at(1).toObject());
        QVERIFY2(diff.isEmpty(), qPrintable(peer + u": "_s + diff));
    }
}

QTEST_MAIN(TestInterop)
#include "test_interop.moc"
