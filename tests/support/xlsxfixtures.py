#!/usr/bin/python3
"""Workbooks written by other programs, for the spreadsheet tests.

  xlsxfixtures.py make DIR         writes every fixture workbook into DIR
  xlsxfixtures.py dump FILE        prints a workbook as openpyxl reads it (JSON)
  xlsxfixtures.py bench FILE ROWS COLS [FILL]
                                   writes a large workbook (FILL: share of cells with values)
  xlsxfixtures.py load FILE        times openpyxl's read-only load of every cell
  xlsxfixtures.py numbers FILE V...
                                   a sheet whose cells A1, A2, ... hold the literal number texts V...
  xlsxfixtures.py corners FILE     a sheet holding only A1 and XFD1048576
  xlsxfixtures.py blanks FILE MIB  a sheet whose first row holds MIB mebibytes of blanks between two cells
  xlsxfixtures.py cells FILE COUNT a sheet of COUNT cells holding 1, in rows of 16384
  xlsxfixtures.py repeated FILE ROWS LENGTH
                                   a column titled "长文" whose ROWS cells share one string of LENGTH characters

Most fixtures come from openpyxl; the ones openpyxl cannot write (inline
strings, rich text, cached formula results, no dimension, cells without a
reference) are zipped by hand.
"""

import datetime
import json
import os
import random
import struct
import sys
import time
import zipfile

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904


def save(wb, directory, name):
    wb.save(os.path.join(directory, name))


def make_openpyxl(directory):
    # Titles at A1, three data rows, an empty data cell, every value kind
    # openpyxl writes natively.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "数据"
    ws.append(["档号", "题名", "年度", "数量", "日期"])
    ws.append(["A-001", "城建档案目录", 2024, 100000, datetime.date(2024, 3, 5)])
    ws.append(["A-002", None, 2023, 0.1, datetime.datetime(2024, 3, 5, 14, 30, 15)])
    ws.append(["A-003", "  前后空格  ", 13812345678, -2.5, datetime.datetime(2024, 12, 31, 0, 0, 0)])
    ws["F1"] = "布尔"
    ws["F2"] = True
    ws["F3"] = False
    ws["G1"] = "错误"
    ws["G2"] = "#N/A"
    ws["H1"] = "时间"
    ws["H2"] = datetime.time(8, 5, 9)
    # A styled cell without a value far away: part of the stored dimension,
    # not of the data.
    ws["M40"].font = openpyxl.styles.Font(bold=True)
    save(wb, directory, "basic.xlsx")

    # A table starting at B2, a blank title, two columns titled alike.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Sheet1"
    ws["B2"], ws["C2"], ws["D2"], ws["E2"] = "名称", "编号", "名称", None
    ws["F2"] = "备注"
    ws["B3"], ws["C3"], ws["D3"], ws["E3"], ws["F3"] = "左1", 1, "右1", "无题1", "注1"
    ws["B4"], ws["C4"], ws["D4"], ws["E4"] = "左2", 2, "右2", "无题2"
    save(wb, directory, "offset.xlsx")

    # A short table far below and right of A1.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["H50"], ws["I50"] = "题名", "年度"
    ws["H51"], ws["I51"] = "甲", 2001
    ws["H52"], ws["I52"] = "乙", 2002
    for col in "ABCDEFGHIJKLMNOPQRST":
        ws[col + "200"].number_format = "0.00"  # styled, empty
    save(wb, directory, "far.xlsx")

    # Only the title row.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(["题名", "年度", "档号"])
    save(wb, directory, "titles_only.xlsx")

    # Three sheets, one of them empty, workbook order differing from names.
    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "第一页"
    first.append(["甲"])
    first.append(["一"])
    second = wb.create_sheet("Data 2")
    second.append(["乙", "丙"])
    second.append(["二", "三"])
    second.append(["四", "五"])
    wb.create_sheet("空白")
    wb.move_sheet("空白", offset=-1)
    save(wb, directory, "sheets.xlsx")

    # Merged cells: a category spanning rows, a title spanning columns.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(["类别", "题名", None])
    ws.append(["文书档案", "一", "x"])
    ws.append([None, "二", "y"])
    ws.append([None, "三", "z"])
    ws.append(["科技档案", "四", "w"])
    ws.merge_cells("A2:A4")
    ws.merge_cells("B1:C1")
    save(wb, directory, "merged.xlsx")

    # A title merged over two columns beside a plain one.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"], ws["C1"] = "合并标题", "T3"
    ws.append(["v1", "v2", "v3"])
    ws.merge_cells("A1:B1")
    save(wb, directory, "merged_title.xlsx")

    # The 1904 date system.
    wb = openpyxl.Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.append(["日期"])
    ws.append([datetime.date(2024, 3, 5)])
    ws.append([datetime.datetime(1904, 1, 2, 6, 0, 0)])
    save(wb, directory, "dates1904.xlsx")

    # Custom and built-in date formats on plain numbers.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(["自定义", "内置", "文本格式", "科学计数", "中文", "整数", "大数", "小数"])
    ws.append([45356, 45356.5, 45356, 12345.678, 45356, 1200000, 1e20, 0.00001])
    ws["A2"].number_format = 'yyyy"年"m"月"d"日"'
    ws["B2"].number_format = "m/d/yy h:mm"
    ws["C2"].number_format = "@"
    ws["D2"].number_format = "0.00E+00"
    ws["E2"].number_format = "[$-804]yyyy/mm/dd;@"
    save(wb, directory, "formats.xlsx")

    # An empty workbook sheet.
    wb = openpyxl.Workbook()
    save(wb, directory, "empty.xlsx")


