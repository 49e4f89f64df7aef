// Application information and clock: the program's folder, title, version and today.
#pragma once

#include <QDate>
#include <QString>

namespace AppInfo {

inline constexpr int VersionMajor = PRAVOK_VERSION_MAJOR;
inline constexpr int VersionMinor = PRAVOK_VERSION_MINOR;
inline constexpr int VersionRevision = PRAVOK_VERSION_REVISION;

QString title(); // "merrow日記lite"

// The folder that holds the program file, without a trailing separator
// unless it is the root folder.
QString programFolder();
// A file beside the program: the folder, one separator (none added when the
// folder already ends in one), then the name.
QString programFilePath(const QString& fileName);
// The same rule applied to a given folder; exposed for the rule's own tests.
QString joinProgramPath(const QString& folder, const QString& fileName);

QDate today(); // the current local date

// Test seams. The shipped program never calls these.
void setProgramFolderForTesting(const QString& folder);
void setTodayForTesting(const QDate& date);

} // namespace AppInfo
