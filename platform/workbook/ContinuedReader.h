// Record data that runs on over CONTINUE records, and where those records are.
#pragma once

#include "platform/workbook/Records.h"

#include <QString>

#include <vector>

namespace workbook::detail {

// The data of a record followed by its CONTINUE records, read as one flow.
// Character data split at a record boundary resumes with an option byte that
// gives the encoding of the rest; everything else continues byte for byte.
class ContinuedReader {
public:
    struct Segment {
        const char* data;
        quint32 size;
    };
    explicit ContinuedReader(std::vector<Segment> segments);

    qint64 remaining() const { return m_remaining; }
    // The next n bytes when they lie within the current segment, else null.
    const char* peek(quint32 n) const
    {
        return m_index < m_segments.size() && m_segments[m_index].size - m_offset >= n
                   ? m_segments[m_index].data + m_offset
                   : nullptr;
    }
    void advance(quint32 n)
    {
        m_offset += n;
        m_remaining -= n;
    }
    bool atEnd() const { return m_remaining == 0; }
    // Raw bytes, crossing segment ends without option bytes.
    bool read(char* out, quint32 count);
    bool skip(quint32 count, QByteArray* keep = nullptr);
    bool readU8(quint8* v);
    bool readU16(quint16* v);
    bool readU32(quint32* v);
    // cch characters, 8-bit (Latin-1) or UTF-16 as highByte says, switching
    // encoding where a new segment starts.
    bool readChars(quint32 cch, bool highByte, QString* out);
    // An XLUnicodeString with a 16-bit length.
    bool readUnicodeString(QString* out);

private:
    bool nextSegment();
    // Hands the next count bytes to sink, one piece per segment they span.
    template <typename Sink>
    bool consume(quint32 count, Sink sink);

    std::vector<Segment> m_segments;
    size_t m_index = 0;
    quint32 m_offset = 0;
    qint64 m_remaining = 0;
};

// The record at pos from its data's byte skip on, with the CONTINUE records
// that follow it. end, when asked, gets the stream position after the last of
// them. A record not whole or shorter than skip gives a reader with nothing to
// read (and end the stream's end), so that every read from it fails.
ContinuedReader continuedRecord(const QByteArray& stream, qint64 pos, quint32 skip, qint64* end = nullptr);

} // namespace workbook::detail
