#!/usr/bin/python3
"""The command line, from outside: one table of argument lists and inputs
with the output, the error text and the exit status each must give, whole
files among them (tests/files, against tests/files/expected); then a large
input streamed through, lines answered while the input pauses, a full disk
and a reader that goes away.

Usage: command_line_test.py --install BUILD_DIR SCRATCH_DIR
       command_line_test.py --installed PROGRAM
       command_line_test.py --windows WINE...
--install: installs the build into SCRATCH_DIR and runs the installed
convqvr. --installed: runs PROGRAM, installed already. --windows: WINE...
runs convqvr.com under Wine; lines end with CRLF, and cmd's redirection is
tried too.
"""
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import zipfile

from scenario import check, failures

# arguments, standard input, expected output (lines joined by \n), what
# standard error must match, exit status.
CASES = [
    (["42123456", "05123456", "19441234", "", "161", "11", "45ab", "x"], b"",
     "04.42.12.34.56\n0800.12.34.56.\n00441234\n\n01....\n3611\n05.45.ab..\nx\n", r"^$", 0),
    (["36 12 é", "45é", "😀1"], b"", "36 12 é\n05.45.é..\n??????????\n", r"^$", 0),
    # Written as people write them, as a line of a list reads.
    (["42 12 34 56", "(1) 45.67.89.01", "04 42 12 34 56", "52 12 34 56", "+33 05 12 34 56"], b"",
     "04 42 12 34 56\n01.45.67.89.01\n04 42 12 34 56\n??????????\n+33 800 12 34 56\n", r"^$", 0),
    (["-"], b"42123456\r\n52123456\n\n0511", "04.42.12.34.56\n??????????\n\n3611\n", r"^$", 0),
    (["45", "-", "12"], b"19441234\n", "05.45...\n00441234\n12\n", r"^$", 0),
    (["-"], b"42123456\n\xff4\n\xed\xa0\x80\n\xc0\xaf\n45678901\n",
     "04.42.12.34.56\n\n\n\n05.45.67.89.01\n",
     r"^convqvr: ligne 2 : ce n'est pas de l'UTF-8 valide\n"
     r"convqvr: ligne 3 : .*\nconvqvr: ligne 4 : .*\n$", 1),
    # After --, what looks like an option is a text to convert like any other.
    (["--", "-5", "-", "--"], b"", "??????????\n-\n??????????\n", r"^$", 0),
    (["42123456", "--bogus"], b"", "",
     r"^convqvr: option inconnue « --bogus »\nEssayez « convqvr --help » pour plus"
     r" d'informations\.\n$", 2),
    (["-x"], b"", "", r"option inconnue « -x »", 2),
    (["--help", "42"], b"", re.compile(r"^Usage : convqvr \[NUMÉRO\]\.\.\.\n(.*\n)*"
                                       r"  --version .*\n(.*\n)*Code de retour"), r"^$", 0),
    (["--version"], b"", re.compile(r"^Conversion QVR 6\.00\n.*\nLicence Expat \(MIT\)"), r"^$", 0),
    (["--colonne", "Fax"], b"", "", r"^convqvr: l'option « --colonne » va avec --csv ou --tableur\nEssayez", 2),
    (["--vcard", "--liste"], b"", "", r"^convqvr: un seul de --vcard, --csv, --tableur et --liste", 2),
]

FILES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "files")

