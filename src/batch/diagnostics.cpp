#include "batch/diagnostics.h"

#include <cstdio>

#include "fileio/text_escape.h"

void report_failure(const Diagnostics& diagnostics, std::string_view what,
                    std::string_view reason) {
  std::string line = diagnostics.program;
  line += ": ";
  line += escape_text(what);
  line += ": ";
  // The reason's pieces from outside are mostly escaped where it is made;
  // any that is not cannot reach the terminal raw from here.
  line += escape_controls(reason.substr(0, reason.find('\0')));  // as a C string would end it
  line += '\n';
  if (diagnostics.write) {
    diagnostics.write(line);
  } else {
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
}
