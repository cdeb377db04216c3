"""Debian's classic notebook server on 127.0.0.1 (a free port, a token, a
folder of its own) and headless Chromium driving it, for the browser test
and the benchmark. Both are stopped on every way out."""

import contextlib
import json
import os
import secrets
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import urllib.request

import nbformat
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@contextlib.contextmanager
def notebook_server(cells):
    """Serves a folder holding view.ipynb (the code cells given); yields
    (the notebook's URL with the token, the folder)."""
    folder = tempfile.mkdtemp(prefix="dla-notebook-")
    process = None
    try:
        notebook = nbformat.v4.new_notebook(cells=[nbformat.v4.new_code_cell(c) for c in cells])
        notebook.metadata["kernelspec"] = {"name": "python3", "display_name": "Python 3", "language": "python"}
        nbformat.write(notebook, os.path.join(folder, "view.ipynb"))
        port, token = free_port(), secrets.token_hex(16)
        # The user's own Jupyter settings stay out; the system's (which
        # enable the widgets' front end) are read.
        env = dict(os.environ, JUPYTER_CONFIG_DIR=os.path.join(folder, ".config"),
                   JUPYTER_DATA_DIR=os.path.join(folder, ".data"),
                   JUPYTER_RUNTIME_DIR=os.path.join(folder, ".runtime"), IPYTHONDIR=os.path.join(folder, ".ipython"))
        process = subprocess.Popen(
            ["/usr/bin/python3", "-m", "notebook", "--no-browser", "--ip=127.0.0.1", f"--port={port}",
             "--port-retries=0", f"--NotebookApp.token={token}", f"--notebook-dir={folder}",
             "--NotebookApp.open_browser=False"] + (["--allow-root"] if os.geteuid() == 0 else []),
            cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "server.log"), "w"),
            start_new_session=True)
        base = f"http://127.0.0.1:{port}"
        deadline = time.monotonic() + 60
        while True:
            if process.poll() is not None:
                raise RuntimeError("the notebook server ended: " + open(os.path.join(folder, "server.log")).read())
            try:
                with urllib.request.urlopen(f"{base}/api/status?token={token}", timeout=2) as answer:
                    json.load(answer)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)
        yield f"{base}/notebooks/view.ipynb?token={token}", folder
    finally:
        if process is not None and process.poll() is None:
            # The server and its kernels, which share its session.
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
        shutil.rmtree(folder, ignore_errors=True)


@contextlib.contextmanager
def chromium(folder):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                     "--force-color-profile=srgb", "--window-size=1200,1200",
                     f"--user-data-dir={tempfile.mkdtemp(dir=folder)}"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_script_timeout(60)
        yield driver
    finally:
        driver.quit()


def open_and_run_first_cell(driver, url):
    """Opens the notebook, waits for its kernel, runs the first cell with
    Shift+Enter as a user does and waits for the view."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys

    driver.get(url)
    WebDriverWait(driver, 90).until(lambda d: d.execute_script(
        "return !!(window.Jupyter && Jupyter.notebook && Jupyter.notebook.kernel"
        " && Jupyter.notebook.kernel.is_connected())"))
    editor = driver.find_element(By.CSS_SELECTOR, ".cell .CodeMirror")
    editor.click()
    ActionChains(driver).key_down(Keys.SHIFT).send_keys(Keys.ENTER).key_up(Keys.SHIFT).perform()
    return WebDriverWait(driver, 90).until(lambda d: d.find_elements(By.CSS_SELECTOR, "button.dla-play"))[0]


def run_cell(driver, index, timeout=60):
    """Runs cell `index` through the page and returns its text output."""
    driver.execute_script(f"Jupyter.notebook.execute_cells([{index}]);")
    WebDriverWait(driver, timeout).until(lambda d: d.execute_script(
        f"var c = Jupyter.notebook.get_cell({index}); return c.input_prompt_number !== '*'"
        " && c.input_prompt_number !== null && c.input_prompt_number !== undefined;"))
    return driver.execute_script(
        f"return Jupyter.notebook.get_cell({index}).output_area.outputs.map("
        "o => o.text || (o.data && o.data['text/plain']) || o.ename || '').join('');")
