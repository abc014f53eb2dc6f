"""workflow/Snakefile run locally: its config checks, its plumbing (regions,
parts in order, the merge) with a stand-in for hwmc --vcf, and the real
thing: 4 parts of small VCFs merge to the table of one hwmc --vcf run, and
the parts of PLINK filesets (bfile=) to one hwmc --bfile run's."""

import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SOURCE_DIR = os.environ.get(
    "HWMC_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("HWMC_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
BINARY = os.environ.get("HWMC_BINARY", os.path.join(BUILD_DIR, "uncounted", "hwmc"))
SNAKEFILE = os.path.join(SOURCE_DIR, "workflow", "Snakefile")
SNAKEMAKE = shutil.which("snakemake", path="/usr/bin:/bin")
ENV = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": tempfile.gettempdir()}

# Stands in for hwmc --vcf (plain-text VCF, a made-up p per site from the
# seed and the site) and hands --merge to the real program: what the
# workflow does with the parts does not depend on the statistics.
STAND_IN = r'''#!/usr/bin/python3
import hashlib, os, sys
args = sys.argv[1:]
if "--merge" in args:
    os.execv(os.environ["REAL_HWMC"], ["hwmc"] + args)
def take(name):
    if name not in args:
        return None
    i = args.index(name)
    value = args[i + 1]
    del args[i:i + 2]
    return value
args.remove("--vcf")
count, region, seed = take("--list-regions"), take("--region"), take("--seed")
take("--threads")
path = args[-1]
sites = [l.split("\t")[:5] for l in open(path) if not l.startswith("#")]
if count is not None:
    per, run = -(-len(sites) // int(count)), []
    for s in sites + [None]:
        if run and (s is None or s[0] != run[0][0] or len(run) == per):
            print("%s:%s-%s" % (run[0][0], run[0][1], run[-1][1]))
            run = []
        run.append(s)
    sys.exit(0)
if region:
    chrom, span = region.split(":")
    low, high = map(int, span.split("-"))
    sites = [s for s in sites if s[0] == chrom and low <= int(s[1]) <= high]
leads = []
for s in sites:
    h = int(hashlib.sha256(("%s|%s" % (seed, "|".join(s))).encode()).hexdigest()[:12], 16)
    leads.append(float("nan") if h % 7 == 0 else h / 2.0 ** 48)
order = sorted((i for i, p in enumerate(leads) if p == p), key=lambda i: leads[i])
q, running = [float("nan")] * len(leads), 1.0
for rank in range(len(order), 0, -1):
    i = order[rank - 1]
    running = min(running, float(len(order)) / rank * leads[i])
    q[i] = running
cell = lambda v: "NA" if v != v else "%.17g" % v
# hwmc's columns of every row, then p_lead and q_bh; figures made up.
print("file\tchrom\tpos\tid\tk\tn\tx2\tdf\tx2_crit\tp_x2\th_obs\th_exp\the\tf_is\td\tknd2\tseed"
      "\tp_lead\tq_bh")
for s, p, x in zip(sites, leads, q):
    print("\t".join([path] + s[:3] + ["2", "4"] + ["NA"] * 10 + [seed, cell(p), cell(x)]))
'''


def missing_vcf_option():
    """The first option of the workflow's region listing this hwmc does not
    know (or the p_lead column its parts need), or None: the comparison with a
    real run waits for them."""
    r = subprocess.run([BINARY, "--vcf", "--list-regions", "1", "/nonexistent.vcf.gz"],
                       capture_output=True, env=ENV)
    for option in ("--vcf", "--list-regions"):
        if ("unknown option '%s'" % option).encode() in r.stderr:
            return option
    # The merge needs p_lead beside q_bh in every part.
    header = subprocess.run([BINARY, "--vcf", "/nonexistent.vcf.gz"], capture_output=True,
                            env=ENV).stdout.split(b"\n")[0].split(b"\t")
    if b"q_bh" in header and b"p_lead" not in header:
        return "p_lead column in its VCF rows"
    return None


def write_vcf(path, rng, chroms, sites, samples, spacing=50):
    lines = ["##fileformat=VCFv4.2"] + ["##contig=<ID=%s>" % c for c in chroms]
    lines.append('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">')
    lines.append("\t".join(["#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO",
                            "FORMAT"] + ["s%d" % i for i in range(samples)]))
    for chrom in chroms:
        pos = 0
        for _ in range(sites):
            pos += rng.randint(1, spacing)
            alts = rng.choice([["G"], ["G"], ["G"], ["G", "T"], ["G", "T", "C"]])
            k = len(alts) + 1
            calls = []
            for _ in range(samples):
                if rng.random() < 0.03:
                    calls.append("./.")
                else:
                    a = min(int(rng.expovariate(1.2)), k - 1)
                    b = a if rng.random() < 0.3 else min(int(rng.expovariate(1.2)), k - 1)
                    calls.append("%d/%d" % (a, b))
            lines.append("\t".join([chrom, str(pos), ".", "A", ",".join(alts), ".", "PASS", ".",
                                    "GT"] + calls))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def write_bfile(prefix, rng, chroms, sites, samples, spacing=50):
    """A PLINK 1 fileset: sexes and phenotypes in turn (some unknown), two
    alleles a site, some monomorphic, 3% missing calls."""
    with open(prefix + ".fam", "w") as f:
        for j in range(samples):
            sex = 0 if j % 11 == 10 else 1 + j % 2
            f.write("F%d I%d 0 0 %d %d\n" % (j // 4, j, sex, [1, 2, -9][j % 3]))
    width = (samples + 3) // 4
    with open(prefix + ".bim", "w") as bim, open(prefix + ".bed", "wb") as bed:
        bed.write(b"\x6c\x1b\x01")
        for chrom in chroms:
            pos = 0
            for v in range(sites):
                pos += rng.randint(1, spacing)
                p = 0.0 if v % 9 == 4 else rng.uniform(0.05, 0.6)
                bim.write("%s\t%s_%d\t0\t%d\tG\tA\n" % (chrom, chrom, v, pos))
                codes = []
                for _ in range(samples):
                    if rng.random() < 0.03:
                        codes.append(1)
                    else:
                        a1 = (rng.random() < p) + (rng.random() < p)
                        codes.append({2: 0, 1: 2, 0: 3}[a1])
                codes += [0] * (4 * width - samples)
                bed.write(bytes(codes[i] | codes[i + 1] << 2 | codes[i + 2] << 4
                                | codes[i + 3] << 6 for i in range(0, len(codes), 4)))


class WorkflowCase(unittest.TestCase):
    def setUp(self):
        if SNAKEMAKE is None:
            self.skipTest("snakemake is not installed (Debian package snakemake)")
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.hwmc = os.path.join(self.dir, "hwmc")
        shutil.copy(BINARY, self.hwmc)

    def tearDown(self):
        self.tmp.cleanup()

    def start_snakemake(self, config, env=None):
        return subprocess.Popen(
            [SNAKEMAKE, "-s", SNAKEFILE, "--cores", "2", "--directory", self.dir, "--quiet",
             "--config"] + ["%s=%s" % kv for kv in config.items()],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=dict(ENV, **(env or {})))

    @staticmethod
    def finish(process):
        stdout, stderr = process.communicate(timeout=600)
        return subprocess.CompletedProcess(process.args, process.returncode, stdout, stderr)

    def snakemake(self, config, env=None):
        return self.finish(self.start_snakemake(config, env))

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()


class WorkflowConfig(WorkflowCase):
    def test_a_missing_seed_or_a_seed_in_the_options_is_refused(self):
        base = {"vcf": "a.vcf.gz", "shards": "4", "out": "all.tsv", "hwmc": self.hwmc}
        cases = []
        for config, words in ((base, "no seed"),
                              (dict(base, seed="9", options="--exact --seed 3"),
                               "must not contain --seed"),
                              (dict(base, seed="x"), "seed must be a number"),
                              (dict(base, seed="1", shards="0"), "shards must be"),
                              (dict(base, seed="1", options="--threads=2"),
                               "must not contain --threads"),
                              (dict(base, seed="1", options="--exact --summary=s.tsv"),
                               "must not contain --summary: it names an output"),
                              (dict(base, seed="1", options="--html p.html"),
                               "must not contain --html: it names an output"),
                              (dict(base, seed="1", bfile="p"), "not both"),
                              (dict(base, seed="1", options="--bfile p"),
                               "must not contain --bfile")):
            cases.append((config, words, self.start_snakemake(config)))
        # Side by side: most of each run is Snakemake's own start.
        for config, words, process in cases:
            r = self.finish(process)
            self.assertNotEqual(r.returncode, 0, config)
            self.assertIn(words, (r.stdout + r.stderr).decode(), config)
            self.assertFalse(os.path.exists(os.path.join(self.dir, "all.tsv")))


class WorkflowPlumbing(WorkflowCase):
    def test_parts_of_two_files_come_back_in_order_with_q_over_all(self):
        stand_in = os.path.join(self.dir, "stand-in")
        with open(stand_in, "w") as f:
            f.write(STAND_IN)
        os.chmod(stand_in, 0o755)
        rng = random.Random(3)
        write_vcf(os.path.join(self.dir, "a.vcf"), rng, ["1", "2"], 25, 4)
        write_vcf(os.path.join(self.dir, "b.vcf"), rng, ["7"], 9, 4)
        env = {"REAL_HWMC": self.hwmc}
        r = self.snakemake({"vcf": "[a.vcf,b.vcf]", "shards": "4", "seed": "9",
                            "out": "all.tsv", "hwmc": stand_in}, env)
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        whole = [subprocess.run([stand_in, "--vcf", "--seed", "9", name], cwd=self.dir,
                                capture_output=True, check=True).stdout
                 for name in ("a.vcf", "b.vcf")]
        rows = whole[0] + whole[1][whole[1].index(b"\n") + 1:]
        merged = self.read("all.tsv")
        # The same rows; q_bh is the merge's, over both files' rows.
        cut = lambda t: [l.rsplit(b"\t", 1)[0] for l in t.split(b"\n")]
        self.assertEqual(cut(merged), cut(rows))
        # Neither parts nor regions stay behind, and a second run has
        # nothing to do.
        left = lambda: [f for _, _, files in os.walk(os.path.join(self.dir, "all.tsv.parts"))
                        for f in files]
        self.assertEqual(left(), [])
        made = os.stat(os.path.join(self.dir, "all.tsv")).st_mtime_ns
        again = self.snakemake({"vcf": "[a.vcf,b.vcf]", "shards": "4", "seed": "9",
                                "out": "all.tsv", "hwmc": stand_in}, env)
        self.assertEqual(again.returncode, 0, again.stderr.decode())
        self.assertEqual(os.stat(os.path.join(self.dir, "all.tsv")).st_mtime_ns, made)
        self.assertEqual(left(), [])


class WorkflowWithVcf(WorkflowCase):
    def setUp(self):
        super().setUp()
        missing = missing_vcf_option()
        if missing is not None:
            self.skipTest("this hwmc has no %s yet" % missing)
        for tool in ("bgzip", "tabix"):
            if shutil.which(tool, path="/usr/bin:/bin") is None:
                self.skipTest("%s is not installed (Debian package tabix)" % tool)

    def indexed_vcf(self, name, rng, chroms, sites, samples):
        path = os.path.join(self.dir, name)
        # Sites far apart, so that even an index of coarse bins tells regions.
        write_vcf(path, rng, chroms, sites, samples, spacing=60000)
        subprocess.run(["bgzip", "-f", path], check=True, env=ENV)
        subprocess.run(["tabix", "-p", "vcf", path + ".gz"], check=True, env=ENV)
        return name + ".gz"

    def test_four_parts_merge_to_one_run_over_the_whole(self):
        rng = random.Random(7)
        a = self.indexed_vcf("a.vcf", rng, ["1", "2"], 40, 30)
        # Braces in a name are no wildcard.
        b = self.indexed_vcf("b{x}.vcf", rng, ["X"], 15, 30)
        with open(os.path.join(self.dir, "pops.txt"), "w") as f:
            f.write("".join("s%d\t%s\n" % (i, "north" if i % 3 else "south")
                            for i in range(30)))
        options = "--exact --max-tables 0 --tables 400 --runs 200"
        r = self.snakemake({"vcf": "['%s','%s']" % (a, b), "pops": "pops.txt", "shards": "4",
                            "options": options, "seed": "9", "out": "all.tsv",
                            "summary": "all-summary.tsv", "html": "page.html",
                            "hwmc": self.hwmc})
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        regions = subprocess.run([self.hwmc, "--vcf", "--list-regions", "4", a], cwd=self.dir,
                                 capture_output=True, env=ENV).stdout.split()
        self.assertIn(len(regions), range(2, 5))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "all.tsv.parts", "regions")))
        whole = subprocess.run([self.hwmc, "--vcf", "--seed", "9", "--pops", "pops.txt",
                                "--summary", "whole-summary.tsv"]
                               + options.split() + ["--html", "whole.html", a, b], cwd=self.dir,
                               capture_output=True, env=ENV)
        self.assertEqual(whole.returncode, 0, whole.stderr.decode())
        self.assertEqual(self.read("all.tsv").decode(), whole.stdout.decode())
        self.assertEqual(self.read("all-summary.tsv"), self.read("whole-summary.tsv"))
        # The page of the parts is the whole run's, its header aside, once
        # the rows carry the sites' genotype counts (without them the page
        # lacks only those).
        page = self.read("page.html")
        self.assertTrue(ET.fromstring(page).tag.endswith("html"))
        if b"\tn_het\t" in self.read("all.tsv").split(b"\n", 1)[0] + b"\t":
            header = re.compile(rb"<header>.*?</header>", re.S)
            self.assertEqual(header.sub(b"", page), header.sub(b"", self.read("whole.html")))
        else:
            self.assertIn(page.count(b"<figure"),
                          range(1, self.read("whole.html").count(b"<figure")))

    def test_the_failed_list_of_the_parts_is_the_whole_runs(self):
        rng = random.Random(11)
        a = self.indexed_vcf("a.vcf", rng, ["1", "2"], 40, 30)
        with open(os.path.join(self.dir, "pops.txt"), "w") as f:
            f.write("".join("s%d\t%s\n" % (i, "north" if i % 3 else "south")
                            for i in range(30)))
        options = "--exact --hwe 0.3 --hwe-pops north"
        r = self.snakemake({"vcf": a, "pops": "pops.txt", "shards": "3", "options": options,
                            "seed": "5", "out": "all.tsv", "failed": "failed.txt",
                            "hwmc": self.hwmc})
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        whole = subprocess.run([self.hwmc, "--vcf", "--seed", "5", "--pops", "pops.txt"]
                               + options.split() + ["--failed", "whole-failed.txt", a],
                               cwd=self.dir, capture_output=True, env=ENV)
        self.assertEqual(whole.returncode, 0, whole.stderr.decode())
        self.assertEqual(self.read("all.tsv").decode(), whole.stdout.decode())
        self.assertTrue(self.read("whole-failed.txt"), "some site fails at 0.3")
        self.assertEqual(self.read("failed.txt"), self.read("whole-failed.txt"))
        # Without --hwe in the parts the merge has nothing to decide by.
        r = self.snakemake({"vcf": a, "shards": "2", "options": "--exact", "seed": "5",
                            "out": "bare.tsv", "failed": "bare-failed.txt", "hwmc": self.hwmc})
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(b"no column 'hwe_fail' for --failed", r.stderr)


