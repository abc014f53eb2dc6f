"""Outputs that would land on an input or on each other are refused before
anything is written; the summary and the page replace their files whole."""

import os
import subprocess

from harness import BINARY
from test_batch import BatchCase

VCF = ("##fileformat=VCFv4.2\n##contig=<ID=1>\n"
       "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\n"
       "1\t10\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/0\t1/1\t0/1\n"
       "1\t20\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/1\t1/1\t0/0\n")


class OutputsOverInputs(BatchCase):
    def setUp(self):
        super().setUp()
        self.write("in.vcf", VCF)
        self.write("in.vcf.tbi", "not really an index")
        self.write("pops.txt", "s1\tp\ns2\tp\ns3\tq\n")
        self.write("old.tsv", "old\n")
        os.link(os.path.join(self.dir, "in.vcf"), os.path.join(self.dir, "hard.vcf"))

    def files(self):
        return {name: self.read(name) for name in sorted(os.listdir(self.dir))}

    def assert_refused(self, args, words, stdout=None):
        before = self.files()
        if stdout is None:
            r = self.run_batch(args)
        else:
            with open(os.path.join(self.dir, stdout), "ab") as out:
                r = subprocess.run([BINARY]
                                   + args, cwd=self.dir, stdout=out, stderr=subprocess.PIPE,
                                   stdin=subprocess.DEVNULL)
        self.assertEqual(r.returncode, 1, args)
        self.assertIn(words, r.stderr.decode(), args)
        self.assertIn("nothing was written", r.stderr.decode(), args)
        self.assertEqual(self.files(), before, args)

    def test_every_output_is_checked_against_inputs_indexes_and_other_outputs(self):
        vcf = ["--vcf", "--exact"]
        self.assert_refused(vcf + ["--html", "in.vcf", "in.vcf"],
                            "in.vcf: the file of --html is also the input 'in.vcf'")
        self.assert_refused(vcf + ["--summary", "hard.vcf", "in.vcf"],
                            "the file of --summary is also the input 'in.vcf'")
        self.assert_refused(vcf + ["--summary", "new", "--html", "./new", "in.vcf"],
                            "the file of --html is also the file of --summary")
        self.assert_refused(vcf + ["--pops", "pops.txt", "--summary", "pops.txt", "in.vcf"],
                            "the file of --summary is also the file of --pops")
        self.assert_refused(vcf + ["--html", "in.vcf.tbi", "in.vcf"],
                            "the file of --html is also the index 'in.vcf.tbi'")
        self.assert_refused(["--batch", "--report", "hw.txt", "sample.txt", "hw.txt"],
                            "the file of --report is also the input 'hw.txt'")
        self.assert_refused(vcf + ["--summary", "old.tsv", "in.vcf"], "standard output",
                            stdout="old.tsv")
        self.assert_refused(vcf + ["in.vcf"], "standard output: it is also the input",
                            stdout="in.vcf")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "new")))

    def test_merge_refuses_its_summary_over_a_part(self):
        part = self.run_batch(["--batch", "sample.txt"])
        self.assertEqual(part.returncode, 0)
        self.write("p0.tsv", part.stdout.decode())
        self.assert_refused(["--merge", "--summary", "p0.tsv", "p0.tsv"],
                            "the file of --summary is also the input 'p0.tsv'")

    def test_a_failed_run_keeps_the_old_summary_and_page_and_leaves_no_temporary(self):
        self.write("s.tsv", "old summary\n")
        self.write("p.html", "old page\n")
        # The rows' reader gone: the run fails before the outputs are written.
        r = subprocess.Popen([BINARY, "--vcf", "--summary", "s.tsv",
                              "--html", "p.html", "in.vcf"], cwd=self.dir,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        r.stdout.close()
        r.wait(timeout=60)
        r.stderr.close()
        self.assertNotEqual(r.returncode, 0)
        self.assertEqual(self.read("s.tsv"), b"old summary\n")
        self.assertEqual(self.read("p.html"), b"old page\n")
        ok = self.run_batch(["--vcf", "--summary", "s.tsv", "--html", "p.html", "in.vcf"])
        self.assertEqual(ok.returncode, 0, ok.stderr)
        self.assertTrue(self.read("s.tsv").startswith(b"level\t") or
                        b"\t" in self.read("s.tsv").split(b"\n")[0])
        self.assertIn(b"<html", self.read("p.html"))
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if n.startswith(".")), [])


