// Notes and rests as the written project shows them: pitches, lengths,
// ties, gates, timing patterns, slur chains and units, checked as the
// decoded (clock, unit, kind, value) events of the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

using Events = std::vector<Event>;

constexpr int kOn = 1, kKey = 2, kVelocity = 4;

// Key value of a note number: 256 per semitone. c of octave 5 is 87.
constexpr int32_t K(int32_t noteNumber) { return noteNumber * 256; }

Event Key(int32_t clock, int32_t key, int unit = 0) { return {clock, unit, kKey, key}; }
Event On(int32_t clock, int32_t gate, int unit = 0) { return {clock, unit, kOn, gate}; }
Event Vel(int32_t clock, int32_t velocity, int unit = 0) { return {clock, unit, kVelocity, velocity}; }

// The three events of a plain note, in the order they are written.
Events Note(int32_t clock, int32_t key, int32_t gate, int32_t velocity = 100, int unit = 0) {
  return {Key(clock, key, unit), On(clock, gate, unit), Vel(clock, velocity, unit)};
}

Events Cat(std::initializer_list<Events> parts) {
  Events all;
  for (const Events& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// The code page 932 bytes of a UTF-8 literal.
std::string Cp932(const std::u8string& utf8) { return Sjis(std::string(utf8.begin(), utf8.end())); }

std::string SlurHint(int unit) {
  const std::string n = std::to_string(unit);
  return Cp932(u8"[ヒント] ユニット[" + std::u8string(n.begin(), n.end()) + u8"]のスラーが終了していません。");
}
std::string StrayNumber(int value, int line) {
  const std::string v = std::to_string(value), l = std::to_string(line);
  return Cp932(u8"[ヒント] 突然の \"" + std::u8string(v.begin(), v.end()) + u8"\" です。 (" +
               std::u8string(l.begin(), l.end()) + u8"行目)");
}

struct Case {
  std::string name;
  std::string mml;
  Events events;
  std::vector<std::string> lines;  // the log, already in code page 932
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + ": " + c.mml);
    const Outcome o = Compile(c.mml);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.lines, c.lines);
    ASSERT_TRUE(o.written);
    EXPECT_EQ(ParseProject(o.file).events, c.events);
  }
}

TEST(Notes, PitchesOctavesAndAccidentals) {
  RunCases({
      {"default c", "c", Note(0, K(87), 384), {}},
      {"letters", "cdefgab",
       Cat({Note(0, K(87), 384), Note(480, K(89), 384), Note(960, K(91), 384),
            Note(1440, K(92), 384), Note(1920, K(94), 384), Note(2400, K(96), 384),
            Note(2880, K(98), 384)}),
       {}},
      {"octave 4 a", "o4a", Note(0, K(84), 384), {}},
      {"octave steps", "o4 c > c < < c",
       Cat({Note(0, K(75), 384), Note(480, K(87), 384), Note(960, K(63), 384)}), {}},
      {"below octave 0", "o0 < c", Note(0, K(15), 384), {}},
      {"sharp, flat, double sharp", "c+ d- c++ d",
       Cat({Note(0, K(88), 384), Note(480, K(88), 384), Note(960, K(89), 384),
            Note(1440, K(89), 384)}),
       {}},
      // accidental groups may be separated by blanks, bar lines and line breaks
      {"accidentals across blanks", "c |+\n+ d",
       Cat({Note(0, K(89), 384), Note(480, K(89), 384)}), {}},
      {"key signature and natural", "$F+f f f* f*+",
       Cat({Note(0, K(93), 384), Note(480, K(92), 384), Note(960, K(93), 384)}), {}},
      {"flat signature", "$F-be b e a",
       Cat({Note(0, K(97), 384), Note(480, K(90), 384), Note(960, K(96), 384)}), {}},
      {"blank ends the signature letters", "$F+f c", Note(0, K(87), 384), {}},
      {"transpose reaches other units", "K2 U1 c", Note(0, K(89), 384, 100, 1), {}},
      {"no-transpose unit keeps the signature", "$K- K5 $F+c c", Note(0, K(88), 384), {}},
  });
}

