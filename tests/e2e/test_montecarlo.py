"""The Monte Carlo experiment on screen: the runs dialogue, the progress
screen, Esc and the final display, with the clock frozen."""

import unittest

from harness import BACKSPACE, ENTER, ESC, LEFT, SAMPLE, Session, SessionCase, open_runs_entry

FROZEN = "2026-01-02 03:04:05"
# Large enough that an experiment lasts long enough to be watched and stopped.
BIG = "ab:60000\naa:50000\nbb:40000\ncc:30000\nac:20000\n"


def start_dialogue(s, files=("sample.txt",)):
    s.start(list(files) + ["out.txt"], frozen_time=FROZEN)
    s.wait_for("(y/n)")
    s.send("y")
    s.wait_for("select key")


class RunsDialogue(SessionCase):
    files = {"sample.txt": SAMPLE}

    def test_dialogue_layout(self):
        s = self.s
        start_dialogue(s)
        s.wait_idle()
        self.assertEqual(s.row(5).rstrip(), "number of runs is 3200:")
        self.assertEqual(s.row(6).rstrip(), "(Y)es or (N)ot  - select key")
        self.assertEqual(s.row(7).rstrip(), "\u2500" * 29)
        s.send("n")
        s.wait_for("enter number of runs")
        s.wait_idle()
        self.assertEqual(s.row(8), "enter number of runs -\u25ba ".ljust(80))
        self.assertEqual(s.cursor(), (25, 8))

    def test_default_runs_3200(self):
        s = self.s
        start_dialogue(s)
        s.send("Y")
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)
        x, y = s.find("3200")
        self.assertEqual((x, y), (54, 12))

    def test_final_screen_of_the_sample(self):
        # The seed is the frozen time, so the figures are those of the golden
        # report of the same experiment.
        s = self.s
        start_dialogue(s)
        s.send("y")
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)
        expected = {
            2: "95% confidence intervals for probabilities (P):",
            3: "for H-W",
            4: "              -\u25ba  0 - 0.000300095;",
            5: "",
            6: "for D",
            7: "D(one tail)   -\u25ba  0.198197 - 0.226524;",
            8: "D(both tails) -\u25ba  0.313813 - 0.346391;",
            11: " " * 44 + "runs made \u2193",
            12: " " * 53 + "3200",
            13: "  " + "\u2588" * 45,
            16: "  time elapsed since beginning of randomization: 0 sec",
            17: "  df: 15",
            19: "  Prob. null hypoth. (chi-sq)        \u2550\u25ba0",
            20: "  Prob. null hypoth. (D, one tail)   \u2550\u25ba0.212187",
            21: "  Prob. null hypoth. (D, both tails) \u2550\u25ba0.33",
        }
        # The emblem (from column 65, rows 5-11) and the credits (from column
        # 55, rows 17-21) are drawn over it at the end.
        for y, text in expected.items():
            width = 60 if y < 17 else 54
            self.assertEqual(s.row(y)[:width].rstrip(), text, "row %d" % y)
        self.assertEqual(s.colours(3, 13, 45), {(15, 0)})
        self.assertEqual(s.colours(3, 18, 45), {(9, 0)})

    def test_editing_the_number(self):
        s = self.s
        open_runs_entry(s, ["sample.txt", "out.txt"], FROZEN)
        # Typed 12, erased the 2, typed 3, erased it with the left arrow,
        # typed 4: 14 runs.
        for key in ("1", "2", BACKSPACE, "3", LEFT, "4"):
            s.send(key)
            s.wait_idle()
        self.assertEqual(s.row(8).rstrip(), "enter number of runs -\u25ba 14")
        s.send("56789")  # only five characters fit
        s.wait_idle()
        self.assertEqual(s.row(8).rstrip(), "enter number of runs -\u25ba 14567")
        for _ in range(3):
            s.send(BACKSPACE)
        s.send(ENTER)
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)
        # 14 runs: a bar of 10 cells, the count of runs at column 19.
        self.assertEqual(s.row(12)[18:20], "14")
        self.assertEqual(s.row(13)[2:12], "\u2588" * 10)

    def test_over_limit_then_accepted(self):
        s = self.s
        open_runs_entry(s, ["sample.txt", "out.txt"], FROZEN)
        s.send("65001" + ENTER)
        s.wait_for("too long: maximal number is 65000, please, enter new")
        s.wait_idle()
        self.assertEqual(s.row(9).rstrip(),
                         "too long: maximal number is 65000, please, enter new")
        self.assertEqual(s.row(8).rstrip(), "enter number of runs -\u25ba")
        self.assertEqual(s.cursor(), (25, 8))
        # No number, then a negative one: both erased and read again.
        for entry in ("ab", "-5"):
            s.send(entry)
            s.wait_idle()
            s.send(ENTER)
            s.wait_idle()
            self.assertEqual(s.row(8).rstrip(), "enter number of runs -\u25ba")
        s.send("65000" + ENTER)
        s.wait_for("runs made")
        s.send(ESC)
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)

    def test_zero_runs_ends_the_program(self):
        s = self.s
        open_runs_entry(s, ["sample.txt", "out.txt"], FROZEN)
        s.send("0" + ENTER)
        self.assertEqual(s.wait_exit(), 0)
        x, y = s.find("exit")
        self.assertEqual(x, 1)
        self.assertTrue(s.modes_restored())


