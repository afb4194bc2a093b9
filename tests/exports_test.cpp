// The four exports, the message log and its options, seen from a caller.
#include <gtest/gtest.h>

#include "support.h"

using namespace qt;

namespace {

const std::string kRule = "================================";

TEST(Exports, EmptySourceWritesTheSmallestProject) {
  const Outcome o = Compile("");
  EXPECT_EQ(o.result, crOk);
  EXPECT_TRUE(o.lines.empty());
  ASSERT_EQ(o.file.size(), 111u);
}

}  // namespace
