#include "platform/workbook/ContinuedReader.h"

#include "platform/workbook/Values.h"

#include <algorithm>

namespace workbook::detail {

ContinuedReader::ContinuedReader(std::vector<Segment> segments)
    : m_segments(std::move(segments))
{
    for (const Segment& s : m_segments)
        m_remaining += s.size;
}

bool ContinuedReader::nextSegment()
{
    while (m_index < m_segments.size() && m_offset >= m_segments[m_index].size) {
        ++m_index;
        m_offset = 0;
    }
    return m_index < m_segments.size();
}

template <typename Sink>
bool ContinuedReader::consume(quint32 count, Sink sink)
{
    if (count > m_remaining)
        return false;
    while (count > 0) {
        nextSegment();
        const Segment& s = m_segments[m_index];
        const quint32 n = std::min(count, s.size - m_offset);
        sink(s.data + m_offset, n);
        m_offset += n;
        m_remaining -= n;
        count -= n;
    }
    return true;
}

bool ContinuedReader::read(char* out, quint32 count)
{
    return consume(count, [&out](const char* bytes, quint32 n) {
        std::memcpy(out, bytes, n);
        out += n;
    });
}

bool ContinuedReader::skip(quint32 count, QByteArray* keep)
{
    return consume(count, [keep](const char* bytes, quint32 n) {
        if (keep)
            keep->append(bytes, n);
    });
}

bool ContinuedReader::readU8(quint8* v)
{
    char b;
    if (!read(&b, 1))
        return false;
    *v = quint8(b);
    return true;
}

bool ContinuedReader::readU16(quint16* v)
{
    char b[2];
    if (!read(b, 2))
        return false;
    *v = u16(b);
    return true;
}

bool ContinuedReader::readU32(quint32* v)
{
    char b[4];
    if (!read(b, 4))
        return false;
    *v = u32(b);
    return true;
}

bool ContinuedReader::readChars(quint32 cch, bool highByte, QString* out)
{
    out->clear();
    // Every character takes at least one byte: nothing is reserved beyond what is there.
    if (cch > m_remaining)
        return false;
    if (m_index < m_segments.size()) {
        // The common case: the whole string lies in the current segment.
        const Segment& s = m_segments[m_index];
        const quint64 bytes = quint64(cch) * (highByte ? 2 : 1);
        if (m_offset < s.size && bytes <= s.size - m_offset) {
            if (highByte)
                appendUtf16(out, s.data + m_offset, cch);
            else
                *out = QString::fromLatin1(s.data + m_offset, cch);
            m_offset += quint32(bytes);
            m_remaining -= qint64(bytes);
            return true;
        }
    }
    out->reserve(cch);
    quint32 left = cch;
    while (left > 0) {
        if (m_index >= m_segments.size() || m_offset >= m_segments[m_index].size) {
            // Characters go on in the next record, which starts with their encoding.
            if (!nextSegment())
                return false;
            highByte = m_segments[m_index].data[m_offset] & 1;
            ++m_offset;
            --m_remaining;
            continue;
        }
        const Segment& s = m_segments[m_index];
        const quint32 avail = s.size - m_offset;
        const quint32 n = std::min(left, highByte ? avail / 2 : avail);
        if (n == 0)
            return false; // half a UTF-16 character before the boundary
        if (highByte)
            appendUtf16(out, s.data + m_offset, n);
        else
            appendLatin1(out, s.data + m_offset, n);
        const quint32 bytes = highByte ? 2 * n : n;
        m_offset += bytes;
        m_remaining -= bytes;
        left -= n;
    }
    return true;
}

bool ContinuedReader::readUnicodeString(QString* out)
{
    quint16 cch = 0, runs = 0;
    quint8 flags = 0;
    quint32 ext = 0;
    if (!readU16(&cch) || !readU8(&flags))
        return false;
    if ((flags & 0x08) && !readU16(&runs))
        return false;
    if ((flags & 0x04) && !readU32(&ext))
        return false;
    return readChars(cch, flags & 1, out) && skip(quint32(runs) * 4) && skip(ext);
}

ContinuedReader continuedRecord(const QByteArray& stream, qint64 pos, quint32 skip, qint64* end)
{
    RecordView r;
    if (!recordAt(stream, pos, &r) || r.size < skip) {
        if (end)
            *end = stream.size();
        return ContinuedReader({});
    }
    std::vector<ContinuedReader::Segment> segments{{r.data + skip, quint32(r.size - skip)}};
    qint64 next = pos + 4 + r.size;
    RecordView c;
    while (recordAt(stream, next, &c) && c.type == rt::Continue) {
        segments.push_back({c.data, c.size});
        next += 4 + c.size;
    }
    if (end)
        *end = next;
    return ContinuedReader(std::move(segments));
}

} // namespace workbook::detail
