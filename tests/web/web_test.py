#!/usr/bin/python3
"""The page in a real Chromium, driven through chromedriver with real key and
mouse events: the shared session against the single file opened from disk;
its layout on a phone, a desktop and with text at 200 %; the accessibility
tree; Quitter in a tab; the pinned colours under a dark scheme, read from the
pixels; address books converted in the page; and the served folder from a
server on 127.0.0.1, updated, then reloaded once the server is gone. Any
request to anywhere else reaches a proxy that counts it.

Usage: web_test.py SINGLE_FILE SERVED_DIR WORK_DIR
"""
import filecmp
import json
import http.server
import io
import os
import re
import shutil
import subprocess
import sys
import threading
import zipfile

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
HERE = os.path.dirname(os.path.abspath(__file__))
FILES = os.path.realpath(os.path.join(HERE, "..", "files"))
# The form's places at its own scale, relative to it: the layout's own expected values.
LAYOUT = {"Convqvr": (0, 0, 210, 161), "Label1": (16, 8, 121, 17), "nhc": (24, 24, 81, 24),
          "Label2": (16, 56, 177, 25), "qvr": (16, 80, 177, 33), "Label3": (8, 120, 201, 41),
          "Quitter": (128, 32, 65, 17)}
# Width, height, a phone's, the text's size in CSS pixels; then what the page must
# be: the form scaled to the width less its margins, or drawn at a whole scale.
SCREENS = [("phone", 360, 740, True, 16, "width"), ("phone-320", 320, 568, True, 16, "width"),
           ("desktop", 1280, 800, False, 16, 2), ("text-200", 800, 600, False, 32, "at least 2")]
TEXTS = ["Label1", "Label2", "qvr", "Label3", "Quitter", "nhc", "carnet"]
TARGETS = ["nhc", "Quitter", "choisir"]
# Each dropped or chosen file, what the page says of it and its converted name.
ADDRESS_BOOKS = [("drop", "carnet-2.1.vcf", "(vCard) : convertis 2, laissés tels quels 1, signalés 1.",
                  "ligne 9 : « 52 12 34 56 » : aucune règle", "carnet-2.1-converti.vcf"),
                 ("choose", "contacts-outlook.csv", "(CSV) : convertis 2",
                  "ligne 2 : « 52 12 34 56 »", "contacts-outlook-converti.csv"),
                 ("drop", "membres.xlsx", "(classeur) : convertis 6, laissés tels quels 1, signalés 1.",
                  "membres!C3 : « 52 12 34 56 » : aucune règle", "membres-converti.xlsx"),
                 ("choose", "membres.ods", "(classeur) : convertis 6, laissés tels quels 1, signalés 1.",
                  "membres!C3 : « 52 12 34 56 »", "membres-converti.ods")]


def same_file(got, expected):
    """The same bytes; for an archive, whose changed entries the page
    stores rather than compresses, the same entries, in the same order,
    each with its checksum right."""
    if not zipfile.is_zipfile(expected):
        return filecmp.cmp(got, expected, shallow=False)
    try:
        with zipfile.ZipFile(got) as ours, zipfile.ZipFile(expected) as theirs:
            names = ours.namelist()
            return names == theirs.namelist() and all(ours.read(n) == theirs.read(n) for n in names)
    except (zipfile.BadZipFile, OSError):
        return False


def browser(work):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--window-size=420,320", f"--user-data-dir={work}/profile"):
        options.add_argument(argument)
    # Every request the browser makes, and whom for, written out when it quits.
    options.add_argument(f"--log-net-log={work}/net.json")
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def ready(driver):
    return wait(30, lambda: driver.execute_script("return 'ready' in document.documentElement.dataset"))


def clipboard(driver):
    return driver.execute_async_script(
        "navigator.clipboard.readText().then(arguments[0], () => arguments[0](null))")


