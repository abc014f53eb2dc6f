// The cells of one finished batch line (ending in a line feed), an empty
// last cell included.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tsv/tsv_read.h"

inline std::vector<std::string> tsv_cells(const std::string& line) {
  EXPECT_FALSE(line.empty());
  if (line.empty()) return {};
  EXPECT_EQ(line.back(), '\n');
  std::vector<std::string> out;
  for (std::string_view cell : split_cells(std::string_view(line).substr(0, line.size() - 1)))
    out.emplace_back(cell);
  return out;
}
