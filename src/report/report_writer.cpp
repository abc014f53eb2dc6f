#include "report/report_writer.h"

#include <ctime>
#include <string>

#include "app/exit_path.h"
#include "console/console.h"
#include "report/report_append.h"
#include "report/report_text.h"

namespace {

void upper_case_in_place(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

std::tm local_now() {
  std::tm when{};
  std::time_t now = std::time(nullptr);
  localtime_r(&now, &when);
  return when;
}

}  // namespace

void write_report(const FileResults& r) {
  upper_case_in_place(r.args[r.file_index]);
  const char* path = r.args[r.arg_count - 1];

  const std::string bytes = build_report_bytes(r, local_now());
  switch (append_to_file(path, bytes)) {
    case AppendResult::kDone:
      return;
    case AppendResult::kOpenFailed:
      con_printf("%s%s\"\r\n", "\r\nfailure at opening \"", path);
      exit_at_once(1);
    case AppendResult::kWriteFailed: {
      const std::string message = std::string("failure at writing \"") + path + "\"";
      show_error(message.c_str());
      exit_program(1);
    }
  }
}
