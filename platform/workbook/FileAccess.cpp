#include "platform/workbook/FileAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbook {

namespace {

bool failed(WriteFailure* failure, QFileDevice::FileError error, const QString& detail)
{
    *failure = {error, detail};
    return false;
}

// Flushes the folder so that the rename itself survives a power loss.
void syncFolder(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, WriteFailure* failure)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(failure, file.error(), file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(failure, QFileDevice::ResourceError, why);
    }
    if (::fsync(file.handle()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return failed(failure, QFileDevice::ResourceError, why);
    }
    if (!file.commit())
        return failed(failure, file.error(), file.errorString());
    syncFolder(path);
    return true;
}

} // namespace workbook

namespace workbook::detail {

namespace {

// Only a regular file: opening a pipe waits for a writer forever, and a
// device such as /dev/zero never ends.
bool checkRegularFile(const QString& path, Error* error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = {ErrorKind::Missing, QStringLiteral("no file at %1").arg(path)};
        return false;
    }
    if (info.isDir()) {
        *error = {ErrorKind::Unreadable, QStringLiteral("%1 is a folder").arg(path)};
        return false;
    }
    if (!info.isFile()) {
        *error = {ErrorKind::Unreadable, QStringLiteral("%1 is not a regular file").arg(path)};
        return false;
    }
    return true;
}

// Transparent huge pages, where the system offers them, spare the thousands
// of page faults of reading a large file.
void adviseHugePages(QByteArray& data)
{
    constexpr quintptr HugePage = 2 * 1024 * 1024;
    if (data.size() >= qsizetype(4 * HugePage)) {
        const quintptr start = (quintptr(data.data()) + HugePage - 1) & ~(HugePage - 1);
        const quintptr end = (quintptr(data.data()) + quintptr(data.size())) & ~(HugePage - 1);
        if (end > start)
            ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
}

} // namespace

Error tooLarge(qint64 size)
{
    return {
        ErrorKind::Unreadable,
        QStringLiteral("the file holds %1 bytes, more than the %2 a workbook may hold").arg(size).arg(MaxFileBytes)};
}

bool readWholeFile(const QString& path, QByteArray* bytes, Error* error)
{
    if (!checkRegularFile(path, error))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = {ErrorKind::Unreadable, file.errorString()};
        return false;
    }
    // Read into a buffer of the file's size.
    const qint64 expected = file.size();
    if (expected > MaxFileBytes) {
        *error = tooLarge(expected);
        return false;
    }
    QByteArray data(qsizetype(expected), Qt::Uninitialized);
    adviseHugePages(data);
    qint64 done = 0;
    while (done < expected) {
        const qint64 n = file.read(data.data() + done, expected - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = {ErrorKind::Unreadable, file.errorString()};
        return false;
    }
    data.truncate(qsizetype(done));
    // A file that grew while being read is taken whole, up to the limit; in
    // chunks, as QIODevice::read(n) allocates all n bytes at once.
    QByteArray rest;
    char chunk[65536];
    for (qint64 n; (n = file.read(chunk, sizeof chunk)) > 0;) {
        rest.append(chunk, qsizetype(n));
        if (done + rest.size() > MaxFileBytes) {
            *error = tooLarge(done + rest.size());
            return false;
        }
    }
    if (file.error() != QFileDevice::NoError) {
        *error = {ErrorKind::Unreadable, file.errorString()};
        return false;
    }
    *bytes = rest.isEmpty() ? std::move(data) : data + rest;
    return true;
}

// Whether the regular file at path holds exactly these bytes, read and
// compared a chunk at a time: no second full-size buffer to allocate and fault
// in. False also when unsure; the caller then reads the file whole.
bool sameOnDisk(const QString& path, const QByteArray& expected)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: a FIFO put in the file's place must not stall the open.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == expected.size();
    constexpr qsizetype Chunk = 1 << 20;
    std::unique_ptr<char[]> buffer(same ? new char[Chunk] : nullptr);
    for (qsizetype done = 0; same;) {
        const ssize_t n = ::read(fd, buffer.get(), size_t(Chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            same = n == 0 && done == expected.size();
            break;
        }
        same = done + n <= expected.size() && std::memcmp(buffer.get(), expected.constData() + done, size_t(n)) == 0;
        done += n;
    }
    ::close(fd);
    return same;
}

} // namespace workbook::detail
