// The unit control commands, seen through the exports: each case compiles a
// short source and compares the decoded events and the log lines.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

// Event kinds as the project file numbers them.
constexpr int kOn = 1, kKey = 2, kPanVolume = 3, kVelocity = 4, kVolume = 5, kPortamento = 6,
              kVoiceNo = 12, kGroupNo = 13, kPanTime = 15;

// Note numbers of octave 5 (c = 27 + 12 * 5).
constexpr int C5 = 87, D5 = 89, E5 = 91, F5 = 92, A5 = 96, B5 = 98;

// A note as it is written: key, on and velocity at one clock. The defaults
// are those of a fresh unit: a quarter of 480 clocks at gate 80 %.
Events Note(int32_t clock, int noteNumber, int32_t on = 384, int32_t velocity = 100, int unit = 0) {
  return {{clock, unit, kKey, noteNumber * 256}, {clock, unit, kOn, on}, {clock, unit, kVelocity, velocity}};
}

Events Ev(int32_t clock, int kind, int32_t value, int unit = 0) { return {{clock, unit, kind, value}}; }

Events Cat(std::initializer_list<Events> parts) {
  Events all;
  for (const Events& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::string Hint(const std::string& text, int line) { return HintLine(Sjis(text), line); }
std::string Stray(int value, int line) {
  return Hint("突然の \"" + std::to_string(value) + "\" です。", line);
}
std::string Stray(const std::string& ch, int line) { return Hint("\"" + ch + "\" を解釈できません。", line); }
std::string Error(const std::string& text, int line) { return ErrorLine(Sjis(text), line); }

TEST(Commands, OneShotOctave) {
  ExpectEvents({
      {"`c c", Cat({Note(0, C5 + 12), Note(480, C5)})},
      {"\"\"c", Note(0, C5 - 24)},
      {"`\"c", Note(0, C5)},
      {"`r c", Note(480, C5)},
      // the shift belongs to the compile: it raises the next note of any unit
      {"` U1 c U0 c", Cat({Note(0, C5 + 12, 384, 100, 1), Note(0, C5)})},
      {"#octave reverse\n`c", Note(0, C5 + 12)},
  });
}

TEST(Commands, DefaultLength) {
  ExpectEvents({
      {"l8 c c", Cat({Note(0, C5, 192), Note(240, C5, 192)})},
      {"l8 l4 c c", Cat({Note(0, C5), Note(480, C5)})},
      {"l8. c c", Cat({Note(0, C5, 288), Note(360, C5, 288)})},
      {"l%96 c c", Cat({Note(0, C5, 76), Note(96, C5, 76)})},
      {"l4^8 c c", Cat({Note(0, C5, 576), Note(720, C5, 576)})},
      {"l. c c", Cat({Note(0, C5, 576), Note(720, C5, 576)})},
      {"l8 l0 c c", Cat({Note(0, C5, 192), Note(240, C5, 192)})},
      // anything but a digit, '%' or '.' right after the l: nothing changes
      {"l c c", Cat({Note(0, C5), Note(480, C5)})},
      {"l 8 c", Note(0, C5), {Stray(8, 1)}},
      {"l-8 c", Note(0, C5), {Stray("-", 1), Stray(8, 1)}},
  });
}

TEST(Commands, Octave) {
  ExpectEvents({
      {"o4 c", Note(0, C5 - 12)},
      {"o3+1 c", Note(0, C5 - 12)},
      {"o 4 c", Note(0, C5), {Stray(4, 1)}},
      {"o c", Note(0, C5)},
      {"o-1 c", Note(0, C5), {Stray("-", 1), Stray(1, 1)}},
      {"> c < < c", Cat({Note(0, C5 + 12), Note(480, C5 - 12)})},
      {"#octave reverse\n> c < < c", Cat({Note(0, C5 - 12), Note(480, C5 + 12)})},
      // no lower limit: octave -1 gives note number 15
      {"o0 < c", Note(0, 15)},
  });
}

TEST(Commands, Velocity) {
  auto vel = [](int32_t v) { return Note(0, C5, 384, v); };
  ExpectEvents({
      {"v200 c", vel(128)},
      {"v3 v-5 c", vel(0)},
      {"v c v", vel(100)},
      {"v+ c", vel(108)},
      {"v++ c", vel(116)},
      {"v+- c", vel(100)},
      {"v-- c", vel(84)},
      {"v+c", vel(108)},
      {"#vadd 5\nv+ c", vel(105)},
      {"#vadd 5\nv-- c", vel(90)},
      {"v+10 c", vel(110)},
      {"v-10 c", vel(90)},
      {"v+5-3 c", vel(102)},
      {"v 90 c", vel(90)},
      {"v\n90 c", vel(90)},
      {"v120 v+20 c", vel(128)},
      {"v10 v--- c", vel(0)},
      // velocity belongs to the unit
      {"v50 U1 c", Note(0, C5, 384, 100, 1)},
  });
}

TEST(Commands, Gate) {
  auto on = [](int32_t gate) { return Note(0, C5, gate); };
  ExpectEvents({
      {"q60 c", on(288)},
      {"q%120 c", on(120)},
      {"q%120 q c", on(576)},  // back to percentages with the old value
      {"q60 q% c", on(60)},    // the old value taken as clocks
      {"q%50 q 80 c", on(240), {Stray(80, 1)}},
      {"q%100 c q", on(100)},  // q as the very last byte
      {"c q%", on(384)},
      {"$Qa c", on(80)},
      {"q%120 $Qr c", on(576)},
      {"$Qa q50 c", on(240)},
      {"$Qx c", on(384), {Stray("x", 1)}},
  });
}

TEST(Commands, PanVolumeVoiceGroup) {
  ExpectEvents({
      {"P64 c", Cat({Ev(0, kPanVolume, 64), Note(0, C5)})},
      {"P64+10", Ev(0, kPanVolume, 74)},
      {"P c", Note(0, C5)},
      {"P-5 c", Note(0, C5), {Stray("-", 1), Stray(5, 1)}},
      {"PT-20", Ev(0, kPanTime, -20)},
      {"PT\n5", Ev(0, kPanTime, 5)},
      {"PT c", Note(0, C5)},
      {"PT", {}},
      {"V100", Ev(0, kVolume, 100)},
      {"V1-2", Ev(0, kVolume, -1)},
      {"V c", Note(0, C5)},
      {"V-1", {}, {Stray("-", 1), Stray(1, 1)}},
      {"@3", Ev(0, kVoiceNo, 3)},
      {"@0-2", Ev(0, kVoiceNo, -2)},
      {"@ 3", {}, {Stray(3, 1)}},
      {"G0 G6", Cat({Ev(0, kGroupNo, 0), Ev(0, kGroupNo, 6)})},
      {"G c", Note(0, C5)},
      {"G 7", {}, {Stray(7, 1)}},
  });
}

TEST(Commands, Portamento) {
  ExpectEvents({
      {"Po8", Ev(0, kPortamento, 240)},
      {"Po 8", Ev(0, kPortamento, 240)},
      {"Po4.", Ev(0, kPortamento, 720)},
      {"Po%30", Ev(0, kPortamento, 30)},
      {"Po0", Ev(0, kPortamento, 480)},
      {"l8 Po0", Ev(0, kPortamento, 240)},
      {"Po", Ev(0, kPortamento, 0)},
      {"Po c", Cat({Ev(0, kPortamento, 0), Note(0, C5)})},
  });
}

TEST(Commands, ControlEventsStayAtTheUnshiftedClock) {
  const int u = 2;
  ExpectEvents({
      {"U2 l2 c t30 P64 V100 @3 G1 c",
       Cat({Note(0, C5, 768, 100, u), Ev(960, kPanVolume, 64, u), Ev(960, kVolume, 100, u),
            Ev(960, kVoiceNo, 3, u), Ev(960, kGroupNo, 1, u), Note(990, C5, 768, 100, u)})},
      {"U2 l2 c t240,30 PT5 Po8 c",
       Cat({Note(0, C5, 768, 100, u), Ev(960, kPanTime, 5, u), Ev(960, kPortamento, 240, u),
            Note(990, C5, 768, 100, u)})},
  });
}

TEST(Commands, UnitSelection) {
  ExpectEvents({
      {"U1+2 c", Note(0, C5, 384, 100, 3)},
      {"U 1 c", Note(0, C5, 384, 100, 1)},
      {"U\n1 c", Note(0, C5, 384, 100, 1)},
      {"U c", Note(0, C5)},
      {"U49 c", Note(0, C5, 384, 100, 49)},
      {"U3 c U0 c U3 c", Cat({Note(0, C5, 384, 100, 3), Note(0, C5), Note(480, C5, 384, 100, 3)})},
  });
}

TEST(Commands, TransposeAndFineTune) {
  ExpectEvents({
      {"K2 c", Note(0, D5)},
      {"K-2 c", Note(0, C5 - 2)},
      {"K-3+1 c", Note(0, C5 - 4)},
      // '+' is not taken after K: it and the number reach the command level
      {"K+2 c", Note(0, C5), {Stray("+", 1), Stray(2, 1)}},
      {"K2 K- c", Note(0, D5)},
      {"K c", Note(0, C5)},
      {"K2 U1 c", Note(0, D5, 384, 100, 1)},
      {"K2\nK\n-3 c", Note(0, D5), {Stray("-", 3), Stray(3, 3)}},
  });
  auto key = [](int32_t value) { return Events{{0, 0, kKey, value}, {0, 0, kOn, 384}, {0, 0, kVelocity, 100}}; };
  ExpectEvents({
      {"p10 c", key(C5 * 256 + 10)},
      {"p-10 c", key(C5 * 256 - 10)},
      {"p5 p- c", key(C5 * 256 + 5)},
      {"p c", key(C5 * 256)},
      {"p+5 c", key(C5 * 256), {Stray("+", 1), Stray(5, 1)}},
  });
}

TEST(Commands, NoTransposeUnit) {
  ExpectEvents({
      // the $K- unit ignores K, p and #keyshift but keeps the key signature
      {"#keyshift 2\n$F+c $K- K5 p10 c U1 c",
       Cat({Note(0, C5 + 1), Events{{0, 1, kKey, (C5 + 1 + 2 + 5) * 256 + 10}, {0, 1, kOn, 384},
                                    {0, 1, kVelocity, 100}}})},
      {"$K- $K+ K5 c", Note(0, C5 + 5)},
      {"$Kx c", Note(0, C5), {Stray("x", 1)}},
  });
}

TEST(Commands, TimingPattern) {
  ExpectEvents({
      {"t20 c c", Cat({Note(20, C5), Note(500, C5)})},
      {"t120 c t c", Cat({Note(120, C5), Note(600, C5)})},
      {"t120 c t0 c", Cat({Note(120, C5), Note(480, C5)})},
      {"t240,0,20 l8 c c c", Cat({Note(0, C5, 192), Note(260, C5, 192), Note(480, C5, 192)})},
      {"t5,10 c", Note(10, C5)},
  });
  const std::string interval = "tコマンドの間隔指定は1以上を指定する必要があります。";
  ExpectErrors({
      {"c\nt0,10", Error(interval, 2)},
      {"t-5,10", Error(interval, 1)},
      {"t\n\n0,10", Error(interval, 3)},
  });
}

TEST(Commands, Position) {
  ExpectEvents({
      {"T2,1,10 c", Note(4330, C5)},
      {"T1 c", Note(1920, C5)},
      {"T1,2 c", Note(2880, C5)},
      {"c T0 d", Cat({Note(0, C5), Note(0, D5)})},
      {"T c", Note(0, C5)},
  });
  ExpectErrors({{"c\nT1,2,3,4", Error("Tコマンドで指定できる引数は1～3個です。", 2)}});
}

TEST(Commands, Mute) {
  ExpectEvents({
      {"c M", {}},
      {"M c", {}},
      {"c U1 M d", Note(0, C5)},
      {"c M1", Note(0, C5)},
      {"c U1 d U2 e M0,60,-1", Cat({Note(0, D5, 384, 100, 1), Note(0, E5, 384, 100, 2)})},
  });
}

TEST(Commands, KeySignature) {
  ExpectEvents({
      {"$F+f c f", Cat({Note(0, C5), Note(480, F5 + 1)})},  // the blank ends the list
      {"$F+fc c f", Cat({Note(0, C5 + 1), Note(480, F5 + 1)})},
      {"$F+ fc c f", Cat({Note(0, C5 + 1), Note(480, F5 + 1)})},
      {"$F-bea e a b", Cat({Note(0, E5 - 1), Note(480, A5 - 1), Note(960, B5 - 1)})},
      {"$Fn1,1 c d e", Cat({Note(0, C5 + 1), Note(480, D5 + 1), Note(960, E5)})},
      {"$Fn0,0,0,1 f c", Cat({Note(0, F5 + 1), Note(480, C5)})},
      {"$Fn1,1,1,1,1,1,2,9 b", Note(0, B5 + 2)},
      {"$F+f $F f", Note(0, F5)},
      {"$F+f $Fn f", Note(0, F5)},
      {"$F+f f*", Note(0, F5)},
      {"$X c", Note(0, C5), {Stray("X", 1)}},
      {"c $", Note(0, C5)},
  });
}

TEST(Commands, Errors) {
  const std::string group = "0～6 の範囲で指定してください。";
  const std::string units = "登録できるユニットは50個までです。";
  ExpectErrors({
      {"c\nG7", Error(group, 2)},
      {"G1-2", Error(group, 1)},
      {"c\nU50", Error(units, 2)},
      {"U-1", Error(units, 1)},
      {"U0-1 c", Error(units, 1)},
  });
}

}  // namespace
