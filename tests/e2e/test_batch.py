"""Batch mode: rows on standard output, failures on standard error, exit
statuses, reproducible experiments and reports byte for byte as the
interactive program appends them (the golden files)."""

import math
import os
import pty
import signal
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from harness import BINARY, FAKETIME_LIB, SAMPLE, Session

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden")
FROZEN = "2026-01-02 03:04:05"
FROZEN_EPOCH = "1767323045"  # FROZEN in UTC: the interactive program's seed
HEADER = ("file\tk\tn\tn_hom_ref\tn_het\tn_hom_alt\tgenotype_counts\tx2\tdf\tx2_crit\tp_x2"
          "\th_obs\th_exp\the\tf_is\td\tknd2\tseed").split("\t")
MC_HEADER = ("mc_runs mc_p_x2 mc_p_x2_low mc_p_x2_high mc_p_d_one mc_p_d_one_low "
             "mc_p_d_one_high mc_p_d_both mc_p_d_both_low mc_p_d_both_high").split()
# Every row ends (before p_lead and q_bh) with the leading p's log10.
LEAD = ["log10_p_lead"]
# Large enough that an experiment of many runs lasts some seconds.
BIG = "ab:60000\naa:50000\nbb:40000\ncc:30000\nac:20000\n"


def float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def golden(name):
    with open(os.path.join(GOLDEN, name), "rb") as f:
        return f.read()


