"""The shared session (scenario.txt) and the loop that plays it: a driver
gives what each action does on its platform and how it reads the window."""
import os
import shutil
import subprocess
import tempfile
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
        wait(30, lambda: ended() is not None)
        check(ended() == 0, f"{argument} ends the program with status {ended()}")
        return
    shown = lambda: read() == (box, result)
    # Generous: Wine on a loaded machine has taken over 5 s to show a key,
    # and a wait ends as soon as what it waits for holds.
    wait(60, shown)
    check(shown(), f"after {action} {argument}: box|result {'|'.join(read())}, want {box}|{result}")
    if action == "copy":
        copied = lambda: clipboard() == result
        wait(30, copied)
        check(copied(), f"the clipboard holds {clipboard()!r} after copying {result!r}")


# The files every window is given at its start, as a file manager or
# Explorer's menu gives them, and what the window then says of each.
FILES = [("iphone.vcf", "iphone.vcf (vCard) : convertis 2, laissés tels quels 2, signalés 0."),
         ("membres.xlsx", "membres.xlsx (classeur) : convertis 6, laissés tels quels 1, signalés 1.")]


def convert_files(start, confirm, told, wait=wait):
    """start(paths) starts the program with the files and gives its process;
    confirm() presses Return in the dialog in front; told() gives the texts
    of the dialogs shown. Each file is saved under the name the dialog
    proposes, beside itself, and compared with the expected one."""
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "files")
    scratch = tempfile.TemporaryDirectory()
    paths = [shutil.copy(os.path.join(here, name), scratch.name) for name, _ in FILES]
    process = start(paths)
    try:
        for (name, said), path in zip(FILES, paths):
            stem, extension = os.path.splitext(path)
            converted = f"{stem}-converti{extension}"
            # Return takes the proposed name once the save dialog shows, and
            # is pressed again only while it still shows: never on the
            # dialog that follows it.
            for _ in range(10):
                wait(30, lambda: told())
                if said in told():
                    break
                confirm()
                wait(10, lambda: said in told())
            if not check(said in told(), f"{name}: the window says {said!r}: {told()}"):
                return
            with open(converted, "rb") as out, open(os.path.join(here, "expected", name), "rb") as expected:
                check(out.read() == expected.read(), f"{name}: the file saved beside it is the expected one")
            confirm()
            check(wait(30, lambda: said not in told()), f"{name}: Return closes the dialog")
    finally:
        end(process)
        scratch.cleanup()
