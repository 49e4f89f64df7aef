#!/usr/bin/python3
"""Makes the workbooks that tests/test_workbook_*.cpp read, with the programs
that write such files in the wild, so the tests need none of them installed.

Run with Debian's /usr/bin/python3 (python3-xlwt), with LibreOffice (soffice)
and Gnumeric (ssconvert) on PATH:

    /usr/bin/python3 tools/make_test_workbooks.py [tests/data]

Writes:
  diary_xlwt.xls          xlwt: Sheet1 with the 27 diary columns, 365 records,
                          and a second sheet "メモ"
  diary_libreoffice.xls   LibreOffice Calc from a flat ODS written here: an extra
                          column, columns out of order, bold header, formulas,
                          column widths, a second sheet "集計"
  diary_gnumeric.xls      Gnumeric's BIFF8 writer from the same flat ODS
  diary_gnumeric_dual.xls Gnumeric writing both a BIFF8 and a BIFF5 stream
  old_biff5.xls           Gnumeric's BIFF5 ("Book" stream) writer
  rows60000_xlwt.xls.qz   xlwt: 60,000 rows and 100 long texts (a compound file
                          with DIFAT sectors), zlib-compressed in the layout of Qt's
                          qCompress (4-byte big-endian length, zlib data)
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
import xlwt

# The flat-ODS writer the fixture scripts share.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fods  # noqa: E402

HEADERS = (["予定", "出欠"] + ["時間%d" % i for i in range(1, 8)]
           + ["内容%d" % i for i in range(1, 8)] + ["感想", "予定色"]
           + ["時間色%d" % i for i in range(1, 8)] + ["感想色", "天気"])
COLOUR_COLUMNS = {"予定色", "感想色"} | {"時間色%d" % i for i in range(1, 8)}

SYSTEM_WINDOW_TEXT = -2147483640  # 0x80000008
RED = 255


def diary_records(count):
    """Day records as dicts column name -> value (str, or int for colours)."""
    records = []
    for day in range(count):
        rec = {name: SYSTEM_WINDOW_TEXT for name in COLOUR_COLUMNS}
        # Mixed Japanese and Latin text: LibreOffice stores it as rich text.
        rec["感想"] = "%d日目: walk と読書 %s" % (day + 1, "!" * (day % 5))
        rec["内容1"] = "meeting %d" % (day % 40)
        records.append(rec)
    records[0].update({
        "予定": "歯医者\n午後3時から", "出欠": "出", "時間1": "9:00", "内容1": "朝会",
        "時間2": "12:30", "内容2": "昼食（カレー）", "感想": "晴れて気持ちよかった。\nまた行きたい。",
        "予定色": RED, "時間色1": 16711680, "天気": "晴れ"})
    records[1].update({
        "予定": "3", "出欠": "欠", "内容1": "café crème à la naïve", "感想": "Ünïcödé ±½ ÿ",
        "天気": "くもり"})
    records[2].update({
        "予定": "旅行\r\n京都", "内容3": "x" * 300, "感想": "長い" * 200, "天気": "雨"})
    records[9].update({"感想": "十日目", "感想色": 0})
    records[-1].update({"予定": "大晦日", "感想": "一年おつかれさま", "天気": "雪"})
    return records


def write_xlwt_diary(path):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    for col, name in enumerate(HEADERS):
        sheet.write(0, col, name)
    for row, rec in enumerate(diary_records(365), start=1):
        for col, name in enumerate(HEADERS):
            value = rec.get(name)
            if value is None or value == "":
                continue
            sheet.write(row, col, value)
    memo = book.add_sheet("メモ")
    memo.write(0, 0, "買い物")
    memo.write(1, 0, "牛乳")
    memo.write(1, 1, 2)
    memo.write(2, 0, "パン")
    memo.write(2, 1, 3.25)
    memo.write(3, 1, xlwt.Formula("B2+B3"))
    book.save(path)


def write_xlwt_rows(path, rows):
    """A tall sheet plus a sheet of long texts: together more than 7 MB, so the
    compound file needs DIFAT sectors, yet the file compresses to little."""
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    sheet.write(0, 0, "予定")
    sheet.write(0, 1, "予定色")
    words = ["朝会", "昼食", "散歩", "買い物", "読書", "会議", "café", "映画"]
    for row in range(1, rows + 1):
        sheet.write(row, 0, words[row % len(words)])
        sheet.write(row, 1, row)
    long_texts = book.add_sheet("長文")
    for row in range(100):
        long_texts.write(row, 0, "%05d" % row + "長い文章。" * 6000)
    book.save(path)


def libreoffice_layout():
    """Column order of the LibreOffice sheet: the extra column "メモ欄" third,
    天気 moved to the front."""
    columns = [c for c in HEADERS if c != "天気"]
    columns.insert(0, "天気")
    columns.insert(2, "メモ欄")
    return columns


def write_fods(path):
    columns = libreoffice_layout()
    records = diary_records(365)
    rows = []
    rows.append("<table:table-row>%s</table:table-row>"
                % "".join(fods.cell(name, bold=True) for name in columns))
    for index, rec in enumerate(records):
        cells = []
        for name in columns:
            if name == "メモ欄":
                if index == 0:
                    cells.append(fods.cell(None, formula="of:=LEN([.D2])", cached=6))
                elif index == 1:
                    # LibreOffice 7.4 stores 0 as this text formula's cached
                    # result in .xls; Gnumeric stores the text.
                    cells.append(fods.cell(None, formula='of:=CONCATENATE("合計";"!")',
                                           cached="合計!"))
                elif index == 2:
                    cells.append(fods.cell("太字のメモ", bold=True))
                else:
                    cells.append(fods.cell("Memo %d 日本語" % index if index % 3 == 0 else None))
            else:
                value = rec.get(name)
                if isinstance(value, str):
                    value = value.replace("\r\n", "\n")
                cells.append(fods.cell(value, bold=(name == "出欠" and index == 0)))
        rows.append("<table:table-row>%s</table:table-row>" % "".join(cells))
    sheet1 = ('<table:table table:name="Sheet1">'
              '<table:table-column table:style-name="wide"/>'
              '<table:table-column table:number-columns-repeated="%d"/>%s</table:table>'
              % (len(columns) - 1, "".join(rows)))
    summary_rows = [
        "<table:table-row>%s%s</table:table-row>" % (fods.cell("合計", bold=True),
                                                     fods.cell(None, formula="of:=SUM([Sheet1.Y2:Y4])",
                                                               cached=-2147483640 * 2 + 255)),
        "<table:table-row>%s%s</table:table-row>" % (fods.cell("真偽"),
                                                     fods.cell(None, formula="of:=1<2", cached=True)),
        "<table:table-row>%s%s</table:table-row>" % (fods.cell("小数"), fods.cell(0.1)),
    ]
    sheet2 = '<table:table table:name="集計">%s</table:table>' % "".join(summary_rows)
    head = """<office:font-face-decls>
 <style:font-face style:name="Liberation Sans" svg:font-family="'Liberation Sans'" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"/>
 <style:font-face style:name="IPAGothic" svg:font-family="IPAGothic" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"/>
