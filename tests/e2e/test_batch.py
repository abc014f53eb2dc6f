"""Batch mode: rows on standard output, failures on standard error, exit
statuses, reproducible experiments and reports byte for byte as the
interactive program appends them (the golden files)."""

import os
import pty
import signal
import struct
import subprocess
import tempfile
import time
import unittest

from harness import BINARY, FAKETIME_LIB, SAMPLE, Session

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden")
FROZEN = "2026-01-02 03:04:05"
FROZEN_EPOCH = "1767323045"  # FROZEN in UTC: the interactive program's seed
HEADER = ("file\tk\tn\tx2\tdf\tx2_crit\tp_x2\th_obs\th_exp\td\tknd2\tseed").split("\t")
MC_HEADER = ("mc_runs mc_p_x2 mc_p_x2_low mc_p_x2_high mc_p_d_one mc_p_d_one_low "
             "mc_p_d_one_high mc_p_d_both mc_p_d_both_low mc_p_d_both_high").split()
# Large enough that an experiment of many runs lasts some seconds.
BIG = "ab:60000\naa:50000\nbb:40000\ncc:30000\nac:20000\n"


def float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def golden(name):
    with open(os.path.join(GOLDEN, name), "rb") as f:
        return f.read()


class Batch(unittest.TestCase):
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

    def test_columns_and_values_of_the_sample(self):
        r = self.run_batch(["--batch", "sample.txt", "hw.txt"])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stderr, b"")
        rows = self.rows(r)
        self.assertEqual(rows[0], HEADER)
        self.assertEqual(len(rows), 3)
        sample = dict(zip(HEADER, rows[1]))
        # The interactive screen's figures, to their last bit.
        self.assertEqual(sample["file"], "sample.txt")
        self.assertEqual((sample["k"], sample["n"], sample["df"]), ("6", "53", "15"))
        self.assertEqual(sample["x2"], "169.815521")
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
        self.assertEqual(rows[0], HEADER + MC_HEADER)
        values = dict(zip(rows[0], rows[1]))
        self.assertEqual(values["seed"], FROZEN_EPOCH)
        self.assertEqual(values["mc_runs"], "3200")
        self.assertEqual(values["mc_p_x2"], "0")
        self.assertEqual(values["mc_p_x2_low"], "0")
        self.assertAlmostEqual(float(values["mc_p_x2_high"]), 0.000300095, places=9)
        # Every replicate of hw.txt is a hit: no interval, as in the report.
        hw = dict(zip(rows[0], rows[2]))
        self.assertEqual((hw["mc_p_x2"], hw["mc_p_x2_low"], hw["mc_p_x2_high"]), ("1", "NA", "NA"))
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
                     ["--runs", "5", "sample.txt", "out.txt"],
                     ["--frobnicate", "sample.txt", "out.txt"]):
            r = self.run_batch(args)
            self.assertEqual(r.returncode, 2, args)
            self.assertEqual(r.stdout, b"", args)
            self.assertIn(b"usage: hwmc", r.stderr, args)
            self.assertLessEqual(len(r.stderr.splitlines()), 2, args)
            self.assertFalse(os.path.exists(os.path.join(self.dir, "out.txt")), args)

    def test_help_and_version(self):
        for args in (["--help"], ["--batch", "--help"]):
            r = self.run_batch(args)
            self.assertEqual(r.returncode, 0)
            self.assertIn(b"--batch [OPTION]... FILE...", r.stdout)
            self.assertIn(b"--runs N", r.stdout)
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
        time.sleep(0.3)
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
        self.assertTrue(seen.endswith(b"\r\x1b[K"), seen[-40:])
        self.assertEqual(len(self.read("rows.tsv").splitlines()), 2)
        # Nothing on standard error when it is not a terminal.
        r = self.run_batch(["--batch", "--runs", "400", "--seed", "1", "big.txt"])
        self.assertEqual(r.stderr, b"")


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
