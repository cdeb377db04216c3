"""The page in headless Chromium for a long time: an endless run
(?agents=10000&threshold=-1, so no agent ever stops) started with the
Start button, the page's JavaScript heap (performance.memory, precise) and
the resident memory of the browser's processes sampled every 10 s; the
growth after the first minute as least-squares slopes in MB/min.

    DLA_SITE=build-web/site /usr/bin/python3 bench/soak/page-soak.py [SECONDS]

(default 1800; web/build.sh builds the site). Prints the samples as
"seconds,js_heap_mb,processes_rss_mb" on standard error, then a line for
each measure as soak_slope.report gives it.
"""

import functools
import http.server
import os
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

from soak_slope import report

SITE = os.environ.get("DLA_SITE", "build-web/site")


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".js": "text/javascript", ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


def browser_rss_mb(profile):
    """Resident memory of every process started with this profile folder."""
    total = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                if profile.encode() not in cmdline.read():
                    continue
            with open(f"/proc/{pid}/status", encoding="ascii") as status:
                total += next(int(l.split()[1]) for l in status if l.startswith("VmRSS:"))
        except (OSError, StopIteration):
            continue
    return total / 1024


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 1800
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(QuietHandler, directory=SITE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="dla-page-soak-")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--enable-precise-memory-info", "--disable-background-timer-throttling",
                     "--window-size=1000,700", f"--user-data-dir={profile}"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.get(f"http://127.0.0.1:{server.server_port}/?agents=10000&threshold=-1&seed=1")
        time.sleep(3)
        # A page opened with a setup may already run; start it only if not.
        before = driver.find_element(By.ID, "lbl_Steps").text
        time.sleep(1)
        if driver.find_element(By.ID, "lbl_Steps").text == before:
            driver.find_element(By.ID, "B_stop").click()
        start = time.monotonic()
        heap, rss = [], []
        while True:
            now = time.monotonic() - start
            heap.append((now, driver.execute_script("return performance.memory.usedJSHeapSize") / 2**20))
            rss.append((now, browser_rss_mb(profile)))
            steps = driver.find_element(By.ID, "lbl_Steps").text
            print(f"{now:.0f},{heap[-1][1]:.2f},{rss[-1][1]:.1f},{steps}", file=sys.stderr, flush=True)
            if now >= seconds:
                break
            time.sleep(10)
        print(report(heap, "js_heap"))
        print(report(rss, "processes_rss"))
    finally:
        driver.quit()
        server.shutdown()


if __name__ == "__main__":
    main()
