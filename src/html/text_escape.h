// Text from the run (file names, population and locus names, the command
// line) made safe inside an HTML or XML page: markup characters become
// entities, and what no XML parser accepts (control characters other than
// tab, line feed and carriage return; bytes that are not UTF-8) becomes
// U+FFFD, so that no name can break or end the page.
#pragma once

#include <string>
#include <string_view>

std::string escape_markup(std::string_view text);
void append_markup(std::string& out, std::string_view text);
