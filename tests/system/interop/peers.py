#!/usr/bin/python3
"""Writes and reads workbooks the way other programs do, for the interop,
fault and bad-input tests. Run with Debian's /usr/bin/python3 (python3-xlrd,
python3-xlwt).

A workbook is described as JSON:
  {"sheets": [{"name": "Sheet1",
               "cells": [[row, col, value], ...],
               "bold": [[row, col], ...],          optional
               "widths": {"col": width_in_1/256_char}, optional
               "merged": [[r1, r2, c1, c2], ...]}]} optional (xlwt: rows/cols inclusive)
where value is a string, a number, {"formula": "B2+1", "cached": 3} or
{"bool": true}.

A dump lists every non-empty cell as [row, col, kind, text], text written as
the diary's workbook engine writes it: whole numbers as integers, other numbers
in their shortest round-trip form, booleans TRUE/FALSE.

Commands:
  xlwt DESC OUT.xls        write with xlwt
  fods DESC OUT.fods       write a flat OpenDocument spreadsheet (for soffice)
  ods DESC OUT.ods         the same, zipped (for ssconvert)
  xlrd IN.xls OUT.json     dump with xlrd, with formatting and xlrd's warnings
  fodsdump IN.fods OUT.json dump a flat ODS written by LibreOffice, with formulas and styles
  csvdump PREFIX OUT.json  dump the CSV files PREFIX*.csv that ssconvert -S wrote
"""

import csv
import glob
import io
import json
import math
import os
import sys
import xml.etree.ElementTree as ET

import fods


def number_text(v):
    if isinstance(v, bool):
        return "TRUE" if v else "FALSE"
    v = float(v)
    if math.isfinite(v) and v == int(v) and abs(v) < 1e15:
        return str(int(v))
    return repr(v)


# ---------------------------------------------------------------- writers

def write_xlwt(desc, out):
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    bold = xlwt.easyxf("font: bold on")
    for s in desc["sheets"]:
        sheet = book.add_sheet(s["name"], cell_overwrite_ok=True)
        bolds = {(r, c) for r, c in s.get("bold", [])}
        for r, c, v in s["cells"]:
            style = bold if (r, c) in bolds else xlwt.Style.default_style
            if isinstance(v, dict) and "formula" in v:
                sheet.write(r, c, xlwt.Formula(v["formula"]), style)
            elif isinstance(v, dict) and "bool" in v:
                sheet.write(r, c, bool(v["bool"]), style)
            else:
                sheet.write(r, c, v, style)
        for c, w in s.get("widths", {}).items():
            sheet.col(int(c)).width = int(w)
        for r1, r2, c1, c2 in s.get("merged", []):
            sheet.merge(r1, r2, c1, c2)
    book.save(out)


FODS_HEAD = fods.DOCUMENT_START + """<office:styles>
 <style:style style:name="Default" style:family="table-cell"/>
</office:styles>
<office:automatic-styles>
 <style:style style:name="bold" style:family="table-cell" style:parent-style-name="Default">
  <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
 </style:style>
%s
</office:automatic-styles>
<office:body><office:spreadsheet>
"""


def fods_cell(v, bold):
    """A cell of a description: plain values, {"formula", "cached"} or {"bool"}."""
    if isinstance(v, dict) and "formula" in v:
        return fods.cell(None, bold, formula="of:=" + v["formula"], cached=v.get("cached", 0))
    if isinstance(v, dict) and "bool" in v:
        return fods.cell(bool(v["bool"]), bold)
    return fods.cell(v, bold)


def write_fods(desc, out):
    with open(out, "w", encoding="utf-8") as f:
        f.write(fods_text(desc))


def write_ods(desc, out):
    """The same document zipped, as Gnumeric reads OpenDocument."""
    import zipfile
    body = fods_text(desc).replace("<office:document ", "<office:document-content ", 1)
    body = body.replace("</office:document>", "</office:document-content>")
    manifest = ('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" '
                'manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" manifest:version="1.2" '
                'manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                '</manifest:manifest>')
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet",
                   compress_type=zipfile.ZIP_STORED)
        z.writestr("META-INF/manifest.xml", manifest, compress_type=zipfile.ZIP_DEFLATED)
        z.writestr("content.xml", body.encode("utf-8"), compress_type=zipfile.ZIP_DEFLATED)