TEST(Notes, LengthsDotsAndRests) {
  RunCases({
      {"dotted quarter", "c4. d", Cat({Note(0, K(87), 576), Note(720, K(89), 384)}), {}},
      {"double dot", "c4.. d", Cat({Note(0, K(87), 672), Note(840, K(89), 384)}), {}},
      {"clocks", "c%100 d", Cat({Note(0, K(87), 80), Note(100, K(89), 384)}), {}},
      {"zero is the default", "c0 d", Cat({Note(0, K(87), 384), Note(480, K(89), 384)}), {}},
      {"lone dot", "c. d", Cat({Note(0, K(87), 576), Note(720, K(89), 384)}), {}},
      {"blank before length", "c 8 d", Cat({Note(0, K(87), 192), Note(240, K(89), 384)}), {}},
      {"length on next line", "c\n8 d", Cat({Note(0, K(87), 192), Note(240, K(89), 384)}), {}},
      {"bar before length", "c|8 d", Cat({Note(0, K(87), 192), Note(240, K(89), 384)}), {}},
      {"default length", "l8 c d2", Cat({Note(0, K(87), 192), Note(240, K(89), 768)}), {}},
      {"rest", "r c", Note(480, K(87), 384), {}},
      {"dotted rest", "r4. c", Note(720, K(87), 384), {}},
      {"rest of default length", "l8 r c", Note(240, K(87), 192), {}},
  });
}

TEST(Notes, TiesAndTieRuns) {
  RunCases({
      {"length expression tie", "c4^8 d", Cat({Note(0, K(87), 576), Note(720, K(89), 384)}), {}},
      {"tie run", "c^^ d", Cat({Note(0, K(87), 1152), Note(1440, K(89), 384)}), {}},
      {"quarter plus default", "l8 c4^ d", Cat({Note(0, K(87), 576), Note(720, K(89), 192)}), {}},
      {"blanks and bars in a run", "l8 c^ ^|^ d",
       Cat({Note(0, K(87), 768), Note(960, K(89), 192)}), {}},
      // the 4 is not part of the note: it reaches the command level
      {"number after a tie run", "c^4", Note(0, K(87), 768), {StrayNumber(4, 1)}},
      {"run across a line break", "c^\n^ 7", Note(0, K(87), 1152), {StrayNumber(7, 2)}},
      {"run across CR and CR LF", "c^\r^\r\n7", Note(0, K(87), 1152), {StrayNumber(7, 3)}},
  });
}

TEST(Notes, Gates) {
  RunCases({
      {"gate in clocks", "q%100 c2", Note(0, K(87), 100), {}},
      {"gate in percent", "q50 c2", Note(0, K(87), 480), {}},
      {"q alone returns to percent", "q%100 c q c",
       Cat({Note(0, K(87), 100), Note(480, K(87), 480)}), {}},
      {"$Qa takes the gate as clocks", "$Qa c $Qr c",
       Cat({Note(0, K(87), 80), Note(480, K(87), 384)}), {}},
      {"velocity", "v50 c", Note(0, K(87), 384, 50), {}},
  });
}

TEST(Notes, TimingPatterns) {
  RunCases({
      {"one value", "t10 c d", Cat({Note(10, K(87), 384), Note(490, K(89), 384)}), {}},
      {"interval and cycle", "l8 t240,0,20 cdef",
       Cat({Note(0, K(87), 192), Note(260, K(89), 192), Note(480, K(91), 192),
            Note(740, K(92), 192)}),
       {}},
      {"three shifts", "l%100 t100,1,2,3 cccc",
       Cat({Note(1, K(87), 80), Note(102, K(87), 80), Note(203, K(87), 80),
            Note(301, K(87), 80)}),
       {}},
      // T moves the clock back before the pattern's origin (250): the cycle
      // goes on backwards without a jump
      {"before the origin", "l%100 T0,0,250 t100,1,2,3 T0 cccc",
       Cat({Note(1, K(87), 80), Note(102, K(87), 80), Note(203, K(87), 80),
            Note(301, K(87), 80)}),
       {}},
      {"before the origin, two shifts", "l8 T0,0,100 t240,0,20 T0 c d e",
       Cat({Note(20, K(87), 192), Note(240, K(89), 192), Note(500, K(91), 192)}), {}},
      {"t0 removes the shift", "t10 c t0 d", Cat({Note(10, K(87), 384), Note(480, K(89), 384)}),
       {}},
  });
}

TEST(Notes, SlurChains) {
  RunCases({
      {"same pitch", "c&c&c", Note(0, K(87), 2 * 480 + 384), {}},
      {"changing pitch", "c&d e",
       Cat({{Key(0, K(87)), On(0, 864), Vel(0, 100), Key(480, K(89))}, Note(960, K(91), 384)}),
       {}},
      {"back to the first pitch", "c&d&c",
       {Key(0, K(87)), On(0, 1344), Vel(0, 100), Key(480, K(89)), Key(960, K(87))}, {}},
      {"blank before the mark", "c & d", {Key(0, K(87)), On(0, 864), Vel(0, 100), Key(480, K(89))},
       {}},
      {"across a rest", "c&r d", {Key(0, K(87)), On(0, 960 + 384), Vel(0, 100), Key(960, K(89))},
       {}},
      {"velocity at closing", "v50 c& v90 d",
       {Key(0, K(87)), On(0, 864), Vel(0, 90), Key(480, K(89))}, {}},
      // unit 0's chain closes at clock 0 after unit 1's note was written there
      {"other unit in between", "c& U1 d U0 e",
       Cat({Note(0, K(89), 384, 100, 1), {Key(0, K(87)), On(0, 864), Vel(0, 100), Key(480, K(91))}}),
       {}},
  });
}

