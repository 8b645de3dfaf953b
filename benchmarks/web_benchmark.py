#!/usr/bin/python3
"""The page in Chromium: the time from navigation to a ready form, and from a
key event to the painted result, beside a floor page with the same controls
and no WebAssembly (the built page with its scripts replaced by one that
shows the box's text as the result); and a 25 MB vCard converted in the page,
with the longest task its main thread ran meanwhile, beside the same file
through the command line.

Usage: web_benchmark.py SINGLE_FILE CONVQVR [RUNS]
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from web_test import browser, ready  # noqa: E402

FLOOR_SCRIPT = """<script>
const nhc = document.getElementById("nhc"), qvr = document.getElementById("qvr");
nhc.addEventListener("input", () => { qvr.textContent = nhc.value; });
nhc.focus();
document.documentElement.dataset.ready = "";
performance.mark("ready");
</script>"""

# Notes when each key event's result has been painted: after the frame that
# follows the change.
WATCH = """
window.latencies = [];
let pressed = 0;
document.addEventListener("keydown", (event) => { pressed = event.timeStamp; }, true);
new MutationObserver(() => requestAnimationFrame(() => setTimeout(() =>
    latencies.push(performance.now() - pressed)))).observe(
    document.getElementById("qvr"), {childList: true, characterData: true, subtree: true});
"""


def measure(driver, url, runs):
    loads, keys = [], []
    for _ in range(runs):
        driver.get(url)
        ready(driver)
        # From the start of the navigation, the page's time origin.
        loads.append(driver.execute_script("return performance.getEntriesByName('ready')[0].startTime"))
        driver.execute_script(WATCH)
        for key in "42123456" + "\b" * 8:
            driver.execute_cdp_cmd("Input.dispatchKeyEvent", {"type": "keyDown", "text": key,
                                   "key": "Backspace" if key == "\b" else key,
                                   "windowsVirtualKeyCode": 8 if key == "\b" else ord(key)})
            driver.execute_cdp_cmd("Input.dispatchKeyEvent", {"type": "keyUp",
                                   "key": "Backspace" if key == "\b" else key})
        keys += driver.execute_script("return window.latencies")
    return statistics.median(loads), keys


# Notes when the chosen file's converted copy is offered, from the moment the
# page is told of the choice (not from the driver's call, which takes its own
# time), and the longest task of the page's main thread since it was chosen.
WATCH_FILE = """
window.converted = null;
window.longest = 0;
let chosen = performance.now();
document.addEventListener("change", () => { chosen = performance.now(); }, true);
new PerformanceObserver((list) => { for (const task of list.getEntries())
    longest = Math.max(longest, task.duration); }).observe({type: "longtask"});
new MutationObserver(() => { if (!document.getElementById("converti").hidden)
    converted = performance.now() - chosen; }).observe(
    document.getElementById("converti"), {attributes: true});
"""


def write_cards(path, size):
    """Cards of three numbers each, as the command line's benchmark makes them."""
    with open(path, "wb") as out:
        n = 0
        while out.tell() < size:
            n = (n * 7919 + 104729) % 1000000
            out.write((f"BEGIN:VCARD\r\nVERSION:3.0\r\nN:Dupont{n:06};Jean;;;\r\nFN:Jean Dupont{n:06}\r\n"
                       f"EMAIL;TYPE=INTERNET:jean.dupont{n:06}@exemple.fr\r\nTEL;TYPE=CELL:42 {n % 100:02} "
                       f"{n // 100 % 100:02} {n // 10000 % 100:02}\r\nTEL;TYPE=HOME:(1) 45.{n % 100:02}."
                       f"{n // 100 % 100:02}.{n // 10000 % 100:02}\r\nitem1.TEL:+33 42 12 34 56\r\n"
                       "ADR;TYPE=HOME:;;12 rue des Lilas;Paris;;75011;France\r\nNOTE:Rencontré au club\r\n"
                       "END:VCARD\r\n").encode())


def address_book(driver, url, convqvr, work, runs):
    cards = os.path.join(work, "carnet.vcf")
    write_cards(cards, 25 * 1000 * 1000)
    page, longest = [], []
    for _ in range(runs):
        driver.get(url)
        ready(driver)
        driver.execute_script(WATCH_FILE)
        driver.find_element("id", "fichier").send_keys(cards)
        while driver.execute_script("return converted") is None:
            time.sleep(0.05)
        page.append(driver.execute_script("return converted"))
        longest.append(driver.execute_script("return longest"))
    line = []
    for _ in range(runs):
        with open(cards, "rb") as given:
            started = time.perf_counter()
            subprocess.run([convqvr, "--vcard"], stdin=given, stdout=subprocess.DEVNULL, check=True)
            line.append((time.perf_counter() - started) * 1000)
    size = os.path.getsize(cards) / 1e6
    print(f"row: page, a {size:.0f} MB vCard converted | {statistics.median(page):.0f} ms; the command line "
          f"{statistics.median(line):.0f} ms ({statistics.median(page) / statistics.median(line):.1f}x) | "
          "for comparison")
    print(f"row: page, longest main-thread task meanwhile | {max(longest):.0f} ms (0: none over 50 ms) | "
          "no freeze")


def main(single, convqvr, runs=10):
    runs = int(runs)
    work = tempfile.mkdtemp(prefix="convqvr-web-")
    floor = os.path.join(work, "floor.html")
    with open(single, encoding="utf-8") as page, open(floor, "w", encoding="utf-8") as out:
        out.write(re.sub(r"<script>.*</script>", lambda _: FLOOR_SCRIPT, page.read(), flags=re.S))
    driver = browser(work)
    try:
        figures = {name: measure(driver, "file://" + os.path.abspath(path), runs)
                   for name, path in (("page", single), ("floor", floor))}
        address_book(driver, "file://" + os.path.abspath(single), convqvr, work, 5)
    finally:
        driver.quit()
        shutil.rmtree(work)
    (load, keys), (floor_load, floor_keys) = figures["page"], figures["floor"]
    p = lambda values, q: sorted(values)[min(len(values) - 1, int(q * len(values)))]
    print(f"row: page, navigation to a ready form | {load:.1f} ms, {load / floor_load:.2f}x the "
          f"floor page ({floor_load:.1f} ms) | for comparison")
    print(f"row: page, key event to painted result | p50 {p(keys, 0.5):.2f} ms, p99 {p(keys, 0.99):.2f} ms; "
          f"floor {p(floor_keys, 0.5):.2f}, {p(floor_keys, 0.99):.2f} ms | the floor's frame")


if __name__ == "__main__":
    main(*sys.argv[1:4])
