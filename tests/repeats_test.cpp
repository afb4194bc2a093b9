// Repeats, seen through the exports: the passes they play, the state they
// carry from pass to pass, their errors and the line numbers of messages
// raised while the body is read again.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

constexpr int kOn = 1, kKey = 2, kVelocity = 4;

// Note numbers of octave 5 (c = 27 + 12 * 5).
constexpr int C5 = 87, D5 = 89, E5 = 91, F5 = 92, A5 = 96, B5 = 98;

// Quarter notes of a fresh unit, one after the other from clock 0.
Events Melody(std::initializer_list<int> noteNumbers, int unit = 0) {
  Events all;
  int32_t clock = 0;
  for (int n : noteNumbers) {
    all.push_back({clock, unit, kKey, n * 256});
    all.push_back({clock, unit, kOn, 384});
    all.push_back({clock, unit, kVelocity, 100});
    clock += 480;
  }
  return all;
}

Events Times(int n, int noteNumber) {
  Events all;
  for (int i = 0; i < n; ++i) {
    const Events one = Melody({noteNumber});
    for (Event e : one) {
      e.clock = i * 480;
      all.push_back(e);
    }
  }
  return all;
}

std::string Hint(const std::string& text, int line) { return HintLine(Sjis(text), line); }
std::string Stray(const std::string& ch, int line) { return Hint("\"" + ch + "\" を解釈できません。", line); }
std::string Error(const std::string& text, int line) { return ErrorLine(Sjis(text), line); }

TEST(Repeats, Counts) {
  ExpectEvents({
      {"[c d]", Melody({C5, D5, C5, D5})},
      {"[3 c d]", Melody({C5, D5, C5, D5, C5, D5})},
      {"[1 c d]", Melody({C5, D5})},
      {"[0 c d]", Melody({C5, D5})},
      {"[-2 c d]", Melody({C5, D5})},
      {"[-2147483648 c d]", Melody({C5, D5})},
      {"[ 3 c]", Times(3, C5)},
      {"[2+1 c]", Times(3, C5)},
      {"[\n3\nc]X", Times(3, C5), {Stray("X", 3)}},
  });
}

TEST(Repeats, BreakOut) {
  ExpectEvents({
      {"[3 a : b]", Melody({A5, B5, A5, B5, A5})},
      {"[2 c : d] e", Melody({C5, D5, C5, E5})},
      {"[1 a : b]", Melody({A5, B5})},
      {"[0 a : b]", Melody({A5, B5})},
      // the ':' belongs to the innermost open repeat
      {"[2 c [2 d : e] f]", Melody({C5, D5, E5, D5, F5, C5, D5, E5, D5, F5})},
      {"[2 [2 d] : e] f", Melody({D5, D5, E5, D5, D5, F5})},
  });
}

TEST(Repeats, Nesting) {
  ExpectEvents({
      {"[2 [3 c]]", Times(6, C5)},
      {"[[[[[[[[c]]]]]]]]", Times(256, C5)},
      {"[1[1[1[1[1[1[1[1 c]]]]]]]] d", Melody({C5, D5})},
  });
  ExpectErrors({
      {"c\n[[[[[[[[[c]]]]]]]]]", Error("繰り返しネストが上限を超えています。", 2)},
      {"c\n]", Error("繰り返しネストがもうありません。", 2)},
      {"[c]\n]", Error("繰り返しネストがもうありません。", 2)},
      {"c\n\n:", Error("繰り返し外なので抜けられません。", 3)},
      {"[c] :", Error("繰り返し外なので抜けられません。", 1)},
  });
}

