// Faults around the two files the diary writes: saves killed at any moment, a
// full disk, a read-only folder, a workbook replaced, changed or gone while
// the diary is open. Typed text is never lost, and the workbook
// on disk is always a whole diary.
#include "support/DiaryFixture.h"
#include "support/FileBytes.h"

#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/AppInfo.h"
#include "platform/EntryBox.h"
#include "platform/MessageBox.h"
#include "platform/Notice.h"
#include "platform/SafeFile.h"
#include "platform/workbook/Workbook.h"
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString Sheet1 = u"Sheet1"_s;

// What one save of the kill test writes: every state differs in every field
// and in the size of both files.
QList<workbook::FieldWrite> stateWrites(int state)
{
    QList<workbook::FieldWrite> writes;
    for (int r : {0, 1, 2, 100, 364}) {
        writes.append({r, 0, u"状態%1の予定 %2"_s.arg(state).arg(r), false});
        writes.append({r, 16, QString(4000 + 3000 * state, QChar(0x3042 + state)), false});
        writes.append({r, 17, QString::number(state * 1000 + r), true});
    }
    return writes;
}

QByteArray stateSettings(int state) { return QByteArray(1000 + 1000 * state, char('0' + state)); }

// The diary sheet's records; why tells when the file is no whole diary.
QList<QStringList> readDiary(const QString& path, QString* why)
{
    workbook::Error error;
    const auto book = workbook::Workbook::open(path, &error);
    workbook::RecordTable table;
    *why = book && book->readTable(Sheet1, &table, &error) ? DiaryStore::problemWith(table)
                                                           : u"unreadable: "_s + error.detail;
    return table.records;
}

// A small tmpfs: a disk that really fills up or turns read-only, even for
// root. Only where mounting is allowed: ok tells.
struct ScratchDisk {
    explicit ScratchDisk(const QString& size)
        : path(dir.filePath(u"mnt"_s))
        , ok(QDir().mkpath(path) && mount({u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size="_s + size, u"pravok-test"_s, path}))
    {
    }
    ~ScratchDisk()
    {
        if (ok)
            QProcess::execute(u"umount"_s, {u"-l"_s, path});
    }
    static bool mount(const QStringList& args) { return QProcess::execute(u"mount"_s, args) == 0; }
    bool setReadOnly(bool on) { return mount({u"-o"_s, on ? u"remount,ro"_s : u"remount,rw"_s, path}); }
    // One file to the last byte.
    bool fill()
    {
        QFile filler(path + u"/filler"_s);
        for (qsizetype n = 4096; n > 0 && filler.open(QIODevice::Append); n /= 2, filler.close()) {
            while (filler.write(QByteArray(n, 'x')) == n && filler.flush()) {
            }
        }
        return filler.size() > 0;
    }
    void heal()
    {
        if (setReadOnly(false))
            QFile::remove(path + u"/filler"_s);
    }
    QTemporaryDir dir;
    QString path;
    bool ok;
};

// Brings a fault about on the file at path.
bool inflict(const QString& fault, ScratchDisk* disk, const QString& path)
{
    if (fault == "full disk"_L1)
        return disk->fill();
    if (fault == "read-only folder"_L1)
        return disk->setReadOnly(true);
    if (fault == "web page"_L1)
        return writeAll(path, "<html><body><table><tr><td>予定</td></tr></table></body></html>\n");
    if (fault == "another program's diary"_L1)
        return writeAll(path, readAll(QStringLiteral(TEST_DATA_DIR "/diary_xlwt.xls")));
    return QFile::remove(path);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void killedSavesLeaveOldOrNew();
    void killedFirstStartLeavesNoHalfDiary();
    void killedWhileTypingLosesAtMostTwoSeconds();
    void secondStartShowsTheRunningDiary();
    void libreOfficeHoldingTheDiaryLosesNothing();
    void saveFaultKeepsTypedText_data();
    void saveFaultKeepsTypedText();
    void firstStartWhereNothingCanBeWritten_data();
    void firstStartWhereNothingCanBeWritten();
};

// A child process saves the workbook and inf.txt in state 1, 2, 3, 1, ...
// until killed in the middle of a save: each file holds one of the states, whole.
void TestFaults::killedSavesLeaveOldOrNew()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(DiaryStore::fileName());
    workbook::Error error;
    QVERIFY(DiaryStore::createWorkbook(path, &error) && writeAll(dir.filePath(u"inf.txt"_s), stateSettings(0)));
    QString why;
    QList<QList<QStringList>> states;
    for (int state = 0; state < 4; ++state) {
        QVERIFY(workbook::Workbook::open(path, &error)->writeFields(Sheet1, stateWrites(state), &error));
        states.append(readDiary(path, &why));
    }
    QVERIFY(workbook::Workbook::open(path, &error)->writeFields(Sheet1, stateWrites(0), &error));

    QSet<qsizetype> seen;
    for (int round = 0; round < 60; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"--child"_s, dir.path()});
        // Told to make one to three saves, and killed during the last of them at
        // moments spread over it: the file holds the state before or after it.
        const int saves = round % 3 + 1;
        child.write(QByteArray(saves, '\n'));
        for (int done = -1; done < saves - 1;) {
            QVERIFY(child.waitForReadyRead(10000));
            for (; child.canReadLine(); child.readLine())
                done += 1;
        }
        QTest::qWait(round % 20 * 3);
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        const qsizetype state = states.indexOf(readDiary(path, &why));
        QVERIFY2(why.isEmpty() && state >= 0,
                 qPrintable(u"round %1: none of the saved states. %2"_s.arg(round).arg(why)));
        const QByteArray settings = readAll(dir.filePath(u"inf.txt"_s));
        QVERIFY2(settings == stateSettings(settings.size() / 1000 - 1),
                 qPrintable(u"round %1: inf.txt is cut"_s.arg(round)));
        seen.insert(state);
    }
    // The kills landed after different saves.
    QVERIFY(seen.size() >= 2);
}

