#include "support/TestFolder.h"

#include "platform/AppInfo.h"

#include <QDir>
#include <QFile>
#include <QTest>

TestFolder::TestFolder(const QDate& today)
{
    AppInfo::setProgramFolderForTesting(m_dir.path());
    AppInfo::setTodayForTesting(today);
}

TestFolder::~TestFolder()
{
    // Make anything a test locked down removable again.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    AppInfo::setProgramFolderForTesting(QString());
    AppInfo::setTodayForTesting(QDate());
}

QString TestFolder::file(const QString& name) const { return m_dir.filePath(name); }

void TestFolder::copyWeatherIcons() const
{
    const QDir src(QStringLiteral(SOURCE_DIR "/resources/weather"));
    for (const QString& name : src.entryList({QStringLiteral("*.ico")}, QDir::Files))
        QFile::copy(src.filePath(name), file(name));
}
