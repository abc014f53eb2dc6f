// The rows a spool holds, read back in order, for the batch tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "batch/row_spool.h"

inline std::vector<std::string> spooled_rows(RowSpool& spool) {
  std::vector<std::string> rows;
  const int error = spool_replay(spool, [&](std::string_view text, size_t first) {
    EXPECT_EQ(first, rows.size());
    EXPECT_EQ(text.back(), '\n');
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find('\n', start);
      rows.emplace_back(text.substr(start, end - start));
      start = end + 1;
    }
    return true;
  });
  EXPECT_EQ(error, 0);
  return rows;
}