TEST(Repeats, StateCarriesFromPassToPass) {
  ExpectEvents({
      {"[4 c >]", Melody({C5, C5 + 12, C5 + 24, C5 + 36})},
      {"[4 o4 c >] c", Melody({C5 - 12, C5 - 12, C5 - 12, C5 - 12, C5})},
      {"[3 v+ c]", Events{{0, 0, kKey, C5 * 256},    {0, 0, kOn, 384},     {0, 0, kVelocity, 108},
                          {480, 0, kKey, C5 * 256},  {480, 0, kOn, 384},   {480, 0, kVelocity, 116},
                          {960, 0, kKey, C5 * 256},  {960, 0, kOn, 384},   {960, 0, kVelocity, 124}}},
      {"[2 U1 c U0 d]", Events{{0, 1, kKey, C5 * 256},   {0, 1, kOn, 384},   {0, 1, kVelocity, 100},
                               {0, 0, kKey, D5 * 256},   {0, 0, kOn, 384},   {0, 0, kVelocity, 100},
                               {480, 1, kKey, C5 * 256}, {480, 1, kOn, 384}, {480, 1, kVelocity, 100},
                               {480, 0, kKey, D5 * 256}, {480, 0, kOn, 384}, {480, 0, kVelocity, 100}}},
      // a one-shot octave just before ']' raises the first note of the next pass
      {"[2 c `] d", Melody({C5, C5 + 12, D5 + 12})},
      // one chain c c d: a single on spanning it, a key only where the pitch changes
      {"[2 c&]d", Events{{0, 0, kKey, C5 * 256},
                         {0, 0, kOn, 960 + 384},
                         {0, 0, kVelocity, 100},
                         {960, 0, kKey, D5 * 256}}},
  });
}

TEST(Repeats, NeverClosedPlaysOnce) {
  ExpectEvents({
      {"[3 c d", Melody({C5, D5})},
      {"[2 [3 c]", Times(3, C5)},
  });
}

TEST(Repeats, LineNumbersOnLaterPasses) {
  ExpectEvents({
      // the body's lines on every pass
      {"[3\nc\nX\n]", Times(3, C5), {Stray("X", 3), Stray("X", 3), Stray("X", 3)}},
      // after the break-out jump, the lines of the text after the ']'
      {"[2\nc\n:\nX\n]\nY", Times(2, C5), {Stray("X", 4), Stray("Y", 6)}},
  });
  ExpectErrors({
      {"[3 c\n:\nd\n]\n\nT1,2,3,4", Error("Tコマンドで指定できる引数は1～3個です。", 6)},
  });
}

// The event limit is tested before every byte: 166667 passes of c bring the
// list to 500001 events, and the next byte read ends the compile.
TEST(Repeats, TooManyEventsEndTheCompile) {
  const std::string limit = "イベント数が上限の500000個を超えました。";
  ExpectErrors({
      {"[200000 c]", Error(limit, 1)},
      {"[200000\nc\nr\n]", Error(limit, 3)},  // raised at the r of a later pass
      {"[166666 c]P1P1P1|", Error(limit, 1)},
  });
}

TEST(Repeats, EventsReachingTheLimitOnlyAtTheEndAreWritten) {
  // 499998 note events and two pans: exactly 500000 when the bar is read
  const Outcome exact = Compile("[166666 c]P1P1|");
  EXPECT_EQ(exact.result, crOk);
  EXPECT_TRUE(exact.lines.empty());
  ASSERT_TRUE(exact.written);
  EXPECT_EQ(ParseProject(exact.file).events.size(), 500000u);

  // the last note passes the limit, but no byte follows it
  const Outcome last = Compile("[166666 c]c");
  EXPECT_EQ(last.result, crOk);
  EXPECT_TRUE(last.lines.empty());
  ASSERT_TRUE(last.written);
  const Events events = ParseProject(last.file).events;
  ASSERT_EQ(events.size(), 500001u);
  EXPECT_EQ(events.back(), (Event{166666 * 480, 0, kVelocity, 100}));
}

// Text re-read without making events is bounded by the number of bytes read.
TEST(Repeats, ExpansionWithoutEventsEnds) {
  // Text that makes no events, read again and again: the reader's byte count
  // ends the compile, with the line where it stopped.
  const std::string limit = "繰り返しの展開が上限の268435456文字を超えました。";
  ExpectErrors({{"\n\n[99999[99999[99999 l4]]]", Error(limit, 3)}});
  // A directive line in a hundred million passes: its comment lines and
  // echoes stop growing the log long before the end.
  QuavertSetErrorMessageOptions(13);  // keep the echoes
  EXPECT_EQ(QuavertCompile("", "[100000000\n#comment x\n]"), crCompileError);
  const std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "comment=x");
  EXPECT_LT(lines.size(), 200000u);
  EXPECT_EQ(lines[lines.size() - 2], Sjis("[ヒント] ヒントとエコーが多すぎるため、以降は省略します。"));
  // The body stands on lines 2 and 3; the budget runs out on one of them.
  EXPECT_TRUE(lines.back() == Error(limit, 2) || lines.back() == Error(limit, 3)) << lines.back();
}

}  // namespace
