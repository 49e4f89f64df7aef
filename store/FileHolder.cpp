#include "store/FileHolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace FileHolder {

namespace {

bool processRunning(const QByteArray& name)
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return true;
    }
    return false;
}

// The mark holds "name,user,host,time,profile;". Its host is ours and no
// LibreOffice runs here: a crash left it behind.
bool staleLibreOfficeMark(const QString& markPath)
{
    QFile mark(markPath);
    if (!mark.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> fields = mark.read(4096).split(',');
    return fields.size() > 2 && QString::fromUtf8(fields[2]) == QSysInfo::machineHostName()
           && !processRunning("soffice.bin");
}

} // namespace

QString of(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = file.absolutePath() + u'/';
    const QString libreOffice = folder + QStringLiteral(".~lock.") + file.fileName() + u'#';
    if (QFileInfo::exists(libreOffice) && !staleLibreOfficeMark(libreOffice))
        return QStringLiteral("LibreOffice");
    if (QFileInfo::exists(folder + QStringLiteral("~$") + file.fileName()))
        return QStringLiteral("Excel");
    return QString();
}

} // namespace FileHolder
