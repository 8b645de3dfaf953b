#!/usr/bin/python3
"""Reads the running program through AT-SPI, as a screen reader does: the
names and roles of its controls, and the result after typing a number.

Usage: accessibility_test.py PROGRAM   (on an X display, on a D-Bus session)
"""
import subprocess
import sys
import time

import pyatspi

from atspi_session import check, failures, find_window, pump, walk
from form_sheet import PLACES, TITLE, centre


def main(program):
    renamed = []
    pyatspi.Registry.registerEventListener(
        lambda event: renamed.append(event.source),
        "object:property-change:accessible-name")

    process = subprocess.Popen([program])
    try:
        window = None
        deadline = time.monotonic() + 30
        while window is None and time.monotonic() < deadline:
            window = find_window(TITLE)
            pump(0.2)
        check(window is not None, f"the window '{TITLE}' is in the accessibility tree")
        if window is None:
            return

        nodes = list(walk(window))
        by_role = lambda *roles: [n for n in nodes if n.getRole() in roles]
        boxes = by_role(pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
        check(len(boxes) == 1 and boxes[0].name == "Numéro à 8 chiffres",
              "the box is announced as 'Numéro à 8 chiffres': "
              + repr([(b.getRoleName(), b.name) for b in boxes]))
        buttons = by_role(pyatspi.ROLE_PUSH_BUTTON)
        check([b.name for b in buttons] == ["Quitter"], "the button is announced as 'Quitter'")
        labels = by_role(pyatspi.ROLE_LABEL)
        results = [n for n in labels if n.description == "Numéro à dix chiffres"]
        check(len(results) == 1, "the result label is described as 'Numéro à dix chiffres'")
        if not results:
            return
        result = results[0]
        check(result.name == "", "the result is empty at start")

        subprocess.run(["xdotool", "search", "--sync", "--name", "^" + TITLE + "$",
                        "windowfocus", "--sync"], check=True)
        subprocess.run(["xdotool", "type", "--delay", "30", "42123456"], check=True)
        pump(10, lambda: result.name == "04.42.12.34.56")
        check(result.name == "04.42.12.34.56", f"after typing 42123456 the result reads '{result.name}'")
        # One announcement a keystroke, each from the result label.
        announced = lambda: sum(1 for source in renamed if source.path == result.path)
        check(pump(5, lambda: announced() >= 8),
              f"every change of the result is announced ({announced()} for 8 digits)")
        check(boxes[0].queryText().getText(0, -1) == "42123456", "the box's text is readable")

        # The built program end to end, read back as a screen reader would:
        # real X keystrokes and a click, each answered in the result.
        box_text = lambda: boxes[0].queryText().getText(0, -1)
        window_id = subprocess.run(["xdotool", "search", "--name", "^" + TITLE + "$"],
                                   capture_output=True, text=True, check=True).stdout.split()[0]
        steps = [
            (["type", "7"], "42123456", None),  # a ninth digit is discarded
            (["type", "a"], "42123456", None),  # so is a letter
            (["key", "BackSpace"], "4212345", "04.42.12.34.5"),
            (["key", "Home", "Delete"], "212345", "03.21.23.45."),  # X11 sends Delete as "\x7f"
            (["key", "End", "KP_7", "KP_8"], "21234578", "03.21.23.45.78"),
            (["mousemove", "--window", window_id, *map(str, centre(PLACES, "nhc")), "click", "1"],
             "", ""),
            (["type", "05123456"], "05123456", "0800.12.34.56."),
        ]
        for command, expected, shown in steps:
            subprocess.run(["xdotool"] + command, check=True)
            done = lambda: box_text() == expected and shown in (None, result.name)
            pump(5, done)
            check(done(), f"after xdotool {' '.join(command)}: box '{box_text()}', "
                          f"result '{result.name}'")

        # Pressing the button through its accessible action ends the program.
        action = buttons[0].queryAction()
        action.doAction(0)
        check(process.wait(timeout=10) == 0, "the button's action ends the program with status 0")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


if __name__ == "__main__":
    main(sys.argv[1])
    sys.exit(1 if failures else 0)
