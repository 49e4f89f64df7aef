// Faults around the two files the diary writes: a save killed at any moment,
// a full disk, a read-only folder, a workbook or settings file replaced,
// changed or gone while the diary is open.
#include "system/interop/Peers.h"
#include "support/FileBytes.h"
#include "support/DiaryFixture.h"

#include "appearance/SettingsFile.h"
#include "main_window/Form1.h"
#include "platform/AppInfo.h"
#include "platform/EntryBox.h"
#include "platform/MessageBox.h"
#include "platform/SafeFile.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

const QString Sheet1 = QStringLiteral("Sheet1");
constexpr int KillStates = 4;
const QList<int> KillRecords{0, 1, 2, 100, 364};

// The fields one save of the kill test writes: every state differs in every
// field and in the file's size.
QList<workbook::FieldWrite> stateWrites(int state)
{
    const QStringList header = DayRecord::allColumns();
    QList<workbook::FieldWrite> writes;
    for (int r : KillRecords) {
        writes.append({r, int(header.indexOf(QStringLiteral("予定"))), QStringLiteral("状態%1の予定 %2").arg(state).arg(r), false});
        writes.append({r, int(header.indexOf(QStringLiteral("感想"))), QString(4000 + 3000 * state, QChar(0x3042 + state)), false});
        writes.append({r, int(header.indexOf(QStringLiteral("予定色"))), QString::number(state * 1000 + r), true});
    }
    return writes;
}

QByteArray schemeBytes(int state)
{
    ColourScheme scheme;
    for (int i = 0; i < 6; ++i)
        scheme.colours[size_t(i)] = ColourValue(state * 100000 + i);
    return SettingsFile::format(scheme);
}

// The child side of the kill tests: saves state after state until killed.
int childMain(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    if (mode == QLatin1String("workbook")) {
        workbook::Error error;
        auto book = workbook::Workbook::open(path, &error);
        if (!book)
            return 3;
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        for (int i = 0;; ++i) {
            if (!book->writeFields(Sheet1, stateWrites(1 + i % (KillStates - 1)), &error))
                return 4;
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
    if (mode == QLatin1String("settings")) {
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
        for (int i = 0;; ++i) {
            QString reason;
            if (!SafeFile::write(path, schemeBytes(1 + i % (KillStates - 1)), &reason))
                return 4;
        }
    }
    return 2;
}


// The whole diary sheet as (row, column) -> text.
peers::CellMap tableCells(const workbook::RecordTable& table)
{
    peers::CellMap map;
    for (int r = 0; r < table.recordCount(); ++r) {
        for (int c = 0; c < table.records[r].size(); ++c) {
            if (!table.records[r][c].isEmpty())
                map.insert({r, c}, table.records[r][c]);
        }
    }
    return map;
}

bool readDiary(const QString& path, workbook::RecordTable* table, QString* why)
{
    workbook::Error error;
    auto book = workbook::Workbook::open(path, &error);
    if (!book || !book->readTable(Sheet1, table, &error)) {
        *why = QStringLiteral("does not open: %1").arg(error.detail);
        return false;
    }
    const QString problem = DiaryStore::problemWith(*table);
    if (!problem.isEmpty()) {
        *why = problem;
        return false;
    }
    return true;
}

bool runCommand(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A small tmpfs: a disk that can really fill up or turn read-only, even for root.
// Only where mounting is allowed; ok() tells.
class ScratchDisk {
public:
    explicit ScratchDisk(const QString& size)
    {
        m_mount = m_dir.filePath(QStringLiteral("mnt"));
        QDir().mkpath(m_mount);
        m_ok = runCommand(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                    QStringLiteral("size=") + size, QStringLiteral("pravok-test"), m_mount});
    }
    ~ScratchDisk()
    {
        if (m_ok)
            runCommand(QStringLiteral("umount"), {QStringLiteral("-l"), m_mount});
    }
    bool ok() const { return m_ok; }
    QString path() const { return m_mount; }
    bool setReadOnly(bool readOnly)
    {
        return runCommand(QStringLiteral("mount"), {QStringLiteral("-o"),
                                                    readOnly ? QStringLiteral("remount,ro") : QStringLiteral("remount,rw"), m_mount});
    }
    // Fills the disk to the last byte with one file.
    bool fill()
    {
        QFile filler(m_mount + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) { }
        for (int i = 0; i < 64; ++i) {
            if (filler.write("x", 1) != 1 || !filler.flush())
                break;
        }
        return true;
    }
    void unfill() { QFile::remove(m_mount + QStringLiteral("/filler")); }

private:
    QTemporaryDir m_dir;
    QString m_mount;
    bool m_ok = false;
};

// A file size limit on this process: writes past it fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = m_old;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { lift(); }
    void lift() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

QStringList leftovers(const QString& folder, const QStringList& known)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& k : known)
        names.removeAll(k);
    return names;
}

