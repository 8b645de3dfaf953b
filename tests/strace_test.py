#!/usr/bin/python3
"""Runs the program under strace on an X display, types a number and quits,
then checks what its own process and threads did: no internet socket, and no
file opened for writing outside the toolkit's runtime folder. Processes the
toolkit may start (a D-Bus launcher, say) are left out.

Usage: strace_test.py PROGRAM
"""
import os
import re
import subprocess
import sys
import tempfile

from form_sheet import PLACES, TITLE, centre
from scenario import end, run

WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND")


def main(program):
    runtime = tempfile.mkdtemp(prefix="convqvr-runtime-")
    os.chmod(runtime, 0o700)
    trace = os.path.join(runtime, "..", os.path.basename(runtime) + ".strace")
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    # The leak checker cannot work under ptrace; the other sanitizer checks can.
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":detect_leaks=0"
    process = subprocess.Popen(
        ["strace", "-f", "--detach-on=execve", "-qq", "-s", "256", "-o", trace,
         "-e", "trace=socket,connect,open,openat,openat2,creat,clone,clone3,fork,vfork,execve",
         program], env=env)
    try:
        found = run(["xdotool", "search", "--sync", "--name", "^" + TITLE + "$",
                                "windowfocus", "--sync"], timeout=60)
    except subprocess.TimeoutExpired:
        found = None
    if found is None or found.returncode != 0:
        process.kill()
        print(f"FAIL  no window titled '{TITLE}' showed within 60 s")
        return 1
    try:
        run(["xdotool", "type", "--delay", "30", "42123456"], check=True)
        window = run(["xdotool", "search", "--name", "^" + TITLE + "$"],
                                capture_output=True, text=True, check=True).stdout.split()[0]
        quitter = map(str, centre(PLACES, "Quitter"))
        run(["xdotool", "mousemove", "--window", window, *quitter, "click", "1"],
                       check=True)
        status = process.wait(timeout=30)
    finally:
        end(process)
    if status != 0:
        print(f"FAIL  the program ended with status {status}")
        return 1

    # strace pads the process id to a width of its own choosing.
    calls = []
    if os.path.exists(trace):
        calls = [fields for fields in (line.split(None, 1) for line in open(trace)) if len(fields) == 2]
    calls = [(pid, call.rstrip("\n")) for pid, call in calls]
    if not calls:
        print(f"FAIL  strace wrote no system calls to {trace}")
        return 1
    own = {calls[0][0]}
    problems, written, read = [], set(), set()
    for pid, call in calls:
        # New threads belong to the program; new processes are helpers.
        created = re.match(r"(clone3?|fork|vfork)\(.*= (\d+)$", call)
        if created and pid in own and "CLONE_THREAD" in call:
            own.add(created.group(2))
        if pid not in own:
            continue
        if re.match(r"(socket|connect)\(.*AF_INET6?\b", call):
            problems.append("internet socket: " + call)
        opened = re.match(r'(?:open|openat|openat2|creat)\((?:[^,]*, )?"([^"]*)"(.*)\) = (-?\d+)', call)
        if opened:
            path, flags, result = opened.groups()
            if int(result) < 0:
                continue
            full = os.path.realpath(path)
            if call.startswith("creat(") or any(flag in flags for flag in WRITE_FLAGS):
                written.add(full)
                inside_runtime = full.startswith(os.path.realpath(runtime) + os.sep)
                if not inside_runtime and full != "/dev/null":
                    problems.append("opened for writing: " + call)
            else:
                read.add(full)

    # A trace that missed the program would pass for the wrong reason.
    if not any(path.endswith("/libqxcb.so") for path in read):
        problems.append("the trace does not show the program loading its X11 plugin")

    folders = sorted({os.path.dirname(path) for path in read})
    print(f"the program read {len(read)} files in {len(folders)} folders, among them:")
    for folder in folders[:40]:
        print("   ", folder)
    print("opened for writing:", sorted(written) or "nothing")
    for problem in problems:
        print("FAIL ", problem)
    if not problems:
        print("ok    no internet socket, nothing written outside the runtime folder")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
