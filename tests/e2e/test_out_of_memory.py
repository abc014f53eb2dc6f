"""The out-of-memory message pair on the final screen, with the closing lines
below it, counted or not."""

import os
import unittest

from harness import Session, SessionCase, set_stored_run_count, stored_run_count

# Two thousand million allele copies: the Monte Carlo permutation array does
# not fit in the address space the shell allows.
HUGE = "aa:500000000\nbb:500000000\nab:1\n"
MEMORY = "memory allocation error - program abort"
RE_DESIGNATE = "Try to re-designate alleles. Cut empty allele classes"


class OutOfMemory(SessionCase):
    files = {"huge.txt": HUGE}

    def run_out_of_memory(self):
        s = self.s
        s.start(["-c", "ulimit -v 1000000; exec ./hwmc huge.txt out.txt"], program="/bin/sh")
        s.wait_for("(y/n)")
        s.send("y")
        s.wait_for("select key")
        s.send("y")
        s.wait_for(RE_DESIGNATE)
        self.assertEqual(s.wait_exit(), 1)
        rows = [s.row(y).rstrip() for y in range(1, 26)]
        self.assertIn(" " * 9 + RE_DESIGNATE, rows)
        at = rows.index(" " * 9 + RE_DESIGNATE)
        self.assertEqual(rows[at + 1], MEMORY)
        self.assertEqual(s.fg(1, at + 2), 12)
        return rows[at + 2:]

    def test_both_lines_stay_above_the_thanks_line(self):
        set_stored_run_count(self.s.binary, "6")
        below = self.run_out_of_memory()
        self.assertEqual(below[0], "Thanks for running hwmc 7 times!")
        self.assertFalse(any(below[1:]))
        self.assertEqual(stored_run_count(self.s.binary), "7")

    def test_both_lines_stay_when_the_run_is_not_counted(self):
        os.chmod(self.s.binary, 0o555)
        below = self.run_out_of_memory()
        self.assertFalse(any(below))


if __name__ == "__main__":
    unittest.main()