QString installProgram(const QString& folder)
{
    const QString program = folder + QStringLiteral("/pravok");
    QFile::copy(QStringLiteral(PROGRAM_DIR "/pravok"), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return program;
}

void startProgram(QProcess* process, const QString& program)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(QDir::rootPath());
    process->start(program, {});
}

const QByteArray GarbageSettings("this is not a colour scheme\r\n", 29);
const QByteArray SchemeA("255\r\n0\r\n65280\r\n16711680\r\n0\r\n16777215\r\n");

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void killedWorkbookSaveLeavesOldOrNew();
    void killedFirstStartLeavesNoHalfDiary();
    void killedCloseLeavesOldOrNewFiles();
    void saveFaultKeepsTypedText_data();
    void saveFaultKeepsTypedText();
    void settingsFaultAtClose_data();
    void settingsFaultAtClose();
    void firstStartWhereNothingCanBeWritten_data();
    void firstStartWhereNothingCanBeWritten();
};

void TestFaults::killedWorkbookSaveLeavesOldOrNew()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(DiaryStore::fileName());
    workbook::Error error;
    QVERIFY(DiaryStore::createWorkbook(path, &error));
    workbook::RecordTable fresh;
    QString why;
    QVERIFY(readDiary(path, &fresh, &why));
    {
        auto book = workbook::Workbook::open(path, &error);
        QVERIFY(book && book->writeFields(Sheet1, stateWrites(0), &error));
    }
    QList<peers::CellMap> states;
    for (int k = 0; k < KillStates; ++k) {
        peers::CellMap map = tableCells(fresh);
        for (const workbook::FieldWrite& w : stateWrites(k))
            map.insert({w.record, w.column}, w.text);
        states.append(map);
    }

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("random seed %u", seed);
    QRandomGenerator random(seed);
    QSet<int> seen;
    int afterASave = 0;
    QStringList known{DiaryStore::fileName()};
    for (int round = 0; round < 60; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QStringLiteral("workbook"), path});
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        QTest::qWait(int(random.bounded(120)));
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        if (child.readAllStandardOutput().contains("saved"))
            ++afterASave;

        workbook::RecordTable table;
        QVERIFY2(readDiary(path, &table, &why), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(why)));
        const int state = int(states.indexOf(tableCells(table)));
        QVERIFY2(state >= 0, qPrintable(QStringLiteral("round %1: the workbook holds none of the saved states").arg(round)));
        seen.insert(state);
        known += leftovers(dir.path(), known);
    }
    qInfo("states seen: %d, rounds killed after a finished save: %d, files left behind: %s",
          int(seen.size()), afterASave, qPrintable(known.mid(1).join(u' ')));
    // The kills must have landed at different moments of the save cycle.
    QVERIFY(seen.size() >= 2);
    QVERIFY(afterASave >= 1);
}


