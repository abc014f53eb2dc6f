#include "console/terminal.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "console/console.h"
#include "console/key_source.h"
#include "console/screen_render.h"

namespace {

constexpr int kIn = STDIN_FILENO;
constexpr int kOut = STDOUT_FILENO;

struct Terminal {
  bool open = false;
  bool closed = false;
  bool in_is_tty = false;
  bool out_is_tty = false;
  termios saved_in{};
  termios saved_out{};
  termios raw_in{};   // the program's modes, kept for a continue after a stop
  termios raw_out{};
  bool restore_in = false;
  bool restore_out = false;  // stdout is a terminal of its own
  TerminalSize size;
  bool clipped = false;
  bool alternate = false;
  bool stream_mode = false;
  int stream_attr = -1;
  KeySource keys;
  ShownScreen shown;
  std::string out;  // bytes for the next write(2)
  std::terminate_handler previous_terminate = nullptr;
};

Terminal g_term;

// What a fatal signal and a stop write: kept ready after every update so
// that the handlers need nothing but write(2). Two buffers each, switched by
// one index, so that a handler never reads one being rewritten.
struct SignalRestore {
  char bytes[2][96];
  volatile sig_atomic_t length[2];
  char stop_bytes[2][96];
  volatile sig_atomic_t stop_length[2];
  volatile sig_atomic_t current;
  volatile sig_atomic_t active;  // the terminal is in the program's modes
  volatile sig_atomic_t write_escapes;
};
SignalRestore g_signal_restore{};
volatile sig_atomic_t g_window_changed = 0;
// Set when the process goes on after a stop: the terminal was given back
// meanwhile, so the whole screen has to be drawn again.
volatile sig_atomic_t g_resumed = 0;

void prepare_signal_restore(const std::string& bytes, const std::string& stop_bytes) {
  const int next = 1 - g_signal_restore.current;
  const size_t n = std::min(bytes.size(), sizeof g_signal_restore.bytes[0]);
  bytes.copy(g_signal_restore.bytes[next], n);
  g_signal_restore.length[next] = static_cast<sig_atomic_t>(n);
  const size_t m = std::min(stop_bytes.size(), sizeof g_signal_restore.stop_bytes[0]);
  stop_bytes.copy(g_signal_restore.stop_bytes[next], m);
  g_signal_restore.stop_length[next] = static_cast<sig_atomic_t>(m);
  g_signal_restore.current = next;
}

// Output is not interrupted by a stop half way through an escape sequence:
// the stop's own bytes must reach a terminal that understands them.
struct HoldStop {
  sigset_t old_mask;
  HoldStop() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_BLOCK, &stop, &old_mask);
  }
  HoldStop(const HoldStop&) = delete;
  HoldStop& operator=(const HoldStop&) = delete;
  ~HoldStop() { sigprocmask(SIG_SETMASK, &old_mask, nullptr); }
};

void write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    } else {
      return;  // output that cannot be shown is lost
    }
  }
}

void flush_out() {
  if (g_term.out.empty()) return;
  const HoldStop held;
  write_all(kOut, g_term.out.data(), g_term.out.size());
  g_term.out.clear();
}

