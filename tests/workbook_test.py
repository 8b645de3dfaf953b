#!/usr/bin/python3
"""Workbooks, from outside. LibreOffice makes an .xlsx and an .ods from a
small CSV file, and openpyxl one more .xlsx as a library writes it; each is
converted, and LibreOffice reads it back: the new numbers as text, every
other cell as before. Then a table of cells in workbooks made here, and a
property: random workbooks converted twice come back the same, every entry
without a converted cell byte for byte.

Usage: workbook_test.py PROGRAM SCRATCH_DIR
"""
import datetime
import io
import os
import random
import re
import shutil
import subprocess
import sys
import zipfile

import openpyxl

from scenario import check, failures, run

FILES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "files")
LIBREOFFICE_CSV = "csv:Text - txt - csv (StarCalc):59,34,76,1,,0,true,false,false,false,false,-1"


def convert(program, source, target, *options):
    with open(target, "wb") as out:
        done = run([program, "--tableur", "--verbeux", *options, source], stdout=out,
                   stderr=subprocess.PIPE)
    return done.returncode, done.stderr.decode()


def libreoffice(scratch, *arguments):
    """LibreOffice headless, in a profile of the test's own."""
    profile = "file://" + os.path.join(scratch, "profile")
    run(["soffice", f"-env:UserInstallation={profile}", "--headless", *arguments],
        timeout=300, cwd=scratch, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def read_back(scratch, workbooks):
    """Each sheet of each workbook as LibreOffice shows it: text quoted, numbers not."""
    folder = os.path.join(scratch, "back")
    libreoffice(scratch, "--convert-to", LIBREOFFICE_CSV, "--outdir", folder, *workbooks)
    sheets = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding="utf-8") as text:
            sheets[name] = text.read()
    shutil.rmtree(folder)
    return sheets


def real_programs(program, scratch):
    source = os.path.join(scratch, "membres.csv")
    shutil.copy(os.path.join(FILES, "classeur.csv"), source)
    for kind in ("xlsx", "ods"):
        libreoffice(scratch, "--infilter=CSV:59,34,76,1", "--convert-to", kind, source)
    # As a library writes a workbook: typed numbers with their formats, a
    # formula, a date, two sheets.
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Adhérents"
    sheet.append(["Nom", "Tél. domicile", "Mobile", "Naissance", "Notes"])
    sheet.append(["Roux", 42123456, "(1) 45.67.89.01", datetime.date(1950, 3, 1), "x"])
    sheet.append(["Blanc", 45678901, "16 1 45 67 89 01", None, 42123456])
    sheet.append(["Noir", "=1+1", 52123456, None, None])
    sheet.append(["Vert", "19 44 20 7946 0958", "+44 20 7946 0958", None, "1-617-679-1984"])
    sheet["B2"].number_format = "00 00 00 00"
    sheet["B3"].number_format = "00.00.00.00"
    other = book.create_sheet("Autre")
    other.append(["Ville", "Fax"])
    other.append(["Aix", "42 12 34 57"])
    book.save(os.path.join(scratch, "bibliotheque.xlsx"))

    converted = []
    for name in ("membres.xlsx", "membres.ods", "bibliotheque.xlsx"):
        stem, extension = os.path.splitext(name)
        target = os.path.join(scratch, f"{stem}-{extension[1:]}-10{extension}")
        status, said = convert(program, os.path.join(scratch, name), target)
        check(status == 0 and "aucune règle" in said, f"{name} converted: {status}, {said!r}")
        converted.append(target)
    sheets = read_back(scratch, converted)
    with open(os.path.join(FILES, "expected", "classeur.csv"), encoding="utf-8") as text:
        expected = text.read()
    for name in ("membres-xlsx-10-membres.csv", "membres-ods-10-membres.csv"):
        check(sheets.get(name) == expected, f"LibreOffice reads {name} converted: {sheets.get(name)!r}")
    check(sheets.get("bibliotheque-xlsx-10-Adhérents.csv") ==
          '"Nom";"Tél. domicile";"Mobile";"Naissance";"Notes"\n'
          '"Roux";"04 42 12 34 56";"01.45.67.89.01";"1950-03-01";"x"\n'
          '"Blanc";"05.45.67.89.01";"01 45 67 89 01";;"42123456"\n'
          '"Noir";"2";"52123456";;\n'
          '"Vert";"00 44 20 7946 0958";"+44 20 7946 0958";;"1-617-679-1984"\n',
          f"LibreOffice reads openpyxl's sheet converted: "
                                   f"{sheets.get('bibliotheque-xlsx-10-Adhérents.csv')!r}")
    check(sheets.get("bibliotheque-xlsx-10-Autre.csv") == '"Ville";"Fax"\n"Aix";"04 42 12 34 57"\n',
          f"and its second sheet: {sheets.get('bibliotheque-xlsx-10-Autre.csv')!r}")
    for target in converted:
        with zipfile.ZipFile(target) as archive:
            check(archive.testzip() is None, f"{os.path.basename(target)}: every CRC right")