# ------------------------------------------------------------------ by hand

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
{}
</Types>"""

SPREADSHEET_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml.{}+xml"


def content_types(**parts):
    """Overrides for the parts of a package: part name -> kind ("sheet.main", "worksheet", ...)."""
    return CONTENT_TYPES.format("\n".join(
        '<Override PartName="/{}" ContentType="{}"/>'.format(name, SPREADSHEET_TYPE.format(kind))
        for name, kind in parts.items()))

ROOT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="{target}"/>
</Relationships>"""

REL = '<Relationship Id="{id}" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/{type}" Target="{target}"/>'

MAIN_NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL_NS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def write_zip(path, parts):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            z.writestr(name, text)


def make_by_hand(directory):
    # Workbook order "汇总", "明细", "公式": the files are numbered the other
    # way round, one target is absolute, one relative with "..".
    workbook = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="{MAIN_NS}" xmlns:r="{REL_NS}">
<workbookPr/>
<sheets>
<sheet name="汇总" sheetId="1" r:id="rId3"/>
<sheet name="明细" sheetId="2" r:id="rId2"/>
<sheet name="公式" sheetId="3" r:id="rId1"/>
</sheets>
</workbook>"""
    workbook_rels = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
{}
</Relationships>""".format("\n".join([
        REL.format(id="rId1", type="worksheet", target="worksheets/sheet1.xml"),
        REL.format(id="rId2", type="worksheet", target="/xl/worksheets/sheet2.xml"),
        REL.format(id="rId3", type="worksheet", target="../xl/worksheets/sheet3.xml"),
        REL.format(id="rId4", type="sharedStrings", target="strings.xml"),
        REL.format(id="rId5", type="styles", target="styles.xml"),
    ]))
    # Shared strings: plain, rich runs, a phonetic run, kept whitespace, an
    # escaped carriage return.
    shared = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="{MAIN_NS}" count="5" uniqueCount="5">
<si><t>题名</t></si>
<si><r><rPr><b/></rPr><t>富</t></r><r><t xml:space="preserve"> 文本</t></r></si>
<si><t>漢字</t><rPh sb="0" eb="2"><t>かんじ</t></rPh><phoneticPr fontId="1"/></si>
<si><t xml:space="preserve">  两端空格  </t></si>
<si><t>第一行_x000D_
第二行</t></si>
</sst>"""
    styles = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="{MAIN_NS}">
<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy/m/d"/></numFmts>
<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>
<cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/><xf numFmtId="20"/></cellXfs>
</styleSheet>"""
    # "汇总": no dimension, rows and cells without references, inline
    # strings (plain and rich), a date by custom and built-in style.
    summary = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="{MAIN_NS}">
