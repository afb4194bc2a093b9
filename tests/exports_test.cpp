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

TEST(Exports, LibraryCopyReadsItsOwnConfiguration) {
  TempDir dir;
  WriteFileBytes(dir / "quavert.ini", "[Path]\nVoiceSearchPath=nowhere\n");
  LibraryCopy lib(dir.Path());
  ASSERT_NE(lib.Compile, nullptr);
  lib.SetErrorMessageOptions(15);
  EXPECT_EQ(lib.Compile((dir / "a.mml").c_str(), ""), crOk);
  const auto lines = lib.LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(dir.Path() + "/nowhere/"), std::string::npos);
  // the linked library has no configuration and logs nothing
  EXPECT_TRUE(Compile("").lines.empty());
}
