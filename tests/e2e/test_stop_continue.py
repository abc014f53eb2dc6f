"""Stopping the program as a shell does (kill -TSTP, Ctrl-Z of a shell) and
going on (fg): the terminal is the user's while the program is stopped, and
the program's own again, redrawn, afterwards."""

import signal
import time
import unittest

from harness import ENTER, ESC, SAMPLE, Session, open_runs_entry

# An experiment on this lasts long enough to be stopped in the middle.
BIG = "ab:60000\naa:50000\nbb:40000\ncc:30000\nac:20000\n"
# What a shell writes on the stopped program's terminal.
SHELL_LINES = b"\r\n[1]+  Stopped                 hwmc\r\n$ fg\r\n\x1b[2J$ "


def wait_until(predicate, what, timeout=10.0):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting until " + what)
        time.sleep(0.02)


class StopAndContinue(unittest.TestCase):
    def setUp(self):
        self.s = Session()

    def tearDown(self):
        self.s.close()

    def stop(self):
        s = self.s
        s.signal(signal.SIGTSTP)
        wait_until(s.stopped, "the program is stopped")
        s.settle(quiet=0.2)
        # The user's terminal: modes, visible cursor, default colours, and the
        # cursor below the program's screen for the shell's lines.
        self.assertTrue(s.modes_restored())
        self.assertFalse(s.cursor_hidden())
        self.assertTrue(s.output_tail_restores())
        self.assertEqual(s.cursor(), (1, 25))
        s.stream.feed(SHELL_LINES)

    def go_on(self):
        s = self.s
        s.signal(signal.SIGCONT)
        wait_until(lambda: not s.stopped(), "the program goes on")
        s.settle(quiet=0.3)
        self.assertTrue(s.in_program_modes())

    def test_stop_at_a_key_wait(self):
        s = self.s
        s.write_file("data.txt", SAMPLE)
        s.start(["data.txt", "out.txt"], job_control=True)
        s.wait_for("(y/n)")
        s.settle(quiet=0.2)
        screen = s.text()
        colours = [(s.fg(x, 1), s.bg(x, 1)) for x in range(1, 81)]
        self.stop()
        self.assertNotEqual(s.text(), screen)
        self.go_on()
        # Drawn again whole, exactly as it was.
        self.assertEqual(s.text(), screen)
        self.assertEqual([(s.fg(x, 1), s.bg(x, 1)) for x in range(1, 81)], colours)
        s.send("n")
        self.assertEqual(s.wait_exit(), 0)
        self.assertTrue(s.modes_restored())
        self.assertIn(b"Selander's D = 0.08576", s.read_file("out.txt"))

    def test_stop_during_an_experiment(self):
        s = self.s
        s.write_file("big.txt", BIG)
        open_runs_entry(s, ["big.txt", "out.txt"], job_control=True)
        s.send("65000" + ENTER)
        s.wait_for("runs made")
        s.settle(quiet=0.2)
        self.stop()
        self.go_on()
        # The progress screen again, and the experiment goes on from where it
        # was: Esc (a raw key again) ends it with the runs made so far.
        self.assertIn("Press Esc to terminate Monte Carlo simulation", s.text())
        self.assertTrue(s.cursor_hidden())
        first = int(s.row(12)[53:].split()[0])
        wait_until(lambda: s.settle(quiet=0.1) or int(s.row(12)[53:].split()[0]) > first,
                   "the run counter moves on")
        s.send(ESC)
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)
        self.assertEqual(s.row(14).rstrip(), "  calculations interrupted by user")
        runs = int(s.row(12)[53:].split()[0])
        self.assertTrue(first <= runs < 65000, runs)
        self.assertIn(b"\t%d runs made:\r\n" % runs, s.read_file("out.txt"))


if __name__ == "__main__":
    unittest.main()