void TestFaults::killedFirstStartLeavesNoHalfDiary()
{
    TestFolder folder;
    const QString program = installProgram(folder.path());
    const QString path = folder.file(DiaryStore::fileName());
    QRandomGenerator random(QRandomGenerator::global()->generate());
    int absent = 0;
    int whole = 0;
    for (int round = 0; round < 16; ++round) {
        QFile::remove(path);
        QProcess process;
        startProgram(&process, program);
        QVERIFY(process.waitForStarted());
        QTest::qWait(int(random.bounded(400)));
        process.kill();
        QVERIFY(process.waitForFinished(10000));
        if (!QFileInfo::exists(path)) {
            ++absent;
            continue;
        }
        workbook::RecordTable table;
        QString why;
        QVERIFY2(readDiary(path, &table, &why), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(why)));
        QCOMPARE(table.recordCount(), DayRecord::DaysInYear);
        ++whole;
    }
    qInfo("no diary yet: %d rounds, whole diary: %d rounds", absent, whole);

    // Whatever a killed start left behind, the next start makes a diary and ends orderly.
    QFile::remove(path);
    QProcess process;
    startProgram(&process, program);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), 15000);
    QTest::qWait(300);
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitCode(), 0);
    workbook::RecordTable table;
    QString why;
    QVERIFY2(readDiary(path, &table, &why), qPrintable(why));
}

// The orderly close writes inf.txt (the old one is garbage) and the page (its
// colour field holds the number with spaces around it, which the close writes
// back as a plain number): killed at any moment of it, each file is the old
// or the new one.
void TestFaults::killedCloseLeavesOldOrNewFiles()
{
    TestFolder folder;
    const QString program = installProgram(folder.path());
    const QString path = folder.file(DiaryStore::fileName());
    const QString settings = folder.file(QStringLiteral("inf.txt"));
    workbook::Error error;
    QVERIFY(DiaryStore::createWorkbook(path, &error));
    {
        auto book = workbook::Workbook::open(path, &error);
        QList<workbook::FieldWrite> writes;
        const int column = int(DayRecord::allColumns().indexOf(DayRecord::planColour()));
        for (int r = 0; r < DayRecord::DaysInYear; ++r)
            writes.append({r, column, QStringLiteral(" 255 "), false});
        QVERIFY(book && book->writeFields(Sheet1, writes, &error));
    }
    const QByteArray oldDiary = readAll(path);
    const int planColour = int(DayRecord::allColumns().indexOf(DayRecord::planColour()));

    QRandomGenerator random(QRandomGenerator::global()->generate());
    int settingsNew = 0;
    int diaryNew = 0;
    for (int round = 0; round < 14; ++round) {
        QVERIFY(writeAll(path, oldDiary));
        QVERIFY(writeAll(settings, GarbageSettings));
        QProcess process;
        startProgram(&process, program);
        QVERIFY(process.waitForStarted());
        QTest::qWait(700);
        ::kill(pid_t(process.processId()), SIGTERM);
        // The last round lets the close finish.
        if (round < 13)
            QTest::qWait(int(random.bounded(60)));
        else
            process.waitForFinished(15000);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            QVERIFY(process.waitForFinished(10000));
        }

        const QByteArray inf = readAll(settings);
        if (inf != GarbageSettings) {
            QVERIFY2(SettingsFile::parse(inf).has_value() && inf.count("\r\n") == 6,
                     qPrintable(QStringLiteral("round %1: inf.txt holds \"%2\"").arg(round).arg(QString::fromLatin1(inf))));
            ++settingsNew;
        }
        if (readAll(path) != oldDiary) {
            workbook::RecordTable table;
            QString why;
            QVERIFY2(readDiary(path, &table, &why), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(why)));
            int rewritten = 0;
            for (int r = 0; r < table.recordCount(); ++r) {
                if (table.field(r, planColour) != QLatin1String(" 255 ")) {
                    ++rewritten;
                    QCOMPARE(table.field(r, planColour), QStringLiteral("255"));
                }
            }
            QCOMPARE(rewritten, 1);
            ++diaryNew;
        }
    }
    qInfo("new inf.txt after %d of 14 rounds, new diary after %d", settingsNew, diaryNew);
    QVERIFY(settingsNew >= 1);
}

