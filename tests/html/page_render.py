"""A results page rendered by headless Chromium (Debian chromium): to a PNG
read back with PIL (python3-pil), or run with a script whose findings are
read back from the DOM Chromium dumps, for the page tests; the calling test
is skipped, saying why, when what it needs is missing."""

import os
import re
import shutil
import subprocess
import tempfile

CHROMIUM = "/usr/bin/chromium"
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--hide-scrollbars"]


def need_chromium(test):
    if not os.access(CHROMIUM, os.X_OK):
        test.skipTest("chromium is not installed (Debian package chromium): page not rendered")


def run_chromium(folder, args):
    return subprocess.run(
        [CHROMIUM] + FLAGS + ["--user-data-dir=" + os.path.join(folder, "p")] + args,
        check=True, timeout=180, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def rendered_pixels(test, page, width, height):
    """((width, height) of the picture, its RGB pixels) of the page at path
    `page` in a window of width x height pixels."""
    need_chromium(test)
    try:
        from PIL import Image
    except ImportError:
        test.skipTest("python3-pil is not installed: the rendered page cannot be read")
    folder = tempfile.mkdtemp(prefix="hwmc-chromium-")
    try:
        png = os.path.join(folder, "page.png")
        run_chromium(folder, ["--screenshot=" + png, "--window-size=%d,%d" % (width, height),
                              "file://" + os.path.abspath(page)])
        with Image.open(png) as im:
            return im.size, list(im.convert("RGB").getdata())
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def script_findings(test, html, script):
    """What `script`, run in Chromium at the end of the HTML text `html`,
    writes into document.body.dataset.findings (a string)."""
    need_chromium(test)
    folder = tempfile.mkdtemp(prefix="hwmc-chromium-")
    try:
        path = os.path.join(folder, "page.html")
        with open(path, "w", encoding="utf-8") as f:
            f.write(html.replace("</body>", "<script>" + script + "</script></body>", 1))
        dom = run_chromium(folder, ["--window-size=1300,1000", "--dump-dom", "file://" + path])
        found = re.search(r'data-findings="([^"]*)"', dom.decode("utf-8", "replace"))
        test.assertIsNotNone(found, "the script left no findings")
        return (found.group(1).replace("&quot;", '"').replace("&lt;", "<").replace("&gt;", ">")
                .replace("&amp;", "&"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
