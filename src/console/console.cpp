#include "console/console.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "console/console_state.h"

namespace {

constexpr uint8_t kStartAttribute = 7;  // light grey on black, the PC default

void blank_model(ConsoleModel& m, uint8_t attr) {
  for (auto& row : m.cells)
    for (auto& c : row) c = Cell{' ', attr};
  m.attribute = attr;
  m.normal_attribute = attr;
  m.cursor_x = 1;
  m.cursor_y = 1;
  m.cursor_type = kCursorNormal;
  m.pending_scan = -1;
}

ConsoleState make_state() {
  ConsoleState s;
  blank_model(s.model, kStartAttribute);
  return s;
}

ConsoleState g_state = make_state();

ConsoleModel& model() { return g_state.model; }

void fill_row(int y, int from_x, uint8_t attr) {
  Cell* row = model().cells[y - 1];
  for (int x = from_x; x <= kScreenWidth; ++x) row[x - 1] = Cell{' ', attr};
}

void scroll_up() {
  ConsoleModel& m = model();
  std::memmove(&m.cells[0][0], &m.cells[1][0], sizeof(Cell) * kScreenWidth * (kScreenHeight - 1));
  fill_row(kScreenHeight, 1, m.attribute);
}

// The character writer: control codes 7, 8, 10 and 13 act, every other byte
// is a glyph; wrap and scroll happen at once, not at the next character.
void write_bytes(const uint8_t* bytes, size_t count) {
  ConsoleState& s = g_state;
  ConsoleModel& m = s.model;
  if (s.backend.stream) s.backend.stream(s.backend.ctx, bytes, count, m.attribute);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    switch (b) {
      case 7:
        if (s.backend.bell) s.backend.bell(s.backend.ctx);
        break;
      case 8:
        if (m.cursor_x > 1) --m.cursor_x;
        break;
      case 10:
        ++m.cursor_y;
        break;
      case 13:
        m.cursor_x = 1;
        break;
      default:
        m.cells[m.cursor_y - 1][m.cursor_x - 1] = Cell{b, m.attribute};
        ++m.cursor_x;
        break;
    }
    if (m.cursor_x > kScreenWidth) {
      m.cursor_x = 1;
      ++m.cursor_y;
    }
    if (m.cursor_y > kScreenHeight) {
      scroll_up();
      m.cursor_y = kScreenHeight;
    }
  }
}

bool rect_valid(int left, int top, int right, int bottom) {
  return left >= 1 && top >= 1 && right <= kScreenWidth && bottom <= kScreenHeight &&
         right >= left && bottom >= top;
}

bool goto_xy(int x, int y) {
  if (x < 1 || x > kScreenWidth || y < 1 || y > kScreenHeight) return false;
  model().cursor_x = x;
  model().cursor_y = y;
  return true;
}

void clear_eol() {
  ConsoleModel& m = model();
  fill_row(m.cursor_y, m.cursor_x, m.attribute);
  if (g_state.backend.stream_clear_eol) g_state.backend.stream_clear_eol(g_state.backend.ctx, m.attribute);
}

}  // namespace

ConsoleState& console_state() { return g_state; }

void console_present() {
  if (g_state.backend.present) g_state.backend.present(g_state.backend.ctx);
}

void con_goto(int x, int y) {
  if (goto_xy(x, y)) console_present();
}

void con_goto_clear(int x, int y) {
  goto_xy(x, y);
  clear_eol();
  console_present();
}

void con_clear_eol() {
  clear_eol();
  console_present();
}

void con_clear_screen() {
  for (int y = 1; y <= kScreenHeight; ++y) fill_row(y, 1, model().attribute);
  model().cursor_x = 1;
  model().cursor_y = 1;
  console_present();
}

void con_set_color(int c) {
  model().attribute = static_cast<uint8_t>((model().attribute & 0x70) | (c & 0x8F));
}

void con_set_attr(int a) { model().attribute = static_cast<uint8_t>(a & 0xFF); }

int con_vprintf(const char* format, va_list ap) {
  char small[256];
  va_list again;
  va_copy(again, ap);
  const int length = std::vsnprintf(small, sizeof small, format, ap);
  if (length < 0) {
    va_end(again);
    return length;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    write_bytes(reinterpret_cast<const uint8_t*>(small), static_cast<size_t>(length));
  } else {
    std::string large(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(large.data(), large.size(), format, again);
    write_bytes(reinterpret_cast<const uint8_t*>(large.data()), static_cast<size_t>(length));
  }
  va_end(again);
  console_present();
  return length;
}

int con_printf(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  const int length = con_vprintf(format, ap);
  va_end(ap);
  return length;
}

int con_putch(int c) {
  const uint8_t b = static_cast<uint8_t>(c & 0xFF);
  write_bytes(&b, 1);
  console_present();
  return c;
}

int con_where_x() { return model().cursor_x; }
int con_where_y() { return model().cursor_y; }

int con_save_rect(int left, int top, int right, int bottom, void* buffer) {
  if (!rect_valid(left, top, right, bottom) || buffer == nullptr) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) {
      const Cell& c = model().cells[y - 1][x - 1];
      *out++ = c.ch;
      *out++ = c.attr;
    }
  return 1;
}

int con_restore_rect(int left, int top, int right, int bottom, const void* buffer) {
  if (!rect_valid(left, top, right, bottom) || buffer == nullptr) return 0;
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) {
      model().cells[y - 1][x - 1] = Cell{in[0], in[1]};
      in += 2;
    }
  console_present();
  return 1;
}

void con_get_info(ConsoleInfo* info) {
  if (info == nullptr) return;
  const ConsoleModel& m = model();
  info->win_left = 1;
  info->win_top = 1;
  info->win_right = kScreenWidth;
  info->win_bottom = kScreenHeight;
  info->attribute = m.attribute;
  info->normal_attribute = m.normal_attribute;
  info->mode = 3;  // the 80-column colour text mode
  info->screen_height = kScreenHeight;
  info->screen_width = kScreenWidth;
  info->cursor_x = static_cast<uint8_t>(m.cursor_x);
  info->cursor_y = static_cast<uint8_t>(m.cursor_y);
}

void con_set_cursor_type(int type) {
  if (type != kCursorHidden && type != kCursorBlock && type != kCursorNormal) return;
  model().cursor_type = type;
  console_present();
}

const ConsoleModel& con_model() { return g_state.model; }

void con_attach_backend(const ConsoleBackend& backend) { g_state.backend = backend; }

void con_reset() {
  blank_model(g_state.model, kStartAttribute);
  g_state.backend = ConsoleBackend{};
  g_state.input_end_handler = nullptr;
  g_state.in_input_end_handler = false;
}

const Cell& con_cell(int x, int y) {
  static const Cell outside{' ', kStartAttribute};
  if (x < 1 || x > kScreenWidth || y < 1 || y > kScreenHeight) return outside;
  return g_state.model.cells[y - 1][x - 1];
}

std::string con_row_text(int y) {
  std::string text;
  if (y < 1 || y > kScreenHeight) return text;
  text.reserve(kScreenWidth);
  for (const Cell& c : g_state.model.cells[y - 1]) text.push_back(static_cast<char>(c.ch));
  return text;
}
