"""The rows' genotype counts against the calls counted here, for every kind of
input, and --columns: chosen and ordered columns, refused names, and tables of
chosen columns merged."""

import os
import unittest

from test_batch import BatchCase
from test_merge import make_genepop

VCF = """##fileformat=VCFv4.2
##contig=<ID=1>
##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">
#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\ts5\ts6
1\t100\trs1\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\t1|1\t./.\t0/0\t0/0
1\t200\trs2\tA\tG\t.\t.\t.\tGT\t0/1\t1/1\t0/1\t0/0\t0/0\t0/0
1\t300\trs3\tA\tC,T\t.\t.\t.\tGT\t0/2\t2/2\t0/0\t1/2\t0/2\t0/0
1\t400\trs4\tA\tC,T\t.\t.\t.\tGT\t0/2\t2/0\t0/0\t0/0\t2/2\t0/0
"""
POPS = "s1 north\ns2 north\ns3 north\ns4 south\ns5 south\ns6 south\n"
COUNT_COLUMNS = ["n_hom_ref", "n_het", "n_hom_alt", "genotype_counts"]


def counted(calls, alleles_of_site):
    """The cells (a, b) -> count of the calls, and the REF/ALT triple where the
    site has one ALT, as a population geneticist would tally them."""
    cells = {}
    for a, b in calls:
        key = (min(a, b), max(a, b))
        cells[key] = cells.get(key, 0) + 1
    text = ",".join("%s/%s:%d" % (a, b, cells[(a, b)]) for (a, b) in sorted(cells))
    two = ["NA"] * 3
    if alleles_of_site == 2:
        two = [str(cells.get(c, 0)) for c in ((0, 0), (0, 1), (1, 1))]
    return two + [text or "NA"]


