#include "platform/workbook/CompoundFile.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <memory>
#include <mutex>

namespace workbook::detail {

namespace {

void ensureGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

struct GsfUnref {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
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
        GsfPtr<GsfInput> input(
            gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()), gsf_off_t(file.size()), FALSE));
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
    static const char id[16] = {0x20,       0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                char(0xC0), 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    return QByteArray(id, 16);
}

} // namespace workbook::detail
