"""The help screen, the credits and the run counter's closing lines, seen on
a terminal."""

import os
import unittest

from harness import (LEFT, SAMPLE, Session, SessionCase, TmuxSession, set_stored_run_count,
                     stored_run_count)

HINT = ' (set "read-only" to supress counting)'

EMBLEM = [
    "\u2554" + "\u2550" * 11 + "\u2557",
    "\u2551 \u2554" + "\u2550" * 7 + "\u2557 \u2551",
    "\u2551 \u2551 \u2554\u2550\u2550\u2550\u2557 \u2551 \u2551",
    "\u2551 \u2551 \u255a\u2550\u2550\u2550\u255d \u2551 \u2551",
    "\u2551 \u2551  \u2642\u2640   \u2551 \u2551",
    "\u2551 \u255a" + "\u2550" * 7 + "\u255d \u2551",
    "\u255a" + "\u2550" * 11 + "\u255d",
]






class HelpScreen(SessionCase):
    files = {"sample.txt": SAMPLE}

    def test_one_argument_shows_the_help_then_analyses_the_file(self):
        s = self.s
        s.start(["sample.txt"])
        s.wait_for("press any key. . .")
        white = [
            (2, "after the name of the program type the name(s) of input and then"),
            (3, "(if you need) name of output files. If the output file already"),
            (4, "exists the program will append its output to it."),
            (5, "Example -"),
            (11, "Example of the input file -"),
            (21, "press any key. . ."),
        ]
        blue = [(8, "hwmc dat [dat1] [dat2] [..etc..] outp"), (14, "bc:1"), (15, "aa:10"),
                (16, "eg:25"), (17, "ad:16"), (18, "bd:1")]
        for y, text in white + blue:
            self.assertEqual(s.row(y).rstrip(), text, "row %d" % y)
            colour = 9 if (y, text) in blue else 15
            self.assertEqual(s.colours(1, y, len(text)), {(colour, 0)}, "row %d" % y)
        for y in (1, 6, 7, 9, 10, 12, 13, 19, 20, 22, 23, 24, 25):
            self.assertEqual(s.row(y).strip(), "", "row %d" % y)
        self.assertEqual(s.cursor(), (19, 21))

        # An extended key is one key press: the help goes away, the analysis
        # comes, and its question still waits for an answer.
        s.send(LEFT)
        s.wait_for("(y/n)")
        self.assertNotIn("press any key", s.text())
        s.wait_idle()
        self.assertIsNone(s.proc.poll())
        s.send("n")
        self.assertEqual(s.wait_exit(), 0)
        self.assertFalse(os.path.exists(s.path("out.txt")))


class HelpWithoutArguments(unittest.TestCase):
    def test_the_users_screen_comes_back(self):
        with TmuxSession() as t:
            t.start_shell()
            t.type("echo words-before-the-program")
            t.wait_for("\nwords-before-the-program")
            t.type("./hwmc; echo exit-code=$?")
            t.wait_for("press any key. . .")
            during = t.text()
            self.assertNotIn("words-before-the-program", during)
            self.assertIn("hwmc dat [dat1] [dat2] [..etc..] outp", during)
            t.send("x")
            t.wait_for("\nexit-code=")  # the output, not the command line
            after = t.text().split("\n")
            self.assertIn("words-before-the-program", after)
            self.assertNotIn("press any key. . .", "\n".join(after))
            code_line = [line for line in after if line.startswith("exit-code=")]
            self.assertEqual(code_line, ["exit-code=1"])
            self.assertIn("Thanks for running hwmc 1 times!", after)
            # The closing lines come below what was there; the marker line
            # they print is erased.
            self.assertLess(after.index("words-before-the-program"),
                            after.index("Thanks for running hwmc 1 times!"))
            self.assertNotIn("000000000", "\n".join(after))
            self.assertEqual(stored_run_count(t.binary), "1")


class CreditsAndClosingLines(SessionCase):
    files = {"sample.txt": SAMPLE}

    def run_to_the_end(self):
        s = self.s
        s.start(["sample.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.send("n")
        self.assertEqual(s.wait_exit(), 0)

    def test_emblem_and_credits_over_the_last_screen(self):
        s = self.s
        s.start(["sample.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.send("y")
        s.wait_for("select key")
        s.send("y")
        self.assertEqual(s.wait_exit(timeout=60), 0)
        for r, line in enumerate(EMBLEM):
            y = 5 + r
            self.assertEqual(s.row(y)[64:77], line, "row %d" % y)
            self.assertEqual(s.colours(65, y, 13), {(15, 8)}, "row %d" % y)
            self.assertEqual(s.row(y)[77:].strip(), "")
        lines = [s.row(17 + j)[54:].rstrip() for j in range(5)]
        self.assertTrue(lines[0].startswith("hwmc"))
        for j, text in enumerate(lines):
            self.assertTrue(0 < len(text) <= 26, text)
            self.assertEqual(s.colours(55, 17 + j, len(text)), {(15, 0)})
        # Drawn over the final Monte Carlo screen, which stays around them.
        self.assertTrue(s.row(2).startswith("95% confidence intervals"))
        self.assertTrue(s.row(17).startswith("  df: 15"))
        self.assertTrue(s.row(7).startswith("D(one tail)"))

    def test_thanks_line_counts_every_run(self):
        s = self.s
        self.run_to_the_end()
        x, y = s.find("Thanks for running hwmc 1 times!")
        self.assertEqual((x, y), (1, 22))
        self.assertEqual(s.colours(1, y, 32), {(0, 7)})
        self.assertEqual(s.row(y).rstrip(), "Thanks for running hwmc 1 times!")
        self.assertEqual(s.row(y + 1).strip(), "")
        self.assertNotIn("000000000", s.text())
        self.assertEqual(stored_run_count(s.binary), "1")

        with Session() as again:
            again.write_file("sample.txt", SAMPLE)
            with open(s.binary, "rb") as f, open(again.binary, "wb") as g:
                g.write(f.read())
            again.start(["sample.txt", "out.txt"])
            again.wait_for("(y/n)")
            again.send("n")
            self.assertEqual(again.wait_exit(), 0)
            self.assertIn("Thanks for running hwmc 2 times!", again.text())
            self.assertEqual(stored_run_count(again.binary), "2")

    def test_every_tenth_run_hints_at_read_only(self):
        s = self.s
        set_stored_run_count(s.binary, "9")
        self.run_to_the_end()
        line = "Thanks for running hwmc 10 times!" + HINT
        x, y = s.find(line)
        self.assertEqual(s.colours(1, y, len(line)), {(0, 7)})
        self.assertEqual(stored_run_count(s.binary), "10")
        self.assertTrue(os.access(s.binary, os.X_OK))

    def test_a_read_only_program_file_is_not_counted(self):
        s = self.s
        set_stored_run_count(s.binary, "41")
        os.chmod(s.binary, 0o555)
        self.run_to_the_end()
        self.assertNotIn("Thanks for running", s.text())
        self.assertNotIn("000000000", s.text())
        self.assertEqual(stored_run_count(s.binary), "41")
        self.assertEqual(os.stat(s.binary).st_mode & 0o7777, 0o555)


if __name__ == "__main__":
    unittest.main()
