// Little-endian reading and writing, and the buffer streams are built in.
#pragma once

#include <QByteArray>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <utility>

namespace workbook::detail {

inline quint8 u8(const char* p) { return quint8(*p); }
inline quint16 u16(const char* p) { return qFromLittleEndian<quint16>(p); }
inline quint32 u32(const char* p) { return qFromLittleEndian<quint32>(p); }
inline double f64(const char* p)
{
    const quint64 bits = qFromLittleEndian<quint64>(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void put16(QByteArray& out, quint16 v)
{
    const char b[2] = {char(v), char(v >> 8)};
    out.append(b, 2);
}
inline void put32(QByteArray& out, quint32 v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.append(b, 4);
}
inline void putF64(QByteArray& out, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    char b[8];
    qToLittleEndian(bits, b);
    out.append(b, 8);
}
inline void set16(QByteArray& out, qsizetype at, quint16 v) { qToLittleEndian(v, out.data() + at); }
inline void set32(QByteArray& out, qsizetype at, quint32 v) { qToLittleEndian(v, out.data() + at); }

// A stream being built: appending a few bytes costs a bounds check and a
// copy, where QByteArray::append would cost a call into Qt each time.
class Buffer {
public:
    explicit Buffer(qsizetype capacity = 4096)
        : m_data(std::max<qsizetype>(capacity, 64), Qt::Uninitialized)
        , m_begin(m_data.data())
    {
    }
    Buffer(Buffer&& other) noexcept { *this = std::move(other); }
    Buffer& operator=(Buffer&& other) noexcept
    {
        m_data = std::move(other.m_data);
        m_begin = m_data.data();
        m_size = std::exchange(other.m_size, 0);
        other.m_begin = nullptr;
        return *this;
    }

    qsizetype size() const { return m_size; }
    const char* constData() const { return m_begin; }
    char* data() { return m_begin; }
    // Room for n more bytes at the end, returned for writing. The array is
    // never shared, so its data pointer stays valid until the next resize and
    // the common case is one comparison.
    char* grow(qsizetype n)
    {
        if (m_size + n > m_data.size()) [[unlikely]] {
            m_data.resize(std::max(m_data.size() * 2, m_size + n));
            m_begin = m_data.data();
        }
        char* p = m_begin + m_size;
        m_size += n;
        return p;
    }
    void append(const char* p, qsizetype n) { std::memcpy(grow(n), p, size_t(n)); }
    void append(const QByteArray& bytes) { append(bytes.constData(), bytes.size()); }
    void append(char c) { *grow(1) = c; }
    QByteArray take()
    {
        m_data.truncate(m_size);
        m_size = 0;
        QByteArray out = std::move(m_data);
        m_data = QByteArray(64, Qt::Uninitialized);
        m_begin = m_data.data();
        return out;
    }

private:
    QByteArray m_data;
    char* m_begin = nullptr;
    qsizetype m_size = 0;
};

inline void put16(Buffer& out, quint16 v) { qToLittleEndian(v, out.grow(2)); }
inline void put32(Buffer& out, quint32 v) { qToLittleEndian(v, out.grow(4)); }
inline void putF64(Buffer& out, double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian(bits, out.grow(8));
}
inline void set16(Buffer& out, qsizetype at, quint16 v) { qToLittleEndian(v, out.data() + at); }
inline void set32(Buffer& out, qsizetype at, quint32 v) { qToLittleEndian(v, out.data() + at); }

} // namespace workbook::detail
