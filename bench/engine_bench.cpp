// The workbook engine on its own: the floor of merely reading a file's bytes,
// open-and-parse of every sheet, the first open in a fresh process, and the
// read-modify-write save of one record. Prints one line per run.
//
// bench_engine floor FILE RUNS          -> MS
// bench_engine parse FILE RUNS          -> MS NONEMPTY_CELLS  (freeing not timed)
// bench_engine first FILE               -> FIRST_MS SECOND_MS   (Sheet1 only, as the diary opens it)
// bench_engine save FILE DIR RUNS       -> MS                   (a copy of FILE in DIR)
#include "platform/workbook/Workbook.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

using workbook::Workbook;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

[[noreturn]] void fail(const char* what, const workbook::Error& e)
{
    std::fprintf(stderr, "bench_engine: %s failed (%d) %s\n", what, int(e.kind), qPrintable(e.detail));
    std::exit(1);
}

// What any reader has to do at least: get every byte into memory.
double readBytes(const char* path)
{
    const auto t0 = Clock::now();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0)
        std::exit(1);
    std::unique_ptr<char[]> buf(new char[size_t(st.st_size)]);
    for (off_t done = 0; done < st.st_size;) {
        const ssize_t n = ::read(fd, buf.get() + done, size_t(st.st_size - done));
        if (n <= 0)
            std::exit(1);
        done += n;
    }
    ::close(fd);
    const double ms = msSince(t0);
    volatile char sink = buf[size_t(st.st_size) / 2];
    (void)sink;
    return ms;
}

// Open-and-parse of every sheet; the book and tables are freed after the clock
// stops, as the diary keeps its workbook open.
double parseAll(const QString& path, long long* cells)
{
    const auto t0 = Clock::now();
    workbook::Error e;
    auto book = Workbook::open(path, &e);
    if (!book)
        fail("open", e);
    const QStringList sheets = book->sheetNames();
    std::vector<workbook::RecordTable> tables(size_t(sheets.size()));
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if (!book->readTable(sheets[i], &tables[size_t(i)], &e))
            fail("readTable", e);
    }
    const double ms = msSince(t0);
    *cells = 0;
    for (const workbook::RecordTable& t : tables) {
        for (const QString& name : t.columnNames)
            *cells += !name.isEmpty();
        for (const QStringList& rec : t.records)
            for (const QString& f : rec)
                *cells += !f.isEmpty();
    }
    return ms;
}

double openSheet1(const QString& path)
{
    const auto t0 = Clock::now();
    workbook::Error e;
    auto book = Workbook::open(path, &e);
    if (!book)
        fail("open", e);
    workbook::RecordTable t;
    if (!book->readTable(QStringLiteral("Sheet1"), &t, &e))
        fail("readTable", e);
    return msSince(t0); // taken before the book and table are freed
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);

    if (mode == QLatin1String("floor") && argc == 4) {
        for (int i = 0, n = std::atoi(argv[3]); i < n; ++i)
            std::printf("%.4f\n", readBytes(argv[2]));
    } else if (mode == QLatin1String("parse") && argc == 4) {
        for (int i = 0, n = std::atoi(argv[3]); i < n; ++i) {
            long long cells = 0;
            const double ms = parseAll(file, &cells);
            std::printf("%.4f %lld\n", ms, cells);
            std::fflush(stdout);
        }
    } else if (mode == QLatin1String("first") && argc == 3) {
        const double first = openSheet1(file);
        const double second = openSheet1(file);
        std::printf("%.4f %.4f\n", first, second);
    } else if (mode == QLatin1String("save") && argc == 5) {
        QTemporaryDir dir(QString::fromLocal8Bit(argv[3]) + QStringLiteral("/bench-save-XXXXXX"));
        const QString copy = dir.filePath(QStringLiteral("book.xls"));
        if (!dir.isValid() || !QFile::copy(file, copy))
            return 1;
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        workbook::Error e;
        auto book = Workbook::open(copy, &e);
        if (!book)
            fail("open", e);
        workbook::RecordTable t;
        if (!book->readTable(QStringLiteral("Sheet1"), &t, &e))
            fail("readTable", e);
        // The 18 text fields of one day in the middle: the most one page save writes.
        const int record = t.recordCount() / 2;
        QList<int> textColumns;
        for (int c = 0; c < t.columnNames.size(); ++c) {
            if (!t.columnNames[c].contains(QStringLiteral("色")) && t.columnNames[c] != QStringLiteral("天気"))
                textColumns << c;
        }
        for (int i = 0, n = std::atoi(argv[4]); i < n; ++i) {
            QList<workbook::FieldWrite> writes;
            for (int c : std::as_const(textColumns))
                writes.append({record, c, QStringLiteral("書き換え%1回目の%2\n二行目").arg(i).arg(c), false});
            const auto t0 = Clock::now();
            if (!book->writeFields(QStringLiteral("Sheet1"), writes, &e))
                fail("writeFields", e);
            std::printf("%.4f\n", msSince(t0));
            std::fflush(stdout);
        }
        book.reset();
        // The last save must be in the file.
        auto check = Workbook::open(copy, &e);
        workbook::RecordTable after;
        if (!check || !check->readTable(QStringLiteral("Sheet1"), &after, &e)
            || !after.field(record, textColumns.first()).startsWith(QStringLiteral("書き換え")))
            fail("verify", e);
    } else {
        return 2;
    }
    return 0;
}