# Workbooks made here, with the cells of a table.
def archive(entries, method=zipfile.ZIP_DEFLATED):
    made = io.BytesIO()
    with zipfile.ZipFile(made, "w", method) as book:
        for name, content in entries:
            info = zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6))
            info.compress_type = zipfile.ZIP_STORED if name == "mimetype" else method
            book.writestr(info, content)
    return made.getvalue()


STRINGS = ["Téléphone", "Ville", "42 12 34 56", "52 12 34 56"]


def xlsx(rows, prefix=""):
    """Row 1 names A Téléphone and B Ville, by shared strings; then `rows`."""
    p = prefix + ":" if prefix else ""
    namespace = f' xmlns{":" + prefix if prefix else ""}="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    cells = f'<{p}row r="1"><{p}c r="A1" t="s"><{p}v>0</{p}v></{p}c><{p}c r="B1" t="s"><{p}v>1</{p}v></{p}c></{p}row>'
    sheet = (f'<?xml version="1.0"?><{p}worksheet{namespace}><{p}sheetData>{cells}'
             + "".join(f'<{p}row r="{k + 2}">{row}</{p}row>' for k, row in enumerate(rows))
             + f"</{p}sheetData></{p}worksheet>")
    strings = "".join(f"<si><t>{s}</t></si>" for s in STRINGS)
    return archive([
        ("[Content_Types].xml", "<Types/>"),
        ("xl/workbook.xml", '<workbook><sheets><sheet name="Feuille1" r:id="rId1"/></sheets></workbook>'),
        ("xl/_rels/workbook.xml.rels", '<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>'),
        ("xl/styles.xml", '<styleSheet><numFmts count="1"><numFmt numFmtId="164" formatCode="00\\ 00\\ 00\\ 00"/>'
                          '</numFmts><cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/></cellXfs></styleSheet>'),
        ("xl/worksheets/sheet1.xml", sheet),
        ("xl/sharedStrings.xml", f'<sst count="9" uniqueCount="{len(STRINGS)}">{strings}</sst>'),
    ])


def ods(rows):
    """Row 1 names A Téléphone, B Fax and C Ville; then `rows`."""
    def cell(text):
        return f'<table:table-cell office:value-type="string"><text:p>{text}</text:p></table:table-cell>'
    body = ('<table:table table:name="Feuille1"><table:table-column table:number-columns-repeated="3"/>'
            f'<table:table-row>{cell("Téléphone")}{cell("Fax")}{cell("Ville")}</table:table-row>'
            + "".join(f"<table:table-row{row[0]}>{row[1]}</table:table-row>" for row in rows)
            + "</table:table>")
    content = ('<?xml version="1.0"?><office:document-content xmlns:office="o" xmlns:table="t" xmlns:text="x">'
               f"<office:body><office:spreadsheet>{body}</office:spreadsheet></office:body></office:document-content>")
    return archive([("mimetype", "application/vnd.oasis.opendocument.spreadsheet"),
                    ("content.xml", content), ("META-INF/manifest.xml", "<manifest/>")])


