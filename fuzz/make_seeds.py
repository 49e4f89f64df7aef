#!/usr/bin/python3
"""Makes the workbook seeds in fuzz/corpus/workbook/: small real workbooks
from the programs that write them in the wild, each a few rows, so that the
fuzzer mutates structure rather than bulk.

    /usr/bin/python3 fuzz/make_seeds.py [fuzz/corpus/workbook]

Needs python3-xlwt, LibreOffice (soffice) and Gnumeric (ssconvert).
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xlwt

# The flat-ODS writer the fixture scripts share.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import fods  # noqa: E402


def xlwt_seeds(out):
    # The diary's own shape: a header row, a few records, colours as numbers.
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    for col, name in enumerate(["予定", "出欠", "時間1", "内容1", "感想", "予定色", "天気"]):
        sheet.write(0, col, name)
    sheet.write(1, 0, "歯医者\n午後3時から")
    sheet.write(1, 1, "出")
    sheet.write(1, 2, "9:00")
    sheet.write(1, 3, "朝会")
    sheet.write(1, 4, "晴れて気持ちよかった。")
    sheet.write(1, 5, 255)
    sheet.write(1, 6, "晴れ")
    sheet.write(2, 4, "café crème")
    sheet.write(2, 5, -2147483640)
    sheet.write(3, 5, 0.1)
    sheet.write(3, 6, True)
    book.save(os.path.join(out, "xlwt_diary.xls"))
    # The same in 4096-byte sectors (version 4), the last one ending with the stream.
    with open(os.path.join(out, "xlwt_diary_v4.xls"), "wb") as f:
        f.write(hand_laid(book.get_biff_data(), 12))

    # A second sheet with a formula, rich text and an error value.
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    sheet.write(0, 0, "予定")
    sheet.write(0, 1, "感想")
    sheet.write(1, 0, "旅行")
    bold = xlwt.easyfont("bold true")
    sheet.write_rich_text(1, 1, ["普通と", ("太字", bold), " mixed"])
    memo = book.add_sheet("メモ")
    memo.write(0, 0, "買い物")
    memo.write(1, 0, 2)
    memo.write(2, 0, 3.25)
    memo.write(3, 0, xlwt.Formula("A2+A3"))
    memo.write(4, 0, xlwt.Formula('"合計"&"!"'))
    memo.write(5, 0, xlwt.Formula("1/0"))
    book.save(os.path.join(out, "xlwt_two_sheets.xls"))

    # Shared strings long enough to run over CONTINUE records, in both encodings.
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    sheet.write(0, 0, "感想")
    sheet.write(1, 0, "長い" * 2100)
    sheet.write(2, 0, "long " * 900 + "end")
    sheet.write(3, 0, "短い")
    book.save(os.path.join(out, "xlwt_continue.xls"))

    # An empty sheet.
    book = xlwt.Workbook(encoding="utf-8")
    book.add_sheet("Sheet1")
    book.save(os.path.join(out, "xlwt_empty.xls"))

    # Rows without cells of a height of their own (one marked custom), an embedded chart, a short last sector.
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    for r in range(4):
        sheet.write(r, 0, "行%d" % r)
    sheet.row(5).height = 600
    sheet.row(6).height, sheet.row(6).height_mismatch = 900, True
    with open(os.path.join(out, "xlwt_chart_short_sector.xls"), "wb") as f:
        f.write(hand_laid(with_chart(book.get_biff_data()), 9))


def with_chart(stream):
    # An embedded chart substream with DIMENSIONS of its own before the sheet's WINDOW2: no position moves.
    rec = lambda kind, data: struct.pack("<HH", kind, len(data)) + data
    chart = rec(0x0809, struct.pack("<HH12x", 0x0600, 0x0020)) + rec(0x0200, struct.pack("<IIHHH", 0, 3, 0, 2, 0))
    p = 0
    while struct.unpack_from("<H", stream, p)[0] != 0x023E:
        p += 4 + struct.unpack_from("<H", stream, p + 2)[0]
    return stream[:p] + chart + rec(0x000A, b"") + stream[p:]


def hand_laid(stream, shift):
    """A compound file as some writers lay it out: a FAT sector, a directory sector, the Workbook
    stream (zeros after its EOF past 4096 bytes) in sectors of 2**shift bytes, the last one short."""
    size, stream = 1 << shift, stream.ljust(5000, b"\0")
    n = -(-len(stream) // size)
    fat = [0xFFFFFFFD, 0xFFFFFFFE] + [k + 3 if k + 1 < n else 0xFFFFFFFE for k in range(n)]
    header = struct.pack("<8s16sHHHHH6x10I", b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", b"", 0x3E, 4 if shift == 12 else 3,
                         0xFFFE, shift, 6, int(shift == 12), 1, 1, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0, 0)
    entry = lambda name, kind, child, start, length: (name + "\0").encode("utf-16-le").ljust(64, b"\0") + struct.pack(
        "<HBB3I36x3I", 2 * len(name) + 2, kind, 1, 0xFFFFFFFF, 0xFFFFFFFF, child, start, length, 0)
    directory = entry("Root Entry", 5, 1, 0xFFFFFFFE, 0) + entry("Workbook", 2, 0xFFFFFFFF, 2, len(stream))
    return ((header + b"\xFF" * 432).ljust(max(512, size), b"\0")
            + struct.pack("<%dI" % len(fat), *fat).ljust(size, b"\xFF") + directory.ljust(size, b"\0") + stream)


def rich_cell():
    return ('<table:table-cell office:value-type="string"><text:p>普通 '
            '<text:span text:style-name="T1">太字</text:span> plain</text:p></table:table-cell>')


def write_fods(path):
    rows = [
        [fods.cell(name, bold=True) for name in ("天気", "予定", "感想", "予定色")],
        [fods.cell("晴れ"), fods.cell("歯医者\n午後3時から"), rich_cell(), fods.cell(255)],
        [fods.cell("雨"), fods.cell(None), fods.cell("walk と読書"), fods.cell(-2147483640)],
        [fods.cell(None), fods.cell("長い" * 30), fods.cell(None, formula="of:=LEN([.B3])", cached=0), fods.cell(0.1)],
    ]
    sheet1 = '<table:table table:name="Sheet1">%s</table:table>' % "".join(
        "<table:table-row>%s</table:table-row>" % "".join(r) for r in rows)
    sheet2 = ('<table:table table:name="集計"><table:table-row>%s%s</table:table-row></table:table>'
              % (fods.cell("合計"), fods.cell(None, formula="of:=SUM([Sheet1.D2:D2])", cached=255)))
    head = """<office:automatic-styles>
 <style:style style:name="bold" style:family="table-cell">
  <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
 </style:style>
 <style:style style:name="T1" style:family="text">
  <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
 </style:style>
