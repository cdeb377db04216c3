#!/usr/bin/env python3
"""The page in a real browser (Debian's headless Chromium through
chromium-driver), served from the built folder on 127.0.0.1, against the
native dla-batch: after N steps the canvas holds dla-batch's --picture pixel
for pixel and the exported CSV is dla-batch's standard output byte for byte;
a bad threshold shows the error dialog and the run stands still; "new Setup"
clears the chart; the lattice stays crisp at other device pixel ratios.

    DLA_SITE=build-web/site DLA_BATCH=build/tools/dla-batch \\
        /usr/bin/python3 web/tests/page_test.py [-v]

DLA_SCREENSHOT (optional): where to save a screenshot of the running page.
"""
import base64
import functools
import http.server
import io
import os
import shutil
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

from PIL import Image
from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

SITE = os.environ.get("DLA_SITE", "build-web/site")
DLA_BATCH = os.environ.get("DLA_BATCH", "build/tools/dla-batch")
SCREENSHOT = os.environ.get("DLA_SCREENSHOT")
# Everything the page downloads (the whole built folder).
MAX_SITE_BYTES = 250 * 1024


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
        pass


def start_server():
    handler = functools.partial(QuietHandler, directory=SITE)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def start_browser(downloads, scale=None):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                     "--force-color-profile=srgb", "--window-size=1000,700",
                     f"--user-data-dir={tempfile.mkdtemp(dir=downloads)}"):
        options.add_argument(argument)
    if scale is not None:
        options.add_argument(f"--force-device-scale-factor={scale}")
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    driver.set_script_timeout(60)
    return driver


def batch_run(seed, agents, threshold, steps=None, size=None, measures=False):
    """dla-batch's standard output and picture (RGB) for the run, and with
    measures its --measures-series file."""
    with tempfile.TemporaryDirectory() as folder:
        picture = os.path.join(folder, "picture.png")
        series = os.path.join(folder, "measures.csv")
        command = [DLA_BATCH, "--seed", str(seed), "--agents", str(agents), "--threshold", threshold,
                   "--picture", picture]
        if steps is not None:
            command += ["--steps", str(steps)]
        if size is not None:
            command += ["--size", size]
        if measures:
            command += ["--measures-series", series]
        out = subprocess.run(command, check=True, capture_output=True).stdout
        with Image.open(picture) as image:
            result = out, image.convert("RGB")
        if measures:
            with open(series, "rb") as f:
                result += (f.read(),)
        return result


def differing_pixels(a, b):
    if a.size != b.size:
        return f"sizes {a.size} and {b.size}"
    pa, pb = a.tobytes(), b.tobytes()
    return sum(pa[i:i + 3] != pb[i:i + 3] for i in range(0, len(pa), 3))


