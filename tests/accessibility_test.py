#!/usr/bin/python3
"""The program on X11, read through AT-SPI as a screen reader reads it: the
names and roles of its controls, then the shared session played with real
X keystrokes and clicks (xdotool), the texts read back after every step, and
Quitter pressed through its accessible action.

Then the program started with files, as the desktop entry starts it: each is
saved where the save dialog proposes, and what the window says is read.

Usage: accessibility_test.py PROGRAM WINDOW_PROGRAM   (on an X display, on a D-Bus session)
"""
import subprocess
import sys

import pyatspi

from atspi_session import announcements, check_announced, dialog_texts, pump, texts, wait_for_window, walk
from form_sheet import PLACES, TITLE, centre
from scenario import check, convert_files, end, failures, play, run, steps


def main(program, window_program):
    count = announcements()
    process = subprocess.Popen([program])
    try:
        window = wait_for_window(TITLE, process)
        if not check(window is not None, f"the window '{TITLE}' is in the accessibility tree"):
            return
        nodes = list(walk(window))
        by_role = lambda *roles: [n for n in nodes if n.getRole() in roles]
        boxes = by_role(pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
        check([b.name for b in boxes] == ["Numéro à 8 chiffres"], "the box is announced as 'Numéro à 8 chiffres'")
        buttons = by_role(pyatspi.ROLE_PUSH_BUTTON)
        check([b.name for b in buttons] == ["Quitter"], "the button is announced as 'Quitter'")
        box, result, read = texts(window)
        check(read() == ("", ""), "the box and the result are empty at start")

        window_id = run(["xdotool", "search", "--sync", "--name", f"^{TITLE}$"],
                                   capture_output=True, text=True, check=True).stdout.split()[0]
        run(["xdotool", "windowfocus", "--sync", window_id], check=True)
        xdotool = lambda *words: run(["xdotool", *words], check=True)
        click = lambda name, button="1": xdotool(
            "mousemove", "--window", window_id, *map(str, centre(PLACES, name)), "click", button)

        def do(action, argument):
            if action == "type":
                xdotool("type", argument)
            elif action == "key":
                xdotool("key", argument)
            elif action == "click":
                click(argument)
            elif action == "paste":
                run(["xclip", "-selection", "clipboard"], input=argument.encode(), check=True)
                xdotool("key", "ctrl+v")
            elif action == "copy" and argument != "qvr":  # from the keyboard
                xdotool("key", argument)
            elif action == "copy":
                # The menu is a window of the program's own: once it shows,
                # its one entry is chosen from the keyboard.
                click(argument, "3")
                shown = lambda: len(run(
                    ["xdotool", "search", "--onlyvisible", "--pid", str(process.pid)],
                    capture_output=True, text=True).stdout.split()) > 1
                if not pump(5, shown):
                    raise RuntimeError("the result's menu did not show")
                xdotool("key", "Down", "Return")
            elif action == "quit":  # as a screen reader's user presses it
                buttons[0].queryAction().doAction(0)

        clipboard = lambda: run(["xclip", "-o", "-selection", "clipboard"],
                                           capture_output=True, text=True).stdout
        play(do, read, clipboard, process.poll, pump)
        check_announced(count, result, list(steps()))
    finally:
        end(process)
    # Then files, given as the desktop entry gives them.
    convert_files(lambda paths: subprocess.Popen([window_program, *paths]),
                  lambda: run(["xdotool", "key", "Return"], check=True),
                  lambda: dialog_texts("Enregistrer le fichier converti"), pump)


if __name__ == "__main__":
    main(*sys.argv[1:3])
    sys.exit(1 if failures else 0)
