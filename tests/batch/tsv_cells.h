// The cells of one finished batch line (ending in a line feed), an empty
// last cell included.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string> tsv_cells(const std::string& line) {
  EXPECT_FALSE(line.empty());
  if (line.empty()) return {};
  EXPECT_EQ(line.back(), '\n');
  std::vector<std::string> out;
  std::stringstream in(line.substr(0, line.size() - 1));
  std::string cell;
  while (std::getline(in, cell, '\t')) out.push_back(cell);
  if (line.size() >= 2 && line[line.size() - 2] == '\t') out.push_back("");
  return out;
}