void TestFaults::killedFirstStartLeavesNoHalfDiary()
{
    TestFolder folder;
    const QString path = folder.file(DiaryStore::fileName());
    const QString program = folder.file(u"pravok"_s);
    QVERIFY(QFile::copy(QStringLiteral(PROGRAM_DIR "/pravok"), program));
    // A killed program leaves its private temporary folder: in the test's.
    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"TMPDIR"_s, tmp.path());
    for (int round = 0; round <= 16; ++round) {
        QFile::remove(path);
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QDir::rootPath());
        process.start(program, {u"-platform"_s, u"offscreen"_s});
        QVERIFY(process.waitForStarted());
        if (round < 16) {
            QTest::qWait(round * 25); // moments spread over the start
            process.kill();
        } else {
            // Whatever a killed start left behind, the next start makes a diary and ends orderly.
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), 15000);
            QTest::qWait(300);
            ::kill(pid_t(process.processId()), SIGTERM);
        }
        QVERIFY(process.waitForFinished(15000) && (round < 16 || process.exitCode() == 0));
        QString why;
        if (QFileInfo::exists(path) || round == 16)
            QVERIFY2(readDiary(path, &why).size() == DiaryYear.days && why.isEmpty(), qPrintable(why));
    }
    // A damaged diary: the real program waits on its message for the user, the file untouched.
    const QByteArray junk("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 truncated", 18);
    QVERIFY(writeAll(path, junk));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, {u"-platform"_s, u"offscreen"_s});
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(readAll(path), junk);
}

