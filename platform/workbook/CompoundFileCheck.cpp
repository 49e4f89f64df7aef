// The compound file's structure checked before libgsf follows it: header,
// FAT and DIFAT, directory chain and tree, mini stream and every stream's chain.
// Sectors are of 512 bytes (version 3) or 4096 (version 4, whose header sector
// is padded to that size); libgsf 1.14.50 reads both. The last sector may end
// early, after the bytes of the stream it holds, as some writers leave it:
// libgsf reads a stream's bytes only, but the FAT, DIFAT, directory and mini
// FAT sectors in whole.
#include "platform/workbook/CompoundFile.h"

#include "platform/workbook/Bytes.h"

#include <algorithm>
#include <optional>

namespace workbook::detail {

namespace {

constexpr char Signature[8] = {char(0xD0), char(0xCF), char(0x11), char(0xE0),
                               char(0xA1), char(0xB1), char(0x1A), char(0xE1)};
constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 NoStream = 0xFFFFFFFF;
constexpr int HeaderSize = 512;
constexpr int MiniSectorSize = 64;
constexpr quint32 MiniStreamCutoff = 4096;
constexpr int HeaderDifatEntries = 109;
// libgsf reads the directory tree recursively; a deeper tree would exhaust its stack.
constexpr int MaxTreeDepth = 2000;

// Walks sector chains with loop detection. Each chain walk gets a fresh
// generation number, so no per-chain clearing is needed; the step budget keeps
// crafted files with many entries sharing one long chain from taking quadratic time.
class ChainWalker {
public:
    // shortSector is the one that ends early, if any (else NoStream).
    ChainWalker(const std::vector<quint32>& table, quint32 usable, quint32 shortSector = NoStream)
        : m_table(table)
        , m_usable(std::min<quint64>(usable, table.size()))
        , m_short(shortSector)
        , m_seen(m_usable, 0)
        , m_budget(2 * qint64(m_usable) + 64)
    {
    }

    // Length of the chain from start, or -1 when it leaves the table, loops or
    // ends with anything but the end-of-chain mark.
    qint64 walk(quint32 start, std::vector<quint32>* sectors = nullptr)
    {
        ++m_generation;
        m_shortAt = -1;
        qint64 length = 0;
        for (quint32 s = start; s != EndOfChain; s = m_table[s]) {
            if (s >= m_usable || m_seen[s] == m_generation || --m_budget < 0)
                return -1;
            m_seen[s] = m_generation;
            if (s == m_short)
                m_shortAt = length;
            ++length;
            if (sectors)
                sectors->push_back(s);
        }
        return length;
    }
    // Where the last chain walked holds the short sector, or -1.
    qint64 shortAt() const { return m_shortAt; }

private:
    const std::vector<quint32>& m_table;
    quint32 m_usable;
    quint32 m_short;
    qint64 m_shortAt = -1;
    std::vector<quint32> m_seen;
    quint32 m_generation = 0;
    qint64 m_budget;
};

// libgsf checks every entry, used or not: refuse what it would complain about.
bool invalidEntry(const std::vector<quint32>& table)
{
    return std::any_of(table.begin(), table.end(), [&](quint32 e) { return e >= table.size() && e < 0xFFFFFFFC; });
}

// Each step returns an empty text when sound, else the problem; the steps
// run in order, each using what the ones before found.
class Checker {
public:
    Checker(const QByteArray& file, const QString& extentOf, StreamExtent* extent)
        : m_file(file)
        , m_h(file.constData())
        , m_extentOf(extentOf)
        , m_extent(extent)
    {
    }

    QString run()
    {
        for (QString (Checker::*step)() : {&Checker::header, &Checker::fatSectors, &Checker::fat, &Checker::directory,
                                           &Checker::miniStream, &Checker::tree}) {
            const QString problem = (this->*step)();
            if (!problem.isEmpty())
                return problem;
        }
        return QString();
    }

private:
    struct Pending {
        quint32 index;
        int depth;
        bool topLevel;
    };