def session(driver, url):
    """The shared session in a window the page opened, which Quitter may close."""
    driver.get(url)
    opener = driver.current_window_handle
    driver.execute_script("window.open(arguments[0])", url)
    wait(30, lambda: len(driver.window_handles) > 1)
    driver.switch_to.window(driver.window_handles[-1])
    check(ready(driver), "the form is ready")
    check(driver.switch_to.active_element.get_attribute("id") == "nhc", "the box has the focus at start")
    element = lambda name: driver.find_element(By.ID, name)
    actions = lambda: ActionChains(driver)
    focused = []
    actions().send_keys(Keys.TAB).perform()
    focused.append(driver.switch_to.active_element.get_attribute("id"))
    actions().key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
    focused.append(driver.switch_to.active_element.get_attribute("id"))
    check(focused == ["Quitter", "nhc"], f"Tab goes from the box to Quitter and back: {focused}")
    # Text that comes whole, as a phone's keyboard or an input method sends it,
    # is filtered a character at a time.
    driver.execute_cdp_cmd("Input.insertText", {"text": "4a5b123456789"})
    check(wait(30, lambda: element("nhc").get_attribute("value") == "45123456"),
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


class Server(http.server.ThreadingHTTPServer):
    """A folder on 127.0.0.1, which may be changed for another one."""
    def __init__(self, folder):
        self.folder = folder
        outer = self

        class Quiet(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *arguments, **named):
                super().__init__(*arguments, directory=outer.folder, **named)

            def log_message(self, *arguments):
                pass

        super().__init__(("127.0.0.1", 0), Quiet)
        threading.Thread(target=self.serve_forever, daemon=True).start()


def served(driver, folder, work):
    """The served folder; then a changed one at the same place, which shows by
    the second visit; then the same page once its server is gone."""
    first, second = os.path.join(work, "first"), os.path.join(work, "second")
    for copy in (first, second):
        shutil.rmtree(copy, ignore_errors=True)
        shutil.copytree(folder, copy)
    with open(os.path.join(second, "index.html"), "r+", encoding="utf-8") as page:
        changed = page.read().replace("</body>", '<p id="changed"></p>\n</body>')
        page.seek(0)
        page.write(changed)
    subprocess.run(["cmake", f"-DSERVED={second}", f"-DTEMPLATE={os.path.dirname(folder)}/sw.js.in",
                    "-P", os.path.join(HERE, "..", "..", "web", "name_cache.cmake")], check=True)
    names = [re.search(r'cacheName = "(.+)"', open(os.path.join(copy, "sw.js"), encoding="utf-8").read())[1]
             for copy in (first, second)]
    check(names[0] != names[1], f"a changed file names a new cache: {names}")
    server = Server(first)
    url = f"http://127.0.0.1:{server.server_port}/"
    driver.get(url)
    check(ready(driver), "the served page is ready")
    kept = lambda: driver.execute_async_script(
        "navigator.serviceWorker.ready.then(() => caches.keys())"
        ".then(arguments[0], () => arguments[0]([]))")
    check(wait(30, lambda: kept() == names[:1]), f"its files are kept in {names[0]}")
    server.folder = second
    driver.get(url)
    check(ready(driver) and wait(30, lambda: kept() == names[1:]),
          f"the next visit brings the changed files in: {kept()}")
    driver.get(url)
    check(ready(driver) and driver.find_elements(By.ID, "changed"), "and the visit after shows them")
    server.shutdown()
    server.server_close()
    driver.refresh()
    check(ready(driver), "once its server is gone, the page still loads from its own cache")
    ActionChains(driver).send_keys("05123456").perform()
    shown = lambda: driver.find_element(By.ID, "qvr").text == "0800.12.34.56."
    check(wait(30, shown), "and converts")
    manifest = driver.execute_script("return document.querySelector('link[rel=manifest]').href")
    check(manifest.endswith("manifest.webmanifest"), "the page names its manifest")


def layout(driver, url, work):
    """The form at its proportions on each screen, every text whole and on a
    phone legible, every control a target, nothing cut and no sideways scroll."""
    for name, width, height, mobile, text, scale in SCREENS:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})
        driver.execute_cdp_cmd("Page.setFontSizes", {"fontSizes": {"standard": text, "fixed": 13}})
        driver.get(url)
        ready(driver)
        ActionChains(driver).send_keys("42123456").perform()
        box = lambda id: driver.execute_script(
            "const r = document.getElementById(arguments[0]).getBoundingClientRect();"
            "return [r.x, r.y, r.width, r.height]", id)
        form, panel = box("Convqvr"), box("carnet")
        u = form[2] / 210
        places = {n: [round((v - form[k % 2]) / u) if k < 2 else round(v / u) for k, v in enumerate(box(n))]
                  for n in LAYOUT}
        check(places == {n: list(p) for n, p in LAYOUT.items()}, f"{name}: the layout at {u:.2f}: {places}")
        wanted = {"width": (width - 16) / 210, 2: 2}.get(scale)
        check(u == wanted if wanted else u >= 2, f"{name}: the form's scale is {u:.3f} (wanted: {scale})")
        check(abs(form[0] * 2 + form[2] - width) <= 1 and panel[1] >= form[1] + form[3],
              f"{name}: centred, the panel under the form: {form} {panel}")
        cut = driver.execute_script(
            "return arguments[0].filter(id => { const e = document.getElementById(id);"
            " return e.scrollWidth > e.clientWidth + 1 || e.scrollHeight > e.clientHeight + 1; })", TEXTS)
        sideways = driver.execute_script("return document.scrollingElement.scrollWidth - innerWidth")
        check(cut == [] and sideways <= 0, f"{name}: nothing cut ({cut}), no sideways scroll ({sideways})")
        if mobile:
            small = driver.execute_script(
                "return [...document.querySelectorAll('main *')].filter(e => e.textContent.trim()"
                " && parseFloat(getComputedStyle(e).fontSize) < 12).map(e => e.id || e.tagName)")
            tiny = [t for t in TARGETS if min(box(t)[2:]) < 24]
            check(small == [] and tiny == [], f"{name}: texts under 12 px {small}, targets under 24 {tiny}")
        driver.find_element(By.TAG_NAME, "body").screenshot(os.path.join(work, f"{name}.png"))
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    driver.execute_cdp_cmd("Page.setFontSizes", {"fontSizes": {"standard": 16, "fixed": 13}})


