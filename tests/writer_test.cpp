// The project file as written: exact layouts, the master record, units and
// their names, muting, title and comment, negative values, and the save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

std::string ChunkBytes(const std::string& tag, int32_t size, const std::string& body) {
  return tag + Le32(size) + body;
}
std::string ChunkBytes(const std::string& tag, const std::string& body) {
  return ChunkBytes(tag, static_cast<int32_t>(body.size()), body);
}

std::string MasterBody(int timebase, int beat, float tempo, int32_t loop, int32_t end) {
  return Le16(timebase) + static_cast<char>(beat) + LeFloat(tempo) + Le32(loop) + Le32(end);
}

std::string NameField(const std::string& name) {
  std::string field = name.substr(0, 16);
  field.resize(16, '\0');
  return field;
}

std::string Cp932(const std::u8string& utf8) { return Sjis(std::string(utf8.begin(), utf8.end())); }

std::vector<std::string> Tags(const Project& p) {
  std::vector<std::string> tags;
  for (const Chunk& c : p.chunks) tags.push_back(c.tag);
  return tags;
}

Project CompileProject(const std::string& mml) {
  const Outcome o = Compile(mml);
  EXPECT_EQ(o.result, 0) << mml;
  EXPECT_TRUE(o.written) << mml;
  return ParseProject(o.file);
}

// The head of every file: signature, version word and master chunk.
std::string Head(int32_t version = 914, const std::string& master = MasterBody(480, 4, 120.0f, 0, 0)) {
  return "PTCOLLAGE-071119" + Le32(version) + ChunkBytes("MasterV5", master);
}

TEST(Writer, EmptySourceGivesTheSmallestFile) {
  const std::string want = Head() + ChunkBytes("Event V5", 0, Le32(0)) +
                           ChunkBytes("textNAME", "Untitled") + ChunkBytes("num UNIT", Le32(0)) +
                           ChunkBytes("pxtoneND", "");
  ASSERT_EQ(want.size(), 111u);
  const Outcome o = Compile("");
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.file, want);
}

TEST(Writer, OneNoteGivesTheExactFile) {
  const std::string events = Le32(3) + Bytes({0x00, 0x00, 0x02, 0x80, 0xAE, 0x01}) +  // key 22272
                             Bytes({0x00, 0x00, 0x01, 0x80, 0x03}) +                // on 384
                             Bytes({0x00, 0x00, 0x04, 0x64});                       // velocity 100
  const std::string want = Head() + ChunkBytes("Event V5", 0, events) +
                           ChunkBytes("textNAME", "Untitled") + ChunkBytes("num UNIT", Le32(1)) +
                           ChunkBytes("assiUNIT", Le32(0) + NameField("unit00")) +
                           ChunkBytes("pxtoneND", "");
  ASSERT_EQ(want.size(), 158u);
  const Outcome o = Compile("c");
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.file, want);
}

TEST(Writer, EventChunkEncodesClockDifferences) {
  struct Case {
    std::string mml;
    std::string body;  // of "Event V5"
  };
  const std::vector<Case> cases = {
      // the first difference is the event's own clock; equal clocks give 0
      {"r c", Le32(3) + Bytes({0xE0, 0x03, 0x00, 0x02, 0x80, 0xAE, 0x01, 0x00, 0x00, 0x01, 0x80,
                               0x03, 0x00, 0x00, 0x04, 0x64})},
      // a negative value takes five bytes and reads back as itself
      {"PT-20", Le32(1) + Bytes({0x00, 0x00, 0x0F, 0xEC, 0xFF, 0xFF, 0xFF, 0x0F})},
      // a timing shift before clock 0: a negative first difference
      {"t-10 c", Le32(3) + Bytes({0xF6, 0xFF, 0xFF, 0xFF, 0x0F, 0x00, 0x02, 0x80, 0xAE, 0x01, 0x00,
                                  0x00, 0x01, 0x80, 0x03, 0x00, 0x00, 0x04, 0x64})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Project p = CompileProject(c.mml);
    const Chunk* events = p.Find("Event V5");
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->size, 0);
    EXPECT_EQ(events->body, c.body);
  }
  EXPECT_EQ(CompileProject("PT-20").events, (std::vector<Event>{{0, 0, 15, -20}}));
  EXPECT_EQ(CompileProject("t-10 c").events.front(), (Event{-10, 0, 2, 22272}));
}