    qint64 sectorOffset(quint32 s) const { return m_firstSector + qint64(s) * m_sectorSize; }
    const char* sector(quint32 s) const { return m_h + sectorOffset(s); }
    const char* entry(quint32 i) const
    {
        return sector(m_dirSectors[i / (m_sectorSize / 128)]) + (i % (m_sectorSize / 128)) * 128;
    }
    // Whether the bytes of a stream of this size lie in the file, its chain just walked.
    bool inFile(quint64 size) const
    {
        return m_big->shortAt() < 0 || size <= quint64(m_big->shortAt()) * m_sectorSize + m_shortBytes;
    }

    QString header();
    QString fatSectors();
    QString fat();
    QString directory();
    QString miniStream();
    QString tree();
    QString treeEntry(const Pending& at);
    QString streamChain(const char* e, quint32 index, bool topLevel);
    QString miniChain(const char* e, quint32 index, quint32 size);
    void dropAmbiguousExtent();

    const QByteArray& m_file;
    const char* m_h;
    const QString& m_extentOf;
    StreamExtent* m_extent;
    int m_sectorSize = 512;
    qint64 m_firstSector = HeaderSize; // the header sector is padded to the sector size
    quint32 m_sectorCount = 0;         // sectors in the file, the short one counted
    quint32 m_wholeSectors = 0;
    qint64 m_shortBytes = 0; // of the short sector, if any
    std::vector<quint32> m_fatSectors;
    std::vector<quint32> m_fat;
    std::optional<ChainWalker> m_big;
    std::vector<quint32> m_dirSectors;
    quint32 m_entryCount = 0;
    quint32 m_rootSize = 0;
    qint64 m_miniInFile = 0xFFFFFFFF; // how much of the mini stream lies in the file
    std::vector<quint32> m_miniSectors;
    std::vector<quint32> m_miniFat;
    std::optional<ChainWalker> m_mini;
    std::vector<quint32> m_topLevelSizes;
    std::vector<char> m_visited;
    std::vector<Pending> m_pending;
};

QString Checker::header()
{
    if (m_file.size() < HeaderSize || !looksLikeCompoundFile(m_file))
        return QStringLiteral("the compound file header is incomplete");
    // FE FF; some writers put it the wrong way round, which the other readers ignore.
    if (u16(m_h + 0x1C) != 0xFFFE && u16(m_h + 0x1C) != 0xFEFF)
        return QStringLiteral("bad byte order mark");
    const quint16 shift = u16(m_h + 0x1E);
    if (shift != 9 && shift != 12)
        return QStringLiteral("unsupported sector size 2^%1").arg(shift);
    if (u16(m_h + 0x20) != 6 || u32(m_h + 0x38) != MiniStreamCutoff)
        return QStringLiteral("unsupported mini sector layout");
    m_sectorSize = 1 << shift;
    m_firstSector = std::max(HeaderSize, m_sectorSize);
    if (m_file.size() < m_firstSector)
        return QStringLiteral("the compound file header is incomplete");
    const qint64 body = m_file.size() - m_firstSector;
    m_wholeSectors = quint32(body / m_sectorSize);
    m_shortBytes = body % m_sectorSize;
    m_sectorCount = m_wholeSectors + (m_shortBytes > 0 ? 1 : 0);
    const quint32 fatCount = u32(m_h + 0x2C);
    const quint32 difatCount = u32(m_h + 0x48);
    const quint32 miniFatCount = u32(m_h + 0x40);
    if (fatCount == 0 || fatCount > m_sectorCount || difatCount > m_sectorCount || miniFatCount > m_sectorCount)
        return QStringLiteral("sector counts exceed the file (%1 sectors)").arg(m_sectorCount);
    return QString();
}

// FAT sector numbers: 109 in the header, then DIFAT sectors of 127 (or 1023) and a link.
QString Checker::fatSectors()
{
    const quint32 fatCount = u32(m_h + 0x2C);
    quint32 difatNext = u32(m_h + 0x44);
    const quint32 difatCount = u32(m_h + 0x48);
    m_fatSectors.reserve(fatCount);
    for (quint32 i = 0; i < std::min<quint32>(fatCount, HeaderDifatEntries); ++i)
        m_fatSectors.push_back(u32(m_h + 0x4C + 4 * i));
    quint32 remaining = fatCount - quint32(m_fatSectors.size());
    const quint32 perSector = quint32(m_sectorSize / 4 - 1);
    std::vector<char> difatSeen(m_wholeSectors, 0);
    for (quint32 k = 0; k < difatCount; ++k) {
        if (difatNext >= m_wholeSectors || difatSeen[difatNext])
            return QStringLiteral("broken DIFAT chain");
        difatSeen[difatNext] = 1;
        const char* d = sector(difatNext);
        const bool last = k + 1 == difatCount;
        if ((last && remaining > perSector) || (!last && remaining < perSector))
            return QStringLiteral("DIFAT sector count does not match the FAT");
        const quint32 take = last ? remaining : perSector;
        for (quint32 i = 0; i < take; ++i)
            m_fatSectors.push_back(u32(d + 4 * i));
        remaining -= take;
        difatNext = u32(d + 4 * perSector);
    }
    if (remaining != 0)
        return QStringLiteral("the FAT is incomplete");
    return QString();
}

QString Checker::fat()
{
    m_fat.reserve(size_t(u32(m_h + 0x2C)) * (m_sectorSize / 4));
    for (quint32 s : m_fatSectors) {
        if (s >= m_wholeSectors)
            return QStringLiteral("FAT sector %1 lies beyond the end of the file").arg(s);
        const char* d = sector(s);
        for (int i = 0; i < m_sectorSize / 4; ++i)
            m_fat.push_back(u32(d + 4 * i));
    }
    if (invalidEntry(m_fat))
        return QStringLiteral("the FAT holds an impossible sector number");
    // One walker for every chain in the FAT: its step budget covers them all.
    m_big.emplace(m_fat, m_sectorCount, m_shortBytes > 0 ? m_wholeSectors : NoStream);
    return QString();
}

// The directory's chain and its root entry, which holds the mini stream.
QString Checker::directory()
{
    if (m_big->walk(u32(m_h + 0x30), &m_dirSectors) <= 0 || m_big->shortAt() >= 0)
        return QStringLiteral("broken directory chain");
    m_entryCount = quint32(m_dirSectors.size() * (m_sectorSize / 128));
    const char* root = entry(0);
    if (u8(root + 0x42) != 5)
        return QStringLiteral("the first directory entry is not the root");
    if (u32(root + 0x44) != NoStream || u32(root + 0x48) != NoStream)
        return QStringLiteral("the root has siblings");
    m_rootSize = u32(root + 0x78);
    if (m_rootSize > quint64(m_file.size()))
        return QStringLiteral("the mini stream is larger than the file");
    if (m_rootSize > 0) {
        const qint64 length = m_big->walk(u32(root + 0x74));
        if (length < 0 || length * m_sectorSize < qint64(m_rootSize))
            return QStringLiteral("broken mini stream chain");
        if (!inFile(m_rootSize))
            m_miniInFile = m_big->shortAt() * m_sectorSize + m_shortBytes;
    }
    return QString();
}

QString Checker::miniStream()
{
    const quint32 miniFatStart = u32(m_h + 0x3C);
    if (miniFatStart != EndOfChain) {
        std::vector<quint32> miniFatSectors;
        if (m_big->walk(miniFatStart, &miniFatSectors) < 0 || m_big->shortAt() >= 0)
            return QStringLiteral("broken mini FAT chain");
        for (quint32 s : miniFatSectors)
            for (int i = 0; i < m_sectorSize / 4; ++i)
                m_miniFat.push_back(u32(sector(s) + 4 * i));
    }
    if (invalidEntry(m_miniFat))
        return QStringLiteral("the mini FAT holds an impossible sector number");
    m_mini.emplace(m_miniFat, m_rootSize / MiniSectorSize);
    return QString();
}

// Every entry reachable from the root, each once, none too deep.
QString Checker::tree()
{
    m_visited.assign(m_entryCount, 0);
    m_visited[0] = 1;
    const char* root = entry(0);
    if (u32(root + 0x4C) != NoStream)
        m_pending.push_back({u32(root + 0x4C), 1, true});
    while (!m_pending.empty()) {
        const Pending at = m_pending.back();
        m_pending.pop_back();
        const QString problem = treeEntry(at);
        if (!problem.isEmpty())
            return problem;
    }
    dropAmbiguousExtent();
    return QString();
}

QString Checker::treeEntry(const Pending& at)
{
    const auto [index, depth, topLevel] = at;
    if (index >= m_entryCount || m_visited[index])
        return QStringLiteral("broken directory tree at entry %1").arg(index);
    if (depth > MaxTreeDepth)
        return QStringLiteral("directory tree too deep");
    m_visited[index] = 1;
    const char* e = entry(index);
    const quint8 type = u8(e + 0x42);
    const quint16 nameLength = u16(e + 0x40);
    if (type != 1 && type != 2)
        return QStringLiteral("directory entry %1 has type %2").arg(index).arg(type);
    if (nameLength < 2 || nameLength > 64 || nameLength % 2 || u16(e + nameLength - 2) != 0)
        return QStringLiteral("directory entry %1 has a bad name").arg(index);
    if (type == 2) {
        const QString problem = streamChain(e, index, topLevel);
        if (!problem.isEmpty())
            return problem;
    } else if (u32(e + 0x4C) != NoStream) {
        m_pending.push_back({u32(e + 0x4C), depth + 1, false});
    }
    for (int link : {0x44, 0x48})
        if (u32(e + link) != NoStream)
            m_pending.push_back({u32(e + link), depth + 1, topLevel});
    return QString();
}

// A stream's chain, in the mini stream or in the file's sectors; the extent
// asked for when this is that stream and its sectors follow each other.
QString Checker::streamChain(const char* e, quint32 index, bool topLevel)
{
    const quint32 size = u32(e + 0x78);
    if (topLevel)
        m_topLevelSizes.push_back(size);
    if (size > quint64(m_file.size()))
        return QStringLiteral("stream %1 is larger than the file").arg(index);
    if (size < MiniStreamCutoff)
        return miniChain(e, index, size);
    const quint16 nameLength = u16(e + 0x40);
    const bool wanted = m_extent && topLevel
                        && QString::fromUtf16(reinterpret_cast<const char16_t*>(e), nameLength / 2 - 1)
                                   .compare(m_extentOf, Qt::CaseInsensitive)
                               == 0;
    std::vector<quint32> sectors;
    const qint64 length = m_big->walk(u32(e + 0x74), wanted ? &sectors : nullptr);
    if (length < 0 || length * m_sectorSize < qint64(size))
        return QStringLiteral("broken sector chain of stream %1").arg(index);
    if (!inFile(size))
        return QStringLiteral("stream %1 runs past the end of the file").arg(index);
    if (wanted && std::adjacent_find(sectors.begin(), sectors.end(), [](quint32 a, quint32 b) {
                      return b != a + 1;
                  }) == sectors.end()) {
        m_extent->offset = sectorOffset(sectors.front());
        m_extent->size = size;
    }
    return QString();
}

// A small stream's chain in the mini stream, whose bytes must lie in the file.
QString Checker::miniChain(const char* e, quint32 index, quint32 size)
{
    m_miniSectors.clear();
    // libgsf copies a small stream's whole chain into a buffer of the cutoff size.
    const qint64 length = m_mini->walk(u32(e + 0x74), &m_miniSectors);
    if (length < 0 || length * MiniSectorSize < size || length * MiniSectorSize > MiniStreamCutoff)
        return QStringLiteral("broken mini sector chain of stream %1").arg(index);
    for (qint64 k = 0; k * MiniSectorSize < size; ++k) {
        const qint64 end =
            qint64(m_miniSectors[k]) * MiniSectorSize + std::min<qint64>(MiniSectorSize, size - k * MiniSectorSize);
        if (end > m_miniInFile)
            return QStringLiteral("stream %1 runs past the end of the file").arg(index);
    }
    return QString();
}

// The view goes to the stream of that name and size as libgsf names it:
// another top-level stream of the same size could be given it too.
void Checker::dropAmbiguousExtent()
{
    if (m_extent && m_extent->offset >= 0
        && std::count(m_topLevelSizes.begin(), m_topLevelSizes.end(), quint32(m_extent->size)) > 1)
        *m_extent = StreamExtent();
}

} // namespace

bool looksLikeCompoundFile(const QByteArray& file)
{
    return file.size() >= 8 && std::memcmp(file.constData(), Signature, 8) == 0;
}

QString compoundFileProblem(const QByteArray& file, const QString& extentOf, StreamExtent* extent)
{
    return Checker(file, extentOf, extent).run();
}

} // namespace workbook::detail
