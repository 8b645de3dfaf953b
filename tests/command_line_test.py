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
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile

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
    (["--colonne", "Fax"], b"", "", r"^convqvr: l'option « --colonne » va avec --csv\nEssayez", 2),
    (["--vcard", "--liste"], b"", "", r"^convqvr: un seul de --vcard, --csv et --liste", 2),
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
]


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

    def path(name):
        file = os.path.join(FILES, name[1:])
        return "Z:" + file.replace("/", "\\") if crlf else file

    def content(name, folder=FILES):
        with open(os.path.join(folder, name.lstrip("@")), "rb") as file:
            return file.read()

    for (arguments, given, expected, errors, status), whole in \
            [(case, False) for case in CASES] + [(case, True) for case in FILE_CASES]:
        name = " ".join(arguments) or "(no argument)"
        if isinstance(given, str):
            given = content(given)
        arguments = [path(a) if a.startswith("@") else a for a in arguments]
        done = run(arguments, given)
        out = done.stdout.decode("utf-8", "replace")
        err = done.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
        if whole:  # byte for byte, whatever the platform's line ends
            want = content(expected, os.path.join(FILES, "expected")) if isinstance(expected, str) else expected
            check(done.stdout == want, f"{name}: output {done.stdout!r}")
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