TerminalSize query_size() {
  winsize ws{};
  if (ioctl(kOut, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0)
    return TerminalSize{ws.ws_col, ws.ws_row};
  return TerminalSize{};
}

void update_signal_restore() {
  std::string bytes = "\x1b[0m\x1b[0 q\x1b[?25h";
  std::string stop_bytes = bytes;
  if (g_term.alternate) {
    bytes += "\x1b[?1049l";
    stop_bytes = bytes;
  } else if (!g_term.stream_mode) {
    std::string close;
    render_close(con_model(), g_term.size, close);
    bytes = close;
    // The shell's lines go below the whole screen, not into it.
    stop_bytes.clear();
    render_stop(g_term.size, stop_bytes);
  }
  prepare_signal_restore(bytes, stop_bytes);
}

// After a stop: back to the program's screen, drawn from nothing.
void take_up_after_stop() {
  g_resumed = 0;
  g_window_changed = 1;
  if (g_term.alternate) g_term.out += "\x1b[?1049h";
  g_term.shown.valid = false;
  g_term.shown.cursor_type = -1;
  g_term.stream_attr = -1;
}

void present(void*) {
  if (!g_term.out_is_tty || g_term.closed) return;
  if (g_resumed) take_up_after_stop();
  if (!g_term.stream_mode) {
    if (g_window_changed) {
      g_window_changed = 0;
      g_term.size = query_size();
    }
    render_update(con_model(), g_term.size, g_term.shown, g_term.out);
    update_signal_restore();
  }
  flush_out();
}

void bell(void*) {
  if (g_term.out_is_tty && !g_term.closed) g_term.out += '\a';
}

// After the alternate screen: the writer's text goes to the terminal's own
// cursor as it comes, so the closing lines land under the user's command.
void stream(void*, const uint8_t* bytes, size_t count, uint8_t attr) {
  render_stream(bytes, count, attr, g_term.stream_attr, g_term.out);
}

void stream_clear_eol(void*, uint8_t attr) {
  render_stream_clear_eol(attr, g_term.stream_attr, g_term.out);
}

int read_key(void*) {
  if (g_resumed) present(nullptr);
  return key_source_read(g_term.keys);
}
// Keys from a pipe or file are answers to the program's questions, taken
// when a question is asked; none of them is pressed while the program works,
// so a Monte Carlo run must not swallow them.
bool key_waiting(void*) {
  if (g_resumed) present(nullptr);
  return g_term.keys.is_terminal && key_source_waiting(g_term.keys);
}

void redraw_after_signal(void*) {
  if (g_resumed || (g_window_changed && !g_term.stream_mode)) present(nullptr);
}

void attach() {
  ConsoleBackend b;
  b.read_key = read_key;
  b.key_waiting = key_waiting;
  b.present = present;
  b.bell = bell;
  if (g_term.stream_mode) {
    b.stream = stream;
    b.stream_clear_eol = stream_clear_eol;
  }
  con_attach_backend(b);
}

void restore_modes() {
  if (g_term.restore_in) tcsetattr(kIn, TCSADRAIN, &g_term.saved_in);
  if (g_term.restore_out) tcsetattr(kOut, TCSADRAIN, &g_term.saved_out);
}

void on_fatal_signal(int sig) {
  const int saved_errno = errno;
  if (g_signal_restore.active) {
    g_signal_restore.active = 0;
    if (g_signal_restore.write_escapes) {
      const int i = g_signal_restore.current;
      ssize_t ignored = write(kOut, g_signal_restore.bytes[i], static_cast<size_t>(g_signal_restore.length[i]));
      (void)ignored;
    }
    if (g_term.restore_in) tcsetattr(kIn, TCSANOW, &g_term.saved_in);
    if (g_term.restore_out) tcsetattr(kOut, TCSANOW, &g_term.saved_out);
  }
  errno = saved_errno;
  _exit(128 + sig);
}

void on_window_change(int) { g_window_changed = 1; }

// The program's modes again; the screen follows at the next console call or
// key poll.
void take_terminal_back() {
  if (!g_signal_restore.active) return;
  if (g_term.restore_in) tcsetattr(kIn, TCSADRAIN, &g_term.raw_in);
  if (g_term.restore_out) tcsetattr(kOut, TCSADRAIN, &g_term.raw_out);
  g_resumed = 1;
}

void on_continue(int) {
  const int saved_errno = errno;
  take_terminal_back();
  errno = saved_errno;
}

// Ctrl-Z of a shell, kill -TSTP: the terminal as it was before the program,
// then the stop itself (the default action); on going on, the program's
// modes again. A process group that cannot be stopped (orphaned) goes on at
// once and takes the terminal back the same way.
void on_stop(int sig) {
  const int saved_errno = errno;
  if (g_signal_restore.active) {
    if (g_signal_restore.write_escapes) {
      const int i = g_signal_restore.current;
      ssize_t ignored = write(kOut, g_signal_restore.stop_bytes[i],
                              static_cast<size_t>(g_signal_restore.stop_length[i]));
      (void)ignored;
    }
    if (g_term.restore_in) tcsetattr(kIn, TCSADRAIN, &g_term.saved_in);
    if (g_term.restore_out) tcsetattr(kOut, TCSADRAIN, &g_term.saved_out);
  }
  struct sigaction stop_now{}, mine{};
  stop_now.sa_handler = SIG_DFL;
  sigemptyset(&stop_now.sa_mask);
  sigaction(sig, &stop_now, &mine);
  raise(sig);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, sig);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);  // the process stops here
  sigaction(sig, &mine, nullptr);
  take_terminal_back();
  errno = saved_errno;
}

void install_signal_handlers() {
  struct sigaction sa{};
  sigemptyset(&sa.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&sa.sa_mask, s);
  sa.sa_handler = on_fatal_signal;
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(s, &sa, nullptr);
  struct sigaction winch{};
  sigemptyset(&winch.sa_mask);
  winch.sa_handler = on_window_change;  // no SA_RESTART: a waiting poll wakes up to redraw
  sigaction(SIGWINCH, &winch, nullptr);
  // Interrupted system calls go on (input files are read meanwhile); a key
  // wait's poll(2) returns all the same, so the redraw comes at once.
  struct sigaction stop{};
  sigemptyset(&stop.sa_mask);
  sigaddset(&stop.sa_mask, SIGCONT);
  stop.sa_flags = SA_RESTART;
  stop.sa_handler = on_stop;
  sigaction(SIGTSTP, &stop, nullptr);
  struct sigaction go_on{};
  sigemptyset(&go_on.sa_mask);
  go_on.sa_flags = SA_RESTART;
  go_on.sa_handler = on_continue;
  sigaction(SIGCONT, &go_on, nullptr);
}