# For each part of the page (the lattice's four corner pixels, the centre of
# every control): where it is in the document, and whether the page, scrolled
# to it, shows it there (document.elementFromPoint finds nothing outside the
# viewport, so a part left of or above the document's origin is never found).
REACHABLE_PARTS = r"""
const canvas = document.getElementById('DrawingImage');
const box = (e) => { const r = e.getBoundingClientRect();
  return { left: r.left + scrollX, top: r.top + scrollY, right: r.right + scrollX, bottom: r.bottom + scrollY }; };
const c = box(canvas);
const points = [['lattice top left', canvas, c.left + 0.5, c.top + 0.5], ['lattice top right', canvas, c.right - 0.5, c.top + 0.5],
  ['lattice bottom left', canvas, c.left + 0.5, c.bottom - 0.5], ['lattice bottom right', canvas, c.right - 0.5, c.bottom - 0.5]];
for (const e of document.querySelectorAll('#controls button, #controls input, #controls label, #controls legend, #lbl_Steps, #Chart1')) {
  const b = box(e);
  points.push([e.id || e.getAttribute('aria-label') || e.textContent, e, (b.left + b.right) / 2, (b.top + b.bottom) / 2]);
}
const page = document.documentElement;
const unreachable = [];
for (const [name, element, x, y] of points) {
  window.scrollTo(x - innerWidth / 2, y - innerHeight / 2);
  const found = document.elementFromPoint(x - scrollX, y - scrollY);
  if (x < 0 || y < 0 || x > page.scrollWidth || y > page.scrollHeight || !found || !element.contains(found)) {
    unreachable.push(`${name} at ${x}, ${y}`);
  }
}
window.scrollTo(0, 0);
return { unreachable, canvas: c, controls: box(document.getElementById('controls')), clientWidth: page.clientWidth };
"""


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = start_server()
        cls.base = f"http://127.0.0.1:{cls.server.server_address[1]}/"
        cls.downloads = tempfile.mkdtemp(prefix="dla-web-test-")
        cls.driver = start_browser(cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        cls.server.server_close()
        shutil.rmtree(cls.downloads, ignore_errors=True)

    # --- helpers -----------------------------------------------------------------

    def open(self, **params):
        self.driver.get(self.base + ("?" + urllib.parse.urlencode(params, doseq=True) if params else ""))
        self.driver.execute_async_script("window.dlaPage.ready.then(arguments[0])")

    def js(self, script, *args):
        """Runs the script once the run's worker has answered every command sent
        before (the page's state and picture are then those of the run); a
        promise it returns is waited for."""
        return self.driver.execute_script(
            "const p = window.dlaPage;\nreturn (p ? p.sync() : Promise.resolve()).then(() => {\n"
            + script + "\n});", *args)

    def next_frames(self):
        """Returns after two animation frames: what the handlers changed is drawn."""
        self.driver.execute_async_script(
            "const done = arguments[0]; requestAnimationFrame(() => requestAnimationFrame(() => done()))")

    def canvas_picture(self):
        url = self.js("return document.getElementById('DrawingImage').toDataURL('image/png')")
        with Image.open(io.BytesIO(base64.b64decode(url.split(",", 1)[1]))) as image:
            return image.convert("RGB")

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def menu(self, target_id, entry):
        """Right-clicks the element and chooses the context menu's entry (by its text)."""
        ActionChains(self.driver).context_click(self.driver.find_element(By.ID, target_id)).perform()
        menu = self.driver.find_element(By.ID, "ContextMenu")
        self.assertTrue(menu.is_displayed())
        for button in menu.find_elements(By.TAG_NAME, "button"):
            if button.text.startswith(entry):
                button.click()
                return
        self.fail(f"no menu entry {entry!r}")

    def downloaded(self, name, timeout=10):
        path = os.path.join(self.downloads, name)
        end = time.monotonic() + timeout
        while not os.path.exists(path) and time.monotonic() < end:
            time.sleep(0.05)
        self.assertTrue(os.path.exists(path), f"{name} was not downloaded")
        with open(path, "rb") as f:
            data = f.read()
        os.remove(path)
        return data

    def assert_shows_batch_run(self, seed, agents, threshold, steps=None, size=None):
        """The page's picture and CSVs (free agents; measures, with a size) are
        dla-batch's for the run (to its end without steps)."""
        self.next_frames()
        out, picture, *measures = batch_run(seed, agents, threshold, steps, size, measures=size is not None)
        where = f"seed {seed}, {agents} agents, threshold {threshold!r}, step {self.js('return p.stepCount()')}"
        self.assertEqual(differing_pixels(self.canvas_picture(), picture), 0, where)
        self.assertEqual(self.js("return p.csv()").encode(), out, where)
        if measures:
            self.assertEqual(self.js("return p.measuresCsv()").encode(), measures[0], where)

    # --- tests ---------------------------------------------------------------------

    def test_site_fits_the_download_budget(self):
        total = sum(os.path.getsize(os.path.join(folder, name))
                    for folder, _, names in os.walk(SITE) for name in names)
        self.assertLessEqual(total, MAX_SITE_BYTES)

    def test_runs_equal_the_batch_runner(self):
        # seed, agents, threshold (as the edit takes it), steps after the stop
        cases = [
            (1, 2000, "6", 150),
            (4294967295, 1, "6", 40),
            (0, 10000, "$A", 60),
            (2026, 500, " -1", 90),
            (987654321, 3100, "0x7", 25),
        ]
        for seed, agents, threshold, more in cases:
            with self.subTest(seed=seed, agents=agents, threshold=threshold):
                self.open(seed=seed, agents=agents, threshold=threshold)
                # The run started with the page; stopped wherever it stands,
                # it is the batch run of that many steps.
                stopped, ended = self.js("return p.stop().then(() => [p.stepCount(), p.stats().endedAt !== null])")
                if ended:
                    # The run ended by itself before the stop: the whole batch run.
                    self.assert_shows_batch_run(seed, agents, threshold)
                    continue
                self.assert_shows_batch_run(seed, agents, threshold, stopped)
                # Stepped on by the step-once action, within the batch run
                # (which ends where the run ends by itself).
                made = batch_run(seed, agents, threshold, stopped + more)[0].count(b"\n") - 1
                more = made - stopped
                self.assertEqual(self.js("return p.stepOnce(arguments[0])", more), stopped + more)
                self.assert_shows_batch_run(seed, agents, threshold, stopped + more)

    def test_run_that_ends_by_itself(self):
        # Threshold 0: every agent stops in step 1, step 2 has none free and
        # switches the timer off.
        self.open(seed=77, agents=2000, threshold="0")
        WebDriverWait(self.driver, 10).until(lambda d: not self.js("return p.running()"))
        self.assertEqual(self.js("return p.stepCount()"), 2)
        # When it ended, in the page's clock (the worker's has another origin).
        self.assertTrue(self.js("const t = p.stats().endedAt; return t > 0 && t <= performance.now()"))
        self.assert_shows_batch_run(77, 2000, "0")
        self.next_frames()
        self.assertEqual(self.driver.find_element(By.ID, "lbl_Steps").text, "2")

    def test_menu_actions_save_what_the_batch_runner_writes(self):
        seed, agents, threshold = 31337, 2000, "6"
        self.open(seed=seed, agents=agents, threshold=threshold)
        self.click("B_stop")
        self.menu("DrawingImage", "Step once")
        step = self.js("return p.stepCount()")
        out, picture = batch_run(seed, agents, threshold, step)
        self.menu("DrawingImage", "Save picture as PNG")
        with Image.open(io.BytesIO(self.downloaded(f"dla-seed{seed}-step{step}.png"))) as saved:
            self.assertEqual(differing_pixels(saved.convert("RGB"), picture), 0)
        self.menu("Chart1", "Export free agents as CSV")
        self.assertEqual(self.downloaded(f"dla-seed{seed}-step{step}-free-agents.csv"), out)
        self.menu("Chart1", "Save chart as PNG")
        with Image.open(io.BytesIO(self.downloaded(f"dla-seed{seed}-step{step}-chart.png"))) as chart:
            self.assertGreater(chart.size[1], self.js("return document.querySelector('#Chart1 canvas').height"))
        self.driver.execute_cdp_cmd("Browser.grantPermissions", {
            "origin": self.base.rstrip("/"), "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
        self.menu("DrawingImage", "Copy seed")
        self.assertEqual(self.driver.execute_async_script(
            "const done = arguments[0]; setTimeout(() => navigator.clipboard.readText().then(done, done), 100)"),
            str(seed))
        # The seed entry names the seed; speeds are radio entries, one checked.
        self.menu("DrawingImage", "10 steps per second")
        ActionChains(self.driver).context_click(self.driver.find_element(By.ID, "DrawingImage")).perform()
        texts = self.js("return [...document.querySelectorAll('#ContextMenu button')]"
                        ".map(b => [b.textContent, b.getAttribute('aria-checked'), b.disabled])")
        self.assertIn([f"Copy seed {seed}", None, False], texts)
        # The menu's last line is the version, that of the dla-batch built
        # from the same sources.
        version = subprocess.run([DLA_BATCH, "--version"], check=True, capture_output=True,
                                 text=True).stdout.split()[1]
        self.assertEqual(self.js("return document.getElementById('Version').textContent"),
                         f"Version {version}")
        self.assertEqual([t[0] for t in texts if t[1] == "true"], ["10 steps per second"])
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        # At 10 steps a second: about 5 steps in half a second, never more
        # than the time allows (full speed would make hundreds).
        started = time.monotonic()
        self.click("B_stop")
        time.sleep(0.5)
        self.click("B_stop")
        allowed = (time.monotonic() - started) * 10 + 1
        self.assertIn(self.js("return p.stepCount()") - step, range(2, int(allowed) + 1))

    def test_size_measures_and_a_link_that_reopens_the_run(self):
        seed, agents, threshold, size = 4242, 800, "6", "250x190"
        # Opened at a step (a link's step=): the run made to it, stopped.
        self.open(seed=seed, agents=agents, threshold=threshold, size=size, step=60)
        self.assertEqual(self.js("return [p.running(), p.stepCount(), "
                                 "document.getElementById('DrawingImage').width]"), [False, 60, 250])
        self.assert_shows_batch_run(seed, agents, threshold, 60, size)
        self.assertGreater(self.js("return p.measuresCsv()").count("\n"), 50)
        # The link to the run as it stands now reopens it there.
        self.assertEqual(self.js("return p.stepOnce(25)"), 85)
        link = self.js("return p.link()")
        self.assertEqual(urllib.parse.parse_qs(urllib.parse.urlsplit(link).query),
                         {"seed": [str(seed)], "agents": [str(agents)], "threshold": [threshold],
                          "size": [size], "step": ["85"]})
        self.driver.get(link)
        self.driver.execute_async_script("window.dlaPage.ready.then(arguments[0])")
        self.assertEqual(self.js("return [p.running(), p.stepCount()]"), [False, 85])
        self.assert_shows_batch_run(seed, agents, threshold, 85, size)
        self.menu("Chart2", "Export measures as CSV")
        self.assertEqual(self.downloaded(f"dla-seed{seed}-step85-measures.csv"),
                         batch_run(seed, agents, threshold, 85, size, measures=True)[2])
        # A size --size refuses: the error, and the next setup keeps the old size.
        self.js("p.setSize('0x0')")
        WebDriverWait(self.driver, 5).until(lambda d: self.js("return document.getElementById('ErrorDialog').open"))
        self.assertEqual(self.driver.find_element(By.ID, "ErrorText").text,
                         "size: the drawing area must be at least 3x3 pixels, got '0x0'")
        self.click("ErrorOk")
        self.assertEqual(self.js("return p.newSetup().then(() => document.getElementById('DrawingImage').width)"), 250)
        # The menu's size counts from the next "new Setup" on.
        self.menu("DrawingImage", "Lattice size")
        alert = self.driver.switch_to.alert
        alert.send_keys("120X90")
        alert.accept()
        self.assertEqual(self.js("return p.sync().then(() => document.getElementById('DrawingImage').height)"), 190)
        self.click("B_setup")
        self.assertEqual(self.js("return p.stepOnce(8)"), 8)
        self.assertEqual(self.js("const c = document.getElementById('DrawingImage'); return [c.width, c.height]"),
                         [120, 90])
        self.assert_shows_batch_run(seed, agents, threshold, 8, "120x90")

    def test_bad_threshold_shows_the_dialog_and_the_run_stands_still(self):
        self.open(seed=5, agents=1)
        edit = self.driver.find_element(By.ID, "Edit_thresh")
        edit.send_keys(Keys.CONTROL, "a")
        # On the way the edit holds "1" for a moment: a lone agent never
        # aggregates at threshold 1 either, so the run stays the batch run's.
        edit.send_keys("1e")
        WebDriverWait(self.driver, 5).until(lambda d: self.js("return document.getElementById('ErrorDialog').open"))
        self.assertEqual(self.driver.find_element(By.ID, "ErrorText").text, "'1e' is not a valid integer value.")
        self.assertTrue(self.js("return document.getElementById('ErrorDialog').matches(':modal')"))
        stood_still = "return p.csv().then((csv) => [p.stepCount(), csv.split('\\n').length])"
        stood, points = self.js(stood_still)
        time.sleep(0.3)
        self.assertEqual(self.js(stood_still), [stood, points])
        self.assertTrue(self.js("return p.running()"))
        # Closed, the same message does not come back at once, though every
        # tick still fails; a handler that succeeds re-arms it.
        self.click("ErrorOk")
        time.sleep(0.2)
        self.assertFalse(self.js("return document.getElementById('ErrorDialog').open"))
        self.assertEqual(self.js("return p.stepCount()"), stood)
        self.assertGreater(self.js("return p.stats().errorsDropped"), 0)
        self.click("B_reset")
        self.assertEqual(edit.get_attribute("value"), "6")
        WebDriverWait(self.driver, 5).until(lambda d: self.js("return p.stepCount()") > stood)
        # The run went on as the batch run did: the failed ticks changed nothing.
        self.click("B_stop")
        self.js("return p.sync()")
        self.assert_shows_batch_run(5, 1, "6", self.js("return p.stepCount()"))

    def test_bad_url_parameter_keeps_the_page_still(self):
        # The messages end in a quote, below '.', so no full stop is added.
        for params, message in [
            ({"seed": "4294967296"}, "seed: expected a whole number from 0 to 4294967295, got '4294967296'"),
            ({"agents": "0"}, "agents: expected a whole number from 1 to 10000, got '0'"),
            ({"threshold": "6 "}, "threshold: '6 ' is not a valid integer value."),
            ({"seed": ["1", "2"]}, "seed given twice."),
            ({"size": "2x2"}, "size: the drawing area must be at least 3x3 pixels, got '2x2'"),
            ({"size": "404 x404"}, "size: expected WIDTHxHEIGHT in pixels, got '404 x404'"),
            ({"step": "-1"}, "step: expected a whole number from 0 to 2147483647, got '-1'"),
        ]:
            with self.subTest(params=params):
                self.open(**params)
                self.assertEqual(self.driver.find_element(By.ID, "ErrorText").text, message)
                self.assertFalse(self.js("return p.running()"))
                self.assertEqual(self.js("return p.stepCount()"), 0)
                # Behind the dialog, and after it: step 0, and a line that
                # says why the run waits.
                self.assertEqual(self.js("return document.getElementById('lbl_Steps').textContent"), "0")
                notice = self.driver.find_element(By.ID, "RunNotice")
                self.assertTrue(notice.is_displayed())
                self.assertIn(f"The run waits: the address was refused ({message.rstrip('.')}).", notice.text)
                self.click("ErrorOk")
                self.assertTrue(notice.is_displayed())
        # Started by hand, the run no longer waits.
        self.click("B_stop")
        WebDriverWait(self.driver, 5).until(lambda d: self.js("return p.stepCount()") > 0)
        self.next_frames()
        self.assertFalse(self.driver.find_element(By.ID, "RunNotice").is_displayed())

    def test_step_label_at_the_start_and_the_notice_of_a_page_opened_as_a_file(self):
        # Every text the step label takes from the page's start on.
        recorder = self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": """
            window.labelTexts = [];
            new MutationObserver(() => {
              const label = document.getElementById('lbl_Steps');
              if (label && label.textContent !== window.labelTexts.at(-1)) window.labelTexts.push(label.textContent);
            }).observe(document, { childList: true, subtree: true, characterData: true });"""})
        try:
            self.open(seed=3)
            WebDriverWait(self.driver, 5).until(lambda d: self.js("return p.stepCount()") > 0)
            self.next_frames()
            texts = self.js("return window.labelTexts")
        finally:
            self.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", recorder)
        # As the window: the label's own name until the first step, then step numbers.
        self.assertEqual(texts[0], "lbl_Steps")
        self.assertGreater(len(texts), 1)
        self.assertTrue(all(text.isdigit() and int(text) > 0 for text in texts[1:]), texts)
        for notice in ("RunNotice", "FileNotice"):
            self.assertFalse(self.driver.find_element(By.ID, notice).is_displayed(), notice)
        # Opened as a file, the browser refuses the page's modules: the page
        # says how to serve it.
        self.driver.get("file://" + os.path.abspath(os.path.join(SITE, "index.html")))
        notice = self.driver.find_element(By.ID, "FileNotice")
        self.assertTrue(notice.is_displayed())
        self.assertIn("./scripts/run --web", notice.text)
        self.assertIn("python3 -m http.server", notice.text)
        self.assertFalse(self.driver.find_element(By.ID, "RunNotice").is_displayed())

    def test_clock_seeds_differ_between_loads_and_spread_over_32_bits(self):
        # Without seed=, the first setup of each load and a "new Setup" after
        # it. A clock read since the page loaded gives seeds that are close
        # to each other and to round numbers (a coarse clock's ticks).
        seeds = []
        for _ in range(12):
            self.open()
            seeds.append(self.js("return p.seed()"))
            self.js("p.stop(); return p.newSetup()")
            seeds.append(self.js("return p.seed()"))
        self.assertEqual(len(set(seeds)), len(seeds), seeds)
        self.assertFalse(all(seed % 1000 in (0, 1, 999) for seed in seeds), seeds)
        self.assertGreater(max(seeds), 1 << 30, seeds)

    def test_every_part_is_reachable_at_any_width(self):
        # Side by side where both fit (716 CSS px), else the controls under
        # the lattice; the lattice always 1:1.
        self.addCleanup(self.driver.execute_cdp_cmd, "Emulation.clearDeviceMetricsOverride", {})
        for width, height, side_by_side in [(320, 568, False), (600, 700, False), (1000, 700, True)]:
            with self.subTest(width=width, height=height):
                self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
                self.open(seed=3)
                self.js("p.stop()")
                parts = self.js(REACHABLE_PARTS)
                self.assertEqual(parts["unreachable"], [])
                canvas, controls = parts["canvas"], parts["controls"]
                self.assertEqual((canvas["right"] - canvas["left"], canvas["bottom"] - canvas["top"]), (404, 404))
                if side_by_side:
                    self.assertEqual((controls["left"], controls["top"]), (canvas["right"] + 10, canvas["top"]))
                    # Centred: as far from the left edge as from the right.
                    self.assertEqual(canvas["left"] - 6, parts["clientWidth"] - controls["right"] - 6)
                else:
                    self.assertEqual(controls["left"], canvas["left"])
                    self.assertGreaterEqual(controls["top"], canvas["bottom"])
                    # The controls need no sideways scrolling.
                    self.assertLessEqual(controls["right"], parts["clientWidth"])

    def test_new_setup_clears_the_chart_and_repeats_the_seeded_run(self):
        seed, agents = 424242, 2000
        self.open(seed=seed, agents=agents)
        # The run steps in a worker of its own: it goes on while the page's
        # thread is busy, and the engine is never loaded there.
        self.assertEqual(self.js("""const before = p.stats().steps, end = performance.now() + 300;
            while (performance.now() < end) { /* the page's thread busy */ }
            return p.sync().then(() => [p.stats().steps > before,
                performance.getEntriesByType('resource').filter((e) => e.name.endsWith('.wasm')).length]);"""),
            [True, 0])
        WebDriverWait(self.driver, 5).until(lambda d: self.js("return p.chartPoints()") > 0)
        self.click("B_stop")
        # Steps already under way when the stop reaches the worker are shown
        # with its reply: the label settles once a later reply is in.
        self.js("return p.sync()")
        label = self.driver.find_element(By.ID, "lbl_Steps").text
        self.click("B_setup")
        self.assertEqual(self.js("return p.csv().then((csv) => [p.chartPoints(), csv, p.stepCount()])"),
                         [0, "step,free_agents\n", 0])
        self.next_frames()
        # The step label keeps its number until the next step.
        self.assertEqual(self.driver.find_element(By.ID, "lbl_Steps").text, label)
        self.assertEqual(self.js("return p.stepOnce(120)"), 120)
        self.assert_shows_batch_run(seed, agents, "6", 120)
        WebDriverWait(self.driver, 5).until(lambda d: self.js("return p.chartPoints()") > 0)
        if SCREENSHOT:
            self.click("B_stop")
            time.sleep(0.7)
            self.driver.save_screenshot(SCREENSHOT)


class ScaledPageTest(unittest.TestCase):
    """At a device pixel ratio of 2 every lattice pixel is a 2 x 2 block of
    its colour; at 1.5 nearest-neighbour scaling still leaves no blended
    colour."""

    def test_lattice_is_crisp(self):
        server = start_server()
        downloads = tempfile.mkdtemp(prefix="dla-web-test-")
        try:
            for scale in (2, 1.5):
                driver = start_browser(downloads, scale)
                try:
                    driver.get(f"http://127.0.0.1:{server.server_address[1]}/?seed=9")
                    driver.execute_async_script("window.dlaPage.ready.then(arguments[0])")
                    driver.execute_script("return window.dlaPage.stop()")
                    driver.execute_async_script(
                        "const done = arguments[0]; requestAnimationFrame(() => requestAnimationFrame(() => done()))")
                    canvas = driver.find_element(By.ID, "DrawingImage")
                    self.assertEqual((canvas.size["width"], canvas.size["height"]), (404, 404))
                    with Image.open(io.BytesIO(canvas.screenshot_as_png)) as shot:
                        shot = shot.convert("RGB")
                    with Image.open(io.BytesIO(base64.b64decode(driver.execute_script(
                            "return arguments[0].toDataURL('image/png')", canvas).split(",", 1)[1]))) as image:
                        picture = image.convert("RGB")
                    side = round(404 * scale)
                    self.assertLessEqual(abs(shot.size[0] - side), 1, f"scale {scale}")
                    colours = {colour for _, colour in shot.getcolors(1 << 20)}
                    self.assertLessEqual(colours, {(255, 255, 255), (0, 0, 0), (255, 0, 0)}, f"scale {scale}")
                    if scale == 2:
                        self.assertEqual(differing_pixels(shot.resize((404, 404), Image.NEAREST), picture), 0)
                        self.assertEqual(differing_pixels(picture.resize((808, 808), Image.NEAREST),
                                                          shot.crop((0, 0, 808, 808))), 0)
                finally:
                    driver.quit()
        finally:
            server.shutdown()
            server.server_close()
            shutil.rmtree(downloads, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