class BatchCase(unittest.TestCase):
    """A temporary folder with two count files, and the binary run in it."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.write("sample.txt", SAMPLE)
        self.write("hw.txt", "aa:1\nab:2\nbb:1\n")

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w") as f:
            f.write(text)

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def run_batch(self, args, frozen=False, stdin=subprocess.DEVNULL):
        env = {"PATH": "/usr/bin:/bin", "TZ": "UTC", "LANG": "de_DE.UTF-8", "LC_ALL": "de_DE.UTF-8"}
        if frozen:
            env.update(LD_PRELOAD=FAKETIME_LIB, FAKETIME=FROZEN, FAKETIME_DONT_FAKE_MONOTONIC="1")
        return subprocess.run([BINARY] + args, cwd=self.dir, env=env, stdin=stdin,
                              capture_output=True, timeout=120)

    def rows(self, result):
        lines = result.stdout.decode().split("\n")
        self.assertEqual(lines[-1], "", "output ends with a line feed")
        return [line.split("\t") for line in lines[:-1]]

    def records(self, result):
        rows = self.rows(result)
        return [dict(zip(rows[0], row)) for row in rows[1:]]


class Batch(BatchCase):
    def test_columns_and_values_of_the_sample(self):
        r = self.run_batch(["--batch", "sample.txt", "hw.txt"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, b"")
        rows = self.rows(r)
        self.assertEqual(rows[0], HEADER + LEAD)
        self.assertEqual(len(rows), 3)
        sample = dict(zip(HEADER, rows[1]))
        # The interactive screen's figures, to their last bit.
        self.assertEqual(sample["file"], "sample.txt")
        self.assertEqual((sample["k"], sample["n"], sample["df"]), ("6", "53", "15"))
        self.assertEqual(sample["x2"], "169.81552")  # the shortest that reads back
        self.assertEqual(float32(float(sample["x2_crit"])), float32(24.996))
        self.assertEqual(float32(float(sample["d"])), float.fromhex("0x1.5f40b8p-4"))
        self.assertAlmostEqual(float(sample["h_obs"]), 43 / 53, places=15)
        self.assertAlmostEqual(float(sample["knd2"]), 1.9487924419417, places=12)
        self.assertTrue(0 < float(sample["p_x2"]) < 1e-27)
        self.assertEqual(sample["seed"], "")
        hw = dict(zip(HEADER, rows[2]))
        self.assertEqual((hw["x2"], hw["p_x2"], hw["d"]), ("0", "1", "0"))

    def test_seeded_runs_are_reproducible_and_report_as_the_interactive_program(self):
        args = ["--batch", "--runs", "3200", "--seed", FROZEN_EPOCH, "--report", "out.txt",
                "sample.txt", "hw.txt"]
        first = self.run_batch(args, frozen=True)
        self.assertEqual(first.returncode, 0, first.stderr)
        rows = self.rows(first)
        self.assertEqual(rows[0], HEADER + MC_HEADER + LEAD)
        values = dict(zip(rows[0], rows[1]))
        self.assertEqual(values["seed"], FROZEN_EPOCH)
        self.assertEqual(values["mc_runs"], "3200")
        self.assertEqual(values["mc_p_x2"], "0")
        # Clopper-Pearson limits of 0 hits in 3200: 0 and 1 - 0.025^(1/3200).
        self.assertEqual(values["mc_p_x2_low"], "0")
        self.assertAlmostEqual(float(values["mc_p_x2_high"]), 1 - 0.025 ** (1 / 3200), places=15)
        # Every replicate of hw.txt is a hit: still an interval (the report
        # shows none).
        hw = dict(zip(rows[0], rows[2]))
        self.assertEqual((hw["mc_p_x2"], hw["mc_p_x2_high"]), ("1", "1"))
        self.assertAlmostEqual(float(hw["mc_p_x2_low"]), 0.025 ** (1 / 3200), places=15)
        self.assertEqual(self.read("out.txt"),
                         golden("sample_mc.txt") + golden("all_hits_mc.txt"))

        second = self.run_batch(args[:-3] + ["again.txt", "sample.txt", "hw.txt"], frozen=True)
        self.assertEqual(second.stdout, first.stdout)
        other = self.run_batch(["--batch", "--runs", "3200", "--seed", "1", "sample.txt"])
        self.assertNotEqual(self.rows(other)[1], rows[1])

    def test_report_without_runs_and_the_end_marks_trimmed_once(self):
        with open(os.path.join(self.dir, "out.txt"), "wb") as f:
            f.write(b"\x1a\x1a")
        r = self.run_batch(["--batch", "--report", "out.txt", "sample.txt"], frozen=True)
        self.assertEqual(r.returncode, 0)
        self.assertEqual(self.read("out.txt"), b"\x1a\x1a" + golden("sample_no_mc.txt"))

    def test_a_bad_file_among_good_ones(self):
        self.write("bad.txt", "aa:1\nab:-2\n")
        self.write("one.txt", "aa:10\n")
        r = self.run_batch(["--batch", "--report", "out.txt", "sample.txt", "bad.txt",
                            "missing.txt", "one.txt", "hw.txt"], frozen=True)
        self.assertEqual(r.returncode, 1)
        self.assertEqual([row[0] for row in self.rows(r)], ["file", "sample.txt", "hw.txt"])
        self.assertEqual(r.stderr.decode().splitlines(), [
            'hwmc: bad.txt: negative count in record "ab:-2"',
            "hwmc: missing.txt: failure at opening - the file is possibly missing",
            "hwmc: one.txt: only one allele class in file - nothing to test",
        ])
        self.assertEqual(self.read("out.txt").count(b"Name of input file"), 2)

    def test_usage_errors_read_and_write_nothing(self):
        for args in (["--batch"], ["--batch", "--runs", "0", "sample.txt"],
                     ["--batch", "--runs", "65001", "sample.txt"],
                     ["--batch", "--runs", "12x", "sample.txt"],
                     ["--batch", "--seed", "4294967296", "sample.txt"],
                     ["--batch", "--seed", "-1", "sample.txt"],
                     ["--batch", "--frobnicate", "sample.txt"],
                     ["--batch", "--report", "out.txt", "--runs"],
                     ["--runs", "5"],
                     ["--frobnicate", "sample.txt", "out.txt"]):
            r = self.run_batch(args)
            self.assertEqual(r.returncode, 2, args)
            self.assertEqual(r.stdout, b"", args)
            self.assertIn(b"usage: hwmc", r.stderr, args)
            self.assertLessEqual(len(r.stderr.splitlines()), 2, args)
            self.assertFalse(os.path.exists(os.path.join(self.dir, "out.txt")), args)

    def test_any_batch_option_selects_batch_mode(self):
        r = self.run_batch(["--batch", "--seed", "1", "--runs", "20", "sample.txt", "hw.txt"])
        self.assertEqual(r.returncode, 0, r.stderr)
        # Without --batch: both arguments are input files, not an output file.
        same = self.run_batch(["--seed", "1", "--runs", "20", "sample.txt", "hw.txt"])
        self.assertEqual((same.returncode, same.stdout, same.stderr), (0, r.stdout, b""))
        self.write("small.gen", SMALL_GEN)
        gen = self.run_batch(["--genepop", "small.gen"])
        self.assertEqual(gen.returncode, 0, gen.stderr)
        self.assertEqual(gen.stdout, self.run_batch(["--batch", "--genepop", "small.gen"]).stdout)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "hw.txt.rep")))

    def test_every_number_has_no_more_digits_than_it_needs(self):
        self.write("small.gen", SMALL_GEN)
        runs = self.run_batch(["--runs", "300", "--seed", "8", "--exact", "--max-tables", "0",
                               "--tables", "700", "sample.txt", "hw.txt"])
        gen = self.run_batch(["--genepop", "--exact", "--runs", "50", "--seed", "3",
                              "small.gen"])
        checked = 0
        for r in (runs, gen):
            self.assertEqual(r.returncode, 0, r.stderr)
            for row in self.records(r):
                for name, cell in row.items():
                    if name in ("file", "pop_name", "locus", "exact_method",
                                "genotype_counts") or cell in ("", "NA"):
                        continue
                    if "." not in cell and "e" not in cell:
                        continue  # an integer, every digit needed
                    self.assert_shortest(name, cell, as_float32=name in FLOAT32_COLUMNS)
                    checked += 1
        self.assertGreater(checked, 100)

    def assert_shortest(self, name, cell, as_float32):
        mantissa = cell.split("e")[0]
        digits = len(mantissa.replace("-", "").replace(".", "").lstrip("0")) or 1
        value = float32(float(cell)) if as_float32 else float(cell)
        self.assertEqual(float32(value) if as_float32 else value, value, name)
        if digits > 1:
            shorter = float("%.*g" % (digits - 1, value))
            if as_float32:
                shorter = float32(shorter)
            self.assertNotEqual(shorter, value, f"{name} {cell} could be shorter")

    def test_help_and_version(self):
        for args in (["--help"], ["--batch", "--help"]):
            r = self.run_batch(args)
            self.assertEqual(r.returncode, 0)
            self.assertIn(b"[--batch] [OPTION]... FILE...", r.stdout)
            for option in (b"--runs N", b"--tables auto", b"p_lead", b"(b+1)/(m+1)",
                           b"Clopper-Pearson"):
                self.assertIn(option, r.stdout)
            self.assertLessEqual(max(len(line) for line in r.stdout.splitlines()), 79)
        r = self.run_batch(["--version"])
        self.assertEqual(r.returncode, 0)
        self.assertRegex(r.stdout.decode(), r"^hwmc \d+\.\d+\n$")

    def test_options_end_at_double_dash(self):
        self.write("--runs", SAMPLE)
        r = self.run_batch(["--batch", "--", "--runs"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.rows(r)[1][0], "--runs")

    def test_ctrl_c_exits_130_with_the_rows_written_intact(self):
        self.write("big.txt", BIG)
        proc = subprocess.Popen([BINARY, "--batch", "--runs", "65000", "--seed", "3",
                                 "--report", "out.txt", "sample.txt", "big.txt"],
                                cwd=self.dir, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        header = proc.stdout.readline()
        first = proc.stdout.readline()
        # Interrupted in the second file's experiment: the first one's report
        # is whole.
        report_path = os.path.join(self.dir, "out.txt")
        deadline = time.monotonic() + 10
        while not (os.path.exists(report_path) and self.read("out.txt").endswith(b";\r\n")):
            self.assertLess(time.monotonic(), deadline, "the first report is written")
            time.sleep(0.01)
        proc.send_signal(signal.SIGINT)
        rest, err = proc.communicate(timeout=10)
        self.assertEqual(proc.returncode, 130)
        self.assertEqual(header.decode().split("\t")[0], "file")
        self.assertTrue(first.startswith(b"sample.txt\t") and first.endswith(b"\n"))
        self.assertEqual(rest, b"")
        report = self.read("out.txt")
        self.assertEqual(report.count(b"Name of input file"), 1)
        self.assertTrue(report.endswith(b";\r\n"))

    def test_progress_line_on_a_terminal_erased_when_done(self):
        self.write("big.txt", BIG)
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(self.dir)
            out = os.open("rows.tsv", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.dup2(out, 1)
            os.execv(BINARY, [BINARY, "--batch", "--runs", "400", "--seed", "1", "big.txt"])
        seen = b""
        while True:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
        _, status = os.waitpid(pid, 0)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0)
        self.assertIn(b"hwmc: file 1 of 1, ", seen)
        self.assertIn(b" runs/s, ", seen)
        # Erased before the note on samples above 32768 copies (once).
        self.assertTrue(seen.endswith(b"\r\x1b[K" + NOT_UNIFORM_NOTE.replace(b"\n", b"\r\n")),
                        seen[-40:])
        self.assertEqual(len(self.read("rows.tsv").splitlines()), 2)
        # Only the note on standard error when it is not a terminal.
        r = self.run_batch(["--batch", "--runs", "400", "--seed", "1", "big.txt"])
        self.assertEqual(r.stderr, NOT_UNIFORM_NOTE)


NOT_UNIFORM_NOTE = (
    b"hwmc: big.txt: more than 32768 allele copies: the permutation test's replicates are not "
    b"uniform permutations (the generator gives 15 bits), so its p values are approximate; "
    b"--exact is exact at any size\n")

EXACT_HEADER = ["exact_method", "exact_tables"] + [
    p + suffix for p in ("p_prob", "p_x2e", "p_llr", "p_deficit", "p_excess")
    for suffix in ("", "_low", "_high") + (("_mid",) if p == "p_prob" else ())] + ["u_score"] + [
    p + suffix for p in ("p_u_deficit", "p_u_excess") for suffix in ("", "_low", "_high")]
# Columns of float32 figures: the shortest decimal that reads back as a float32.
FLOAT32_COLUMNS = {"x2", "x2_crit", "d", "mc_p_x2", "mc_p_d_one", "mc_p_d_both"}
GENEPOP_HEADER = (HEADER[:1] + ["population", "pop_name", "locus"] + HEADER[1:3] + ["missing"]
                  + HEADER[3:])
# Two populations, three loci (the last named on its own line), line ends CR
# LF in the first population; a missing genotype in each population, a
# locus with one allele in the first.
SMALL_GEN = ("Test file\r\nL1, L2\r\nMono\r\nPOP\r\n"
             "a1 , 0101 0102 0303\r\na2 , 0102\t0202 0303\r\n"
             "a3 , 0202 0000 0303\r\na4 , 0101 0101 0303\r\n"
             "  pop  \nb1 , 0103 0101 0300\nb2 , 0303 0102 0303\nb3 , 0101 0202 0304\n")


def wide_gen(classes):
    """One population whose first locus has the given number of 3-digit
    allele classes (each individual pairs two new ones), the second two."""
    lines = ["wide", "Wide, Two", "Pop"]
    for i in range(0, classes, 2):
        lines.append(f"w{i} , {100 + i:03d}{101 + i:03d} 001002")
    return "\n".join(lines) + "\n"


def benjamini_hochberg(ps):
    order = sorted((p, i) for i, p in enumerate(ps))
    m = len(ps)
    q = [0.0] * m
    running = 1.0
    for rank in range(m, 0, -1):
        p, i = order[rank - 1]
        running = min(running, m / rank * p)
        q[i] = running
    return q


class ExactAndGenepop(BatchCase):
    def test_exact_enumeration_of_a_small_sample_by_hand(self):
        # N = 4, four copies of each allele: the tables with 0, 2 and 4
        # heterozygotes have probabilities 3/35, 24/35 and 8/35.
        r = self.run_batch(["--batch", "--exact", "hw.txt"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.rows(r)[0], HEADER + EXACT_HEADER + LEAD)
        row = self.records(r)[0]
        self.assertEqual((row["exact_method"], row["exact_tables"], row["seed"]),
                         ("enumeration", "3", ""))
        # U = 2N (1/4 + 1/4) - N = 0, and with two alleles the score tests are
        # the heterozygote tests.
        self.assertEqual(row["u_score"], "0")
        for name, value in (("p_prob", 1.0), ("p_deficit", 27 / 35), ("p_excess", 32 / 35),
                            ("p_u_deficit", 27 / 35), ("p_u_excess", 32 / 35)):
            self.assertAlmostEqual(float(row[name]), value, places=12)
            self.assertEqual(row[name + "_low"], row[name])
            self.assertEqual(row[name + "_high"], row[name])
        # The mid-p: less half of the sample's own probability, 24/35.
        self.assertAlmostEqual(float(row["p_prob_mid"]), 1 - 12 / 35, places=12)

    def test_sampled_figures_follow_the_seed_and_not_the_threads(self):
        args = ["--batch", "--exact", "--max-tables", "0", "--tables", "30000", "--seed", "12",
                "sample.txt", "hw.txt"]
        first = self.run_batch(args)
        self.assertEqual(first.returncode, 0, first.stderr)
        for threads in ("1", "2", "5"):
            again = self.run_batch(args[:1] + ["--threads", threads] + args[1:])
            self.assertEqual(again.stdout, first.stdout, threads)
        for row in self.records(first):
            self.assertEqual((row["exact_method"], row["exact_tables"], row["seed"]),
                             ("sampling", "30000", "12"))
            self.assertLessEqual(float(row["p_excess_low"]), float(row["p_excess"]))
            self.assertLessEqual(float(row["p_excess"]), float(row["p_excess_high"]))
        hw = self.records(first)[1]
        self.assertAlmostEqual(float(hw["p_excess"]), 32 / 35, delta=0.01)
        other = self.run_batch(args[:7] + ["13"] + args[8:])
        self.assertNotEqual(self.records(other)[1]["p_excess"], hw["p_excess"])

        # Units of a Genepop file run side by side: the same figures again.
        made = subprocess.run(["/usr/bin/python3", os.path.join(
            os.environ["HWMC_SOURCE_DIR"], "scripts", "make-genepop.py"), "4", "3", "15", "5",
            "8"], capture_output=True, check=True)
        with open(os.path.join(self.dir, "made.gen"), "wb") as f:
            f.write(made.stdout)
        args = ["--batch", "--genepop", "--exact", "--max-tables", "0", "--tables", "3000",
                "--seed", "5", "made.gen"]
        first = self.run_batch(args)
        self.assertEqual(first.returncode, 0, first.stderr)
        self.assertEqual(len(self.rows(first)), 1 + 4 * 3)
        for threads in ("1", "3"):
            self.assertEqual(self.run_batch(args + ["--threads", threads]).stdout, first.stdout)

    def test_report_gains_the_exact_section_in_the_same_line_ends(self):
        plain = self.run_batch(["--batch", "--report", "plain.txt", "hw.txt"], frozen=True)
        exact = self.run_batch(["--batch", "--exact", "--report", "exact.txt", "hw.txt"],
                               frozen=True)
        self.assertEqual((plain.returncode, exact.returncode), (0, 0))
        section = ("\r\n\r\n\tExact conditional tests:\r\n\t3 tables, complete enumeration:\r\n"
                   "\t\tprobability test         P = 1\r\n"
                   "\t\tchi-square (X2)          P = 1\r\n"
                   "\t\tlikelihood ratio (G2)    P = 1\r\n"
                   "\t\theterozygote deficit     P = 0.771429\r\n"
                   "\t\theterozygote excess      P = 0.914286\r\n"
                   "\t\tU score test, deficit    P = 0.771429\r\n"
                   "\t\tU score test, excess     P = 0.914286\r\n"
                   "\t\tscore of the sample      U = 0\r\n")
        self.assertEqual(self.read("exact.txt"), self.read("plain.txt") + section.encode())

    def test_genepop_rows_columns_missing_and_q_values(self):
        self.write("small.gen", SMALL_GEN)
        r = self.run_batch(["--batch", "--genepop", "small.gen"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.rows(r)[0], GENEPOP_HEADER + LEAD + ["p_lead", "q_bh"])
        rows = self.records(r)
        self.assertEqual([(x["file"], x["population"], x["pop_name"], x["locus"], x["k"], x["n"],
                           x["missing"]) for x in rows], [
            ("small.gen", "1", "a1", "L1", "2", "4", "0"),
            ("small.gen", "1", "a1", "L2", "2", "3", "1"),
            ("small.gen", "1", "a1", "Mono", "1", "4", "0"),
            ("small.gen", "2", "b1", "L1", "2", "3", "0"),
            ("small.gen", "2", "b1", "L2", "2", "3", "0"),
            ("small.gen", "2", "b1", "Mono", "2", "2", "1")])
        # 11:2 12:1 22:1 against 1.5625, 1.875 and 0.5625 expected.
        self.assertAlmostEqual(float(rows[0]["x2"]), 0.1225 + 0.875 ** 2 / 1.875 + 0.4375 ** 2
                               / 0.5625, places=5)
        mono = rows[2]
        tests = GENEPOP_HEADER[GENEPOP_HEADER.index("x2"):]
        self.assertEqual([mono[c] for c in tests if c != "seed"], ["NA"] * (len(tests) - 1))
        self.assertEqual((mono["seed"], mono["p_lead"], mono["q_bh"]), ("", "NA", "NA"))
        tested = [x for x in rows if x is not mono]
        self.assertEqual([x["p_lead"] for x in tested], [x["p_x2"] for x in tested])
        q = benjamini_hochberg([float(x["p_x2"]) for x in tested])
        for x, expected in zip(tested, q):
            self.assertAlmostEqual(float(x["q_bh"]), expected, places=15)
        # With --runs and --exact the q values follow their leading p, over
        # the rows of every file of the run.
        self.write("copy.gen", SMALL_GEN)
        r = self.run_batch(["--batch", "--genepop", "--exact", "--runs", "200", "--seed", "4",
                            "small.gen", "copy.gen"])
        rows = [x for x in self.records(r) if x["locus"] != "Mono" or x["population"] == "2"]
        self.assertEqual(len(rows), 10)
        # Enumerated: p_prob enters as it is.
        self.assertEqual([x["p_lead"] for x in rows], [x["p_prob"] for x in rows])
        q = benjamini_hochberg([float(x["p_prob"]) for x in rows])
        for x, expected in zip(rows, q):
            self.assertAlmostEqual(float(x["q_bh"]), expected, places=15)
            self.assertEqual(x["seed"], "4" if x["mc_p_x2"] != "NA" else "")
        # Permutations: (b + 1)/(m + 1) enters, never the bare estimate.
        r = self.run_batch(["--genepop", "--runs", "200", "--seed", "4", "small.gen"])
        rows = [x for x in self.records(r) if x["mc_p_x2"] != "NA"]
        self.assertEqual(len(rows), 5)
        for x in rows:
            hits = round(float(x["mc_p_x2"]) * 200)
            self.assertEqual(float(x["p_lead"]), (hits + 1) / 201)
        q = benjamini_hochberg([float(x["p_lead"]) for x in rows])
        for x, expected in zip(rows, q):
            self.assertAlmostEqual(float(x["q_bh"]), expected, places=15)

    def test_tables_auto_stops_early_and_never_depends_on_the_threads(self):
        self.write("small.gen", SMALL_GEN)
        args = ["--exact", "--max-tables", "0", "--tables", "auto", "--seed", "6", "sample.txt",
                "hw.txt"]
        r = self.run_batch(args)
        self.assertEqual(r.returncode, 0, r.stderr)
        sample, hw = self.records(r)
        # sample.txt is far from the proportions: no 20th hit by the limit.
        self.assertEqual((sample["exact_tables"], sample["p_prob"]), ("100000", "0"))
        # hw.txt hits with every table: the 20th comes at the 20th draw.
        self.assertEqual((hw["exact_tables"], hw["p_prob"], hw["p_prob_mid"]), ("20", "1", "NA"))
        for threads in ("1", "3"):
            self.assertEqual(self.run_batch(["--threads", threads] + args).stdout, r.stdout)
        gen = self.run_batch(["--genepop", "--exact", "--max-tables", "0", "--tables", "auto",
                              "--seed", "6", "small.gen"])
        for x in self.records(gen):
            if x["p_prob"] == "NA":
                continue
            self.assertEqual(float(x["p_prob"]), 20 / int(x["exact_tables"]))
            self.assertEqual(x["p_lead"], x["p_prob"])  # 20/l is itself valid
        # Where the tables are enumerated, auto changes nothing.
        plain = self.run_batch(["--exact", "--seed", "6", "hw.txt"])
        self.assertEqual(self.run_batch(["--exact", "--tables", "auto", "--seed", "6", "hw.txt"])
                         .stdout, plain.stdout)

    def test_rows_wait_in_a_temporary_file_and_without_one_nothing_is_done(self):
        self.write("small.gen", SMALL_GEN)
        env_tmp = os.path.join(self.dir, "tmp")
        os.mkdir(env_tmp)
        args = [BINARY, "--genepop", "--report", "out.txt", "small.gen"]
        env = {"PATH": "/usr/bin:/bin", "TMPDIR": env_tmp}
        good = subprocess.run(args, cwd=self.dir, env=env, capture_output=True, timeout=60)
        self.assertEqual(good.returncode, 0, good.stderr)
        self.assertEqual(os.listdir(env_tmp), [])  # unlinked at once
        self.assertEqual(len(good.stdout.splitlines()), 7)
        os.remove(os.path.join(self.dir, "out.txt"))
        env["TMPDIR"] = os.path.join(self.dir, "none")
        bad = subprocess.run(args, cwd=self.dir, env=env, capture_output=True, timeout=60)
        self.assertEqual(bad.returncode, 1)
        self.assertEqual(bad.stdout, b"")
        self.assertEqual(bad.stderr.decode(), "hwmc: temporary file in %s: No such file or "
                         "directory\n" % env["TMPDIR"])
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out.txt")))

    def test_summary_after_the_rows_and_a_summary_that_cannot_be_written(self):
        self.write("small.gen", SMALL_GEN)
        self.write("copy.gen", SMALL_GEN)
        self.write("bad.gen", "title\nL1\nPop\nx , 0101\ny , 0101 0102\n")
        files = ["small.gen", "bad.gen", "copy.gen"]
        plain = self.run_batch(["--batch", "--genepop"] + files)
        r = self.run_batch(["--batch", "--genepop", "--summary", "s.tsv"] + files)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, plain.stdout)  # the rows do not change
        lines = self.read("s.tsv").decode().split("\n")
        self.assertEqual(lines[-1], "")
        table = [line.split("\t") for line in lines[:-1]]
        self.assertEqual(table[0], "file scope name units p_fisher fisher_x2 fisher_df q_bh "
                                   "f_is h_obs he".split())
        summary = [dict(zip(table[0], row)) for row in table[1:]]
        # The failed file has no rows; each good file its loci, populations, itself.
        self.assertEqual([(x["file"], x["scope"], x["name"], x["units"]) for x in summary],
                         [(f, scope, name, units) for f in ("small.gen", "copy.gen")
                          for scope, name, units in (("locus", "L1", "2"), ("locus", "L2", "2"),
                                                     ("locus", "Mono", "1"),
                                                     ("population", "1", "2"),
                                                     ("population", "2", "3"),
                                                     ("file", "", "5"))])
        # Fisher's method by its closed form for even degrees of freedom,
        # over the rows' p (p_x2 without --runs and --exact).
        rows = [x for x in self.records(plain) if x["file"] == "small.gen"]
        ps = [float(x["p_x2"]) for x in rows if x["p_x2"] != "NA"]
        y = -sum(math.log(p) for p in ps)
        expected = math.exp(-y) * sum(y ** j / math.factorial(j) for j in range(len(ps)))
        whole = summary[5]
        self.assertAlmostEqual(float(whole["fisher_x2"]), 2 * y, places=12)
        self.assertEqual(whole["fisher_df"], str(2 * len(ps)))
        self.assertAlmostEqual(float(whole["p_fisher"]), expected, places=14)
        # The ratio of sums over the units with a he.
        het = [x for x in rows if x["he"] != "NA"]
        ho = sum(float(x["h_obs"]) for x in het)
        he = sum(float(x["he"]) for x in het)
        self.assertAlmostEqual(float(whole["f_is"]), 1 - ho / he, places=14)
        self.assertAlmostEqual(float(whole["he"]), he / len(het), places=14)
        # The same file twice: the two file rows share q_bh over their scope.
        self.assertEqual(summary[5]["q_bh"], summary[11]["q_bh"])

        r = self.run_batch(["--batch", "--summary", "missing/s.tsv", "sample.txt"])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stdout, b"")
        self.assertEqual(r.stderr.decode(), "hwmc: missing/s.tsv: failure at opening\n")

    def test_a_malformed_genepop_file_among_good_ones(self):
        self.write("small.gen", SMALL_GEN)
        self.write("bad.gen", "title\nL1\nL2\nPop\nx , 0101 0102\ny , 0101\n")
        r = self.run_batch(["--batch", "--genepop", "--report", "out.txt", "small.gen", "bad.gen",
                            "missing.gen", "small.gen"], frozen=True)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(len(self.rows(r)), 1 + 2 * 6)
        err = r.stderr.decode().splitlines()
        self.assertEqual(len(err), 2, err)
        self.assertTrue(err[0].startswith("hwmc: bad.gen: line 6: "), err)
        self.assertTrue(err[1].startswith("hwmc: missing.gen: "), err)
        report = self.read("out.txt").decode()
        self.assertEqual(report.count("Name of input file: \"SMALL.GEN\""), 2 * 5)
        self.assertIn('Genepop file "small.gen", population 2 (b1), locus Mono: A=03 B=04\r\n'
                      '\r\n\tName of input file: "SMALL.GEN"', report)
        # Each heading on a line of its own, also after a report that ends in "3.841".
        self.assertEqual(report.count('\r\nGenepop file "small.gen"'), 2 * 5)
        # Without --genepop the same file is a count file, and not one.
        r = self.run_batch(["--batch", "small.gen"])
        self.assertEqual((r.returncode, len(self.rows(r))), (1, 1))

    def test_a_fault_in_the_last_population_drops_the_whole_file(self):
        # The file is read a population at a time: its first populations are
        # analysed (over more than one block of units) before the fault is met.
        many = "Many\nL1, L2\n" + "".join(
            f"Pop\nx{p} , 0101 0102\ny , 0202 0102\nz , 0102 0101\n" for p in range(200))
        self.write("small.gen", SMALL_GEN)
        self.write("late.gen", many + "Pop\nlast , 0101 0101\nbad , 0101\n")
        alone = self.run_batch(["--batch", "--genepop", "--seed", "3", "--runs", "20",
                                "--summary", "alone.tsv", "small.gen", "small.gen"])
        r = self.run_batch(["--batch", "--genepop", "--seed", "3", "--runs", "20",
                            "--summary", "late.tsv", "small.gen", "late.gen", "small.gen"])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.decode(), "hwmc: late.gen: line 805: 1 genotype for 2 loci\n")
        rows = self.records(r)
        self.assertEqual({x["file"] for x in rows}, {"small.gen"})
        self.assertEqual(len(rows), 2 * 6)
        # q_bh is over the rows kept only, as if the bad file had not been given.
        self.assertEqual(rows, self.records(alone))
        self.assertEqual(self.read("late.tsv"), self.read("alone.tsv"))

    def test_a_population_beyond_memory_is_out_of_memory_and_the_others_go_on(self):
        # A million loci: one population's tallies alone pass the limit.
        loci = 1000000
        self.write("wide.gen", "t\n" + ",".join(f"L{i}" for i in range(loci)) + "\nPop\na , " +
                   " ".join(["0102"] * loci) + "\nb , " + " ".join(["0101"] * loci) + "\n")
        self.write("small.gen", SMALL_GEN)
        r = subprocess.run(["/bin/sh", "-c", 'ulimit -v 300000; exec "$0" "$@"', BINARY, "--batch",
                            "--genepop", "wide.gen", "small.gen"],
                           cwd=self.dir, capture_output=True, timeout=120)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.decode(), "hwmc: wide.gen: out of memory\n")
        self.assertEqual({x["file"] for x in self.records(r)}, {"small.gen"})

    def test_alleles_beyond_the_permutation_test_and_the_letters(self):
        self.write("w128.gen", wide_gen(128))
        self.write("w130.gen", wide_gen(130))
        r = self.run_batch(["--batch", "--genepop", "--runs", "50", "--seed", "2", "--report",
                            "out.txt", "w128.gen", "w130.gen"], frozen=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr.decode(), "hwmc: w130.gen: population 1, locus Wide: more than "
                         "128 alleles, not in the report\n")
        rows = self.records(r)
        self.assertEqual([(x["file"], x["locus"], x["k"]) for x in rows], [
            ("w128.gen", "Wide", "128"), ("w128.gen", "Two", "2"),
            ("w130.gen", "Wide", "130"), ("w130.gen", "Two", "2")])
        for wide in (rows[0], rows[2]):
            self.assertEqual((wide["mc_runs"], wide["mc_p_x2"]), ("NA", "NA"))
            self.assertEqual(wide["h_obs"], "1")
            self.assertNotEqual(wide["p_x2"], "NA")
            # Without replicates the next p in the order leads, and is adjusted.
            self.assertEqual(wide["p_lead"], wide["p_x2"])
            self.assertNotEqual(wide["q_bh"], "NA")
        self.assertEqual(rows[1]["mc_runs"], "50")
        # The 128th class takes the last allele character, 192.
        report = self.read("out.txt").decode("latin-1")
        self.assertEqual(report.count("Name of input file"), 3)
        self.assertIn("locus Wide: A=100 B=101 C=102", report)
        self.assertIn(" \xc0=227\r\n", report)


# P(X2 >= observed) = 0.048428 exactly, with many tables tied in X2.
TIES = "ac:1\nbb:4\nbd:3\nbe:1\ndd:3\n"
# Two thousand million allele copies: the permutation array (16 GB) is far
# beyond the address space allowed below.
HUGE = "aa:500000000\nbb:500000000\nab:1\n"


class PermutationTest(BatchCase):
    def test_the_interactive_program_counts_the_hits_of_batch_with_its_second(self):
        with Session() as s:
            s.write_file("ties.txt", TIES)
            s.start(["ties.txt", "out.txt"], frozen_time=FROZEN)
            s.wait_for("(y/n)")
            s.send("y")
            s.wait_for("select key")
            s.send("n")
            s.wait_for("enter number of runs")
            s.send("65000\r")
            s.wait_for("confidence intervals")
            self.assertEqual(s.wait_exit(), 0)
            screen_p = float(s.row(19)[39:].split()[0])
            interactive_report = s.read_file("out.txt")
        self.write("ties.txt", TIES)
        r = self.run_batch(["--batch", "--runs", "65000", "--seed", FROZEN_EPOCH, "--report",
                            "out.txt", "ties.txt"], frozen=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        batch_p = float(self.records(r)[0]["mc_p_x2"])
        self.assertEqual(round(screen_p * 65000), round(batch_p * 65000))
        self.assertEqual(self.read("out.txt"), interactive_report)

    def test_an_experiment_beyond_the_memory_allowed_is_na_with_a_note(self):
        self.write("huge.txt", HUGE)
        r = subprocess.run(["/bin/sh", "-c", 'ulimit -v 1000000; exec "$0" "$@"', BINARY,
                            "--batch", "--runs", "10", "--seed", "1", "huge.txt", "hw.txt"],
                           cwd=self.dir, capture_output=True, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        huge, hw = self.records(r)
        self.assertEqual(huge["n"], "1000000001")
        self.assertEqual([huge[c] for c in MC_HEADER], ["NA"] * len(MC_HEADER))
        self.assertEqual(huge["seed"], "")
        self.assertEqual(hw["mc_runs"], "10")
        self.assertEqual(r.stderr, b"hwmc: huge.txt: the permutation test needs 15258 MiB, more "
                         b"than this process may use: its columns are NA; --exact tests any "
                         b"sample size\n")


class ReportsAndOutputStreams(BatchCase):
    """Where reports and rows go when the file or the reader is not the usual."""

    def test_a_fifo_as_report_gets_every_report_in_order(self):
        fifo = os.path.join(self.dir, "reports.fifo")
        os.mkfifo(fifo)
        received = []

        def read_all():
            with open(fifo, "rb") as f:
                received.append(f.read())

        reader = threading.Thread(target=read_all)
        reader.start()
        r = self.run_batch(["--batch", "--report", "reports.fifo", "sample.txt", "sample.txt",
                            "sample.txt"], frozen=True)
        reader.join(timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(received, [golden("sample_no_mc.txt") * 3])

    def test_a_report_that_cannot_be_opened_is_named_once_with_the_reason(self):
        os.mkdir(os.path.join(self.dir, "d"))
        r = self.run_batch(["--batch", "--report", "d", "sample.txt", "hw.txt"])
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.decode(), "hwmc: report d: Is a directory\n")
        self.assertEqual([row[0] for row in self.rows(r)], ["file", "sample.txt", "hw.txt"])

    def test_names_and_records_on_standard_error_are_escaped(self):
        self.write("bad\nhwmc: forged.txt", "aa:1\nab:\t-2\n")
        self.write("gp\x1b.gen", "T\nL1\nL2\nL3\nind1 , 0101 0101 0202\n")
        r = self.run_batch(["--batch", "bad\nhwmc: forged.txt"])
        self.assertEqual(r.stderr.decode(),
                         'hwmc: bad\\nhwmc: forged.txt: negative count in record "ab:\\t-2"\n')
        r = self.run_batch(["--batch", "--genepop", "gp\x1b.gen"])
        self.assertEqual(r.stderr.decode(), "hwmc: gp\\x1B.gen: line 5: an individual before the "
                         "first Pop line (is it missing?)\n")

    def test_no_control_byte_from_an_input_reaches_standard_error(self):
        bad = "A\x1b[2J\x1b]0;pwned\x07\rhwmc: all fine"
        header = ("##fileformat=VCFv4.2\n##contig=<ID=1>\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\t"
                  "FILTER\tINFO\tFORMAT\t%s\ts2\n" % bad)
        self.write("rec.vcf", header + "1\t10\t.\tA\tG\t.\t.\t.\tGT\t0/x\t0/0\n")
        self.write("ok.vcf", header + "1\t10\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/0\n")
        quiet = bad.replace(" ", "").replace("\r", "")  # one word of a sexes file
        self.write("sex.txt", "%s\tM\ns2\tF\n%s\tF\n" % (quiet, quiet))
        cases = [["--vcf", "rec.vcf"], ["--vcf", "--sex", "sex.txt", "ok.vcf"],
                 ["--vcf", "--seed", "1" + bad, "ok.vcf"]]
        if os.path.exists("/usr/bin/bgzip") and os.path.exists("/usr/bin/tabix"):
            subprocess.run(["bgzip", "-k", "ok.vcf"], cwd=self.dir, check=True)
            subprocess.run(["tabix", "-p", "vcf", "ok.vcf.gz"], cwd=self.dir, check=True)
            cases.append(["--vcf", "--region", "chr\x1b[2J\x07:1-5", "ok.vcf.gz"])
        for args in cases:
            r = self.run_batch(args)
            self.assertNotEqual(r.returncode, 0, args)
            self.assertTrue(r.stderr.endswith(b"\n") and r.stderr.count(b"\n") <= 2, r.stderr)
            raw = [c for c in r.stderr if (c < 0x20 and c != 0x0A) or c == 0x7F]
            self.assertEqual(raw, [], (args, r.stderr))
            self.assertIn(b"\\x1B[2J", r.stderr, args)
        # The sexes file's duplicate keeps its words, escaped.
        r = self.run_batch(["--vcf", "--sex", "sex.txt", "ok.vcf"])
        self.assertEqual(r.stderr.decode(), 'hwmc: sex.txt: line 3: sample '
                         '"A\\x1B[2J\\x1B]0;pwned\\x07hwmc:allfine" listed twice (first on line 1)\n')

    def test_genepop_input_without_line_feeds_stops_at_once(self):
        r = self.run_batch(["--batch", "--genepop", "/dev/zero"])
        self.assertEqual((r.returncode, r.stderr), (1, b"hwmc: /dev/zero: line 1: line too long\n"))

    def test_a_reader_gone_ends_the_run_quietly_with_141(self):
        many = ["hw.txt"] * 50
        for ignore_sigpipe in (False, True):
            read_end, write_end = os.pipe()
            os.close(read_end)
            preexec = (lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)) if ignore_sigpipe \
                else None
            proc = subprocess.run([BINARY, "--batch"] + many, cwd=self.dir, stdout=write_end,
                                  stderr=subprocess.PIPE, preexec_fn=preexec, timeout=60)
            os.close(write_end)
            self.assertEqual((proc.returncode, proc.stderr), (141, b""), ignore_sigpipe)

    def test_ctrl_c_while_the_output_is_blocked_says_nothing_of_a_write_error(self):
        # Nobody reads the rows: once the pipe is full the program waits.
        proc = subprocess.Popen([BINARY, "--batch"] + ["hw.txt"] * 5000, cwd=self.dir,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(1.5)
        proc.send_signal(signal.SIGINT)
        out, err = proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 130)
        self.assertEqual(err, b"")
        self.assertGreater(len(out), 60000)


class InteractiveCommandLine(unittest.TestCase):
    def test_double_dash_keeps_the_interactive_meaning(self):
        with Session() as s:
            s.write_file("sample.txt", SAMPLE)
            s.start(["--", "sample.txt", "out.txt"], frozen_time=FROZEN)
            s.wait_for("(y/n)")
            s.send("n")
            self.assertEqual(s.wait_exit(), 0)
            self.assertEqual(s.read_file("out.txt"), golden("sample_no_mc.txt"))


if __name__ == "__main__":
    unittest.main()
