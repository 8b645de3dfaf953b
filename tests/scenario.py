"""The shared session (scenario.txt) and the loop that plays it: a driver
gives what each action does on its platform and how it reads the window."""
import os
import subprocess
import time

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def run(command, timeout=60, **options):
    """subprocess.run with a bound: a helper that never answers (xclip while
    Wine holds the clipboard, say) fails its step with a message rather than
    hold the test to its limit."""
    try:
        return subprocess.run(command, timeout=timeout, **options)
    except subprocess.TimeoutExpired as error:
        raise RuntimeError(f"{command[0]} gave no answer in {timeout} s") from error


def end(*processes):
    """Ends whichever of the processes still runs, as a driver leaves."""
    for process in processes:
        if process.poll() is None:
            process.kill()
            process.wait()


def steps():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "scenario.txt")
    with open(path, encoding="utf-8") as table:
        for line in table:
            if line.strip() and not line.startswith("#"):
                yield tuple(field.strip() for field in line.split("|"))


def wait(seconds, until):
    """Polls until `until` holds, for `seconds` at most."""
    deadline = time.monotonic() + seconds
    while not until() and time.monotonic() < deadline:
        time.sleep(0.05)
    return until()


def play(do, read, clipboard, ended, wait=wait):
    """do(action, argument) acts; read() gives (box, result); clipboard() the
    clipboard's text; ended() the program's exit status, or None while it
    runs; wait(seconds, until) waits until until() holds, where the platform
    has its own way of waiting."""
    for action, argument, box, result in steps():
        try:
            step(do, read, clipboard, ended, wait, action, argument, box, result)
        except Exception as error:  # a driver that breaks is a failure, not a crash
            check(False, f"{action} {argument}: the driver failed: {error!r}")
            return


def step(do, read, clipboard, ended, wait, action, argument, box, result):
    do(action, argument)
    if action == "quit":
        wait(10, lambda: ended() is not None)
        check(ended() == 0, f"{argument} ends the program with status {ended()}")
        return
    shown = lambda: read() == (box, result)
    # Generous: Wine on a loaded machine has taken over 5 s to show a key.
    wait(20, shown)
    check(shown(), f"after {action} {argument}: box|result {'|'.join(read())}, want {box}|{result}")
    if action == "copy":
        copied = lambda: clipboard() == result
        wait(5, copied)
        check(copied(), f"the clipboard holds {clipboard()!r} after copying {result!r}")
