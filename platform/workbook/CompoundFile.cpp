#include "platform/workbook/CompoundFile.h"

#include "platform/workbook/Bytes.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <mutex>

namespace workbook::detail {

namespace {

constexpr char Signature[8] = {char(0xD0), char(0xCF), char(0x11), char(0xE0),
                               char(0xA1), char(0xB1), char(0x1A), char(0xE1)};
constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 NoStream = 0xFFFFFFFF;
constexpr int HeaderSize = 512;
constexpr int SectorSize = 512;
constexpr int MiniSectorSize = 64;
constexpr quint32 MiniStreamCutoff = 4096;
constexpr int HeaderDifatEntries = 109;
// libgsf reads the directory tree recursively; a deeper tree would exhaust its stack.
constexpr int MaxTreeDepth = 2000;

void ensureGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// Walks sector chains with loop detection. Each chain walk gets a fresh
// generation number, so no per-chain clearing is needed; the step budget keeps
// crafted files with many entries sharing one long chain from taking quadratic time.
class ChainWalker {
public:
    ChainWalker(const std::vector<quint32>& table, quint32 usable)
        : m_table(table), m_usable(std::min<quint64>(usable, table.size())), m_seen(m_usable, 0),
          m_budget(2 * qint64(m_usable) + 64) {}

    // Length of the chain from start, or -1 when it leaves the table, loops or
    // ends with anything but the end-of-chain mark.
    qint64 walk(quint32 start, std::vector<quint32>* sectors = nullptr)
    {
        ++m_generation;
        qint64 length = 0;
        for (quint32 s = start; s != EndOfChain; s = m_table[s]) {
            if (s >= m_usable || m_seen[s] == m_generation || --m_budget < 0)
                return -1;
            m_seen[s] = m_generation;
            ++length;
            if (sectors)
                sectors->push_back(s);
        }
        return length;
    }

private:
    const std::vector<quint32>& m_table;
    quint32 m_usable;
    std::vector<quint32> m_seen;
    quint32 m_generation = 0;
    qint64 m_budget;
};

struct GsfUnref {
    void operator()(gpointer object) const { if (object) g_object_unref(object); }
};
template <typename T>
using GsfPtr = std::unique_ptr<T, GsfUnref>;

// A stream whose bytes are taken from the file without copying.
struct View {
    QByteArray name;
    QByteArray data;
};

bool readStorage(GsfInfile* storage, CompoundEntry* entry, QString* problem, const View* view)
{
    entry->isStorage = true;
    if (GSF_IS_INFILE_MSOLE(storage)) {
        guint8 id[16];
        if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), id))
            entry->classId = QByteArray(reinterpret_cast<const char*>(id), 16);
    }
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i) {
        GsfPtr<GsfInput> child(gsf_infile_child_by_index(storage, i));
        const char* name = gsf_infile_name_by_index(storage, i);
        if (!child || !name) {
            *problem = QStringLiteral("compound file entry %1 cannot be opened").arg(i);
            return false;
        }
        CompoundEntry sub;
        sub.name = QByteArray(name);
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            if (!readStorage(GSF_INFILE(child.get()), &sub, problem, nullptr))
                return false;
        } else if (view && sub.name.compare(view->name, Qt::CaseInsensitive) == 0
                   && gsf_input_size(child.get()) == view->data.size()) {
            sub.data = view->data;
        } else {
            const gsf_off_t size = gsf_input_size(child.get());
            sub.data.resize(qsizetype(size));
            if (size > 0 && !gsf_input_read(child.get(), size_t(size), reinterpret_cast<guint8*>(sub.data.data()))) {
                *problem = QStringLiteral("stream \"%1\" cannot be read").arg(QString::fromUtf8(sub.name));
                return false;
            }
        }
        entry->children.push_back(std::move(sub));
    }
    return true;
}