class MergeRefusals(BatchCase):
    def test_a_table_given_twice_under_any_name_or_a_fifo_is_refused(self):
        part = self.run_batch(["--batch", "sample.txt"])
        self.write("p0.tsv", part.stdout.decode())
        self.write("p1.tsv", self.run_batch(["--batch", "hw.txt"]).stdout.decode())
        os.link(os.path.join(self.dir, "p1.tsv"), os.path.join(self.dir, "hard.tsv"))
        os.symlink("p0.tsv", os.path.join(self.dir, "soft.tsv"))
        for tables, words in ((["p0.tsv", "p1.tsv", "p1.tsv"], "p1.tsv: the same file as 'p1.tsv'"),
                              (["p0.tsv", "p1.tsv", "hard.tsv"], "hard.tsv: the same file as 'p1.tsv'"),
                              (["soft.tsv", "p1.tsv", "./p0.tsv"], "./p0.tsv: the same file as 'soft.tsv'")):
            r = self.run_batch(["--merge"] + tables)
            self.assertEqual((r.returncode, r.stdout), (1, b""), tables)
            self.assertIn(words, r.stderr.decode(), tables)
        ok = self.run_batch(["--merge", "p0.tsv", "p1.tsv"])
        self.assertEqual(ok.returncode, 0, ok.stderr)
        os.mkfifo(os.path.join(self.dir, "fifo"))
        r = self.run_batch(["--merge", "p0.tsv", "fifo"])  # would block in open
        self.assertEqual((r.returncode, r.stdout), (1, b""))
        self.assertIn("fifo: not a regular file", r.stderr.decode())

    def assert_merge_refused(self, tables, message):
        r = self.run_batch(["--merge"] + tables)
        self.assertEqual((r.returncode, r.stdout, r.stderr.decode()), (1, b"", message), tables)

    def test_a_unit_in_two_parts_or_parts_of_two_seeds_are_refused(self):
        self.write("a.vcf", VCF)
        self.write("b.vcf", VCF.replace("1\t10\t", "1\t15\t"))
        common = ["--vcf", "--runs", "20"]
        for name, args in (("p1", ["--seed", "3", "a.vcf"]), ("p2", ["--seed", "3", "b.vcf"]),
                           ("p12", ["--seed", "3", "a.vcf", "b.vcf"]),
                           ("p2s", ["--seed", "4", "b.vcf"])):
            r = self.run_batch(common + args)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.write(name + ".tsv", r.stdout.decode())
        merged = self.run_batch(["--merge", "p1.tsv", "p2.tsv"])
        self.assertEqual((merged.returncode, merged.stderr), (0, b""))
        self.write("m.tsv", merged.stdout.decode())
        unit = "the unit file=a.vcf chrom=1 pos=10 id=. ref=A alt=G population=all"
        self.assert_merge_refused(
            ["p1.tsv", "p12.tsv"],
            "hwmc: p12.tsv: line 2: %s is also in 'p1.tsv' (line 2): a unit may be in one part "
            "only; 'p12.tsv' holds every unit of 'p1.tsv' (a merged table given beside one of "
            "its parts?)\n" % unit)
        self.assert_merge_refused(
            ["m.tsv", "p2.tsv"],
            "hwmc: p2.tsv: line 2: %s is also in 'm.tsv' (line 4): a unit may be in one part "
            "only; 'm.tsv' holds every unit of 'p2.tsv' (a merged table given beside one of its "
            "parts?)\n" % unit.replace("a.vcf chrom=1 pos=10", "b.vcf chrom=1 pos=15"))
        self.assert_merge_refused(
            ["p1.tsv", "p2s.tsv"],
            "hwmc: p2s.tsv: seeded with 4, 'p1.tsv' with 3: the parts of one run share its seed "
            "(give every part the same --seed)\n")
