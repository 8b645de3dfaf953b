#!/usr/bin/python3
"""Workbooks of 10,000 and 1,000,000 rows of 20 columns, two of them
telephones, converted by convqvr --tableur beside the floor program, which
only inflates and deflates the same entries: time and peak memory of each.
An .xlsx as LibreOffice and Excel write it (text in shared strings, the
numbers unique to each row), the same with the telephones typed as numbers
under a 00 00 00 00 format, and an .ods.

Usage: workbook_benchmark.py CONVQVR FLOOR_ZIP [RUNS]
(the program `peak` beside FLOOR_ZIP measures each run)
"""
import os
import subprocess
import sys
import tempfile
import time
import zipfile

COLUMNS = ["Nom", "Prénom", "Téléphone", "Portable", "Adresse", "Code postal", "Ville",
           "Courriel", "Naissance", "Cotisation", "Année", "Groupe", "Rôle", "Remarque",
           "Entrée", "Sortie", "Licence", "Taille", "Club", "Matricule"]
NAMES = [f"Nom{k}" for k in range(500)]


def letters(column):
    return chr(ord("A") + column)


def telephones(row):
    return (f"{42 + row % 7} {row // 10000 % 100:02} {row // 100 % 100:02} {row % 100:02}",
            f"(1) 45.{row // 10000 % 100:02}.{row // 100 % 100:02}.{row % 100:02}")


def xlsx(path, rows, typed):
    strings = COLUMNS + NAMES
    index = {s: k for k, s in enumerate(strings)}
    extra = []

    def shared(text):
        if text not in index:
            index[text] = len(strings) + len(extra)
            extra.append(text)
        return index[text]

    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as book:
        book.writestr("[Content_Types].xml", "<Types/>")
        book.writestr("xl/workbook.xml", '<workbook><sheets><sheet name="Membres" r:id="rId1"/></sheets></workbook>')
        book.writestr("xl/_rels/workbook.xml.rels",
                      '<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>')
        book.writestr("xl/styles.xml", '<styleSheet><numFmts><numFmt numFmtId="164" formatCode="00\\ 00\\ 00\\ 00"/>'
                                       '</numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/></cellXfs></styleSheet>')
        with book.open("xl/worksheets/sheet1.xml", "w") as sheet:
            head = "".join(f'<c r="{letters(k)}1" t="s"><v>{k}</v></c>' for k in range(20))
            sheet.write(f'<?xml version="1.0"?><worksheet><sheetData><row r="1">{head}</row>'.encode())
            chunk = []
            for row in range(2, rows + 2):
                home, mobile = telephones(row)
                cells = [f'<c r="A{row}" t="s"><v>{shared(NAMES[row % 500])}</v></c>',
                         f'<c r="B{row}" t="s"><v>{shared(NAMES[row * 7 % 500])}</v></c>']
                if typed:
                    cells.append(f'<c r="C{row}" s="1"><v>{home.replace(" ", "")}</v></c>')
                    cells.append(f'<c r="D{row}" s="1"><v>{45000000 + row % 1000000}</v></c>')
                else:
                    cells.append(f'<c r="C{row}" t="s"><v>{shared(home)}</v></c>')
                    cells.append(f'<c r="D{row}" t="s"><v>{shared(mobile)}</v></c>')
                cells += [f'<c r="{letters(k)}{row}"><v>{row * k % 9973}</v></c>' for k in range(4, 20)]
                chunk.append(f'<row r="{row}">{"".join(cells)}</row>')
                if len(chunk) == 10000:
                    sheet.write("".join(chunk).encode())
                    chunk = []
            sheet.write(("".join(chunk) + "</sheetData></worksheet>").encode())
        with book.open("xl/sharedStrings.xml", "w") as sst:
            sst.write(f'<?xml version="1.0"?><sst uniqueCount="{len(strings) + len(extra)}">'.encode())
            for start in range(0, len(strings) + len(extra), 10000):
                sst.write("".join(f"<si><t>{s}</t></si>" for s in (strings + extra)[start:start + 10000]).encode())
            sst.write(b"</sst>")


def ods(path, rows):
    def text(value):
        return f'<table:table-cell office:value-type="string" calcext:value-type="string"><text:p>{value}</text:p></table:table-cell>'

    def number(value):
        return (f'<table:table-cell office:value-type="float" office:value="{value}" calcext:value-type="float">'
                f"<text:p>{value}</text:p></table:table-cell>")

    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as book:
        info = zipfile.ZipInfo("mimetype")
        book.writestr(info, "application/vnd.oasis.opendocument.spreadsheet")
        book.writestr("META-INF/manifest.xml", "<manifest/>")
        with book.open("content.xml", "w") as content:
            head = "".join(text(c) for c in COLUMNS)
            content.write(('<?xml version="1.0"?><office:document-content><office:body><office:spreadsheet>'
                           f'<table:table table:name="Membres"><table:table-row>{head}</table:table-row>').encode())
            chunk = []
            for row in range(2, rows + 2):
                home, mobile = telephones(row)
                cells = [text(NAMES[row % 500]), text(NAMES[row * 7 % 500]), text(home), text(mobile)]
                # Sparse, as such lists are: else content.xml passes the 2 GiB
                # that Python's zipfile writes without ZIP64.
                cells += [number(row * k % 9973) for k in range(4, 10)]
                cells.append('<table:table-cell table:number-columns-repeated="10"/>')
                chunk.append(f"<table:table-row>{''.join(cells)}</table:table-row>")
                if len(chunk) == 10000:
                    content.write("".join(chunk).encode())
                    chunk = []
            content.write(("".join(chunk) + "</table:table></office:spreadsheet></office:body>"
                           "</office:document-content>").encode())


def measure(command, path):
    """Seconds and peak MiB of one run, its output thrown away, measured by
    `peak`, beside the floor program."""
    done = subprocess.run([PEAK, path, *command], stdout=subprocess.PIPE, check=True)
    seconds, megabytes = done.stdout.split()
    return float(seconds), float(megabytes)


def median(values):
    return sorted(values)[len(values) // 2]


def main(program, floor, runs=3):
    global PEAK
    PEAK = os.path.join(os.path.dirname(floor), "peak")
    folder = tempfile.mkdtemp(prefix="convqvr-workbooks-")
    kinds = [("xlsx, text", lambda path, rows: xlsx(path, rows, False), "xlsx"),
             ("xlsx, typed numbers", lambda path, rows: xlsx(path, rows, True), "xlsx"),
             ("ods", ods, "ods")]
    for name, make, extension in kinds:
        memory = []
        for rows in (10000, 1000000):
            path = os.path.join(folder, f"{rows}.{extension}")
            make(path, rows)
            tries = runs if rows < 1000000 else 1
            ours = [measure([program, "--tableur"], path) for _ in range(tries)]
            base = [measure([floor], path) for _ in range(tries)]
            seconds, floor_seconds = median([o[0] for o in ours]), median([b[0] for b in base])
            memory.append(max(o[1] for o in ours))
            print(f"row: workbook {name}, {rows:,} rows ({os.path.getsize(path) / 1e6:.0f} MB) | "
                  f"{seconds:.2f} s, {seconds / floor_seconds:.2f}× the floor ({floor_seconds:.2f} s), "
                  f"{memory[-1]:.1f} MiB | at most 1.5× the floor", flush=True)
            os.remove(path)
        print(f"row: workbook {name}, peak memory 10,000 → 1,000,000 rows | "
              f"{memory[0]:.1f} → {memory[1]:.1f} MiB | flat", flush=True)
    os.rmdir(folder)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], *(int(a) for a in sys.argv[3:]))
