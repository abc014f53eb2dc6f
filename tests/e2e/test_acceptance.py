"""A user's whole session, every screen at 80 x 25 and in a larger window,
the keys in the forms that real terminals send, the same session inside tmux,
and the installed program."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

from harness import (BUILD_DIR, ENTER, ESC, SAMPLE, Session, TmuxSession,
                     open_runs_entry)

FROZEN = "2026-01-02 03:04:05"
# A sample large enough that its experiment can be watched and stopped.
BIG = "ab:60000\naa:50000\nbb:40000\ncc:30000\nac:20000\n"
THIRD = "ab:5\naa:3\nbb:2\n"


def run_user_session(s, checkpoints=None):
    """Three input files and an output file: 'y' with the default runs on the
    first, a typed number and Esc on the second, 'n' on the third. Returns
    the screens (rows 1-25, first 80 columns) at each named checkpoint."""
    screens = {}

    def keep(name):
        s.wait_idle()
        screens[name] = [s.row(y)[:80] for y in range(1, 26)]

    s.start(["first.txt", "big.txt", "third.txt", "report.txt"], frozen_time=FROZEN)
    s.wait_for("(y/n)")
    keep("results")
    s.send("y")
    s.wait_for("select key")
    keep("dialogue")
    s.send("y")
    s.wait_for('file: "big.txt"')
    s.wait_for("(y/n)")
    keep("final+next")
    s.send("y")
    s.wait_for("select key")
    s.send("n")
    s.wait_for("enter number of runs")
    s.send("50000" + ENTER)
    s.wait_for("runs made")
    s.wait_for("Prob. null hypoth. (chi-sq)        \u2550\u25ba0")

    # The count under the bar (row 12) past 0, so that on a loaded machine
    # the interruption still comes after a run.
    def a_run_made():
        m = re.search(r"\d+", s.text().split("\n")[11])
        return m is not None and int(m.group()) > 0

    s.wait_until(a_run_made, "a run is made")
    s.send(ESC)
    s.wait_for("calculations interrupted by user")
    s.wait_for('file: "third.txt"')
    s.wait_for("(y/n)")
    keep("interrupted+next")
    s.send("n")
    code = s.wait_exit()
    keep("credits")
    return code, screens


class UserSession(unittest.TestCase):
    def make(self, cols=80, rows=25):
        s = Session(cols, rows)
        s.write_file("first.txt", SAMPLE)
        s.write_file("big.txt", BIG)
        s.write_file("third.txt", THIRD)
        return s

    def test_three_files_and_a_report(self):
        with self.make() as s:
            code, screens = run_user_session(s)
            self.assertEqual(code, 0)
            self.assertTrue(s.modes_restored())
            self.assertTrue(s.output_tail_restores())
            report = s.read_file("report.txt").decode("latin-1")
            names = re.findall(r'Name of input file: "([^"]*)"', report)
            self.assertEqual(names, ["FIRST.TXT", "BIG.TXT", "THIRD.TXT"])
            first, second, third = report.split("\tName of input file")[1:]
            self.assertIn("\t3200 runs made:\r\n", first)
            runs = int(re.search(r"\t(\d+) runs made:", second).group(1))
            self.assertTrue(0 < runs < 50000, runs)
            # The interrupted experiment's probabilities rest on its runs.
            shown = [l[39:].strip() for l in screens["interrupted+next"][18:21]]
            for label, value in zip(("agreement to H-W", "D=0   (one tail)",
                                     "D=0 (both tails)"), shown):
                m = re.search(re.escape(label) + r" is (\S+)\r\n", second)
                self.assertEqual(m.group(1), value)
            self.assertNotIn("Monte Carlo testing", third)
            self.assertTrue(third.endswith("3.841"))
            # The credits stand over the last screen, the closing lines below.
            credits = screens["credits"]
            self.assertTrue(credits[4].startswith(" " * 64 + "\u2554"))
            self.assertIn("Thanks for running hwmc 1 times!", "\n".join(credits))

    def test_a_larger_window_shows_the_same_screens_top_left(self):
        with self.make() as s:
            code80, screens80 = run_user_session(s)
        with self.make(100, 32) as s:
            code, screens = run_user_session(s)
            self.assertEqual(code, code80)
            # Nothing is drawn right of column 80.
            for y in range(1, 26):
                self.assertEqual(s.row(y)[80:].strip(), "", "row %d" % y)
        for name in ("results", "dialogue", "final+next"):
            self.assertEqual(screens[name], screens80[name], name)
        # The interrupted run stops after a number of runs that depends on
        # timing: compare everything else.
        strip = lambda rows: [re.sub(r"\d", "#", r) for r in rows]
        for name in ("interrupted+next",):
            a, b = strip(screens[name]), strip(screens80[name])
            for y in (1, 2, 3, 4, 11, 14, 17, 18):
                self.assertEqual(a[y - 1], b[y - 1], "%s row %d" % (name, y))
        # Credits and closing lines: the last screen with the third file's
        # answer cleared it.
        self.assertEqual(screens["credits"], screens80["credits"])

    def test_help_and_error_screens_in_a_larger_window(self):
        def screens_of(cols, rows):
            shots = []
            with Session(cols, rows) as s:
                s.write_file("sample.txt", SAMPLE)
                s.start(["sample.txt"])
                s.wait_for("press any key")
                s.wait_idle()
                shots.append(([s.row(y)[:80] for y in range(1, 26)], s.cursor(),
                              [[(s.fg(x, y), s.bg(x, y)) for x in range(1, 81)]
                               for y in range(1, 26)]))
                s.send("x")
                s.wait_for("(y/n)")
                s.send("n")
                s.wait_exit()
            with Session(cols, rows) as s:
                s.write_file("dup.txt", "ab:3\nba:2\n")
                s.start(["dup.txt", "out.txt"])
                s.wait_exit()
                shots.append(([s.row(y)[:80] for y in range(1, 26)], None,
                              [[(s.fg(x, y), s.bg(x, y)) for x in range(1, 81)]
                               for y in range(1, 26)]))
                for y in range(1, rows + 1):
                    self.assertEqual(s.row(y)[80:].strip(), "", "row %d" % y)
            return shots

        (help_big, error_big), (help80, error80) = screens_of(100, 32), screens_of(80, 25)
        self.assertEqual(help_big, help80)
        # The error screen ends on row 25: a 25-row terminal scrolls once more
        # when the shell's line comes below it, a larger window does not.
        self.assertEqual(error_big[0][1:25], error80[0][0:24])
        self.assertEqual(error_big[2][1:25], error80[2][0:24])

    def test_a_smaller_window_is_told_and_clipped(self):
        with Session(70, 20) as s:
            s.write_file("first.txt", SAMPLE)
            s.start(["first.txt", "report.txt"])
            s.wait_for("(y/n)")
            self.assertTrue(s.row(1).startswith('file: "first.txt"'))
            s.send("n")
            self.assertEqual(s.wait_exit(), 0)
            self.assertIn(b"80 x 25", bytes(s.raw))
            self.assertTrue(s.modes_restored())


class KeyForms(unittest.TestCase):
    """Every key the program reacts to, as xterm, VT and the Linux console
    send it."""

    LEFT_FORMS = ["\x1b[D", "\x1bOD", "\x1b[1;2D"]
    BACKSPACE_FORMS = ["\x7f", "\x08"]
    ENTER_FORMS = ["\r", "\r\n", "\n"]
    ANY_KEY_FORMS = ["\x1bOP", "\x1b[11~", "\x1b[[A", "\x1b[A", "\x1b[1~", "\x1b[H",
                     "\x1b[3~", "\x1b[6~", "\x1b[21~", "x"]

    def test_erasing_keys_and_enter(self):
        for erase in self.LEFT_FORMS + self.BACKSPACE_FORMS:
            for enter in self.ENTER_FORMS:
                with Session() as s:
                    s.write_file("sample.txt", SAMPLE)
                    open_runs_entry(s, ["sample.txt", "out.txt"], FROZEN)
                    s.send("17")
                    s.wait_idle()
                    s.send(erase)
                    s.wait_idle()
                    self.assertEqual(s.row(8).rstrip(), "enter number of runs -\u25ba 1",
                                     repr(erase))
                    s.send("2" + enter)
                    s.wait_for("95% confidence intervals")
                    self.assertEqual(s.wait_exit(), 0, repr((erase, enter)))
                    self.assertEqual(s.row(12)[18:20], "12", repr((erase, enter)))

    def test_any_key_forms_close_the_help_as_one_key(self):
        for key in self.ANY_KEY_FORMS:
            with Session() as s:
                s.write_file("sample.txt", SAMPLE)
                s.start(["sample.txt"])
                s.wait_for("press any key")
                s.send(key)
                s.wait_for("(y/n)")
                s.wait_idle()
                self.assertIsNone(s.proc.poll(), repr(key))
                s.send("n")
                self.assertEqual(s.wait_exit(), 0, repr(key))

    def test_esc_is_told_from_sequences(self):
        # An arrow key during a run does not stop it; a lone Esc does.
        with Session() as s:
            s.write_file("big.txt", BIG)
            open_runs_entry(s, ["big.txt", "out.txt"], FROZEN)
            s.send("50000\r")
            s.wait_for("runs made")
            for key in ("\x1b[A", "\x1bOP", "\x1b[[B"):
                s.send(key)
            # One key is taken per replicate: two refreshes later all three are.
            s.wait_until(lambda: s.keys_pending() == 0, "the program reads the keys")
            taken = s.runs_shown()
            s.wait_until(lambda: s.runs_shown() >= taken + 20, "the run goes on past the keys")
            self.assertNotIn("interrupted", s.text())
            s.send(ESC)
            s.wait_for("calculations interrupted by user")
            self.assertEqual(s.wait_exit(), 0)


class InsideTmux(unittest.TestCase):
    def test_smoke_session(self):
        with TmuxSession() as t:
            t.write_file("first.txt", SAMPLE)
            t.write_file("big.txt", BIG)
            t.write_file("third.txt", THIRD)
            t.start(["first.txt", "big.txt", "third.txt", "report.txt"], frozen_time=FROZEN)
            t.wait_for("(y/n)")
            self.assertIn("X\u00b2=169.815521 \u25c4- chi-sq_05 (15)=24.996", t.text())
            t.send("y")
            t.wait_for("select key")
            t.send("y")
            t.wait_for('file: "big.txt"')
            t.wait_for("(y/n)")
            t.send("y")
            t.wait_for("select key")
            t.send("n")
            t.wait_for("enter number of runs")
            t.type("50000")
            t.wait_for("runs made")
            t.send_named("Escape")
            t.wait_for("calculations interrupted by user")
            t.wait_for('file: "third.txt"')
            t.wait_for("(y/n)")
            t.send("n")
            self.assertEqual(t.wait_exit(), 0)
            self.assertIn("Thanks for running hwmc 1 times!", t.text())
            report = t.read_file("report.txt")
            self.assertEqual(report.count(b"Name of input file"), 3)


class Installed(unittest.TestCase):
    def test_install_puts_program_and_manual_into_the_prefix(self):
        build = BUILD_DIR
        prefix = tempfile.mkdtemp(prefix="hwmc-install-")
        try:
            subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                           check=True, capture_output=True)
            program = os.path.join(prefix, "bin", "hwmc")
            manual = os.path.join(prefix, "share", "man", "man1", "hwmc.1")
            self.assertTrue(os.access(program, os.X_OK))
            self.assertTrue(os.path.exists(manual))
            if shutil.which("groff"):
                r = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", manual],
                                   capture_output=True, text=True)
                self.assertEqual(r.stderr, "")
            # The installed program runs.
            r = subprocess.run([program, "nosuch.txt", "out.txt"], capture_output=True,
                               cwd=prefix)
            self.assertEqual(r.returncode, 1)
            self.assertIn(b"failure at opening", r.stdout)
        finally:
            shutil.rmtree(prefix)


if __name__ == "__main__":
    unittest.main()
