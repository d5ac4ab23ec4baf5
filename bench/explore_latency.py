"""Time from a parameter change to the new picture on preisach-lab explore's
page, in headless Chromium (Debian's chromium, chromium-driver and
python3-selenium):

    /usr/bin/python3 bench/explore_latency.py build-tests/lab/preisach-lab [explore options...]

run where the explore command finds its parameter file (the repository's
root for Magnetism/Parameters.txt). It moves the hc0_mean slider N times
(default 40) and prints, per change, the median and 90th percentile of

- server: the request for the curves until its answer is parsed (the
  server's computation, HTTP on the loopback, JSON),
- browser: Plotly redrawing the ZFC/FC and loop pictures with the data,
- picture: the two together, from the change to the new picture,
- all pictures: until the density and FORC pictures are redrawn too;

and, without the browser, the median time of GET /api/curves from this
process."""

import statistics
import subprocess
import sys
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait


def percentiles(values):
    ordered = sorted(values)
    return statistics.median(ordered), ordered[int(0.9 * (len(ordered) - 1))]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    changes = 40
    server = subprocess.Popen([sys.argv[1], "explore", "--no-browser"] + sys.argv[2:], stdout=subprocess.PIPE,
                              text=True, stdin=subprocess.DEVNULL)
    options = Options()
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1600,1200"):
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        url = server.stdout.readline().strip()
        if not url.startswith("http://"):
            sys.exit("preisach-lab explore did not start")
        curves = url.replace("/?", "/api/curves?")
        urllib.request.urlopen(curves).read()
        direct = []
        for _ in range(changes):
            began = time.perf_counter()
            urllib.request.urlopen(curves).read()
            direct.append(1000 * (time.perf_counter() - began))

        browser.get(url)
        wait = WebDriverWait(browser, 120)
        wait.until(lambda b: b.execute_script("return state.drawn") >= 1)
        rows = {"server": [], "browser": [], "picture": [], "all pictures": []}
        for k in range(changes):
            drawn = browser.execute_script("return state.drawn")
            # A change as a user makes it, alternating up and down the slider.
            browser.execute_script(
                "const s = document.getElementById('slider-hc0_mean');"
                "s.value = arguments[0]; s.dispatchEvent(new Event('input'));", 450 + (k % 2) * 100)
            wait.until(lambda b: b.execute_script("return state.drawn") > drawn)
            latency = browser.execute_script("return state.latency")
            rows["server"].append(latency["server"])
            rows["browser"].append(latency["browser"])
            rows["picture"].append(latency["total"])
            rows["all pictures"].append(latency["all"])
        print("explore latency, %d changes of hc0_mean (%s)" % (changes, " ".join(sys.argv[2:]) or "default file"))
        print("  GET /api/curves alone: median %.1f ms" % statistics.median(direct))
        for name, values in rows.items():
            print("  %-13s median %6.1f ms, 90th percentile %6.1f ms" % ((name + ":",) + percentiles(values)))
    finally:
        browser.quit()
        server.terminate()
        server.wait(timeout=20)


if __name__ == "__main__":
    main()
