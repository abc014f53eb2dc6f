#include "batch/annotate_output.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> keys_of(const std::vector<CopyTag>& tags) {
  std::vector<std::string> keys;
  for (const CopyTag& t : tags) keys.push_back(t.key);
  return keys;
}

TEST(AnnotateOutput, OneSetOfTagsWithoutPops) {
  EXPECT_EQ(keys_of(annotation_tags({"all"}, false)),
            (std::vector<std::string>{"HWE_P", "HWE_LOG10P", "HWE_MIDP", "HWE_FIS"}));
}

// Population names become INFO keys: other bytes are '_', two names that
// would give one key get a number, and each tag says whose it is.
TEST(AnnotateOutput, PopulationNamesBecomeDistinctKeys) {
  const std::vector<CopyTag> tags =
      annotation_tags({"EUR", "case-1", "case 1", "1.b\"q"}, true);
  ASSERT_EQ(tags.size(), 16u);
  const std::vector<std::string> p = {tags[0].key, tags[4].key, tags[8].key, tags[12].key};
  EXPECT_EQ(p, (std::vector<std::string>{"HWE_P_EUR", "HWE_P_case_1", "HWE_P_case_1_2",
                                         "HWE_P_1.b_q"}));
  EXPECT_EQ(tags[9].key, "HWE_LOG10P_case_1_2");
  EXPECT_EQ(tags[15].key, "HWE_FIS_1.b_q");
  EXPECT_NE(tags[8].description.find("population case 1"), std::string::npos);
  EXPECT_NE(tags[12].description.find("population 1.b\"q"), std::string::npos);
}

}  // namespace