def fods_text(desc):
    col_styles, tables = [], []
    for si, s in enumerate(desc["sheets"]):
        grid = {}
        for r, c, v in s["cells"]:
            grid[(r, c)] = v
        bolds = {(r, c) for r, c in s.get("bold", [])}
        nrows = max([r for r, c in grid] + [r for r, c in bolds] + [-1]) + 1
        ncols = max([c for r, c in grid] + [c for r, c in bolds] + [0]) + 1
        widths = {int(c): int(w) for c, w in s.get("widths", {}).items()}
        cols = []
        for c in range(ncols):
            if c in widths:
                name = "co%d_%d" % (si, c)
                # xlwt widths are 1/256 of a character; about 0.0075 cm each here.
                col_styles.append('<style:style style:name="%s" style:family="table-column">'
                                  '<style:table-column-properties style:column-width="%.3fcm"/></style:style>'
                                  % (name, widths[c] / 256 * 0.19))
                cols.append('<table:table-column table:style-name="%s"/>' % name)
            else:
                cols.append("<table:table-column/>")
        rows = []
        for r in range(nrows):
            rows.append("<table:table-row>%s</table:table-row>"
                        % "".join(fods_cell(grid.get((r, c)), (r, c) in bolds) for c in range(ncols)))
        tables.append('<table:table table:name="%s">%s%s</table:table>'
                      % (fods.attribute(s["name"]), "".join(cols), "".join(rows)))
    return (FODS_HEAD % "\n".join(col_styles) + "".join(tables)
            + "</office:spreadsheet></office:body></office:document>\n")


# ---------------------------------------------------------------- readers

def dump_xlrd(path):
    import xlrd
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log, on_demand=False)
    kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_BOOLEAN: "bool",
             xlrd.XL_CELL_ERROR: "error", xlrd.XL_CELL_DATE: "number"}
    sheets = []
    for sheet in book.sheets():
        cells, bold, formats = [], [], {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                if font.bold or font.weight >= 700:
                    bold.append([r, c])
                fmt = book.format_map.get(xf.format_key)
                if fmt is not None and fmt.format_str not in ("General", "@"):
                    formats["%d,%d" % (r, c)] = fmt.format_str
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    text = cell.value
                elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
                    text = "TRUE" if cell.value else "FALSE"
                elif cell.ctype == xlrd.XL_CELL_ERROR:
                    text = xlrd.error_text_from_code.get(cell.value, "")
                else:
                    text = number_text(cell.value)
                cells.append([r, c, kinds.get(cell.ctype, "?"), text])
        widths = {str(c): info.width for c, info in sheet.colinfo_map.items()}
        sheets.append({"name": sheet.name, "nrows": sheet.nrows, "cells": cells, "bold": bold,
                       "formats": formats, "widths": widths,
                       "merged": [list(m) for m in sheet.merged_cells]})
    return {"sheets": sheets, "warnings": log.getvalue()}


NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
}


def q(prefix, name):
    return "{%s}%s" % (NS[prefix], name)


def paragraph_text(p):
    out = [p.text or ""]
    for child in p:
        tag = child.tag
        if tag == q("text", "s"):
            out.append(" " * int(child.get(q("text", "c"), "1")))
        elif tag == q("text", "tab"):
            out.append("\t")
        elif tag == q("text", "line-break"):
            out.append("\n")
        else:
            out.append(paragraph_text(child))
        out.append(child.tail or "")
    return "".join(out)