bool writeStorage(GsfOutfile* storage, const CompoundEntry& entry)
{
    for (const CompoundEntry& child : entry.children) {
        GsfPtr<GsfOutput> out(gsf_outfile_new_child(storage, child.name.constData(), child.isStorage));
        if (!out)
            return false;
        bool ok = true;
        if (child.isStorage) {
            if (child.classId.size() == 16)
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out.get()),
                                               reinterpret_cast<const guint8*>(child.classId.constData()));
            ok = writeStorage(GSF_OUTFILE(out.get()), child);
        } else if (!child.data.isEmpty()) {
            ok = gsf_output_write(out.get(), size_t(child.data.size()),
                                  reinterpret_cast<const guint8*>(child.data.constData()));
        }
        ok = gsf_output_close(out.get()) && ok;
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

CompoundEntry* CompoundEntry::findStream(const QByteArray& wanted)
{
    for (CompoundEntry& child : children)
        if (!child.isStorage && child.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &child;
    return nullptr;
}

const CompoundEntry* CompoundEntry::findStream(const QByteArray& wanted) const
{
    return const_cast<CompoundEntry*>(this)->findStream(wanted);
}

const CompoundEntry* CompoundEntry::findEntry(const QByteArray& wanted) const
{
    for (const CompoundEntry& child : children)
        if (child.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &child;
    return nullptr;
}

bool looksLikeCompoundFile(const QByteArray& file)
{
    return file.size() >= 8 && std::memcmp(file.constData(), Signature, 8) == 0;
}

QString compoundFileProblem(const QByteArray& file, const QString& extentOf, StreamExtent* extent)
{
    if (file.size() < HeaderSize || !looksLikeCompoundFile(file))
        return QStringLiteral("the compound file header is incomplete");
    const char* h = file.constData();
    if (u16(h + 0x1C) != 0xFFFE)
        return QStringLiteral("bad byte order mark");
    if (u16(h + 0x1E) != 9)
        return QStringLiteral("unsupported sector size 2^%1").arg(u16(h + 0x1E));
    if (u16(h + 0x20) != 6 || u32(h + 0x38) != MiniStreamCutoff)
        return QStringLiteral("unsupported mini sector layout");

    // Whole sectors only: libgsf cannot read a partial last sector.
    const quint32 sectorCount = quint32((file.size() - HeaderSize) / SectorSize);
    auto sector = [&](quint32 s) { return h + HeaderSize + qsizetype(s) * SectorSize; };
    const quint32 fatCount = u32(h + 0x2C);
    const quint32 dirStart = u32(h + 0x30);
    const quint32 miniFatStart = u32(h + 0x3C);
    const quint32 miniFatCount = u32(h + 0x40);
    quint32 difatNext = u32(h + 0x44);
    const quint32 difatCount = u32(h + 0x48);
    if (fatCount == 0 || fatCount > sectorCount || difatCount > sectorCount || miniFatCount > sectorCount)
        return QStringLiteral("sector counts exceed the file (%1 sectors)").arg(sectorCount);

    // FAT sector numbers: 109 in the header, then DIFAT sectors of 127 and a link.
    std::vector<quint32> fatSectors;
    fatSectors.reserve(fatCount);
    for (quint32 i = 0; i < std::min<quint32>(fatCount, HeaderDifatEntries); ++i)
        fatSectors.push_back(u32(h + 0x4C + 4 * i));
    quint32 remaining = fatCount - quint32(fatSectors.size());
    std::vector<char> difatSeen(sectorCount, 0);
    for (quint32 k = 0; k < difatCount; ++k) {
        if (difatNext >= sectorCount || difatSeen[difatNext])
            return QStringLiteral("broken DIFAT chain");
        difatSeen[difatNext] = 1;
        const char* d = sector(difatNext);
        const bool last = k + 1 == difatCount;
        if ((last && remaining > 127) || (!last && remaining < 127))
            return QStringLiteral("DIFAT sector count does not match the FAT");
        const quint32 take = last ? remaining : 127;
        for (quint32 i = 0; i < take; ++i)
            fatSectors.push_back(u32(d + 4 * i));
        remaining -= take;
        difatNext = u32(d + 4 * 127);
    }
    if (remaining != 0)
        return QStringLiteral("the FAT is incomplete");

    std::vector<quint32> fat;
    fat.reserve(size_t(fatCount) * (SectorSize / 4));
    for (quint32 s : fatSectors) {
        if (s >= sectorCount)
            return QStringLiteral("FAT sector %1 lies beyond the end of the file").arg(s);
        const char* d = sector(s);
        for (int i = 0; i < SectorSize / 4; ++i)
            fat.push_back(u32(d + 4 * i));
    }

    // libgsf checks every entry, used or not: refuse what it would complain about.
    auto invalidEntry = [](const std::vector<quint32>& table) {
        return std::any_of(table.begin(), table.end(),
                           [&](quint32 e) { return e >= table.size() && e < 0xFFFFFFFC; });
    };
    if (invalidEntry(fat))
        return QStringLiteral("the FAT holds an impossible sector number");

    ChainWalker big(fat, sectorCount);
    std::vector<quint32> dirSectors;
    if (big.walk(dirStart, &dirSectors) <= 0)
        return QStringLiteral("broken directory chain");
    const quint32 entryCount = quint32(dirSectors.size() * (SectorSize / 128));
    auto entry = [&](quint32 i) { return sector(dirSectors[i / 4]) + (i % 4) * 128; };

    const char* root = entry(0);
    if (u8(root + 0x42) != 5)
        return QStringLiteral("the first directory entry is not the root");
    if (u32(root + 0x44) != NoStream || u32(root + 0x48) != NoStream)
        return QStringLiteral("the root has siblings");
    const quint32 rootSize = u32(root + 0x78);
    if (rootSize > quint64(file.size()))
        return QStringLiteral("the mini stream is larger than the file");
    if (rootSize > 0) {
        const qint64 length = big.walk(u32(root + 0x74));
        if (length < 0 || length * SectorSize < qint64(rootSize))
            return QStringLiteral("broken mini stream chain");
    }
    std::vector<quint32> miniFat;
    std::vector<quint32> miniFatSectors;
    if (miniFatStart != EndOfChain) {
        if (big.walk(miniFatStart, &miniFatSectors) < 0)
            return QStringLiteral("broken mini FAT chain");
        for (quint32 s : miniFatSectors)
            for (int i = 0; i < SectorSize / 4; ++i)
                miniFat.push_back(u32(sector(s) + 4 * i));
    }
    if (invalidEntry(miniFat))
        return QStringLiteral("the mini FAT holds an impossible sector number");
    ChainWalker mini(miniFat, rootSize / MiniSectorSize);

    std::vector<quint32> topLevelSizes;
    std::vector<char> visited(entryCount, 0);
    visited[0] = 1;
    struct Pending {
        quint32 index;
        int depth;
        bool topLevel;
    };
    std::vector<Pending> pending;
    if (u32(root + 0x4C) != NoStream)
        pending.push_back({u32(root + 0x4C), 1, true});
    while (!pending.empty()) {
        const auto [index, depth, topLevel] = pending.back();
        pending.pop_back();
        if (index >= entryCount || visited[index])
            return QStringLiteral("broken directory tree at entry %1").arg(index);
        if (depth > MaxTreeDepth)
            return QStringLiteral("directory tree too deep");
        visited[index] = 1;
        const char* e = entry(index);
        const quint8 type = u8(e + 0x42);
        const quint16 nameLength = u16(e + 0x40);
        if (type != 1 && type != 2)
            return QStringLiteral("directory entry %1 has type %2").arg(index).arg(type);
        if (nameLength < 2 || nameLength > 64 || nameLength % 2 || u16(e + nameLength - 2) != 0)
            return QStringLiteral("directory entry %1 has a bad name").arg(index);
        if (type == 2) {
            const quint32 size = u32(e + 0x78);
            if (topLevel)
                topLevelSizes.push_back(size);
            if (size > quint64(file.size()))
                return QStringLiteral("stream %1 is larger than the file").arg(index);
            if (size < MiniStreamCutoff) {
                // libgsf copies a small stream's whole chain into a buffer of the cutoff size.
                const qint64 length = mini.walk(u32(e + 0x74));
                if (length < 0 || length * MiniSectorSize < size || length * MiniSectorSize > MiniStreamCutoff)
                    return QStringLiteral("broken mini sector chain of stream %1").arg(index);
            } else {
                const bool wanted = extent && topLevel
                                    && QString::fromUtf16(reinterpret_cast<const char16_t*>(e), nameLength / 2 - 1)
                                               .compare(extentOf, Qt::CaseInsensitive) == 0;
                std::vector<quint32> sectors;
                const qint64 length = big.walk(u32(e + 0x74), wanted ? &sectors : nullptr);
                if (length < 0 || length * SectorSize < qint64(size))
                    return QStringLiteral("broken sector chain of stream %1").arg(index);
                if (wanted && std::adjacent_find(sectors.begin(), sectors.end(), [](quint32 a, quint32 b) {
                                  return b != a + 1;
                              }) == sectors.end()) {
                    extent->offset = HeaderSize + qint64(sectors.front()) * SectorSize;
                    extent->size = size;
                }
            }
        } else if (u32(e + 0x4C) != NoStream) {
            pending.push_back({u32(e + 0x4C), depth + 1, false});
        }
        for (int link : {0x44, 0x48})
            if (u32(e + link) != NoStream)
                pending.push_back({u32(e + link), depth + 1, topLevel});
    }
    // The view goes to the stream of that name and size as libgsf names it:
    // another top-level stream of the same size could be given it too.
    if (extent && extent->offset >= 0
        && std::count(topLevelSizes.begin(), topLevelSizes.end(), quint32(extent->size)) > 1)
        *extent = StreamExtent();
    return QString();
}

bool readCompoundFile(const QByteArray& file, CompoundEntry* root, Error* error, const QString& viewOf)
{
    if (!looksLikeCompoundFile(file)) {
        *error = {ErrorKind::NotWorkbook, QStringLiteral("not a compound file")};
        return false;
    }
    StreamExtent extent;
    QString problem = compoundFileProblem(file, viewOf, viewOf.isEmpty() ? nullptr : &extent);
    View view;
    if (extent.offset >= 0) {
        // The largest stream is used in place: copying it costs as much as parsing it.
        view.name = viewOf.toUtf8();
        view.data = QByteArray::fromRawData(file.constData() + extent.offset, qsizetype(extent.size));
    }
    if (problem.isEmpty()) {
        ensureGsf();
        // The bytes stay owned by the caller's QByteArray, which ends in a NUL:
        // libgsf's name sniffing stops there at the latest.
        GsfPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()),
                                                    gsf_off_t(file.size()), FALSE));
        GError* gerror = nullptr;
        GsfPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &gerror));
        if (!ole) {
            problem = gerror ? QString::fromUtf8(gerror->message) : QStringLiteral("libgsf refused the file");
            if (gerror)
                g_error_free(gerror);
        } else {
            *root = CompoundEntry();
            if (readStorage(ole.get(), root, &problem, extent.offset >= 0 ? &view : nullptr))
                return true;
        }
    }
    *error = {ErrorKind::Damaged, QStringLiteral("damaged compound file: ") + problem};
    return false;
}

bool writeCompoundFile(const CompoundEntry& root, QByteArray* file, Error* error)
{
    ensureGsf();
    GsfPtr<GsfOutput> sink(gsf_output_memory_new());
    bool ok = false;
    {
        GsfPtr<GsfOutfile> ole(gsf_outfile_msole_new(sink.get()));
        if (ole) {
            if (root.classId.size() == 16)
                gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole.get()),
                                               reinterpret_cast<const guint8*>(root.classId.constData()));
            ok = writeStorage(ole.get(), root);
            ok = gsf_output_close(GSF_OUTPUT(ole.get())) && ok;
        }
    }
    if (ok) {
        const gsf_off_t size = gsf_output_size(sink.get());
        const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
        *file = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size));
    }
    // Closing the compound file closed the sink too; its bytes live until it is freed.
    if (!ok)
        *error = {ErrorKind::WriteFailed, QStringLiteral("the compound file could not be assembled")};
    return ok;
}

QByteArray excelClassId()
{
    // {00020820-0000-0000-C000-000000000046}, stored in its mixed-endian layout.
    static const char id[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                char(0xC0), 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    return QByteArray(id, 16);
}

} // namespace workbook::detail