TEST(Writer, ClocksFarApartAreSortedAndEncoded) {
  // 1000000 measures of 1920 clocks and their negative, with unit 2 at 0:
  // the clock differences need five bytes each way
  const Project p = CompileProject("U1 T1000000 c U0 T-1000000 c U2 c");
  std::vector<std::pair<int32_t, int>> order;
  for (const Event& e : p.events)
    if (e.kind == 2) order.emplace_back(e.clock, e.unit);
  EXPECT_EQ(order, (std::vector<std::pair<int32_t, int>>{
                       {-1920000000, 0}, {0, 2}, {1920000000, 1}}));
  ASSERT_EQ(p.events.size(), 9u);
}

TEST(Writer, UnitCountAndNames) {
  struct Case {
    std::string mml;
    std::vector<std::string> names;  // one per written unit
  };
  const std::vector<Case> cases = {
      {"c", {"unit00"}},
      {"U2 c", {"unit00", "unit01", "unit02"}},
      {"U1 c U0 c", {"unit00", "unit01"}},
      {"#unitname Lead\n#unitname@2 ABCDEFGHIJKLMNOPQRST\nU3 c",
       {"Lead", "unit01", "ABCDEFGHIJKLMNOP", "unit03"}},
      {"#unitname@1\n#unitname@5 Far\nU1 c", {"unit00", "unit01"}},
      {"#unitname 0123456789ABCDEF\nc", {"0123456789ABCDEF"}},
      {"#unitname A\n#unitname B\n#unitname@0 C\nU1 c", {"C", "B"}},
      {"U49 c", {}},  // filled in below
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.mml);
    if (c.names.empty())
      for (int u = 0; u < 50; ++u) c.names.push_back((u < 10 ? "unit0" : "unit") + std::to_string(u));
    const Project p = CompileProject(c.mml);
    const Chunk* count = p.Find("num UNIT");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->body, Le32(static_cast<int32_t>(c.names.size())));
    ASSERT_EQ(p.CountOf("assiUNIT"), c.names.size());
    for (size_t u = 0; u < c.names.size(); ++u) {
      const Chunk* unit = p.Find("assiUNIT", u);
      EXPECT_EQ(unit->size, 20);
      EXPECT_EQ(unit->body, Le32(static_cast<int32_t>(u)) + NameField(c.names[u])) << "unit " << u;
    }
  }
}

