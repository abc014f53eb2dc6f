"""The results screen of each input file and the Monte Carlo question."""

import unittest

from harness import SAMPLE, Session, SessionCase

ROW2 = "X\u00b2=169.815521 \u25c4- chi-sq_05 (15)=24.996"
ROW3 = "D(Selander's)= 0.086; (k-1)ND\u00b2=1.949 \u25c4- chi-sq_05 (1)=3.841;"
ROW4 = "wish to perform Monte Carlo experiment? (y/n)"


class ResultsScreen(SessionCase):
    files = {"sample.txt": SAMPLE}

    def test_results_block_of_the_sample(self):
        s = self.s
        s.start(["sample.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.wait_idle()
        self.assertEqual(s.row(1).rstrip(), 'file: "sample.txt"')
        self.assertEqual(s.row(2).rstrip(), ROW2)
        self.assertEqual(s.row(3).rstrip(), ROW3)
        self.assertEqual(s.row(4).rstrip(), ROW4)
        for y in range(1, 5):
            self.assertEqual(s.colours(1, y, len(s.row(y).rstrip())), {(15, 0)})
        for y in range(5, 26):
            self.assertEqual(s.row(y).strip(), "")
        self.assertEqual(s.cursor(), (len(ROW4) + 1, 4))
        self.assertFalse(s.cursor_hidden())

    def test_other_keys_are_ignored_without_echo(self):
        s = self.s
        s.start(["sample.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.wait_idle()
        before = s.text()
        s.send("x1 q\r\x1b[A")
        s.wait_idle()
        self.assertEqual(s.text(), before)
        self.assertEqual(s.cursor(), (len(ROW4) + 1, 4))
        s.send("N")
        self.assertEqual(s.wait_exit(), 0)
        # 'N' cleared the screen: nothing of the results block is left.
        self.assertNotIn("chi-sq_05", s.text())

    def test_upper_case_file_gives_the_same_statistics(self):
        s = self.s
        s.write_file("upper.txt", SAMPLE.upper())
        s.start(["upper.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.wait_idle()
        self.assertEqual(s.row(2).rstrip(), ROW2)
        self.assertEqual(s.row(3).rstrip(), ROW3)
        s.send("n")
        self.assertEqual(s.wait_exit(), 0)

    def test_second_file_rewrites_rows_1_to_9_only(self):
        s = self.s
        s.write_file("two.txt", "ab:5\naa:3\nbb:2\n")
        s.start(["sample.txt", "two.txt", "out.txt"], frozen_time="2026-01-02 03:04:05")
        s.wait_for("(y/n)")
        s.send("y")
        s.wait_for("select key")
        s.send("y")
        s.wait_for('file: "two.txt"')
        s.wait_for("(y/n)")
        s.wait_idle()
        self.assertEqual(s.row(1).rstrip(), 'file: "two.txt"')
        for y in range(5, 10):
            self.assertEqual(s.row(y).strip(), "", "row %d" % y)
        # Rows 10 and below still show the first file's progress screen.
        self.assertTrue(s.row(17).startswith("  df: 15"))
        self.assertTrue(s.row(19).startswith("  Prob. null hypoth. (chi-sq)"))
        s.send("n")
        self.assertEqual(s.wait_exit(), 0)

    def test_one_allele_class_stops_with_a_message(self):
        s = self.s
        s.write_file("one.txt", "aa:10\nab:0\n")
        s.write_file("out.txt", "earlier report\r\n")
        s.start(["sample.txt", "one.txt", "out.txt"])
        s.wait_for("(y/n)")
        s.send("n")
        self.assertEqual(s.wait_exit(), 1)
        x, y = s.find('only one allele class in file - nothing to test "one.txt"')
        self.assertEqual(x, 10)
        self.assertEqual(s.fg(10, y), 12)
        report = s.read_file("out.txt")
        self.assertTrue(report.startswith(b"earlier report\r\n"))
        self.assertEqual(report.count(b"Name of input file"), 1)


if __name__ == "__main__":
    unittest.main()
