#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (run from anywhere; it
rewrites tests/fuzz/corpus/<target>/ next to this file).

genotype_parse_fuzz takes file bytes as they are. key_decoder_fuzz and
screen_writer_fuzz read their inputs with libFuzzer's FuzzedDataProvider:
integers and flags are taken from the end of the input, byte by byte, and
strings and the key stream from the front; Script below builds such inputs.
"""
import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[2]


class Script:
    """Builds a FuzzedDataProvider input: front bytes plus tail values."""

    def __init__(self):
        self.front = bytearray()
        self.tail = []  # in the order the target consumes them

    def in_range(self, lo, hi, value):
        span = hi - lo
        assert lo <= value <= hi and span < 256
        if span > 0:
            self.tail.append(value - lo)
        return self

    def boolean(self, value):
        self.tail.append(1 if value else 0)
        return self

    def byte(self, value):
        self.tail.append(value & 0xFF)
        return self

    def int32(self, value):
        raw = (value + 2**31) & 0xFFFFFFFF
        self.tail.extend(raw.to_bytes(4, "big"))
        return self

    def string(self, text):
        self.front += text.replace(b"\\", b"\\\\") + b"\\\x00"
        return self

    def rest(self, data):
        self.front += data
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.tail))


def write(target, name, data):
    folder = HERE / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


# --- genotype_parse_fuzz: files as users write them, and the reader's cases.
SAMPLE = [b"bc:1", b"aa:10", b"eg:25", b"ad:16", b"bd:1"]
GENOTYPE = {
    "sample_lf": (ROOT / "examples" / "sample.txt").read_bytes(),
    "sample_crlf": b"\r\n".join(SAMPLE) + b"\r\n",
    "sample_lfcr": b"\n\r".join(SAMPLE),
    "sample_upper": b"\n".join(r.upper() for r in SAMPLE) + b"\n",
    "case_pair": b"aA:5",
    "reversed_letters": b"ba:4\n",
    "duplicate": b"ab:3\nba:2\n",
    "zero_then_count": b"aa:0\naa:7\n",
    "first_space": b"aa: 10",
    "first_sign": b"aa:+10",
    "first_digit_allele": b"a1:5",
    "later_forms": b"aa:1\nbb: 10\ncc:+10\ndd:\n\n10\nee:\t-0\n",
    "bad_separator": b"aa:10\nbb;4\ncc:2\n",
    "one_line": b"aa:10bb:3",
    "dash": b"bb:1\naa-10\n",
    "blank_lines": b"aa:10\n\n  bb:3   \n\n\t \n",
    "ends_after_separator": b"aa:5\nbb:",
    "ctrl_z": b"aa:5\nbb:3\x1a\ncc:4\n",
    "all_zero": b"aa:0\nab:0\n",
    "no_number": b"aa:7\nbb:\ncc:5\n",
    "lone_sign": b"aa:7\nbb:-\ncc:5\n",
    "negative": b"aa:5\nbb:-3\n",
    "high_alleles": b"aa:1\n[{:2\n\xc0\xc0:3\n",
    "no_allele_index": b"aa:5\nbb:2\na\xc1:5\ncc:1\n",
    "total_limit": b"aa:1073741823",
    "total_too_large": b"aa:1073741824",
    "count_too_large": b"aa:2147483648",
    "huge_digits": b"aa:1\nbb:99999999999999999999999999\n",
    "sum_limit": b"aa:1000000000\nbb:73741823\ncc:1\n",
    "widest_table": b"Aa:1\nA\xc0:2\n\xc0\xc0:3\n",
    "one_allele": b"aa:10\n",
    "het_only": b"ab:7\n",
}

# --- key_decoder_fuzz: what terminals send for the keys the program reads.
KEYS = {
    "typing": b"3200\r",
    "yes_no": b"yYnN",
    "delete_127": b"12\x7f3\r",
    "backspace_8": b"12\x083\r",
    "crlf": b"\r\n\r\r\n\n",
    "lone_esc": b"\x1b",
    "esc_esc": b"\x1b\x1b",
    "alt_key": b"\x1by",
    "xterm_arrows": b"\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F",
    "vt_arrows": b"\x1bOA\x1bOB\x1bOC\x1bOD\x1bOH\x1bOF",
    "modified_arrows": b"\x1b[1;5A\x1b[1;2D\x1b[1;3H",
    "f1_f4_ss3": b"\x1bOP\x1bOQ\x1bOR\x1bOS",
    "f1_f10_tilde": b"\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~",
    "editing_keys": b"\x1b[1~\x1b[2~\x1b[3~\x1b[4~\x1b[5~\x1b[6~\x1b[7~\x1b[8~",
    "linux_f1_f5": b"\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E",
    "keypad": b"\x1bOp\x1bOy\x1bOM\x1bOk\x1bOX",
    "unknown": b"a\x1b[23~b\x1b[Z\x1b[?1;2c\x1b[2 q",
    "paste": b"\x1b[200~12\x1b[201~",
    "long_csi": b"\x1b[" + b"1" * 70 + b"~z",
    "utf8": "é÷ü€".encode(),
    "nul": b"a\x00b",
}

def key_seed(stream, reads):
    """reads: (length, idle) pairs; the stream goes in front."""
    s = Script().in_range(0, 16, len(reads))
    for length, idle in reads:
        s.in_range(0, 96, length).boolean(idle)
    return s.rest(stream).bytes()


# --- screen_writer_fuzz: scripts of console operations.
OP = {"goto": 0, "goto_clear": 1, "putch": 2, "printf": 3, "printf_width": 4,
      "set_color": 5, "set_attr": 6, "clear_eol": 7, "clear_screen": 8, "rect": 9,
      "read_line": 10, "cursor": 11, "getch": 12, "resize": 13, "close": 14, "info": 15}


def screen_start(rendered=True, streamed=False, throws=False, cols=80, rows=25):
    s = Script().boolean(rendered).boolean(streamed).boolean(throws)
    return size(s, cols, rows)


def size(s, cols, rows):
    if cols <= 90 and rows <= 30:
        return s.boolean(False).in_range(1, 90, cols).in_range(1, 30, rows)
    s.boolean(True)
    s.tail.extend((cols - 1).to_bytes(2, "big"))
    s.tail.extend((rows - 1).to_bytes(2, "big"))
    return s


def op(s, name):
    return s.in_range(0, 15, OP[name])


def coord(s, value):
    if -2 <= value <= 83:
        return s.boolean(False).in_range(-2, 83, value)
    return s.boolean(True).int32(value)


def goto(s, x, y, clear=False):
    op(s, "goto_clear" if clear else "goto")
    return coord(coord(s, x), y)


def printf(s, text):
    op(s, "printf")
    return s.string(text)


def key_events(s, events):
    for e in events:
        if e >= 0x100:
            s.in_range(0, 3, 0).byte(e & 0xFF)
        else:
            s.in_range(0, 3, 1).byte(e)
    return s


def read_line(s, capacity, events, enter=True):
    op(s, "read_line").byte(capacity).in_range(0, 40, len(events))
    return key_events(s, events).boolean(enter)


EXT = 0x100
SCREENS = {}

s = screen_start()
op(s, "set_attr").int32(15)
op(s, "clear_screen")
goto(s, 1, 1, clear=True)
printf(s, b'file: "sample.txt"')
goto(s, 1, 2, clear=True)
printf(s, b"X\xfd=169.815521 \x11- chi-sq_05 (15)=24.996\n\rwish to perform Monte Carlo experiment? (y/n)")
SCREENS["results"] = s.bytes()

s = screen_start(cols=80, rows=24)
goto(s, 10, 24)
op(s, "set_color").int32(12)
printf(s, b"\r\nmemory allocation error - program abort")
op(s, "clear_eol")
printf(s, b"x" * 80 + b"\r\n" * 3)
SCREENS["error_line_scrolls"] = s.bytes()

s = screen_start()
goto(s, 30, 12)
op(s, "set_color").int32(143)
read_line(s, 6, [ord("3"), ord("2"), 8, ord("0"), ord("0"), ord("0"), ord("9"), EXT | 75, 13])
op(s, "cursor").in_range(-2, 4, 0)
SCREENS["runs_dialogue"] = s.bytes()

s = screen_start(cols=100, rows=40)
op(s, "rect")
for v in (1, 1, 80, 25):
    coord(s, v)
s.boolean(False)
printf(s, b"\xc9\xcd\xcd\xbb\n\r\xc8\xcd\xcd\xbc\a\b\b")
op(s, "rect")
for v in (79, 24, 80, 25):
    coord(s, v)
s.boolean(True)
for b in range(8):
    s.byte(0xDB if b % 2 == 0 else 0x1E)
SCREENS["rectangles"] = s.bytes()

s = screen_start(rendered=False, streamed=True, throws=True, cols=1, rows=1)
goto(s, 81, 26)
goto(s, 0, 0)
goto(s, 2**31 - 1, -2**31)
op(s, "putch").int32(0x141)
op(s, "getch").in_range(0, 6, 2)
key_events(s, [EXT | 72, ord("y")]).in_range(0, 8, 4)
op(s, "resize")
size(s, 40, 10)
op(s, "close")
op(s, "info")
SCREENS["edges"] = s.bytes()

s = screen_start(cols=20, rows=5)
op(s, "printf_width").string(b"abc").in_range(-100, 100, -30).int32(-2**31)
goto(s, 80, 25)
printf(s, b"\xdb")
op(s, "resize")
size(s, 65535, 65535)
SCREENS["small_and_huge_terminal"] = s.bytes()

# exact_tests_fuzz: k - 2, the seed, then the triangle's cells (0 to 3).
EXACT = {
    "two_alleles": bytes([0, 1, 2, 1, 3]),
    "two_alleles_all_homozygous": bytes([0, 2, 3, 0, 3]),
    "three_alleles_equal": bytes([1, 3, 3, 2, 2, 3, 2, 3]),
    "four_alleles": bytes([2, 4, 2, 1, 1, 1, 2, 1, 1, 2, 1, 2]),
    "five_alleles_sparse": bytes([3, 5, 0, 1, 0, 2, 1, 1, 0, 1, 0, 0, 1, 0, 1, 0, 2]),
    "empty_class": bytes([1, 6, 3, 0, 0, 0, 0, 2]),
}

# --- region_parse_fuzz: --region arguments, one a line, in every form.
REGIONS = {
    "forms": b"chr1\n1:100\n1:100-\n1:-100\n1:1,000-2,000\nchr2:5-9\n",
    "braces": b"{chrUn:1-5}\n{chrUn:1-5}:1-100\n{a}b:c}:7-\n{}\n{x\n",
    "names": b"HLA-A*01:01\nchrUn:7:5-9\nchr1:\n:1-10\n1:1,,0-5\n",
    "numbers": b"1:5-1234567890123456\n1:5-99999999999999999999999\n1:0-4\n1:9-3\n",
    "overlaps": b"1:10-20\n1:15-30\n1:31-40\n2:1-5\n1\n2:50-\n",
}

# --- merge_table_fuzz: row tables split at "\n=\n", as parts of one run.
MERGE_HEAD = b"file\tlocus\tx2\tseed\tp_lead\tq_bh\n"
MERGES = {
    "two_parts": MERGE_HEAD + b"a\tL1\t1.5\t7\t0.01\t0.02\na\tL2\tNA\t\tNA\tNA\n=\n"
                 + MERGE_HEAD + b"b\tL1\t2\t7\t0.5\t0.5\n",
    "repeated_unit": MERGE_HEAD + b"a\tL1\t1\t7\t0.1\t0.1\n=\n" + MERGE_HEAD
                     + b"a\tL1\t1\t7\t0.1\t0.1\nb\tL1\t1\t7\t0.2\t0.2\n",
    "seeds": MERGE_HEAD + b"a\tL1\t1\t7\t0.1\t0.1\n=\n" + MERGE_HEAD
             + b"b\tL1\t1\t8\t0.1\t0.1\n=\n" + MERGE_HEAD + b"c\tL1\t1\t9\t0.1\t0.1\n"
             + b"c\tL2\t1\t10\t0.1\t0.1\n",
    "identical_records": MERGE_HEAD + b"a\tL1\t1\t\t1\t1\na\tL1\t1\t\t0\t0\n",
    "count_files": b"file\tx2\tp_x2\nx.txt\t1\t0.5\r\n=\nfile\tx2\tp_x2\ny\\t\t2\t\n",
    "bad_cells": MERGE_HEAD + b"a\tL1\t1\t7\t1.5\t0\na\tL2\n=\nfile\tfile\n",
}

if __name__ == "__main__":
    for target in ("genotype_parse_fuzz", "genepop_parse_fuzz", "key_decoder_fuzz",
                   "screen_writer_fuzz", "exact_tests_fuzz", "region_parse_fuzz",
                   "merge_table_fuzz"):
        shutil.rmtree(HERE / target, ignore_errors=True)
    for name, data in GENOTYPE.items():
        write("genotype_parse_fuzz", name, data)
    # The Genepop parser starts from the example and the unit tests' files.
    write("genepop_parse_fuzz", "sample", (ROOT / "examples" / "sample.gen").read_bytes())
    for path in sorted((ROOT / "tests" / "genepop" / "data").glob("*.gen")):
        write("genepop_parse_fuzz", path.stem, path.read_bytes())
    for name, data in KEYS.items():
        write("key_decoder_fuzz", name, key_seed(data, []))
    # The same keys arriving in pieces, without and with a timeout between.
    write("key_decoder_fuzz", "split_modified_arrow",
          key_seed(b"\x1b[1;5A\x1b[15~", [(2, False), (1, False), (3, False), (2, False)]))
    write("key_decoder_fuzz", "split_lone_esc_timeout",
          key_seed(b"\x1b\x1b[D\xc3\xa9", [(1, True), (2, False), (2, False), (1, False)]))
    write("key_decoder_fuzz", "split_crlf", key_seed(b"a\r\nb", [(2, False), (1, True)]))
    for name, data in SCREENS.items():
        write("screen_writer_fuzz", name, data)
    for name, data in EXACT.items():
        write("exact_tests_fuzz", name, data)
    for name, data in REGIONS.items():
        write("region_parse_fuzz", name, data)
    for name, data in MERGES.items():
        write("merge_table_fuzz", name, data)