TEST(Writer, MutedUnitsAreLeftOut) {
  struct Case {
    std::string mml;
    std::vector<int> unitsOfEvents;  // unit of each written key event, in order
    int32_t unitCount;
  };
  const std::vector<Case> cases = {
      {"c U1 c U2 c M", {0, 1}, 2},     // the highest unit muted: the count drops
      {"c U1 c U2 c M1", {0, 2}, 3},    // a unit in between keeps its place
      {"M2 U2 c U0 c", {0}, 1},         // events after the M are dropped too
      {"U2 c U0 c U1 c M0,2", {1}, 2},  // count follows the highest unit left
      {"c U1 c M0,1", {}, 0},           // everything muted
      {"c U1 c M0,1,60,-1", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Project p = CompileProject(c.mml);
    std::vector<int> units;
    for (const Event& e : p.events)
      if (e.kind == 2) units.push_back(e.unit);
    EXPECT_EQ(units, c.unitsOfEvents);
    EXPECT_EQ(p.events.size(), c.unitsOfEvents.size() * 3);
    const Chunk* events = p.Find("Event V5");
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(Int32At(events->body, 0), static_cast<int32_t>(p.events.size()));
    ASSERT_NE(p.Find("num UNIT"), nullptr);
    EXPECT_EQ(p.Find("num UNIT")->body, Le32(c.unitCount));
    EXPECT_EQ(p.CountOf("assiUNIT"), static_cast<size_t>(c.unitCount));
  }
}

TEST(Writer, MasterRecordWithLoopAndEndClocks) {
  struct Case {
    std::string mml;
    std::string master;
  };
  const std::vector<Case> cases = {
      {"", MasterBody(480, 4, 120.0f, 0, 0)},
      {"#loopstart 2\n#endmeasure 10", MasterBody(480, 4, 120.0f, 3840, 19200)},
      // measures become clocks with the beat in force at the end
      {"#loopstart 2\n#beat 3", MasterBody(480, 3, 120.0f, 2880, 0)},
      {"#timebase 960\n#loopstart 1\n#endmeasure 2", MasterBody(960, 4, 120.0f, 3840, 7680)},
      {"#tempo 150.5\n#endmeasure -1", MasterBody(480, 4, 150.5f, 0, -1920)},
      // without a value: the measure the current unit stands in
      {"c1c1c4\n#loopstart\n#endmeasure", MasterBody(480, 4, 120.0f, 3840, 5760)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Project p = CompileProject(c.mml);
    ASSERT_NE(p.Find("MasterV5"), nullptr);
    EXPECT_EQ(p.Find("MasterV5")->size, 15);
    EXPECT_EQ(p.Find("MasterV5")->body, c.master);
  }
}

TEST(Writer, VersionWord) {
  EXPECT_EQ(CompileProject("").version, 914);
  EXPECT_EQ(CompileProject("#pversion 1000").version, 1000);
  EXPECT_EQ(CompileProject("#pversion -5").version, -5);
  EXPECT_EQ(CompileProject("#pversion 1000").signature, "PTCOLLAGE-071119");
}

TEST(Writer, TitleAndComment) {
  struct Case {
    std::string mml;
    std::string name;     // textNAME body, "" when there is none
    std::string comment;  // textCOMM body, "" when there is none
  };
  const std::string longTitle = "ABCDEFGHIJKLMNOPQRST";  // 20 bytes
  const std::string wide = Cp932(u8"あいうえおかきくけ");  // 18 bytes
  const std::vector<Case> cases = {
      {"", "Untitled", ""},
      {"#title Demo", "Demo", ""},
      {"#title", "", ""},
      {"#title Demo\n#title", "", ""},
      {"#title 0123456789ABCDEF", "0123456789ABCDEF", ""},
      {"#comment x", "Untitled", "x\r\n"},
      {"#title\n#comment one\n#comment\n#comment two", "", "one\r\n\r\ntwo\r\n"},
      {"#title " + longTitle, "ABCDEFGHIJKLMN..", longTitle + "\r\n"},
      {"#title " + longTitle + "\n#comment line one\n#comment line two", "ABCDEFGHIJKLMN..",
       longTitle + "\r\nline one\r\nline two\r\n"},
      {"#title " + wide, Cp932(u8"あいうえおかき") + "..", wide + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Project p = CompileProject(c.mml);
    std::vector<std::string> want = {"MasterV5", "Event V5"};
    if (!c.name.empty()) want.push_back("textNAME");
    if (!c.comment.empty()) want.push_back("textCOMM");
    want.push_back("num UNIT");
    want.push_back("pxtoneND");
    EXPECT_EQ(Tags(p), want);
    if (!c.name.empty()) {
      EXPECT_EQ(p.Find("textNAME")->body, c.name);
      EXPECT_EQ(p.Find("textNAME")->size, static_cast<int32_t>(c.name.size()));
    }
    if (!c.comment.empty()) {
      EXPECT_EQ(p.Find("textCOMM")->body, c.comment);
      EXPECT_EQ(p.Find("textCOMM")->size, static_cast<int32_t>(c.comment.size()));
    }
  }
}

TEST(Writer, ChunkOrderWithEffects) {
  const Project p = CompileProject(
      "#delay-add\n#overdrive-add\n#delay-group 2\n#delay-add\n#comment c\nU1 c");
  EXPECT_EQ(Tags(p), (std::vector<std::string>{"MasterV5", "Event V5", "textNAME", "textCOMM",
                                               "effeDELA", "effeDELA", "effeOVER", "num UNIT",
                                               "assiUNIT", "assiUNIT", "pxtoneND"}));
  ASSERT_EQ(p.CountOf("effeDELA"), 2u);
  EXPECT_EQ(p.Find("effeDELA", 0)->body, Le16(0) + Le16(0) + LeFloat(33.3f) + LeFloat(3.3f));
  EXPECT_EQ(p.Find("effeDELA", 1)->body, Le16(0) + Le16(2) + LeFloat(33.3f) + LeFloat(3.3f));
  EXPECT_EQ(p.Find("effeOVER")->body, Le16(0) + Le16(0) + LeFloat(90.0f) + LeFloat(2.0f) + Le32(0));
}

// --- saving ---

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.insert(e.path().filename().string());
  return names;
}

std::string SaveFailedLine(const std::string& file) {
  return Cp932(u8"%s に出力できません。").replace(0, 2, file);
}

TEST(WriterSave, MissingFolderGivesResultTwo) {
  TempDir dir;
  const std::string out = dir / "missing/song.mml";
  QuavertSetErrorMessageOptions(7);  // keep the elapsed-time line
  EXPECT_EQ(QuavertCompile(out.c_str(), "c"), 2);
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], SaveFailedLine(dir / "missing/song.ptcop"));
  EXPECT_EQ(lines[1].rfind(Cp932(u8"コンパイルが"), 0), 0u) << lines[1];
  EXPECT_TRUE(Entries(dir.Path()).empty());
}

