"""Flat OpenDocument spreadsheets (.fods), the form in which the fixture scripts
hand workbooks to LibreOffice and Gnumeric to be saved as .xls."""

from xml.sax.saxutils import escape

# The document element with the namespaces every writer here needs; the caller
# adds its styles and body, then "</office:document>" (or lets write() do it).
DOCUMENT_START = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
"""


def attribute(text):
    return escape(text, {'"': "&quot;"})


def paragraphs(text):
    out = []
    for line in text.split("\n"):
        # Runs of spaces and tabs are markup in ODF, not character data.
        parts, i = [], 0
        while i < len(line):
            ch = line[i]
            if ch == "\t":
                parts.append("<text:tab/>")
                i += 1
            elif ch == " ":
                j = i
                while j < len(line) and line[j] == " ":
                    j += 1
                n = j - i
                parts.append(" " if n == 1 else '<text:s text:c="%d"/>' % n)
                i = j
            else:
                j = i
                while j < len(line) and line[j] not in " \t":
                    j += 1
                parts.append(escape(line[i:j]))
                i = j
        out.append("<text:p>%s</text:p>" % "".join(parts))
    return "".join(out)


def _typed(style, kind, value_attr, shown, formula=None):
    f = ' table:formula="%s"' % attribute(formula) if formula is not None else ""
    return ('<table:table-cell%s%s office:value-type="%s" %s><text:p>%s</text:p></table:table-cell>'
            % (style, f, kind, value_attr, shown))


def cell(value, bold=False, formula=None, cached=None):
    """One cell: text (line breaks become paragraphs), a number, a boolean, empty
    (None or ""), or a formula ("of:=...") with its last result in cached."""
    style = ' table:style-name="bold"' if bold else ""
    if formula is not None:
        value = cached
    if isinstance(value, bool):
        word = "true" if value else "false"
        return _typed(style, "boolean", 'office:boolean-value="%s"' % word, word.upper(), formula)
    if isinstance(value, (int, float)):
        return _typed(style, "float", 'office:value="%r"' % value, value, formula)
    if formula is not None:
        return _typed(style, "string", 'office:string-value="%s"' % attribute(value), escape(value), formula)
    if value is None or value == "":
        return "<table:table-cell%s/>" % style
    return '<table:table-cell%s office:value-type="string">%s</table:table-cell>' % (style, paragraphs(value))


def write(path, head, tables):
    """A whole document: head holds the font and style declarations, tables the
    <table:table> elements of the spreadsheet."""
    with open(path, "w", encoding="utf-8") as f:
        f.write(DOCUMENT_START + head + "\n<office:body><office:spreadsheet>" + "".join(tables)
                + "</office:spreadsheet></office:body>\n</office:document>\n")
