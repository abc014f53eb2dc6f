"""The results page as a reader gets it: every sample page (written by the
test program html_page_sample from the fixed data of sample_pages.h) must be
well-formed XML with every figure inside, hold exactly the marks its data
ask for (counted here from the same formulas, not from the writer), stay
under 5 MB for 2 x 28 501 sites, and render in headless Chromium to a
picture that is not blank, no text of a figure leaving it or running over
another; each figure is also a standalone SVG that parses and converts to a
PDF of its print size."""

import math
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import json
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape

from page_render import rendered_pixels, script_findings

SAMPLE = os.environ.get("HWMC_PAGE_SAMPLE", "")
SVG = "{http://www.w3.org/2000/svg}"
XHTML = "{http://www.w3.org/1999/xhtml}"
CAP = 20000
DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


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
    """{title: [svg element, ...]} of every figure on the page."""
    out = {}
    for svg in root.iter(SVG + "svg"):
        out.setdefault(svg.find(SVG + "title").text.split(",")[0], []).append(svg)
    return out


def points(svg):
    n = 0
    for path in svg.iter(SVG + "path"):
        classes = (path.get("class") or "").split()
        if "pts" in classes and "key" not in classes:
            n += path.get("d").count("M")
    return n


def close_to_viridis(fill, strength):
    """Whether fill is, within 3 of each channel, the viridis entry (of
    matplotlib's 256) for strength on the scale 0 (entry 255) to 5 (entry
    0); True when matplotlib is not installed."""
    try:
        from matplotlib._cm_listed import _viridis_data
    except ImportError:
        return True
    t = 1 - min(max(strength, 0), 5) / 5
    i = t * 255
    lo, hi = _viridis_data[int(i)], _viridis_data[min(int(i) + 1, 255)]
    want = [255 * (a + (b - a) * (i - int(i))) for a, b in zip(lo, hi)]
    got = [int(fill[k:k + 2], 16) for k in (1, 3, 5)]
    return all(abs(g - w) <= 3 for g, w in zip(got, want))


def rects(root, cls):
    return [r for r in root.iter(SVG + "rect") if r.get("class") == cls]


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not SAMPLE:
            raise unittest.SkipTest("HWMC_PAGE_SAMPLE is not set: run through ctest")
        cls.dir = tempfile.mkdtemp(prefix="hwmc-page-")
        cls.pages = {}
        for kind, arg in (("small", "600"), ("genome", "28501"), ("counts", "52"), ("long", "0")):
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
                # Every figure: one picture named by its title and described
                # by the caption, which is text.
                for fig in root.iter(XHTML + "figure"):
                    svgs = fig.findall(SVG + "svg")
                    self.assertEqual(len(svgs), 1)
                    caption = fig.find(XHTML + "figcaption")
                    self.assertTrue(caption.text.strip())
                    svg = svgs[0]
                    self.assertEqual(svg.get("role"), "img")
                    title = svg.find(SVG + "title")
                    self.assertTrue(title.text.strip())
                    self.assertEqual(svg.get("aria-labelledby"), title.get("id"))
                    self.assertEqual(svg.get("aria-describedby"), caption.get("id"))
                # Every mark with figures carries them.
                for r in list(rects(root, "cell")) + list(rects(root, "res")) + list(rects(root, "bar")):
                    self.assertTrue(r.find(SVG + "title").text.strip())

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
        # A cell with q_bh < 0.05 shows its direction: "-" (a stroke across)
        # for a deficit (f_is > 0), "+" (and one down) for an excess.
        deficits = excesses = 0
        for title in titles:
            q = float(title.split("q_bh ")[1].split(",")[0])
            f_is = float(title.split("f_is ")[1].split(",")[0])
            if q < 0.05:
                deficits += f_is > 0
                excesses += f_is < 0
        marks = [p.get("d") for p in root.iter(SVG + "path") if p.get("class") == "dir"]
        # The legend's two keys are marks too.
        self.assertEqual(sum(d.count("h") for d in marks), deficits + excesses + 2)
        self.assertEqual(sum(d.count("v") for d in marks), excesses + 1)
        self.assertGreater(deficits * excesses, 0)
        # The colour is -log10 q_bh on the fixed scale, whatever the page.
        for r in rects(root, "cell"):
            q = float(r.find(SVG + "title").text.split("q_bh ")[1].split(",")[0])
            self.assertTrue(close_to_viridis(r.get("fill"), -math.log10(q) if q > 0 else 99), r.get("fill"))
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


