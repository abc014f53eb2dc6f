"""The results page as a reader gets it: every sample page (written by the
test program html_page_sample from the fixed data of sample_pages.h) must be
well-formed XML with every figure inside, hold exactly the marks its data
ask for (counted here from the same formulas, not from the writer), stay
under 5 MB for 2 x 28 501 sites, and render in headless Chromium to a
picture that is not blank."""

import math
import os
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET

from page_render import rendered_pixels

SAMPLE = os.environ.get("HWMC_PAGE_SAMPLE", "")
SVG = "{http://www.w3.org/2000/svg}"
XHTML = "{http://www.w3.org/1999/xhtml}"
CAP = 20000


def sample_p(i, n, pop):
    if i % 250 == 3:
        return None
    if i % 1500 == 11:
        return 0.0
    if i % 1000 == 7:
        return 10.0 ** -(6 + (i // 1000) % 5)
    return (((7919 * i + 104729 * pop) % n) + 0.5) / n


def expected_sites(n, pop):
    """(drawn in the Q-Q and position plots, drawn in the de Finetti plot)."""
    strong = strong_biallelic = 0
    weak = []
    for i in range(n):
        p = sample_p(i, n, pop)
        if p is None:
            continue
        biallelic = i % 10 != 9
        if p == 0 or -math.log10(p) >= 2:
            strong += 1
            strong_biallelic += biallelic
        else:
            weak.append(biallelic)
    stride = 1
    while -(-len(weak) // stride) > CAP:
        stride *= 2
    kept = weak[::stride]
    return strong + len(kept), strong_biallelic + sum(kept)


def figures(root):
    """{aria-label: [svg element, ...]} of every figure on the page."""
    out = {}
    for svg in root.iter(SVG + "svg"):
        out.setdefault(svg.get("aria-label").split(",")[0], []).append(svg)
    return out


def points(svg):
    n = 0
    for path in svg.iter(SVG + "path"):
        classes = (path.get("class") or "").split()
        if "pts" in classes and "key" not in classes:
            n += path.get("d").count("M")
    return n


def rects(root, cls):
    return [r for r in root.iter(SVG + "rect") if r.get("class") == cls]


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not SAMPLE:
            raise unittest.SkipTest("HWMC_PAGE_SAMPLE is not set: run through ctest")
        cls.dir = tempfile.mkdtemp(prefix="hwmc-page-")
        cls.pages = {}
        for kind, arg in (("small", "600"), ("genome", "28501"), ("counts", "52")):
            path = os.path.join(cls.dir, kind + ".html")
            subprocess.run([SAMPLE, kind, path, arg], check=True)
            cls.pages[kind] = path

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def parse(self, kind):
        return ET.parse(self.pages[kind]).getroot()

    def test_every_page_is_well_formed_and_self_contained(self):
        for kind, path in self.pages.items():
            with self.subTest(kind=kind):
                root = ET.parse(path).getroot()
                self.assertEqual(root.tag, XHTML + "html")
                self.assertEqual(len(root.findall(XHTML + "head/" + XHTML + "style")), 1)
                self.assertEqual(list(root.iter(XHTML + "script")), [])
                for el in root.iter():
                    for name in ("src", "href", "{http://www.w3.org/1999/xlink}href"):
                        self.assertIsNone(el.get(name), el.tag)
                # Every figure: one picture, one caption.
                for fig in root.iter(XHTML + "figure"):
                    self.assertEqual(len(fig.findall(SVG + "svg")), 1)
                    self.assertTrue(fig.find(XHTML + "figcaption").text.strip())

    def test_the_small_page_holds_its_marks_and_names(self):
        root = self.parse("small")
        self.assertEqual(len(rects(root, "cell")), 11)
        na = rects(root, "cell na")
        self.assertEqual(len(na), 1)
        self.assertTrue(na[0].get("fill").startswith("url(#"))
        self.assertIn("population 2 B&B, locus Locus3", na[0].find(SVG + "title").text)
        self.assertIn("q_bh NA", na[0].find(SVG + "title").text)
        titles = [r.find(SVG + "title").text for r in rects(root, "cell")]
        self.assertIn("population 1 pop<1>, locus Locus1: k 2, n 31", titles[0])
        # Hue = direction: red for a deficit (f_is > 0), blue for an excess.
        for r in rects(root, "cell"):
            title = r.find(SVG + "title").text
            f_is = float(title.split("f_is ")[1].split(",")[0])
            if r.get("fill") == "#ffffff":  # nothing to show: q_bh = 1
                self.assertIn("q_bh 1,", title)
                continue
            red, blue = int(r.get("fill")[1:3], 16), int(r.get("fill")[5:7], 16)
            self.assertTrue(red > blue if f_is > 0 else blue > red, title)
        self.assertEqual(len(rects(root, "bar")), 4 + 3)
        self.assertEqual(len(rects(root, "res")), 3 + 6 + 10)
        figs = figures(root)
        for pop in range(2):
            drawn, biallelic = expected_sites(600, pop)
            self.assertEqual(points(figs["quantile-quantile plot"][pop]), drawn)
            self.assertEqual(points(figs["-log10 p along the chromosomes"][pop]), drawn)
            self.assertEqual(points(figs["de Finetti diagram"][pop]), biallelic)
        header = "".join(root.find(XHTML + "body/" + XHTML + "header").itertext())
        self.assertIn('--html "out & <more>.html"', header)
        self.assertIn("12345", header)
        self.assertIn("cattle & co <test>.gen", "".join(root.itertext()))
        # A name that is not UTF-8 arrives with U+FFFD in place of its bad byte.
        self.assertIn("population 3 R\ufffdunion, locus Locus1", titles[7])
        self.assertIn("Over its 597 sites: f_is 0.0123.", "".join(root.itertext()))

    def test_a_genome_scale_page_is_thinned_and_under_five_megabytes(self):
        self.assertLess(os.path.getsize(self.pages["genome"]), 5_000_000)
        figs = figures(self.parse("genome"))
        for pop in range(2):
            drawn, biallelic = expected_sites(28501, pop)
            qq = figs["quantile-quantile plot"][pop]
            self.assertEqual(points(qq), drawn)
            self.assertEqual(points(figs["-log10 p along the chromosomes"][pop]), drawn)
            self.assertEqual(points(figs["de Finetti diagram"][pop]), biallelic)
        captions = [c.text for c in self.parse("genome").iter(XHTML + "figcaption")]
        self.assertTrue(all("at most 20000" in c or "thinned" in c for c in captions), captions)

    def test_count_files_stop_at_fifty(self):
        root = self.parse("counts")
        self.assertEqual(len(list(root.iter(XHTML + "figure"))), 50)
        # k = 2 + file % 4 (file from 0): 13 files each of 3, 6, 10 and 15
        # genotypes, less the last two (k = 4 and 5) that are not drawn.
        self.assertEqual(len(rects(root, "res")), 13 * (3 + 6 + 10 + 15) - 10 - 15)
        notes = [p.text for p in root.iter(XHTML + "p") if p.get("class") == "note"]
        self.assertEqual(notes, ["The first 50 count files are drawn; 2 more are in the rows only."])

    def test_the_page_renders_in_headless_chromium(self):
        size, pixels = rendered_pixels(self, self.pages["small"], 1200, 1400)
        self.assertEqual(size, (1200, 1400))
        ink = sum(1 for p in pixels if p != (255, 255, 255))
        self.assertGreater(ink / len(pixels), 0.02, "the page rendered (nearly) blank")
        # The summary bars and the darkest heat map cells are drawn in the
        # deficit hue: the SVG was drawn, not only the text.
        deficit = sum(1 for p in pixels if abs(p[0] - 178) + abs(p[1] - 24) + abs(p[2] - 43) < 12)
        self.assertGreater(deficit, 200)


if __name__ == "__main__":
    unittest.main()
