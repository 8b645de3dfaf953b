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

from atspi_session import announcements, check_announced, dialog_texts, pump, texts, wait_for_window
from form_sheet import PLACES, TITLE, centre
from scenario import check, convert_files, end, failures, play, run, steps

WIDTH, HEIGHT = 640, 480


def tree(env):
    return json.loads(run(["swaymsg", "-t", "get_tree"], env=env, check=True,
                                     capture_output=True, text=True).stdout)


def sway_window(env):
    """The program's window as sway knows it: its place and the kind of client."""
    def nodes(node):
        yield node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from nodes(child)
    return next((n for n in nodes(tree(env)) if n.get("name") == TITLE), None)


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
    try:
        sway, env = start_compositor(work)
    except RuntimeError as error:
        check(False, str(error))
        return
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

    count = announcements()
    app_env = dict(env, QT_QPA_PLATFORM="wayland", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    # Qt's Wayland plugin leaves its protocol objects (an activation token,
    # libwayland proxies) to the end of the process. The leak checker stays on
    # for the program in every other test.
    if "ASAN_OPTIONS" in app_env:
        app_env["ASAN_OPTIONS"] += ":detect_leaks=0"
    process = subprocess.Popen([program], env=app_env)
    try:
        window = wait_for_window(TITLE, process)
        if not check(window is not None, f"the window '{TITLE}' is shown"):
            return
        placed = sway_window(env)
        # With no X server and XWayland off, a silent fallback is impossible;
        # sway says which protocol the window came through.
        if not check(placed is not None and placed.get("shell") == "xdg_shell",
                     f"the window is a native Wayland client ({placed and placed.get('shell')})"):
            return
        rect = placed["rect"]
        box, result, read = texts(window)

        def click(name, button=""):
            x, y = centre(PLACES, name)
            send(f"move {rect['x'] + x} {rect['y'] + y}")
            send(f"click {button}")

        def do(action, argument):
            if action in ("type", "key"):
                send(f"key {argument}")
            elif action in ("click", "quit"):
                click(argument)
            elif action == "paste":
                run(["wl-copy", argument], env=env, check=True, stderr=subprocess.DEVNULL)
                send("key v ctrl")
            elif action == "copy" and argument != "qvr":  # ctrl+KEY, from the keyboard
                send(f"key {argument.split('+')[1]} ctrl")
            elif action == "copy":
                # sway lists no popups: the menu's one entry is chosen from the
                # keyboard until the clipboard shows it was. Keys that reach
                # the box meanwhile change nothing (Down, and Return refused).
                run(["grim", os.path.join(work, "wayland.png")], env=env, check=True)
                for _ in range(10):
                    click(argument, "right")
                    send("key Down")
                    send("key Return")
                    if pump(1, lambda: clipboard() == read()[1]):
                        break

        clipboard = lambda: run(["wl-paste", "--no-newline"], env=env,
                                           capture_output=True, text=True).stdout
        play(do, read, clipboard, process.poll, pump)
        check_announced(count, result, list(steps()))
        end(process)
        # Then files, given as the desktop entry gives them.
        convert_files(lambda paths: subprocess.Popen([program, *paths], env=app_env),
                      lambda: send("key Return"), lambda: dialog_texts("Enregistrer le fichier converti"), pump)
    finally:
        end(process, seat, sway)


if __name__ == "__main__":
    main(*sys.argv[1:4])
    sys.exit(1 if failures else 0)
