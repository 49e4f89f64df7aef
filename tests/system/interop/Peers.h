// Other programs that read and write .xls workbooks, run as the user would run
// them: LibreOffice (soffice --headless), Gnumeric (ssconvert) and Python's
// xlrd/xlwt (through peers.py). Each is optional on a developer's machine;
// the tests that need one skip when it is truly absent.
#pragma once

#include "store/DayRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

namespace peers {

struct Run {
    bool ok = false;      // started, ended by itself with exit code 0
    int code = -1;
    QByteArray out;
    QByteArray err;
    QString describe() const
    {
        return QStringLiteral("exit %1\nstdout: %2\nstderr: %3")
            .arg(code).arg(QString::fromUtf8(out.left(2000)), QString::fromUtf8(err.left(2000)));
    }
};

inline Run run(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    Run r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.ok = r.code == 0;
    return r;
}

inline QString script()
{
    return QStringLiteral(SOURCE_DIR "/tests/system/interop/peers.py");
}

// Debian's own python3 carries python3-xlrd and python3-xlwt; another python3
// first on PATH may not.
inline QString python()
{
    return QStringLiteral("/usr/bin/python3");
}

inline bool havePython()
{
    static const bool have = QFileInfo(python()).isExecutable()
        && run(python(), {QStringLiteral("-c"), QStringLiteral("import xlrd, xlwt")}).ok;
    return have;
}

inline QString soffice()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

inline QString ssconvert()
{
    return QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
}

// ------------------------------------------------------------------ workbooks as JSON

inline QJsonArray cell(int row, int col, const QJsonValue& value)
{
    return QJsonArray{row, col, value};
}

inline QJsonObject formula(const QString& text, const QJsonValue& cached)
{
    return QJsonObject{{QStringLiteral("formula"), text}, {QStringLiteral("cached"), cached}};
}

inline QJsonObject sheet(const QString& name, const QJsonArray& cells)
{
    return QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("cells"), cells}};
}

inline QJsonObject book(const QJsonArray& sheets)
{
    return QJsonObject{{QStringLiteral("sheets"), sheets}};
}

// The diary's header row, and colour fields holding the window-text colour for
// `records` records, as a new diary has them.
inline QJsonArray diaryCells(int records = DayRecord::DaysInYear, const QStringList& header = DayRecord::allColumns())
{
    QJsonArray cells;
    for (int c = 0; c < header.size(); ++c)
        cells.append(cell(0, c, header[c]));
    const QStringList colours = DayRecord::colourColumns();
    for (int r = 1; r <= records; ++r) {
        for (int c = 0; c < header.size(); ++c) {
            if (colours.contains(header[c]))
                cells.append(cell(r, c, double(DayRecord::DefaultColour)));
        }
    }
    return cells;
}

inline bool writeJson(const QString& path, const QJsonObject& object)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(QJsonDocument(object).toJson(QJsonDocument::Compact)) > 0;
}

inline QJsonObject readJson(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}

// Writes the described workbook with xlwt (kind "xlwt"), or as flat ODS
// ("fods") or zipped ODS ("ods") for soffice and ssconvert to turn into .xls.
inline Run writeBook(const QString& kind, const QJsonObject& desc, const QString& out)
{
    const QString json = out + QStringLiteral(".desc.json");
    writeJson(json, desc);
    Run r = run(python(), {script(), kind, json, out});
    QFile::remove(json);
    return r;
}

// Reads a workbook with a peer reader: "xlrd" (an .xls), "fodsdump" (a flat
// ODS LibreOffice wrote) or "csvdump" (the CSV files ssconvert -S wrote, by prefix).
inline QJsonObject dump(const QString& kind, const QString& in, Run* result = nullptr)
{
    const QString out = in + QStringLiteral(".") + kind + QStringLiteral(".json");
    Run r = run(python(), {script(), kind, in, out});
    if (result)
        *result = r;
    return r.ok ? readJson(out) : QJsonObject();
}

inline QJsonObject sheetOf(const QJsonObject& dumped, const QString& name)
{
    for (const QJsonValue& s : dumped.value(QStringLiteral("sheets")).toArray()) {
        if (s.toObject().value(QStringLiteral("name")).toString() == name)
            return s.toObject();
    }
    return {};
}

using CellMap = QMap<QPair<int, int>, QString>;

// (row, column) -> text of the non-empty cells of a dumped sheet.
inline CellMap cellsOf(const QJsonObject& dumpedSheet)
{
    CellMap map;
    for (const QJsonValue& v : dumpedSheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonArray c = v.toArray();
        if (!c.at(3).toString().isEmpty())
            map.insert({c.at(0).toInt(), c.at(1).toInt()}, c.at(3).toString());
    }
    return map;
}

