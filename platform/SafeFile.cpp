#include "platform/SafeFile.h"

#include "platform/workbook/AtomicFile.h"

namespace SafeFile {

namespace {

QString japaneseReason(QFileDevice::FileError error, const QString& detail)
{
    switch (error) {
    case QFileDevice::PermissionsError: return QStringLiteral("書き込みが許可されていません（%1）").arg(detail);
    case QFileDevice::ResourceError: return QStringLiteral("ディスクがいっぱいか、書き込めません（%1）").arg(detail);
    default: return QStringLiteral("書き込めません（%1）").arg(detail);
    }
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, QString* reason)
{
    workbook::WriteFailure failure;
    if (workbook::writeFileAtomically(path, bytes, &failure))
        return true;
    *reason = japaneseReason(failure.error, failure.detail);
    return false;
}

} // namespace SafeFile
