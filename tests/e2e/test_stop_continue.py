"""Stopping the program as a shell does (kill -TSTP, Ctrl-Z of a shell) and
going on (fg): the terminal is the user's while the program is stopped, and
the program's own again, redrawn, afterwards."""

import signal
import unittest

from harness import ENTER, ESC, SAMPLE, Session, SessionCase, open_runs_entry

# An experiment on this lasts long enough to be stopped in the middle.
BIG = "ab:60000\naa:50000\nbb:40000\ncc:30000\nac:20000\n"
# What a shell writes on the stopped program's terminal.
SHELL_LINES = b"\r\n[1]+  Stopped                 hwmc\r\n$ fg\r\n\x1b[2J$ "


class StopAndContinue(SessionCase):

    def stop(self):
        s = self.s
        s.signal(signal.SIGTSTP)
        s.wait_until(s.stopped, "the program is stopped")
        # It gave the terminal back before it stopped.
        s.drain()
        # The user's terminal: modes, visible cursor, default colours, and the
        # cursor below the program's screen for the shell's lines.
        self.assertTrue(s.modes_restored())
        self.assertFalse(s.cursor_hidden())
        self.assertTrue(s.output_tail_restores())
        self.assertEqual(s.cursor(), (1, 25))
        s.stream.feed(SHELL_LINES)

    def go_on(self, redrawn=None):
        """Continues the program and waits until `redrawn()` holds (by default
        until it waits for a key again)."""
        s = self.s
        s.signal(signal.SIGCONT)
        s.wait_until(lambda: not s.stopped(), "the program goes on")
        if redrawn is None:
            s.wait_idle()
        else:
            s.wait_until(redrawn, "the screen is drawn again")
        self.assertTrue(s.in_program_modes())

    def test_stop_at_a_key_wait(self):
        s = self.s
        s.write_file("data.txt", SAMPLE)
        s.start(["data.txt", "out.txt"], job_control=True)
        s.wait_for("(y/n)")
        s.wait_idle()
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
        s.wait_until(lambda: s.runs_shown() > 0, "runs are counted")
        self.stop()
        self.go_on(lambda: s.in_program_modes() and s.cursor_hidden()
                   and "Press Esc to terminate Monte Carlo simulation" in s.text()
                   and s.runs_shown() > 0)
        # The progress screen again, and the experiment goes on from where it
        # was: Esc (a raw key again) ends it with the runs made so far.
        self.assertIn("Press Esc to terminate Monte Carlo simulation", s.text())
        self.assertTrue(s.cursor_hidden())
        first = s.runs_shown()
        s.wait_until(lambda: s.runs_shown() > first, "the run counter moves on")
        s.send(ESC)
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)
        self.assertEqual(s.row(14).rstrip(), "  calculations interrupted by user")
        runs = int(s.row(12)[53:].split()[0])
        self.assertTrue(first <= runs < 65000, runs)
        self.assertIn(b"\t%d runs made:\r\n" % runs, s.read_file("out.txt"))


if __name__ == "__main__":
    unittest.main()
