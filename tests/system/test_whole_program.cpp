// The real program file, started as a user starts it, in a folder of its own.
#include "support/FileBytes.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

class TestWholeProgram : public QObject {
    Q_OBJECT
private slots:
    void startsCreatesTheDiaryAndEndsOrderlyOnSignal();
    void refusesADamagedDiaryWithoutTouchingIt();

private:
    QString installProgram(const QString& folder);
};

QString TestWholeProgram::installProgram(const QString& folder)
{
    const QString program = folder + QStringLiteral("/pravok");
    QFile::copy(QStringLiteral(PROGRAM_DIR "/pravok"), program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return program;
}

void TestWholeProgram::startsCreatesTheDiaryAndEndsOrderlyOnSignal()
{
    TestFolder folder;
    const QString program = installProgram(folder.path());
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QDir::rootPath()); // the working folder plays no part
    process.start(program, {});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.file(QStringLiteral("nikki.xls"))), 15000);
    QTest::qWait(300);
    QCOMPARE(process.state(), QProcess::Running);
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("inf.txt"))));

    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    // Closed the orderly way: the colour scheme was saved on the way out.
    QFile settings(folder.file(QStringLiteral("inf.txt")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll().count("\r\n"), 6);
}

void TestWholeProgram::refusesADamagedDiaryWithoutTouchingIt()
{
    TestFolder folder;
    const QString program = installProgram(folder.path());
    const QString diary = folder.file(QStringLiteral("nikki.xls"));
    const QByteArray junk("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 truncated", 18);
    QVERIFY(writeAll(diary, junk));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(program, {});
    QVERIFY(process.waitForStarted());
    // The message box waits for the user; the diary must be untouched meanwhile.
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running);
    process.kill();
    process.waitForFinished();
    QCOMPARE(readAll(diary), junk);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

QTEST_GUILESS_MAIN(TestWholeProgram)
#include "test_whole_program.moc"
