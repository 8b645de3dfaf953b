"""What the tests that read the program through AT-SPI share: the event loop
that delivers AT-SPI events, the way to the program's window and its two
texts, and the count of the result's announcements."""
import time

import pyatspi
from gi.repository import GLib

from scenario import check


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


def wait_for_window(title, process):
    window = None
    deadline = time.monotonic() + 30
    while window is None and time.monotonic() < deadline and process.poll() is None:
        window = find_window(title)
        pump(0.2)
    return window


def texts(window):
    """The box and the result, and a reader of both, as a screen reader finds them."""
    nodes = list(walk(window))
    box = next(n for n in nodes if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY))
    result = next(n for n in nodes if n.getRole() == pyatspi.ROLE_LABEL
                  and n.description == "Numéro à dix chiffres")
    return box, result, lambda: (box.queryText().getText(0, -1), result.name)


def announcements():
    """Counts the result's announcements: call with the result once it exists."""
    renamed = []
    pyatspi.Registry.registerEventListener(lambda event: renamed.append(event.source),
                                           "object:property-change:accessible-name")
    return lambda result: sum(1 for source in renamed if source.path == result.path)


def check_announced(count, result, steps):
    shown = [""] + [step[3] for step in steps if step[0] != "quit"]
    changes = sum(1 for before, after in zip(shown, shown[1:]) if before != after)
    check(count(result) >= changes, f"{count(result)} announcements for {changes} changes of the result")


def dialog_texts(title):
    """The labels' texts in every window titled `title`, as a screen reader reads them."""
    return [node.name for app in pyatspi.Registry.getDesktop(0) for window in app or []
            if window is not None and window.name == title
            for node in walk(window) if node.getRole() == pyatspi.ROLE_LABEL]
