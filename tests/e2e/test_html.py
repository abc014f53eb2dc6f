"""The results page of real runs (--html): the shipped examples through the
real program, the page read with an XML parser, its marks counted against
the input (a Genepop file's cells are its populations x loci, a count
file's triangle its genotypes), each cell's figures held to the rows and to
a hand computation of f_is from the file, the scales stated, and the page
of a real run rendered in headless Chromium."""

import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

from harness import BINARY, EXAMPLES

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "html"))
from page_render import rendered_pixels  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
XHTML = "{http://www.w3.org/1999/xhtml}"
GENEPOP = os.path.join(EXAMPLES, "sample.gen")
COUNTS = os.path.join(EXAMPLES, "sample.txt")


def genepop_units(path):
    """[(population number, locus, n, f_is)] by hand: 3-digit alleles, 000
    not typed; f_is = 1 - Ho / he with he = (2n He_b - Ho) / (2(n - 1))."""
    with open(path) as f:
        lines = [line.strip() for line in f if line.strip()]
    loci = [name.strip() for name in lines[1].split(",")]
    pops, pop = [], None
    for line in lines[2:]:
        if line.lower() == "pop":
            pop = []
            pops.append(pop)
        else:
            pop.append(line.split(",", 1)[1].split())
    units = []
    for number, individuals in enumerate(pops, 1):
        for j, locus in enumerate(loci):
            calls = [(g[j][:3], g[j][3:]) for g in individuals if "000" not in (g[j][:3], g[j][3:])]
            n = len(calls)
            copies = [a for call in calls for a in call]
            he_b = 1 - sum((copies.count(a) / (2 * n)) ** 2 for a in set(copies))
            ho = sum(a != b for a, b in calls) / n
            he = (2 * n * he_b - ho) / (2 * (n - 1))
            units.append((number, locus, n, 1 - ho / he if he else float("nan")))
    return units


def close(figure, value):
    """A page's figure (four significant digits) against the value it shows."""
    if figure == "NA":
        return value is None or math.isnan(value)
    return math.isclose(float(figure), value, rel_tol=6e-4, abs_tol=1e-300)


