// The OLE2 compound file that holds a workbook, read and written through libgsf.
// No glib or gsf type appears here.
#pragma once

#include "platform/workbook/Workbook.h"

#include <QByteArray>

#include <vector>

namespace workbook::detail {

// One storage or stream; the root is a storage with an empty name.
struct CompoundEntry {
    QByteArray name; // UTF-8
    bool isStorage = false;
    QByteArray data;    // streams only
    QByteArray classId; // storages only: 16 bytes, or empty
    std::vector<CompoundEntry> children;

    // Case-insensitive, as compound file names are.
    CompoundEntry* findStream(const QByteArray& name);
    const CompoundEntry* findStream(const QByteArray& name) const;
    const CompoundEntry* findEntry(const QByteArray& name) const;
};

bool looksLikeCompoundFile(const QByteArray& file);

// Where a stream's bytes lie in the file when its sectors follow each other.
struct StreamExtent {
    qint64 offset = -1;
    qint64 size = 0;
};

// Checks every structure libgsf would follow (sector chains, the directory
// tree, sizes) so that damaged or hostile files are refused before libgsf
// sees them. Returns an empty text when the file is sound. When asked, finds
// the extent of the top-level stream with that name if it is contiguous.
QString compoundFileProblem(const QByteArray& file, const QString& extentOf = QString(),
                            StreamExtent* extent = nullptr);

// Reads the whole tree. Damaged when the structure is unsound.
// The top-level stream named viewOf, when contiguous in the file, is not
// copied: its data refers into file, which must then outlive the tree (and
// every copy of that stream's data).
bool readCompoundFile(const QByteArray& file, CompoundEntry* root, Error* error, const QString& viewOf = QString());

// Writes the tree as a new compound file of 512-byte sectors (version 3),
// whatever the sectors of the file it was read from.
bool writeCompoundFile(const CompoundEntry& root, QByteArray* file, Error* error);

// Excel's class id for a workbook storage.
QByteArray excelClassId();

} // namespace workbook::detail
