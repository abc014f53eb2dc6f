// The console model driven by an operation script from the fuzzer's bytes:
// positions, colours, texts, rectangles and key scripts are arbitrary. After
// every operation the model must agree with the reference model of
// reference_screen.h and its cursor must be on the screen. When the fuzzer
// attaches a backend, every change is rendered for a terminal of a
// fuzzer-chosen size and replayed on the mini terminal, which must then show
// what the model holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/console_script.h"
#include "console/cp437.h"
#include "console/screen_render.h"
#include "fuzz/mini_terminal.h"
#include "fuzz/reference_screen.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

struct Renderer {
  TerminalSize size;
  std::unique_ptr<ShownScreen> shown = std::make_unique<ShownScreen>();
  MiniTerminal term;
  std::string out;
  int stream_attr = -1;  // the colours of the stream output so far
};

// The terminal shows the model: every cell that fits (the bottom-right cell
// of a smaller terminal excepted), and the cursor where the model has it.
void check_terminal(const Renderer& r) {
  const ConsoleModel& m = con_model();
  const int cols = std::min(r.size.cols, kScreenWidth);
  const int rows = std::min(r.size.rows, kScreenHeight);
  const bool small = r.size.cols < kScreenWidth || r.size.rows < kScreenHeight;
  MiniTerminal& t = const_cast<MiniTerminal&>(r.term);
  for (int y = 1; y <= rows; ++y) {
    for (int x = 1; x <= cols; ++x) {
      if (small && y == r.size.rows && x == r.size.cols) continue;
      const Cell& want = m.cells[y - 1][x - 1];
      const TermCell& have = term_cell(t, x, y);
      require(have.glyph == cp437_code_point(want.ch));
      require(have.attr == want.attr);
    }
  }
  require(t.x == std::clamp(m.cursor_x, 1, cols) && t.y == std::clamp(m.cursor_y, 1, rows));
  require(!t.wrap_pending);
  switch (m.cursor_type) {
    case kCursorHidden: require(!t.visible); break;
    case kCursorBlock: require(t.visible && t.shape == 2); break;
    default: require(t.visible && t.shape == 4); break;
  }
}

void render_now(Renderer& r) {
  r.out.clear();
  if (r.term.cols != r.size.cols || r.term.rows != r.size.rows)
    term_resize(r.term, r.size.cols, r.size.rows);
  render_update(con_model(), r.size, *r.shown, r.out);
  term_feed(r.term, r.out);
  check_terminal(r);
}

void present(void* ctx) { render_now(*static_cast<Renderer*>(ctx)); }

// Stream output carries no control code but the three the writer moves
// the cursor with, and ESC for colours and the clear.
void check_stream_bytes(const std::string& out) {
  for (char c : out) {
    const uint8_t b = static_cast<uint8_t>(c);
    require(b >= 0x20 || b == 8 || b == 10 || b == 13 || b == 0x1B);
  }
}

void stream(void* ctx, const uint8_t* bytes, size_t count, uint8_t attr) {
  Renderer& r = *static_cast<Renderer*>(ctx);
  const int before = r.stream_attr;
  r.out.clear();
  render_stream(bytes, count, attr, r.stream_attr, r.out);
  check_stream_bytes(r.out);
  // Colours change only to the piece's own, and only for a glyph.
  require(r.stream_attr == before || r.stream_attr == attr);
}

void stream_clear_eol(void* ctx, uint8_t attr) {
  Renderer& r = *static_cast<Renderer*>(ctx);
  r.out.clear();
  render_stream_clear_eol(attr, r.stream_attr, r.out);
  check_stream_bytes(r.out);
  require(r.stream_attr == attr);
}

void ignore_input_end() {}

TerminalSize fuzzed_size(FuzzedDataProvider& fdp) {
  // Sizes around the 80 x 25 screen matter most; a window can be anything
  // from one cell up.
  if (fdp.ConsumeBool())
    return TerminalSize{fdp.ConsumeIntegralInRange<int>(1, 0xFFFF),
                        fdp.ConsumeIntegralInRange<int>(1, 0xFFFF)};
  return TerminalSize{fdp.ConsumeIntegralInRange<int>(1, 90), fdp.ConsumeIntegralInRange<int>(1, 30)};
}

int fuzzed_coordinate(FuzzedDataProvider& fdp) {
  if (fdp.ConsumeBool()) return fdp.ConsumeIntegral<int>();
  return fdp.ConsumeIntegralInRange<int>(-2, 83);
}