class RowCounts(BatchCase):
    def ok(self, args):
        r = self.run_batch(args)
        self.assertEqual((r.returncode, r.stderr), (0, b""), args)
        return r

    def test_a_vcf_rows_counts_are_its_calls_per_population(self):
        self.write("s.vcf", VCF)
        self.write("pops.txt", POPS)
        pops = dict(line.split() for line in POPS.splitlines())
        samples = ["s%d" % i for i in range(1, 7)]
        expected = {}
        for line in VCF.splitlines():
            if line.startswith("#"):
                continue
            f = line.split("\t")
            n_allele = 1 + len(f[4].split(","))
            for pop in ("north", "south"):
                calls = [tuple(int(a) for a in gt.replace("|", "/").split("/"))
                         for s, gt in zip(samples, f[9:]) if pops[s] == pop and "." not in gt]
                expected[(f[1], pop)] = counted(calls, n_allele)
        for options in ([], ["--exact"]):
            records = self.records(self.ok(["--vcf", "--pops", "pops.txt"] + options + ["s.vcf"]))
            self.assertEqual(len(records), 8)
            for r in records:
                # Monomorphic populations too (rs4 south: all REF but one ALT
                # homozygote; rs2 south: REF only, 3 0 0).
                self.assertEqual([r[c] for c in COUNT_COLUMNS], expected[(r["pos"], r["population"])],
                                 (r["pos"], r["population"]))
        south_rs2 = [r for r in records if r["pos"] == "200" and r["population"] == "south"][0]
        self.assertEqual([south_rs2[c] for c in COUNT_COLUMNS], ["3", "0", "0", "0/0:3"])
        header = self.rows(self.ok(["--vcf", "s.vcf"]))[0]
        self.assertEqual(header[header.index("missing") + 1:][:4], COUNT_COLUMNS)

    def test_genepop_and_count_file_labels_are_their_codes_and_letters(self):
        self.write("t.gen", "title\nL1\nL2\nPop\na1 , 0101 0909\na2 , 0110 0909\n"
                            "a3 , 1010 0000\nPop\nb1 , 0101 0910\n")
        records = self.records(self.ok(["--genepop", "t.gen"]))
        cells = [[r[c] for c in COUNT_COLUMNS] for r in records]
        # Pop 1 L1: 01/01, 01/10, 10/10; L2 one allele; pop 2 L1 one
        # genotype; L2 two alleles 09 and 10 with copies.
        self.assertEqual(cells, [["1", "1", "1", "01/01:1,01/10:1,10/10:1"],
                                 ["NA", "NA", "NA", "09/09:2"],
                                 ["NA", "NA", "NA", "01/01:1"],
                                 ["0", "1", "0", "09/10:1"]])
        self.write("c.txt", "cc:4\nac:3\naa:1\n")
        r = self.records(self.ok(["--batch", "c.txt", "sample.txt"]))
        self.assertEqual([r[0][c] for c in COUNT_COLUMNS], ["1", "3", "4", "a/a:1,a/c:3,c/c:4"])
        self.assertEqual(r[1]["genotype_counts"].count(","), 4)  # sample.txt: five genotypes

    def test_columns_are_chosen_in_the_order_given(self):
        self.write("a.gen", make_genepop(3, 2, 12, 4, 1))
        chosen = "q_bh,locus,genotype_counts,p_lead,file,population,pop_name"
        full = self.records(self.ok(["--genepop", "--seed", "4", "a.gen"]))
        rows = self.rows(self.ok(["--genepop", "--seed", "4", "--columns", chosen, "a.gen"]))
        self.assertEqual(rows[0], chosen.split(","))
        self.assertEqual(rows[1:], [[r[c] for c in chosen.split(",")] for r in full])
        # A count file's rows, no q_bh to place.
        rows = self.rows(self.ok(["--batch", "--columns", "n,file", "sample.txt", "hw.txt"]))
        self.assertEqual(rows, [["n", "file"], ["53", "sample.txt"], ["4", "hw.txt"]])
        for bad, said in (("n,x2,nope", "no column 'nope' in these rows; they have file,k,n,"),
                          ("n,n", "column 'n' named twice"),
                          ("q_bh", "no column 'q_bh'")):
            r = self.run_batch(["--batch", "--columns", bad, "sample.txt"])
            self.assertEqual((r.returncode, r.stdout), (2, b""), bad)
            self.assertTrue(r.stderr.decode().startswith("hwmc: --columns: " + said), r.stderr)

    def test_tables_of_chosen_columns_merge_as_one_run_writes_them(self):
        self.write("a.gen", make_genepop(3, 2, 12, 4, 1))
        self.write("b.gen", make_genepop(3, 3, 12, 4, 2))
        common = ["--genepop", "--seed", "4", "--exact"]
        chosen = ["--columns", "file,population,pop_name,locus,genotype_counts,p_lead,q_bh"]
        whole = self.ok(common + chosen + ["a.gen", "b.gen"]).stdout
        for i, name in enumerate(("a.gen", "b.gen")):
            self.write("c%d.tsv" % i, self.ok(common + chosen + [name]).stdout.decode())
            self.write("p%d.tsv" % i, self.ok(common + [name]).stdout.decode())
        self.assertEqual(self.ok(["--merge", "c0.tsv", "c1.tsv"]).stdout, whole)
        # The merge chooses from full tables the same way.
        merged = self.ok(["--merge"] + chosen + ["p0.tsv", "p1.tsv"]).stdout
        self.assertEqual(merged, whole)
        r = self.run_batch(["--merge", "--columns", "locus,nope", "p0.tsv"])
        self.assertEqual((r.returncode, r.stdout), (2, b""))
        self.assertIn(b"--columns: no column 'nope'", r.stderr)
        # Without the identifying columns the rows are nobody's.
        self.write("bare.tsv", self.ok(common + ["--columns", "locus,p_lead,q_bh", "a.gen"])
                   .stdout.decode())
        r = self.run_batch(["--merge", "bare.tsv"])
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"not an hwmc row table", r.stderr)


if __name__ == "__main__":
    unittest.main()
