"""End-to-end harness: runs the real hwmc binary in a pseudo-terminal and reads
the screen back through a terminal emulator.

Two emulators are offered:

* ``Session`` (the default): pyte, fed from the pty master. Gives text,
  colours (as PC colour numbers 0-15) and the cursor of every cell.
* ``TmuxSession``: a detached tmux server of its own (alternate screen,
  scrollback and everything a real terminal does). Gives text and exit code.

Every session runs a private copy of the binary (named ``hwmc``) in a fresh
temporary folder, so the run counter never touches the build tree and the
program name is always ``hwmc``. The copy is taken from the build's uncounted
program (``build/uncounted/hwmc``, copied at link time and never run), so the
counts a test sees do not depend on how often anyone ran ``build/hwmc``. Files for a test are written into
``session.dir`` (``write_file``) before ``start``.

Typical use::

    s = Session()
    s.write_file("data.txt", "bc:1\\naa:10\\n")
    s.start(["data.txt"])                 # argv after the program name
    s.wait_for("(y/n)")                   # always wait before a key: the
    s.send("n")                           # program drops type-ahead at start
    assert s.wait_exit() == 0
    s.row(2)                              # text of row 2 (1-based), 80 wide
    s.fg(1, 2), s.bg(1, 2)                # PC colour numbers of cell (1, 2)
    s.cursor()                            # (column, row), 1-based

``frozen_time`` (e.g. "2026-01-02 03:04:05") freezes the wall clock with
libfaketime (the monotonic clock keeps running). ``run_piped`` runs the
program with standard input and output as pipes (no terminal at all).
"""

import fcntl
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest

import pyte
from pyte import graphics

SOURCE_DIR = os.environ.get(
    "HWMC_SOURCE_DIR",
    os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("HWMC_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
BINARY = os.environ.get("HWMC_BINARY", os.path.join(BUILD_DIR, "uncounted", "hwmc"))
EXAMPLES = os.path.join(SOURCE_DIR, "examples")
JOB_LEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "job_leader.py")
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"

SAMPLE = "bc:1\naa:10\neg:25\nad:16\nbd:1\n"

# Keys as a terminal (xterm) sends them.
ENTER = "\r"
ESC = "\x1b"
BACKSPACE = "\x7f"
LEFT = "\x1b[D"
RIGHT = "\x1b[C"
UP = "\x1b[A"
DOWN = "\x1b[B"
F1 = "\x1bOP"

_ANSI_TO_PC = {"black": 0, "blue": 1, "green": 2, "cyan": 3, "red": 4,
               "magenta": 5, "brown": 6, "white": 7}


class _PcScreen(pyte.Screen):
    """pyte screen that keeps bright colours apart from bold, so every cell's
    colours map back to one PC colour number."""

    def select_graphic_rendition(self, *attrs):
        plain = []
        replace = {}
        for a in attrs:
            if 90 <= a <= 97:
                replace["fg"] = "bright-" + graphics.FG_AIXTERM[a]
            elif 100 <= a <= 107:
                replace["bg"] = "bright-" + graphics.BG_AIXTERM[a]
            else:
                if replace:
                    self._flush_replace(replace)
                    replace = {}
                plain.append(a)
                super().select_graphic_rendition(*plain)
                plain = []
        if replace:
            self._flush_replace(replace)

    def _flush_replace(self, replace):
        self.cursor.attrs = self.cursor.attrs._replace(**replace)


def pc_colour(name, default):
    """PC colour number (0-15) of a pyte colour name; `default` for the
    terminal's default colour."""
    if name == "default":
        return default
    bright = name.startswith("bright-")
    base = name[len("bright-"):] if bright else name
    return _ANSI_TO_PC[base] + (8 if bright else 0)


MARKER = b"000000000"


def stored_run_count(binary):
    """The run count stored after the marker in the program file's first 1280
    bytes, as text ('' when no run was counted yet)."""
    with open(binary, "rb") as f:
        head = f.read(1280)
    at = head.find(MARKER)
    assert at >= 0, "no run-count marker in the program file"
    digits = b""
    for b in head[at + len(MARKER):]:
        if not 48 <= b <= 57:
            break
        digits += bytes([b])
    return digits.decode()


def set_stored_run_count(binary, text):
    """Writes `text` and a zero byte after the marker, as earlier runs would
    have left it."""
    with open(binary, "r+b") as f:
        at = f.read(1280).find(MARKER)
        assert at >= 0, "no run-count marker in the program file"
        f.seek(at + len(MARKER))
        f.write(text.encode() + b"\0")


def _private_binary(folder):
    path = os.path.join(folder, "hwmc")
    shutil.copy2(BINARY, path)
    return path


def _environment(frozen_time=None, extra=None):
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": os.environ.get("HOME", "/root"),
        "TERM": "xterm-256color",
        "LANG": "C.UTF-8",
        "TZ": "UTC",
    }
    if frozen_time:
        env["LD_PRELOAD"] = FAKETIME_LIB
        env["FAKETIME"] = frozen_time
        env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
        env["FAKETIME_NO_CACHE"] = "1"
    if extra:
        env.update(extra)
    return env