int fuzzed_key_event(FuzzedDataProvider& fdp) {
  if (fdp.ConsumeIntegralInRange<int>(0, 3) == 0)
    return kExtendedKey | fdp.ConsumeIntegral<uint8_t>();
  return fdp.ConsumeIntegral<uint8_t>();
}

void check_model(const ReferenceScreen& ref) {
  const ConsoleModel& m = con_model();
  require(m.cursor_x >= 1 && m.cursor_x <= kScreenWidth);
  require(m.cursor_y >= 1 && m.cursor_y <= kScreenHeight);
  require(con_where_x() == ref.x && con_where_y() == ref.y);
  require(m.attribute == ref.attribute && m.cursor_type == ref.cursor_type);
  require(std::memcmp(m.cells, ref.cells, sizeof m.cells) == 0);
  // A pending scan code is exactly a 0 already handed out and its scan code
  // still to come.
  require(m.pending_scan >= -1 && m.pending_scan <= 255);
}

// Reads with con_getch as many codes as the reference holds, then one more
// when the fuzzer wants the end of the input met.
void getch_codes(FuzzedDataProvider& fdp, ReferenceScreen& ref, bool throws) {
  const size_t reads = fdp.ConsumeIntegralInRange<size_t>(0, 8);
  for (size_t i = 0; i < reads; ++i) {
    require((con_kbhit() != 0) == !ref.codes.empty());
    if (ref.codes.empty()) {
      if (throws) {
        bool ended = false;
        try {
          con_getch();
        } catch (const ConsoleInputEnded&) {
          ended = true;
        }
        require(ended);
      } else {
        require(con_getch() == -1);
      }
      return;
    }
    require(con_getch() == ref.codes.front());
    ref.codes.pop_front();
  }
}

void read_line(FuzzedDataProvider& fdp, ReferenceScreen& ref, bool throws) {
  const int capacity = fdp.ConsumeIntegral<uint8_t>();
  const size_t keys = fdp.ConsumeIntegralInRange<size_t>(0, 40);
  std::vector<int> events;
  for (size_t i = 0; i < keys; ++i) events.push_back(fuzzed_key_event(fdp));
  if (fdp.ConsumeBool()) events.push_back(13);
  con_push_test_keys(events);
  for (int e : events) ref_push_event(ref, e);

  // Exactly the bytes the caller promises: capacity, length, text and its
  // terminating zero, so one byte too far is caught.
  std::vector<char> buffer(static_cast<size_t>(capacity) + 2, '\x55');
  buffer[0] = static_cast<char>(capacity);
  std::string want;
  const bool entered = ref_read_line(ref, capacity, want);
  bool ended = false;
  char* text = nullptr;
  try {
    text = con_read_line(buffer.data());
  } catch (const ConsoleInputEnded&) {
    ended = true;
  }
  if (throws && !entered) {
    require(ended);
    return;
  }
  require(!ended && text == buffer.data() + 2);
  require(static_cast<uint8_t>(buffer[1]) == want.size());
  require(std::memcmp(text, want.data(), want.size()) == 0);
  if (capacity > 0) require(text[want.size()] == '\0');
}

void save_and_restore(FuzzedDataProvider& fdp, ReferenceScreen& ref) {
  const int left = fuzzed_coordinate(fdp), top = fuzzed_coordinate(fdp);
  const int right = fuzzed_coordinate(fdp), bottom = fuzzed_coordinate(fdp);
  const bool valid = ref_rect_valid(left, top, right, bottom);
  const size_t bytes =
      valid ? static_cast<size_t>(right - left + 1) * static_cast<size_t>(bottom - top + 1) * 2 : 1;
  std::vector<uint8_t> saved(bytes, 0xAA);
  require(con_save_rect(left, top, right, bottom, saved.data()) == (valid ? 1 : 0));
  if (!valid) {
    require(saved[0] == 0xAA);
    require(con_restore_rect(left, top, right, bottom, saved.data()) == 0);
    return;
  }
  size_t at = 0;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x, at += 2)
      require(saved[at] == ref.cells[y - 1][x - 1].ch && saved[at + 1] == ref.cells[y - 1][x - 1].attr);

  // Either the saved cells come straight back, or the fuzzer's own.
  if (fdp.ConsumeBool()) {
    for (size_t i = 0; i < bytes; ++i) saved[i] = fdp.ConsumeIntegral<uint8_t>();
  }
  require(con_restore_rect(left, top, right, bottom, saved.data()) == 1);
  at = 0;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x, at += 2) ref.cells[y - 1][x - 1] = Cell{saved[at], saved[at + 1]};
}