void on_terminate() {
  terminal_close();
  if (g_term.previous_terminate) g_term.previous_terminate();
  std::abort();
}

bool same_device(int a, int b) {
  struct stat sa{}, sb{};
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

// Raw keys: no echo, no line editing, no CR/NL translation, no flow
// control; Ctrl-C still interrupts, Ctrl-\ and Ctrl-Z arrive as keys.
void enter_raw_mode() {
  if (g_term.in_is_tty && tcgetattr(kIn, &g_term.saved_in) == 0) {
    termios raw = g_term.saved_in;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    raw.c_lflag |= ISIG;
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw.c_cc[VQUIT] = _POSIX_VDISABLE;
    raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    // A line feed of the screen moves down only; the program sends its own
    // carriage returns.
    if (g_term.out_is_tty && same_device(kIn, kOut)) raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    g_term.raw_in = raw;
    if (tcsetattr(kIn, TCSADRAIN, &raw) == 0) g_term.restore_in = true;
  }
  if (g_term.out_is_tty && !(g_term.in_is_tty && same_device(kIn, kOut)) &&
      tcgetattr(kOut, &g_term.saved_out) == 0) {
    termios out = g_term.saved_out;
    out.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    g_term.raw_out = out;
    if (tcsetattr(kOut, TCSADRAIN, &out) == 0) g_term.restore_out = true;
  }
}

void say_clipped() {
  char line[160];
  const int n = std::snprintf(line, sizeof line,
                              "hwmc: the terminal is %d x %d; the 80 x 25 screen is shown clipped\r\n",
                              g_term.size.cols, g_term.size.rows);
  if (n > 0) write_all(STDERR_FILENO, line, static_cast<size_t>(n));
}

}  // namespace

void terminal_open() {
  if (g_term.open) return;
  g_term.open = true;
  g_term.in_is_tty = isatty(kIn);
  g_term.out_is_tty = isatty(kOut);
  key_source_open(g_term.keys, kIn, g_term.in_is_tty);
  g_term.keys.interrupted = redraw_after_signal;
  if (g_term.out_is_tty) {
    g_term.size = query_size();
    g_term.clipped = g_term.size.cols < kScreenWidth || g_term.size.rows < kScreenHeight;
    if (g_term.clipped) say_clipped();
  }
  enter_raw_mode();
  g_signal_restore.write_escapes = g_term.out_is_tty;
  update_signal_restore();
  g_signal_restore.active = 1;
  install_signal_handlers();
  std::atexit(terminal_close);
  g_term.previous_terminate = std::set_terminate(on_terminate);
  attach();
}

void terminal_close() {
  if (!g_term.open || g_term.closed) return;
  if (g_term.out_is_tty) {
    if (g_term.stream_mode) {
      g_term.out += "\x1b[0m\x1b[0 q\x1b[?25h";
    } else if (g_term.alternate) {
      // The user's own screen comes back; the last picture goes with the
      // alternate one.
      g_term.out += "\x1b[0m\x1b[0 q\x1b[?25h\x1b[?1049l";
    } else {
      if (g_window_changed) {
        g_window_changed = 0;
        g_term.size = query_size();
      }
      render_update(con_model(), g_term.size, g_term.shown, g_term.out);
      render_close(con_model(), g_term.size, g_term.out);
    }
    flush_out();
  } else {
    const std::string text = render_plain_text(con_model());
    write_all(kOut, text.data(), text.size());
  }
  g_term.closed = true;
  g_signal_restore.active = 0;
  restore_modes();
  if (g_term.out_is_tty && g_term.clipped && !g_term.stream_mode) say_clipped();
  con_attach_backend(ConsoleBackend{});
}

void terminal_alternate_screen(bool on) {
  if (!g_term.open || g_term.closed || !g_term.out_is_tty || on == g_term.alternate) return;
  if (on) {
    g_term.out += "\x1b[?1049h";
    g_term.alternate = true;
    g_term.stream_mode = false;
    g_term.shown.valid = false;
    attach();
    present(nullptr);
  } else {
    g_term.out += "\x1b[0m\x1b[?1049l";
    g_term.alternate = false;
    g_term.stream_mode = true;
    g_term.stream_attr = -1;
    attach();
    update_signal_restore();
    flush_out();
  }
}

void terminal_flush_type_ahead() {
  if (g_term.open) key_source_flush_type_ahead(g_term.keys);
}
