// The shared string table (SST): read from its records, written anew.
#pragma once

#include "platform/workbook/ContinuedReader.h"

#include <QString>

#include <vector>

namespace workbook::detail {

struct SstString {
    QString text;
    quint32 extraPos = 0; // rich-text runs, then phonetic block, in SharedStrings::extras
    quint16 runCount = 0;
    quint32 extLength = 0;
    bool hasExt = false;
    bool plain() const { return runCount == 0 && !hasExt; }
};

struct SharedStrings {
    std::vector<SstString> strings;
    QByteArray extras;

    // Reads the table from an SST record's data and its CONTINUE records.
    // Stops cleanly where the data ends between two strings, even if fewer
    // strings were declared; a string cut in its middle is an error.
    static bool parse(ContinuedReader& reader, SharedStrings* table, QString* problem);
};

// One string to write: its text and, for strings carried over, their runs and
// phonetic data exactly as read.
struct SstOut {
    const QString* text;
    const char* runs = nullptr;
    quint16 runCount = 0;
    const char* ext = nullptr;
    quint32 extLength = 0;
    bool hasExt = false;
};

// Appends SST (with CONTINUE records as needed) and EXTSST to the stream being
// built in out, which starts at stream position 0.
void writeSst(Buffer& out, const std::vector<SstOut>& strings, quint32 totalRefs);

} // namespace workbook::detail
