// Another program that has the diary workbook open, seen by the mark it keeps
// beside the file: LibreOffice's ".~lock.nikki.xls#", Excel's "~$nikki.xls".
// Writing while one of them holds the file is what lets its next save drop
// the diary's text, so the diary waits instead.
#pragma once

#include <QString>

namespace FileHolder {

// The program holding the file at path ("LibreOffice", "Excel"), or empty.
// A LibreOffice mark left on this computer by a LibreOffice no longer running
// does not count: nothing would ever free the file.
QString of(const QString& path);

} // namespace FileHolder
