"""--merge: row tables made in parts become the table of one run; tables
that cannot be merged fail whole, with nothing on standard output."""

import os
import subprocess
import unittest

from harness import BINARY
from test_batch import SMALL_GEN, BatchCase


def make_script_output(script, *args):
    return subprocess.run(["/usr/bin/python3", os.path.join(
        os.environ["HWMC_SOURCE_DIR"], "scripts", script)] + [str(a) for a in args],
        capture_output=True, check=True).stdout.decode()


def make_genepop(*args):
    return make_script_output("make-genepop.py", *args)


class Merge(BatchCase):
    def setUp(self):
        super().setUp()
        self.write("small.gen", SMALL_GEN)  # a row with p_lead NA among others
        self.write("a.gen", make_genepop(3, 2, 12, 4, 1))
        self.write("b.gen", make_genepop(3, 3, 12, 4, 2))
        self.write("c.txt", "ab:7\naa:2\nbb:9\ncc:1\nac:4\n")

    def save(self, name, result):
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.dir, name), "wb") as f:
            f.write(result.stdout)
        return result.stdout.decode()

    def merged_parts(self, common, first, rest):
        """The merge of a run over first and one over rest, one run over
        first + rest, and the two parts' rows as they were, under one
        header."""
        whole = self.run_batch(common + first + rest)
        self.assertEqual(whole.returncode, 0, whole.stderr)
        part1 = self.save("part1.tsv", self.run_batch(common + first))
        part2 = self.save("part2.tsv", self.run_batch(common + rest))
        merged = self.run_batch(["--merge", "part1.tsv", "part2.tsv"])
        self.assertEqual((merged.returncode, merged.stderr), (0, b""))
        return merged.stdout.decode(), whole.stdout.decode(), part1 + part2.split("\n", 1)[1]

    def test_count_file_parts_join_to_the_table_of_one_run(self):
        # Enumerated units' laws of U convolved, sampled units' joint draws.
        for options in ([], ["--runs", "300"], ["--exact"],
                        ["--exact", "--max-tables", "0", "--tables", "500"]):
            merged, whole, joined = self.merged_parts(["--batch", "--seed", "11"] + options,
                                                      ["sample.txt"], ["hw.txt", "c.txt"])
            self.assertEqual(merged, whole, options)
            self.assertEqual(merged, joined, options)
            self.assertEqual(len(merged.split("\n")), 5)

    def test_genepop_parts_with_p_lead_merge_to_the_table_of_one_run(self):
        common = ["--batch", "--genepop"]
        whole = self.run_batch(common + ["a.gen", "small.gen", "b.gen"]).stdout.decode()
        part1 = self.run_batch(common + ["a.gen"]).stdout.decode()
        part2 = self.run_batch(common + ["small.gen", "b.gen"]).stdout.decode()
        self.write("part1.tsv", part1)
        self.write("part2.tsv", part2)
        merged = self.run_batch(["--merge", "part1.tsv", "part2.tsv"])
        self.assertEqual((merged.returncode, merged.stderr), (0, b""))
        self.assertEqual(merged.stdout.decode(), whole)
        self.assertNotEqual(part1 + part2.split("\n", 1)[1], whole)
        self.assertIn("\tNA\tNA\n", whole)

    def test_genepop_parts_of_every_kind_of_run_merge_to_the_table_of_one_run(self):
        # Enumerated units' laws of U convolved, sampled units' joint draws.
        for options in ([], ["--runs", "300"], ["--exact"],
                        ["--exact", "--max-tables", "0", "--tables", "500"]):
            merged, whole, joined = self.merged_parts(
                ["--batch", "--genepop", "--seed", "11"] + options, ["a.gen"],
                ["small.gen", "b.gen"])
            self.assertEqual(merged, whole, options)
            # The parts' own q values are not those of the whole run.
            self.assertNotEqual(joined, whole, options)
            self.assertIn("\tNA\tNA\n", merged)

    def test_tables_that_cannot_be_merged(self):
        good = self.save("good.tsv", self.run_batch(["--batch", "sample.txt", "hw.txt"]))
        self.save("runs.tsv", self.run_batch(["--batch", "--runs", "10", "hw.txt"]))
        genepop = self.run_batch(["--batch", "--genepop", "small.gen"]).stdout.decode()
        header = genepop.split("\n")[0].split("\t")
        lead = header.index("p_lead")
        self.write("no_lead.tsv", "".join(
            "\t".join(c for i, c in enumerate(line.split("\t")) if i != lead) + "\n"
            for line in genepop.split("\n")[:-1]))
        self.write("empty.tsv", "")
        self.write("short.tsv", good + "x.txt\t1\n")
        cases = [
            ("runs.tsv", "header differs from that of good.tsv"),
            ("empty.tsv", "empty file"),
            ("no_lead.tsv", "q_bh cannot be adjusted again: no p_lead column beside it"),
            ("short.tsv", "line 4: 2 cells, the header has %d" % len(good.split("\n")[0]
                                                                      .split("\t"))),
            ("sample.txt", "not an hwmc row table (no column 'k')"),
            ("none.tsv", "cannot open file: No such file or directory"),
        ]
        self.write("again.tsv", good)  # the same rows, another file
        for name, reason in cases:
            r = self.run_batch(["--merge", "good.tsv", name, "again.tsv"])
            self.assertEqual((r.returncode, r.stdout), (1, b""), name)
            self.assertEqual(r.stderr.decode(), "hwmc: %s: %s\n" % (name, reason))
        # A table with its own rows only merges to itself.
        r = self.run_batch(["--merge", "good.tsv"])
        self.assertEqual((r.returncode, r.stdout.decode()), (0, good))

    def test_names_are_escaped_and_a_reader_gone_ends_quietly(self):
        r = self.run_batch(["--merge", "no\tsuch\x01.tsv"])
        self.assertEqual((r.returncode, r.stdout), (1, b""))
        self.assertEqual(r.stderr.decode(),
                         "hwmc: no\\tsuch\\x01.tsv: cannot open file: No such file or directory\n")
        self.save("good.tsv", self.run_batch(["--batch", "sample.txt", "hw.txt"]))
        self.save("again.tsv", self.run_batch(["--batch", "c.txt"]))
        read_end, write_end = os.pipe()
        os.close(read_end)
        try:
            r = subprocess.run([BINARY, "--merge", "good.tsv", "again.tsv"], cwd=self.dir,
                               stdout=write_end, stderr=subprocess.PIPE, timeout=60)
        finally:
            os.close(write_end)
        self.assertEqual((r.returncode, r.stderr), (141, b""))

    def test_merge_takes_only_tables(self):
        for args in (["--merge"], ["--merge", "--exact", "a.tsv"], ["--batch", "--merge", "a"]):
            r = self.run_batch(args)
            self.assertEqual((r.returncode, r.stdout), (2, b""), args)
            self.assertIn(b"usage:", r.stderr)


