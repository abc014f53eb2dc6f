"""A results page rendered by headless Chromium (Debian chromium) to a PNG
and read back with PIL (python3-pil), for the page tests; the calling test
is skipped, saying why, when either is missing."""

import os
import shutil
import subprocess
import tempfile

CHROMIUM = "/usr/bin/chromium"


def rendered_pixels(test, page, width, height):
    """((width, height) of the picture, its RGB pixels) of the page at path
    `page` in a window of width x height pixels."""
    if not os.access(CHROMIUM, os.X_OK):
        test.skipTest("chromium is not installed (Debian package chromium): page not rendered")
    try:
        from PIL import Image
    except ImportError:
        test.skipTest("python3-pil is not installed: the rendered page cannot be read")
    folder = tempfile.mkdtemp(prefix="hwmc-chromium-")
    try:
        png = os.path.join(folder, "page.png")
        subprocess.run(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--hide-scrollbars", "--user-data-dir=" + os.path.join(folder, "p"),
             "--screenshot=" + png, "--window-size=%d,%d" % (width, height),
             "file://" + os.path.abspath(page)],
            check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with Image.open(png) as im:
            return im.size, list(im.convert("RGB").getdata())
    finally:
        shutil.rmtree(folder, ignore_errors=True)