<sheetData>
<row><c t="s"><v>0</v></c><c t="inlineStr"><is><t>内联</t></is></c><c t="s"><v>1</v></c><c t="inlineStr"><is><t>日期</t></is></c></row>
<row><c t="inlineStr"><is><r><rPr><i/></rPr><t>斜</t></r><r><t>体</t></r></is></c><c t="s"><v>2</v></c><c t="s"><v>3</v></c><c s="1"><v>45356</v></c></row>
<row><c t="s"><v>4</v></c><c/><c t="inlineStr"><is><t xml:space="preserve"> </t></is></c><c s="2"><v>45356.75</v></c></row>
<row r="6"><c r="D6" s="3"><v>0.5</v></c></row>
</sheetData>
</worksheet>"""
    # "明细": a lying dimension, prefixed element names, cells out of order.
    detail = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<x:worksheet xmlns:x="{MAIN_NS}">
<x:dimension ref="A1:Z999"/>
<x:sheetData>
<x:row r="2"><x:c r="C2" t="inlineStr"><x:is><x:t>乙</x:t></x:is></x:c><x:c r="B2" t="inlineStr"><x:is><x:t>甲</x:t></x:is></x:c></x:row>
<x:row r="3"><x:c r="B3"><x:v>1</x:v></x:c><x:c r="C3"><x:v>2</x:v></x:c></x:row>
<x:row r="9"><x:c r="E9" s="0"/></x:row>
</x:sheetData>
</x:worksheet>"""
    # "公式": cached formula results of every kind, one formula never
    # calculated, a shared formula.
    formulas = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="{MAIN_NS}">
<dimension ref="A1"/>
<sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>数</t></is></c><c r="B1" t="inlineStr"><is><t>文</t></is></c><c r="C1" t="inlineStr"><is><t>真</t></is></c><c r="D1" t="inlineStr"><is><t>错</t></is></c><c r="E1" t="inlineStr"><is><t>空</t></is></c></row>
<row r="2"><c r="A2"><f>1+2</f><v>3</v></c><c r="B2" t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c r="C2" t="b"><f>TRUE()</f><v>1</v></c><c r="D2" t="e"><f>1/0</f><v>#DIV/0!</v></c><c r="E2"><f>SUM(A1:A9)</f></c></row>
<row r="3"><c r="A3"><f t="shared" ref="A3:A4" si="0">A2*2</f><v>6</v></c><c r="B3" t="str"><f>B2</f><v>  ab  </v></c></row>
<row r="4"><c r="A4"><f t="shared" si="0"/><v>12</v></c></row>
</sheetData>
</worksheet>"""
    write_zip(os.path.join(directory, "handmade.xlsx"), {
        "[Content_Types].xml": content_types(**{
            "xl/workbook.xml": "sheet.main", "xl/strings.xml": "sharedStrings", "xl/styles.xml": "styles",
            "xl/worksheets/sheet1.xml": "worksheet", "xl/worksheets/sheet2.xml": "worksheet",
            "xl/worksheets/sheet3.xml": "worksheet"}),
        "_rels/.rels": ROOT_RELS.format(target="xl/workbook.xml"),
        "xl/workbook.xml": workbook,
        "xl/_rels/workbook.xml.rels": workbook_rels,
        "xl/strings.xml": shared,
        "xl/styles.xml": styles,
        "xl/worksheets/sheet3.xml": summary,
        "xl/worksheets/sheet2.xml": detail,
        "xl/worksheets/sheet1.xml": formulas,
    })

    # A workbook kept elsewhere than xl/, found through the package's own
    # relationships, and using the 1904 system by "true".
    write_zip(os.path.join(directory, "relocated.xlsx"), {
        "[Content_Types].xml": content_types(**{
            "book/main.xml": "sheet.main", "book/look.xml": "styles", "book/pages/one.xml": "worksheet"}),
        "_rels/.rels": ROOT_RELS.format(target="/book/main.xml"),
        "book/main.xml": f"""<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="{MAIN_NS}" xmlns:r="{REL_NS}"><workbookPr date1904="true"/>
