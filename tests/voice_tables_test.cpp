// The voice, voice name and unit name tables: slot numbering, the search
// for voice files, the settings each voice takes, and the table limits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

std::string NotFound(const std::string& name) { return name + Sjis(u8" が見つかりません。"); }

std::string PtVoice(const std::string& tag) { return "PTVOICE-" + Le32(20060111) + tag; }
std::string PtNoise(const std::string& tag) { return "PTNOISE-" + Le32(20120418) + tag; }

const std::string kPlaceholder = "----------------";

// One voice of the project: its chunk and its name chunk.
struct Voice {
  std::string tag;
  std::string body;
  int32_t index = -1;
  std::string name;
  // The embedded file of a pxtone voice chunk ("" for other chunks).
  std::string File() const { return tag == "matePTV " && body.size() >= 12 ? body.substr(12) : ""; }
  bool IsPlaceholder() const { return tag == "matePTV " && File().size() == 28 && name == kPlaceholder; }
};

std::vector<Voice> VoicesOf(const Project& p) {
  std::vector<Voice> voices;
  for (size_t i = 0; i < p.chunks.size(); ++i) {
    const Chunk& c = p.chunks[i];
    if (c.tag.compare(0, 4, "mate") != 0) continue;
    Voice v;
    v.tag = c.tag;
    v.body = c.body;
    if (i + 1 < p.chunks.size() && p.chunks[i + 1].tag == "assiWOIC") {
      const std::string& n = p.chunks[i + 1].body;
      v.index = Int32At(n, 0);
      v.name = n.substr(4).c_str();
      if (n.substr(4, 16) == kPlaceholder) v.name = kPlaceholder;
    }
    voices.push_back(v);
  }
  EXPECT_EQ(voices.size(), p.CountOf("assiWOIC"));
  return voices;
}

// Voice files with distinct contents in a folder of their own.
struct VoiceFiles {
  TempDir dir;
  std::string Make(const std::string& name, const std::string& bytes) {
    WriteFileBytes(dir / name, bytes);
    return dir / name;
  }
};

// ---------------------------------------------------------------- slots

TEST(VoiceTables, PlainAndNumberedLinesFillSlots) {
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A")), b = f.Make("b.ptvoice", PtVoice("BB"));
  const std::string c = f.Make("c.ptvoice", PtVoice("CCC")), d = f.Make("d.ptvoice", PtVoice("DDDD"));
  const Project p =
      Clean("#voice " + a + "\n#voice " + b + "\n#voice@5 " + c + "\n#voice " + d);
  const std::vector<Voice> v = VoicesOf(p);
  ASSERT_EQ(v.size(), 7u);
  EXPECT_EQ(v[0].File(), PtVoice("A"));
  EXPECT_EQ(v[1].File(), PtVoice("BB"));
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_TRUE(v[i].IsPlaceholder()) << i;
    EXPECT_EQ(v[i].File().substr(0, 8), "PTVOICE-");
  }
  EXPECT_EQ(v[5].File(), PtVoice("CCC"));
  EXPECT_EQ(v[6].File(), PtVoice("DDDD"));
  const std::vector<std::string> names = {"a", "b", kPlaceholder, kPlaceholder,
                                          kPlaceholder, "c", "d"};
  for (size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i].index, static_cast<int32_t>(i));
    EXPECT_EQ(v[i].name, names[i]) << i;
  }
}

TEST(VoiceTables, SameNumberTwiceKeepsTheSecond) {
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A")), b = f.Make("b.ptvoice", PtVoice("B"));
  std::vector<Voice> v = VoicesOf(Clean("#voice@1 " + a + "\n#voice@1 " + b + "\n#voice " + a));
  ASSERT_EQ(v.size(), 3u);
  EXPECT_TRUE(v[0].IsPlaceholder());
  EXPECT_EQ(v[1].File(), PtVoice("B"));
  EXPECT_EQ(v[1].name, "b");
  EXPECT_EQ(v[2].File(), PtVoice("A"));
  // A lower number later does not shrink the table.
  v = VoicesOf(Clean("#voice@3 " + a + "\n#voice@0 " + b));
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[0].File(), PtVoice("B"));
  EXPECT_EQ(v[3].File(), PtVoice("A"));
}

