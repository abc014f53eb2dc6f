"""--merge: row tables made in parts become the table of one run; tables
that cannot be merged fail whole, with nothing on standard output."""

import os
import subprocess
import unittest

from test_batch import SMALL_GEN, BatchCase


def make_genepop(*args):
    return subprocess.run(["/usr/bin/python3", os.path.join(
        os.environ["HWMC_SOURCE_DIR"], "scripts", "make-genepop.py")] + [str(a) for a in args],
        capture_output=True, check=True).stdout.decode()


class Merge(BatchCase):
    def setUp(self):
        super().setUp()
        self.write("small.gen", SMALL_GEN)  # a row with p_lead NA among others
        self.write("a.gen", make_genepop(3, 2, 12, 4, 1))
        self.write("b.gen", make_genepop(3, 3, 12, 4, 2))

    def test_parts_merge_to_the_table_of_one_run(self):
        for options in ([], ["--runs", "300"], ["--exact", "--max-tables", "0", "--tables",
                                                "500"]):
            common = ["--batch", "--genepop", "--seed", "11"] + options
            whole = self.run_batch(common + ["a.gen", "small.gen", "b.gen"])
            self.assertEqual(whole.returncode, 0, whole.stderr)
            with open(os.path.join(self.dir, "part1.tsv"), "wb") as f:
                f.write(self.run_batch(common + ["a.gen"]).stdout)
            with open(os.path.join(self.dir, "part2.tsv"), "wb") as f:
                f.write(self.run_batch(common + ["small.gen", "b.gen"]).stdout)
            merged = self.run_batch(["--merge", "part1.tsv", "part2.tsv"])
            self.assertEqual((merged.returncode, merged.stderr), (0, b""))
            self.assertEqual(merged.stdout.decode(), whole.stdout.decode(), options)
            # The parts' own q values are not those of the whole run.
            self.assertNotEqual(self.read("part1.tsv") + self.read("part2.tsv")[
                self.read("part2.tsv").index(b"\n") + 1:], whole.stdout, options)
            self.assertIn("\tNA\tNA\n", merged.stdout.decode())

    def test_tables_that_cannot_be_merged(self):
        self.write("x.gen", make_genepop(2, 1, 10, 3, 3))
        with open(os.path.join(self.dir, "good.tsv"), "wb") as f:
            f.write(self.run_batch(["--batch", "--genepop", "x.gen"]).stdout)
        with open(os.path.join(self.dir, "exact.tsv"), "wb") as f:
            f.write(self.run_batch(["--batch", "--genepop", "--exact", "x.gen"]).stdout)
        with open(os.path.join(self.dir, "count.tsv"), "wb") as f:
            f.write(self.run_batch(["--batch", "hw.txt"]).stdout)
        good = self.read("good.tsv").decode()
        self.write("empty.tsv", "")
        self.write("short.tsv", good + "x.gen\t1\n")
        cases = [
            ("exact.tsv", "header differs from that of good.tsv"),
            ("empty.tsv", "empty file"),
            ("count.tsv", "not an hwmc row table (no p_lead and q_bh columns)"),
            ("short.tsv", "line 4: 2 cells, the header has %d" % len(good.split("\n")[0]
                                                                      .split("\t"))),
            ("sample.txt", "not an hwmc row table (no p_lead and q_bh columns)"),
            ("none.tsv", "cannot open file: No such file or directory"),
        ]
        for name, reason in cases:
            r = self.run_batch(["--merge", "good.tsv", name, "good.tsv"])
            self.assertEqual((r.returncode, r.stdout), (1, b""), name)
            self.assertEqual(r.stderr.decode(), "hwmc: %s: %s\n" % (name, reason))
        # A table with its own rows only merges to itself.
        r = self.run_batch(["--merge", "good.tsv"])
        self.assertEqual((r.returncode, r.stdout.decode()), (0, good))

    def test_merge_takes_only_tables(self):
        for args in (["--merge"], ["--merge", "--exact", "a.tsv"], ["--batch", "--merge", "a"]):
            r = self.run_batch(args)
            self.assertEqual((r.returncode, r.stdout), (2, b""), args)
            self.assertIn(b"usage:", r.stderr)


if __name__ == "__main__":
    unittest.main()
