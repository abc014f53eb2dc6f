// Text from outside (file names, labels, record excerpts) made safe for one
// line of a row or a message: tab, line feed, carriage return and backslash
// become \t, \n, \r and \\; every other control byte, and every byte that is
// not part of a well-formed UTF-8 character, becomes \xNN (two upper-case
// hexadecimal digits). Printable ASCII and well-formed UTF-8 (C1 controls
// aside) stay as they are, so the escaping can be undone exactly.
#pragma once

#include <string>
#include <string_view>

std::string escape_text(std::string_view text);

// Text safe to write to a terminal whatever it holds, where parts of it may
// be escaped already: as escape_text but that a backslash stays as it is, so
// text without control bytes or ill-formed UTF-8 is unchanged (the one
// escaping of a whole message, over pieces escaped before it was made).
std::string escape_controls(std::string_view text);

// The text escape_text was given back: \t \n \r \\ and \xNN undone. Of
// text it did not write, another backslash pair gives its second character
// and a "\x" without two hexadecimal digits stays as it is.
std::string unescape_text(std::string_view text);

// False when escape_text would give the text as it is because every byte is
// printable ASCII other than the backslash: such text (most names) can be
// used without making the escaped copy. True does not mean it changes.
bool may_need_escape(std::string_view text);
