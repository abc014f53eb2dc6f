"""The program's frame: start-up, rejected input files, the exit paths and the
terminal handed back on every one of them."""

import os
import shutil
import signal
import unittest

from harness import SAMPLE, Session, SessionCase, run_piped, stored_run_count





class RejectedInputFiles(SessionCase):

    def test_missing_file_ends_at_once_without_counting(self):
        s = self.s
        s.start(["nosuch.txt", "out.txt"])
        self.assertEqual(s.wait_exit(), 1)
        where = s.find('failure at opening "nosuch.txt" - the file is possibly missing')
        self.assertEqual(where, (1, 2))
        self.assertEqual(s.fg(1, 2), 15)
        self.assertNotIn("Thanks for running", s.text())
        self.assertEqual(stored_run_count(s.binary), "")
        self.assertFalse(os.path.exists(s.path("out.txt")), "no report for a missing file")
        self.assertTrue(s.modes_restored())
        self.assertTrue(s.output_tail_restores())

    def test_file_that_is_not_an_input_file(self):
        s = self.s
        s.write_file("notes.txt", "hello, world\n")
        s.start(["notes.txt", "out.txt"])
        self.assertEqual(s.wait_exit(), 1)
        x, y = s.find('the file "notes.txt" is not input file - abort')
        self.assertEqual(x, 1)
        self.assertEqual(s.fg(1, y), 12)
        # The closing lines follow below it: the run was counted.
        self.assertIn("Thanks for running hwmc 1 times!", s.text())
        self.assertEqual(stored_run_count(s.binary), "1")
        self.assertTrue(s.modes_restored())
        self.assertTrue(s.output_tail_restores())

    def test_duplicate_heterozygote(self):
        s = self.s
        s.write_file("dup.txt", "ab:3\nba:2\n")
        s.start(["dup.txt", "out.txt"])
        self.assertEqual(s.wait_exit(), 1)
        x, y = s.find('The entry "ba" (or "ab") is encountered more than once,')
        self.assertEqual(x, 1)
        self.assertEqual(s.fg(1, y), 15)
        self.assertTrue(s.row(y + 1).startswith('check input file "dup.txt"'))
        self.assertEqual(s.fg(1, y + 1), 9)
        self.assertEqual(s.fg(len('check input file "') + 1, y + 1), 15)
        self.assertEqual(s.row(y + 2)[:4], "\u25ba\u25ba\u25ba ")
        self.assertTrue(s.row(y + 3).startswith("exit"))
        self.assertEqual(s.fg(1, y + 3), 12)

    def test_duplicate_homozygote_colours(self):
        s = self.s
        s.write_file("dup.txt", "aa:3\nbb:1\naa:2\n")
        s.start(["dup.txt", "out.txt"])
        self.assertEqual(s.wait_exit(), 1)
        x, y = s.find('The entry "aa" is encountered more than once,')
        self.assertEqual(s.fg(1, y), 15)
        self.assertEqual(s.fg(len("The entry ") + 1, y), 9)
        self.assertEqual(s.fg(1, y + 1), 15)
        self.assertEqual(s.fg(len('check input file "') + 1, y + 1), 9)
        self.assertEqual(s.fg(1, y + 2), 9)

    def test_all_counts_zero(self):
        s = self.s
        s.write_file("zero.txt", "aa:0\nab:0\n")
        s.start(["zero.txt", "out.txt"])
        self.assertEqual(s.wait_exit(), 1)
        x, y = s.find('possibly incorrect data in file "zero.txt"')
        self.assertEqual(x, 10)
        self.assertEqual(s.fg(10, y), 12)

    def test_earlier_reports_stay_when_a_later_file_fails(self):
        s = self.s
        s.write_file("good.txt", SAMPLE)
        s.write_file("zero.txt", "aa:0\n")
        s.start(["good.txt", "zero.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.send("n")
        self.assertEqual(s.wait_exit(), 1)
        report = s.read_file("out.txt")
        self.assertIn(b'Name of input file: "GOOD.TXT"', report)
        self.assertTrue(report.endswith(b"3.841"))


class ScreenAndExit(SessionCase):
    files = {"sample.txt": SAMPLE}

    def test_screen_starts_top_left_and_prompt_comes_below(self):
        s = self.s
        s.start(["sample.txt", "out.txt"])
        s.wait_for("(y/n)")
        self.assertTrue(s.row(1).startswith('file: "sample.txt"'))
        s.send("n")
        self.assertEqual(s.wait_exit(), 0)
        self.assertTrue(s.modes_restored())
        self.assertTrue(s.output_tail_restores())
        # The program's last cursor stood in column 1 of the erased marker
        # line; the shell continues on the line below it.
        x, y = s.cursor()
        self.assertEqual(x, 1)

    def test_ctrl_c_at_a_key_wait(self):
        s = self.s
        s.start(["sample.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.send("\x03")
        self.assertEqual(s.wait_exit(), 130)
        self.assertTrue(s.modes_restored())
        self.assertTrue(s.output_tail_restores())
        self.assertNotIn("Thanks for running", s.text())
        self.assertEqual(stored_run_count(s.binary), "")

    def test_sigterm_and_sighup(self):
        for sig, code in ((signal.SIGTERM, 143), (signal.SIGHUP, 129)):
            with Session() as s:
                s.write_file("sample.txt", SAMPLE)
                s.start(["sample.txt", "out.txt"])
                s.wait_for("(y/n)")
                s.signal(sig)
                self.assertEqual(s.wait_exit(), code)
                self.assertTrue(s.modes_restored())
                self.assertTrue(s.output_tail_restores())
                self.assertEqual(stored_run_count(s.binary), "")

    def test_many_arguments(self):
        # More than 127 input files: the file index does not wrap.
        s = self.s
        names = []
        for i in range(130):
            names.append("f%03d.txt" % i)
            s.write_file(names[-1], "ab:%d\naa:1\n" % (i + 1))
        s.start(names + ["out.txt"])
        for i in range(130):
            s.wait_for('file: "f%03d.txt"' % i)
            s.wait_for("(y/n)")
            s.send("n")
        self.assertEqual(s.wait_exit(), 0)
        report = s.read_file("out.txt")
        self.assertEqual(report.count(b"Name of input file"), 130)
        self.assertIn(b'"F129.TXT"', report)


class KeysFromAPipe(unittest.TestCase):
    def test_piped_keys_answer_the_questions(self):
        code, out, err, folder = run_piped(
            ["sample.txt", "out.txt"], keys=b"n", files={"sample.txt": SAMPLE})
        try:
            self.assertEqual(code, 0, err)
            self.assertNotIn(b"\x1b", out, "no escape sequences to a pipe")
            text = out.decode("utf-8")
            self.assertIn("Thanks for running hwmc 1 times!", text)
            for line in text.split("\n"):
                self.assertEqual(line, line.rstrip(" "))
            self.assertTrue(os.path.exists(os.path.join(folder, "out.txt")))
        finally:
            shutil.rmtree(folder)

    def test_piped_answers_survive_a_monte_carlo_run(self):
        # 'y' and 'y' run the default experiment on the first file; the 'n'
        # is the answer for the second file, not a key pressed during the run.
        code, out, err, folder = run_piped(
            ["a.txt", "b.txt", "out.txt"], keys=b"yyn",
            files={"a.txt": SAMPLE, "b.txt": SAMPLE})
        try:
            self.assertEqual(code, 0, out)
            with open(os.path.join(folder, "out.txt"), "rb") as f:
                report = f.read()
            self.assertEqual(report.count(b"Name of input file"), 2)
            self.assertEqual(report.count(b"3200 runs made"), 1)
        finally:
            shutil.rmtree(folder)

    def test_end_of_key_input_stops_instead_of_spinning(self):
        code, out, err, folder = run_piped(
            ["sample.txt", "out.txt"], keys=b"", files={"sample.txt": SAMPLE})
        try:
            self.assertEqual(code, 1)
            self.assertIn("keyboard input ended", out.decode("utf-8"))
        finally:
            shutil.rmtree(folder)

    def test_endless_input_is_refused_at_its_first_bytes(self):
        # Read whole, /dev/zero would fill the memory before any message.
        code, out, err, folder = run_piped(["/dev/zero", "out.txt"], timeout=20)
        try:
            self.assertEqual(code, 1, err)
            self.assertIn('the file "/dev/zero" is not input file - abort', out.decode("utf-8"))
        finally:
            shutil.rmtree(folder)

    def test_one_argument_help_then_analysis(self):
        code, out, err, folder = run_piped(
            ["sample.txt"], keys=b"xn", files={"sample.txt": SAMPLE})
        try:
            self.assertEqual(code, 0, err)
            self.assertFalse(os.path.exists(os.path.join(folder, "out.txt")))
        finally:
            shutil.rmtree(folder)


if __name__ == "__main__":
    unittest.main()
