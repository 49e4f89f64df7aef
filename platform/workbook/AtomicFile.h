// The one atomic writer of the program, public beside Workbook.h: the
// workbook's saves and platform/SafeFile both use it, so that a crash or power
// loss cannot leave a file half done.
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace workbook {

struct WriteFailure {
    // What went wrong, as QFileDevice names it; ResourceError whenever the
    // bytes did not all reach the disk (write, flush or fsync failed).
    QFileDevice::FileError error = QFileDevice::NoError;
    QString detail; // the system's reason
};

// Writes a new file beside the target, flushes it to disk, renames it over the
// target and flushes the folder, so that at any instant the path holds either
// the old file or the new one, whole. The target's permissions are kept. On
// failure the target is unchanged and failure says why.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, WriteFailure* failure);

} // namespace workbook
