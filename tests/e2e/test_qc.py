"""Quality control: log10_p_lead below the double range, the --hwe filter
and its hwe_fail column, the --failed list as plink and bcftools read it,
and the exact tests leading by default with --vcf."""

import math
import os
import shutil
import subprocess
import unittest
from fractions import Fraction

from test_batch import BatchCase


def make_script_output(script, *args):
    return subprocess.run(["/usr/bin/python3", os.path.join(
        os.environ["HWMC_SOURCE_DIR"], "scripts", script)] + [str(a) for a in args],
        capture_output=True, check=True).stdout.decode()


def exact_two_allele_log10_p(aa, ab, bb):
    """log10 of the probability test's p by whole numbers: the sum of the
    probabilities of every table with the sample's allele counts that is at
    most as probable as the sample."""
    n = aa + ab + bb
    n_a = 2 * aa + ab
    weights = {}
    for het in range(n_a % 2, min(n_a, 2 * n - n_a) + 1, 2):
        hom_a = (n_a - het) // 2
        hom_b = n - het - hom_a
        weights[het] = (math.factorial(n) * 2 ** het) // (
            math.factorial(hom_a) * math.factorial(het) * math.factorial(hom_b))
    observed = weights[ab]
    tail = sum(w for w in weights.values() if w <= observed)
    total = sum(weights.values())
    return math.log10(tail) - math.log10(total), Fraction(tail, total)


