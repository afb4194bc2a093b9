// The configuration file beside the library: reading it, and the voice
// search folders it names. Each test loads a private copy of the library
// in a folder of its own, where it writes quavert.ini.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;


std::string Missing(const std::string& folder) {
  return Sjis(u8"音色パス \"") + folder + Sjis(u8"\" が見つかりません。この設定はスキップされます。");
}

// A small voice file the writer embeds as it is.
std::string Voice(const std::string& tag) { return "PTVOICE-" + Le32(20060111) + tag; }

class Config : public ::testing::Test {
 protected:
  Config() : lib_(dir_.Path()), base_(fs::canonical(dir_.Path()).string() + "/") {}

  // Writes quavert.ini (or removes it) and compiles mml with the private library.
  Outcome Run(const std::string* ini, const std::string& mml = "", int32_t options = 15) {
    if (ini)
      WriteFileBytes(dir_ / "quavert.ini", *ini);
    else
      fs::remove(dir_ / "quavert.ini");
    lib_.SetErrorMessageOptions(options);
    Outcome o;
    o.result = lib_.Compile((out_ / "song.mml").c_str(), mml.c_str());
    o.lines = lib_.LogLines();
    o.written = PathExists(out_ / "song.ptcop");
    if (o.written) o.file = ReadFileBytes(out_ / "song.ptcop");
    fs::remove(out_ / "song.ptcop");
    return o;
  }
  Outcome Run(const std::string& ini, const std::string& mml = "", int32_t options = 15) {
    return Run(&ini, mml, options);
  }

  TempDir dir_;  // the library's folder
  TempDir out_;  // where the projects go
  LibraryCopy lib_;
  std::string base_;  // the library's folder as the library sees it
};

