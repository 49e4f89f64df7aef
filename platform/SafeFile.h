// Whole-file writes that a crash or power loss cannot leave half done.
#pragma once

#include <QByteArray>
#include <QString>

namespace SafeFile {

// workbook::writeFileAtomically with the reason for a failure in Japanese:
// writes a new file beside the target, flushes it to disk, renames it over the
// target and flushes the folder. The target's permissions are kept. On failure
// the target is unchanged and reason says why.
bool write(const QString& path, const QByteArray& bytes, QString* reason);

} // namespace SafeFile