// Killed outright while the pupil types without a pause: the file holds all
// but the last two seconds of it. The child types a key every 50 ms and says
// when; the kills come at fixed moments of its typing.
void TestFaults::killedWhileTypingLosesAtMostTwoSeconds()
{
    for (const int killAfterMs : {2600, 4100}) {
        QTemporaryDir dir;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"--typist"_s, dir.path()});
        QVERIFY(child.waitForStarted());
        QList<qint64> keyTimes; // the child's clock at each key, in order
        while (keyTimes.isEmpty() || keyTimes.last() < killAfterMs) {
            QVERIFY2(child.waitForReadyRead(15000), "the typist stopped");
            while (child.canReadLine())
                keyTimes << child.readLine().trimmed().toLongLong();
        }
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QString why;
        const QList<QStringList> records = readDiary(dir.filePath(DiaryStore::fileName()), &why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QString saved = records.value(39).value(DayRecord::allColumns().indexOf(DayRecord::impressions()));
        const qsizetype due =
            std::count_if(keyTimes.cbegin(), keyTimes.cend(), [&](qint64 t) { return t <= keyTimes.last() - 2000; });
        QVERIFY2(saved.size() >= due && QString(saved.size(), u'あ') == saved,
                 qPrintable(u"%1 of %2 keys saved, %3 due"_s.arg(saved.size()).arg(keyTimes.size()).arg(due)));
    }
}

void TestFaults::saveFaultKeepsTypedText_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("message"); // parts of the message: the first tells whether the save failed
    const QStringList failed{u"保存できませんでした"_s, u"入力した内容は消えていません"_s};
    QTest::newRow("full disk") << u"full disk"_s << failed + QStringList{u"ディスクがいっぱいです"_s};
    QTest::newRow("read-only folder") << u"read-only folder"_s << failed + QStringList{u"読み取り専用"_s};
    QTest::newRow("replaced by a web page") << u"web page"_s << failed + QStringList{u"置き換えた"_s};
    // Nothing is lost in these, but the user is told what the diary found.
    QTest::newRow("vanished") << u"vanished"_s << QStringList{u"見つかりませんでした"_s, u"作り直しました"_s};
    QTest::newRow("replaced by another program's diary")
        << u"another program's diary"_s << QStringList{u"ほかのプログラムで変更されました"_s, u"読み込みました"_s};
}

void TestFaults::saveFaultKeepsTypedText()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, message);
    const bool fails = message.first() == u"保存できませんでした"_s;
    const bool onDisk = fault == "full disk"_L1 || fault == "read-only folder"_L1;
    ScratchDisk disk(u"1m"_s);
    if (onDisk && !disk.ok)
        QSKIP("cannot mount a tmpfs here");
    DiaryFixture diary(QDate(2002, 5, 10));
    if (onDisk)
        AppInfo::setProgramFolderForTesting(disk.path);
    const QString path = diary.workbookPath();
    QVERIFY(diary.start());
    Form1* form = diary.form();
    const QString typed = u"消えてはいけない予定\n二行目"_s;
    DiaryFixture::type(controlsOf(form).Text1, typed);
    DiaryFixture::type(controlsOf(form).Text5, u"感想も"_s);
    const QByteArray original = readAll(path);
    QVERIFY(inflict(fault, &disk, path));
    // Told while the pupil types, at once, in a notice that asks nothing
    // (that it leaves the keyboard alone needs a real X server: test_window_hints).
    QTRY_VERIFY_WITH_TIMEOUT(form->notice()->isVisible(), 10000);
    for (const QString& part : message + QStringList{path})
        QVERIFY2(form->notice()->text().contains(part), qPrintable(form->notice()->text()));
    QVERIFY(MessageBox::shownTextsForTesting().isEmpty());

    diary.clickDate(QDate(2002, 5, 12));
    // The day change, where the pupil has stopped typing, asks as before.
    const QStringList shown = MessageBox::shownTextsForTesting();
    QCOMPARE(shown.size(), fails ? 1 : 0);
    for (const QString& part : fails ? message + QStringList{path} : QStringList())
        QVERIFY2(shown.first().contains(part), qPrintable(shown.first()));
    QCOMPARE(form->diary().hasPendingEdits(), fails);
    if (fails) {
        diary.clickDate(QDate(2002, 5, 10));
        QCOMPARE(controlsOf(form).Text1->toPlainText(), typed);
        MessageBox::resetForTesting(); // the close asks again; the answer is "do not close"
        QVERIFY(!diary.closeWindow());
        QVERIFY(MessageBox::shownTextsForTesting().last().contains(message.first()));
        // The fault goes away: the next day change saves.
        disk.heal();
        if (fault == "web page"_L1)
            QVERIFY(writeAll(path, original));
        MessageBox::resetForTesting();
        diary.clickDate(QDate(2002, 5, 13));
        QVERIFY2(MessageBox::shownTextsForTesting().isEmpty(),
                 qPrintable(MessageBox::shownTextsForTesting().join(u'\n')));
        QVERIFY(!form->diary().hasPendingEdits());
    }
    QCOMPARE(diary.fileField(40, DayRecord::plan()), typed);
    // A box the other program had written too keeps both texts.
    QCOMPARE(diary.fileField(40, DayRecord::impressions()),
             fault == "another program's diary"_L1
                 ? u"感想も\n――― ほかのプログラムで保存された内容 ―――\n40日目: walk と読書 !!!!"_s
                 : u"感想も"_s);
    QString why;
    QCOMPARE(readDiary(path, &why).size(), DiaryYear.days);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    if (fault == "another program's diary"_L1) {
        QCOMPARE(diary.fileField(101, DayRecord::impressions()), u"101日目: walk と読書 "_s);
        QVERIFY(workbook::Workbook::open(path, nullptr)->sheetNames().contains(u"メモ"_s));
    }
    QVERIFY(diary.closeWindow());
}