FLOAT = ('<table:table-cell office:value-type="float" office:value="42123456" '
         'calcext:value-type="float"><text:p>42 12 34 56</text:p></table:table-cell>')
STRING = '<table:table-cell office:value-type="string"><text:p>{}</text:p></table:table-cell>'
# Each: the workbook's kind, its row 2 (ods: the row's attributes and its
# cells), what row 2 must become, and the counts said.
CELLS = [
    ("xlsx", '<c r="A2" t="s"><v>2</v></c><c r="B2" t="s"><v>2</v></c>',
     '<c r="A2" t="inlineStr"><is><t>04 42 12 34 56</t></is></c><c r="B2" t="s"><v>2</v></c>', "1, .* 0, .* 0"),
    ("xlsx", '<c r="A2" t="inlineStr"><is><t>(1) 45.67.89.01</t></is></c>',
     '<c r="A2" t="inlineStr"><is><t>01.45.67.89.01</t></is></c>', "1, .* 0, .* 0"),
    ("xlsx", '<c r="A2" s="1"><v>42123456</v></c>',
     '<c r="A2" s="1" t="inlineStr"><is><t>04 42 12 34 56</t></is></c>', "1, .* 0, .* 0"),
    ("xlsx", '<c r="A2" t="n"><v>42123456</v></c>',
     '<c r="A2" t="inlineStr"><is><t>0442123456</t></is></c>', "1, .* 0, .* 0"),
    ("xlsx", '<c r="A2"><f>B2</f><v>42123456</v></c><c r="C2" t="e"><v>#N/A</v></c>', None, "0, .* 0, .* 0"),
    ("xlsx", '<c r="A2" s="2"><v>45000</v></c><c r="B2"><v>42123456</v></c>', None, "0, .* 0, .* 0"),
    ("xlsx", '<c r="A2" t="s"><v>3</v></c>', None, "0, .* 0, .* 1"),
    ("xlsx", '<c r="A2" t="inlineStr"><is><t>04 42 12 34 56</t></is></c>', None, "0, .* 1, .* 0"),
    ("xlsx", '<c t="s"><v>1</v></c><c t="inlineStr"><is><t>42 12 34 56</t></is></c>', None, "0, .* 1, .* 0"),
    ("x", '<x:c r="A2" t="inlineStr"><x:is><x:t>42 12 34 56</x:t></x:is></x:c>',
     '<x:c r="A2" t="inlineStr"><x:is><x:t>04 42 12 34 56</x:t></x:is></x:c>', "1, .* 0, .* 0"),
    ("ods", ("", STRING.format("42 12 34 56")), ("", STRING.format("04 42 12 34 56")), "1, .* 0, .* 0"),
    ("ods", ("", FLOAT), ("", '<table:table-cell office:value-type="string" calcext:value-type="string">'
                              "<text:p>04 42 12 34 56</text:p></table:table-cell>"), "1, .* 0, .* 0"),
    # Repeated over the telephone column and the town's: split.
    ("ods", ("", STRING.format("42 12 34 56").replace("<table:table-cell ", '<table:table-cell table:number-columns-repeated="3" ')),
     ("", STRING.format("04 42 12 34 56").replace("<table:table-cell ", '<table:table-cell table:number-columns-repeated="2" ')
      + STRING.format("42 12 34 56")), "2, .* 0, .* 0"),
    ("ods", (' table:number-rows-repeated="3"', STRING.format("52 12 34 56")), None, "0, .* 0, .* 3"),
    ("ods", ("", '<table:table-cell office:value-type="string"><text:p>42 12 <text:span>34</text:span> 56</text:p>'
                 "</table:table-cell>"), None, "0, .* 0, .* 0"),
]