TEST_F(Config, MissingFoldersAreReportedAndTheRestKept) {
  fs::create_directory(dir_ / "v1");
  fs::create_directory(dir_ / "v2");
  fs::create_symlink(dir_ / "v1", dir_ / "link");
  WriteFileBytes(dir_ / "afile", "x");
  struct Case {
    std::string ini;
    Lines expected;
  };
  const std::vector<Case> cases = {
      {"[Path]\nVoiceSearchPath=v1>missing>\n", {Missing(base_ + "missing/")}},
      {"[Path]\nVoiceSearchPath=m1>v1>m2/>v2/\n", {Missing(base_ + "m1/"), Missing(base_ + "m2/")}},
      {"[Path]\nVoiceSearchPath=/nonexistent-quavert-folder>" + base_ + "v1\n",
       {Missing("/nonexistent-quavert-folder/")}},
      {"[Path]\nVoiceSearchPath= a > \tb\t >v1> \t\n", {Missing(base_ + "a/"), Missing(base_ + "b/")}},
      {"[Path]\nVoiceSearchPath=afile>link\n", {Missing(base_ + "afile/")}},  // links followed
      {"[Path]\nVoiceSearchPath=>> >\n", {}},  // empty entries stay as they are
      {"[Path]\nVoiceSearchPath=\n", {}},
      {"[Path]\n", {}},
      {"", {}},
      // INI rules: ';' comments, names without case, trimming, quotes.
      {";VoiceSearchPath=c0\n[Path]\n  ; VoiceSearchPath=c1\nVoiceSearchPath=c2\n", {Missing(base_ + "c2/")}},
      {"[pATH]\nvoicesearchPATH=c3\n", {Missing(base_ + "c3/")}},
      {"  [ Path ]  \n  VoiceSearchPath  =  c4  \n", {Missing(base_ + "c4/")}},
      {"[Path]\nVoiceSearchPath=\"c 5>\"\n", {Missing(base_ + "c 5/")}},
      {"[Path]\r\nVoiceSearchPath=c6\r\n", {Missing(base_ + "c6/")}},
      {"[Path]\rVoiceSearchPath=c7", {Missing(base_ + "c7/")}},
      {"[Other]\nVoiceSearchPath=c8\n[Path]\nOther=c9\n", {}},
      {"[Other]\nVoiceSearchPath=c8\n[Path]\nVoiceSearchPath=c10\n", {Missing(base_ + "c10/")}},
      {"[Path]\nVoiceSearchPath=c11\n[Other]\nVoiceSearchPath=c12\n", {Missing(base_ + "c11/")}},
      {"[Path]\nVoiceSearchPathX=c13\nVoiceSearch=c14\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.ini));
    const Outcome o = Run(c.ini);
    EXPECT_EQ(o.result, crOk);
    EXPECT_TRUE(o.written);
    EXPECT_EQ(o.lines, c.expected);
  }
  const Outcome none = Run(nullptr);
  EXPECT_EQ(none.result, crOk);
  EXPECT_TRUE(none.lines.empty());
}

TEST_F(Config, MissingFolderLinesFollowTheBannerAndAreNeverSuppressed) {
  const Outcome o = Run("[Path]\nVoiceSearchPath=m1>m2\n", "!", 0);
  ASSERT_EQ(o.lines.size(), 9u);
  EXPECT_EQ(o.lines[3], "================================");
  EXPECT_EQ(o.lines[4], Missing(base_ + "m1/"));
  EXPECT_EQ(o.lines[5], Missing(base_ + "m2/"));
  EXPECT_EQ(o.lines[6].find(Sjis(u8"[ヒント] ")), 0u);
}

// The embedded copies of the voice files, in voice number order.
std::vector<std::string> EmbeddedVoices(const std::string& file) {
  std::vector<std::string> voices;
  const Project p = ParseProject(file);
  for (const Chunk& c : p.chunks)
    if (c.tag == "matePTV ") voices.push_back(c.body.substr(12));
  return voices;
}

TEST_F(Config, VoicesAreFoundInTheKeptFoldersInOrder) {
  TempDir elsewhere;  // an absolute folder
  fs::create_directory(dir_ / "v1");
  fs::create_directory(dir_ / "v2");
  WriteFileBytes(dir_ / "v1/qtcfg-one.ptvoice", Voice("one"));
  WriteFileBytes(dir_ / "v2/qtcfg-two.ptvoice", Voice("two"));
  WriteFileBytes(dir_ / "v1/qtcfg-both.ptvoice", Voice("both, first folder"));
  WriteFileBytes(dir_ / "v2/qtcfg-both.ptvoice", Voice("both, second folder"));
  WriteFileBytes(elsewhere / "qtcfg-abs.ptvoice", Voice("absolute"));
  const std::string ini = "[Path]\nVoiceSearchPath=v1>missing> v2 >" + elsewhere.Path() + ">\n";
  const Outcome o = Run(ini,
                        "#voice qtcfg-one.ptvoice\n#voice qtcfg-two.ptvoice\n"
                        "#voice qtcfg-both.ptvoice\n#voice qtcfg-abs.ptvoice\n");
  EXPECT_EQ(o.result, crOk);
  EXPECT_EQ(o.lines, Lines{Missing(base_ + "missing/")});
  EXPECT_EQ(EmbeddedVoices(o.file), (Lines{Voice("one"), Voice("two"), Voice("both, first folder"),
                                           Voice("absolute")}));

  // A folder that is not configured is not searched.
  const Outcome missing = Run("[Path]\nVoiceSearchPath=v1\n", "\n#voice qtcfg-two.ptvoice\nU50");
  EXPECT_EQ(missing.result, crCompileError);
  EXPECT_FALSE(missing.written);
  EXPECT_EQ(missing.lines,
            Lines{Sjis(u8"[エラー] qtcfg-two.ptvoice が見つかりません。 (2行目)")});
  // Nor is anything once the configuration is gone.
  EXPECT_EQ(Run(nullptr, "#voice qtcfg-one.ptvoice").result, crCompileError);
}

}  // namespace