<sheets><sheet name="唯一" sheetId="7" r:id="s1"/></sheets></workbook>""",
        "book/_rels/main.xml.rels": """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">{}{}</Relationships>""".format(
            REL.format(id="s1", type="worksheet", target="pages/one.xml"),
            REL.format(id="st", type="styles", target="look.xml")),
        "book/look.xml": f"""<?xml version="1.0" encoding="UTF-8"?>
<styleSheet xmlns="{MAIN_NS}"><cellXfs count="2"><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>""",
        "book/pages/one.xml": f"""<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>日期</t></is></c></row>
<row r="2"><c r="A2" s="1"><v>0</v></c></row>
</sheetData></worksheet>""",
    })

    # One sheet readable, the next one cut off in the middle.
    write_zip(os.path.join(directory, "badsheet.xlsx"), {
        "[Content_Types].xml": content_types(**{
            "xl/workbook.xml": "sheet.main", "xl/worksheets/a.xml": "worksheet", "xl/worksheets/b.xml": "worksheet"}),
        "_rels/.rels": ROOT_RELS.format(target="xl/workbook.xml"),
        "xl/workbook.xml": f"""<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="{MAIN_NS}" xmlns:r="{REL_NS}"><sheets>
<sheet name="好" sheetId="1" r:id="a"/><sheet name="坏" sheetId="2" r:id="b"/><sheet name="缺" sheetId="3" r:id="c"/>
</sheets></workbook>""",
        "xl/_rels/workbook.xml.rels": """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">{}{}{}</Relationships>""".format(
            REL.format(id="a", type="worksheet", target="worksheets/a.xml"),
            REL.format(id="b", type="worksheet", target="worksheets/b.xml"),
            REL.format(id="c", type="worksheet", target="worksheets/missing.xml")),
        "xl/worksheets/a.xml": f"""<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>好</t></is></c><c r="XFE1"><v>1</v></c><c r="B0"><v>2</v></c></row>
<row r="1048576"/><row><c><v>3</v></c></row>
</sheetData></worksheet>""",
        "xl/worksheets/b.xml": f"""<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1"><v>1</v></c></row><row r="2"><c r="A2"><v>2""",
    })

    # Values stored inside merged ranges, which a spreadsheet does not show:
    # a range given corner first, one given backwards, one a whole row long.
    merged_values = f"""<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>甲</t></is></c><c r="B1" t="inlineStr"><is><t>藏</t></is></c><c r="C1" t="inlineStr"><is><t>丙</t></is></c></row>
<row r="2"><c r="A2"><v>1</v></c><c r="B2"><v>2</v></c><c r="C2"><v>3</v></c></row>
<row r="3"><c r="A3"><v>4</v></c><c r="B3"><v>5</v></c><c r="C3"><v>6</v></c></row>
<row r="5"><c r="A5" t="inlineStr"><is><t>整行</t></is></c><c r="D5"><v>7</v></c></row>
<row r="6"><c r="D6"><v>8</v></c></row>
</sheetData>
<mergeCells count="4"><mergeCell ref="A1:B1"/><mergeCell ref="C3:C2"/><mergeCell ref="A5:XFD5"/><mergeCell ref="B3:A3"/></mergeCells>
</worksheet>"""
    write_zip(os.path.join(directory, "merged_values.xlsx"), one_sheet_package("xl/s.xml", merged_values))

    # One long date format shared by thousands of cell formats.
    formats = '<xf numFmtId="164"/>' * 16384
    parts = one_sheet_package("xl/s.xml", f"""<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1" s="16383"><v>45356</v></c></row></sheetData></worksheet>""")
    parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].replace(
        "</Relationships>", REL.format(id="b", type="styles", target="styles.xml") + "</Relationships>")
    parts["xl/styles.xml"] = f"""<styleSheet xmlns="{MAIN_NS}"><numFmts count="1">
<numFmt numFmtId="164" formatCode="yyyy-mm-dd;{'0' * 262144}"/></numFmts><cellXfs>{formats}</cellXfs></styleSheet>"""
    write_zip(os.path.join(directory, "longformat.xlsx"), parts)

    # A sheet whose package directory says it inflates to more than it
    # does: the zip library checks no checksum on a part that ends early.
    path = os.path.join(directory, "shortpart.xlsx")
    write_zip(path, one_sheet_package("xl/s.xml", f"""<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>短</t></is></c></row></sheetData></worksheet>"""))
    declare_larger(path, "xl/s.xml", 100)

    # Things that are no workbook.
    with open(os.path.join(directory, "text.xlsx"), "w", encoding="utf-8") as f:
        f.write("这不是工作簿\n")
    write_zip(os.path.join(directory, "nobook.xlsx"), {"hello.txt": "no workbook inside"})
    write_zip(os.path.join(directory, "broken.xlsx"), {
        "[Content_Types].xml": content_types(**{"xl/workbook.xml": "sheet.main"}),
        "_rels/.rels": ROOT_RELS.format(target="xl/workbook.xml"),
        "xl/workbook.xml": "<workbook><sheets><sheet name='a'",
    })


