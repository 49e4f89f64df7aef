// Whole-file writes that a crash or power loss cannot leave half done.
#pragma once

#include <QByteArray>
#include <QString>

namespace SafeFile {

// Writes a new file beside the target, flushes it to disk, renames it over the
// target and flushes the folder. The target's permissions are kept. On failure
// the target is unchanged and reason says why (in Japanese).
bool write(const QString& path, const QByteArray& bytes, QString* reason);

} // namespace SafeFile
