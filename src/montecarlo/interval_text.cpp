#include "montecarlo/interval_text.h"

#include <cstdio>

namespace {

void append_interval(std::string& out, const char* label, const IntervalStyle& style, double low,
                     double high) {
  char limits[96];
  std::snprintf(limits, sizeof limits, "%-g - %-g;", low, high);
  out += label;
  out += style.arrow;
  out += limits;
  out += style.eol;
}

}  // namespace

std::string format_interval_list(const McResults& r, const IntervalStyle& style) {
  std::string out;
  if (r.runs_made != r.hits_hw) {
    out += style.hw_title;
    out += style.eol;
    append_interval(out, "              ", style, r.ci_hw_low, r.ci_hw_high);
    out += "\n";
  }
  out += "for D";
  out += style.eol;
  if (r.runs_made != r.hits_d_one)
    append_interval(out, "D(one tail)   ", style, r.ci_d_one_low, r.ci_d_one_high);
  if (r.runs_made != r.hits_d_both)
    append_interval(out, "D(both tails) ", style, r.ci_d_both_low, r.ci_d_both_high);
  return out;
}
