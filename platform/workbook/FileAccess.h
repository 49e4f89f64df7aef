// Whole files read and compared with what was read before; the writer is
// public, in AtomicFile.h.
#pragma once

#include "platform/workbook/AtomicFile.h"
#include "platform/workbook/Workbook.h"

#include <QByteArray>
#include <QString>

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
