"""--annotate: the VCF/BCF input written again with the tests' INFO tags and
the HWE filter, as bcftools reads it back; compared with bcftools' own HWE
tag and with plink2's filter, on simulated data and on 1000 Genomes samples
(tests/data)."""

import gzip
import os
import shutil
import struct
import subprocess
import unittest

from test_batch import BatchCase
from test_qc import exact_two_allele_log10_p, make_script_output

PUBLIC = os.path.join(os.environ.get("HWMC_SOURCE_DIR", os.path.join(
    os.path.dirname(__file__), "..", "..")), "tests", "data", "eur_chr21_22.vcf.gz")
TAGS = ("HWE_P", "HWE_LOG10P", "HWE_MIDP", "HWE_FIS")
NEEDS_BCFTOOLS = unittest.skipUnless(shutil.which("bcftools"), "bcftools is not installed")
NEEDS_PLINK2 = unittest.skipUnless(shutil.which("plink2"), "plink2 is not installed")


def float32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def info_of(line):
    cells = line.split("\t")
    info = {} if cells[7] == "." else dict(
        (e.split("=", 1) + [""])[:2] for e in cells[7].split(";"))
    return cells, info


class Annotate(BatchCase):
    def bcftools(self, *args):
        r = subprocess.run(["bcftools"] + list(args), cwd=self.dir, capture_output=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout.decode()

    def vcf_lines(self, name):
        return self.bcftools("view", "-H", name).splitlines()

    def own_lines(self, name):
        """The records as hwmc wrote them (bcftools prints floats to 6
        digits): VCF text read directly, BCF through bcftools."""
        if name.endswith(".bcf"):
            return self.vcf_lines(name)
        path = os.path.join(self.dir, name)
        with (gzip.open if name.endswith(".gz") else open)(path, "rt") as f:
            return [l.rstrip("\n") for l in f if not l.startswith("#")]

    def assertSameFloat(self, text, value, exact):
        if exact:
            self.assertEqual(float32(float(text)), float32(value))
        else:
            self.assertLessEqual(abs(float(text) - value), 5e-6 * abs(value), (text, value))

    def make_inputs(self):
        self.write("x.vcf", make_script_output("make-vcf.py", 200, 400, 10, 3))
        self.bcftools("view", "-Ob", "-o", "x.bcf", "x.vcf")

    @NEEDS_BCFTOOLS
    def test_every_form_round_trips_and_the_tags_are_the_rows(self):
        self.make_inputs()
        strip = "INFO/" + ",INFO/".join(TAGS) + ",FILTER/HWE"
        for source in ("x.vcf", "x.bcf"):
            original = self.vcf_lines(source)
            for out, index in (("o.vcf", None), ("o.vcf.gz", "o.vcf.gz.tbi"),
                               ("o.bcf", "o.bcf.csi")):
                r = self.run_batch(["--vcf", "--hwe", "1e-3", "--annotate", out, source])
                self.assertEqual(r.returncode, 0, r.stderr)
                if index:
                    self.assertTrue(os.path.exists(os.path.join(self.dir, index)), out)
                    # The index serves a region query.
                    near = self.bcftools("query", "-r", "1:1-3000", "-f", "%ID\n", out).split()
                    self.assertEqual(near, [l.split("\t")[2] for l in original
                                            if int(l.split("\t")[1]) <= 3000])
                    self.assertTrue(near)
                back = self.bcftools("annotate", "-x", strip, out)
                self.assertEqual([l for l in back.splitlines() if not l.startswith("#")],
                                 original, (source, out))
                rows = self.records(r)
                lines = self.own_lines(out)
                self.assertEqual(len(lines), len(rows))
                exact = not out.endswith(".bcf")
                for row, line in zip(rows, lines):
                    cells, info = info_of(line)
                    self.assertEqual(cells[1], row["pos"])
                    self.assertEqual("HWE" in cells[6].split(";"), row["hwe_fail"] == "1")
                    if row["p_lead"] == "NA":
                        self.assertFalse(set(TAGS) & set(info), line[:80])
                        continue
                    self.assertSameFloat(info["HWE_P"], float(row["p_lead"]), exact)
                    self.assertSameFloat(info["HWE_LOG10P"], float(row["log10_p_lead"]), exact)
                    self.assertSameFloat(info["HWE_FIS"], float(row["f_is"]), exact)
                    self.assertEqual(info.get("HWE_MIDP") is None, row["p_prob_mid"] == "NA")

    @NEEDS_BCFTOOLS
    def test_bcftools_hwe_tag_is_the_probability_tests_p(self):
        # bcftools' +fill-tags HWE is the exact test's p (not its mid-p),
        # printed to 6 digits.
        r = self.run_batch(["--vcf", "--annotate", "e.bcf", PUBLIC])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.bcftools("+fill-tags", "e.bcf", "-Ob", "-o", "f.bcf", "--", "-t", "HWE")
        compared = 0
        for line in self.bcftools("query", "-f", "%INFO/HWE\t%INFO/HWE_P\n", "f.bcf").split("\n")[:-1]:
            theirs, ours = (float(v) for v in line.split("\t"))
            if theirs == 0:
                continue
            self.assertLess(abs(ours / theirs - 1), 5.1e-6, line)
            compared += 1
        self.assertEqual(compared, 1000)

    @NEEDS_BCFTOOLS
    def test_drop_failed_leaves_out_exactly_the_failing_sites(self):
        self.make_inputs()
        r = self.run_batch(["--vcf", "--hwe", "1e-3", "--failed", "failed.txt", "--drop-failed",
                            "--annotate", "kept.vcf.gz", "x.vcf"])
        self.assertEqual(r.returncode, 0, r.stderr)
        failing = self.read("failed.txt").decode().split()
        self.assertTrue(failing)
        kept = [l.split("\t")[2] for l in self.vcf_lines("kept.vcf.gz")]
        self.assertEqual(len(kept), len(self.records(r)) - len(failing))
        self.assertFalse(set(kept) & set(failing))
        # bcftools' own exclusion by the list gives the same records.
        self.assertEqual(kept, [l.split("\t")[2] for l in self.bcftools(
            "view", "-H", "-e", "ID=@failed.txt", "x.vcf").splitlines()])

    @NEEDS_BCFTOOLS
    def test_far_tail_p_below_the_float_range_keeps_its_log10(self):
        # 1000 AA, 10 AB, 1000 BB: p = 10^-578.456.
        calls = ["0/0"] * 1000 + ["0/1"] * 10 + ["1/1"] * 1000
        header = "\t".join("S%d" % i for i in range(len(calls)))
        self.write("far.vcf", "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
                   '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
                   "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + header + "\n"
                   "1\t100\tfar\tA\tG\t.\tPASS\tDP=5\tGT\t" + "\t".join(calls) + "\n")
        r = self.run_batch(["--vcf", "--hwe", "1e-600", "--annotate", "-", "far.vcf"])
        self.assertEqual(r.returncode, 0, r.stderr)
        text = r.stdout.decode()
        self.assertTrue(text.startswith("##fileformat=VCFv4.2\n"))  # no rows on standard output
        cells, info = info_of(text.splitlines()[-1])
        self.assertEqual(info["HWE_P"], "0")
        want, _ = exact_two_allele_log10_p(1000, 10, 1000)
        self.assertEqual(float32(float(info["HWE_LOG10P"])), float32(want))
        self.assertEqual(info["DP"], "5")
        self.assertEqual(cells[6], "PASS")  # -578 is above -600
        self.write("far.out", text)
        self.assertEqual(self.bcftools("view", "-H", "-i", "INFO/HWE_LOG10P<-578", "far.out")
                         .split("\t")[2], "far")

    @NEEDS_BCFTOOLS
    def test_a_second_annotation_replaces_the_first(self):
        self.make_inputs()
        # The first marks half the sites, which the second, at 1e-3, clears.
        first = self.run_batch(["--vcf", "--seed", "1", "--hwe", "0.5", "--annotate", "once.vcf",
                                "x.vcf"])
        self.assertEqual(first.returncode, 0, first.stderr)
        self.assertIn("\tHWE\t", self.read("once.vcf").decode())
        twice = self.run_batch(["--vcf", "--seed", "1", "--hwe", "1e-3", "--annotate", "twice.vcf",
                                "once.vcf"])
        self.assertEqual(twice.returncode, 0, twice.stderr)
        direct = self.run_batch(["--vcf", "--seed", "1", "--hwe", "1e-3", "--annotate",
                                 "direct.vcf", "x.vcf"])
        self.assertEqual(self.vcf_lines("twice.vcf"), self.vcf_lines("direct.vcf"))

    @NEEDS_BCFTOOLS
    def test_per_population_tags_and_records_left_untested(self):
        self.make_inputs()
        with open(os.path.join(self.dir, "pops.txt"), "w") as f:
            for i in range(200):
                f.write("S%d\t%s\n" % (i + 1, ("case-1", "case.1", "case_1")[i % 3]))
        with open(os.path.join(self.dir, "sex.txt"), "w") as f:
            for i in range(200):
                f.write("S%d\t%d\n" % (i + 1, 1 + i % 2))
        # A record on Y is read but not tested: it is copied as it is.
        lines = self.read("x.vcf").decode().splitlines()
        y = lines[-1].split("\t")
        y[0], y[1] = "Y", "2000000"
        self.write("y.vcf", "\n".join(lines[:-1] + ["\t".join(y)]) + "\n")
        r = self.run_batch(["--vcf", "--pops", "pops.txt", "--sex", "sex.txt", "--annotate",
                            "p.vcf", "y.vcf"])
        self.assertEqual(r.returncode, 0, r.stderr)
        header = self.bcftools("view", "-h", "p.vcf")
        for key, name in (("HWE_P_case_1", "case-1"), ("HWE_P_case.1", "case.1"),
                          ("HWE_P_case_1_2", "case_1")):
            self.assertIn("##INFO=<ID=%s,Number=1,Type=Float" % key, header)
            self.assertIn("population %s\">" % name, header.split("ID=%s," % key)[1].split("\n")[0])
        out = self.own_lines("p.vcf")
        self.assertEqual(out[-1], "\t".join(y))
        rows = self.records(r)
        by_pos = {}
        for row in rows:
            by_pos.setdefault(row["pos"], {})[row["population"]] = row
        _, info = info_of(out[0])
        first = by_pos[out[0].split("\t")[1]]
        self.assertEqual(float32(float(info["HWE_P_case.1"])),
                         float32(float(first["case.1"]["p_lead"])))
        self.assertEqual(float32(float(info["HWE_P_case_1_2"])),
                         float32(float(first["case_1"]["p_lead"])))

    def test_a_failed_run_leaves_the_old_copy_and_other_kinds_refuse(self):
        self.write("x.vcf", make_script_output("make-vcf.py", 20, 30, 0, 3))
        self.write("old.vcf.gz", "old")
        lines = self.read("x.vcf").decode().splitlines()
        lines[-5] = lines[-5].replace("\t0/1", "\t7/1", 1)
        self.write("bad.vcf", "\n".join(lines) + "\n")
        r = self.run_batch(["--vcf", "--annotate", "old.vcf.gz", "bad.vcf"])
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"old.vcf.gz: left as it was", r.stderr)
        self.assertEqual(self.read("old.vcf.gz"), b"old")
        self.assertEqual(sorted(os.listdir(self.dir)),
                         ["bad.vcf", "hw.txt", "old.vcf.gz", "sample.txt", "x.vcf"])
        r = self.run_batch(["--annotate", "a.vcf", "sample.txt"])
        self.assertEqual(r.returncode, 2)
        self.assertIn(b"option '--annotate' needs --vcf", r.stderr)
        r = self.run_batch(["--vcf", "--annotate", "a.txt", "x.vcf"])
        self.assertEqual(r.returncode, 2)
        self.assertIn(b"not a name ending in .vcf, .vcf.gz, .vcf.bgz or .bcf", r.stderr)

    @NEEDS_PLINK2
    def test_public_data_failing_set_is_plink2s(self):
        plink = ["plink2", "--vcf", PUBLIC, "--write-snplist"]
        subprocess.run(plink + ["--out", "all"], cwd=self.dir, capture_output=True, check=True)
        every = self.read("all.snplist").decode().split()
        self.assertEqual(len(every), 1000)
        for threshold in ("1e-6", "1e-3"):
            for midp in (False, True):
                subprocess.run(plink + ["--hwe", threshold] + (["midp"] if midp else []) +
                               ["--out", "kept"], cwd=self.dir, capture_output=True, check=True)
                kept = self.read("kept.snplist").decode().split()
                r = self.run_batch(["--vcf", "--hwe", threshold] + (["--hwe-midp"] if midp else [])
                                   + ["--failed", "failed.txt", PUBLIC])
                self.assertEqual(r.returncode, 0, r.stderr)
                failed = self.read("failed.txt").decode().split()
                self.assertGreater(len(failed), 5)
                self.assertEqual(failed, [v for v in every if v not in set(kept)],
                                 (threshold, midp))
                subprocess.run(plink + ["--exclude", "failed.txt", "--out", "excluded"],
                               cwd=self.dir, capture_output=True, check=True)
                self.assertEqual(self.read("excluded.snplist").decode().split(), kept)


if __name__ == "__main__":
    unittest.main()