def declare_larger(path, part, extra):
    """Adds extra bytes to the inflated size that both zip headers of part give."""
    data = bytearray(open(path, "rb").read())
    name = part.encode()
    # (signature, offset of the name length, of the name, of the inflated size)
    for signature, length_at, name_at, size_at in ((b"PK\x03\x04", 26, 30, 22), (b"PK\x01\x02", 28, 46, 24)):
        at = data.find(signature)
        while at >= 0:
            length = struct.unpack_from("<H", data, at + length_at)[0]
            if data[at + name_at:at + name_at + length] == name:
                struct.pack_into("<I", data, at + size_at, struct.unpack_from("<I", data, at + size_at)[0] + extra)
            at = data.find(signature, at + 4)
    with open(path, "wb") as f:
        f.write(data)


def one_sheet_package(sheet_part, sheet_xml=None):
    """The parts of a workbook with one sheet "s" at sheet_part (its text, if given, included)."""
    parts = {
        "[Content_Types].xml": content_types(**{"xl/workbook.xml": "sheet.main", sheet_part: "worksheet"}),
        "_rels/.rels": ROOT_RELS.format(target="xl/workbook.xml"),
        "xl/workbook.xml": f"""<workbook xmlns="{MAIN_NS}" xmlns:r="{REL_NS}"><sheets>
<sheet name="s" sheetId="1" r:id="a"/></sheets></workbook>""",
        "xl/_rels/workbook.xml.rels": """<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
{}</Relationships>""".format(REL.format(id="a", type="worksheet", target="/" + sheet_part)),
    }
    if sheet_xml is not None:
        parts[sheet_part] = sheet_xml
    return parts


def make_numbers(path, literals):
    rows = "".join('<row r="%d"><c r="A%d"><v>%s</v></c></row>' % (i + 1, i + 1, v) for i, v in enumerate(literals))
    write_zip(path, one_sheet_package("xl/s.xml", f'<worksheet xmlns="{MAIN_NS}"><sheetData>{rows}</sheetData></worksheet>'))


