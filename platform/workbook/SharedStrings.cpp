#include "platform/workbook/SharedStrings.h"

#include <algorithm>

namespace workbook::detail {

namespace {

constexpr quint16 SstType = 0x00FC;
constexpr quint16 ContinueType = 0x003C;
constexpr quint16 ExtSstType = 0x00FF;

void appendLatin1(QString* out, const char* p, qsizetype n)
{
    out->append(QLatin1String(p, n));
}

void appendUtf16(QString* out, const char* p, qsizetype n)
{
    const qsizetype old = out->size();
    if (old == 0)
        *out = QString(n, Qt::Uninitialized);
    else
        out->resize(old + n);
    char16_t* dst = reinterpret_cast<char16_t*>(out->data()) + old;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        std::memcpy(dst, p, size_t(n) * 2);
    } else {
        for (qsizetype i = 0; i < n; ++i)
            dst[i] = u16(p + 2 * i);
    }
}

} // namespace

ContinuedReader::ContinuedReader(std::vector<Segment> segments) : m_segments(std::move(segments))
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

bool SharedStrings::parse(ContinuedReader& reader, SharedStrings* table, QString* problem)
{
    quint32 total = 0, unique = 0;
    if (!reader.readU32(&total) || !reader.readU32(&unique)) {
        *problem = QStringLiteral("the shared string table is too short");
        return false;
    }
    // The smallest string takes three bytes: the count cannot make us reserve more.
    table->strings.reserve(std::min<qint64>(unique, reader.remaining() / 3));
    for (quint32 i = 0; i < unique && !reader.atEnd(); ++i) {
        SstString s;
        // Most strings are plain and lie within one record: decode them directly.
        if (const char* h = reader.peek(3); h && !(h[2] & 0x0C)) {
            const quint32 cch = u16(h);
            const bool high = h[2] & 1;
            if (const char* p = reader.peek(3 + cch * (high ? 2 : 1))) {
                if (high)
                    appendUtf16(&s.text, p + 3, cch);
                else
                    s.text = QString::fromLatin1(p + 3, cch);
                reader.advance(3 + cch * (high ? 2 : 1));
                table->strings.push_back(std::move(s));
                continue;
            }
        }
        quint16 cch = 0;
        quint8 flags = 0;
        bool ok = reader.readU16(&cch) && reader.readU8(&flags);
        if (ok && (flags & 0x08))
            ok = reader.readU16(&s.runCount);
        if (ok && (flags & 0x04)) {
            ok = reader.readU32(&s.extLength);
            s.hasExt = true;
        }
        ok = ok && reader.readChars(cch, flags & 1, &s.text);
        if (ok && (s.runCount || s.hasExt)) {
            s.extraPos = quint32(table->extras.size());
            // Runs and phonetic data are kept byte for byte for writing back.
            ok = reader.skip(quint32(s.runCount) * 4, &table->extras) && reader.skip(s.extLength, &table->extras);
        }
        if (!ok) {
            *problem = QStringLiteral("shared string %1 is cut off").arg(i);
            return false;
        }
        table->strings.push_back(std::move(s));
    }
    return true;
}

void writeSst(Buffer& out, const std::vector<SstOut>& strings, quint32 totalRefs)
{
    RecordWriter w(out);
    const quint32 count = quint32(strings.size());
    // Excel reads at most one EXTSST record: keep the buckets within it.
    const quint32 perBucket = std::max<quint32>(8, (count + 1023) / 1024);
    QByteArray buckets;
    auto startContinue = [&] {
        w.end();
        w.begin(ContinueType);
    };

    w.begin(SstType);
    put32(out, totalRefs);
    put32(out, count);
    for (quint32 i = 0; i < count; ++i) {
        const SstOut& s = strings[i];
        const QString& text = *s.text;
        const bool high = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 0xFF; });
        const int charSize = high ? 2 : 1;
        const int header = 3 + (s.runCount ? 2 : 0) + (s.hasExt ? 4 : 0);
        // A string's header and its first character stay in one record.
        if (w.room() < header + (text.isEmpty() ? 0 : charSize))
            startContinue();
        if (i % perBucket == 0) {
            put32(buckets, quint32(out.size()));
            put16(buckets, quint16(out.size() - w.start()));
            put16(buckets, 0);
        }
        put16(out, quint16(text.size()));
        out.append(char((high ? 0x01 : 0) | (s.runCount ? 0x08 : 0) | (s.hasExt ? 0x04 : 0)));
        if (s.runCount)
            put16(out, s.runCount);
        if (s.hasExt)
            put32(out, s.extLength);

        qsizetype done = 0;
        while (done < text.size()) {
            if (w.room() < charSize) {
                startContinue();
                out.append(char(high ? 1 : 0));
            }
            const qsizetype n = std::min<qsizetype>(text.size() - done, w.room() / charSize);
            char* dst = out.grow(n * charSize);
            const QChar* src = text.constData() + done;
            if (high) {
                for (qsizetype k = 0; k < n; ++k)
                    qToLittleEndian<quint16>(src[k].unicode(), dst + 2 * k);
            } else {
                for (qsizetype k = 0; k < n; ++k)
                    dst[k] = char(src[k].unicode());
            }
            done += n;
        }
        for (quint16 r = 0; r < s.runCount; ++r) {
            if (w.room() < 4)
                startContinue();
            out.append(s.runs + 4 * r, 4);
        }
        quint32 extLeft = s.extLength;
        const char* ext = s.ext;
        while (extLeft > 0) {
            if (w.room() == 0)
                startContinue();
            const quint32 n = std::min<quint32>(extLeft, quint32(w.room()));
            out.append(ext, n);
            ext += n;
            extLeft -= n;
        }
    }
    w.end();

    w.begin(ExtSstType);
    put16(out, quint16(perBucket));
    out.append(buckets);
    w.end();
}

} // namespace workbook::detail
