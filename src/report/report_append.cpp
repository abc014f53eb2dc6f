#include "report/report_append.h"

#include "report/report_text.h"

AppendResult append_to_file(const char* path, const std::string& bytes) {
  ReportSink sink;
  SinkResult result = open_report_sink(sink, path, false);
  if (result.status == AppendResult::kDone) result = append_to_sink(sink, bytes);
  const SinkResult closed = close_report_sink(sink);
  if (result.status == AppendResult::kDone) result = closed;
  return result.status;
}

AppendResult append_report(const char* path, const char* input_name, const UnitResult& results,
                           const std::tm& when) {
  return append_to_file(path, build_report_bytes(input_name, results, when));
}

std::tm local_now() {
  std::tm when{};
  std::time_t now = std::time(nullptr);
  localtime_r(&now, &when);
  return when;
}
