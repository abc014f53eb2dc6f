"""Batch inputs: standard input ('-') read once for every kind, a file of
another kind named with the option that reads it, and the progress line on
a terminal (never elsewhere)."""

import gzip
import os
import pty
import select
import shutil
import subprocess
import tempfile
import time
import unittest

import pyte

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
            direct = self.run_hwmc(["--batch", "--exact", "--seed", "5", "s.txt"])
            self.assertEqual(direct.returncode, 0, direct.stderr)
            expected = self.file_cell_as(direct.stdout, "-")
            piped = self.run_hwmc(["--batch", "--exact", "--seed", "5", "-"], input=text.encode())
            self.assertEqual((piped.returncode, piped.stderr), (0, b""))
            self.assertEqual(piped.stdout, expected)
            with open(self.path("s.txt"), "rb") as f:
                redirected = self.run_hwmc(["--batch", "--exact", "--seed", "5", "-"], stdin=f)
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


VCF = ("##fileformat=VCFv4.2\n##contig=<ID=1,length=1000>\n"
       "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
       "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\n"
       "1\t10\trs1\tA\tG\t.\tPASS\t.\tGT\t0/0\t0/1\t1/1\n")


class FormatMessages(InputCase):
    """A file of another kind says which option reads it, whatever option
    it was given with; a file of the kind's own keeps the reader's reason."""

    def setUp(self):
        super().setUp()
        self.write("w.vcf", VCF)
        self.write("w.vcf.gz", gzip.compress(VCF.encode()))
        self.write("w.bed", b"\x6c\x1b\x01\xff")
        self.write("w.bim", "1\trs1\t0\t10\tG\tA\n")
        self.write("w.fam", "f s1 0 0 0 -9\nf s2 0 0 0 -9\nf s3 0 0 0 -9\nf s4 0 0 0 -9\n")
        with open(os.path.join(EXAMPLES, "sample.gen"), "rb") as f:
            self.write("s.gen", f.read())
        self.write("s.txt", SAMPLE)

    def message(self, args):
        r = self.run_hwmc(args)
        self.assertEqual(r.returncode, 1, (args, r.stderr))
        return r.stderr.decode()

    def test_each_kind_names_the_option_of_another_kinds_file(self):
        expected = {
            "w.vcf": "hwmc: w.vcf: a VCF file: read it with --vcf\n",
            "w.vcf.gz": "hwmc: w.vcf.gz: a VCF file: read it with --vcf\n",
            "w.bed": "hwmc: w.bed: a PLINK .bed file: read it with --bfile w (the fileset's "
                     "prefix)\n",
            "s.gen": "hwmc: s.gen: a Genepop file: read it with --genepop\n",
        }
        for name, text in expected.items():
            for option in (["--batch"], ["--genepop"], ["--vcf"], ["--bfile"]):
                if option == ["--vcf"] and name.startswith("w.vcf"):
                    continue
                if option == ["--genepop"] and name == "s.gen":
                    continue
                self.assertEqual(self.message(option + [name]), text, (option, name))

    def test_a_bcf_file_given_as_counts(self):
        if shutil.which("bcftools") is None:
            self.skipTest("bcftools is not installed")
        subprocess.run(["bcftools", "view", "-Ob", "-o", self.path("w.bcf"), self.path("w.vcf")],
                       check=True)
        self.assertEqual(self.message(["--batch", "w.bcf"]),
                         "hwmc: w.bcf: a BCF file: read it with --vcf\n")

    def test_the_kinds_own_files_and_unknown_ones_keep_the_readers_words(self):
        self.assertEqual(self.message(["--vcf", "s.txt"]), "hwmc: s.txt: not a VCF or BCF file\n")
        self.write("junk.txt", "hello\n")
        self.assertEqual(self.message(["--batch", "junk.txt"]), "hwmc: junk.txt: is not input file\n")
        # A VCF whose first record is broken is a malformed VCF, not another kind's.
        self.write("bad.vcf", VCF.replace("1\t10\t", "1\tten\t"))
        self.assertNotIn("read it with", self.message(["--vcf", "bad.vcf"]))
        # Standard input is never read a second time to be told.
        r = self.run_hwmc(["--batch", "-"], input=VCF.encode())
        self.assertEqual(r.stderr, b"hwmc: -: is not input file\n")


