#include "platform/workbook/SharedStrings.h"

#include "platform/workbook/Values.h"

#include <algorithm>

namespace workbook::detail {

namespace {

// Most strings are plain and lie within one record: decoded directly.
bool readPlainString(ContinuedReader& reader, SstString* s)
{
    const char* h = reader.peek(3);
    if (!h || (h[2] & 0x0C))
        return false;
    const quint32 cch = u16(h);
    const bool high = h[2] & 1;
    const char* p = reader.peek(3 + cch * (high ? 2 : 1));
    if (!p)
        return false;
    if (high)
        appendUtf16(&s->text, p + 3, cch);
    else
        s->text = QString::fromLatin1(p + 3, cch);
    reader.advance(3 + cch * (high ? 2 : 1));
    return true;
}

// Any string, across record boundaries, with its rich-text runs and phonetic data.
bool readString(ContinuedReader& reader, SstString* s, QByteArray* extras)
{
    quint16 cch = 0;
    quint8 flags = 0;
    bool ok = reader.readU16(&cch) && reader.readU8(&flags);
    if (ok && (flags & 0x08))
        ok = reader.readU16(&s->runCount);
    if (ok && (flags & 0x04)) {
        ok = reader.readU32(&s->extLength);
        s->hasExt = true;
    }
    ok = ok && reader.readChars(cch, flags & 1, &s->text);
    if (ok && (s->runCount || s->hasExt)) {
        s->extraPos = quint32(extras->size());
        // Runs and phonetic data are kept byte for byte for writing back.
        ok = reader.skip(quint32(s->runCount) * 4, extras) && reader.skip(s->extLength, extras);
    }
    return ok;
}

// SST and its CONTINUE records, with the EXTSST buckets noted on the way.
class SstWriter {
public:
    SstWriter(Buffer& out, quint32 count)
        : m_out(out)
        , m_w(out)
        , m_perBucket(std::max<quint32>(8, (count + 1023) / 1024))
    {
    }

    void begin(quint32 totalRefs, quint32 count)
    {
        m_w.begin(rt::Sst);
        put32(m_out, totalRefs);
        put32(m_out, count);
    }

    void string(quint32 i, const SstOut& s)
    {
        const QString& text = *s.text;
        const bool high = needsUtf16(text);
        const int charSize = high ? 2 : 1;
        const int header = 3 + (s.runCount ? 2 : 0) + (s.hasExt ? 4 : 0);
        // A string's header and its first character stay in one record.
        if (m_w.room() < header + (text.isEmpty() ? 0 : charSize))
            m_w.continueRecord();
        if (i % m_perBucket == 0) {
            put32(m_buckets, quint32(m_out.size()));
            put16(m_buckets, quint16(m_out.size() - m_w.start()));
            put16(m_buckets, 0);
        }
        put16(m_out, quint16(text.size()));
        m_out.append(char((high ? 0x01 : 0) | (s.runCount ? 0x08 : 0) | (s.hasExt ? 0x04 : 0)));
        if (s.runCount)
            put16(m_out, s.runCount);
        if (s.hasExt)
            put32(m_out, s.extLength);
        chars(text, high);
        extras(s);
    }

    // Ends the SST and writes the EXTSST after it.
    void end()
    {
        m_w.end();
        m_w.begin(rt::ExtSst);
        put16(m_out, quint16(m_perBucket));
        m_out.append(m_buckets);
        m_w.end();
    }

private:
    // Characters go on in a CONTINUE record that starts with their encoding.
    void chars(const QString& text, bool high)
    {
        const int charSize = high ? 2 : 1;
        qsizetype done = 0;
        while (done < text.size()) {
            if (m_w.room() < charSize) {
                m_w.continueRecord();
                m_out.append(char(high ? 1 : 0));
            }
            const qsizetype n = std::min<qsizetype>(text.size() - done, m_w.room() / charSize);
            char* dst = m_out.grow(n * charSize);
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
    }

    // Rich-text runs stay whole in one record; phonetic data is split anywhere.
    void extras(const SstOut& s)
    {
        for (quint16 r = 0; r < s.runCount; ++r) {
            if (m_w.room() < 4)
                m_w.continueRecord();
            m_out.append(s.runs + 4 * r, 4);
        }
        quint32 extLeft = s.extLength;
        const char* ext = s.ext;
        while (extLeft > 0) {
            if (m_w.room() == 0)
                m_w.continueRecord();
            const quint32 n = std::min<quint32>(extLeft, quint32(m_w.room()));
            m_out.append(ext, n);
            ext += n;
            extLeft -= n;
        }
    }

    Buffer& m_out;
    RecordWriter m_w;
    // Excel reads at most one EXTSST record: keep the buckets within it.
    const quint32 m_perBucket;
    QByteArray m_buckets;
};

} // namespace

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
        if (!readPlainString(reader, &s) && !readString(reader, &s, &table->extras)) {
            *problem = QStringLiteral("shared string %1 is cut off").arg(i);
            return false;
        }
        table->strings.push_back(std::move(s));
    }
    return true;
}

void writeSst(Buffer& out, const std::vector<SstOut>& strings, quint32 totalRefs)
{
    const quint32 count = quint32(strings.size());
    SstWriter writer(out, count);
    writer.begin(totalRefs, count);
    for (quint32 i = 0; i < count; ++i)
        writer.string(i, strings[i]);
    writer.end();
}

} // namespace workbook::detail
