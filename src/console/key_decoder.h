// Turns the bytes a terminal sends into key events (see console.h): plain
// codes, kExtendedKey | PC scan code for the cursor, editing and function
// keys in their xterm, VT and Linux-console forms, and nothing at all for
// sequences it does not know, which are swallowed whole.
//
// A pure function of the bytes plus one flag, `idle`: no further byte came
// within the escape timeout (or the input ended). Without it an Esc, or the
// start of a sequence, waits for more bytes; with it a lone Esc is the Esc
// key and an unfinished sequence is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What the decoder remembers between keys: a line feed right after a
// carriage return is the second half of one Enter, not a second one; the
// rest of an overlong control sequence is still to be dropped.
struct KeyDecoder {
  bool after_cr = false;
  bool in_long_sequence = false;
};

constexpr int kNoKeyEvent = -2;

struct DecodedKey {
  size_t used;  // bytes consumed; 0 when more bytes are needed first
  int event;    // the key event, or kNoKeyEvent when the bytes were dropped
};

// Decodes the first key of bytes[0..count). count must be at least 1. With
// idle set, used is never 0.
DecodedKey decode_key(KeyDecoder& decoder, const uint8_t* bytes, size_t count, bool idle);

// Decodes keys until the bytes run out or more are needed; appends the
// events and returns the number of bytes consumed.
size_t decode_keys(KeyDecoder& decoder, const uint8_t* bytes, size_t count, bool idle,
                   std::vector<int>& events);