</office:font-face-decls>
<office:styles>
 <style:style style:name="Default" style:family="table-cell">
  <style:text-properties style:font-name="Liberation Sans" style:font-name-asian="IPAGothic"/>
 </style:style>
</office:styles>
<office:automatic-styles>
 <style:style style:name="wide" style:family="table-column">
  <style:table-column-properties style:column-width="1.5in"/>
 </style:style>
 <style:style style:name="bold" style:family="table-cell" style:parent-style-name="Default">
  <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
 </style:style>
</office:automatic-styles>"""
    fods.write(path, head, (sheet1, sheet2))


RECALC_ON_LOAD = """<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
"""


def libreoffice_profile(folder):
    """A fresh LibreOffice profile that recalculates formulas on loading, so
    that the cached results it writes are real ones."""
    user = os.path.join(folder, "user")
    os.makedirs(user)
    with open(os.path.join(user, "registrymodifications.xcu"), "w") as f:
        f.write(RECALC_ON_LOAD)
    return "file://" + folder


def run(args, cwd=None):
    subprocess.run(args, check=True, cwd=cwd, stdout=subprocess.DEVNULL)


def qcompress(data):
    return struct.pack(">I", len(data)) + zlib.compress(data, 9)


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(os.path.dirname(__file__), "..", "tests", "data"))
    os.makedirs(out, exist_ok=True)
    write_xlwt_diary(os.path.join(out, "diary_xlwt.xls"))

    with tempfile.TemporaryDirectory() as tmp:
        fods = os.path.join(tmp, "diary.fods")
        write_fods(fods)
        profile = libreoffice_profile(os.path.join(tmp, "profile"))
        run(["soffice", "-env:UserInstallation=" + profile, "--headless",
             "--convert-to", "xls:MS Excel 97", "--outdir", tmp, fods])
        shutil.copy(os.path.join(tmp, "diary.xls"), os.path.join(out, "diary_libreoffice.xls"))
        run(["soffice", "-env:UserInstallation=" + profile, "--headless",
             "--convert-to", "ods", "--outdir", tmp, fods])
        ods = os.path.join(tmp, "diary.ods")
        run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff8", ods,
             os.path.join(out, "diary_gnumeric.xls")])
        run(["ssconvert", "-T", "Gnumeric_Excel:excel_dsf", ods,
             os.path.join(out, "diary_gnumeric_dual.xls")])
        run(["ssconvert", "-T", "Gnumeric_Excel:excel_biff7", ods,
             os.path.join(out, "old_biff5.xls")])

        big = os.path.join(tmp, "rows60000.xls")
        write_xlwt_rows(big, 60000)
        with open(big, "rb") as f:
            data = f.read()
        with open(os.path.join(out, "rows60000_xlwt.xls.qz"), "wb") as f:
            f.write(qcompress(data))


if __name__ == "__main__":
    main()