</office:automatic-styles>"""
    fods.write(path, head, (sheet1, sheet2))


def array_cell(formula, rows, cached):
    return ('<table:table-cell table:formula="%s" table:number-matrix-columns-spanned="1" '
            'table:number-matrix-rows-spanned="%d" office:value-type="float" office:value="%r"><text:p>%r</text:p>'
            '</table:table-cell>' % (fods.attribute(formula), rows, cached, cached))


def write_ranges_fods(path):
    """B2:B4 an array formula, C5:C7 a data table (LibreOffice writes ARRAY and TABLE records); the
    fuzzer's writes overwrite B2 and C5, the first cell of each."""
    rows = [[fods.cell("n")], [fods.cell(1), array_cell("of:=[.A2:.A4]*2", 3, 2)], [fods.cell(2), fods.cell(4)],
            [fods.cell(3), fods.cell(6), fods.cell(None, formula="of:=[.A2]*10", cached=10)]]
    for r in range(4, 7):
        rows.append([fods.cell(None), fods.cell(r), fods.cell(
            None, formula="of:=MULTIPLE.OPERATIONS([.$C$4];[.$A$2];[.B%d])" % (r + 1), cached=r * 10)])
    fods.write(path, "", ['<table:table table:name="Sheet1">%s</table:table>' % "".join(
        "<table:table-row>%s</table:table-row>" % "".join(r) for r in rows)])


def run(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def converted_seeds(out):
    with tempfile.TemporaryDirectory() as tmp:
        source, shared = os.path.join(tmp, "small.fods"), os.path.join(tmp, "shared.fods")
        ranges = os.path.join(tmp, "ranges.fods")
        write_fods(source)
        write_ranges_fods(ranges)
        # Formulas filled down, which LibreOffice writes as shared formulas; the
        # fuzzer's writes overwrite B2, the first cell of one, and C5 inside another.
        rows = [[fods.cell(r), fods.cell(None, formula="of:=[.A%d]*2" % (r + 1), cached=r * 2) if r else fods.cell(""),
                 fods.cell(None, formula="of:=[.A%d]+1" % (r + 1), cached=r + 1)] for r in range(6)]
        fods.write(shared, "", ['<table:table table:name="Sheet1">%s</table:table>' % "".join(
            "<table:table-row>%s</table:table-row>" % "".join(r) for r in rows)])
        profile = "file://" + os.path.join(tmp, "profile")
        run(["soffice", "-env:UserInstallation=" + profile, "--headless",
             "--convert-to", "xls:MS Excel 97", "--outdir", tmp, source, shared, ranges])
        shutil.copy(os.path.join(tmp, "small.xls"), os.path.join(out, "libreoffice_small.xls"))
        shutil.copy(os.path.join(tmp, "shared.xls"), os.path.join(out, "libreoffice_shared_formula.xls"))
        shutil.copy(os.path.join(tmp, "ranges.xls"), os.path.join(out, "libreoffice_array_table.xls"))
        run(["soffice", "-env:UserInstallation=" + profile, "--headless",
             "--convert-to", "ods", "--outdir", tmp, source])
        ods = os.path.join(tmp, "small.ods")
        run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", ods, os.path.join(out, "gnumeric_small.xls")])
        run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff7", ods, os.path.join(out, "gnumeric_biff5.xls")])


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(os.path.dirname(__file__), "corpus", "workbook"))
    os.makedirs(out, exist_ok=True)
    xlwt_seeds(out)
    converted_seeds(out)


if __name__ == "__main__":
    main()
