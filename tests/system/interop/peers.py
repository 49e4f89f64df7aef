#!/usr/bin/python3
"""Other programs' view of .xls workbooks, for the interop tests. Run with
Debian's /usr/bin/python3 (python3-xlrd, python3-xlwt).

  peers.py xlwt OUT.xls                write the test workbook as xlwt writes it
  peers.py dump PEER WORKDIR IN.xls... print what PEER (xlrd, libreoffice or
                                       gnumeric) reads in each file, as JSON

A dump maps "sheet/row,col" to [text, kind] for every non-empty cell, texts as
the engine reads them, "warnings" to the peer's complaints and "sheets" to the
sheet names. LibreOffice adds a formula to its kind; xlrd adds each sheet's
bold cells, formats, widths and merged areas.
"""

import csv, decimal, glob, io, json, math, os, shutil, subprocess, sys
import xml.etree.ElementTree as ET


def number_text(v):
    """As the engine shows a number: whole values up to 2**53 as integers,
    others in their shortest round-trip form, without an exponent when short."""
    v = float(v)
    if math.isfinite(v) and v == int(v) and abs(v) <= 2 ** 53:
        return str(int(v))
    if math.isfinite(v) and 1e-5 <= abs(v) < 1e15:
        return format(decimal.Decimal(repr(v)), "f")
    return repr(v)


def write_xlwt(out):
    """The diary's columns with two of the user's own among them, texts the file
    format splits across records, extreme colour numbers, and formatting,
    formulas, merged cells and a second sheet that a save must keep."""
    import xlwt
    colours = ["予定色"] + ["時間色%d" % i for i in range(1, 8)] + ["感想色"]
    header = (["予定", "出欠", "メモ欄"] + ["時間%d" % i for i in range(1, 8)] + ["内容%d" % i for i in range(1, 8)]
              + ["感想"] + colours + ["天気", "合計"])
    cells = {(r, header.index(c)): -2147483640 for r in range(1, 366) for c in colours}
    cells.update({(0, c): name for c, name in enumerate(header)})
    cells.update({(r, 2): "週のメモ %d" % r for r in range(1, 366, 7)})
    for r, values in {
            1: {"予定": "遠足\n弁当 と  水筒", "内容1": "漢字の書き取り\n\n二行あけて", "感想": ("長い一日だった。" * 4096)[:32767],
                "予定色": 255, "天気": "/opt/merrow/はれ.ico", "合計": xlwt.Formula("LEN(C2)")},
            2: {"感想": "a" * 20000 + "い" * 12767, "内容7": "x" * 300, "時間色1": 2147483647, "時間色2": -2147483648},
            4: {"予定": "<&>\"' ①②③ ㈱ 髙﨑 ｶﾀｶﾅ", "内容2": "  前後に空白  ", "感想": "旅行\r\n京都", "時間色3": ""},
            370: {"予定": "欄外の結合セル"}}.items():
        cells.update({(r, header.index(c)): v for c, v in values.items()})
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    bold = xlwt.easyxf("font: bold on")
    for (r, c), v in cells.items():
        sheet.write(r, c, v, bold if r == 0 and c < 3 else xlwt.Style.default_style)
    sheet.col(0).width, sheet.col(2).width = 9000, 6000
    sheet.merge(370, 371, 0, 3)
    other = book.add_sheet("集計")
    for r, v in enumerate([3, 4.5, xlwt.Formula("A1*A2"), "牛乳", True]):
        other.write(r, 0, v)
    book.save(out)


def dump_xlrd(path, work):
    import xlrd
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log)
    kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_DATE: "number",
             xlrd.XL_CELL_BOOLEAN: "bool", xlrd.XL_CELL_ERROR: "error"}
    out = {"sheets": book.sheet_names()}
    for s in book.sheets():
        bold, formats = [], {}
        for r in range(s.nrows):
            for c in range(s.ncols):
                cell, key = s.cell(r, c), "%d,%d" % (r, c)
                xf = book.xf_list[cell.xf_index]
                if book.font_list[xf.font_index].weight >= 700:
                    bold.append(key)
                if book.format_map[xf.format_key].format_str not in ("General", "@"):
                    formats[key] = book.format_map[xf.format_key].format_str
                text = (cell.value if cell.ctype == xlrd.XL_CELL_TEXT
                        else ("TRUE" if cell.value else "FALSE") if cell.ctype == xlrd.XL_CELL_BOOLEAN
                        else xlrd.error_text_from_code.get(cell.value, "") if cell.ctype == xlrd.XL_CELL_ERROR
                        else number_text(cell.value) if cell.ctype in kinds else "")
                if text:
                    out[s.name + "/" + key] = [text, kinds[cell.ctype]]
        out.update({s.name + "/bold": bold, s.name + "/formats": formats, s.name + "/merged": sorted(s.merged_cells),
                    s.name + "/widths": {str(c): i.width for c, i in s.colinfo_map.items()}})
    out["warnings"] = log.getvalue()
    return out