def second_row(kind, book):
    with zipfile.ZipFile(io.BytesIO(book)) as archive:
        if kind == "ods":
            return re.findall(r"<table:table-row[^>]*>.*?</table:table-row>",
                              archive.read("content.xml").decode())[1]
        return re.search(r'<(?:x:)?row r="2">(.*)</(?:x:)?row>',
                         archive.read("xl/worksheets/sheet1.xml").decode()).group(1)


def cell_cases(program, scratch):
    source, target = os.path.join(scratch, "cas"), os.path.join(scratch, "cas-10")
    for kind, row, want, counts in CELLS:
        book = ods([row]) if kind == "ods" else xlsx([row], "" if kind == "xlsx" else kind)
        with open(source, "wb") as file:
            file.write(book)
        status, said = convert(program, source, target)
        with open(target, "rb") as file:
            out = file.read()
        got = second_row(kind, out)
        if kind == "ods":
            want = "<table:table-row{}>{}</table:table-row>".format(*(want or row))
        check(status == 0 and got == (want or row), f"{kind} {row}: {status}, {got}")
        check(re.search(f"convertis {counts}", said) is not None, f"{kind} {row}: said {said!r}")
        if want is None:
            check(out == book, f"{kind} {row}: nothing converted, the same bytes")


def raw_entries(book):
    """Each entry's name and its bytes as stored: local header, data, descriptor."""
    with zipfile.ZipFile(io.BytesIO(book)) as archive:
        infos = archive.infolist()
        ends = [info.header_offset for info in infos[1:]] + [archive.start_dir]
        return [(info.filename, book[info.header_offset:end], archive.read(info.filename))
                for info, end in zip(infos, ends)]


def random_workbooks(program, scratch, count=25):
    """Random cells and entries: converted twice, the same; each entry that
    holds no converted cell, byte for byte as it was."""
    pick = random.Random(1994)
    cells = ['<c t="s"><v>{}</v></c>', '<c t="inlineStr"><is><t>16 1 45 67 89 01</t></is></c>',
             '<c s="1"><v>42123456</v></c>', "<c><v>7</v></c>", '<c t="str"><f>A1</f><v>x</v></c>', "<c/>"]
    source, once, twice = (os.path.join(scratch, name) for name in ("hasard", "hasard-10", "hasard-20"))
    for case in range(count):
        rows = ["".join(pick.choice(cells).format(pick.randrange(len(STRINGS)))
                        for _ in range(pick.randrange(1, 5))) for _ in range(pick.randrange(0, 30))]
        book = xlsx(rows) if case % 2 else ods(
            [("", "".join(pick.choice([FLOAT, STRING.format("Aix"), STRING.format("(16-1) 45 67 89 01")])
                          for _ in range(3))) for _ in rows])
        with open(source, "wb") as file:
            file.write(book)
        convert(program, source, once)
        convert(program, once, twice)
        with open(once, "rb") as first, open(twice, "rb") as second:
            out, again = first.read(), second.read()
        check(out == again, f"random workbook {case}: converting again changes nothing")
        before, after = raw_entries(book), raw_entries(out)
        check([e[0] for e in before] == [e[0] for e in after], f"random workbook {case}: the same entries")
        for (name, raw, content), (_, raw_out, content_out) in zip(before, after):
            if content == content_out:
                check(raw == raw_out, f"random workbook {case}: {name} unchanged, byte for byte")


def main(argv):
    program, scratch = argv
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    cell_cases(program, scratch)
    random_workbooks(program, scratch)
    real_programs(program, scratch)
    shutil.rmtree(scratch)


if __name__ == "__main__":
    main(sys.argv[1:])
    print(f"workbooks: {len(failures)} failed")
    sys.exit(1 if failures else 0)
