#!/usr/bin/python3
"""The page in a real Chromium, driven through chromedriver with real key and
mouse events: the shared session against the single file opened from disk;
the served folder from a server on 127.0.0.1, reloaded once the server is
gone; the accessibility tree; and the pinned colours under a dark scheme,
read from the pixels.

Usage: web_test.py SINGLE_FILE SERVED_DIR WORK_DIR
"""
import functools
import http.server
import io
import os
import sys
import threading

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from scenario import check, failures, play, wait  # noqa: E402

KEYS = {"BackSpace": Keys.BACKSPACE, "Home": Keys.HOME, "Delete": Keys.DELETE, "Right": Keys.RIGHT,
        "Insert": Keys.INSERT}
# The form's places in CSS pixels at 100 %: the layout's own expected values.
LAYOUT = {"Convqvr": (0, 0, 210, 161), "Label1": (16, 8, 121, 17), "nhc": (24, 24, 81, 24),
          "Label2": (16, 56, 177, 25), "qvr": (16, 80, 177, 33), "Label3": (8, 120, 201, 41),
          "Quitter": (128, 32, 65, 17)}


def browser(work):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--window-size=420,320", f"--user-data-dir={work}/profile"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def ready(driver):
    return wait(10, lambda: driver.execute_script("return 'ready' in document.documentElement.dataset"))


def clipboard(driver):
    return driver.execute_async_script(
        "navigator.clipboard.readText().then(arguments[0], () => arguments[0](null))")


def session(driver, url):
    """The shared session in a window the page opened, which Quitter may close."""
    driver.get(url)
    opener = driver.current_window_handle
    driver.execute_script("window.open(arguments[0])", url)
    wait(10, lambda: len(driver.window_handles) > 1)
    driver.switch_to.window(driver.window_handles[-1])
    check(ready(driver), "the form is ready")
    check(driver.switch_to.active_element.get_attribute("id") == "nhc", "the box has the focus at start")
    element = lambda name: driver.find_element(By.ID, name)
    actions = lambda: ActionChains(driver)
    places = {name: tuple(element(name).rect[k] for k in ("x", "y", "width", "height")) for name in LAYOUT}
    check(places == LAYOUT, f"the layout: {places}")
    focused = []
    actions().send_keys(Keys.TAB).perform()
    focused.append(driver.switch_to.active_element.get_attribute("id"))
    actions().key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
    focused.append(driver.switch_to.active_element.get_attribute("id"))
    check(focused == ["Quitter", "nhc"], f"Tab goes from the box to Quitter and back: {focused}")
    # Text that comes whole, as a phone's keyboard or an input method sends it,
    # is filtered a character at a time.
    driver.execute_cdp_cmd("Input.insertText", {"text": "4a5b123456789"})
    check(wait(5, lambda: element("nhc").get_attribute("value") == "45123456"),
          f"text typed whole is filtered: {element('nhc').get_attribute('value')!r}")
    actions().click(element("nhc")).perform()

    def do(action, argument):
        if action == "type":
            actions().send_keys(argument).perform()
        elif action == "key":
            actions().send_keys(KEYS[argument]).perform()
        elif action in ("click", "quit"):
            actions().click(element(argument)).perform()
        elif action == "paste":
            driver.execute_async_script(
                "navigator.clipboard.writeText(arguments[0]).then(arguments[1])", argument)
            actions().key_down(Keys.CONTROL).send_keys("v").key_up(Keys.CONTROL).perform()
        elif action == "copy" and argument != "qvr":  # ctrl+KEY, from the keyboard
            key = argument.split("+")[1]
            actions().key_down(Keys.CONTROL).send_keys(KEYS.get(key, key)).key_up(Keys.CONTROL).perform()
        elif action == "copy":
            actions().context_click(element(argument)).perform()
            actions().click(driver.find_element(By.CSS_SELECTOR, "#menu button")).perform()

    read = lambda: (element("nhc").get_attribute("value"), element("qvr").text)
    own = driver.current_window_handle
    play(do, read, lambda: clipboard(driver), lambda: 0 if own not in driver.window_handles else None)
    driver.switch_to.window(opener)


def served_offline(driver, folder):
    """The served folder, then the same page once its server is gone."""
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *arguments):
            pass

    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    driver.get(f"http://127.0.0.1:{server.server_port}/")
    check(ready(driver), "the served page is ready")
    kept = driver.execute_async_script(
        "navigator.serviceWorker.ready.then(() => arguments[0](true), () => arguments[0](false))")
    server.shutdown()
    server.server_close()
    driver.refresh()
    check(kept and ready(driver), "once its server is gone, the page still loads from its own cache")
    ActionChains(driver).send_keys("05123456").perform()
    shown = lambda: driver.find_element(By.ID, "qvr").text == "0800.12.34.56."
    check(wait(5, shown), "and converts")
    manifest = driver.execute_script("return document.querySelector('link[rel=manifest]').href")
    check(manifest.endswith("manifest.webmanifest"), "the page names its manifest")


def accessibility(driver, url):
    """What a screen reader is given: the names, and the result as a live region."""
    driver.get(url)
    ready(driver)
    nodes = driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
    value = lambda node, key: (node.get(key) or {}).get("value")
    named = {(value(n, "role"), value(n, "name")) for n in nodes}
    check(("textbox", "Numéro à 8 chiffres") in named, "the box is named by its label")
    check(("button", "Quitter") in named, "the button is named Quitter")
    live = [n for n in nodes if any(p["name"] == "live" and p["value"]["value"] == "polite"
                                    for p in n.get("properties", []))]
    check(len(live) == 1 and value(live[0], "role") == "status", "the result is a polite live region")


def dark_scheme(driver, url, work):
    """Under a dark scheme only the button, which keeps the desktop's look,
    changes; everything drawn over the sky keeps its pinned colours."""
    driver.get(url)
    ready(driver)
    ActionChains(driver).send_keys("42123456").perform()
    shots = {}
    for scheme in ("light", "dark"):
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
        path = os.path.join(work, f"{scheme}.png")
        driver.find_element(By.ID, "Convqvr").screenshot(path)
        shots[scheme] = driver.find_element(By.ID, "Convqvr").screenshot_as_png
    button = driver.find_element(By.ID, "Quitter").rect
    light, dark = (Image.open(io.BytesIO(shots[s])).convert("RGB") for s in ("light", "dark"))
    inside = lambda x, y: (button["x"] <= x < button["x"] + button["width"]
                           and button["y"] <= y < button["y"] + button["height"])
    changed = {(x, y) for y in range(light.height) for x in range(light.width)
               if light.getpixel((x, y)) != dark.getpixel((x, y))}
    check(changed and all(inside(x, y) for x, y in changed),
          f"{len(changed)} pixels change under a dark scheme, all of them the button's")


def main(single, served, work):
    os.makedirs(work, exist_ok=True)
    driver = browser(work)
    try:
        driver.execute_cdp_cmd("Browser.grantPermissions",
                               {"permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
        url = "file://" + os.path.abspath(single)
        session(driver, url)
        accessibility(driver, url)
        dark_scheme(driver, url, work)
        served_offline(driver, served)
    finally:
        driver.quit()


if __name__ == "__main__":
    main(*sys.argv[1:4])
    sys.exit(1 if failures else 0)
