// The four exports, the message log and its options, seen from a caller.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <regex>
#include <string_view>

#include "support.h"

using namespace qt;

namespace {

using Lines = std::vector<std::string>;

const std::string kRule = "================================";


TEST(Exports, EmptySourceWritesTheSmallestProject) {
  const Outcome o = Compile("");
  EXPECT_EQ(o.result, crOk);
  EXPECT_TRUE(o.lines.empty());
  ASSERT_EQ(o.file.size(), 111u);
}

// True when line is the elapsed-time line: "コンパイルが%.2f秒で完了しました。".
bool IsElapsedLine(const std::string& line) {
  const std::string head = Sjis(u8"コンパイルが"), tail = Sjis(u8"秒で完了しました。");
  if (line.size() < head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  const std::string seconds = line.substr(head.size(), line.size() - head.size() - tail.size());
  return std::regex_match(seconds, std::regex("[0-9]+\\.[0-9]{2}"));
}

TEST(Exports, EmptySourceLogUnderEachOptionWord) {
  struct Case {
    int32_t options;
    bool banner, output, elapsed;
  };
  const Case cases[] = {
      {0, true, true, true},      {1, false, true, true},    {2, true, true, true},
      {4, true, false, true},     {8, true, true, false},    {15, false, false, false},
      {16, true, true, true},     {17, false, true, true},   {0x7FFFFFF0, true, true, true},
      {-16, true, true, true},    {-1, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    TempDir dir;
    QuavertSetErrorMessageOptions(c.options);
    EXPECT_EQ(QuavertCompile((dir / "song.mml").c_str(), ""), crOk);
    const std::vector<std::string> lines = LogLines();
    size_t i = 0;
    if (c.banner) {
      ASSERT_GE(lines.size(), 4u);
      EXPECT_EQ(lines[0], kRule);
      EXPECT_EQ(lines[1], "  quavert Ver.0.9.6");
      EXPECT_FALSE(lines[2].empty());
      EXPECT_NE(lines[2], kRule);
      EXPECT_EQ(lines[3], kRule);
      i = 4;
    }
    if (c.output) {
      ASSERT_LT(i, lines.size());
      EXPECT_EQ(lines[i++], (dir / "song.ptcop") + Sjis(u8" に出力しました。"));
    }
    if (c.elapsed) {
      ASSERT_LT(i, lines.size());
      EXPECT_TRUE(IsElapsedLine(lines[i++])) << lines[i - 1];
    }
    EXPECT_EQ(i, lines.size());
    EXPECT_TRUE(PathExists(dir / "song.ptcop"));
  }
}

TEST(Exports, DirectiveEchoOption) {
  const Lines echo = {"title=abc"};
  EXPECT_EQ(Compile("#title abc", 1 | 4 | 8).lines, echo);
  EXPECT_EQ(Compile("#title abc", 16 | 1 | 4 | 8).lines, echo);
  EXPECT_EQ(Compile("#title abc", 2).lines.size(), 6u);  // banner, output, elapsed
  EXPECT_TRUE(Compile("#title abc", 15).lines.empty());
}

TEST(Exports, NullArgumentsAreAnEmptySourceAndAnEmptyName) {
  // Both null: an empty project written as ".ptcop" in the current folder.
  TempDir dir;
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  QuavertSetErrorMessageOptions(15);
  const int32_t result = QuavertCompile(nullptr, nullptr);
  std::filesystem::current_path(old);
  EXPECT_EQ(result, crOk);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(ReadFileBytes(dir / ".ptcop"), Compile("").file);
}

TEST(Exports, SecondCompileReplacesTheLogAndKeepsTheOptions) {
  TempDir dir;
  QuavertSetErrorMessageOptions(1 | 8);
  EXPECT_EQ(QuavertCompile((dir / "a.mml").c_str(), "!"), crOk);
  const std::string hint = Sjis(u8"[ヒント] \"!\" を解釈できません。 (1行目)");
  EXPECT_EQ(LogLines(), (std::vector<std::string>{hint, (dir / "a.ptcop") + Sjis(u8" に出力しました。")}));
  EXPECT_EQ(QuavertCompile((dir / "b.mml").c_str(), ""), crOk);
  EXPECT_EQ(LogLines(), std::vector<std::string>{(dir / "b.ptcop") + Sjis(u8" に出力しました。")});
  // Reading the log does not consume it.
  EXPECT_EQ(Log(), Log());
}

// Fills a guarded buffer through an export and returns what it holds.
std::string CopyOut(void (*get)(char*, int32_t), int32_t maxChars, size_t bufferSize) {
  std::string buffer(bufferSize, '#');
  get(buffer.data(), maxChars);
  return buffer;
}

TEST(Exports, CopyToCallerCutsAtMaxCharsAndEndsWithNul) {
  TempDir dir;
  QuavertSetErrorMessageOptions(15);
  ASSERT_EQ(QuavertCompile((dir / "a.mml").c_str(), "!\n?"), crOk);
  const std::string text = Sjis(u8"[ヒント] \"!\" を解釈できません。 (1行目)\r\n"
                                u8"[ヒント] \"?\" を解釈できません。 (2行目)\r\n");
  ASSERT_EQ(Log(), text);
  const int32_t n = static_cast<int32_t>(text.size());
  const size_t size = text.size() + 8;
  struct Case {
    int32_t maxChars;
    std::string copied;  // the text bytes expected in front of the NUL
    bool written;        // false: the buffer is left untouched
  };
  const Case cases[] = {
      {0, "", true},
      {1, "[", true},
      {2, text.substr(0, 2), true},  // the cut falls inside a double-byte character
      {n - 1, text.substr(0, text.size() - 1), true},
      {n, text, true},
      {n + 5, text, true},
      {-1, "", false},
      {INT32_MIN, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maxChars);
    std::string expected(size, '#');
    if (c.written) expected.replace(0, c.copied.size() + 1, c.copied + '\0');
    EXPECT_EQ(CopyOut(QuavertGetErrorMessage, c.maxChars, size), expected);
  }
  // A null buffer is ignored.
  QuavertGetErrorMessage(nullptr, 10);
  QuavertGetVersionString(nullptr, 10);
  EXPECT_EQ(Log(), text);
}

TEST(Exports, VersionText) {
  const std::string nul(1, '\0');
  EXPECT_EQ(CopyOut(QuavertGetVersionString, 100, 8), "0.9.6" + nul + "##");
  EXPECT_EQ(CopyOut(QuavertGetVersionString, 5, 8), "0.9.6" + nul + "##");
  EXPECT_EQ(CopyOut(QuavertGetVersionString, 3, 8), "0.9" + nul + "####");
  EXPECT_EQ(CopyOut(QuavertGetVersionString, 0, 8), nul + "#######");
  EXPECT_EQ(CopyOut(QuavertGetVersionString, -1, 8), "########");
  EXPECT_EQ(CopyOut(QuavertGetVersionString, 100, 8), "0.9.6" + nul + "##");
}

TEST(Exports, FreshLibraryHasAnEmptyLogAndNoOptions) {
  // A private copy starts as the library does when a process loads it.
  TempDir dir;
  LibraryCopy lib(dir.Path());
  ASSERT_NE(lib.Compile, nullptr);
  std::string buffer(16, '#');
  lib.GetErrorMessage(buffer.data(), 10);
  EXPECT_EQ(buffer, std::string(1, '\0') + std::string(15, '#'));
  ASSERT_EQ(lib.Compile((dir / "a.mml").c_str(), ""), crOk);
  const auto lines = lib.LogLines();
  ASSERT_EQ(lines.size(), 6u);  // nothing suppressed: banner, output, elapsed
  EXPECT_EQ(lines[0], kRule);
  EXPECT_TRUE(IsElapsedLine(lines[5]));
}

}  // namespace

TEST(Exports, OnlyTheFourFunctionsAreVisible) {
  void* lib = dlopen(QUAVERT_BIN_DIR "/libquavertc.so", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr) << "the tests are linked against the library";
  for (const char* name : {"QuavertCompile", "QuavertGetErrorMessage", "QuavertGetVersionString",
                           "QuavertSetErrorMessageOptions"})
    EXPECT_NE(dlsym(lib, name), nullptr) << name;
  // The compiler's inner functions stay hidden.
  for (const char* name : {"_Z10CompileMmlPKcS0_", "_ZN12TMmlCompiler3RunEv",
                           "_ZN12TMmlCompiler11NoteCommandEh", "_ZN7quavert10MessageLog5ClearEv"})
    EXPECT_EQ(dlsym(lib, name), nullptr) << name;
  dlclose(lib);
}

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

namespace {

// Runs a compile with the current folder set to a fresh folder, so that
// relative and empty output names land there.
class ExportsOutputName : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
  }
  void TearDown() override { std::filesystem::current_path(old_); }
  TempDir dir_;
  std::filesystem::path old_;
};

TEST_F(ExportsOutputName, ExtensionRule) {
  const std::string hyo = "\x95\x5C";  // 表: its second byte is a backslash
  std::filesystem::create_directory("dir.x");
  struct Case {
    std::string name, written;
  };
  const Case cases[] = {
      {"song.mml", "song.ptcop"},
      {"song", "song.ptcop"},
      {"a.b.mml", "a.b.ptcop"},
      {"out.txt", "out.ptcop"},
      {"dir.x/song", "dir.x/song.ptcop"},
      {"dir.x/song.mml", "dir.x/song.ptcop"},
      {"dir.x\\song", "dir.x\\song.ptcop"},  // a backslash separates folders too
      {"x.y:z", "x.y:z.ptcop"},
      {".mml", ".mml.ptcop"},                 // a point that starts a name
      {"dir.x/.mml", "dir.x/.mml.ptcop"},
      {"a\\.mml", "a\\.mml.ptcop"},
      {"", ".ptcop"},
      {hyo + ".mml", hyo + ".ptcop"},
      {hyo + ".ptcop", hyo + ".ptcop"},
      {hyo, hyo + ".ptcop"},
      {hyo + "\\.mml", hyo + "\\.mml.ptcop"},  // a real backslash after the character
      {"a\x95", "a\x95.ptcop"},                 // a lead byte at the end stands alone
  };
  QuavertSetErrorMessageOptions(1 | 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(PathExists(c.written));
    EXPECT_EQ(QuavertCompile(c.name.c_str(), ""), crOk);
    EXPECT_EQ(LogLines(), std::vector<std::string>{c.written + Sjis(u8" に出力しました。")});
    EXPECT_TRUE(PathExists(c.written));
    std::filesystem::remove(c.written);
  }
}

TEST_F(ExportsOutputName, UnwritableFileIsASaveError) {
  QuavertSetErrorMessageOptions(1);
  EXPECT_EQ(QuavertCompile("nope/song.mml", "c"), crSaveError);
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "nope/song.ptcop" + Sjis(u8" に出力できません。"));
  EXPECT_TRUE(IsElapsedLine(lines[1]));
  // The save failure is reported even with every option set; a folder in
  // the way of the file fails the same way and leaves the folder alone.
  std::filesystem::create_directory("song.ptcop");
  QuavertSetErrorMessageOptions(15);
  EXPECT_EQ(QuavertCompile("song.mml", ""), crSaveError);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"song.ptcop" + Sjis(u8" に出力できません。")});
  EXPECT_TRUE(std::filesystem::is_directory("song.ptcop"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
}

}  // namespace
