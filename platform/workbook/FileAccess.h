// Whole files read, compared with what was read before, and written so that
// a crash or power loss cannot leave them half done. The one atomic writer of
// the program: the workbook's saves and platform/SafeFile both use it.
#pragma once

#include "platform/workbook/Workbook.h"

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

namespace workbook::detail {

// The whole regular file at path: Missing, or Unreadable with the reason
// (also for a file over MaxFileBytes, before any of it is read).
bool readWholeFile(const QString& path, QByteArray* bytes, Error* error);

// Unreadable, for a file of this size over MaxFileBytes.
Error tooLarge(qint64 size);

// Whether the regular file at path holds exactly these bytes. False also when
// unsure; the caller then reads the file whole.
bool sameOnDisk(const QString& path, const QByteArray& expected);

} // namespace workbook::detail