if __name__ == "__main__":
    unittest.main()


class WorkflowWithBfile(WorkflowCase):
    def setUp(self):
        super().setUp()
        r = subprocess.run([BINARY, "--list-regions", "1", "--bfile", "/nonexistent"],
                           capture_output=True, env=ENV)
        if b"unknown option '--bfile'" in r.stderr:
            self.skipTest("this hwmc has no --bfile yet")

    def test_parts_of_filesets_merge_to_one_run_over_the_whole(self):
        rng = random.Random(11)
        # Sites far apart, an odd number of samples (the last byte partly
        # used), X counted by the .fam's sexes.
        write_bfile(os.path.join(self.dir, "a"), rng, ["1", "2"], 30, 41, spacing=60000)
        write_bfile(os.path.join(self.dir, "b"), rng, ["X"], 20, 41, spacing=60000)
        regions = subprocess.run([self.hwmc, "--list-regions", "3", "--bfile", "a"],
                                 cwd=self.dir, capture_output=True, env=ENV)
        self.assertEqual(regions.returncode, 0, regions.stderr.decode())
        self.assertIn(len(regions.stdout.split()), range(2, 5))
        options = "--exact --by-phenotype"
        r = self.snakemake({"bfile": "[a,b]", "shards": "3", "options": options, "seed": "5",
                            "out": "all.tsv", "summary": "all-summary.tsv",
                            "hwmc": self.hwmc})
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        whole = subprocess.run([self.hwmc, "--seed", "5", "--summary", "whole-summary.tsv"]
                               + options.split() + ["--bfile", "a", "--bfile", "b"],
                               cwd=self.dir, capture_output=True, env=ENV)
        self.assertEqual(whole.returncode, 0, whole.stderr.decode())
        merged = self.read("all.tsv").decode()
        self.assertEqual(merged, whole.stdout.decode())
        # Rows of both filesets and both groups, the X rows counted by sex.
        rows = [line.split("\t") for line in merged.splitlines()[1:]]
        self.assertEqual(len(rows), 2 * (60 + 20))
        self.assertEqual({row[6] for row in rows}, {"control", "case"})
        self.assertEqual(self.read("all-summary.tsv"), self.read("whole-summary.tsv"))