void TestFaults::saveFaultKeepsTypedText_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("message");   // parts of the expected message
    const QString failed = QStringLiteral("保存できませんでした");
    const QString kept = QStringLiteral("入力した内容は消えていません");
    QTest::newRow("full disk") << QStringLiteral("full disk") << QStringList{failed, kept};
    QTest::newRow("file size limit") << QStringLiteral("file size limit") << QStringList{failed, kept};
    QTest::newRow("read-only folder") << QStringLiteral("read-only folder") << QStringList{failed, kept};
    QTest::newRow("replaced by a web page") << QStringLiteral("web page") << QStringList{failed, kept};
    // Nothing is lost in these, but the user is told what the diary found.
    const QStringList recreated{QStringLiteral("見つかりませんでした"), QStringLiteral("作り直して")};
    const QStringList merged{QStringLiteral("ほかのプログラムによって変更"), QStringLiteral("そのまま残して")};
    QTest::newRow("vanished") << QStringLiteral("vanished") << recreated;
    QTest::newRow("changed by another program (xlwt)") << QStringLiteral("changed") << merged;
    QTest::newRow("saved again by LibreOffice") << QStringLiteral("LibreOffice") << merged;
}

void TestFaults::saveFaultKeepsTypedText()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, message);
    if ((fault == QLatin1String("no Sheet1") || fault == QLatin1String("changed")) && !peers::havePython())
        QSKIP("python3-xlwt is not installed");
    if (fault == QLatin1String("LibreOffice") && peers::soffice().isEmpty())
        QSKIP("LibreOffice is not installed");

    std::unique_ptr<ScratchDisk> disk;
    if (fault == QLatin1String("full disk") || fault == QLatin1String("read-only folder")) {
        disk = std::make_unique<ScratchDisk>(QStringLiteral("1m"));
        if (!disk->ok())
            qWarning("cannot mount a tmpfs here: the fault is simulated differently");
    }
    DiaryFixture diary(QDate(2002, 5, 10));
    if (disk && disk->ok())
        AppInfo::setProgramFolderForTesting(disk->path());
    const QString path = diary.workbookPath();
    const QString folder = QFileInfo(path).absolutePath();
    workbook::Error error;
    QVERIFY(DiaryStore::createWorkbook(path, &error));
    const int plan = int(DayRecord::allColumns().indexOf(DayRecord::plan()));
    {
        auto book = workbook::Workbook::open(path, &error);
        QVERIFY(book && book->writeFields(Sheet1, {{40, plan, QStringLiteral("前からの記録"), false}}, &error));
    }
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const QString typed = QStringLiteral("消えてはいけない予定\n二行目");
    DiaryFixture::type(form->Text1, typed);
    DiaryFixture::type(form->Text5, QStringLiteral("感想も"));

    const QByteArray original = readAll(path);
    const QString aside = diary.folder().file(QStringLiteral("aside.xls"));
    std::unique_ptr<FileSizeLimit> limit;
    QString movedFolder;
    if (fault == QLatin1String("full disk")) {
        if (disk->ok())
            QVERIFY(disk->fill());
        else
            limit = std::make_unique<FileSizeLimit>(4096);
    } else if (fault == QLatin1String("file size limit")) {
        limit = std::make_unique<FileSizeLimit>(4096);
    } else if (fault == QLatin1String("read-only folder")) {
        if (disk->ok()) {
            QVERIFY(disk->setReadOnly(true));
        } else {
            movedFolder = folder + QStringLiteral(".away");
            QVERIFY(QDir().rename(folder, movedFolder));
        }
    } else if (fault == QLatin1String("folder")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    } else if (fault == QLatin1String("web page")) {
        QVERIFY(writeAll(path, "<html><body><table><tr><td>予定</td></tr></table></body></html>\n"));
    } else if (fault == QLatin1String("no Sheet1")) {
        const peers::Run r = peers::writeBook(QStringLiteral("xlwt"),
            peers::book({peers::sheet(QStringLiteral("日記"), peers::diaryCells())}), aside);
        QVERIFY2(r.ok, qPrintable(r.describe()));
        QVERIFY(QFile::remove(path) && QFile::copy(aside, path));
    } else if (fault == QLatin1String("vanished")) {
        QVERIFY(QFile::remove(path));
    } else if (fault == QLatin1String("changed")) {
        QJsonArray cells = peers::diaryCells();
        cells.append(peers::cell(41, plan, QStringLiteral("前からの記録")));
        cells.append(peers::cell(101, plan, QStringLiteral("他のプログラムの記入")));
        const peers::Run r = peers::writeBook(QStringLiteral("xlwt"),
            peers::book({peers::sheet(Sheet1, cells), peers::sheet(QStringLiteral("追加"), QJsonArray{QJsonValue(peers::cell(0, 0, QStringLiteral("表")))})}), aside);
        QVERIFY2(r.ok, qPrintable(r.describe()));
        QVERIFY(QFile::remove(path) && QFile::copy(aside, path));
    } else if (fault == QLatin1String("LibreOffice")) {
        const QString out = diary.folder().file(QStringLiteral("lo"));
        const peers::Run r = peers::libreOfficeConvert({path}, QStringLiteral("xls:MS Excel 97"), out);
        QVERIFY2(QFileInfo::exists(out + QStringLiteral("/nikki.xls")), qPrintable(r.describe()));
        QVERIFY(QFile::remove(path) && QFile::copy(out + QStringLiteral("/nikki.xls"), path));
    }

    diary.clickDate(QDate(2002, 5, 12));
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), 1);
    for (const QString& part : message)
        QVERIFY2(shown.first().contains(part), qPrintable(shown.first()));
    QVERIFY2(shown.first().contains(path), qPrintable(shown.first()));
    const bool saved = message.first() != QStringLiteral("保存できませんでした");
    if (saved) {
        QVERIFY(!form->diary().hasPendingEdits());
    } else {
        QVERIFY(form->diary().hasPendingEdits());
        // The page still holds the text, and the file on disk is the one the fault left.
        diary.clickDate(QDate(2002, 5, 10));
        QCOMPARE(form->Text1->toPlainText(), typed);

        // The fault goes away: the next day change saves.
        if (limit)
            limit.reset();
        if (disk && disk->ok()) {
            disk->unfill();
            disk->setReadOnly(false);
        }
        if (!movedFolder.isEmpty())
            QVERIFY(QDir().rename(movedFolder, folder));
        if (fault == QLatin1String("folder"))
            QVERIFY(QDir().rmdir(path));
        if (fault == QLatin1String("web page") || fault == QLatin1String("no Sheet1") || fault == QLatin1String("folder")) {
            QFile::remove(path);
            QVERIFY(writeAll(path, original));
        }
        MessageBox::resetForTesting();
        diary.clickDate(QDate(2002, 5, 13));
        QVERIFY2(MessageBox::shownTextsForTesting().isEmpty(), qPrintable(MessageBox::shownTextsForTesting().join(u'\n')));
        QVERIFY(!form->diary().hasPendingEdits());
    }
    QCOMPARE(diary.fileField(40, DayRecord::plan()), typed);
    QCOMPARE(diary.fileField(40, DayRecord::impressions()), QStringLiteral("感想も"));
    QCOMPARE(diary.fileField(41, DayRecord::plan()), QStringLiteral("前からの記録"));
    if (fault == QLatin1String("changed")) {
        QCOMPARE(diary.fileField(101, DayRecord::plan()), QStringLiteral("他のプログラムの記入"));
        auto book = workbook::Workbook::open(path, &error);
        QVERIFY(book && book->sheetNames().contains(QStringLiteral("追加")));
    }
    workbook::RecordTable table;
    QString why;
    QVERIFY2(readDiary(path, &table, &why), qPrintable(why));
    QCOMPARE(table.recordCount(), DayRecord::DaysInYear);
    QVERIFY(diary.closeWindow());
}