# Every text of every figure: its box in the SVG's user space (its own
# transform, a rotation, applied), whether it leaves the viewBox, and which
# pairs of texts of one SVG overlap; and the widths of the labels' texts.
SCRIPT = """
const found = {svgs: 0, texts: 0, outside: [], overlapping: [], widths: []};
const name = t => (t.firstChild ? t.firstChild.nodeValue : '');
for (const t of document.querySelectorAll('svg.labels text')) found.widths.push(t.getComputedTextLength());
for (const svg of document.querySelectorAll('figure svg')) {
  found.svgs++;
  const vb = svg.viewBox.baseVal;
  const inverse = svg.getScreenCTM().inverse();
  const boxes = [];
  for (const t of svg.querySelectorAll('text')) {
    found.texts++;
    const b = t.getBBox();
    const m = inverse.multiply(t.getScreenCTM());
    let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
    for (const [x, y] of [[b.x, b.y], [b.x + b.width, b.y], [b.x, b.y + b.height],
                          [b.x + b.width, b.y + b.height]]) {
      const p = new DOMPoint(x, y).matrixTransform(m);
      x0 = Math.min(x0, p.x); y0 = Math.min(y0, p.y); x1 = Math.max(x1, p.x); y1 = Math.max(y1, p.y);
    }
    const tol = 0.5;
    if (x0 < vb.x - tol || y0 < vb.y - tol || x1 > vb.x + vb.width + tol || y1 > vb.y + vb.height + tol)
      found.outside.push([svg.querySelector('title').textContent, name(t), x0, y0, x1, y1,
                          vb.width, vb.height]);
    boxes.push([x0, y0, x1, y1, name(t)]);
  }
  // Neighbouring lines and columns of text touch at most by a unit.
  for (let i = 0; i < boxes.length; i++)
    for (let j = i + 1; j < boxes.length; j++) {
      const a = boxes[i], b = boxes[j];
      const w = Math.min(a[2], b[2]) - Math.max(a[0], b[0]), h = Math.min(a[3], b[3]) - Math.max(a[1], b[1]);
      if (w > 1 && h > 1) found.overlapping.push([svg.querySelector('title').textContent, a[4], b[4]]);
    }
}
document.body.dataset.findings = JSON.stringify(found);
"""

# Labels of every kind the page sets: the width table must know them all.
LABELS = ["BlondeAquitaine_FRBTBDA29851", "8 BlondeAquitaine_FRBTBDA29851", "INRA063", "ETH225", "HEL5",
          "Montb\u00e9liard", "R\u00e9union", "\u00c5land \u00d8sterbro", "\u0141\u00f3d\u017a",
          "\u2212log10 q_bh", "\u2265 5", "\u2264 0.00001", "chrUn_KI270742v1", "WWWWWWWWWW",
          "iiiiiiiiii", "AVAVAV Ty To", "\u0391\u03b8\u03ae\u03bd\u03b1", "\u041c\u043e\u0441\u043a\u0432\u0430",
          "q_bh \u2265 0.05 or NA", "colour: \u2212log10 q_bh (above) and q_bh (below)",
          "a.b,c;d:e!f?g(h)[i]{j}", "0123456789", "\u00bd \u00b1 \u00d7 \u2026", "12 Limousin \u00e9lev\u00e9 \u2014 r\u00e9seau"]


