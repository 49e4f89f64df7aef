// The record layer: a workbook stream seen as records (type, size, data),
// read in place and written one after the other.
#pragma once

#include "platform/workbook/Bytes.h"
#include "platform/workbook/RecordTypes.h"
#include "platform/workbook/Workbook.h"

#include <QByteArray>
#include <QString>

namespace workbook::detail {

struct RecordView {
    quint16 type = 0;
    quint16 size = 0;
    const char* data = nullptr;
};

// The record at pos, when its header and data lie within the stream.
inline bool recordAt(const QByteArray& s, qint64 pos, RecordView* r)
{
    if (pos < 0 || pos + 4 > s.size())
        return false;
    const char* p = s.constData() + pos;
    r->type = u16(p);
    r->size = u16(p + 2);
    if (pos + 4 + r->size > s.size())
        return false;
    r->data = p + 4;
    return true;
}

inline Error damaged(const QString& what, qint64 pos = -1)
{
    return {ErrorKind::Damaged, pos < 0 ? what : what + QStringLiteral(" (stream offset %1)").arg(pos)};
}

inline bool isCellRecord(quint16 type)
{
    switch (type) {
    case rt::LabelSst:
    case rt::Label:
    case rt::RString:
    case rt::Number:
    case rt::Rk:
    case rt::MulRk:
    case rt::Blank:
    case rt::MulBlank:
    case rt::BoolErr:
    case rt::Formula:
    case rt::OldFormula:
    case rt::OldFormula4: return true;
    default: return false;
    }
}

// Records that belong to the cell record before them (a formula's string
// result, shared/array/table formula definitions).
inline bool isTrailer(quint16 type)
{
    return type == rt::String || type == rt::ShrFmla || type == rt::Array || type == rt::Table || type == rt::Continue;
}

inline bool isAnchor(quint16 type) { return type == rt::ShrFmla || type == rt::Array || type == rt::Table; }

inline void putRecordHeader(Buffer& out, quint16 type, int size)
{
    put16(out, type);
    put16(out, quint16(size));
}

// The largest record body Excel reads; longer data goes on in CONTINUE records.
inline constexpr int MaxRecordData = 8224;

// Appends one record at a time to a stream, its length filled in when it ends.
class RecordWriter {
public:
    explicit RecordWriter(Buffer& out)
        : m_out(out)
    {
    }

    void begin(quint16 type)
    {
        m_start = m_out.size();
        put16(m_out, type);
        put16(m_out, 0);
    }
    void end() { set16(m_out, m_start + 2, quint16(m_out.size() - m_start - 4)); }
    // Ends the record and goes on in a CONTINUE record.
    void continueRecord()
    {
        end();
        begin(rt::Continue);
    }
    int room() const { return MaxRecordData - int(m_out.size() - m_start - 4); }
    qsizetype start() const { return m_start; }

    // A whole small record in one call.
    void record(quint16 type, const QByteArray& data)
    {
        put16(m_out, type);
        put16(m_out, quint16(data.size()));
        m_out.append(data);
    }

private:
    Buffer& m_out;
    qsizetype m_start = 0;
};

} // namespace workbook::detail
