#!/usr/bin/python3
"""The command line, from outside: one table of argument lists and inputs
with the output, the error text and the exit status each must give; then a
large input streamed through, a full disk and a reader that goes away.

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
import shutil
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
    end = "\r\n" if crlf else "\n"

    def run(arguments, given, stdout=subprocess.PIPE):
        return subprocess.run(program + arguments, input=given, stdout=stdout,
                              stderr=subprocess.PIPE, env=env, timeout=120)

    for arguments, given, expected, errors, status in CASES:
        done = run(arguments, given)
        out = done.stdout.decode("utf-8", "replace")
        err = done.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
        name = " ".join(arguments) or "(no argument)"
        if isinstance(expected, str):
            check(out == expected.replace("\n", end), f"{name}: output {out!r}")
        else:
            check(expected.search(out.replace("\r\n", "\n")) is not None, f"{name}: output {out!r}")
        check(re.search(errors, err) is not None, f"{name}: errors {err!r}")
        check(done.returncode == status, f"{name}: status {done.returncode}, want {status}")

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
    check(status == 1 and b"convqvr: erreur d'\xc3\xa9criture" in err,
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
        shutil.rmtree(runtime)


if __name__ == "__main__":
    main(sys.argv[1:])
    print(f"{sum(1 for _ in CASES)} cases, {len(failures)} failed")
    sys.exit(1 if failures else 0)