class TextFitTest(unittest.TestCase):
    """In Chromium with the page's own font: no text of any figure leaves its
    SVG or runs over another, and the widths the margins are made from are
    those the browser sets. One browser run: the pages' bodies one after the
    other, and an SVG of labels."""

    @classmethod
    def setUpClass(cls):
        if not SAMPLE:
            raise unittest.SkipTest("HWMC_PAGE_SAMPLE is not set: run through ctest")
        if not os.path.exists(DEJAVU):
            raise unittest.SkipTest("fonts-dejavu-core is not installed: the page's font is missing")
        folder = tempfile.mkdtemp(prefix="hwmc-fit-")
        try:
            bodies = []
            for kind, arg in (("long", "0"), ("small", "600"), ("counts", "8")):
                path = os.path.join(folder, kind + ".html")
                subprocess.run([SAMPLE, kind, path, arg], check=True)
                with open(path, encoding="utf-8") as f:
                    page = f.read()
                bodies.append(page[page.index("<body>") + 6:page.index("</body>")])
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        texts = "".join('<text x="0" y="%d">%s</text>' % (20 * (i + 1), escape(label))
                        for i, label in enumerate(LABELS))
        labels = ('<svg xmlns="http://www.w3.org/2000/svg" class="labels" width="900" height="900" '
                  'font-family="\'DejaVu Sans\',\'Bitstream Vera Sans\',sans-serif" font-size="11" '
                  'text-rendering="geometricPrecision">%s</svg>' % texts)
        cls.html = page[:page.index("<body>") + 6] + "".join(bodies) + labels + "</body></html>"
        cls.found = None

    def findings(self):
        if TextFitTest.found is None:
            TextFitTest.found = json.loads(script_findings(self, self.html, SCRIPT))
        return TextFitTest.found

    def test_no_text_leaves_its_figure_or_runs_over_another(self):
        found = self.findings()
        self.assertGreater(found["svgs"], 20)
        self.assertGreater(found["texts"], 10 * found["svgs"])
        self.assertEqual(found["outside"], [])
        self.assertEqual(found["overlapping"], [])

    def test_measured_widths_are_the_browsers(self):
        ours = subprocess.run([SAMPLE, "--widths"], input="\n".join(LABELS) + "\n", check=True,
                              capture_output=True, text=True).stdout.split()
        theirs = self.findings()["widths"]
        self.assertEqual(len(theirs), len(LABELS))
        for label, mine, set_width in zip(LABELS, ours, theirs):
            # Never narrower than the browser sets it; wider only by what
            # kerning takes off.
            self.assertGreaterEqual(float(mine), set_width - 0.05, label)
            self.assertLessEqual(float(mine), set_width * 1.1 + 0.3, label)


class FigureFilesTest(unittest.TestCase):
    """Every figure of a page as its own file: an SVG document that parses,
    sized for print, and beside it a PDF of that size where rsvg-convert
    (librsvg2-bin) is installed."""

    def test_every_figure_is_a_document_that_parses_and_converts(self):
        if not SAMPLE:
            self.skipTest("HWMC_PAGE_SAMPLE is not set: run through ctest")
        folder = tempfile.mkdtemp(prefix="hwmc-figures-")
        try:
            said = subprocess.run([SAMPLE, "--figures", "small", folder], check=True, capture_output=True,
                                  text=True).stdout
            svgs = sorted(n for n in os.listdir(folder) if n.endswith(".svg"))
            wanted = ["heatmap.svg"] + ["%s_%s.svg" % (plot, pop) for pop in ("north", "south")
                                        for plot in ("qq", "definetti", "positions")]
            wanted += ["residuals_sample%d.svg" % i for i in (1, 2, 3)]
            self.assertEqual(svgs, sorted(wanted))
            converter = shutil.which("rsvg-convert")
            for name in svgs:
                root = ET.parse(os.path.join(folder, name)).getroot()
                self.assertEqual(root.tag, SVG + "svg")
                self.assertEqual(root.get("role"), "img")
                self.assertTrue(root.find(SVG + "title").text.strip())
                self.assertTrue(root.find(SVG + "desc").text.strip())
                self.assertTrue(root.find(SVG + "style").text.strip())
                width_mm = float(root.get("width")[:-2])
                view = [float(v) for v in root.get("viewBox").split()]
                # 11-unit text at least 8 pt at the print width.
                self.assertGreaterEqual(11 * width_mm / view[2], 8 * 25.4 / 72 - 1e-6, name)
                self.assertIn(width_mm, (85.0, 180.0), name)
                pdf = os.path.join(folder, name[:-4] + ".pdf")
                if not converter:
                    self.assertFalse(os.path.exists(pdf))
                    continue
                with open(pdf, "rb") as f:
                    data = f.read()
                self.assertTrue(data.startswith(b"%PDF-"), name)
                box = re.search(rb"/MediaBox \[\s*0 0 ([\d.]+) ([\d.]+)", data)
                self.assertIsNotNone(box, name)
                self.assertAlmostEqual(float(box.group(1)), width_mm / 25.4 * 72, delta=1.5)
            if not converter:
                self.assertIn("no converter", said)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