# Whole files: arguments (@NAME: the file NAME of tests/files), standard
# input (the same), the exact bytes out (NAME: that of tests/files/expected),
# what standard error must match, exit status.
FILE_CASES = [
    (["--vcard", "@carnet-2.1.vcf"], b"", "carnet-2.1.vcf",
     r"^convqvr: \S*carnet-2\.1\.vcf:9: « 52 12 34 56 » : aucune règle, laissé tel quel\n$", 0),
    (["--vcard", "@carnet-3.0.vcf"], b"", "carnet-3.0.vcf", r"^$", 0),
    (["--vcard"], "@carnet-4.0.vcf", "carnet-4.0.vcf", r"^$", 0),
    (["--csv", "--verbeux", "@contacts-google.csv"], b"", "contacts-google.csv",
     r"^convqvr: \S*contacts-google\.csv:2: « 42 12 34 56 » → « 04 42 12 34 56 »\n(.*\n){2}"
     r"convqvr: \S*contacts-google\.csv : convertis 3, laissés tels quels 1, signalés 0\n$", 0),
    (["--csv", "@contacts-outlook.csv"], b"", "contacts-outlook.csv", r"^convqvr: \S+:2: « 52 12 34 56 »", 0),
    (["--csv", "-"], "@membres.tsv", "membres.tsv", r"^$", 0),
    (["--csv", "--colonne", "cotisation", "@membres.tsv"], b"", "membres-cotisation.tsv",
     r"^convqvr: \S+:3: « 30 12 34 56 »", 0),
    (["--liste", "@numeros.txt"], b"", "numeros.txt", r"^convqvr: \S+:6: « 30 12 34 56 »", 0),
    # Real exports' ways: CR CR LF, quoted-printable runs, X-MS-TEL, UTF-16,
    # CR alone under sep= and a title, Excel's ="...", and no telephone at all.
    (["--vcard", "@iphone.vcf"], b"", "iphone.vcf", r"^$", 0),
    (["--vcard", "@outlook-2.1.vcf"], b"", "outlook-2.1.vcf", r"^$", 0),
    (["--csv"], "@google-utf16.csv", "google-utf16.csv", r"^$", 0),
    (["--csv", "--verbeux", "@amicale-mac.csv"], b"", "amicale-mac.csv",
     r"^convqvr: \S+:4: « \(16\) 42 12 34 56 » → « 04 42 12 34 56 »\n.*:4: « 42123456 » → "
     r"« 0442123456 »\n.*:5: « 52 12 34 56 » : aucune règle.*\n.*convertis 2, laissés tels quels 1", 0),
    (["--csv", "@thunderbird.csv"], b"", "thunderbird.csv", r"^$", 0),
    (["--csv", "@sans-telephone.csv"], b"", "sans-telephone.csv",
     r"^convqvr: \S+:1: aucune colonne de téléphone parmi « Nom », « Courriel », « Ville » : "
     r"nommez-la avec --colonne NOM", 1),
    (["--liste", "@absent.txt", "-"], b"42123456\n", b"0442123456\n", r"^convqvr: \S*absent\.txt : \S", 1),
    (["--csv"], b'Nom,Tel\n"Roux","42 12 34 56\n', b'Nom,Tel\n"Roux","42 12 34 56\n',
     r"^convqvr: -:2: guillemets jamais fermés", 1),
    (["--csv", "--colonne=Fax"], b"Nom,Tel\nRoux,42 12 34 56\n", b"Nom,Tel\nRoux,42 12 34 56\n",
     r"^convqvr: -:1: pas de colonne « Fax »", 1),
    # Workbooks as LibreOffice writes them, a file or standard input; and
    # every kind of bad one (%NAME: made by bad_workbooks()), nothing written.
    (["--tableur", "@membres.xlsx"], b"", "membres.xlsx",
     r"^convqvr: \S*membres\.xlsx:membres!C3: « 52 12 34 56 » : aucune règle, laissé tel quel\n$", 0),
    (["--tableur", "--colonne", "Fax"], "@membres.ods", "membres-fax.ods", r"^$", 0),
    (["--tableur", "%tronque.xlsx"], b"", b"", r"^convqvr: \S*tronque\.xlsx : archive tronquée\n$", 1),
    (["--tableur", "%abime.ods"], b"", b"", r"archive abîmée : « content\.xml » ne se décompresse pas\n$", 1),
    (["--tableur", "%vignette.ods"], b"", b"", r"« Thumbnails/thumbnail\.png » ne correspond pas à sa somme de contrôle", 1),
    (["--tableur", "%texte.odt"], b"", b"", r"document OpenDocument qui n'est pas un classeur", 1),
    (["--tableur", "%document.docx"], b"", b"", r"archive ZIP qui n'est pas un classeur", 1),
    (["--tableur", "%bombe.xlsx"], b"", b"", r"se décompresse démesurément : archive piégée", 1),
    (["--tableur", "%ancien.xls"], b"", b"", r"ancien classeur Excel \(\.xls\) : enregistrez-le en \.xlsx", 1),
    (["--tableur", "%protege.xlsx"], b"", b"", r"protégé par un mot de passe", 1),
    (["--tableur", "%chiffre.ods"], b"", b"", r"protégé par un mot de passe", 1),
    (["--tableur", "@membres.tsv"], b"", b"", r"ce n'est pas un classeur \.ods ou \.xlsx", 1),
    (["--tableur", "%grand.xlsx"], b"", b"", r"archive ZIP64 .*: non prise en charge", 1),
    # With nothing to convert, the same bytes, and why.
    (["--tableur", "%sans-telephone.xlsx"], b"", "%sans-telephone.xlsx",
     r"^convqvr: \S+ : aucune colonne de téléphone : nommez-la avec --colonne NOM", 1),
    (["--csv", "@membres.xlsx"], b"", b"", r"classeur ou archive, pas du texte : pour un classeur, utilisez --tableur", 1),
    (["--tableur", "@membres.xlsx", "@membres.ods"], b"", b"", r"--tableur convertit un seul classeur", 2),
]