class MergeSummary(BatchCase):
    """--merge --summary: the summary recomputed from the merged rows is the
    one a single run over all the data writes."""

    save = Merge.save

    def setUp(self):
        super().setUp()
        self.write("small.gen", SMALL_GEN)
        self.write("a.gen", make_genepop(3, 2, 12, 4, 1))
        self.write("b.gen", make_genepop(3, 3, 12, 4, 2))

    def merged_summary(self, common, first, rest):
        """The summary --merge --summary recomputes from a run over first and
        one over rest, and that of one run over both; the merged rows are
        the single run's."""
        whole = self.run_batch(common + ["--summary", "whole_s.tsv"] + first + rest)
        self.assertEqual(whole.returncode, 0, whole.stderr)
        self.save("part1.tsv", self.run_batch(common + ["--summary", "s1.tsv"] + first))
        self.save("part2.tsv", self.run_batch(common + ["--summary", "s2.tsv"] + rest))
        merged = self.run_batch(["--merge", "--summary", "merged_s.tsv", "part1.tsv",
                                 "part2.tsv"])
        # The rows' genotype_counts give the global U tests too.
        self.assertEqual((merged.returncode, merged.stderr), (0, b""), common)
        self.assertEqual(merged.stdout, whole.stdout, common)
        merged_s, whole_s = self.read("merged_s.tsv"), self.read("whole_s.tsv")
        return merged_s, whole_s

    def test_summary_of_genepop_parts_is_that_of_one_run(self):
        # Enumerated units' laws of U convolved, sampled units' joint draws.
        for options in ([], ["--runs", "300"], ["--exact"],
                        ["--exact", "--max-tables", "0", "--tables", "500"]):
            merged, expected = self.merged_summary(
                ["--batch", "--genepop", "--seed", "11"] + options, ["a.gen"],
                ["small.gen", "b.gen"])
            self.assertEqual(merged, expected, options)
            # Population, locus and file rows, each part's alone differing.
            self.assertIn(b"\tlocus\t", expected)
            self.assertIn(b"\tpopulation\t", expected)
            self.assertNotEqual(self.read("s1.tsv"), expected)
            if options and options[0] == "--exact":
                self.assertIn(b"p_fisher_deficit", expected)

    def test_summary_of_count_file_parts_is_that_of_one_run(self):
        merged, expected = self.merged_summary(["--batch", "--seed", "11"], ["sample.txt"],
                                               ["hw.txt"])
        self.assertEqual(merged, expected)

    def test_summary_of_vcf_parts_is_that_of_one_run_without_fisher(self):
        # Neighbouring sites are linked: the summary of a VCF run combines no
        # p-values, its merge neither, whatever the rows' p_lead.
        self.write("x.vcf", make_script_output("make-vcf.py", 20, 40, 5, 3))
        self.write("y.vcf", make_script_output("make-vcf.py", 20, 30, 4, 4))
        self.write("pops.txt", "".join("S%d %s\n" % (i, "north" if i <= 10 else "south")
                                       for i in range(1, 21)))
        for options in ([], ["--exact"]):
            merged, expected = self.merged_summary(
                ["--vcf", "--seed", "5", "--pops", "pops.txt"] + options, ["x.vcf"], ["y.vcf"])
            self.assertEqual(merged, expected, options)
            lines = expected.decode().splitlines()
            header = lines[0].split("\t")
            rows = [dict(zip(header, line.split("\t"))) for line in lines[1:]]
            self.assertEqual([r["scope"] for r in rows],
                             ["population", "population", "file"] * 2, options)
            for r in rows:
                for column in header:
                    if column.startswith(("p_fisher", "fisher_", "q_bh")):
                        self.assertEqual(r[column], "NA", (options, column))
                self.assertNotEqual(r["f_is"], "NA", options)

    def test_bfile_parts_merge_to_the_rows_summary_and_page_of_one_run(self):
        # PLINK filesets are sites as VCF's are: no p-values combined, and
        # the parts' rows, summary and page are those of one run.
        for name, variants, seed in (("x", 40, 3), ("y", 30, 4)):
            make_script_output("make-plink.py", os.path.join(self.dir, name), 21, variants, seed)
        for options in ([], ["--exact"], ["--exact", "--by-phenotype"]):
            merged, expected = self.merged_summary(["--seed", "5"] + options, ["--bfile", "x"],
                                                   ["--bfile", "y"])
            self.assertEqual(merged, expected, options)
            lines = expected.decode().splitlines()
            header = lines[0].split("\t")
            rows = [dict(zip(header, line.split("\t"))) for line in lines[1:]]
            scopes = ["population"] * (2 if "--by-phenotype" in options else 1) + ["file"]
            self.assertEqual([r["scope"] for r in rows], scopes * 2, options)
            fisher = [c for c in header if c.startswith("p_fisher")]
            self.assertTrue(all(r[c] == "NA" for r in rows for c in fisher), options)
            self.assertEqual(len(self.read("part1.tsv").splitlines()),
                             1 + 40 * (len(scopes) - 1), options)
        # The page of the merged rows draws the sites of both filesets, as
        # one run's does.
        common = ["--seed", "5", "--exact", "--by-phenotype"]
        whole = self.run_batch(common + ["--html", "whole.html", "--bfile", "x", "--bfile", "y"])
        self.assertEqual(whole.returncode, 0, whole.stderr)
        page = self.run_batch(["--merge", "--html", "merged.html", "part1.tsv", "part2.tsv"])
        self.assertEqual((page.returncode, page.stdout), (0, whole.stdout), page.stderr)
        for name in ("whole.html", "merged.html"):
            text = self.read(name)
            self.assertTrue(text.endswith(b"</body></html>\n"), name)
            for population in (b"control", b"case"):
                self.assertIn(population, text, name)

    def test_a_table_the_summary_cannot_read_writes_nothing(self):
        table = self.save("good.tsv", self.run_batch(["--batch", "--genepop", "a.gen"]))
        lines = table.split("\n")
        he = lines[0].split("\t").index("he")
        # A count file's rows with --runs: no p_lead, and p_x2 is not their leading p.
        self.save("runs.tsv", self.run_batch(["--batch", "--runs", "10", "hw.txt"]))
        cells = lines[1].split("\t")
        cells[he] = "x"
        self.write("bad_he.tsv", "\n".join([lines[0], "\t".join(cells)] + lines[2:]))
        cases = [("runs.tsv", "no column 'p_lead', which the summary needs"),
                 ("bad_he.tsv", "line 2: he is not a number: 'x'")]
        for name, reason in cases:
            r = self.run_batch(["--merge", "--summary", "s.tsv", name])
            self.assertEqual((r.returncode, r.stdout), (1, b""), name)
            self.assertEqual(r.stderr.decode(), "hwmc: %s: %s\n" % (name, reason))
            self.assertFalse(os.path.exists(os.path.join(self.dir, "s.tsv")), name)
        r = self.run_batch(["--merge", "--runs", "5", "good.tsv"])
        self.assertEqual(r.returncode, 2)


if __name__ == "__main__":
    unittest.main()