void TestFaults::firstStartWhereNothingCanBeWritten_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("read-only folder") << u"read-only folder"_s;
    QTest::newRow("full disk") << u"full disk"_s;
}

// A folder unpacked where the user may not write: the new diary cannot be
// made, the message says where to put the folder, and nothing is left behind.
void TestFaults::firstStartWhereNothingCanBeWritten()
{
    QFETCH(QString, fault);
    ScratchDisk disk(u"256k"_s);
    if (!disk.ok)
        QSKIP("cannot mount a tmpfs here");
    QVERIFY(inflict(fault, &disk, QString()));
    TestFolder folder;
    AppInfo::setProgramFolderForTesting(disk.path);
    Diary diary;
    QString message;
    QVERIFY(!diary.open(DiaryStore::workbookPath(), &message));
    QVERIFY2(message.contains(u"新しく作れませんでした"_s) && message.contains(u"書き込める場所に置いて"_s),
             qPrintable(message));
    QCOMPARE(QDir(disk.path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             fault == "full disk"_L1 ? QStringList{u"filler"_s} : QStringList());
}

// A second start on the folder of a running diary opens no second editor of
// the same file: it ends at once, the first one goes on.
void TestFaults::secondStartShowsTheRunningDiary()
{
    TestFolder folder;
    const QString program = folder.file(u"pravok"_s);
    QVERIFY(QFile::copy(QStringLiteral(PROGRAM_DIR "/pravok"), program));
    QProcess first;
    first.start(program, QStringList());
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder.file(DiaryStore::fileName())), 15000);
    const QByteArray diaryFile = readAll(folder.file(DiaryStore::fileName()));
    QProcess second;
    second.start(program, QStringList());
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(readAll(folder.file(DiaryStore::fileName())), diaryFile);
    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(15000) && first.exitCode() == 0);
}

// Waits for the line a helper prints when it has done what it was told.
bool waitForLine(QProcess& process, const QByteArray& line)
{
    while (process.waitForReadyRead(120000) || process.canReadLine()) {
        while (process.canReadLine()) {
            if (process.readLine().trimmed() == line)
                return true;
        }
    }
    return false;
}