class ProgressAndEsc(SessionCase):
    files = {"big.txt": BIG}

    def test_progress_screen_and_esc(self):
        s = self.s
        open_runs_entry(s, ["big.txt", "out.txt"], FROZEN)
        s.send("65000" + ENTER)
        # The progress screen while the replicates run, from the first count
        # of runs on.
        s.wait_until(lambda: s.runs_shown() > 0, "runs are counted")
        self.assertEqual(s.row(2).rstrip(), "Press Esc to terminate Monte Carlo simulation")
        self.assertEqual(s.fg(1, 2), 9)
        self.assertEqual(s.fg(7, 2), 15)
        self.assertEqual(s.fg(11, 2), 9)
        self.assertEqual(s.row(3).rstrip(), "(results obtained will be saved)")
        self.assertEqual(s.row(11)[44:].rstrip(), "runs made \u2193")
        self.assertEqual(s.row(17).rstrip(), "  df: 3")
        self.assertEqual(s.row(18)[2:47], "\u2580" * 45)
        self.assertEqual(s.fg(3, 18), 9)
        self.assertEqual(s.row(19)[2:39], "Prob. null hypoth. (chi-sq)        \u2550\u25ba")
        self.assertEqual(s.row(20)[2:39], "Prob. null hypoth. (D, one tail)   \u2550\u25ba")
        self.assertEqual(s.row(21)[2:39], "Prob. null hypoth. (D, both tails) \u2550\u25ba")
        bar = s.row(13)[2:47]
        done = bar.count("\u2588")
        self.assertEqual(bar, "\u2588" * done + "\u2591" * (45 - done))
        if done < 45:  # the rest of the bar: light shade in cyan
            self.assertEqual(s.fg(3 + done, 13), 3)
        if done:
            self.assertEqual(s.fg(3, 13), 15)
        self.assertTrue(s.cursor_hidden())
        s.send(ESC)
        s.wait_for("95% confidence intervals")
        self.assertEqual(s.wait_exit(), 0)
        self.assertEqual(s.row(14).rstrip(), "  calculations interrupted by user")
        runs = int(s.row(12)[53:].split()[0])
        self.assertTrue(10 <= runs < 65000, runs)
        self.assertFalse(s.cursor_hidden())
        report = s.read_file("out.txt").decode("latin-1")
        self.assertIn("\t%d runs made:\r\n" % runs, report)


class Reproducible(unittest.TestCase):
    def test_same_second_same_figures(self):
        screens = []
        for _ in range(2):
            with Session() as s:
                s.write_file("sample.txt", SAMPLE)
                start_dialogue(s)
                s.send("y")
                s.wait_for("95% confidence intervals")
                self.assertEqual(s.wait_exit(), 0)
                screens.append([s.row(y) for y in range(1, 23)])
                final = s.text()
        self.assertEqual(screens[0], screens[1])
        self.assertIn("time elapsed since beginning of randomization: 0 sec", final)


if __name__ == "__main__":
    unittest.main()
