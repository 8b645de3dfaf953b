"""What the tests that read the program through AT-SPI share: checks that
print as they go, the event loop that delivers AT-SPI events, and the way to
the program's window in the accessibility tree."""
import time

import pyatspi
from gi.repository import GLib

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def pump(seconds, until=lambda: False):
    """Runs the event loop that delivers AT-SPI events, until `until` holds."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not until():
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)
    return until()


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find_window(title):
    for app in pyatspi.Registry.getDesktop(0):
        for node in app or []:
            if node is not None and node.name == title:
                return node
    return None
