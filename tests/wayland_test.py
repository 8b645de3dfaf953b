#!/usr/bin/python3
"""Runs the program as a native client of a real Wayland compositor (sway,
headless) and drives it as a user would: keys and clicks through the
compositor's own seat, the texts read back through AT-SPI after every step,
as a screen reader does. Leaves a screenshot beside the runtime folder.

Usage: wayland_test.py PROGRAM INPUT_HELPER WORK_DIR
       (on a D-Bus session bus; WORK_DIR holds the runtime folder and sway's config)
"""
import json
import os
import subprocess
import sys
import time

import pyatspi

from atspi_session import check, failures, find_window, pump, walk
from form_sheet import PLACES, TITLE, centre

WIDTH, HEIGHT = 640, 480


def sway_window(env):
    """The program's window as sway knows it: its place and the kind of client."""
    tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], env=env, check=True,
                                     capture_output=True, text=True).stdout)
    def nodes(node):
        yield node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from nodes(child)
    return next((n for n in nodes(tree) if n.get("name") == TITLE), None)


def start_compositor(work):
    runtime = os.path.join(work, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    config = os.path.join(work, "sway.config")
    with open(config, "w") as out:
        out.write("xwayland disable\n"
                  f"output HEADLESS-1 resolution {WIDTH}x{HEIGHT} bg #336699 solid_color\n")
    env = {key: value for key, value in os.environ.items()
           if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SWAYSOCK")}
    env.update(XDG_RUNTIME_DIR=runtime, HOME=work, WLR_BACKENDS="headless",
               WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1")
    log = open(os.path.join(work, "sway.log"), "w")
    sway = subprocess.Popen(["sway", "--config", config], env=env, stdout=log, stderr=log)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and sway.poll() is None:
        names = os.listdir(runtime)
        sockets = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
        ipc = [n for n in names if n.startswith("sway-ipc.")]
        if sockets and ipc:
            env.update(WAYLAND_DISPLAY=sockets[0], SWAYSOCK=os.path.join(runtime, ipc[0]))
            return sway, env
        time.sleep(0.1)
    raise RuntimeError("sway did not start: " + open(log.name).read())


def main(program, helper, work):
    sway, env = start_compositor(work)
    # Keyboard and pointer exist before the program starts, as on a desktop.
    seat = subprocess.Popen([helper, str(WIDTH), str(HEIGHT)], env=env, text=True,
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    if not check(seat.stdout.readline().strip() == "ready", "the compositor's seat has a keyboard and a pointer"):
        return

    def send(command):
        seat.stdin.write(command + "\n")
        seat.stdin.flush()
        answer = seat.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError(f"{command}: {answer}")

    renamed = []
    pyatspi.Registry.registerEventListener(lambda event: renamed.append(event.source),
                                           "object:property-change:accessible-name")
    app_env = dict(env, QT_QPA_PLATFORM="wayland", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    # Qt's Wayland plugin leaves its protocol objects (an activation token,
    # libwayland proxies) to the end of the process. The leak checker stays on
    # for the program in every other test.
    if "ASAN_OPTIONS" in app_env:
        app_env["ASAN_OPTIONS"] += ":detect_leaks=0"
    process = subprocess.Popen([program], env=app_env)
    try:
        window = None
        deadline = time.monotonic() + 30
        while window is None and time.monotonic() < deadline and process.poll() is None:
            window = find_window(TITLE)
            pump(0.2)
        if not check(window is not None, f"the window '{TITLE}' is shown"):
            return
        placed = sway_window(env)
        # With no X server and XWayland off, a silent fallback is impossible;
        # sway says which protocol the window came through.
        check(placed is not None and placed.get("shell") == "xdg_shell",
              f"the window is a native Wayland client ({placed and placed.get('shell')})")
        rect = placed["rect"]
        nodes = list(walk(window))
        box = next(n for n in nodes if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY))
        result = next(n for n in nodes if n.getRole() == pyatspi.ROLE_LABEL
                      and n.description == "Numéro à dix chiffres")
        box_text = lambda: box.queryText().getText(0, -1)
        click = lambda x, y: (send(f"move {rect['x'] + x} {rect['y'] + y}"), send("click"))

        # After every step the box and the result read as the user expects.
        steps = [(f"key {digit}", typed, shown) for digit, typed, shown in [
            ("4", "4", "4"), ("5", "45", "05.45..."), ("6", "456", "05.45.6.."),
            ("7", "4567", "05.45.67.."), ("8", "45678", "05.45.67.8."),
            ("9", "456789", "05.45.67.89."), ("0", "4567890", "05.45.67.89.0"),
            ("1", "45678901", "05.45.67.89.01")]]
        steps += [
            ("key 2", "45678901", "05.45.67.89.01"),          # a ninth digit is discarded
            ("key BackSpace", "4567890", "05.45.67.89.0"),
            ("key a", "4567890", "05.45.67.89.0"),            # so is a letter
            ("key Home", "4567890", "05.45.67.89.0"),
            ("key Delete", "567890", "05.56.78.90."),
            ("key Right", "567890", "05.56.78.90."),
            ("key 4", "5467890", "02.54.67.89.0"),
            ("click nhc", "", ""),                            # a click empties the box
            ("paste 16145678901", "16145678901", "01.45.67.89.01"),
            ("key 3", "16145678901", "01.45.67.89.01"),       # nothing but Backspace now
            ("key BackSpace", "1614567890", "01.45.67.89.0"),
        ]
        for step, typed, shown in steps:
            action, _, argument = step.partition(" ")
            if action == "click":
                click(*centre(PLACES, argument))
            elif action == "paste":
                subprocess.run(["wl-copy", argument], env=env, check=True,
                               stderr=subprocess.DEVNULL)
                send("key v ctrl")
            else:
                send(step)
            done = lambda: box_text() == typed and result.name == shown
            pump(5, done)
            check(done(), f"after {step}: box '{box_text()}', result '{result.name}'")
        shown = [""] + [step[2] for step in steps]
        changes = sum(1 for before, after in zip(shown, shown[1:]) if before != after)
        announced = sum(1 for source in renamed if source.path == result.path)
        check(announced >= changes, f"{announced} announcements for {changes} changes of the result")

        subprocess.run(["grim", os.path.join(work, "wayland.png")], env=env, check=True)
        click(*centre(PLACES, "Quitter"))
        try:
            status = process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            status = None
        check(status == 0, f"Quitter ends the program with status {status}")
    finally:
        for child in (process, seat, sway):
            if child.poll() is None:
                child.kill()
                child.wait()


if __name__ == "__main__":
    main(*sys.argv[1:4])
    sys.exit(1 if failures else 0)
