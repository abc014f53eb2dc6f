"""Batch inputs: standard input ('-') read once for every kind, a file of
another kind named with the option that reads it, and the progress line on
a terminal (never elsewhere)."""

import os
import pty
import select
import subprocess
import tempfile
import time
import unittest

from harness import BINARY, EXAMPLES, SAMPLE

# Past the reader's 64 KiB window: blank space between the records.
SPREAD = "bc:1\n" + " \n" * 50000 + "aa:10\neg:25\n" + "\t" * 70000 + "\nad:16\nbd:1\n"


class InputCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode())

    def run_hwmc(self, args, stdin=subprocess.DEVNULL, input=None):
        return subprocess.run([BINARY] + args, cwd=self.dir, stdin=None if input else stdin,
                              input=input, capture_output=True, timeout=120)

    def file_cell_as(self, rows, name):
        """Rows with the first cell of every data row given as `name`."""
        lines = rows.decode().split("\n")
        return "\n".join([lines[0]] + [name + line[line.index("\t"):] if line else line
                                       for line in lines[1:]]).encode()


class StandardInput(InputCase):
    def test_count_files_through_a_pipe_and_a_redirect_as_from_the_file(self):
        for text in (SAMPLE, SPREAD):
            self.write("s.txt", text)
            direct = self.run_hwmc(["--batch", "--exact", "s.txt"])
            self.assertEqual(direct.returncode, 0, direct.stderr)
            expected = self.file_cell_as(direct.stdout, "-")
            piped = self.run_hwmc(["--batch", "--exact", "-"], input=text.encode())
            self.assertEqual((piped.returncode, piped.stderr), (0, b""))
            self.assertEqual(piped.stdout, expected)
            with open(self.path("s.txt"), "rb") as f:
                redirected = self.run_hwmc(["--batch", "--exact", "-"], stdin=f)
            self.assertEqual((redirected.returncode, redirected.stdout), (0, expected))

    def test_standard_input_is_read_from_where_it_stands(self):
        # A redirect that starts past the file's beginning is read from there
        # on, never again from the file's start.
        self.write("two.txt", "zz:1\n" + SAMPLE)
        fd = os.open(self.path("two.txt"), os.O_RDONLY)
        try:
            os.lseek(fd, 5, os.SEEK_SET)
            r = self.run_hwmc(["--batch", "-"], stdin=fd)
        finally:
            os.close(fd)
        self.write("s.txt", SAMPLE)
        direct = self.run_hwmc(["--batch", "s.txt"])
        self.assertEqual(r.stdout, self.file_cell_as(direct.stdout, "-"))

    def test_a_second_dash_is_a_usage_error_and_nothing_is_read(self):
        r = self.run_hwmc(["--batch", "-", "-"], input=SAMPLE.encode())
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stdout, b"")
        self.assertIn(b"standard input ('-') can be read only once", r.stderr)


if __name__ == "__main__":
    unittest.main()
