// Directive lines: how name and value are read, the echo and hint lines,
// and what every directive does to the written project.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

// Options that leave the directive echo in the log and nothing else optional.
constexpr int32_t kWithEcho = emoSuppressBanner | emoSuppressOutputNotice | emoSuppressElapsedTime;

std::string StrayHint(char c, int line) {
  std::string message = "\"";
  message += c;
  return HintLine(message + Sjis(u8"\" を解釈できません。"), line);
}
std::string Version() {
  char buffer[64] = {};
  QuavertGetVersionString(buffer, 63);
  return buffer;
}
std::string UnknownHint(const std::string& name, int line) {
  return HintLine("#" + name + Sjis(u8" は、このバージョン (") + Version() +
                      Sjis(u8") では定義されていません。"),
                  line);
}

std::string BodyOf(const Project& p, const std::string& tag, size_t nth = 0) {
  const Chunk* c = p.Find(tag, nth);
  return c != nullptr ? c->body : "<none>";
}

struct Master {
  int timebase;
  int beat;
  float tempo;
  int32_t loopClock;
  int32_t endClock;
};
Master MasterOf(const Project& p) {
  const std::string b = BodyOf(p, "MasterV5");
  if (b.size() != 15) {
    ADD_FAILURE() << "master chunk of " << b.size() << " bytes";
    return {};
  }
  return {static_cast<uint8_t>(b[0]) | static_cast<uint8_t>(b[1]) << 8, static_cast<uint8_t>(b[2]),
          FloatAt(b, 3), Int32At(b, 7), Int32At(b, 11)};
}

// Value of the first event of a kind (2 key, 4 velocity), or -1.
int32_t FirstOfKind(const Project& p, int kind, int nth = 0) {
  for (const Event& e : p.events)
    if (e.kind == kind && nth-- == 0) return e.value;
  return -1;
}
std::vector<int32_t> ClocksOfKind(const Project& p, int kind) {
  std::vector<int32_t> clocks;
  for (const Event& e : p.events)
    if (e.kind == kind) clocks.push_back(e.clock);
  return clocks;
}
constexpr int kKey = 2;
constexpr int kVelocity = 4;

// ---------------------------------------------------------------- reading

TEST(Directives, NamesIgnoreLetterCase) {
  const Project p = Clean("#TITLE Song\n#Tempo 150\n#tImEbAsE 96");
  EXPECT_EQ(BodyOf(p, "textNAME"), "Song");
  EXPECT_EQ(MasterOf(p).tempo, 150.0f);
  EXPECT_EQ(MasterOf(p).timebase, 96);
}

TEST(Directives, LineEndsAreLeftToTheScannerAndCountedOnce) {
  for (const std::string eol : {"\r\n", "\n", "\r"}) {
    SCOPED_TRACE(testing::PrintToString(eol));
    // With a value, with an empty value, and with an empty title.
    for (const std::string head : {"#title Song", "#comment", "#title", "#delay-add"}) {
      SCOPED_TRACE(head);
      const Outcome o = Compile(head + eol + "!" + eol + "!");
      EXPECT_EQ(o.result, crOk);
      EXPECT_EQ(o.lines, (std::vector<std::string>{StrayHint('!', 2), StrayHint('!', 3)}));
    }
    const Project p = Clean("#title Song" + eol + "#comment a" + eol + "#comment" + eol);
    EXPECT_EQ(BodyOf(p, "textNAME"), "Song");
    EXPECT_EQ(BodyOf(p, "textCOMM"), "a\r\n\r\n");
  }
  // A directive that ends the text.
  EXPECT_EQ(BodyOf(Clean("#title Song"), "textNAME"), "Song");
  EXPECT_EQ(BodyOf(Clean("#comment"), "textCOMM"), "\r\n");
  EXPECT_EQ(Clean("#title").Find("textNAME"), nullptr);
}

TEST(Directives, ValueIsTrimmedAndRunsToTheLineEnd) {
  EXPECT_EQ(BodyOf(Clean("#title \t Song  \t"), "textNAME"), "Song");
  EXPECT_EQ(BodyOf(Clean("#title\tSong"), "textNAME"), "Song");
  EXPECT_EQ(BodyOf(Clean("#title \x01\x1F Song \x02"), "textNAME"), "Song");
  EXPECT_EQ(BodyOf(Clean("#title a  b"), "textNAME"), "a  b");
  // Comment markers belong to the value.
  EXPECT_EQ(BodyOf(Clean("#title a // b"), "textNAME"), "a // b");
  EXPECT_EQ(BodyOf(Clean("#title a /* b"), "textNAME"), "a /* b");
}