TEST(VoiceTables, BadNumbersInNumberedFormsMeanSlotZero) {
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A")), b = f.Make("b.ptvoice", PtVoice("B"));
  for (const std::string form : {"#voice@abc ", "#voice@ ", "#VOICE@1x "}) {
    SCOPED_TRACE(form);
    const std::vector<Voice> v = VoicesOf(Clean("#voice " + a + "\n" + form + b));
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].File(), PtVoice("B"));
  }
}

TEST(VoiceTables, VoiceNamesOverrideFileNamesAndPlaceholders) {
  VoiceFiles f;
  const std::string a = f.Make("piano.ptvoice", PtVoice("A"));
  const std::vector<Voice> v = VoicesOf(
      Clean("#insname@1 Pad\n#insname Lead\n#voice@3 " + a + "\n#voice@2 " + a));
  ASSERT_EQ(v.size(), 4u);
  // Entry 0 was filled with an empty name: no name.
  EXPECT_EQ(v[0].name, kPlaceholder);
  EXPECT_TRUE(v[0].IsPlaceholder());
  EXPECT_EQ(v[1].name, "Pad");
  EXPECT_EQ(v[1].File().size(), 28u);
  EXPECT_EQ(v[2].name, "Lead");
  EXPECT_EQ(v[3].name, "piano");
}

TEST(VoiceTables, VoicesSitBetweenCommentAndEffects) {
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A"));
  const Project p = Clean("#overdrive-add\n#delay-add\n#voice@1 " + a + "\n#comment x\nc");
  std::vector<std::string> tags;
  for (const Chunk& c : p.chunks) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"MasterV5", "Event V5", "textNAME", "textCOMM",
                                            "matePTV ", "assiWOIC", "matePTV ", "assiWOIC",
                                            "effeDELA", "effeOVER", "num UNIT", "assiUNIT",
                                            "pxtoneND"}));
}

// ---------------------------------------------------------------- search

// Restores the process's current folder at the end of the scope.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentFolder() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

// Compiles with a private library copy and reads back the project.
Outcome CompileWith(const LibraryCopy& lib, const std::string& folder, const std::string& mml) {
  lib.SetErrorMessageOptions(15);
  Outcome o;
  o.result = lib.Compile((folder + "/out.mml").c_str(), mml.c_str());
  o.lines = lib.LogLines();
  o.written = PathExists(folder + "/out.ptcop");
  if (o.written) {
    o.file = ReadFileBytes(folder + "/out.ptcop");
    std::filesystem::remove(folder + "/out.ptcop");
  }
  return o;
}

TEST(VoiceTables, SearchOrderAsWrittenThenSearchFoldersThenLibraryVoiceFolder) {
  TempDir root;
  const std::string libDir = root / "lib", cwd = root / "cwd", outDir = root / "out";
  for (const std::string& d : {libDir, libDir + "/a", libDir + "/b", libDir + "/voice", cwd, outDir})
    std::filesystem::create_directories(d);
  WriteFileBytes(libDir + "/quavert.ini", "[Path]\nVoiceSearchPath=a>b\n");
  LibraryCopy lib(libDir);
  ASSERT_NE(lib.Compile, nullptr);
  CurrentFolder here(cwd);

  const std::string places[] = {cwd, libDir + "/a", libDir + "/b", libDir + "/voice"};
  struct Case {
    const char* present;  // one letter per place holding the file: c, a, b, v
    int winner;           // index into places, -1 for none
  };
  const std::vector<Case> cases = {
      {"cabv", 0}, {"cv", 0}, {"abv", 1}, {"av", 1}, {"bv", 2}, {"b", 2}, {"v", 3}, {"", -1},
  };
  const std::string letters = "cabv";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.present);
    for (size_t i = 0; i < 4; ++i) {
      const std::string file = places[i] + "/v.ptvoice";
      std::filesystem::remove(file);
      if (std::string(c.present).find(letters[i]) != std::string::npos)
        WriteFileBytes(file, PtVoice("from " + places[i]));
    }
    const Outcome o = CompileWith(lib, outDir, "c\n#voice v.ptvoice");
    if (c.winner < 0) {
      EXPECT_EQ(o.result, crCompileError);
      EXPECT_EQ(o.lines, std::vector<std::string>{ErrorLine(NotFound("v.ptvoice"), 2)});
      continue;
    }
    EXPECT_EQ(o.result, crOk);
    EXPECT_TRUE(o.lines.empty());
    const std::vector<Voice> v = VoicesOf(ParseProject(o.file));
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].File(), PtVoice("from " + places[c.winner]));
    EXPECT_EQ(v[0].name, "v");
  }

  // A folder of the same name is no file; neither is a search folder alone.
  for (const std::string& place : places) std::filesystem::remove(place + "/v.ptvoice");
  std::filesystem::create_directories(cwd + "/v.ptvoice");
  WriteFileBytes(libDir + "/b/v.ptvoice", PtVoice("b"));
  Outcome o = CompileWith(lib, outDir, "#voice v.ptvoice");
  ASSERT_EQ(o.result, crOk);
  EXPECT_EQ(VoicesOf(ParseProject(o.file)).at(0).File(), PtVoice("b"));
  o = CompileWith(lib, outDir, "#voice");
  EXPECT_EQ(o.lines, std::vector<std::string>{ErrorLine(NotFound(""), 1)});
  // Names with folders are joined to each search folder.
  std::filesystem::create_directories(libDir + "/voice/sub");
  WriteFileBytes(libDir + "/voice/sub/w.ptvoice", PtVoice("sub"));
  o = CompileWith(lib, outDir, "#voice sub/w.ptvoice");
  ASSERT_EQ(o.result, crOk);
  EXPECT_EQ(VoicesOf(ParseProject(o.file)).at(0).File(), PtVoice("sub"));
}