def elsewhere(work):
    """What the pages and their workers asked of any place but their own
    folder or server. Each request names the origin it is made for: the
    single file's is opaque ("null"), the served folder's is 127.0.0.1; the
    browser's own requests and pages name none or their own."""
    with open(os.path.join(work, "net.json"), encoding="utf-8") as log:
        net = json.load(log)
    start = net["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
    asked = [e["params"] for e in net["events"] if e["type"] == start and "url" in e.get("params", {})]
    ours = lambda origin: origin == "null" or origin.startswith("http://127.0.0.1:")
    return [a["url"] for a in asked if ours(a["initiator"])
            and not a["url"].startswith(("file:", "data:", "blob:", "http://127.0.0.1:"))]


def address_books(driver, url, work):
    """Address books and workbooks dropped and chosen, converted in the
    page: what it says of them, and the downloaded files."""
    downloads = os.path.join(work, "downloads")
    shutil.rmtree(downloads, ignore_errors=True)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    driver.get(url)
    ready(driver)
    for how, name, counts, reported, converted in ADDRESS_BOOKS:
        source = os.path.join(FILES, name)
        if how == "choose":
            driver.find_element(By.ID, "fichier").send_keys(source)
        else:  # from a chooser of the test's own, then dropped on the page
            picked = driver.execute_script(
                "const i = document.createElement('input'); i.type = 'file';"
                "document.body.append(i); return i")
            picked.send_keys(source)
            driver.execute_script(
                "const moved = new DataTransfer(); moved.items.add(arguments[0].files[0]);"
                "arguments[0].remove();"
                "document.getElementById('carnet').dispatchEvent(new DragEvent('drop',"
                " {dataTransfer: moved, bubbles: true, cancelable: true}))", picked)
        link = driver.find_element(By.ID, "converti")
        check(wait(30, link.is_displayed) and link.get_attribute("download") == converted,
              f"{name} is offered as {link.get_attribute('download')}")
        said = driver.find_element(By.ID, "dit").text
        listed = driver.find_element(By.ID, "signales").text
        check(said.startswith(name) and counts in said and reported in listed,
              f"{name}: {said!r}, {listed!r}")
        link.click()
        got = os.path.join(downloads, converted)
        same = lambda: same_file(got, os.path.join(FILES, "expected", name))
        # The browser may show the file before it has written all of it.
        check(wait(30, lambda: os.path.exists(got) and same()),
              f"{converted} as the command line writes it")


def accessibility(driver, url):
    """What a screen reader is given: the names, and the result as a live region."""
    driver.get(url)
    ready(driver)
    nodes = driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
    value = lambda node, key: (node.get(key) or {}).get("value")
    named = {(value(n, "role"), value(n, "name")) for n in nodes}
    check(("textbox", "Numéro à 8 chiffres") in named, "the box is named by its label")
    check(("button", "Quitter") in named, "the button is named Quitter")
    live = {(value(n, "role"), value(n, "name")) for n in nodes if any(
        p["name"] == "live" and p["value"]["value"] == "polite" for p in n.get("properties", []))}
    check(("status", "Numéro à dix chiffres") in live,
          f"the result is a polite live region named by its label: {live}")
    # In a tab the page did not open, Quitter cannot close it: it says so and empties the form.
    empty = driver.find_element(By.ID, "qvr").text
    ActionChains(driver).send_keys("42123456").click(driver.find_element(By.ID, "Quitter")).perform()
    form = (driver.find_element(By.ID, "nhc").get_attribute("value"),
            driver.find_element(By.ID, "qvr").text)
    check("fermez-le" in driver.find_element(By.ID, "dit").text and form == ("", empty),
          f"Quitter in a tab says why it stays, and empties the form: {form}")


def dark_scheme(driver, url, work):
    """Under a dark scheme only the button, which keeps the desktop's look,
    changes; everything drawn over the sky keeps its pinned colours."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 800, "height": 600, "deviceScaleFactor": 1, "mobile": False})
    driver.get(url)
    ready(driver)
    ActionChains(driver).send_keys("42123456").perform()
    driver.execute_script("document.getElementById('nhc').style.caretColor = 'transparent'")  # it blinks
    shots = {}
    for scheme in ("light", "dark"):
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
        shots[scheme] = driver.find_element(By.ID, "Convqvr").screenshot_as_png
        with open(os.path.join(work, f"{scheme}.png"), "wb") as shot:
            shot.write(shots[scheme])
    button, form = (driver.find_element(By.ID, name).rect for name in ("Quitter", "Convqvr"))
    light, dark = (Image.open(io.BytesIO(shots[s])).convert("RGB") for s in ("light", "dark"))
    # Within a pixel: the shot starts at a whole pixel, the form may not.
    inside = lambda x, y: (button["x"] - 1 <= x + form["x"] <= button["x"] + button["width"]
                           and button["y"] - 1 <= y + form["y"] <= button["y"] + button["height"])
    changed = {(x, y) for y in range(light.height) for x in range(light.width)
               if light.getpixel((x, y)) != dark.getpixel((x, y))}
    # A pixel or two of the box's focus ring may blend its corner otherwise.
    outside = [p for p in changed if not inside(*p)]
    check(changed and len(outside) <= 2,
          f"{len(changed)} pixels change under a dark scheme, the button's but {outside[:10]}")
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def main(single, folder, work):
    os.makedirs(work, exist_ok=True)
    # The browser's own files (crash reports, caches) stay in the test's
    # folder, as its profile does, and nothing of it in the user's home.
    for variable, place in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache")):
        os.environ[variable] = os.path.join(os.path.abspath(work), place)
        os.makedirs(os.environ[variable], exist_ok=True)
    check(os.path.getsize(single) < 150 * 1024, f"the single file is {os.path.getsize(single)} bytes")
    driver = browser(work)
    try:
        driver.execute_cdp_cmd("Browser.grantPermissions",
                               {"permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
        url = "file://" + os.path.abspath(single)
        session(driver, url)
        layout(driver, url, work)
        accessibility(driver, url)
        dark_scheme(driver, url, work)
        address_books(driver, url, work)
        served(driver, folder, work)
        address_books(driver, driver.current_url, work)
    finally:
        driver.quit()
    check(elsewhere(work) == [], f"nothing leaves the machine: {elsewhere(work)}")


if __name__ == "__main__":
    main(*sys.argv[1:4])
    sys.exit(1 if failures else 0)