class Session:
    def __init__(self, cols=80, rows=25):
        self.cols, self.rows = cols, rows
        self.dir = tempfile.mkdtemp(prefix="hwmc-e2e-")
        self.binary = _private_binary(self.dir)
        self.screen = _PcScreen(cols, rows)
        self.stream = pyte.ByteStream(self.screen)
        self.pid = None
        self.fd = None
        self.status = None
        self.raw = bytearray()
        self.read_target = 0

    # -- files -------------------------------------------------------------
    def write_file(self, name, content, mode=None):
        path = os.path.join(self.dir, name)
        data = content.encode("latin-1") if isinstance(content, str) else content
        with open(path, "wb") as f:
            f.write(data)
        if mode is not None:
            os.chmod(path, mode)
        return path

    def read_file(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def path(self, name):
        return os.path.join(self.dir, name)

    # -- process -----------------------------------------------------------
    def start(self, args, frozen_time=None, env=None, program=None,
              job_control=False):
        """Starts the program on a new pseudo-terminal of cols x rows as its
        controlling terminal. The harness keeps the terminal's own side open
        too, so it can check the modes the program leaves behind. With
        `job_control` the program runs as a shell's foreground job
        (job_leader.py), so that it can be stopped; `pid` is then the
        program's."""
        argv = [program or self.binary] + list(args)
        pid_file = os.path.join(self.dir, ".job-pid")
        if job_control:
            argv = [sys.executable, JOB_LEADER, pid_file] + argv
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ,
                    struct.pack("HHHH", self.rows, self.cols, 0, 0))
        self.initial_modes = termios.tcgetattr(slave)

        def become_terminal_owner():
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        self.proc = subprocess.Popen(
            argv, stdin=slave, stdout=slave, stderr=slave, cwd=self.dir,
            env=_environment(frozen_time, env), start_new_session=True,
            preexec_fn=become_terminal_owner, close_fds=True)
        self.pid, self.fd, self.slave = self.proc.pid, master, slave
        if job_control:
            deadline = time.monotonic() + 10
            while not os.path.exists(pid_file):
                if time.monotonic() > deadline or self.proc.poll() is not None:
                    raise AssertionError("the job did not start")
                time.sleep(0.01)
            with open(pid_file) as f:
                self.pid = int(f.read())
        return self

    def stopped(self):
        """True while the program is stopped (job control)."""
        try:
            with open("/proc/%d/stat" % self.pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] in ("T", "t")
        except OSError:
            return False

    def in_program_modes(self):
        """True when the terminal is in the program's raw modes (no echo, no
        line editing)."""
        lflag = termios.tcgetattr(self.slave)[3]
        return not lflag & (termios.ICANON | termios.ECHO)

    def _pump(self, timeout):
        """Feeds whatever the program writes within `timeout` seconds to the
        emulator. Returns False once the program has ended and everything it
        wrote has been read."""
        if self.fd is None:
            return False
        r, _, _ = select.select([self.fd], [], [], timeout)
        if r:
            try:
                data = os.read(self.fd, 65536)
            except OSError:
                data = b""
            if data:
                self.raw.extend(data)
                self.stream.feed(data)
                return True
        if self.proc.poll() is not None:
            # Ended: drain what is still buffered in the pty.
            while select.select([self.fd], [], [], 0.05)[0]:
                try:
                    data = os.read(self.fd, 65536)
                except OSError:
                    break
                if not data:
                    break
                self.raw.extend(data)
                self.stream.feed(data)
            return False
        return True

    def wait_for(self, text, timeout=10.0):
        """Waits until `text` stands somewhere on the screen."""
        deadline = time.monotonic() + timeout
        while True:
            if text in self.text():
                return
            if time.monotonic() > deadline:
                raise AssertionError(
                    "timed out waiting for %r; screen:\n%s" % (text, self.text()))
            if not self._pump(0.05):
                if text in self.text():
                    return
                raise AssertionError(
                    "program ended before %r appeared; screen:\n%s" % (text, self.text()))

    def drain(self):
        """Feeds everything the program has written so far to the emulator."""
        while self.fd is not None and select.select([self.fd], [], [], 0)[0]:
            try:
                data = os.read(self.fd, 65536)
            except OSError:
                return
            if not data:
                return
            self.raw.extend(data)
            self.stream.feed(data)

    def keys_pending(self):
        """Bytes sent to the program that it has not read yet."""
        buf = fcntl.ioctl(self.slave, termios.FIONREAD, b"\0\0\0\0")
        return struct.unpack("i", buf)[0]

    def waiting_for_key(self):
        """True while the program blocks for a key with every key sent read:
        it waits in poll(2) without a timeout (or ppoll(2) without one), so
        everything it drew is already written to the terminal."""
        try:
            with open("/proc/%d/syscall" % self.pid) as f:
                fields = f.read().split()
        except OSError:
            return False
        if len(fields) < 4 or self.keys_pending() or self.bytes_read() < self.read_target:
            return False
        if fields[0] == "7":  # poll(fds, nfds, timeout), an int: -1
            return int(fields[3], 16) & 0xFFFFFFFF == 0xFFFFFFFF
        if fields[0] == "271":  # ppoll(fds, nfds, timeout pointer, ...)
            return int(fields[3], 16) == 0
        return False

    def wait_until(self, predicate, what, timeout=10.0):
        """Reads the program's output until `predicate()` holds."""
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting until %s; screen:\n%s"
                                     % (what, self.text()))
            self._pump(0.02)

    def wait_idle(self, timeout=10.0):
        """Waits until the program has taken every key sent and waits for the
        next one (or has ended), then reads all it drew."""
        self.wait_until(lambda: self.proc.poll() is not None or self.waiting_for_key(),
                        "the program waits for a key", timeout)
        self.drain()

    def bytes_read(self):
        """What the program has read so far (rchar: terminal and files)."""
        try:
            with open("/proc/%d/io" % self.pid) as f:
                for line in f:
                    if line.startswith("rchar:"):
                        return int(line.split()[1])
        except OSError:
            pass
        return 0

    def send(self, keys):
        data = keys.encode("latin-1") if isinstance(keys, str) else keys
        # The terminal hands keys on to the program a moment after they are
        # written: a key wait counts only once the program has read them.
        self.read_target = max(self.read_target, self.bytes_read()) + len(data)
        os.write(self.fd, data)

    def signal(self, sig):
        os.kill(self.pid, sig)

    def wait_exit(self, timeout=20.0):
        """Reads the rest of the output and returns the exit code (128 + n
        for a signal n)."""
        deadline = time.monotonic() + timeout
        while self._pump(0.05):
            if time.monotonic() > deadline:
                self.kill()
                raise AssertionError("program did not end; screen:\n" + self.text())
        code = self.proc.wait()
        self.status = 128 - code if code < 0 else code
        return self.status

    def modes_restored(self):
        """True when the terminal is back in the modes it had before the
        program started (echo, canonical input, signals, output processing)."""
        now = termios.tcgetattr(self.slave)
        return now[:6] == self.initial_modes[:6]

    def output_tail_restores(self):
        """True when the program's last escape sequences leave a visible
        cursor and default colours."""
        out = bytes(self.raw)
        shown = out.rfind(b"\x1b[?25h") >= out.rfind(b"\x1b[?25l")
        last_sgr = out.rfind(b"\x1b[")
        reset = max(out.rfind(b"\x1b[0m"), out.rfind(b"\x1b[m"))
        # No colour-setting SGR may follow the last reset.
        tail = out[reset:] if reset >= 0 else out
        import re as _re
        colours_after = _re.search(rb"\x1b\[[0-9;]*[1-9][0-9;]*m", tail[3:])
        return shown and reset >= 0 and not colours_after and last_sgr >= 0

    def kill(self):
        if self.pid and self.proc.poll() is None:
            try:
                self.proc.kill()
                self.proc.wait()
            except OSError:
                pass

    def close(self):
        if self.fd is not None:
            self.kill()
            for fd in (self.fd, self.slave):
                try:
                    os.close(fd)
                except OSError:
                    pass
            self.fd = None
        shutil.rmtree(self.dir, ignore_errors=True)

    # -- reading the screen ------------------------------------------------
    def row(self, y):
        """Row y (1-based) as text, `cols` characters."""
        return self.screen.display[y - 1]

    def text(self):
        return "\n".join(self.screen.display)

    def cell(self, x, y):
        return self.screen.buffer[y - 1][x - 1]

    def fg(self, x, y):
        return pc_colour(self.cell(x, y).fg, 7)

    def bg(self, x, y):
        return pc_colour(self.cell(x, y).bg, 0)

    def colours(self, x, y, length):
        """Set of (fg, bg) pairs over `length` cells from (x, y)."""
        return {(self.fg(x + i, y), self.bg(x + i, y)) for i in range(length)}

    def cursor(self):
        return (self.screen.cursor.x + 1, self.screen.cursor.y + 1)

    def cursor_hidden(self):
        return self.screen.cursor.hidden

    def runs_shown(self):
        """The count of runs made on the progress screen of more than 1000
        runs (0 before the first refresh)."""
        field = self.row(12)[53:].split()
        return int(field[0]) if field and field[0].isdigit() else 0

    def find(self, text):
        """(column, row) of the first occurrence of `text`, or None."""
        for y, line in enumerate(self.screen.display, start=1):
            x = line.find(text)
            if x >= 0:
                return (x + 1, y)
        return None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class TmuxSession:
    """The program inside a private tmux server: a second, complete terminal
    emulator (alternate screen included)."""

    def __init__(self, cols=80, rows=25):
        self.cols, self.rows = cols, rows
        self.dir = tempfile.mkdtemp(prefix="hwmc-tmux-")
        self.binary = _private_binary(self.dir)
        self.socket = os.path.join(self.dir, "tmux.sock")
        self.started = False

    def write_file(self, name, content, mode=None):
        return Session.write_file(self, name, content, mode)

    def read_file(self, name):
        return Session.read_file(self, name)

    def tmux(self, *args, check=True):
        return subprocess.run(["tmux", "-S", self.socket] + list(args),
                              capture_output=True, text=True, check=check)

    def start_shell(self, frozen_time=None):
        """Starts a plain shell in the pane; use `type` to run commands."""
        env = _environment(frozen_time)
        env_args = []
        for k, v in env.items():
            env_args += ["-e", "%s=%s" % (k, v)]
        self.tmux("-f", "/dev/null", "new-session", "-d", "-x", str(self.cols),
                  "-y", str(self.rows), "-c", self.dir, *env_args,
                  "/bin/sh")
        self.tmux("set-option", "-g", "remain-on-exit", "on")
        self.tmux("set-option", "-g", "status", "off")
        self.started = True
        # The shell reads what is typed once its prompt stands.
        deadline = time.monotonic() + 10
        while not self.text().strip():
            if time.monotonic() > deadline:
                raise AssertionError("the shell shows no prompt")
            time.sleep(0.02)

    def start(self, args, frozen_time=None):
        """Runs the program directly as the pane's command."""
        env = _environment(frozen_time)
        env_args = []
        for k, v in env.items():
            env_args += ["-e", "%s=%s" % (k, v)]
        # tmux 3.3 sometimes loses a pane's exit status (it sees the pty close
        # before the child is reaped), so the shell around the program keeps it.
        self.status_file = os.path.join(self.dir, "exit-status")
        cmd = " ".join([self.binary] + ["'%s'" % a for a in args])
        cmd += "; echo $? > '%s'" % self.status_file
        self.tmux("-f", "/dev/null", "new-session", "-d", "-x", str(self.cols),
                  "-y", str(self.rows), "-c", self.dir, *env_args, cmd)
        self.tmux("set-option", "-g", "remain-on-exit", "on")
        self.tmux("set-option", "-g", "status", "off")
        self.started = True

    def type(self, text, enter=True):
        self.tmux("send-keys", "-l", text)
        if enter:
            self.tmux("send-keys", "Enter")

    def send(self, keys):
        self.tmux("send-keys", "-l", keys)

    def send_named(self, *names):
        """tmux key names such as Escape, Left, F1, Enter, C-c."""
        self.tmux("send-keys", *names)

    def text(self):
        r = self.tmux("capture-pane", "-p", "-t", "0", check=False)
        return r.stdout

    def wait_for(self, text, timeout=10.0):
        deadline = time.monotonic() + timeout
        while text not in self.text():
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for %r; screen:\n%s"
                                     % (text, self.text()))
            time.sleep(0.05)

    def pane_dead(self):
        r = self.tmux("display-message", "-p", "-t", "0", "#{pane_dead}", check=False)
        return r.stdout.strip() == "1"

    def wait_exit(self, timeout=20.0):
        """The program's exit code (128 + n for a signal n)."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                with open(self.status_file) as f:
                    text = f.read().strip()
                if text:
                    return int(text)
            except FileNotFoundError:
                pass
            if time.monotonic() > deadline:
                raise AssertionError("program did not end:\n" + self.text())
            time.sleep(0.05)

    def close(self):
        if self.started:
            self.tmux("kill-server", check=False)
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class SessionCase(unittest.TestCase):
    """A test with a fresh ``Session`` in ``self.s``, closed after the test
    whatever its outcome; ``files`` (name -> content) are written into its
    folder first."""

    files = {}

    def setUp(self):
        self.s = Session()
        self.addCleanup(self.s.close)
        for name, content in self.files.items():
            self.s.write_file(name, content)


def open_runs_entry(session, files, frozen_time=None, job_control=False):
    """Starts the program on `files` (the last is the output file), answers
    'y' to the Monte Carlo question and 'n' to the default number of runs,
    and waits at the entry of the number of runs."""
    session.start(list(files), frozen_time=frozen_time, job_control=job_control)
    session.wait_for("(y/n)")
    session.send("y")
    session.wait_for("select key")
    session.send("n")
    session.wait_for("enter number of runs")


def run_piped(args, keys=b"", files=None, frozen_time=None, timeout=60):
    """Runs the program with pipes for standard input and output. Returns
    (exit code, stdout bytes, stderr bytes, folder); the caller removes the
    folder (shutil.rmtree)."""
    folder = tempfile.mkdtemp(prefix="hwmc-pipe-")
    binary = _private_binary(folder)
    for name, content in (files or {}).items():
        data = content.encode("latin-1") if isinstance(content, str) else content
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    r = subprocess.run([binary] + list(args), input=keys, capture_output=True,
                       cwd=folder, env=_environment(frozen_time), timeout=timeout)
    return r.returncode, r.stdout, r.stderr, folder
