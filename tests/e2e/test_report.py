"""The report appended to the output file: its bytes against golden files
(written with the clock frozen in UTC), the tail trim before the first report,
and the failures of the output file.

A missing golden file is written from the run when HWMC_UPDATE_GOLDEN=1 is
set; existing golden files are only ever compared, never overwritten."""

import os
import unittest

from harness import SAMPLE, Session, SessionCase, stored_run_count

FROZEN = "2026-01-02 03:04:05"
GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "golden")
MARK = b"\x1a"
# A sample in Hardy-Weinberg proportions: X2 = 0 and D = 0, so every
# replicate is a hit for all three probabilities.
IN_PROPORTION = "aa:1\nab:2\nbb:1\n"
SECOND = "ab:5\naa:3\nbb:2\n"


def golden(name):
    path = os.path.join(GOLDEN, name)
    if os.environ.get("HWMC_UPDATE_GOLDEN") and not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()




class ReportTestCase(SessionCase):
    files = {"sample.txt": SAMPLE}

    def answer_files(self, args, answers, program=None, frozen=True):
        """Runs the program on `args`, answering each file's Monte Carlo
        question from `answers` ('n', or 'y' for the default 3200 runs), and
        returns the exit code."""
        s = self.s
        clock = FROZEN if frozen else None
        if program:
            s.start(program[1:] + [s.binary] + args, frozen_time=clock, program=program[0])
        else:
            s.start(args, frozen_time=clock)
        for answer in answers:
            s.wait_for("(y/n)")
            s.send(answer)
            if answer == "y":
                s.wait_for("select key")
                s.send("y")
                s.wait_for("95% confidence intervals", timeout=60)
            # The next file's question, or the end: the previous question
            # is still on the screen until the next file clears it.
            s.wait_idle()
        return s.wait_exit(timeout=60)

    def assertGolden(self, data, name):
        expected = golden(name)
        if expected is None:
            with open(os.path.join(GOLDEN, name), "wb") as f:
                f.write(data)
            return
        self.assertEqual(data, expected, "report differs from golden/%s" % name)


class ReportContents(ReportTestCase):
    def test_sample_without_monte_carlo(self):
        self.assertEqual(self.answer_files(["sample.txt", "out.txt"], ["n"]), 0)
        report = self.s.read_file("out.txt")
        self.assertGolden(report, "sample_no_mc.txt")
        self.assertTrue(report.endswith(b"(k-1)*N*D*D = 1.949 <- chi-sq_05 = 3.841"))
        self.assertNotIn(b"M-Carlo", report)

    def test_sample_with_seeded_monte_carlo(self):
        self.assertEqual(self.answer_files(["sample.txt", "out.txt"], ["y"]), 0)
        report = self.s.read_file("out.txt")
        self.assertGolden(report, "sample_mc.txt")
        self.assertIn(b"|  M-Carlo Probability\r\n", report)
        self.assertIn(b"\t3200 runs made:\r\n", report)
        # Each probability is a whole number of hits out of the 3200 runs.
        for line in report.split(b"\r\n"):
            if b"estimated probability" in line:
                hits = float(line.rsplit(b" is ", 1)[1]) * 3200
                self.assertAlmostEqual(hits, round(hits), delta=0.01)
        # No replicate reaches the sample's X2: the interval starts at 0 and
        # its upper limit is sin^2(0.98 / sqrt(3200)).
        self.assertIn(b"for H-W\r\n              -> 0 - 0.000300095;\r\n", report)

    def test_interval_lines_left_out_where_every_replicate_hit(self):
        s = self.s
        s.write_file("hw.txt", IN_PROPORTION)
        self.assertEqual(self.answer_files(["hw.txt", "out.txt"], ["y"]), 0)
        report = s.read_file("out.txt")
        self.assertGolden(report, "all_hits_mc.txt")
        self.assertTrue(report.endswith(
            b"\r\n\r\n95% confidence intervals for probabilities (P):\r\nfor D\r\n"))
        self.assertNotIn(b"for H-W", report)
        self.assertNotIn(b"->", report)

    def test_file_name_is_upper_cased_in_the_report_only_for_a_to_z(self):
        s = self.s
        name = "my-Data_1.\u00e9x"  # the e-acute reaches the program as UTF-8
        s.write_file(name, SAMPLE)
        self.assertEqual(self.answer_files([name, "out.txt"], ["n"]), 0)
        report = s.read_file("out.txt")
        self.assertTrue(report.startswith(
            b'\r\n\tName of input file: "MY-DATA_1.\xc3\xa9X"\r\n\t' + b"-" * 34 + b"\r\n"))
        expected = golden("sample_no_mc.txt")
        if expected is not None:
            self.assertEqual(report.replace(b"MY-DATA_1.\xc3\xa9X", b"SAMPLE.TXT"), expected)

    def test_several_input_files_are_appended_in_order(self):
        s = self.s
        s.write_file("second.txt", SECOND)
        code = self.answer_files(["sample.txt", "second.txt", "sample.txt", "out.txt"],
                                 ["n", "n", "n"])
        self.assertEqual(code, 0)
        report = s.read_file("out.txt")
        self.assertGolden(report, "three_files.txt")
        names = [line for line in report.split(b"\r\n") if b"Name of input file" in line]
        self.assertEqual(names, [b'\tName of input file: "SAMPLE.TXT"',
                                 b'\tName of input file: "SECOND.TXT"',
                                 b'\tName of input file: "SAMPLE.TXT"'])
        one = golden("sample_no_mc.txt")
        if one is not None:
            self.assertTrue(report.startswith(one))
            self.assertTrue(report.endswith(one))


