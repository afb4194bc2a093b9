// Directive values turned into numbers: what is accepted, what is stored in
// the project file, and the exact error lines for the rest.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

std::string NotInteger(const std::string& text) {
  return Sjis(u8"「") + text + Sjis(u8"」は整数ではありません。");
}
std::string NotReal(const std::string& text) {
  return Sjis(u8"「") + text + Sjis(u8"」は実数ではありません。");
}
std::string Range(const std::string& bounds) {
  return bounds + Sjis(u8" の範囲で指定してください。");
}

float TempoOf(const Project& p) {
  const Chunk* master = p.Find("MasterV5");
  return master != nullptr && master->body.size() == 15 ? FloatAt(master->body, 3) : -1.0f;
}

TEST(Conversion, IntegerSyntaxThroughPversion) {
  const std::string longOk = std::string(254, '0') + "7";  // 255 bytes
  const std::string longBad = std::string(255, '0') + "7";  // 256 bytes
  struct Case {
    std::string text;
    bool ok;
    int32_t value;
  };
  const std::vector<Case> cases = {
      {"$1E0", true, 480},          {"0480", true, 480},
      {"+7", true, 7},              {"-0", true, 0},
      {"2147483647", true, INT_MAX}, {"-2147483648", true, INT_MIN},
      {"2147483648", false, 0},     {"-2147483649", false, 0},
      {"$FFFFFFFF", true, -1},      {"-$1", true, -1},
      {"+$10", true, 16},           {"$100000000", false, 0},
      {"x1f", true, 31},            {"X1F", true, 31},
      {"0x10", true, 16},           {"0X10", true, 16},
      {"%1010", true, 10},          {"&17", true, 15},
      {"%2", false, 0},             {"&8", false, 0},
      {"12a", false, 0},            {"1.5", false, 0},
      {"1 2", false, 0},            {"--1", false, 0},
      {"+", false, 0},              {"$", false, 0},
      {"0x", false, 0},             {"1e2", false, 0},
      {longOk, true, 7},            {longBad, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string mml = "#pversion " + c.text;
    if (c.ok)
      EXPECT_EQ(Clean(mml).version, c.value);
    else
      ExpectError(mml, NotInteger(c.text));
  }
}

TEST(Conversion, IntegerValueEndsAtTheLineButIncludesComments) {
  // The value is everything up to the line end, comment markers included.
  ExpectError("#timebase 960 // x", NotInteger("960 // x"));
  ExpectError("c\n#timebase 960 /* x */\nc", NotInteger("960 /* x */"), 2);
  // An empty value (also one of blanks only) is no number.
  ExpectError("#timebase", NotInteger(""));
  ExpectError("#keyshift  \t ", NotInteger(""));
  ExpectError("#voice-basekey\r\n", NotInteger(""));
  // Surrounding blanks are no part of the value.
  EXPECT_EQ(Clean("#pversion \t 77 \t").version, 77);
}

// A directive line, and the bounds of the range error it gives ("" when its
// value passes).
struct RangeCase {
  std::string mml;
  std::string bounds;
};

void ExpectRanges(const std::vector<RangeCase>& cases) {
  for (const RangeCase& c : cases) {
    SCOPED_TRACE(c.mml);
    if (c.bounds.empty())
      Clean(c.mml);
    else
      ExpectError(c.mml, Range(Sjis(c.bounds)));
  }
}

TEST(Conversion, IntegerRangesAreInclusive) {
  ExpectRanges({
      {"#timebase 0", "1～32767"},  {"#clock 32768", "1～32767"},
      {"#timebase 1", ""},          {"#clock 32767", ""},
      {"#timebase -1", "1～32767"}, {"#beat 0", "1～127"},
      {"#beat 128", "1～127"},      {"#beat 127", ""},
      {"#vadd 0", "1～2147483647"}, {"#vadd 2147483647", ""},
      {"#voice-options 8", "0～7"}, {"#voice-options -1", "0～7"},
      {"#voice-options 0", ""},     {"#voice-options 7", ""},
  });
}

TEST(Conversion, RealSyntaxThroughTempo) {
  enum Kind { kOk, kNotReal, kOutOfRange };
  struct Case {
    std::string text;
    Kind kind;
    float value;
  };
  const std::vector<Case> cases = {
      {"1.5", kOk, 1.5f},        {".5", kOk, 0.5f},       {"5.", kOk, 5.0f},
      {"1e2", kOk, 100.0f},      {"1E+2", kOk, 100.0f},   {"5e-1", kOk, 0.5f},
      {"+120.25", kOk, 120.25f}, {"0.5", kOk, 0.5f},      {"1000", kOk, 1000.0f},
      {"0150", kOk, 150.0f},     {"0.4", kOutOfRange, 0}, {"1000.001", kOutOfRange, 0},
      {"-120", kOutOfRange, 0},  {"1e39", kOutOfRange, 0}, {"inf", kOutOfRange, 0},
      {"-INF", kOutOfRange, 0},  {"+Inf", kOutOfRange, 0}, {"nan", kOutOfRange, 0},
      {"-NaN", kOutOfRange, 0},  {"1,5", kNotReal, 0},    {"1,", kNotReal, 0},
      {".", kNotReal, 0},        {"+.", kNotReal, 0},     {"-.", kNotReal, 0},
      {"1e", kNotReal, 0},       {"1e+", kNotReal, 0},    {"e2", kNotReal, 0},
      {"1.5x", kNotReal, 0},     {"1..5", kNotReal, 0},   {"infinity", kNotReal, 0},
      {"0x10", kNotReal, 0},     {"$10", kNotReal, 0},    {"1 2", kNotReal, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string mml = "#tempo " + c.text;
    switch (c.kind) {
      case kOk:
        EXPECT_EQ(TempoOf(Clean(mml)), c.value);
        break;
      case kNotReal:
        ExpectError(mml, NotReal(c.text));
        break;
      case kOutOfRange:
        ExpectError(mml, Range(Sjis(u8"1～1000")));
        break;
    }
  }
  ExpectError("#tempo", NotReal(""));
  ExpectError("#tempo 120 // fast", NotReal("120 // fast"));
}

TEST(Conversion, RealRangesPrintRoundedBoundsAndTestTheSingleValue) {
  ExpectRanges({
      {"#delay-quant 100.01", "0～100"},    {"#delay-quant -0.01", "0～100"},
      {"#delay-freq nan", "0～100"},        {"#delay-freq -inf", "0～100"},
      {"#delay-quant 0", ""},               {"#delay-freq 100", ""},
      {"#overdrive-cut 49.9", "50～100"},   {"#overdrive-cut 99.91", "50～100"},
      {"#overdrive-cut NAN", "50～100"},    {"#overdrive-cut 99.90000001", ""},
      {"#overdrive-cut 50", ""},            {"#overdrive-amp 0.09", "0～8"},
      {"#overdrive-amp 8.01", "0～8"},      {"#overdrive-amp 0.1", ""},
      {"#overdrive-amp 8", ""},             {"#overdrive-amp Inf", "0～8"},
  });
}

TEST(Conversion, StoredRealsAreSinglePrecision) {
  // 99.90000001 rounds to the bound's own single value and is stored as it.
  const Project p = Clean(
      "#overdrive-cut 99.90000001\n#overdrive-amp 0.1\n#overdrive-add\n"
      "#delay-quant 0\n#delay-freq 100\n#delay-add");
  const Chunk* over = p.Find("effeOVER");
  ASSERT_NE(over, nullptr);
  EXPECT_EQ(over->body, Le16(0) + Le16(0) + LeFloat(99.9f) + LeFloat(0.1f) + LeFloat(0.0f));
  const Chunk* delay = p.Find("effeDELA");
  ASSERT_NE(delay, nullptr);
  EXPECT_EQ(delay->body, Le16(0) + Le16(0) + LeFloat(0.0f) + LeFloat(100.0f));
  EXPECT_EQ(TempoOf(Clean("#tempo 0.1e4")), 1000.0f);
  EXPECT_EQ(TempoOf(Clean("#tempo 123.456789")), 123.456789f);
}

// Without a range test a real is stored as read, not-a-number and infinity
// included; the tuning factor of a noise voice shows it.
TEST(Conversion, UncheckedRealsAreStoredAsRead) {
  TempDir dir;
  const std::string noise = dir / "n.ptnoise";
  WriteFileBytes(noise, "PTNOISE-" + Le32(20120418) + "abc");
  struct Case {
    std::string text;
    float value;  // NAN for not-a-number
  };
  const std::vector<Case> cases = {
      {"nan", NAN}, {"-Inf", -INFINITY}, {"1e39", INFINITY}, {"-2.5", -2.5f}, {"0", 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Project p = Clean("#voice-correct " + c.text + "\n#voice " + noise);
    const Chunk* voice = p.Find("matePTN ");
    ASSERT_NE(voice, nullptr);
    const float stored = FloatAt(voice->body, 8);
    if (std::isnan(c.value))
      EXPECT_TRUE(std::isnan(stored)) << stored;
    else
      EXPECT_EQ(stored, c.value);
  }
  ExpectError("#voice-correct 1,0", NotReal("1,0"));
  ExpectError("#voice-correct .", NotReal("."));
}

}  // namespace
