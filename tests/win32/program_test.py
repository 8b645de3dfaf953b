#!/usr/bin/python3
"""The Windows program end to end under Wine, inside xvfb.sh at the same
density: what it imports, its size and header, its version block, where each
control stands, Quitter, and at 96 dpi the session every platform plays:
real X keystrokes and clicks (xdotool), the box and the result read back
after every step by the probe, a Windows program, which also sets and reads
the clipboard as Windows programs do (xclip, asking Wine through X, may wait
for ever). A paste is also made through the
box's own menu, its entry found by its place, not its words: Windows lays
out an edit box's menu as Undo, then Cut, Copy, Paste. Then the program is
started with files, as Explorer's menu starts it, and each is saved where
the dialog proposes.

Usage: program_test.py PROGRAM PROBE PREFIX DPI OBJDUMP
"""
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from form_sheet import centre, parse  # noqa: E402
from scenario import check, convert_files, end, failures, play, run, wait  # noqa: E402

# The form's pixels at 96 dpi: the layout's own expected values.
LAYOUT = {"Label1": (16, 8, 121, 17), "nhc": (24, 24, 81, 24), "Label2": (16, 56, 177, 25),
          "qvr": (16, 80, 177, 33), "Label3": (8, 120, 201, 41), "Quitter": (128, 32, 65, 17)}
VERSION = """FILEVERSION 6.0.0.0
Translation 040C 04B0
FileVersion=6.00
ProductVersion=6.00
ProductName=Conversion QVR
FileDescription=Conversion des numéros de téléphone à 8 chiffres
CompanyName=Les auteurs de Conversion QVR
OriginalFilename=convqvr.exe
"""


def main(program, probe_program, prefix, dpi, objdump):
    dpi = int(dpi)
    wine = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine.sh"), f"{prefix}-{dpi}", str(dpi)]
    def in_wine(*words):
        # Into a file, not a pipe: helpers that Wine starts meanwhile would
        # hold a pipe open long after the probe is done.
        with tempfile.TemporaryFile() as out:
            done = run(wine + [probe_program, *words], timeout=120, stdout=out, stderr=subprocess.DEVNULL)
            out.seek(0)
            done.stdout = out.read().decode().replace("\r", "")
        return done

    probe = lambda *words: in_wine(*words).stdout
    dlls = sorted(line.split()[-1].upper() for line in run(
        [objdump, "-p", program], capture_output=True, text=True).stdout.splitlines() if "DLL Name:" in line)
    check(dlls == ["COMCTL32.DLL", "COMDLG32.DLL", "GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "SHELL32.DLL",
                   "USER32.DLL"], f"only Windows' own DLLs: {dlls}")
    # The picture is 240 KB of it; the rest is the program, the file reader
    # and what they use of the runtime. A link time in the header would
    # change every build.
    with open(program, "rb") as exe:
        header = exe.read(4096)
    stamp, = struct.unpack_from("<I", header, struct.unpack_from("<I", header, 0x3C)[0] + 8)
    size = os.path.getsize(program)
    check(size < 512 * 1024 and stamp == 0, f"under 512 KB and no link time: {size} bytes, stamp {stamp}")
    version = probe("version", "Z:" + program.replace("/", "\\"))
    check(version == VERSION, f"the version block: {version!r}")
    title, places = parse(probe("form").splitlines())

    process = subprocess.Popen(wine + [program])
    try:
        if not check(in_wine("wait").returncode == 0,
                     f"a window titled '{title}' shows (the program's status: {process.poll()})"):
            return
        # Where each control stands at this density: scaled and rounded as MulDiv does.
        scale = lambda pixels: (pixels * dpi + 48) // 96
        layout = [line.split() for line in probe("layout").splitlines()]
        got = {words[0]: tuple(map(int, words[1:])) for words in layout}
        origin = got.pop("origin")
        want = {name: tuple(map(scale, place)) for name, place in LAYOUT.items()}
        want["client"] = (scale(210), scale(161))
        check(got == want, f"the layout at {dpi} dpi: {got}")
        window = run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True,
                                text=True, check=True).stdout.split()[0]
        xdotool = lambda *words: run(["xdotool", *words], check=True)
        xdotool("windowfocus", window)

        def click(name, button="1"):
            x, y = centre(places, name)
            xdotool("mousemove", str(origin[0] + scale(x)), str(origin[1] + scale(y)), "click", button)

        def menu(name, downs):
            click(name, "3")
            if in_wine("menu").returncode:
                raise RuntimeError(f"the menu of {name} did not show")
            xdotool("key", *["Down"] * downs, "Return")

        read = lambda: tuple((probe("texts").splitlines() + ["", ""])[:2])

        def do(action, argument):
            if action in ("type", "key"):
                xdotool(action, argument)
            elif action in ("click", "quit"):
                click(argument)
            elif action == "paste":
                check(in_wine("clip", argument).returncode == 0, f"{argument} is on the clipboard")
                # A menu that takes the keys before it is ready is opened
                # again; keys that reach the box meanwhile change nothing.
                for _ in range(3):
                    menu("nhc", 4)
                    if wait(5, lambda: read()[0] == argument):
                        break
                check(read()[0] == argument, "the box's own menu pastes")
                click("nhc")  # empties it again, for the shortcut
                xdotool("key", "ctrl+v")
            elif action == "copy" and argument != "qvr":  # from the keyboard
                xdotool("key", argument)
            elif action == "copy":
                menu(argument, 1)

        if dpi != 96:  # the layout alone at other densities
            do("quit", "Quitter")
            wait(10, lambda: process.poll() is not None)
            check(process.poll() == 0, f"Quitter ends the program with status {process.poll()}")
            return
        clipboard = lambda: in_wine("clipboard").stdout
        play(do, read, clipboard, process.poll)
    finally:
        end(process)
    # Then files, named on its command line as Explorer's menu names them.
    convert_files(lambda paths: subprocess.Popen(wine + [program, *("Z:" + p.replace("/", "\\") for p in paths)]),
                  lambda: run(["xdotool", "key", "Return"], check=True),
                  lambda: probe("dialogs").splitlines())


if __name__ == "__main__":
    main(*sys.argv[1:6])
    sys.exit(1 if failures else 0)