def complaints(run, noise):
    lines = (run.stdout + run.stderr).decode("utf-8", "replace").splitlines()
    return "\n".join(l for l in lines if l.strip() and not any(n in l for n in noise))


def dump_libreoffice(path, work):
    """Converted to flat ODS by soffice, with a profile kept in WORKDIR."""
    shutil.rmtree(os.path.join(work, "lo"), ignore_errors=True)
    os.makedirs(os.path.join(work, "lo"))
    run = subprocess.run(["soffice", "-env:UserInstallation=file://%s/lo-profile" % work, "--headless", "--norestore",
                          "--convert-to", "fods", "--outdir", os.path.join(work, "lo"),
                          shutil.copy(path, os.path.join(work, "lo", "in.xls"))], capture_output=True, timeout=300)
    t, o, x = ("{urn:oasis:names:tc:opendocument:xmlns:%s:1.0}" % p for p in ("table", "office", "text"))

    def paragraph(p):
        parts = [p.text or ""]
        for child in p:
            spaces = " " * int(child.get(x + "c", "1")) if child.tag == x + "s" else None
            parts += [spaces or {x + "tab": "\t", x + "line-break": "\n"}.get(child.tag) or paragraph(child), child.tail or ""]
        return "".join(parts)

    out = {"sheets": [], "warnings": complaints(run, ("javaldx", "convert "))}
    for table in ET.parse(os.path.join(work, "lo", "in.fods")).getroot().iter(t + "table"):
        out["sheets"].append(table.get(t + "name"))
        r = 0
        for row in table.iter(t + "table-row"):
            c = 0
            for cell in row:
                kind = cell.get(o + "value-type")
                text = (number_text(cell.get(o + "value")) if kind in ("float", "percentage", "currency")
                        else cell.get(o + "boolean-value", "").upper() if kind == "boolean"
                        else "\n".join(paragraph(p) for p in cell.findall(x + "p")))
                n = int(cell.get(t + "number-columns-repeated", "1"))
                for k in range(min(n, 1024) if kind else 0):
                    out["%s/%d,%d" % (out["sheets"][-1], r, c + k)] = [text, " ".join(filter(None, [kind, cell.get(t + "formula")]))]
                c += n
            r += int(row.get(t + "number-rows-repeated", "1"))
    return out


def dump_gnumeric(path, work):
    """Every sheet's unformatted values, as ssconvert exports them to CSV."""
    folder = os.path.join(work, "gnumeric")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    run = subprocess.run(["ssconvert", "-S", "-T", "Gnumeric_stf:stf_assistant", "-O",
                          "format=raw separator=, quoting-mode=auto eol=unix charset=UTF-8",
                          path, os.path.join(folder, "%s.csv")], capture_output=True, timeout=300, check=True)
    # No width table for the Japanese face the diary names: that is no complaint.
    out = {"sheets": [], "warnings": complaints(run, ("unknown widths for font",))}
    for name in sorted(glob.glob(os.path.join(glob.escape(folder), "*.csv"))):
        out["sheets"].append(os.path.basename(name)[:-4])
        with open(name, encoding="utf-8", newline="") as f:
            for r, row in enumerate(csv.reader(f)):
                out.update({"%s/%d,%d" % (out["sheets"][-1], r, c): [text, ""] for c, text in enumerate(row) if text})
    return out


if __name__ == "__main__":
    if sys.argv[1] == "xlwt":
        write_xlwt(sys.argv[2])
    else:
        # The peers' settings and caches (~/.config, dconf's) stay in the work folder.
        os.environ.update(HOME=sys.argv[3], XDG_RUNTIME_DIR=sys.argv[3], GSETTINGS_BACKEND="memory")
        dump = {"xlrd": dump_xlrd, "libreoffice": dump_libreoffice, "gnumeric": dump_gnumeric}[sys.argv[2]]
        json.dump([dump(path, sys.argv[3]) for path in sys.argv[4:]], sys.stdout, ensure_ascii=False)