void check_info(const ReferenceScreen& ref) {
  ConsoleInfo info;
  con_get_info(&info);
  require(info.win_left == 1 && info.win_top == 1 && info.win_right == kScreenWidth &&
          info.win_bottom == kScreenHeight);
  require(info.attribute == ref.attribute && info.cursor_x == ref.x && info.cursor_y == ref.y);
  require(info.screen_width == kScreenWidth && info.screen_height == kScreenHeight);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const bool rendered = fdp.ConsumeBool();
  const bool streamed = fdp.ConsumeBool();
  const bool throws = fdp.ConsumeBool();  // key input end: exception or handler

  con_reset_for_test();
  auto reference = std::make_unique<ReferenceScreen>();
  ReferenceScreen& ref = *reference;
  ref_reset(ref);
  if (!throws) con_set_input_end_handler(ignore_input_end);

  Renderer renderer;
  renderer.size = fuzzed_size(fdp);
  if (rendered || streamed) {
    ConsoleBackend backend;
    backend.ctx = &renderer;
    if (rendered) backend.present = present;
    if (streamed) {
      backend.stream = stream;
      backend.stream_clear_eol = stream_clear_eol;
    }
    attach_with_script(backend);
  }

  for (int op = 0; op < 200 && fdp.remaining_bytes() > 0; ++op) {
    switch (fdp.ConsumeIntegralInRange<int>(0, 15)) {
      case 0: {
        const int x = fuzzed_coordinate(fdp), y = fuzzed_coordinate(fdp);
        con_goto(x, y);
        ref_goto(ref, x, y);
        break;
      }
      case 1: {
        const int x = fuzzed_coordinate(fdp), y = fuzzed_coordinate(fdp);
        con_goto_clear(x, y);
        ref_goto(ref, x, y);
        ref_clear_eol(ref);
        break;
      }
      case 2: {
        const int c = fdp.ConsumeIntegral<int>();
        require(con_putch(c) == c);
        ref_put(ref, static_cast<uint8_t>(c & 0xFF));
        break;
      }
      case 3: {
        const std::string text = fdp.ConsumeRandomLengthString(400);
        const std::string shown = text.substr(0, text.find('\0'));
        require(con_printf("%s", text.c_str()) == static_cast<int>(shown.size()));
        ref_write(ref, shown);
        break;
      }
      case 4: {
        const std::string text = fdp.ConsumeRandomLengthString(40);
        const int width = fdp.ConsumeIntegralInRange<int>(-100, 100);
        const int n = fdp.ConsumeIntegral<int>();
        char expected[512];
        const int length = std::snprintf(expected, sizeof expected, "%*s|%d", width, text.c_str(), n);
        require(con_printf("%*s|%d", width, text.c_str(), n) == length);
        ref_write(ref, std::string(expected, static_cast<size_t>(length)));
        break;
      }
      case 5: {
        const int c = fdp.ConsumeIntegral<int>();
        con_set_color(c);
        ref.attribute = static_cast<uint8_t>((ref.attribute & 0x70) | (c & 0x8F));
        break;
      }
      case 6: {
        const int a = fdp.ConsumeIntegral<int>();
        con_set_attr(a);
        ref.attribute = static_cast<uint8_t>(a & 0xFF);
        break;
      }
      case 7:
        con_clear_eol();
        ref_clear_eol(ref);
        break;
      case 8:
        con_clear_screen();
        ref_clear_screen(ref);
        break;
      case 9:
        save_and_restore(fdp, ref);
        break;
      case 10:
        read_line(fdp, ref, throws);
        break;
      case 11: {
        const int type = fdp.ConsumeIntegralInRange<int>(-2, 4);
        con_set_cursor_type(type);
        if (type >= kCursorHidden && type <= kCursorNormal) ref.cursor_type = type;
        break;
      }
      case 12: {
        std::vector<int> events;
        const size_t n = fdp.ConsumeIntegralInRange<size_t>(0, 6);
        for (size_t i = 0; i < n; ++i) events.push_back(fuzzed_key_event(fdp));
        con_push_test_keys(events);
        for (int e : events) ref_push_event(ref, e);
        getch_codes(fdp, ref, throws);
        break;
      }
      case 13:
        renderer.size = fuzzed_size(fdp);
        render_now(renderer);
        break;
      case 14: {
        std::string close;
        render_close(con_model(), renderer.size, close);
        const std::string plain = render_plain_text(con_model());
        require(std::count(plain.begin(), plain.end(), '\n') <= kScreenHeight);
        break;
      }
      default:
        check_info(ref);
        break;
    }
    check_model(ref);
  }
  con_reset_for_test();
  return 0;
}