def bad_workbooks(folder):
    """The bad workbooks of the table, made from good ones."""
    def made(name, content):
        with open(os.path.join(folder, name), "wb") as file:
            file.write(content)

    def archive(name, entries, method=zipfile.ZIP_DEFLATED):
        with zipfile.ZipFile(os.path.join(folder, name), "w", method) as book:
            for entry, content in entries:
                book.writestr(entry, content)

    with open(os.path.join(FILES, "membres.xlsx"), "rb") as file:
        made("tronque.xlsx", file.read()[:3000])
    with open(os.path.join(FILES, "membres.ods"), "rb") as file:
        ods = bytearray(file.read())
    ods[ods.index(b"content.xml") + 200] ^= 0xFF
    made("abime.ods", ods)
    ods[ods.index(b"content.xml") + 200] ^= 0xFF
    ods[ods.index(b"Thumbnails/thumbnail.png") + 100] ^= 0xFF
    made("vignette.ods", ods)
    archive("texte.odt", [("mimetype", "application/vnd.oasis.opendocument.text"), ("content.xml", "<x/>")])
    archive("document.docx", [("[Content_Types].xml", "<Types/>"), ("word/document.xml", "<w/>")])
    archive("bombe.xlsx", [("xl/workbook.xml", "<workbook/>"),
                           ("xl/worksheets/sheet1.xml", b"<a" + b" " * (100 << 20) + b"/>")])
    compound = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + bytes(1000)
    made("ancien.xls", compound + "Workbook".encode("utf-16-le"))
    made("protege.xlsx", compound + "EncryptedPackage".encode("utf-16-le") + bytes(100))
    sheet = '<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>Ville</t></is></c></row>' \
            '<row r="2"><c r="A2" t="inlineStr"><is><t>42 12 34 56</t></is></c></row></sheetData></worksheet>'
    archive("sans-telephone.xlsx", [("xl/workbook.xml", "<workbook/>"), ("xl/worksheets/sheet1.xml", sheet)])
    # Sizes past 4 GiB are told in ZIP64's own fields, the old ones all ones.
    with open(os.path.join(folder, "sans-telephone.xlsx"), "rb") as file:
        large = bytearray(file.read())
    large[18:26] = b"\xff" * 8
    made("grand.xlsx", large)
    archive("chiffre.ods", [("mimetype", "application/vnd.oasis.opendocument.spreadsheet"),
                            ("content.xml", bytes(range(256))),
                            ("META-INF/manifest.xml", "<manifest:encryption-data/>")])


