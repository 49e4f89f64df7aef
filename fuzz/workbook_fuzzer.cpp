// Raw bytes as nikki.xls: through the compound file, the workbook records and
// the shared strings to the day records, then one field written back.
#include "platform/workbook/Workbook.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString folder = QStringLiteral("/dev/shm/pravok-fuzz-%1").arg(::getpid());
    static const bool made = QDir().mkpath(folder);
    (void)made;
    const QString path = folder + QStringLiteral("/nikki.xls");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    workbook::Error error;
    auto book = workbook::Workbook::open(path, &error);
    if (!book)
        return 0;
    for (const QString& name : book->sheetNames()) {
        workbook::RecordTable table;
        if (!book->readTable(name, &table, &error))
            continue;
        for (int r = 0; r < table.recordCount(); ++r)
            (void)table.field(r, 0);
    }
    // What was read must also survive being written back.
    workbook::RecordTable sheet;
    if (book->readTable(QStringLiteral("Sheet1"), &sheet, &error)) {
        const QList<workbook::FieldWrite> writes{{0, 0, QStringLiteral("日記\nfuzz"), false},
                                                 {1, 1, QStringLiteral("-2147483640"), true}};
        book->writeFields(QStringLiteral("Sheet1"), writes, &error);
    }
    return 0;
}
