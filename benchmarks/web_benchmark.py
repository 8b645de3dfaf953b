#!/usr/bin/python3
"""The page in Chromium: the time from navigation to a ready form, and from a
key event to the painted result, beside a floor page with the same controls
and no WebAssembly (the built page with its scripts replaced by one that
shows the box's text as the result).

Usage: web_benchmark.py SINGLE_FILE [RUNS]
"""
import os
import re
import statistics
import sys
import tempfile

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


def main(single, runs=10):
    runs = int(runs)
    work = tempfile.mkdtemp(prefix="convqvr-web-")
    floor = os.path.join(work, "floor.html")
    with open(single, encoding="utf-8") as page, open(floor, "w", encoding="utf-8") as out:
        out.write(re.sub(r"<script>.*</script>", lambda _: FLOOR_SCRIPT, page.read(), flags=re.S))
    driver = browser(work)
    try:
        figures = {name: measure(driver, "file://" + os.path.abspath(path), runs)
                   for name, path in (("page", single), ("floor", floor))}
    finally:
        driver.quit()
    (load, keys), (floor_load, floor_keys) = figures["page"], figures["floor"]
    p = lambda values, q: sorted(values)[min(len(values) - 1, int(q * len(values)))]
    print(f"row: page, navigation to a ready form | {load:.1f} ms, {load / floor_load:.2f}x the "
          f"floor page ({floor_load:.1f} ms) | for comparison")
    print(f"row: page, key event to painted result | p50 {p(keys, 0.5):.2f} ms, p99 {p(keys, 0.99):.2f} ms; "
          f"floor {p(floor_keys, 0.5):.2f}, {p(floor_keys, 0.99):.2f} ms | the floor's frame")


if __name__ == "__main__":
    main(*sys.argv[1:3])
