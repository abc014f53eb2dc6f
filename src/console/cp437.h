// Code page 437, the character set of the screen model, and its Unicode
// glyphs: every byte value, control codes included, has a visible glyph of
// one terminal column.
#pragma once

#include <cstdint>

// The Unicode code point shown for a CP437 byte.
uint32_t cp437_code_point(uint8_t byte);
// The same glyph as zero-terminated UTF-8 (1 to 3 bytes).
const char* cp437_utf8(uint8_t byte);
// The CP437 byte showing a code point, or -1 when code page 437 has none.
// A space maps to 32, not to byte 0.
int cp437_from_code_point(uint32_t code_point);