// A real LibreOffice opens the diary, saves a change of its own to it and
// closes it while the diary is open and the pupil types.
void TestFaults::libreOfficeHoldingTheDiaryLosesNothing()
{
    DiaryFixture diary(QDate(2002, 5, 10));
    QVERIFY(diary.start());
    Form1* form = diary.form();
    QProcess office;
    office.start(u"/usr/bin/python3"_s,
                 {QStringLiteral(SOURCE_DIR "/tests/system/libreoffice_holder.py"), diary.workbookPath()});
    if (!waitForLine(office, "open")) {
        office.waitForFinished();
        if (office.exitCode() == 77)
            QSKIP("no Python bridge to LibreOffice here");
        QFAIL(office.readAllStandardError().constData());
    }
    // Typed while LibreOffice holds the file: kept and told, not written.
    const QString typed = u"日記で書いた予定"_s;
    DiaryFixture::type(controlsOf(form).Text1, typed);
    QTRY_VERIFY_WITH_TIMEOUT(form->notice()->text().contains(u"LibreOffice で開かれています"_s), 10000);
    QCOMPARE(diary.fileField(40, DayRecord::plan()), QString());
    // Its save is read in at once: the day shows it, the search and printing see it.
    office.write("set 45 16 LibreOfficeで書いた感想\n");
    QVERIFY(waitForLine(office, "saved"));
    QTRY_COMPARE_WITH_TIMEOUT(form->diary().day(QDate(2002, 5, 15)).impressions, u"LibreOfficeで書いた感想"_s, 10000);
    QVERIFY(form->notice()->text().contains(u"その変更を読み込みました"_s));
    QCOMPARE(diary.fileField(40, DayRecord::plan()), QString());
    // The close asks what to do; "終了しない" keeps the window and the text.
    MessageBox::resetForTesting();
    MessageBox::setNextAnswerForTesting(1);
    QVERIFY(!diary.closeWindow());
    QVERIFY(MessageBox::shownTextsForTesting().value(0).contains(
        u"LibreOffice で開かれているので、まだ保存していません"_s));
    // Closed there: saved here by itself, both texts in the file.
    office.write("close\n");
    QVERIFY(waitForLine(office, "closed") && office.waitForFinished(60000));
    QTRY_COMPARE_WITH_TIMEOUT(diary.fileField(40, DayRecord::plan()), typed, 10000);
    QCOMPARE(diary.fileField(45, DayRecord::impressions()), u"LibreOfficeで書いた感想"_s);
    QTRY_VERIFY(form->notice()->text().contains(u"閉じたので、書いた内容を保存しました"_s));
    QVERIFY(diary.closeWindow());
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        // The kill test's child: a save of the next state for each line it reads.
        const QString folder = QString::fromLocal8Bit(argv[2]);
        workbook::Error error;
        QString reason;
        auto book = workbook::Workbook::open(folder + u'/' + DiaryStore::fileName(), &error);
        if (!book)
            return 4;
        std::puts("ready");
        std::fflush(stdout);
        char line[16];
        for (int i = 0; std::fgets(line, sizeof line, stdin); ++i) {
            if (!book->writeFields(Sheet1, stateWrites(1 + i % 3), &error)
                || !SafeFile::write(folder + u"/inf.txt"_s, stateSettings(1 + i % 3), &reason))
                return 4;
            std::puts("saved");
            std::fflush(stdout);
        }
        return 3;
    }
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--typist") == 0) {
        // The kill -9 test's child: types on the page, says so, and waits
        // (no TestFolder: the kill would leave its empty folder behind).
        AppInfo::setTodayForTesting(QDate(2002, 5, 10));
        AppInfo::setProgramFolderForTesting(QString::fromLocal8Bit(argv[2]));
        Form1 form;
        QString why;
        if (!form.Form_Load(&why))
            return 4;
        form.show();
        form.Form_Activate();
        QElapsedTimer clock;
        clock.start();
        QTimer keys;
        QObject::connect(&keys, &QTimer::timeout, [&] {
            DiaryFixture::type(controlsOf(&form).Text5, u"あ"_s);
            std::printf("%lld\n", clock.elapsed());
            std::fflush(stdout);
        });
        keys.start(50);
        return app.exec();
    }
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_faults.moc"
