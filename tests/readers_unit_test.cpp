// The scanner's readers on a compile built over a text: what each reads,
// where it leaves the read position and how it counts lines.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "mml_compiler.h"
#include "scanner.h"

namespace {

// A compile over a text; the text must outlive the reader over it.
struct Over {
  explicit Over(std::string t) : text(std::move(t)), c("out.mml", text.c_str(), 0) {}
  // What is left to read.
  std::string Rest() const { return text.substr(c.Source.Position()); }
  std::string text;
  TMmlCompiler c;
};

TEST(Readers, SourceReaderStepsOneByte) {
  Over o("ab");
  uint8_t b = 0;
  ASSERT_TRUE(o.c.Source.ReadChar(b));
  EXPECT_EQ(b, 'a');
  o.c.Source.UnreadChar();
  EXPECT_EQ(o.c.Source.Position(), 0u);
  o.c.Source.SeekTo(2);
  EXPECT_FALSE(o.c.Source.ReadChar(b));
  EXPECT_EQ(o.c.Source.Position(), 2u);
  EXPECT_EQ(b, 'a');
}

TEST(Readers, SkipBlanks) {
  struct Case {
    std::string text;
    bool more;
    int32_t line;
    std::string rest;
  };
  const Case cases[] = {
      {" \r\r\n\n\t x", true, 4, "x"},  // CR, CR LF and LF: one line each
      {"\n\r", false, 3, ""},
      {"  \r", false, 2, ""},
      {"\t\t", false, 1, ""},
      {"", false, 1, ""},
      {"x ", true, 1, "x "},
      {"|", true, 1, "|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    Over o(c.text);
    EXPECT_EQ(o.c.SkipBlanks(), c.more);
    EXPECT_EQ(o.c.LineNo, c.line);
    EXPECT_EQ(o.Rest(), c.rest);
  }
}

TEST(Readers, ReadNumber) {
  struct Case {
    std::string text;
    bool ok;
    uint8_t prefix;
    int32_t value;
    std::string rest;
  };
  const Case cases[] = {
      {"5", true, 0, 5, ""},
      {" \n 42c", true, 0, 42, "c"},
      {"%5", true, '%', 5, ""},
      {"%+7,", true, '%', 7, ","},
      {"-12", true, 0, -12, ""},
      {"%-3", true, '%', -3, ""},
      {"007", true, 0, 7, ""},
      {"99999999999", true, 0, 1215752191, ""},  // eleven nines wrap in 32 bits
      {"-99999999999", true, 0, -1215752191, ""},
      {"2147483648", true, 0, INT_MIN, ""},
      {"4294967297", true, 0, 1, ""},
      // Without digits nothing is read, but a "%" or sign is consumed.
      {"-c", false, 0, 0, "c"},
      {"%c", false, 0, 0, "c"},
      {"%", false, 0, 0, ""},
      {"+", false, 0, 0, ""},
      {"% 5", false, 0, 0, " 5"},  // no blanks inside a number
      {"- 5", false, 0, 0, " 5"},
      {"c", false, 0, 0, "c"},
      {"", false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    Over o(c.text);
    TMmlNumber n;
    n.Prefix = 'z';
    n.Value = 77;
    EXPECT_EQ(o.c.ReadNumber(n), c.ok);
    EXPECT_EQ(n.Prefix, c.ok ? c.prefix : 'z');  // untouched on failure
    EXPECT_EQ(n.Value, c.ok ? c.value : 77);
    EXPECT_EQ(o.Rest(), c.rest);
  }
}

struct ExprCase {
  std::string text;
  bool ok;
  int32_t value;
  std::string rest;
  int32_t line = 1;
};

TEST(Readers, ReadExpressionPlain) {
  const ExprCase cases[] = {
      {"12+3", true, 15, ""},
      {"10-3-2", true, 5, ""},  // the operator holds for its own term only
      {"10-3+2", true, 9, ""},
      {"3^2", true, 5, ""},
      {"%5", true, 5, ""},
      {"-5+-5", true, -10, ""},
      {"2147483647+1", true, INT_MIN, ""},
      {"99999999999", true, 1215752191, ""},
      {"1 2", true, 1, "2"},
      {"4.", true, 4, "."},  // dots belong to lengths
      {"7,8", true, 7, ",8"},
      {" \n\r\n 7", true, 7, "", 3},
      {"1\n+\r2\n", true, 3, "", 4},  // the blanks after the last term are read too
      // A failed term fails the whole expression, even after good terms.
      {"1+x", false, 0, "x"},
      {"1+", true, 1, ""},  // an operator at the end adds nothing
      {"-x", false, 0, "x"},
      {"%", false, 0, ""},
      {"x", false, 0, "x"},
      {"", false, 0, ""},
  };
  for (const ExprCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    Over o(c.text);
    int32_t result = 12345;
    EXPECT_EQ(o.c.ReadExpression(result, false, 999, 999), c.ok);
    EXPECT_EQ(result, c.ok ? c.value : 12345);
    EXPECT_EQ(o.Rest(), c.rest);
    EXPECT_EQ(o.c.LineNo, c.line);
  }
}

TEST(Readers, ReadLength) {
  struct Case {
    ExprCase e;
    int32_t timebase = 480, defaultLength = 480;
  };
  const Case cases[] = {
      {{"4", true, 480, ""}},
      {{"8.", true, 360, ""}},
      {{"4^8", true, 720, ""}},
      {{"4-16", true, 360, ""}},
      {{"%100", true, 100, ""}},
      {{"2+%10", true, 970, ""}},
      {{"4..", true, 840, ""}},
      {{"0", true, 480, ""}},
      {{"%0", true, 480, ""}},
      {{"3", true, 640, ""}},
      {{"8..", true, 420, ""}},
      {{"%3..", true, 4, ""}},  // halves truncate
      {{"-7", true, -274, ""}},  // division truncates toward zero
      {{".", true, 720, ""}},  // a lone dot counts: default plus half
      {{"..", true, 840, ""}},
      {{"8c", true, 240, "c"}},
      {{"4 .", true, 480, "."}},  // dots follow the number directly
      {{"4. 8", true, 720, "8"}},
      {{"4+c", true, 960, "c"}},  // a term without number is the default length
      {{"4+", true, 480, ""}},
      {{"4 ^\n 8 c", true, 720, "c", 2}},  // terms split over two lines
      {{"4\r\n^8", true, 720, "", 2}},
      {{"4\r^\r8", true, 720, "", 3}},
      // No number and no dot: nothing read, the caller's default applies.
      {{"c", false, 0, "c"}},
      {{"", false, 0, ""}},
      {{" \n ", false, 0, "", 2}},
      {{"-c", false, 0, "c"}},  // the "-" is lost
      {{"%c", false, 0, "c"}},
      // Another timebase and default length.
      {{"8", true, 48, ""}, 96, 24},
      {{"7", true, 54, ""}, 96, 24},
      {{"0", true, 24, ""}, 96, 24},
      {{".", true, 36, ""}, 96, 24},
      {{"%10.", true, 15, ""}, 96, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.e.text) + " timebase " + std::to_string(c.timebase));
    Over o(c.e.text);
    int32_t result = 12345;
    EXPECT_EQ(o.c.ReadLength(result, c.defaultLength, c.timebase), c.e.ok);
    EXPECT_EQ(result, c.e.ok ? c.e.value : 12345);
    EXPECT_EQ(o.Rest(), c.e.rest);
    EXPECT_EQ(o.c.LineNo, c.e.line);
  }
}

TEST(Readers, ReadNumberList) {
  struct Case {
    std::string text;
    std::vector<int32_t> values;
    std::string rest;
  };
  const Case cases[] = {
      {"1,2,3", {1, 2, 3}, ""},
      {"1 , 2 ,3 c", {1, 2, 3}, "c"},
      {"5-1,2+2", {4, 4}, ""},
      {"1,x", {1}, "x"},  // the comma is consumed
      {"1,", {1}, ""},
      {"1,,2", {1}, ",2"},
      {"1;2", {1}, ";2"},
      {"x", {}, "x"},
      {"", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    Over o(c.text);
    EXPECT_EQ(o.c.ReadNumberList(), !c.values.empty());
    EXPECT_EQ(o.c.NumberList.Values, c.values);
    EXPECT_EQ(o.Rest(), c.rest);
  }
  // Each call starts a new list.
  Over o("1,2 3");
  ASSERT_TRUE(o.c.ReadNumberList());
  ASSERT_TRUE(o.c.ReadNumberList());
  EXPECT_EQ(o.c.NumberList.Values, std::vector<int32_t>{3});
  EXPECT_FALSE(o.c.ReadNumberList());
  EXPECT_EQ(o.c.NumberList.Count(), 0u);
}

TEST(Readers, SplitText) {
  struct Case {
    std::string text;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"a>b", {"a", "b"}},
      {"a>", {"a", ""}},
      {"a>>b", {"a", "", "b"}},
      {">", {"", ""}},
      {"", {}},
      {"abc", {"abc"}},
      {" a > b ", {" a ", " b "}},  // pieces are not trimmed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitText(c.text, ">"), c.pieces);
  }
  EXPECT_EQ(SplitText("a::b:c", "::"), (std::vector<std::string>{"a", "b:c"}));
}

}  // namespace