class Qc(BatchCase):
    def test_log10_p_lead_far_below_the_double_range(self):
        self.write("far.txt", "aa:1000\nab:10\nbb:1000\n")
        self.write("near.txt", "aa:30\nab:20\nbb:10\n")
        r = self.run_batch(["--batch", "--exact", "far.txt", "near.txt"])
        self.assertEqual(r.returncode, 0, r.stderr)
        far, near = self.records(r)
        want, _ = exact_two_allele_log10_p(1000, 10, 1000)
        self.assertAlmostEqual(want, -578.456, places=3)
        self.assertEqual(far["p_prob"], "0")
        self.assertLess(abs(float(far["log10_p_lead"]) / want - 1), 1e-9)
        want_near, p_near = exact_two_allele_log10_p(30, 20, 10)
        self.assertLess(abs(float(near["log10_p_lead"]) / want_near - 1), 1e-9)
        self.assertAlmostEqual(float(near["p_prob"]), float(p_near), delta=1e-12)
        # Without the exact tests the chi-square test leads.
        plain = self.records(self.run_batch(["--batch", "near.txt"]))[0]
        self.assertEqual(float(plain["log10_p_lead"]), math.log10(float(plain["p_x2"])))

    def test_hwe_compares_thresholds_below_the_double_range(self):
        self.write("far.txt", "aa:1000\nab:10\nbb:1000\n")
        self.write("hw.txt", "aa:25\nab:50\nbb:25\n")
        for threshold, far_fails in (("1e-578", "1"), ("3.6e-579", "1"),
                                     ("1e-579", "0"), ("1e-600", "0")):
            r = self.run_batch(["--exact", "--hwe", threshold, "far.txt", "hw.txt"])
            self.assertEqual(r.returncode, 0, r.stderr)
            far, hw = self.records(r)
            self.assertEqual((far["hwe_fail"], hw["hwe_fail"]), (far_fails, "0"), threshold)
        # 10^-578.456 = 3.5e-579: the threshold's mantissa counts.
        self.assertEqual(self.records(self.run_batch(
            ["--exact", "--hwe", "3.4e-579", "far.txt"]))[0]["hwe_fail"], "0")

    def test_hwe_pops_decide_and_failed_names_each_site_once(self):
        self.write("x.vcf", make_script_output("make-vcf.py", 200, 400, 10, 3))
        with open(os.path.join(self.dir, "pops.txt"), "w") as f:
            for i in range(200):
                f.write(f"S{i + 1}\t{'cases' if i % 2 else 'controls'}\n")
        r = self.run_batch(["--vcf", "--pops", "pops.txt", "--hwe", "1e-3", "--failed", "all.txt",
                            "x.vcf"])
        self.assertEqual(r.returncode, 0, r.stderr)
        rows = self.records(r)
        self.assertIn("p_prob", rows[0])  # exact by default
        failing = []
        for row in rows:
            fails = row["p_lead"] != "NA" and float(row["p_lead"]) < 1e-3
            self.assertEqual(row["hwe_fail"], "NA" if row["p_lead"] == "NA" else str(int(fails)))
            name = row["id"] if row["id"] != "." else ":".join(
                row[c] for c in ("chrom", "pos", "ref", "alt"))
            if fails and name not in failing:
                failing.append(name)
        self.assertTrue(failing)
        self.assertEqual(self.read("all.txt").decode(), "".join(f + "\n" for f in failing))
        r = self.run_batch(["--vcf", "--pops", "pops.txt", "--hwe", "1e-3", "--hwe-pops",
                            "controls", "--failed", "controls.txt", "x.vcf"])
        controls = [row for row in self.records(r) if row["population"] == "controls"]
        want = [row["id"] for row in controls if row["hwe_fail"] == "1"]
        self.assertEqual(self.read("controls.txt").decode().split(), want)
        for row in self.records(r):
            if row["population"] == "cases":
                self.assertIn(row["hwe_fail"], ("0", "NA"))

    def test_failed_genepop_units_by_population_and_locus(self):
        self.write("g.gen", make_script_output("make-genepop.py", 6, 5, 40, 6, 2))
        r = self.run_batch(["--genepop", "--hwe", "0.05", "--failed", "f.txt", "g.gen"])
        self.assertEqual(r.returncode, 0, r.stderr)
        want = ["%s\t%s" % (row["population"], row["locus"]) for row in self.records(r)
                if row["hwe_fail"] == "1"]
        self.assertTrue(want)
        self.assertEqual(self.read("f.txt").decode().splitlines(), want)

    def test_summary_counts_failing_units_per_scope_and_the_merge_recounts(self):
        self.write("g.gen", make_script_output("make-genepop.py", 6, 5, 40, 6, 2))
        r = self.run_batch(["--genepop", "--hwe", "0.05", "--summary", "s.tsv", "g.gen"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.write("rows.tsv", r.stdout.decode())
        rows = self.records(r)
        lines = self.read("s.tsv").decode().splitlines()
        header = lines[0].split("\t")
        self.assertEqual(header[-1], "hwe_fail")
        counted = {}
        for line in lines[1:]:
            cells = dict(zip(header, line.split("\t")))
            counted[(cells["scope"], cells["name"])] = int(cells["hwe_fail"])
        for scope, column in (("population", "population"), ("locus", "locus")):
            for name in {row[column] for row in rows}:
                want = sum(1 for row in rows if row[column] == name and row["hwe_fail"] == "1")
                self.assertEqual(counted[(scope, name)], want, (scope, name))
        total = sum(1 for row in rows if row["hwe_fail"] == "1")
        self.assertTrue(total)
        self.assertEqual(counted[("file", "")], total)
        m = self.run_batch(["--merge", "--summary", "m.tsv", "rows.tsv"])
        self.assertEqual(m.returncode, 0, m.stderr)
        self.assertEqual(self.read("m.tsv"), self.read("s.tsv"))

    @unittest.skipUnless(shutil.which("plink2"), "plink2 is not installed")
    def test_the_failing_set_is_plink2s(self):
        self.write("s.vcf", make_script_output("make-vcf.py", 400, 3000, 0, 5))
        plink = ["plink2", "--vcf", "s.vcf", "--allow-extra-chr", "--write-snplist"]
        subprocess.run(plink + ["--out", "all"], cwd=self.dir, capture_output=True, check=True)
        every = self.read("all.snplist").decode().split()
        for threshold in ("1e-6", "1e-3"):
            for midp in (False, True):
                subprocess.run(plink + ["--hwe", threshold] + (["midp"] if midp else []) +
                               ["--out", "kept"], cwd=self.dir, capture_output=True, check=True)
                kept = set(self.read("kept.snplist").decode().split())
                r = self.run_batch(["--vcf", "--hwe", threshold] + (["--hwe-midp"] if midp else [])
                                   + ["--failed", "failed.txt", "s.vcf"])
                self.assertEqual(r.returncode, 0, r.stderr)
                failed = self.read("failed.txt").decode().split()
                self.assertTrue(failed)
                self.assertEqual(failed, [v for v in every if v not in kept], (threshold, midp))
                subprocess.run(plink + ["--exclude", "failed.txt", "--out", "excluded"],
                               cwd=self.dir, capture_output=True, check=True)
                self.assertEqual(set(self.read("excluded.snplist").decode().split()), kept)


if __name__ == "__main__":
    unittest.main()