ERASE = b"\r\x1b[K"


def x_vcf(sites, samples=40):
    """Sites on X outside the pseudo-autosomal regions, so that the end of
    the file brings a note while the line may stand."""
    head = ("##fileformat=VCFv4.2\n##contig=<ID=X>\n"
            "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t"
            + "\t".join(f"s{i}" for i in range(samples)) + "\n")
    calls = ("0/0", "0/1", "1/1", "0/1", "0/0")
    rows = [f"X\t{3000000 + i}\t.\tA\tG\t.\t.\t.\tGT\t"
            + "\t".join(calls[(i * 7 + j * 3) % 5] for j in range(samples))
            for i in range(sites)]
    return head + "\n".join(rows) + "\n"


class ProgressLine(InputCase):
    """One line on a terminal's standard error while units are done, erased
    before every message and at the end; none when standard error is not a
    terminal."""

    ARGS = ["--vcf", "--seed", "1", "--tables", "2000", "x.vcf"]

    def run_on_terminal(self, args):
        pid, fd = pty.fork()
        if pid == 0:
            os.chdir(self.dir)
            out = os.open("rows.tsv", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.dup2(out, 1)
            os.execv(BINARY, [BINARY] + args)
        seen = b""
        while True:
            try:
                chunk = os.read(fd, 65536)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
        _, status = os.waitpid(pid, 0)
        os.close(fd)
        return os.waitstatus_to_exitcode(status), seen

    def test_the_line_on_a_long_run_and_nothing_left_of_it(self):
        self.write("x.vcf", x_vcf(60000))
        status, seen = self.run_on_terminal(self.ARGS)
        self.assertEqual(status, 0, seen[-300:])
        self.assertIn(b" sites, at X:30", seen)
        self.assertIn(b" sites/s", seen)
        # Every message stands on a line of its own, after the line's erasure.
        note = b"hwmc: x.vcf: 60000 sites on X outside the pseudo-autosomal regions tested as"
        self.assertIn(ERASE + note, seen)
        self.assertTrue(seen.endswith(b"(males hemizygous)\r\n"), seen[-200:])
        # What a terminal shows at the end: the note, and no progress left.
        screen = pyte.Screen(200, 10)
        pyte.ByteStream(screen).feed(seen)
        shown = "\n".join(line.rstrip() for line in screen.display if line.strip())
        self.assertNotIn("sites/s", shown)
        self.assertTrue(shown.startswith("hwmc: x.vcf: 60000 sites on X"), shown)
        with open(self.path("rows.tsv"), "rb") as f:
            self.assertEqual(len(f.read().splitlines()), 60001)

    def test_an_index_gives_the_total_and_the_time_left(self):
        if shutil.which("bgzip") is None or shutil.which("tabix") is None:
            self.skipTest("bgzip and tabix are not installed")
        self.write("x.vcf", x_vcf(60000))
        subprocess.run(["bgzip", "-f", self.path("x.vcf")], check=True)
        subprocess.run(["tabix", "-p", "vcf", self.path("x.vcf.gz")], check=True)
        status, seen = self.run_on_terminal(self.ARGS[:-1] + ["x.vcf.gz"])
        self.assertEqual(status, 0, seen[-300:])
        self.assertIn(b" of 60000 sites, at X:", seen)
        self.assertIn(b" s left", seen)

    def test_none_when_standard_error_is_a_file(self):
        self.write("x.vcf", x_vcf(60000))
        with open(self.path("err.txt"), "wb") as err:
            r = subprocess.run([BINARY] + self.ARGS, cwd=self.dir, stdout=subprocess.DEVNULL,
                               stderr=err, stdin=subprocess.DEVNULL, timeout=300)
        self.assertEqual(r.returncode, 0)
        with open(self.path("err.txt"), "rb") as f:
            text = f.read()
        self.assertNotIn(b"\x1b", text)
        self.assertNotIn(b"sites/s", text)
        self.assertTrue(text.startswith(b"hwmc: x.vcf: 60000 sites on X"), text[:100])


if __name__ == "__main__":
    unittest.main()
