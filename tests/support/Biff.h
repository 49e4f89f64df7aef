// Workbook files built byte by byte, as other writers lay them out: BIFF8
// records, and compound files made by libgsf rather than by the engine.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace biff {

QByteArray le16(quint16 v);
QByteArray le32(quint32 v);
QByteArray f64(double v);
QByteArray utf16(const QString& s);
QByteArray record(quint16 type, const QByteArray& data);
QByteArray bof(quint16 kind, quint16 version = 0x0600);
QByteArray eof();
QByteArray cellHeader(int row, int col, int xf = 15);
QByteArray labelSst(int row, int col, quint32 index);
// Globals (after their BOF) and one worksheet per (name, records) pair.
QByteArray workbookStream(const QByteArray& globals, const QList<std::pair<QString, QByteArray>>& sheets);
// A compound file holding these streams (name, bytes); a name "A/B" is stream
// B in storage A, "A/" an empty storage.
QByteArray compoundFile(const QList<std::pair<QByteArray, QByteArray>>& streams);
inline QByteArray workbookFile(const QByteArray& stream) { return compoundFile({{"Workbook", stream}}); }
// A compound file laid out by hand, as some writers do: a FAT sector, a directory
// sector, then the sectors (of 2^shift bytes: 12 makes version 4) of a Workbook
// stream of at least 4096 bytes: in order and filling its last sector, in order
// and ending the file with its last byte, or its sectors in the file last first.
enum class Laid { Whole, CutShort, Backwards };
QByteArray handLaidCompoundFile(const QByteArray& stream, int shift, Laid laid);
// A stream of a compound file as libgsf reads it ("A/B" in storage A); empty when absent.
QByteArray streamOf(const QByteArray& file, const char* name = "Workbook");
// The class id of the file's root storage.
QByteArray rootClassId(const QByteArray& file);

} // namespace biff
