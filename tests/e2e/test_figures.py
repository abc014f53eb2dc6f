"""The page of merged row tables against the page of one run over the same
data, and --figures: a folder of SVG and PDF files, the converter missing,
a folder that cannot be written."""

import os
import re
import shutil
import subprocess
import unittest
import xml.etree.ElementTree as ET

from harness import BINARY
from test_batch import BatchCase
from test_merge import make_genepop, make_script_output

HEADER = re.compile(rb"<header>.*?</header>", re.S)


COUNT_COLUMNS = ("n_hom_ref", "n_het", "n_hom_alt", "genotype_counts")


def without_count_columns(table):
    """A row table as an earlier run wrote it: without the genotype counts."""
    lines = [line.split("\t") for line in table.split("\n")[:-1]]
    keep = [i for i, name in enumerate(lines[0]) if name not in COUNT_COLUMNS]
    return "".join("\t".join(cells[i] for i in keep) + "\n" for cells in lines)


class MergedPage(BatchCase):
    def setUp(self):
        super().setUp()
        self.write("a.gen", make_genepop(4, 3, 14, 4, 1))
        self.write("b.gen", make_genepop(3, 5, 12, 5, 2))

    def ok(self, args):
        result = self.run_batch(args)
        self.assertEqual((result.returncode, result.stderr), (0, b""), args)
        return result.stdout.decode()

    def figures(self, folder):
        path = os.path.join(self.dir, folder)
        return {name: self.read(os.path.join(folder, name)) for name in sorted(os.listdir(path))
                if name.endswith(".svg")}

    def assert_same_pages(self, whole, merged):
        self.assertEqual(HEADER.sub(b"", self.read(whole + ".html")),
                         HEADER.sub(b"", self.read(merged + ".html")))
        self.assertEqual(self.figures(whole), self.figures(merged))

    def test_a_genepop_page_of_parts_is_the_page_of_one_run(self):
        # With the exact tests the units' U tests and the scopes' global
        # ones are on the page too, from the rows and their genotype counts.
        for extra in (["--runs", "200"], ["--exact"]):
            common = ["--genepop", "--seed", "3"] + extra
            whole = self.ok(common + ["--summary", "ws.tsv", "--html", "whole.html", "--figures",
                                      "whole", "a.gen", "b.gen"])
            self.write("p1.tsv", self.ok(common + ["a.gen"]))
            self.write("p2.tsv", self.ok(common + ["b.gen"]))
            # The seed again: the global tests a convolution cannot settle
            # draw from it, and the rows of enumerated units do not show it.
            merged = self.ok(["--merge", "--seed", "3", "--summary", "ms.tsv", "--html",
                              "merged.html", "--figures", "merged", "p1.tsv", "p2.tsv"])
            self.assertEqual(merged, whole)
            self.assertEqual(self.read("ms.tsv"), self.read("ws.tsv"))
            self.assert_same_pages("whole", "merged")
        # Without the seed, the scopes that must be drawn are NA, said once.
        r = self.run_batch(["--merge", "--summary", "ns.tsv", "p1.tsv", "p2.tsv"])
        self.assertEqual(r.returncode, 0)
        self.assertEqual(r.stderr.decode().count("no row shows the run's seed"), 1, r.stderr)
        self.assertNotEqual(self.read("ns.tsv"), self.read("ws.tsv"))
        self.assertEqual(sorted(self.figures("whole")), ["heatmap_a.svg", "heatmap_b.svg"])
        # The summary's bars are on both pages.
        self.assertIn(b"Fisher", self.read("merged.html"))

    def test_a_vcf_page_of_regions_is_the_page_of_one_run(self):
        for tool in ("bgzip", "tabix"):
            if shutil.which(tool) is None:
                self.skipTest("%s (tabix) is not installed: regions of a VCF not tested" % tool)
        vcf = make_script_output("make-vcf.py", 40, 240, 20, 3)
        self.write("s.vcf", vcf)
        subprocess.run(["bgzip", "-f", "s.vcf"], cwd=self.dir, check=True)
        subprocess.run(["tabix", "-p", "vcf", "s.vcf.gz"], cwd=self.dir, check=True)
        positions = [line.split("\t")[1] for line in vcf.splitlines() if not line.startswith("#")]
        cut = int(positions[len(positions) // 2])
        common = ["--vcf", "--seed", "9"]
        self.ok(common + ["--html", "whole.html", "--figures", "whole", "s.vcf.gz"])
        parts = [self.ok(common + ["--region", r, "s.vcf.gz"])
                 for r in ("1:1-%d" % cut, "1:%d-" % (cut + 1))]
        for i, part in enumerate(parts):
            self.write("p%d.tsv" % i, without_count_columns(part))
            self.write("c%d.tsv" % i, part)
        # With the genotype counts in the rows, mark for mark.
        self.ok(["--merge", "--html", "merged.html", "--figures", "merged", "c0.tsv", "c1.tsv"])
        self.assert_same_pages("whole", "merged")
        self.assertEqual(sorted(self.figures("merged")),
                         ["definetti_all.svg", "positions_all.svg", "qq_all.svg"])
        # Without them, every site is still drawn, its counts NA.
        self.ok(["--merge", "--figures", "bare", "p0.tsv", "p1.tsv"])
        bare = self.figures("bare")
        self.assertNotIn("definetti_all.svg", bare)
        for name, svg in bare.items():
            counted = re.sub(rb"AA/AB/BB \d+/\d+/\d+", b"AA/AB/BB NA",
                             self.figures("whole")[name])
            counted = re.sub(rb"<td>\d+/\d+/\d+</td>", b"<td>NA</td>", counted)
            self.assertEqual(svg, counted, name)

    def test_count_file_rows_get_no_page_and_nothing_is_written(self):
        self.write("p.tsv", self.ok(["--batch", "sample.txt"]))
        result = self.run_batch(["--merge", "--html", "m.html", "p.tsv"])
        self.assertEqual((result.returncode, result.stdout), (1, b""))
        self.assertIn(b"genotype tables the page draws", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "m.html")))