TEST(VoiceTables, MissingFilesStopTheCompile) {
  TempDir dir;
  std::filesystem::create_directories(dir / "folder");
  ExpectError("c\n#voice nothing.ptvoice", NotFound("nothing.ptvoice"), 2);
  ExpectError("#voice", NotFound(""), 1);
  ExpectError("#voice@3  \t", NotFound(""), 1);
  ExpectError("#voice " + (dir / "folder"), NotFound(dir / "folder"), 1);
  ExpectError("#voice " + (dir / "x.ptvoice") + " // c", NotFound((dir / "x.ptvoice") + " // c"), 1);
  // Only regular files are voices: a device would never end, a FIFO would block.
  ExpectError("#voice /dev/zero", NotFound("/dev/zero"), 1);
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  ExpectError("#voice " + (dir / "pipe"), NotFound(dir / "pipe"), 1);
}

// ---------------------------------------------------------------- settings

TEST(VoiceTables, SettingsGoIntoLaterVoicesOnly) {
  VoiceFiles f;
  const std::string n = f.Make("n.ptnoise", PtNoise("xyz"));
  const Project p = Clean("#voice " + n +
                          "\n#voice-basekey 60\n#voice-correct 2.5\n#voice-options 7\n#voice " + n +
                          "\n#voice-basekey 316\n#voice@3 " + n +
                          "\n#voice-basekey -1\n#voice-options 0\n#voice-correct -0.5\n");
  const std::vector<Voice> v = VoicesOf(p);
  ASSERT_EQ(v.size(), 4u);
  struct Want {
    int key;
    int32_t options;
    float correct;
  };
  const Want want[] = {{69, 2, 1.0f}, {60, 7, 2.5f}, {0, 0, 0}, {316 & 0xFF, 7, 2.5f}};
  for (size_t i : {0u, 1u, 3u}) {
    SCOPED_TRACE(i);
    ASSERT_EQ(v[i].tag, "matePTN ");
    const std::string& b = v[i].body;
    ASSERT_EQ(b.size(), 16 + PtNoise("xyz").size());
    EXPECT_EQ(b.substr(0, 4), std::string(3, '\0') + static_cast<char>(want[i].key));
    EXPECT_EQ(Int32At(b, 4), want[i].options);
    EXPECT_EQ(FloatAt(b, 8), want[i].correct);
    EXPECT_EQ(Int32At(b, 12), 1);
    EXPECT_EQ(b.substr(16), PtNoise("xyz"));
    EXPECT_EQ(v[i].name, "n");
  }
  EXPECT_TRUE(v[2].IsPlaceholder());
}