TEST(Directives, EchoWritesNameAsWrittenAndValue) {
  struct Case {
    std::string mml;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"#title Song", {"title=Song"}},
      {"#TiTle   Song \t", {"TiTle=Song"}},
      {"#tempo\t150", {"tempo=150"}},
      {"#title", {}},
      {"#comment  \t", {}},
      {"#title@2 x", {"title@2=x"}},
      {"#delay-type minute", {"delay-type=minute"}},
      {"#comment a\n#comment b", {"comment=a", "comment=b"}},
      {"#foo 1", {"foo=1", UnknownHint("foo", 1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    EXPECT_EQ(Compile(c.mml, kWithEcho).lines, c.lines);
    // Option 2 leaves out exactly the echo lines.
    std::vector<std::string> withoutEcho;
    for (const std::string& line : c.lines)
      if (line.find('=') == std::string::npos) withoutEcho.push_back(line);
    EXPECT_EQ(Compile(c.mml, kWithEcho | emoSuppressDirectiveEcho).lines, withoutEcho);
  }
  // The echo comes before the directive's own error.
  const Outcome o = Compile("#tempo 0", kWithEcho);
  ASSERT_EQ(o.lines.size(), 2u);
  EXPECT_EQ(o.lines[0], "tempo=0");
}

TEST(Directives, EmptyNameLeavesTheLineToTheCommands) {
  for (const std::string mml : {"# cd", "#\tcd", "#  cd // x"}) {
    SCOPED_TRACE(mml);
    const Outcome o = Compile(mml, kWithEcho);
    EXPECT_EQ(o.result, crOk);
    EXPECT_TRUE(o.lines.empty());
    const Project p = ParseProject(o.file);
    EXPECT_EQ(ClocksOfKind(p, kKey), (std::vector<int32_t>{0, 480}));
    EXPECT_EQ(BodyOf(p, "textNAME"), "Untitled");
  }
  // A '#' that ends the text, or stands alone on its line, does nothing.
  EXPECT_EQ(ClocksOfKind(Clean("c#"), kKey), std::vector<int32_t>{0});
  EXPECT_EQ(ClocksOfKind(Clean("#\nc"), kKey), std::vector<int32_t>{0});
}

TEST(Directives, DirectiveAfterNotesOnTheSameLine) {
  const Project p = Clean("c d #tempo 150\ne");
  EXPECT_EQ(ClocksOfKind(p, kKey), (std::vector<int32_t>{0, 480, 960}));
  EXPECT_EQ(MasterOf(p).tempo, 150.0f);
  // Everything after the '#' belongs to the value, letters included.
  const std::string message = Sjis(u8"「150 e」は実数ではありません。");
  ExpectError("c d #tempo 150 e", message, 1);
}

// ---------------------------------------------------------------- unknown names

TEST(Directives, UnknownNamesGiveTheHintAfterTheEcho) {
  struct Case {
    std::string mml;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"#foo 1", {"foo=1", UnknownHint("foo", 1)}},
      {"c\n#Foo", {UnknownHint("Foo", 2)}},
      {"#FOO@3 x", {"FOO@3=x", UnknownHint("FOO", 1)}},
      {"#foo@bar@ y", {"foo@bar@=y", UnknownHint("foo", 1)}},
      {"#@1 x", {"@1=x", UnknownHint("", 1)}},
      {"#titles x", {"titles=x", UnknownHint("titles", 1)}},
      // A known first piece of a form without numbers: only the echo.
      {"#title@2 x", {"title@2=x"}},
      {"#tempo@1 200", {"tempo@1=200"}},
      {"#delay-add@1", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Outcome o = Compile(c.mml, kWithEcho);
    EXPECT_EQ(o.result, crOk);
    EXPECT_EQ(o.lines, c.lines);
    const Project p = ParseProject(o.file);
    // Nothing was set: title, tempo and effects keep their defaults.
    EXPECT_EQ(BodyOf(p, "textNAME"), "Untitled");
    EXPECT_EQ(MasterOf(p).tempo, 120.0f);
    EXPECT_EQ(p.CountOf("effeDELA"), 0u);
  }
}

TEST(Directives, NumberedNamesReadTheirNumberWithTheIntegerSyntax) {
  struct Case {
    std::string mml;
    std::vector<std::string> names;  // of units 0, 1, 2
  };
  const std::vector<Case> cases = {
      {"#unitname@2 x", {"unit00", "unit01", "x"}},
      {"#UNITNAME@$2 x", {"unit00", "unit01", "x"}},
      {"#unitname@abc x", {"x", "unit01", "unit02"}},
      {"#unitname@ x", {"x", "unit01", "unit02"}},
      {"#unitname@1@2 x", {"unit00", "x", "unit02"}},
      {"#unitname@1.5 x", {"x", "unit01", "unit02"}},
      {"#unitname@2 x\n#unitname@2 y", {"unit00", "unit01", "y"}},
      // A plain line takes the next free number.
      {"#unitname@1 x\n#unitname y", {"unit00", "x", "y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Project p = Clean(c.mml + "\nU2 c");
    ASSERT_EQ(p.CountOf("assiUNIT"), 3u);
    for (size_t u = 0; u < 3; ++u) {
      const std::string body = BodyOf(p, "assiUNIT", u);
      EXPECT_EQ(Int32At(body, 0), static_cast<int32_t>(u));
      EXPECT_EQ(body.substr(4).c_str(), c.names[u]);
    }
  }
}

// ---------------------------------------------------------------- handlers

TEST(Directives, TimingReachesTheMasterRecord) {
  Master m = MasterOf(Clean("#timebase 960\n#beat 3\n#tempo 150.5\n#loopstart 2\n#endmeasure 10"));
  EXPECT_EQ(m.timebase, 960);
  EXPECT_EQ(m.beat, 3);
  EXPECT_EQ(m.tempo, 150.5f);
  EXPECT_EQ(m.loopClock, 960 * 3 * 2);
  EXPECT_EQ(m.endClock, 960 * 3 * 10);
  // "clock" is "timebase"; the last value counts; the measures are turned
  // into clocks with the final timebase and beat.
  m = MasterOf(Clean("#clock 96\n#loopstart 2\n#beat 3\n#timebase 120\n#endmeasure -1"));
  EXPECT_EQ(m.timebase, 120);
  EXPECT_EQ(m.loopClock, 2 * 3 * 120);
  EXPECT_EQ(m.endClock, -360);
  m = MasterOf(Clean(""));
  EXPECT_EQ(m.timebase, 480);
  EXPECT_EQ(m.beat, 4);
  EXPECT_EQ(m.tempo, 120.0f);
  EXPECT_EQ(m.loopClock, 0);
  EXPECT_EQ(m.endClock, 0);
}

TEST(Directives, EmptyLoopstartAndEndmeasureUseTheCurrentUnitsMeasure) {
  struct Case {
    std::string notes;
    int32_t loopClock, endClock;
  };
  const std::vector<Case> cases = {
      {"c%4000", 3840, 5760},      // measure 2, and 3 for the unfinished one
      {"c%3840", 3840, 3840},      // exactly two measures
      {"", 0, 0},
      {"c%1", 0, 1920},
      {"U1 c%4000", 3840, 5760},   // the current unit counts ...
      {"U1 c%4000 U0", 0, 0},      // ... not the longest one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.notes);
    const Master m = MasterOf(Clean(c.notes + "\n#loopstart\n#endmeasure"));
    EXPECT_EQ(m.loopClock, c.loopClock);
    EXPECT_EQ(m.endClock, c.endClock);
  }
  // The quotient uses the measure at the directive, the clocks the final one.
  const Master m = MasterOf(Clean("#beat 2\nc%4000\n#loopstart\n#beat 4"));
  EXPECT_EQ(m.loopClock, 4 * 1920);
}

TEST(Directives, VersionWord) {
  EXPECT_EQ(Clean("").version, 914);
  EXPECT_EQ(Clean("#pversion 1234").version, 1234);
  EXPECT_EQ(Clean("#pversion -5\n#pversion $10").version, 16);
}

TEST(Directives, TitleIsCutWithoutSplittingDoubleByteCharacters) {
  const std::string sixteen = "abcdefghijklmnop";
  struct Case {
    std::string title;
    std::string shortTitle;
  };
  const std::vector<Case> cases = {
      {"Song", "Song"},
      {sixteen, sixteen},
      {sixteen + "q", "abcdefghijklmn.."},
      {sixteen + "qrstuvwxyz", "abcdefghijklmn.."},
      {Sjis(u8"あいうえおかきく"), Sjis(u8"あいうえおかきく")},                  // 16 bytes
      {Sjis(u8"あいうえおかきくけ"), Sjis(u8"あいうえおかき..")},                // 18 bytes
      {Sjis(u8"aあいうえおかきく"), Sjis(u8"aあいうえおか...")},       // lead byte at 13
      {Sjis(u8"abcdefghijklあxyz"), Sjis(u8"abcdefghijklあx.")},
      {Sjis(u8"abcdefghijklmあい"), "abcdefghijklm..."},
      {Sjis(u8"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁ"), Sjis(u8"ｱｲｳｴｵｶｷｸｹｺｻｼｽｾ..")},      // single-byte kana
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const Project p = Clean("#title " + c.title + "\n#comment one\n#comment two");
    EXPECT_EQ(BodyOf(p, "textNAME"), c.shortTitle);
    // A long title goes whole in front of the comment.
    const std::string comment = "one\r\ntwo\r\n";
    EXPECT_EQ(BodyOf(p, "textCOMM"),
              c.title.size() > 16 ? c.title + "\r\n" + comment : comment);
    if (c.title.size() > 16) {
      EXPECT_EQ(BodyOf(Clean("#title " + c.title), "textCOMM"), c.title + "\r\n");
    }
  }
}

TEST(Directives, TitleAndCommentChunks) {
  // An empty title removes the name; the last title counts.
  Project p = Clean("#title abcdefghijklmnopqrstu\n#title");
  EXPECT_EQ(p.Find("textNAME"), nullptr);
  EXPECT_EQ(p.Find("textCOMM"), nullptr);
  EXPECT_EQ(BodyOf(Clean("#title a\n#title b"), "textNAME"), "b");
  // Comment lines, an empty one among them.
  p = Clean("#comment a\n#comment\n#comment  b  ");
  EXPECT_EQ(BodyOf(p, "textCOMM"), "a\r\n\r\nb\r\n");
  EXPECT_EQ(Clean("").Find("textCOMM"), nullptr);
}

TEST(Directives, PitchDirectivesActOnLaterNotes) {
  struct Case {
    std::string mml;
    int32_t key;  // of the last note
  };
  const std::vector<Case> cases = {
      {"c", 87 * 256},
      {"#keyshift 2\nc", 89 * 256},
      {"#keyshift -12\nc", 75 * 256},
      {"#finetune 10\nc", 87 * 256 + 10},
      {"#finetune -300\nc", 87 * 256 - 300},
      {">c", 99 * 256},
      {"#octave Reverse\n>c", 75 * 256},
      {"#octave REVERSE\n<c", 99 * 256},
      {"#octave reverse please\n>c", 99 * 256},
      {"#octave reverse\n#octave\n>c", 99 * 256},
      {"c #keyshift 1\nc", 88 * 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mml);
    const Project p = Clean(c.mml);
    std::vector<int32_t> keys;
    for (const Event& e : p.events)
      if (e.kind == kKey) keys.push_back(e.value);
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.back(), c.key);
    if (keys.size() == 2) {
      EXPECT_EQ(keys.front(), 87 * 256);
    }
  }
}

TEST(Directives, InheritLengthSwitch) {
  struct Case {
    std::string head;
    bool on;
  };
  const std::vector<Case> cases = {
      {"", false},          {"#inheritl", true},      {"#inheritl on", true},
      {"#inheritl offf", true}, {"#inheritl\n#inheritl OFF", false}, {"#inheritl off", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    // With inheritance d and e take the eighth of c.
    const Project p = Clean(c.head + "\nc8 d e");
    EXPECT_EQ(ClocksOfKind(p, kKey), (std::vector<int32_t>{0, 240, c.on ? 480 : 720}));
  }
}

TEST(Directives, VelocityStep) {
  EXPECT_EQ(FirstOfKind(Clean("v+ c"), kVelocity), 108);
  EXPECT_EQ(FirstOfKind(Clean("#vadd 3\nv+ c"), kVelocity), 103);
  EXPECT_EQ(FirstOfKind(Clean("#vadd 3\nv-- c"), kVelocity), 94);
  EXPECT_EQ(FirstOfKind(Clean("v+ c #vadd 20\nv+ c"), kVelocity, 1), 128);
}

TEST(Directives, DelaysAreCommittedInOrder) {
  const Project p = Clean(
      "#delay-add\n"
      "#delay-type measure\n#delay-group 2\n#delay-quant 50\n#delay-freq 12.5\n#delay-add\n"
      "#delay-type SECOND\n#delay-add\n"
      "#delay-type minute\n#delay-type Beat\n#delay-add");
  ASSERT_EQ(p.CountOf("effeDELA"), 4u);
  const std::string expected[] = {
      Le16(0) + Le16(0) + LeFloat(33.3f) + LeFloat(3.3f),
      Le16(1) + Le16(2) + LeFloat(50.0f) + LeFloat(12.5f),
      Le16(2) + Le16(2) + LeFloat(50.0f) + LeFloat(12.5f),
      Le16(0) + Le16(2) + LeFloat(50.0f) + LeFloat(12.5f),
  };
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(p.Find("effeDELA", i)->size, 12);
    EXPECT_EQ(BodyOf(p, "effeDELA", i), expected[i]) << i;
  }
  // "minute" changes nothing and says nothing beyond the echo.
  const Outcome o = Compile("#delay-type measure\n#delay-type minute\n#delay-add", kWithEcho);
  EXPECT_EQ(o.lines, (std::vector<std::string>{"delay-type=measure", "delay-type=minute"}));
  EXPECT_EQ(BodyOf(ParseProject(o.file), "effeDELA").substr(0, 2), Le16(1));
  // Settings without a commit write nothing.
  EXPECT_EQ(Clean("#delay-quant 5").CountOf("effeDELA"), 0u);
}

TEST(Directives, OverdrivesAreCommittedInOrder) {
  const Project p = Clean(
      "#overdrive-add\n#overdrive-group 3\n#overdrive-cut 60\n#overdrive-amp 4\n#overdrive-add");
  ASSERT_EQ(p.CountOf("effeOVER"), 2u);
  EXPECT_EQ(p.Find("effeOVER")->size, 16);
  EXPECT_EQ(BodyOf(p, "effeOVER", 0),
            Le16(0) + Le16(0) + LeFloat(90.0f) + LeFloat(2.0f) + std::string(4, '\0'));
  EXPECT_EQ(BodyOf(p, "effeOVER", 1),
            Le16(0) + Le16(3) + LeFloat(60.0f) + LeFloat(4.0f) + std::string(4, '\0'));
  // The effects follow the comment and come delays first, before the units.
  const Project q = Clean("#comment x\n#overdrive-add\n#delay-add\nc");
  std::vector<std::string> tags;
  for (const Chunk& c : q.chunks) tags.push_back(c.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"MasterV5", "Event V5", "textNAME", "textCOMM",
                                            "effeDELA", "effeOVER", "num UNIT", "assiUNIT",
                                            "pxtoneND"}));
}

TEST(Directives, EffectLimits) {
  const std::string delayLimit = Sjis(u8"登録できるディレイは4個までです。");
  ExpectError("#delay-add\n#delay-add\n#delay-add\n#delay-add\n#delay-add", delayLimit, 5);
  ExpectError("#delay-add\n[4 #delay-add\n]", delayLimit, 2);
  EXPECT_EQ(Clean("[4 #delay-add\n]").CountOf("effeDELA"), 4u);
  const std::string overLimit = Sjis(u8"登録できるオーバードライブは2個までです。");
  ExpectError("#overdrive-add\n#overdrive-group 1\n#overdrive-add\n\n#overdrive-add", overLimit, 5);
}

TEST(Directives, GroupsKeepTheLow16BitsThenAreRangeTested) {
  struct Case {
    std::string value;
    int group;  // -1: range error
  };
  const std::vector<Case> cases = {
      {"0", 0},      {"6", 6},      {"65536", 0},  {"65537", 1},  {"65542", 6},
      {"-65535", 1}, {"$10003", 3}, {"7", -1},     {"65543", -1}, {"-1", -1},
      {"2147483647", -1},
  };
  for (const std::string which : {"delay", "overdrive"}) {
    for (const Case& c : cases) {
      const std::string mml = "#" + which + "-group " + c.value + "\n#" + which + "-add";
      SCOPED_TRACE(mml);
      if (c.group < 0) {
        ExpectError(mml, Sjis(u8"0～6 の範囲で指定してください。"), 1);
        continue;
      }
      const Project p = Clean(mml);
      const std::string body = BodyOf(p, which == "delay" ? "effeDELA" : "effeOVER");
      EXPECT_EQ(body.substr(2, 2), Le16(c.group));
    }
  }
  ExpectError("#delay-group one", Sjis(u8"「one」は整数ではありません。"), 1);
}

TEST(Directives, VoiceOptionsTakeThreeFlagBits) {
  Clean("#voice-options 7");
  ExpectError("#voice-options 8", Sjis(u8"0～7 の範囲で指定してください。"), 1);
}

TEST(Directives, RepeatedDirectivesRunOnEveryPass) {
  const Outcome o = Compile("[3 #comment x\n]", kWithEcho);
  EXPECT_EQ(o.result, crOk);
  EXPECT_EQ(o.lines, (std::vector<std::string>{"comment=x", "comment=x", "comment=x"}));
  EXPECT_EQ(BodyOf(ParseProject(o.file), "textCOMM"), "x\r\nx\r\nx\r\n");
}

}  // namespace
