// Every BIFF record type the engine reads or writes, named once.
#pragma once

#include <QtGlobal>

namespace workbook::detail {

namespace rt {
// Records the engine reads, rewrites or regenerates.
inline constexpr quint16 Formula = 0x0006;
inline constexpr quint16 Eof = 0x000A;
inline constexpr quint16 FilePass = 0x002F;
inline constexpr quint16 Continue = 0x003C;
inline constexpr quint16 DefColWidth = 0x0055;
inline constexpr quint16 Uncalced = 0x005E;
inline constexpr quint16 ColInfo = 0x007D;
inline constexpr quint16 BoundSheet = 0x0085;
inline constexpr quint16 MulRk = 0x00BD;
inline constexpr quint16 MulBlank = 0x00BE;
inline constexpr quint16 RString = 0x00D6;
inline constexpr quint16 DbCell = 0x00D7;
inline constexpr quint16 Xf = 0x00E0;
inline constexpr quint16 Sst = 0x00FC;
inline constexpr quint16 LabelSst = 0x00FD;
inline constexpr quint16 ExtSst = 0x00FF;
inline constexpr quint16 Dimensions = 0x0200;
inline constexpr quint16 Blank = 0x0201;
inline constexpr quint16 Number = 0x0203;
inline constexpr quint16 Label = 0x0204;
inline constexpr quint16 BoolErr = 0x0205;
// FORMULA as Excel 3.0 (0x0206) and 4.0 (0x0406) wrote it, without the chn
// field; other writers still put both in BIFF8 sheets.
inline constexpr quint16 OldFormula = 0x0206;
inline constexpr quint16 String = 0x0207;
inline constexpr quint16 Row = 0x0208;
inline constexpr quint16 Index = 0x020B;
inline constexpr quint16 Array = 0x0221;
inline constexpr quint16 DefaultRowHeight = 0x0225;
inline constexpr quint16 Table = 0x0236;
inline constexpr quint16 Window2 = 0x023E;
inline constexpr quint16 Rk = 0x027E;
inline constexpr quint16 OldFormula4 = 0x0406;
inline constexpr quint16 ShrFmla = 0x04BC;
inline constexpr quint16 Bof = 0x0809;

// The BOF records of BIFF2, BIFF3 and BIFF4, which Excel 2.x-4.0 wrote.
inline constexpr quint16 Bof2 = 0x0009;
inline constexpr quint16 Bof3 = 0x0209;
inline constexpr quint16 Bof4 = 0x0409;

// Records only the new-workbook template writes.
inline constexpr quint16 CalcCount = 0x000C;
inline constexpr quint16 CalcMode = 0x000D;
inline constexpr quint16 Precision = 0x000E;
inline constexpr quint16 RefMode = 0x000F;
inline constexpr quint16 Delta = 0x0010;
inline constexpr quint16 Iteration = 0x0011;
inline constexpr quint16 Protect = 0x0012;
inline constexpr quint16 Password = 0x0013;
inline constexpr quint16 WindowProtect = 0x0019;
inline constexpr quint16 DateMode = 0x0022;
inline constexpr quint16 PrintHeaders = 0x002A;
inline constexpr quint16 PrintGridlines = 0x002B;
inline constexpr quint16 Font = 0x0031;
inline constexpr quint16 Window1 = 0x003D;
inline constexpr quint16 Backup = 0x0040;
inline constexpr quint16 CodePage = 0x0042;
inline constexpr quint16 SaveRecalc = 0x005F;
inline constexpr quint16 Guts = 0x0080;
inline constexpr quint16 WsBool = 0x0081;
inline constexpr quint16 GridSet = 0x0082;
inline constexpr quint16 HCenter = 0x0083;
inline constexpr quint16 VCenter = 0x0084;
inline constexpr quint16 HideObj = 0x008D;
inline constexpr quint16 FnGroupCount = 0x009C;
inline constexpr quint16 Mms = 0x00C1;
inline constexpr quint16 BookBool = 0x00DA;
inline constexpr quint16 InterfaceHdr = 0x00E1;
inline constexpr quint16 InterfaceEnd = 0x00E2;
inline constexpr quint16 TabId = 0x013D;
inline constexpr quint16 UsesElfs = 0x0160;
inline constexpr quint16 Dsf = 0x0161;
inline constexpr quint16 RefreshAll = 0x01B7;
inline constexpr quint16 Prot4Rev = 0x01AF;
inline constexpr quint16 Prot4RevPass = 0x01BC;
inline constexpr quint16 Style = 0x0293;
} // namespace rt

// What a BOF record says: the BIFF version and the kind of substream it opens.
namespace bof {
inline constexpr quint16 Biff8 = 0x0600;
inline constexpr quint16 Biff2 = 0x0200; // the oldest version a BIFF5-style BOF names
inline constexpr quint16 Globals = 0x0005;
inline constexpr quint16 Worksheet = 0x0010;
} // namespace bof

// The first record of a workbook stream written before BIFF5.
inline bool isEarlyBof(quint16 type) { return type == rt::Bof2 || type == rt::Bof3 || type == rt::Bof4; }

} // namespace workbook::detail