TEST(WriterSave, ReplacesAnExistingFileWholly) {
  TempDir dir;
  WriteFileBytes(dir / "song.ptcop", std::string(1000, 'x'));  // longer than the new file
  QuavertSetErrorMessageOptions(11);
  EXPECT_EQ(QuavertCompile((dir / "song.mml").c_str(), "c"), 0);
  EXPECT_EQ(LogLines(), std::vector<std::string>{Cp932(u8"%s に出力しました。").replace(0, 2, dir / "song.ptcop")});
  EXPECT_EQ(ReadFileBytes(dir / "song.ptcop"), Compile("c").file);
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"song.ptcop"});
}

TEST(WriterSave, NameNearTheLengthLimitIsSaved) {
  // The temporary file beside the target must not need a longer name.
  TempDir dir;
  const std::string stem = dir / std::string(249, 'a');  // 249 + ".ptcop" = 255 bytes
  QuavertSetErrorMessageOptions(15);
  EXPECT_EQ(QuavertCompile((stem + ".mml").c_str(), "c"), 0);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(ReadFileBytes(stem + ".ptcop"), Compile("c").file);
  EXPECT_EQ(Entries(dir.Path()).size(), 1u);
}

TEST(WriterSave, DirectoryInTheWayIsLeftAlone) {
  TempDir dir;
  std::filesystem::create_directory(dir / "song.ptcop");
  WriteFileBytes(dir / "song.ptcop/keep", "kept");
  QuavertSetErrorMessageOptions(15);
  EXPECT_EQ(QuavertCompile((dir / "song.mml").c_str(), "c"), 2);
  EXPECT_EQ(LogLines(), std::vector<std::string>{SaveFailedLine(dir / "song.ptcop")});
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"song.ptcop"});  // no temporary left
  EXPECT_EQ(ReadFileBytes(dir / "song.ptcop/keep"), "kept");
}

TEST(WriterSave, FailedWriteLeavesTheOldFile) {
  // A file size limit makes writing the new image fail even for root.
  TempDir dir;
  const std::string old = "old project";
  WriteFileBytes(dir / "song.ptcop", old);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 64;  // the image of "c" is 158 bytes
  const sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  QuavertSetErrorMessageOptions(15);
  const int32_t result = QuavertCompile((dir / "song.mml").c_str(), "c");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(LogLines(), std::vector<std::string>{SaveFailedLine(dir / "song.ptcop")});
  EXPECT_EQ(ReadFileBytes(dir / "song.ptcop"), old);
  EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"song.ptcop"});
}

}  // namespace