def main(argv):
    crlf = argv[0] == "--windows"
    if argv[0] in ("--windows", "--installed"):
        program = argv[1:]
    else:
        build, scratch = argv[1:3]
        subprocess.run(["cmake", "--install", build, "--prefix", scratch], check=True,
                       stdout=subprocess.DEVNULL)
        program = [os.path.join(scratch, "bin", "convqvr")]
    # No display of any kind, and a platform plugin that does not exist: the
    # command line loads no toolkit, so none of it matters.
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["QT_QPA_PLATFORM"] = "nonexistent"
    if crlf:  # Wine 10 complains on standard error without a runtime folder
        env["XDG_RUNTIME_DIR"] = runtime = tempfile.mkdtemp(prefix="convqvr-runtime-")
        # Wine's session and its background programs start with a program of
        # Wine's, which keeps them for the whole test: what they may write
        # goes to its standard error, and only our program's own words to
        # the standard error checked below.
        session = subprocess.Popen(program[:-1] + ["cmd"], stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        subprocess.run(program[:-1] + ["cmd", "/c", "ver"], env=env, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    end = "\r\n" if crlf else "\n"

    def run(arguments, given, stdout=subprocess.PIPE):
        return subprocess.run(program + arguments, input=given, stdout=stdout,
                              stderr=subprocess.PIPE, env=env, timeout=120)

    made = tempfile.mkdtemp(prefix="convqvr-workbooks-")
    bad_workbooks(made)

    def path(name):
        file = os.path.join(FILES if name[0] == "@" else made, name[1:])
        return "Z:" + file.replace("/", "\\") if crlf else file

    def content(name, folder=FILES):
        with open(os.path.join(folder, name.lstrip("@")), "rb") as file:
            return file.read()

    for (arguments, given, expected, errors, status), whole in \
            [(case, False) for case in CASES] + [(case, True) for case in FILE_CASES]:
        name = " ".join(arguments) or "(no argument)"
        if isinstance(given, str):
            given = content(given)
        arguments = [path(a) if a.startswith(("@", "%")) else a for a in arguments]
        done = run(arguments, given)
        out = done.stdout.decode("utf-8", "replace")
        err = done.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
        if whole:  # byte for byte, whatever the platform's line ends
            if isinstance(expected, str):
                want = content(expected[1:], made) if expected.startswith("%") \
                    else content(expected, os.path.join(FILES, "expected"))
            else:
                want = expected
            check(done.stdout == want, f"{name}: output {done.stdout[:300]!r}")
        elif isinstance(expected, str):
            check(out == expected.replace("\n", end), f"{name}: output {out!r}")
        else:
            check(expected.search(out.replace("\r\n", "\n")) is not None, f"{name}: output {out!r}")
        check(re.search(errors, err) is not None, f"{name}: errors {err!r}")
        check(done.returncode == status, f"{name}: status {done.returncode}, want {status}")

    # Every option --help names, the completion and the documentation name too.
    if not crlf:
        source = os.path.dirname(os.path.dirname(FILES))
        named = set(re.findall(r"--[a-z]+", run(["--help"], b"").stdout.decode()))
        for document in ("packaging/convqvr.bash-completion", "packaging/convqvr.1.in",
                         "packaging/convqvr.fr.1.in", "README.md"):
            with open(os.path.join(source, document), encoding="utf-8") as text:
                missing = named - set(re.findall(r"--[a-z]+", text.read().replace("\\-", "-")))
            check(not missing, f"{document} names every option of --help: {sorted(missing)} missing")

    shutil.rmtree(made)

    # Written to a terminal, a workbook would be garbage: refused.
    if not crlf:
        terminal, other = pty.openpty()
        with open(os.path.join(FILES, "membres.xlsx"), "rb") as book:
            done = subprocess.run(program + ["--tableur"], stdin=book, stdout=other,
                                  stderr=subprocess.PIPE, env=env, timeout=120)
        os.close(other)
        os.close(terminal)
        check(done.returncode == 2 and b"redirigez la sortie" in done.stderr,
              f"a workbook to a terminal: status {done.returncode}, {done.stderr!r}")

    # A large input streams through, line for line.
    lines = 200000
    done = run(["-"], b"05123456\r\n" * (lines - 1) + b"161")
    out = done.stdout.decode()
    check(done.returncode == 0 and out == ("0800.12.34.56." + end) * (lines - 1) + "01...." + end,
          f"{lines} lines in, {out.count(end)} out, status {done.returncode}")

    # A write that fails is said, never a silent success.
    with open("/dev/full", "wb") as full:
        done = run(["42123456"], b"", stdout=full)
    check(done.returncode == 1 and b"convqvr: erreur d'\xc3\xa9criture" in done.stderr,
          f"a full disk: status {done.returncode}, {done.stderr!r}")

    # While the input pauses, what was read is answered, as a terminal or
    # tail -f needs.
    for arguments, line, answer in ((["-"], b"42123456\n", b"04.42.12.34.56"),
                                    (["--liste"], b"42 12 34 56\n", b"04 42 12 34 56")):
        talker = subprocess.Popen(program + arguments, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, env=env)
        talker.stdin.write(line)
        talker.stdin.flush()
        answered = select.select([talker.stdout], [], [], 60)[0] and talker.stdout.readline()
        talker.stdin.close()
        talker.wait(timeout=60)
        check(answered and answered.rstrip() == answer, f"{' '.join(arguments)} answers a line before the input ends: {answered!r}")

    # A reader that goes away ends the program quietly: by SIGPIPE, as
    # coreutils end; on Windows, which has no such signal, with status 1.
    reader = subprocess.Popen(program + ["-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=env)
    reader.stdout.close()  # the reader goes away before anything is written
    try:
        reader.stdin.write(b"42123456\n" * lines)
        reader.stdin.close()
    except BrokenPipeError:
        pass
    err = reader.stderr.read()
    status = reader.wait(timeout=120)
    check(status == (1 if crlf else -signal.SIGPIPE) and err.replace(b"\r", b"") == b"",
          f"a closed pipe: status {status}, {err!r}")

    if crlf:
        # As typed in cmd: "convqvr" finds convqvr.com, whose output goes to a file.
        folder = os.path.dirname(program[-1])
        target = os.path.join(folder, "redirected.txt")
        command = f"cd /d Z:{folder.replace('/', chr(92))} && convqvr 42123456 05123456 > redirected.txt"
        subprocess.run(program[:-1] + ["cmd", "/c", command], env=env, timeout=120,
                       stdout=subprocess.DEVNULL)
        with open(target, "rb") as redirected:
            got = redirected.read()
        os.remove(target)
        check(got == b"04.42.12.34.56\r\n0800.12.34.56.\r\n", f"cmd's redirection: {got!r}")
        session.communicate(b"exit\r\n", timeout=120)
        shutil.rmtree(runtime)


if __name__ == "__main__":
    main(sys.argv[1:])
    print(f"{len(CASES) + len(FILE_CASES)} cases, {len(failures)} failed")
    sys.exit(1 if failures else 0)