def style_properties(root):
    """style name -> its properties (parents followed), as a sorted text."""
    raw = {}
    for st in root.iter(q("style", "style")):
        props = {}
        for child in st:
            for k, v in child.attrib.items():
                props[child.tag.split("}")[1] + ":" + k.split("}")[1]] = v
        dsn = st.get(q("style", "data-style-name"))
        if dsn:
            props["data-style"] = dsn
        raw[st.get(q("style", "name"))] = (st.get(q("style", "parent-style-name")), props)
    # Number formats: data style name -> its element text, so renumbered names compare equal.
    numbers = {}
    for el in root.iter():
        name = el.get(q("style", "name"))
        if name and el.tag.endswith("-style") and el.tag != q("style", "style"):
            numbers[name] = ET.tostring(el, encoding="unicode").split(">", 1)[1]

    def resolve(name, depth=0):
        if name not in raw or depth > 10:
            return {}
        parent, props = raw[name]
        merged = dict(resolve(parent, depth + 1)) if parent else {}
        merged.update(props)
        if "data-style" in merged:
            merged["data-style"] = numbers.get(merged["data-style"], merged["data-style"])
        return merged

    return {name: json.dumps(resolve(name), sort_keys=True, ensure_ascii=False) for name in raw}


def dump_fods(path):
    root = ET.parse(path).getroot()
    styles = style_properties(root)
    sheets = []
    for table in root.iter(q("table", "table")):
        cells, columns = [], []
        for col in table.iter(q("table", "table-column")):
            n = int(col.get(q("table", "number-columns-repeated"), "1"))
            columns.extend([styles.get(col.get(q("table", "style-name")), "")] * min(n, 64))
        del columns[64:]
        r = 0
        for row in table.iter(q("table", "table-row")):
            nr = int(row.get(q("table", "number-rows-repeated"), "1"))
            c = 0
            for cell in row:
                if cell.tag not in (q("table", "table-cell"), q("table", "covered-table-cell")):
                    continue
                nc = int(cell.get(q("table", "number-columns-repeated"), "1"))
                kind = cell.get(q("office", "value-type"))
                formula = cell.get(q("table", "formula"))
                style = styles.get(cell.get(q("table", "style-name")) or row.get(q("table", "default-cell-style-name")), "")
                if kind is not None or formula is not None:
                    if kind == "string":
                        sv = cell.get(q("office", "string-value"))
                        text = sv if sv is not None else "\n".join(
                            paragraph_text(p) for p in cell.findall(q("text", "p")))
                    elif kind == "boolean":
                        text = "TRUE" if cell.get(q("office", "boolean-value")) == "true" else "FALSE"
                    elif kind in ("float", "percentage", "currency"):
                        text = number_text(float(cell.get(q("office", "value"))))
                    else:
                        text = "\n".join(paragraph_text(p) for p in cell.findall(q("text", "p")))
                    for i in range(min(nc, 1024)):
                        cells.append([r, c + i, kind or "", text, formula or "", style])
                elif style and nr == 1 and nc < 1024:
                    for i in range(nc):
                        cells.append([r, c + i, "", "", "", style])
                c += nc
            r += nr
        sheets.append({"name": table.get(q("table", "name")), "cells": cells, "columns": columns})
    return {"sheets": sheets}


def dump_csv(prefix):
    sheets = []
    for path in sorted(glob.glob(glob.escape(prefix) + "*.csv")):
        with open(path, encoding="utf-8", newline="") as f:
            cells = []
            for r, row in enumerate(csv.reader(f)):
                for c, text in enumerate(row):
                    if text != "":
                        cells.append([r, c, "", text])
        sheets.append({"name": os.path.basename(path)[len(os.path.basename(prefix)):], "cells": cells})
    return {"sheets": sheets}


def main():
    cmd = sys.argv[1]
    if cmd == "xlwt":
        with open(sys.argv[2], encoding="utf-8") as f:
            write_xlwt(json.load(f), sys.argv[3])
        return
    if cmd in ("fods", "ods"):
        with open(sys.argv[2], encoding="utf-8") as f:
            (write_fods if cmd == "fods" else write_ods)(json.load(f), sys.argv[3])
        return
    if cmd == "xlrd":
        result = dump_xlrd(sys.argv[2])
    elif cmd == "fodsdump":
        result = dump_fods(sys.argv[2])
    elif cmd == "csvdump":
        result = dump_csv(sys.argv[2])
    else:
        sys.exit("unknown command " + cmd)
    with open(sys.argv[3], "w", encoding="utf-8") as f:
        json.dump(result, f, ensure_ascii=False)


if __name__ == "__main__":
    main()