class ExistingOutputFile(ReportTestCase):
    def run_onto(self, existing):
        self.s.write_file("out.txt", existing)
        self.assertEqual(self.answer_files(["sample.txt", "out.txt"], ["n"]), 0)
        return self.s.read_file("out.txt")

    def test_text_without_marks_is_kept_and_followed_by_the_report(self):
        existing = b"earlier report\r\n\t\t  (k-1)*N*D*D = 0.123 <- chi-sq_05 = 3.841"
        report = self.run_onto(existing)
        one = golden("sample_no_mc.txt")
        self.assertEqual(report, existing + one)

    def test_trailing_marks_are_removed_first(self):
        existing = b"earlier" + MARK + b"text\r\n3.841"
        report = self.run_onto(existing + MARK * 3)
        self.assertEqual(report, existing + golden("sample_no_mc.txt"))

    def test_a_file_of_nothing_but_marks_is_kept(self):
        report = self.run_onto(MARK * 4)
        self.assertEqual(report, MARK * 4 + golden("sample_no_mc.txt"))

    def test_marks_are_trimmed_only_before_the_first_report(self):
        s = self.s
        s.write_file("out.txt", b"x" + MARK)
        s.write_file("second.txt", SECOND)
        self.assertEqual(self.answer_files(["sample.txt", "second.txt", "out.txt"], ["n", "n"]), 0)
        report = s.read_file("out.txt")
        self.assertTrue(report.startswith(b"x\r\n\tName of input file"))
        self.assertEqual(report.count(MARK), 0)


class OutputFileFailures(ReportTestCase):
    def assertEndedAtOnce(self, path):
        s = self.s
        x, y = s.find('failure at opening "%s"' % path)
        self.assertEqual(x, 1)
        self.assertEqual(s.fg(1, y), 15)
        self.assertNotIn("Thanks for running", s.text())
        self.assertEqual(stored_run_count(s.binary), "")
        self.assertTrue(s.modes_restored())
        self.assertTrue(s.output_tail_restores())

    def test_read_only_output_file(self):
        s = self.s
        existing = b"earlier report" + MARK
        s.write_file("ro.txt", existing, mode=0o444)
        program = None
        if os.geteuid() == 0:
            # Root may write anything: run the program as an ordinary user.
            os.chmod(s.dir, 0o755)
            program = ["/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        # (libfaketime cannot share its clock with another user: real time.)
        self.assertEqual(self.answer_files(["sample.txt", "ro.txt"], ["n"], program=program,
                                           frozen=False), 1)
        self.assertEndedAtOnce("ro.txt")
        self.assertEqual(s.read_file("ro.txt"), existing)

    def test_output_path_that_cannot_be_created(self):
        s = self.s
        self.assertEqual(self.answer_files(["sample.txt", "no/such/out.txt"], ["n"]), 1)
        self.assertEndedAtOnce("no/such/out.txt")
        self.assertFalse(os.path.exists(s.path("no")))

    def test_write_error_is_reported_and_ends_with_code_1(self):
        s = self.s
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full")
        self.assertEqual(self.answer_files(["sample.txt", "/dev/full"], ["n"]), 1)
        # The error line, then the closing lines below it (the run counted).
        x, y = s.find('failure at writing "/dev/full"')
        self.assertEqual(x, 10)
        self.assertEqual(s.fg(10, y), 12)
        self.assertIn("Thanks for running", s.text())
        self.assertTrue(s.modes_restored())
        self.assertTrue(s.output_tail_restores())

    def test_write_error_after_earlier_reports_keeps_them(self):
        # A file size limit lets the first report in and stops the second
        # part-way; the program must say so, leave the first one intact and
        # take back what it wrote of the second.
        s = self.s
        one = golden("sample_no_mc.txt")
        s.write_file("second.txt", SECOND)
        limit = len(one) + 100
        program = ["/bin/sh", "-c",
                   "trap '' XFSZ; exec /usr/bin/prlimit --fsize=%d \"$0\" \"$@\"" % limit]
        code = self.answer_files(["sample.txt", "second.txt", "out.txt"], ["n", "n"],
                                 program=program)
        self.assertEqual(code, 1)
        self.assertIsNotNone(s.find('failure at writing "out.txt"'))
        self.assertEqual(s.read_file("out.txt"), one)

if __name__ == "__main__":
    unittest.main()
