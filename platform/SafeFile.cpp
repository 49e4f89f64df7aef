#include "platform/SafeFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace SafeFile {

namespace {

void syncFolder(const QString& path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString japaneseReason(QFileDevice::FileError error, const QString& detail)
{
    switch (error) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("書き込みが許可されていません（%1）").arg(detail);
    case QFileDevice::ResourceError:
        return QStringLiteral("ディスクがいっぱいか、書き込めません（%1）").arg(detail);
    default:
        return QStringLiteral("書き込めません（%1）").arg(detail);
    }
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, QString* reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *reason = japaneseReason(file.error(), file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        *reason = japaneseReason(QFileDevice::ResourceError, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *reason = japaneseReason(file.error(), file.errorString());
        return false;
    }
    syncFolder(path);
    return true;
}

} // namespace SafeFile
