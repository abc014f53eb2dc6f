#include "app/report_writer.h"

#include <string>

#include "app/exit_path.h"
#include "console/console.h"
#include "report/report_append.h"

void write_report(const char* input_name, const UnitResult& r, const char* path) {
  switch (append_report(path, input_name, r, local_now())) {
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