// The first difference between two cell maps, or empty text when equal.
inline QString firstDifference(const CellMap& expected, const CellMap& actual)
{
    auto shorten = [](const QString& s) {
        QString t = s.size() > 60 ? s.left(60) + QStringLiteral("…(%1 chars)").arg(s.size()) : s;
        return t.replace(QLatin1Char('\n'), QStringLiteral("\\n")).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    };
    int differences = 0;
    QString first;
    QList<QPair<int, int>> keys = expected.keys();
    for (const auto& k : actual.keys()) {
        if (!expected.contains(k))
            keys.append(k);
    }
    for (const auto& k : keys) {
        if (expected.value(k) != actual.value(k)) {
            if (differences++ == 0) {
                first = QStringLiteral("row %1 col %2: expected \"%3\", got \"%4\"")
                            .arg(k.first).arg(k.second).arg(shorten(expected.value(k)), shorten(actual.value(k)));
            }
        }
    }
    return differences ? first + QStringLiteral(" (%1 cells differ)").arg(differences) : QString();
}

// ------------------------------------------------------------------ LibreOffice

// One private LibreOffice profile for the whole test executable: making one
// is the slow part of the first start.
inline QString libreOfficeProfile()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/pravok-lo-XXXXXX"));
    return QStringLiteral("-env:UserInstallation=file://") + dir.path();
}

// Converts all inputs in one soffice run into outDir ("fods", "csv", "xls:MS Excel 97", ...).
// LibreOffice ends with 0 even when it could not load a file, so callers check
// the outputs; complaints() tells whether it said anything beyond its usual noise.
inline Run libreOfficeConvert(const QStringList& inputs, const QString& to, const QString& outDir)
{
    QStringList args{libreOfficeProfile(), QStringLiteral("--headless"), QStringLiteral("--norestore"),
                     QStringLiteral("--convert-to"), to, QStringLiteral("--outdir"), outDir};
    args += inputs;
    return run(soffice(), args, 300000);
}

inline QStringList complaints(const Run& r)
{
    QStringList lines;
    for (const QByteArray& line : (r.out + '\n' + r.err).split('\n')) {
        const QString l = QString::fromUtf8(line).trimmed();
        if (l.isEmpty() || l.contains(QLatin1String("javaldx")) || l.startsWith(QLatin1String("convert ")))
            continue;
        lines << l;
    }
    return lines;
}

// Saves a workbook again with a password, as a user does in LibreOffice's
// "Save with password": a Basic macro in the private profile does it.
inline Run libreOfficeSaveEncrypted(const QString& source, const QString& target)
{
    const QString profile = libreOfficeProfile().section(QStringLiteral("file://"), 1);
    const QString module = profile + QStringLiteral("/user/basic/Standard/Module1.xba");
    if (!QFileInfo::exists(module)) {
        // The first start lays out the profile, with its empty Basic library.
        QTemporaryDir scratch;
        QFile::copy(source, scratch.filePath(QStringLiteral("first.xls")));
        libreOfficeConvert({scratch.filePath(QStringLiteral("first.xls"))}, QStringLiteral("csv"), scratch.path());
    }
    QFile file(module);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE script:module PUBLIC "-//OpenOffice.org//DTD OfficeDocument 1.0//EN" "module.dtd">
<script:module xmlns:script="http://openoffice.org/2000/script" script:name="Module1" script:language="StarBasic">
Sub SaveEncrypted(source As String, target As String)
  Dim load(0) As New com.sun.star.beans.PropertyValue
  load(0).Name = &quot;Hidden&quot;
  load(0).Value = True
  doc = StarDesktop.loadComponentFromURL(ConvertToURL(source), &quot;_blank&quot;, 0, load())
  Dim save(1) As New com.sun.star.beans.PropertyValue
  save(0).Name = &quot;FilterName&quot;
  save(0).Value = &quot;MS Excel 97&quot;
  save(1).Name = &quot;Password&quot;
  save(1).Value = &quot;himitsu&quot;
  doc.storeToURL(ConvertToURL(target), save())
  doc.close(True)
End Sub
</script:module>
)");
    file.close();
    return run(soffice(), {libreOfficeProfile(), QStringLiteral("--headless"), QStringLiteral("--norestore"),
                           QStringLiteral("macro:///Standard.Module1.SaveEncrypted(\"%1\",\"%2\")").arg(source, target)},
               300000);
}

// ------------------------------------------------------------------ Gnumeric

// Every sheet of an .xls as CSV (unformatted values), dumped: sheets are named "0.csv", "1.csv", ...
inline QJsonObject gnumericCsv(const QString& xls, Run* result = nullptr)
{
    const QString prefix = xls + QStringLiteral(".gnumeric/");
    QDir().mkpath(prefix);
    Run r = run(ssconvert(), {QStringLiteral("-S"), QStringLiteral("-T"), QStringLiteral("Gnumeric_stf:stf_assistant"),
                              QStringLiteral("-O"),
                              QStringLiteral("format=raw separator=, quoting-mode=auto eol=unix charset=UTF-8"),
                              xls, prefix + QStringLiteral("%n.csv")});
    if (result)
        *result = r;
    if (!r.ok)
        return {};
    return dump(QStringLiteral("csvdump"), prefix);
}

} // namespace peers
