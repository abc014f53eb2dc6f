// The 80 x 25 text console every screen of the program draws on.
//
// A screen model (cells of one CP437 byte plus one attribute byte, the current
// attribute, the cursor and its shape, the pending scan code of an extended key)
// that the con_ operations act on. Coordinates are 1-based (column, row). A
// backend (terminal.h, or a test's script of keys) presents the model and
// supplies keys; without one nothing is drawn and no key ever comes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kScreenWidth = 80;
constexpr int kScreenHeight = 25;

struct Cell {
  uint8_t ch;
  uint8_t attr;
};

struct ConsoleInfo {
  uint8_t win_left, win_top, win_right, win_bottom;
  uint8_t attribute, normal_attribute, mode;
  uint8_t screen_height, screen_width;
  uint8_t cursor_x, cursor_y;
};

enum CursorType { kCursorHidden = 0, kCursorBlock = 1, kCursorNormal = 2 };

// The text attributes the screens use (foreground + 16 x background, 128
// blink).
enum Color : int {
  kColorCyan = 3,
  kColorLightGray = 7,
  kColorLightBlue = 9,
  kColorLightRed = 12,
  kColorWhite = 15,
  kAttrBlackOnGray = 112,
  kAttrBlinkingWhite = 143,
};

// Plain key codes the program answers to.
constexpr int kKeyBackspace = 8;
constexpr int kKeyEnter = 13;
constexpr int kKeyCtrlZ = 26;
constexpr int kKeyEsc = 27;
constexpr int kKeyDelete = 127;

// CP437 glyphs drawn on the screens.
constexpr int kGlyphRightTriangle = 0x10;
constexpr int kGlyphLeftTriangle = 0x11;
constexpr int kGlyphDownArrow = 0x19;
constexpr int kGlyphLightShade = 0xB0;
constexpr int kGlyphBoxHorizontal = 0xC4;
constexpr int kGlyphDoubleHorizontal = 0xCD;
constexpr int kGlyphFullBlock = 0xDB;
constexpr int kGlyphUpperHalfBlock = 0xDF;
constexpr int kGlyphSuperscriptTwo = 0xFD;

// Key events as a key source delivers them: 0..255 a plain key code,
// kExtendedKey | scan for an extended key (con_getch gives 0, then the scan
// code), kKeyInputEnded when no key can come any more.
constexpr int kExtendedKey = 0x100;
constexpr int kKeyInputEnded = -1;

// PC scan codes of the extended keys the decoder knows.
enum ScanCode : int {
  kScanF1 = 59, kScanF2, kScanF3, kScanF4, kScanF5, kScanF6, kScanF7, kScanF8,
  kScanF9, kScanF10 = 68,
  kScanHome = 71, kScanUp = 72, kScanPageUp = 73, kScanLeft = 75,
  kScanRight = 77, kScanEnd = 79, kScanDown = 80, kScanPageDown = 81,
  kScanInsert = 82, kScanDelete = 83,
};

// Where keys and pictures go. Every member may be null.
struct ConsoleBackend {
  void* ctx = nullptr;
  // Blocks for the next key event (see above).
  int (*read_key)(void* ctx) = nullptr;
  // Non-blocking: is a key event waiting?
  bool (*key_waiting)(void* ctx) = nullptr;
  // Called at the end of every console operation that changed the screen or
  // the cursor: show the model as it now stands.
  void (*present)(void* ctx) = nullptr;
  // The tone of byte 7.
  void (*bell)(void* ctx) = nullptr;
  // Stream output: when set, receives every piece of bytes the character
  // writer processes (control codes included), with the attribute they are
  // written in, in addition to the model being updated. A backend that no
  // longer shows the model (it writes at the terminal's own cursor) sets it.
  void (*stream)(void* ctx, const uint8_t* bytes, size_t count, uint8_t attr) = nullptr;
  // Stream output: con_clear_eol was called, with the current attribute.
  void (*stream_clear_eol)(void* ctx, uint8_t attr) = nullptr;
};

// Operations with the exact semantics the program relies on.
void con_goto(int x, int y);
void con_goto_clear(int x, int y);
void con_clear_eol();
void con_clear_screen();
void con_set_color(int c);
void con_set_attr(int a);
int con_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int con_vprintf(const char* format, va_list ap);
int con_putch(int c);
int con_getch();
int con_kbhit();
int con_where_x();
int con_where_y();
int con_save_rect(int left, int top, int right, int bottom, void* buffer);
int con_restore_rect(int left, int top, int right, int bottom, const void* buffer);
void con_get_info(ConsoleInfo* info);
// buffer[0] holds the capacity (terminating zero included); the text starts at
// buffer + 2, its length is stored in buffer[1].
char* con_read_line(char* buffer);
void con_set_cursor_type(int type);

// Called when a key is needed and the key input has ended; it must not return
// (the program shows a message and exits; tests throw).
void con_set_input_end_handler(void (*handler)());

// Back to the state at start-up: a blank screen in attribute 7, cursor (1, 1),
// normal cursor, no pending scan code, no backend and no input end handler.
void con_reset();

// --- the model, for the backend and for tests ---
struct ConsoleModel {
  Cell cells[kScreenHeight][kScreenWidth];
  uint8_t attribute;
  uint8_t normal_attribute;
  int cursor_x;  // 1..80
  int cursor_y;  // 1..25
  int cursor_type;
  int pending_scan;  // -1 when none
};

const ConsoleModel& con_model();
void con_attach_backend(const ConsoleBackend& backend);

const Cell& con_cell(int x, int y);
// Row y as its CP437 bytes, trailing blanks kept (80 characters).
std::string con_row_text(int y);