class FigureFolder(BatchCase):
    def setUp(self):
        super().setUp()
        self.write("a.gen", make_genepop(3, 2, 12, 4, 1))

    def test_every_figure_is_an_svg_that_parses_with_its_pdf(self):
        if shutil.which("rsvg-convert") is None:
            self.skipTest("rsvg-convert (librsvg2-bin) is not installed: PDFs not tested")
        result = self.run_batch(["--batch", "sample.txt", "hw.txt", "--figures", "new"])
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        names = sorted(os.listdir(os.path.join(self.dir, "new")))
        self.assertEqual(names, ["residuals_hw.pdf", "residuals_hw.svg", "residuals_sample.pdf",
                                 "residuals_sample.svg"])
        for name in names:
            data = self.read(os.path.join("new", name))
            if name.endswith(".svg"):
                self.assertTrue(ET.fromstring(data).tag.endswith("svg"), name)
            else:
                self.assertTrue(data.startswith(b"%PDF-"), name)

    def test_without_the_converter_one_line_and_the_svgs(self):
        # A PATH without rsvg-convert: the binary is started by its path.
        env = {"PATH": "/nonexistent", "LC_ALL": "C"}
        result = subprocess.run([BINARY, "--genepop", "a.gen", "--figures", "f"],
                                cwd=self.dir, env=env, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stderr.decode().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn("rsvg-convert", lines[0])
        self.assertEqual(os.listdir(os.path.join(self.dir, "f")), ["heatmap.svg"])

    def test_a_folder_that_cannot_be_written_stops_the_run_before_any_row(self):
        self.write("plain", "a file\n")
        for folder in ("plain", "missing/parent"):
            result = self.run_batch(["--genepop", "a.gen", "--figures", folder])
            self.assertEqual((result.returncode, result.stdout), (1, b""), folder)
            self.assertIn(folder.encode() + b": cannot write the figures there", result.stderr)
        self.assertEqual(self.read("plain"), b"a file\n")


if __name__ == "__main__":
    unittest.main()
