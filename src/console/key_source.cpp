#include "console/key_source.h"

#include <errno.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "console/console.h"

namespace {

constexpr int64_t kLookInterval_ns = 1'000'000;

int64_t now_ns(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void decode_pending(KeySource& s, bool idle) {
  if (s.pending_count == 0) return;
  s.scratch.clear();
  const size_t used = decode_keys(s.decoder, s.pending, s.pending_count, idle, s.scratch);
  for (int e : s.scratch) s.events.push_back(e);
  for (size_t i = used; i < s.pending_count; ++i) s.pending[i - used] = s.pending[i];
  s.pending_count -= used;
}

bool escape_timed_out(const KeySource& s) {
  return now_ns(CLOCK_MONOTONIC) - s.last_byte_ns >= s.escape_timeout_ns;
}

// One read(2). A terminal gives whatever is there; a pipe or file is read
// one byte at a time so that no more is taken than the keys asked for.
// Returns false when nothing was read (the input may have ended).
bool read_some(KeySource& s) {
  const size_t room = sizeof s.pending - s.pending_count;
  const size_t want = s.is_terminal ? room : 1;
  for (;;) {
    const ssize_t n = read(s.fd, s.pending + s.pending_count, want);
    if (n > 0) {
      s.pending_count += static_cast<size_t>(n);
      s.last_byte_ns = now_ns(CLOCK_MONOTONIC);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    s.ended = true;  // end of file, EIO of a terminal that went away, ...
    return false;
  }
}

// poll(2) for input; >0 readable (or hung up), 0 timeout, <0 interrupted.
int wait_readable(KeySource& s, int timeout_ms) {
  pollfd p{s.fd, POLLIN, 0};
  const int r = poll(&p, 1, timeout_ms);
  if (r < 0) {
    if (errno == EINTR || errno == EAGAIN) return -1;
    s.ended = true;
    return 1;
  }
  if (r > 0 && (p.revents & POLLNVAL)) s.ended = true;
  return r;
}

// Takes what the descriptor holds now, without waiting.
void take_available(KeySource& s) {
  while (!s.ended && s.events.empty() && s.pending_count < sizeof s.pending) {
    if (wait_readable(s, 0) <= 0 || s.ended) break;
    if (!read_some(s)) break;
    decode_pending(s, false);
    if (s.is_terminal) break;  // one read took everything a terminal had
  }
}

int pop_event(KeySource& s) {
  const int e = s.events.front();
  s.events.pop_front();
  return e;
}

}  // namespace

void key_source_open(KeySource& source, int fd, bool is_terminal) {
  source = KeySource{};
  source.fd = fd;
  source.is_terminal = is_terminal;
}

int key_source_read(KeySource& s) {
  for (;;) {
    if (!s.events.empty()) return pop_event(s);
    if (s.ended || s.fd < 0) {
      decode_pending(s, true);
      if (!s.events.empty()) continue;
      return kKeyInputEnded;
    }
    int timeout_ms = -1;
    if (s.pending_count > 0) {
      const int64_t left = s.escape_timeout_ns - (now_ns(CLOCK_MONOTONIC) - s.last_byte_ns);
      timeout_ms = left <= 0 ? 0 : static_cast<int>((left + 999'999) / 1'000'000);
    }
    const int r = wait_readable(s, timeout_ms);
    if (r < 0) {
      if (s.interrupted) s.interrupted(s.interrupted_ctx);
      continue;
    }
    if (r == 0) {
      if (escape_timed_out(s)) decode_pending(s, true);
      continue;
    }
    if (!s.ended && read_some(s)) decode_pending(s, false);
  }
}

bool key_source_waiting(KeySource& s) {
  if (!s.events.empty()) return true;
  if (s.ended || s.fd < 0) {
    decode_pending(s, true);
    return !s.events.empty();
  }
  // The coarse clock costs a few nanoseconds but ticks only every 1-4 ms;
  // every 16th call the precise one (~40 ns) keeps a caller that asks often
  // within about a millisecond of a key.
  if (now_ns(CLOCK_MONOTONIC_COARSE) < s.next_look_ns) {
    if ((++s.calls_between_looks & 15) != 0) return false;
    if (now_ns(CLOCK_MONOTONIC) < s.next_look_ns) return false;
  }
  s.next_look_ns = now_ns(CLOCK_MONOTONIC) + kLookInterval_ns;
  take_available(s);
  if (s.events.empty() && s.pending_count > 0 && (s.ended || escape_timed_out(s)))
    decode_pending(s, true);
  return !s.events.empty();
}

void key_source_flush_type_ahead(KeySource& s) {
  if (!s.is_terminal || s.fd < 0) return;
  tcflush(s.fd, TCIFLUSH);
  s.events.clear();
  s.pending_count = 0;
  s.decoder = KeyDecoder{};
}
