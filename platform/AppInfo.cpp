#include "platform/AppInfo.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString g_folderOverride;
QDate g_todayOverride;
} // namespace

namespace AppInfo {

QString title() { return QStringLiteral("merrow日記lite"); }

QString programFolder()
{
    if (!g_folderOverride.isEmpty())
        return g_folderOverride;
    return QCoreApplication::applicationDirPath();
}

QString joinProgramPath(const QString& folder, const QString& fileName)
{
    const QChar sep = QLatin1Char('/');
    return folder.endsWith(sep) ? folder + fileName : folder + sep + fileName;
}

QString programFilePath(const QString& fileName) { return joinProgramPath(programFolder(), fileName); }

QDate today() { return g_todayOverride.isValid() ? g_todayOverride : QDate::currentDate(); }

void setProgramFolderForTesting(const QString& folder) { g_folderOverride = folder; }

void setTodayForTesting(const QDate& date) { g_todayOverride = date; }

} // namespace AppInfo