TEST(Notes, SlurChainsOpenAtTheEnd) {
  RunCases({
      {"open at the end", "c&", {Key(0, K(87)), On(0, 864), Vel(0, 100)}, {SlurHint(0)}},
      {"open with two pitches", "c&d&",
       {Key(0, K(87)), On(0, 1344), Vel(0, 100), Key(480, K(89))}, {SlurHint(0)}},
      // each unit's chain is closed with its own last note, not with the
      // last note read (unit 1's eighth-note e)
      {"two units open", "c& U1 o4 e8&",
       Cat({{Key(0, K(87)), On(0, 864), Vel(0, 100)}, Note(0, K(79), 192 + 240, 100, 1)}),
       {SlurHint(0), SlurHint(1)}},
      {"ended by a rest", "c&r", {Key(0, K(87)), On(0, 384 + 960), Vel(0, 100)}, {SlurHint(0)}},
      {"two pitches ended by a rest", "c&d&r",
       {Key(0, K(87)), On(0, 384 + 1440), Vel(0, 100), Key(480, K(89))}, {SlurHint(0)}},
      {"rest-ended chain in a higher unit", "U7 v60 c&r U2 d",
       Cat({Note(0, K(89), 384, 100, 2), {Key(0, K(87), 7), On(0, 384 + 960, 7), Vel(0, 60, 7)}}),
       {SlurHint(7)}},
  });
}

TEST(Notes, InheritLengthAndOneShotOctave) {
  RunCases({
      {"without inheritance", "c8 d", Cat({Note(0, K(87), 192), Note(240, K(89), 384)}), {}},
      {"note length inherited", "#inheritl\nc8 d",
       Cat({Note(0, K(87), 192), Note(240, K(89), 192)}), {}},
      {"rest length inherited", "#inheritl\nr2 c d",
       Cat({Note(960, K(87), 768), Note(1920, K(89), 768)}), {}},
      {"tied length inherited", "#inheritl\nl8 c^ d",
       Cat({Note(0, K(87), 384), Note(480, K(89), 384)}), {}},
      {"one note raised", "`c c", Cat({Note(0, K(99), 384), Note(480, K(87), 384)}), {}},
      {"a rest takes the shift", "`r c", Note(480, K(87), 384), {}},
      {"two down", "\"\"c", Note(0, K(63), 384), {}},
      {"shift crosses U", "` U1 c U0 c",
       Cat({Note(0, K(99), 384, 100, 1), Note(0, K(87), 384)}), {}},
  });
}

TEST(Notes, UnitsKeepTheirOwnState) {
  RunCases({
      // stable order at one clock: unit 3's note was appended first
      {"own clocks", "U3 c U0 c U3 c",
       Cat({Note(0, K(87), 384, 100, 3), Note(0, K(87), 384), Note(480, K(87), 384, 100, 3)}), {}},
      {"own octave and length", "U1 o3 l8 U0 c U1 c",
       Cat({Note(0, K(87), 384), Note(0, K(63), 192, 100, 1)}), {}},
      {"expression", "U1+2 c", Note(0, K(87), 384, 100, 3), {}},
      {"blank before the number", "U 1 c", Note(0, K(87), 384, 100, 1), {}},
      {"number on the next line", "U\n1 c", Note(0, K(87), 384, 100, 1), {}},
      {"last unit", "U49 c", Note(0, K(87), 384, 100, 49), {}},
  });
}

TEST(Notes, UnitNumberOutOfRangeEndsTheCompile) {
  const std::string error = Cp932(u8"[エラー] 登録できるユニットは50個までです。 (2行目)");
  for (const std::string mml : {"c\nU50 c", "c\nU-1 c", "c\nU0-1 c", "c\nU 100"}) {
    SCOPED_TRACE(mml);
    const Outcome o = Compile(mml);
    EXPECT_EQ(o.result, 1);
    EXPECT_FALSE(o.written);
    EXPECT_EQ(o.lines, std::vector<std::string>{error});
  }
  // an open slur is not reported after an error
  const Outcome o = Compile("c&\nU50");
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.lines, std::vector<std::string>{error});
}

}  // namespace