void TestFaults::settingsFaultAtClose_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("typeText");
    QTest::newRow("a folder where inf.txt should be") << QStringLiteral("folder") << true;
    QTest::newRow("full disk, text typed") << QStringLiteral("full disk") << true;
    QTest::newRow("read-only folder, text typed") << QStringLiteral("read-only folder") << true;
    QTest::newRow("inf.txt vanished") << QStringLiteral("vanished") << true;
}

void TestFaults::settingsFaultAtClose()
{
    QFETCH(QString, fault);
    QFETCH(bool, typeText);
    std::unique_ptr<ScratchDisk> disk;
    if (fault == QLatin1String("full disk") || fault == QLatin1String("read-only folder")) {
        disk = std::make_unique<ScratchDisk>(QStringLiteral("1m"));
        if (!disk->ok())
            QSKIP("cannot mount a tmpfs here");
    }
    DiaryFixture diary(QDate(2002, 5, 10));
    if (disk)
        AppInfo::setProgramFolderForTesting(disk->path());
    const QString settings = SettingsFile::path();
    QVERIFY(writeAll(settings, SchemeA));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const QString typed = QStringLiteral("閉じる前に書いた");
    if (typeText)
        DiaryFixture::type(form->Text5, typed);
    const QByteArray diaryBefore = readAll(diary.workbookPath());

    bool settingsFail = true;
    bool diaryFails = false;
    if (fault == QLatin1String("folder")) {
        QVERIFY(QFile::remove(settings));
        QVERIFY(QDir().mkdir(settings));
    } else if (fault == QLatin1String("full disk")) {
        QVERIFY(disk->fill());
        diaryFails = typeText;
    } else if (fault == QLatin1String("read-only folder")) {
        QVERIFY(disk->setReadOnly(true));
        diaryFails = true;
    } else if (fault == QLatin1String("vanished")) {
        QVERIFY(QFile::remove(settings));
        settingsFail = false;
    } else if (fault == QLatin1String("changed")) {
        QVERIFY(writeAll(settings, "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"));
        settingsFail = false;
    }

    MessageBox::resetForTesting();
    if (diaryFails) {
        // The settings message, then "don't close" to the diary's question.
        MessageBox::setNextAnswerForTesting(QMessageBox::Ok);
        MessageBox::setNextAnswerForTesting(1);
        QVERIFY(!diary.closeWindow());
        const QStringList shown = MessageBox::shownTextsForTesting();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].contains(QStringLiteral("色の設定")) && shown[0].contains(settings), qPrintable(shown[0]));
        QVERIFY2(shown[1].contains(QStringLiteral("保存できませんでした")), qPrintable(shown[1]));
        QCOMPARE(form->Text5->toPlainText(), typed);
        QCOMPARE(readAll(settings), SchemeA);
        disk->unfill();
        disk->setReadOnly(false);
        MessageBox::resetForTesting();
        QVERIFY(diary.closeWindow());
        QVERIFY2(MessageBox::shownTextsForTesting().isEmpty(), qPrintable(MessageBox::shownTextsForTesting().join(u'\n')));
        QCOMPARE(readAll(settings), SchemeA);
    } else {
        QVERIFY(diary.closeWindow());
        const QStringList shown = MessageBox::shownTextsForTesting();
        if (settingsFail) {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].contains(QStringLiteral("色の設定")) && shown[0].contains(settings), qPrintable(shown[0]));
            if (fault == QLatin1String("full disk"))
                QCOMPARE(readAll(settings), SchemeA);
        } else {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join(u'\n')));
            // The scheme in force is what the diary writes back.
            QCOMPARE(readAll(settings), SchemeA);
        }
    }
    if (typeText)
        QCOMPARE(diary.fileField(40, DayRecord::impressions()), typed);
    else
        QCOMPARE(readAll(diary.workbookPath()), diaryBefore);
}

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_faults.moc"

void TestFaults::firstStartWhereNothingCanBeWritten_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("read-only folder") << QStringLiteral("read-only folder");
    QTest::newRow("full disk") << QStringLiteral("full disk");
}

// A folder unpacked where the user may not write: the new diary cannot be
// made, the message says where to put the folder, and nothing is left behind.
void TestFaults::firstStartWhereNothingCanBeWritten()
{
    QFETCH(QString, fault);
    ScratchDisk disk(QStringLiteral("256k"));
    if (!disk.ok())
        QSKIP("cannot mount a tmpfs here");
    if (fault == QLatin1String("full disk"))
        QVERIFY(disk.fill());
    else
        QVERIFY(disk.setReadOnly(true));
    AppInfo::setProgramFolderForTesting(disk.path());

    Diary diary;
    QString message;
    QVERIFY(!diary.open(DiaryStore::workbookPath(), &message));
    QVERIFY2(message.contains(QStringLiteral("新しく作れませんでした")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("書き込める場所に置いて")), qPrintable(message));
    QCOMPARE(leftovers(disk.path(), {QStringLiteral("filler")}), QStringList());

    disk.setReadOnly(false);
    disk.unfill();
    AppInfo::setProgramFolderForTesting(QString());
}
