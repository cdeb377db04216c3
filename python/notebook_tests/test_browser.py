"""The live view as a user sees it: Debian's notebook server and headless
Chromium. The first cell is run with Shift+Enter, Play and Pause are
clicked, and the picture the page shows after the pause is dla-batch's
--picture for the steps the page shows, byte for byte. DLA_SCREENSHOT:
where to save a screenshot of the paused view."""

import base64
import os
import subprocess
import tempfile
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from browser import chromium, notebook_server, open_and_run_first_cell, run_cell

SEED = 42
CELLS = [
    f"""import dla
world = dla.World(seed={SEED})
view = dla.explore(world)
view.speed.value = "100 steps per second"
view""",
    "print(world.step_count, view.playing, world.threshold)",
]


def shown(driver):
    """(the step label's text, the picture's bytes) as the page has them."""
    step = driver.find_element(By.CSS_SELECTOR, ".dla-steps").text
    source = driver.find_element(By.CSS_SELECTOR, "img.dla-picture").get_attribute("src")
    assert source.startswith("data:image/png;base64,"), source[:40]
    return step, base64.b64decode(source.split(",", 1)[1])


def batch_picture(steps):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "picture.png")
        subprocess.run([os.environ["DLA_BATCH"], "--seed", str(SEED), "--steps", str(steps), "--picture", path],
                       check=True, capture_output=True)
        with open(path, "rb") as picture:
            return picture.read()


def test_play_and_pause_in_the_browser():
    with notebook_server(CELLS) as (url, folder), chromium(folder) as driver:
        play = open_and_run_first_cell(driver, url)
        step, first = shown(driver)
        assert step == "0" and first == batch_picture(0)

        play.click()
        wait = WebDriverWait(driver, 60, poll_frequency=0.05)
        wait.until(lambda d: d.find_element(By.CSS_SELECTOR, "button.dla-play").text == "Pause")
        wait.until(lambda d: int(shown(d)[0]) >= 20)
        early_step, early = shown(driver)
        wait.until(lambda d: int(shown(d)[0]) >= int(early_step) + 20)
        later_step, later = shown(driver)
        assert int(later_step) > int(early_step) and later != early

        driver.find_element(By.CSS_SELECTOR, "button.dla-play").click()
        wait.until(lambda d: d.find_element(By.CSS_SELECTOR, "button.dla-play").text == "Play")
        paused_step, paused = shown(driver)
        # Paused before its end (884 steps at 100 a second): it stays.
        assert int(paused_step) < 884
        time.sleep(0.5)
        assert shown(driver) == (paused_step, paused)
        assert paused == batch_picture(int(paused_step))
        # The kernel's world is what the page shows.
        assert run_cell(driver, 1).split() == [paused_step, "False", "6"]

        screenshot = os.environ.get("DLA_SCREENSHOT")
        if screenshot:
            view = driver.execute_script(
                "return document.querySelector('img.dla-picture').closest('.widget-subarea') || document.querySelector('img.dla-picture').closest('.widget-area');")
            driver.execute_script("arguments[0].scrollIntoView();", view)
            view.screenshot(screenshot)
