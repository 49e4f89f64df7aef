// Other programs that read and write .xls workbooks, run as a user runs them:
// Python's xlrd and xlwt, LibreOffice (soffice --headless) and Gnumeric
// (ssconvert), through peers.py. A test that needs one skips when it is absent.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace peers {

using namespace Qt::StringLiterals;

// "xlrd" and "xlwt" need Debian's python3 with python3-xlrd and python3-xlwt,
// "libreoffice" and "gnumeric" their programs as well.
inline bool installed(const QString& peer)
{
    static const bool python = QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import xlrd, xlwt"_s}) == 0;
    const QString program = peer == u"libreoffice"_s ? u"soffice"_s
                            : peer == u"gnumeric"_s  ? u"ssconvert"_s
                                                     : QString();
    return python && (program.isEmpty() || !QStandardPaths::findExecutable(program).isEmpty());
}

// Runs peers.py; its output, or the problem it reported.
inline QByteArray script(const QStringList& args, QString* problem)
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s, QStringList{QStringLiteral(SOURCE_DIR "/tests/system/interop/peers.py")} + args);
    if (!p.waitForFinished(900000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        *problem = u"peers.py %1: %2"_s.arg(args.first(), QString::fromUtf8(p.readAllStandardError().right(2000)));
    return p.readAllStandardOutput();
}

// What the peer reads in each file (see peers.py); workDir takes its scratch files.
inline QJsonArray dump(const QString& peer, const QStringList& files, const QString& workDir, QString* problem)
{
    return QJsonDocument::fromJson(script(QStringList{u"dump"_s, peer, workDir} + files, problem)).array();
}

// A cell the diary wrote as the peer dumps it.
inline QJsonArray cell(const QString& peer, const QString& text, bool number)
{
    const QString kind = peer == u"xlrd"_s          ? (number ? u"number"_s : u"text"_s)
                         : peer == u"libreoffice"_s ? (number ? u"float"_s : u"string"_s)
                                                    : QString();
    return {text, kind};
}

// The first key where two dumps differ; empty when they are the same.
inline QString difference(const QJsonObject& expected, const QJsonObject& actual)
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

} // namespace peers