def make_corners(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["A1"] = "首"
    ws["XFD1048576"] = "尾"
    wb.save(path)


def make_repeated(path, rows, length):
    cells = "".join('<row r="%d"><c r="A%d" t="s"><v>0</v></c></row>' % (r, r) for r in range(2, rows + 2))
    parts = one_sheet_package("xl/s.xml", f"""<worksheet xmlns="{MAIN_NS}"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>长文</t></is></c></row>{cells}</sheetData></worksheet>""")
    parts["xl/_rels/workbook.xml.rels"] = parts["xl/_rels/workbook.xml.rels"].replace(
        "</Relationships>", REL.format(id="b", type="sharedStrings", target="strings.xml") + "</Relationships>")
    parts["xl/strings.xml"] = f'<sst xmlns="{MAIN_NS}"><si><t>{"档" * length}</t></si></sst>'
    write_zip(path, parts)


def make_blanks(path, mebibytes):
    # Streamed into the zip: a gibibyte of blanks compresses to about a megabyte.
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, text in one_sheet_package("xl/s.xml").items():
            z.writestr(name, text)
        with z.open("xl/s.xml", "w") as f:
            f.write(f'<worksheet xmlns="{MAIN_NS}"><sheetData><row r="1">'
                    '<c r="A1" t="inlineStr"><is><t>题名</t></is></c>'.encode())
            blanks = b" " * (1 << 20)
            for _ in range(mebibytes):
                f.write(blanks)
            f.write(b'<c r="B1" t="inlineStr"><is><t>x</t></is></c></row></sheetData></worksheet>')


def make_cells(path, count):
    # Rows of 16384 cells, neither with references: the fewest bytes a cell
    # with a value takes.
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, text in one_sheet_package("xl/s.xml").items():
            z.writestr(name, text)
        with z.open("xl/s.xml", "w") as f:
            f.write(f'<worksheet xmlns="{MAIN_NS}"><sheetData>'.encode())
            row = b"<row>" + b"<c><v>1</v></c>" * 16384 + b"</row>"
            for _ in range(count // 16384):
                f.write(row)
            f.write(b"<row>" + b"<c><v>1</v></c>" * (count % 16384) + b"</row></sheetData></worksheet>")


# ------------------------------------------------------------------ tools

def dump(path):
    wb = openpyxl.load_workbook(path)
    out = {"sheets": wb.sheetnames, "cells": {}}
    for ws in wb.worksheets:
        cells = []
        for row in ws.iter_rows():
            for c in row:
                if c.value is not None:
                    cells.append([c.row, c.column, c.value if isinstance(c.value, str) else repr(c.value),
                                  c.data_type])
        out["cells"][ws.title] = cells
    json.dump(out, sys.stdout, ensure_ascii=False)


def bench(path, rows, cols, fill):
    rng = random.Random(20240305)
    wb = openpyxl.Workbook(write_only=True)
    ws = wb.create_sheet("数据")
    ws.append(["字段%d" % (c + 1) for c in range(cols)])
    for r in range(rows):
        values = []
        for c in range(cols):
            if rng.random() >= fill:
                values.append(None)
            elif c % 4 == 0:
                values.append(r * cols + c)
            elif c % 4 == 1:
                values.append(round(rng.random() * 1000, 3))
            else:
                values.append("档案%d-%d" % (r, c))
        ws.append(values)
    wb.save(path)


def load(path):
    start = time.perf_counter()
    wb = openpyxl.load_workbook(path, read_only=True)
    count = 0
    for ws in wb.worksheets:
        for row in ws.iter_rows(values_only=True):
            for v in row:
                if v is not None:
                    count += 1
    wb.close()
    print("%.6f %d" % (time.perf_counter() - start, count))


def main():
    command = sys.argv[1]
    if command == "make":
        os.makedirs(sys.argv[2], exist_ok=True)
        make_openpyxl(sys.argv[2])
        make_by_hand(sys.argv[2])
    elif command == "dump":
        dump(sys.argv[2])
    elif command == "bench":
        bench(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]) if len(sys.argv) > 5 else 1.0)
    elif command == "load":
        load(sys.argv[2])
    elif command == "numbers":
        make_numbers(sys.argv[2], sys.argv[3:])
    elif command == "corners":
        make_corners(sys.argv[2])
    elif command == "blanks":
        make_blanks(sys.argv[2], int(sys.argv[3]))
    elif command == "cells":
        make_cells(sys.argv[2], int(sys.argv[3]))
    elif command == "repeated":
        make_repeated(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