class PageRun(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="hwmc-html-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_hwmc(self, args):
        env = {"PATH": "/usr/bin:/bin", "TZ": "UTC", "LANG": "de_DE.UTF-8",
               "LC_ALL": "de_DE.UTF-8"}
        return subprocess.run([BINARY] + args, cwd=self.dir, env=env, capture_output=True,
                              timeout=300, stdin=subprocess.DEVNULL)

    def page(self, args, name="page.html"):
        """Runs with --html name; (rows as dicts, page root)."""
        r = self.run_hwmc(["--batch", "--html", name] + args)
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        lines = r.stdout.decode().splitlines()
        header = lines[0].split("\t")
        rows = [dict(zip(header, line.split("\t"))) for line in lines[1:]]
        return rows, ET.parse(os.path.join(self.dir, name)).getroot()

    def header_facts(self, root):
        dl = root.find(XHTML + "body/" + XHTML + "header/" + XHTML + "dl")
        keys = [dt.text for dt in dl.iter(XHTML + "dt")]
        return dict(zip(keys, ["".join(dd.itertext()) for dd in dl.iter(XHTML + "dd")]))

    def captions(self, root):
        return ["".join(c.itertext()) for c in root.iter(XHTML + "figcaption")]

    def test_a_genepop_file_gives_one_cell_per_population_and_locus(self):
        rows, root = self.page(["--genepop", "--seed", "7", "--exact", GENEPOP])
        units = genepop_units(GENEPOP)
        self.assertEqual(len(units), 3 * 5)
        cells = [r for r in root.iter(SVG + "rect") if r.get("class") in ("cell", "cell na")]
        self.assertEqual(len(cells), len(units))
        self.assertEqual(len(rows), len(units))
        titles = [c.find(SVG + "title").text for c in cells]
        pattern = re.compile(r"population (\d+)(?: .*)?, locus (\S+): k (\d+), n (\d+), "
                             r"p (\S+), q_bh (\S+), f_is (\S+), d (\S+)"
                             r", p_u_deficit (\S+), p_u_excess (\S+)$")
        for title, row, (number, locus, n, f_is) in zip(titles, rows, units):
            with self.subTest(title=title):
                m = pattern.match(title)
                self.assertIsNotNone(m)
                self.assertEqual((int(m[1]), m[2]), (number, locus))
                self.assertEqual((row["population"], row["locus"]), (str(number), locus))
                self.assertEqual((m[3], m[4]), (row["k"], row["n"]))
                self.assertEqual(int(m[4]), n)
                self.assertTrue(close(m[5], float(row["p_prob"])), (m[5], row["p_prob"]))
                self.assertTrue(close(m[9], float(row["p_u_deficit"])), (m[9], row["p_u_deficit"]))
                self.assertTrue(close(m[10], float(row["p_u_excess"])), (m[10], row["p_u_excess"]))
                self.assertTrue(close(m[6], float(row["q_bh"])), (m[6], row["q_bh"]))
                self.assertTrue(close(m[7], f_is), (m[7], f_is))
                self.assertTrue(close(m[8], float(row["d"])), (m[8], row["d"]))
        # Colour = strength on one scale: cells of equal q_bh look alike, a
        # smaller q_bh is never lighter; a cell with q_bh < 0.05 carries its
        # direction, "-" for a deficit (f_is > 0), "+" (a stroke down too) for
        # an excess, beside the legend's two keys.
        def luminance(fill):
            return sum(w * int(fill[i:i + 2], 16) for w, i in ((0.2126, 1), (0.7152, 3), (0.0722, 5)))
        shown = sorted((float(t.split("q_bh ")[1].split(",")[0]), luminance(c.get("fill")))
                       for c, t in zip(cells, titles) if c.get("class") == "cell")
        for (q1, y1), (q2, y2) in zip(shown, shown[1:]):
            self.assertLessEqual(y1, y2 + (0 if q1 < q2 else 1e-9), (q1, q2))
        marked = [float(t.split("f_is ")[1].split(",")[0]) for t in titles
                  if t.split("q_bh ")[1].split(",")[0] not in ("NA",)
                  and float(t.split("q_bh ")[1].split(",")[0]) < 0.05]
        marks = [p.get("d") for p in root.iter(SVG + "path") if p.get("class") == "dir"]
        self.assertEqual(sum(d.count("h") for d in marks), sum(1 for f in marked if f != 0) + 2)
        self.assertEqual(sum(d.count("v") for d in marks), sum(1 for f in marked if f < 0) + 1)
        caption = self.captions(root)[0]
        self.assertIn("colour: -log10 q_bh on the fixed scale of every page, from 0 (pale yellow)", caption)
        self.assertIn("to 5 or more (dark violet)", caption)
        facts = self.header_facts(root)
        self.assertEqual(facts["seed"], "7")
        version = self.run_hwmc(["--version"]).stdout.decode().split()[-1]
        self.assertEqual(facts["version"], version)
        self.assertRegex(facts["date"],
                         r"^(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day \d{1,2} [A-Z][a-z]+ \d{4}, "
                         r"\d\d:\d\d:\d\d UTC$")
        self.assertEqual(facts["command line"],
                         BINARY + " --batch --html page.html --genepop --seed 7 --exact " + GENEPOP)

    def test_with_the_summary_the_loci_and_populations_get_their_bars(self):
        rows, root = self.page(["--genepop", "--summary", "sum.tsv", GENEPOP])
        with open(os.path.join(self.dir, "sum.tsv")) as f:
            lines = f.read().splitlines()
        header = lines[0].split("\t")
        summary = [dict(zip(header, line.split("\t"))) for line in lines[1:]]
        bars = [r for r in root.iter(SVG + "rect") if r.get("class") == "bar"]
        self.assertEqual(len(bars), 5 + 3)  # one per locus, one per population
        tips = [b.find(SVG + "title").text for b in bars]
        loci = [s for s in summary if s["scope"] == "locus"]
        self.assertEqual(len(loci), 5)
        for tip, s in zip(tips, loci):
            self.assertTrue(tip.startswith("locus " + s["name"] + " over its populations"), tip)
            self.assertTrue(close(tip.split("q_bh ")[1].split(",")[0], float(s["q_bh"])), tip)
        whole = [s for s in summary if s["scope"] == "file"][0]
        self.assertIn("Whole file: combined: p_fisher ", self.captions(root)[0])
        self.assertTrue(close(self.captions(root)[0].split("p_fisher ")[1].split(",")[0],
                              float(whole["p_fisher"])))

    def test_count_files_give_their_genotype_triangles(self):
        with open(os.path.join(self.dir, "odd & <name>.txt"), "w") as f:
            f.write("aa:3\nab:9\nbb:4\n")
        rows, root = self.page([COUNTS, "odd & <name>.txt"], name="a b.html")
        self.assertEqual([r["k"] for r in rows], ["6", "2"])
        triangles = [[r for r in svg.iter(SVG + "rect") if r.get("class") == "res"]
                     for svg in root.iter(SVG + "svg")]
        self.assertEqual([len(t) for t in triangles], [6 * 7 // 2, 3])
        # The second file's cells: observed and expected as the counts give them.
        # n p_i p_j (twice off the diagonal), allele counts 15 and 17 of 32.
        expected = {"aa": 15 ** 2 / 64, "ab": 2 * 15 * 17 / 64, "bb": 17 ** 2 / 64}
        observed = {"aa": 3, "ab": 9, "bb": 4}
        for rect in triangles[1]:
            m = re.match(r"(\w)(\w): observed (\S+), expected (\S+), residual (\S+)$",
                         rect.find(SVG + "title").text)
            g = (m[1] + m[2]).lower()
            self.assertEqual(float(m[3]), observed[g])
            self.assertTrue(close(m[4], expected[g]), (g, m[4]))
            self.assertTrue(close(m[5], (observed[g] - expected[g]) / math.sqrt(expected[g])))
        captions = self.captions(root)
        self.assertEqual(len(captions), 2)
        self.assertTrue(captions[1].startswith("odd & <name>.txt (k 2, n 16, p "), captions[1])
        self.assertTrue(all("full colour at +-" in c for c in captions), captions)
        self.assertTrue(close(captions[0].split(", p ")[1].split(",")[0], float(rows[0]["p_x2"])))
        self.assertIn('--html "a b.html"', self.header_facts(root)["command line"])

    def test_a_page_that_cannot_be_written_stops_the_run_before_any_row(self):
        r = self.run_hwmc(["--batch", "--html", "no/such/folder/p.html", COUNTS])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, b"")
        self.assertEqual(r.stderr.decode(), "hwmc: no/such/folder/p.html: failure at opening\n")

    def test_a_run_that_fails_keeps_the_page_that_was_there(self):
        old = os.path.join(self.dir, "p.html")
        with open(old, "w") as f:
            f.write("the page of an earlier run, longer than nothing\n")
        with open("/dev/full", "wb") as full:
            r = subprocess.run([BINARY, "--batch", "--html", "p.html", COUNTS], cwd=self.dir,
                               stdout=full, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(r.returncode, 1)
        with open(old) as f:
            self.assertEqual(f.read(), "the page of an earlier run, longer than nothing\n")
        # A run that ends well writes its page over it, cut to its length.
        self.page([COUNTS], name="p.html")
        with open(old) as f:
            self.assertTrue(f.read().endswith("</body></html>\n"))

    def test_a_failed_file_leaves_the_others_on_the_page(self):
        with open(os.path.join(self.dir, "bad.gen"), "w") as f:
            f.write("title\nL1\nPop\nx , 0101\ny , 01\n")
        r = self.run_hwmc(["--batch", "--genepop", "--html", "p.html", "bad.gen", GENEPOP])
        self.assertEqual(r.returncode, 1)
        self.assertIn("bad.gen", r.stderr.decode())
        root = ET.parse(os.path.join(self.dir, "p.html")).getroot()
        self.assertEqual([h.text for h in root.iter(XHTML + "h3")], [GENEPOP])

    def test_a_vcf_page_plots_every_site(self):
        if b"--vcf" not in self.run_hwmc(["--help"]).stdout:
            self.skipTest("this hwmc reads no VCF files (--vcf): VCF page not tested")
        samples = ["s%d" % i for i in range(12)]
        lines = ["##fileformat=VCFv4.2", '##FORMAT=<ID=GT,Number=1,Type=String,Description="GT">',
                 "\t".join(["#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO",
                            "FORMAT"] + samples)]
        sites = [("1", 100, ["0/0"] * 6 + ["1/1"] * 6),        # deficit, biallelic
                 ("1", 250, ["0/1"] * 10 + ["0/0", "1/1"]),    # excess
                 ("2", 40, ["0/0"] * 4 + ["0/1"] * 4 + ["1/2"] * 4),
                 ("2", 90, ["0/0"] * 12)]                      # one allele: NA
        for chrom, pos, calls in sites:
            lines.append("\t".join([chrom, str(pos), ".", "A", "G,T", ".", ".", ".", "GT"] + calls))
        with open(os.path.join(self.dir, "s.vcf"), "w") as f:
            f.write("\n".join(lines) + "\n")
        rows, root = self.page(["--vcf", "--exact", "s.vcf"])
        self.assertEqual(len(rows), 4)
        figs = {}
        for svg in root.iter(SVG + "svg"):
            figs.setdefault(svg.find(SVG + "title").text.split(",")[0], []).append(svg)

        def points(svg):
            return sum(p.get("d").count("M") for p in svg.iter(SVG + "path")
                       if "pts" in (p.get("class") or "").split()
                       and "key" not in (p.get("class") or "").split())

        self.assertEqual(points(figs["quantile-quantile plot"][0]), 3)
        self.assertEqual(points(figs["-log10 p along the chromosomes"][0]), 3)
        self.assertEqual(points(figs["de Finetti diagram"][0]), 2)
        self.assertIn("1 NA site", "".join(root.itertext()))


class PageRender(unittest.TestCase):
    def test_a_real_runs_page_renders_in_headless_chromium(self):
        folder = tempfile.mkdtemp(prefix="hwmc-render-")
        try:
            page = os.path.join(folder, "page.html")
            subprocess.run([BINARY, "--batch", "--genepop", "--exact", "--seed", "1",
                            "--html", page, GENEPOP], check=True, capture_output=True,
                           timeout=300)
            size, pixels = rendered_pixels(self, page, 900, 700)
        finally:
            shutil.rmtree(folder, ignore_errors=True)
        self.assertEqual(size, (900, 700))
        ink = sum(1 for p in pixels if p != (255, 255, 255))
        self.assertGreater(ink / len(pixels), 0.02, "the page rendered (nearly) blank")
        # The cells are drawn in colour, not only the text in grey.
        coloured = sum(1 for r, g, b in pixels if abs(r - b) > 60)
        self.assertGreater(coloured, 100)


if __name__ == "__main__":
    unittest.main()