TEST(VoiceTables, VoiceOptionsOutsideThreeBitsAreRefused) {
  VoiceFiles f;
  const std::string n = f.Make("n.ptnoise", PtNoise("a"));
  ExpectError("#voice-options 8\n#voice " + n, Sjis(u8"0～7 の範囲で指定してください。"), 1);
  ExpectError("#voice-options 7\n#voice-options -1", Sjis(u8"0～7 の範囲で指定してください。"), 2);
}

// ---------------------------------------------------------------- limits

TEST(VoiceTables, NameLimitsHintOnceAndStoreNothing) {
  const std::string voiceHint = HintLine(Sjis(u8"登録できる音色名は100個までです。"), 1);
  const std::string unitHint = HintLine(Sjis(u8"登録できるユニット名は50個までです。"), 3);
  Outcome o = Compile("#insname@100 x\n#insname@120 y\n#unitname@50 u\n#unitname@60 v\n"
                      "#insname@2147483647 z\nU0 c");
  EXPECT_EQ(o.result, crOk);
  EXPECT_EQ(o.lines, (std::vector<std::string>{voiceHint, unitHint}));
  EXPECT_EQ(ParseProject(o.file).CountOf("assiWOIC"), 0u);

  // The last numbers that fit are stored.
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A"));
  const Project p = Clean("#insname@99 last\n#voice@99 " + a + "\n#unitname@49 top\nU49 c");
  const std::vector<Voice> v = VoicesOf(p);
  ASSERT_EQ(v.size(), 100u);
  EXPECT_EQ(v[99].name, "last");
  EXPECT_EQ(v[99].File(), PtVoice("A"));
  ASSERT_EQ(p.CountOf("assiUNIT"), 50u);
  EXPECT_EQ(std::string(p.Find("assiUNIT", 49)->body.substr(4).c_str()), "top");
}

TEST(VoiceTables, PlainNameLinesAtTheLimit) {
  std::string voiceNames, unitNames;
  for (int i = 0; i < 100; ++i) voiceNames += "#insname v" + std::to_string(i) + "\n";
  for (int i = 0; i < 50; ++i) unitNames += "#unitname u" + std::to_string(i) + "\n";
  // A plain insname beyond the limit is dropped without a word, and the hint
  // stays pending for a numbered one.
  Outcome o = Compile(voiceNames + "#insname extra\n#insname@100 x");
  EXPECT_EQ(o.lines,
            std::vector<std::string>{HintLine(Sjis(u8"登録できる音色名は100個までです。"), 102)});
  // A plain unitname beyond the limit asks for number 50: the hint, once.
  o = Compile(unitNames + "#unitname extra\n#unitname more\nU49 c");
  EXPECT_EQ(o.lines,
            std::vector<std::string>{HintLine(Sjis(u8"登録できるユニット名は50個までです。"), 51)});
  const Project p = ParseProject(o.file);
  ASSERT_EQ(p.CountOf("assiUNIT"), 50u);
  EXPECT_EQ(std::string(p.Find("assiUNIT", 49)->body.substr(4).c_str()), "u49");
}

TEST(VoiceTables, NegativeNumbersAreListErrors) {
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A"));
  const std::string listError = "List index (-1) out of bounds";
  ExpectError("#unitname@-1 x", listError, 1);
  ExpectError("#insname@-1 x", listError, 1);
  ExpectError("c\n#voice@-1 " + a, listError, 2);
  ExpectError("#unitname@$FFFFFFFE x", "List index (-2) out of bounds", 1);
  ExpectError("#unitname@-2147483648 x", "List index (-2147483648) out of bounds", 1);
  // The file is looked for first.
  ExpectError("#voice@-1 missing.ptvoice", NotFound("missing.ptvoice"), 1);
}

TEST(VoiceTables, VoiceNumbersStopAtOneHundred) {
  VoiceFiles f;
  const std::string a = f.Make("a.ptvoice", PtVoice("A"));
  const std::string limit = Sjis(u8"登録できる音色は100個までです。");
  ExpectError("#voice@100 " + a, limit, 1);
  ExpectError("#voice@2147483647 " + a, limit, 1);
  ExpectError("#voice@99 " + a + "\n#voice " + a, limit, 2);
  ExpectError("#voice@100 missing.ptvoice", NotFound("missing.ptvoice"), 1);
}

}  // namespace
