"""preisach-lab explore in a real browser: headless Chromium driven by
Selenium opens the page with the printed token, moves a slider, and the
numbers it plots are those preisach-lab curves writes for the changed
record; Save writes that record; Fit on data made by the model ends within
its errors of the truth; without the token the page is refused."""

import re
import shutil
import subprocess
import urllib.error
import urllib.request

import numpy as np
import pytest

import preisach
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

from conftest import SOURCE, _executable, write_parameters

RECORD = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 y 300 2000 50 300 0.1 n"


@pytest.fixture
def explorer(workspace):
    write_parameters(workspace, RECORD)
    server = subprocess.Popen([_executable("PREISACH_LAB"), "explore", "--no-browser", "--out", "saved.txt"],
                              cwd=workspace, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                              stdin=subprocess.DEVNULL)
    url = server.stdout.readline().strip()
    assert url.startswith("http://127.0.0.1:"), server.stderr.read()
    yield workspace, url
    server.terminate()
    assert server.wait(timeout=20) == 0


@pytest.fixture
def browser():
    options = Options()
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    yield driver
    driver.quit()


def curves_of(lab_executable, folder, record):
    (folder / "changed.txt").write_text(record + "\n")
    (folder / "out").mkdir(exist_ok=True)
    done = subprocess.run([lab_executable, "curves", "--params", "changed.txt", "--out-dir", "out"], cwd=folder,
                          capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=300)
    assert done.returncode == 0, done.stderr
    return np.loadtxt(folder / "out" / "ZFCFC.txt", comments="#")


def test_a_slider_moves_the_plotted_curves_to_the_labs_and_save_writes_the_record(explorer, browser):
    folder, url = explorer
    with pytest.raises(urllib.error.HTTPError) as refused:
        urllib.request.urlopen(url.split("?")[0])
    assert refused.value.code == 403

    browser.get(url)
    wait = WebDriverWait(browser, 60)
    wait.until(lambda b: b.execute_script("return state.drawn") >= 1)
    drawn = browser.execute_script("return state.drawn")
    # The slider of hc0_mean moved by a user: the value beside it follows.
    browser.execute_script(
        "const s = document.getElementById('slider-hc0_mean'); s.value = 400;"
        "s.dispatchEvent(new Event('input'));")
    wait.until(lambda b: b.execute_script("return state.drawn") > drawn and not b.execute_script(
        "return state.pending || state.again === true"))
    value = browser.find_element("id", "value-hc0_mean").get_attribute("value")
    assert float(value) != 300.0
    plotted = browser.execute_script("return [state.curves.T, state.curves.M_ZFC, state.curves.M_FC]")
    # The curves preisach-lab writes for the record with that value.
    words = RECORD.split()
    words[3] = value
    expected = curves_of(_executable("PREISACH_LAB"), folder, " ".join(words))
    assert np.array_equal(np.array(plotted).T, expected)
    # The address carries the state.
    assert "hc0_mean=" + value in browser.current_url

    browser.find_element("id", "save").click()
    wait.until(lambda b: b.find_element("id", "saved").text.startswith("saved to"))
    # The record shown, as the lab writes records.
    assert (folder / "saved.txt").read_text().split() == preisach.Parameters.from_text(" ".join(words)).to_text().split()


def test_fit_from_the_page_ends_within_its_errors_of_the_truth(workspace, browser):
    # Data made by the model from known values (examples/fitting:
    # hc0_mean = 300 Oe, sigmac0 = sigmai0 = 100 Oe, N = 1), the start 30 % off.
    shutil.copytree(SOURCE / "examples" / "fitting", workspace / "fitting")
    folder = workspace / "fitting"
    server = subprocess.Popen([_executable("PREISACH_LAB"), "explore", "--no-browser", "--zfcfc", "zfcfc.dat"],
                              cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                              stdin=subprocess.DEVNULL)
    try:
        url = server.stdout.readline().strip()
        with pytest.raises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(urllib.request.Request(url.split("?")[0] + "api/fit", data=b"", method="POST"))
        assert refused.value.code == 403
        browser.get(url)
        wait = WebDriverWait(browser, 60)
        wait.until(lambda b: b.execute_script("return state.drawn") >= 1)
        truth = {"hc0_mean": 300.0, "sigmac0": 100.0, "sigmai0": 100.0, "N": 1.0}
        for name in truth:
            browser.find_element("id", "free-" + name).click()
        browser.find_element("id", "fit").click()
        WebDriverWait(browser, 300).until(lambda b: b.find_element("id", "fit-state").text in ("done", "failed"))
        assert browser.find_element("id", "fit-state").text == "done", browser.find_element("id", "fit-warnings").text
        report = browser.execute_script("return state.fit.report")
        assert "[[Variables]]" in report
        for name, value in truth.items():
            shown = float(browser.find_element("id", "value-" + name).get_attribute("value"))
            error = browser.find_element("id", "error-" + name).text
            assert error.strip().startswith("±"), (name, error)
            # The control holds the fitted record's value; the truth lies
            # within three of its standard errors.
            fitted = browser.execute_script(
                "return state.fit.record.find((p) => p.name === arguments[0]).text", name)
            assert shown == float(fitted)
            assert abs(shown - value) <= 3 * float(error.strip()[1:]), (name, shown, error)
        # The page drew the fitted record.
        wait.until(lambda b: not b.execute_script("return state.pending || state.again === true"))
        assert "sigmac0=" in browser.current_url
        # A view opened later keeps its own values, not the fit's.
        browser.get(url + "&hc0_mean=500")
        wait.until(lambda b: b.execute_script("return state.drawn") >= 1)
        assert browser.find_element("id", "value-hc0_mean").get_attribute("value") == "500"
        assert browser.find_element("id", "error-hc0_mean").text == ""
    finally:
        server.terminate()
        assert server.wait(timeout=20) == 0
