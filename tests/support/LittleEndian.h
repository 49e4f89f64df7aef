// Little-endian integers as bytes, for tests that build workbook records by hand.
#pragma once

#include "platform/workbook/Bytes.h"

#include <QByteArray>

inline QByteArray le16(quint16 v)
{
    QByteArray b;
    workbook::detail::put16(b, v);
    return b;
}

inline QByteArray le32(quint32 v)
{
    QByteArray b;
    workbook::detail::put32(b, v);
    return b;
}
