// libgsf before Qt: glib names a struct member "signals", which Qt defines away.
#include <gsf/gsf.h>

#include "support/Biff.h"

#include <algorithm>
#include <cstring>

namespace biff {

QByteArray le16(quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); }

QByteArray le32(quint32 v) { return le16(quint16(v & 0xFFFF)) + le16(quint16(v >> 16)); }

QByteArray f64(double v)
{
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &v, 8); // the test machines are little-endian, as the format is
    return b;
}

QByteArray utf16(const QString& s)
{
    QByteArray b;
    for (QChar c : s)
        b += le16(c.unicode());
    return b;
}

QByteArray record(quint16 type, const QByteArray& data) { return le16(type) + le16(quint16(data.size())) + data; }

QByteArray bof(quint16 kind, quint16 version)
{
    return record(0x0809, le16(version) + le16(kind) + le32(0) + le32(0) + le32(0));
}

QByteArray eof() { return record(0x000A, {}); }

QByteArray cellHeader(int row, int col, int xf) { return le16(quint16(row)) + le16(quint16(col)) + le16(quint16(xf)); }

QByteArray labelSst(int row, int col, quint32 index) { return record(0x00FD, cellHeader(row, col) + le32(index)); }

QByteArray workbookStream(const QByteArray& globals, const QList<std::pair<QString, QByteArray>>& sheets)
{
    QByteArray s = bof(0x0005) + globals;
    QList<qsizetype> boundAt;
    for (const auto& [name, cells] : sheets) {
        boundAt << s.size();
        s += record(0x0085, le32(0) + QByteArray(2, '\0') + char(name.size()) + char(1) + utf16(name));
    }
    s += eof();
    for (int i = 0; i < sheets.size(); ++i) {
        s.replace(boundAt[i] + 4, 4, le32(quint32(s.size())));
        s += bof(0x0010) + sheets[i].second + eof();
    }
    return s;
}

QByteArray compoundFile(const QList<std::pair<QByteArray, QByteArray>>& streams)
{
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(memory);
    QList<std::pair<QByteArray, GsfOutfile*>> storages; // by path, each after the one holding it
    for (const auto& [name, data] : streams) {
        const QList<QByteArray> parts = name.split('/');
        GsfOutfile* parent = ole;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QByteArray path = parts.first(i).join('/');
            auto it = std::find_if(storages.begin(), storages.end(), [&](const auto& s) { return s.first == path; });
            if (it == storages.end())
                it = storages.insert(
                    storages.end(), {path, GSF_OUTFILE(gsf_outfile_new_child(parent, parts[i - 1].constData(), TRUE))});
            parent = it->second;
        }
        if (parts.last().isEmpty())
            continue; // "A/": storage A, empty
        GsfOutput* child = gsf_outfile_new_child(parent, parts.last().constData(), FALSE);
        gsf_output_write(child, size_t(data.size()), reinterpret_cast<const guint8*>(data.constData()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    for (auto it = storages.rbegin(); it != storages.rend(); ++it) {
        gsf_output_close(GSF_OUTPUT(it->second));
        g_object_unref(it->second);
    }
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const QByteArray file(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
                          qsizetype(gsf_output_size(memory)));
    g_object_unref(memory);
    return file;
}

QByteArray handLaidCompoundFile(const QByteArray& stream, int shift, Laid laid)
{
    const int size = 1 << shift;
    const quint32 sectors = quint32((stream.size() + size - 1) / size);
    const QByteArray none = le32(0xFFFFFFFF), end = le32(0xFFFFFFFE);
    QByteArray file = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(16, '\0') + le16(0x3E)
                      + le16(shift == 12 ? 4 : 3) + le16(0xFFFE) + le16(quint16(shift)) + le16(6) + QByteArray(6, '\0')
                      + le32(shift == 12 ? 1 : 0) + le32(1) + le32(1) + le32(0) + le32(4096) + end + le32(0) + end
                      + le32(0) + le32(0) + none.repeated(108);
    file.resize(std::max(512, size), '\0');
    QByteArray fat = le32(0xFFFFFFFD) + end; // the FAT, the directory, then the stream
    const bool backwards = laid == Laid::Backwards;
    for (quint32 s = 1; s <= sectors; ++s)
        fat += backwards ? (s > 1 ? le32(s) : end) : s < sectors ? le32(s + 2) : end;
    file += fat + none.repeated((size - fat.size()) / 4);
    auto entry = [&](const QString& name, char type, const QByteArray& child, quint32 start, qsizetype bytes) {
        const QByteArray n = utf16(name) + le16(0);
        return n + QByteArray(64 - n.size(), '\0') + le16(quint16(n.size())) + type + char(1) + none + none + child
               + QByteArray(36, '\0') + le32(start) + le32(quint32(bytes)) + le32(0);
    };
    const QByteArray directory =
        entry(QStringLiteral("Root Entry"), 5, le32(1), 0xFFFFFFFE, 0)
        + entry(QStringLiteral("Workbook"), 2, none, backwards ? sectors + 1 : 2, stream.size());
    file += directory + QByteArray(size - directory.size(), '\0');
    const QByteArray whole = stream + QByteArray(qsizetype(sectors) * size - stream.size(), '\0');
    for (quint32 s = 0; backwards && s < sectors; ++s)
        file += whole.mid(qsizetype(sectors - 1 - s) * size, size);
    return backwards ? file : file + (laid == Laid::CutShort ? stream : whole);
}

QByteArray streamOf(const QByteArray& file, const char* name)
{
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()), file.size(), FALSE);
    GsfInput* at = GSF_INPUT(gsf_infile_msole_new(input, nullptr));
    for (const QByteArray& part : QByteArray(name).split('/')) {
        GsfInput* child =
            at && GSF_IS_INFILE(at) ? gsf_infile_child_by_name(GSF_INFILE(at), part.constData()) : nullptr;
        if (at)
            g_object_unref(at);
        at = child;
    }
    QByteArray out;
    if (at) {
        out.resize(qsizetype(gsf_input_size(at)));
        gsf_input_read(at, size_t(out.size()), reinterpret_cast<guint8*>(out.data()));
        g_object_unref(at);
    }
    g_object_unref(input);
    return out;
}

QByteArray rootClassId(const QByteArray& file)
{
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()), file.size(), FALSE);
    GsfInfile* ole = gsf_infile_msole_new(input, nullptr);
    guint8 id[16] = {};
    if (ole) {
        gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole), id);
        g_object_unref(ole);
    }
    g_object_unref(input);
    return QByteArray(reinterpret_cast<const char*>(id), 16);
}

} // namespace biff
