// The scanner seen through a compile: line counting, comments, stray
// numbers and bytes without meaning, and the line of the first error.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support.h"

using namespace qt;

namespace {

using Lines = std::vector<std::string>;


std::string Quoted(const std::string& bytes) {
  std::string q(1, '"');
  q += bytes;
  q += '"';
  return q;
}
std::string Hint(const std::string& message, int line) {
  return Sjis(u8"[ヒント] ") + message + " (" + std::to_string(line) + Sjis(u8"行目)");
}
std::string Error(const std::string& message, int line) {
  return Sjis(u8"[エラー] ") + message + " (" + std::to_string(line) + Sjis(u8"行目)");
}
std::string Cannot(const std::string& bytes, int line) {
  return Hint(Quoted(bytes) + Sjis(u8" を解釈できません。"), line);
}
std::string Skipped(const std::string& bytes, int line) {
  return Hint(Quoted(bytes) + Sjis(u8" をスキップします。"), line);
}
std::string Stray(int32_t value, int line) {
  return Hint(Sjis(u8"突然の \"") + std::to_string(value) + Sjis(u8"\" です。"), line);
}
std::string StrayList(int32_t first, int line) {
  return Hint(Quoted(std::to_string(first)) +
                  Sjis(u8" から始まる数列がありますが、ここでは意味を持たないのでスキップします。"),
              line);
}
std::string OpenComment(int line) { return Hint(Sjis(u8"複数行コメントのネストがまだ残っています。"), line); }

std::string Replace(std::string text, char from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, 1, to);
  return text;
}

struct Case {
  std::string mml;
  Lines expected;
};

// Compiles each case with every suppressible line left out; all succeed.
void ExpectHints(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.mml));
    const Outcome o = Compile(c.mml);
    EXPECT_EQ(o.result, crOk);
    EXPECT_TRUE(o.written);
    EXPECT_EQ(o.lines, c.expected);
  }
}

TEST(Scanner, EveryKindOfLineEndCountsOneLine) {
  // '$' stands for the line end under test.
  const std::string source =
      "!$"                // 1
      "  7 c$"            // 2
      "// comment ! 1$"   // 3
      "1,2,3 c$"          // 4
      "/* comment$"       // 5
      "6 ! $"             // 6
      "*/ 12+3 c$"        // 7
      "\x82\xA0 r$"       // 8: a double-byte character
      "\t|$"              // 9
      "$"                 // 10
      "/* *$"             // 11: the star closes with the slash on the next line
      "/ ?$"              // 12
      "~";                // 13, without a line end
  const Lines expected = {Cannot("!", 1), Stray(7, 2), StrayList(1, 4),      Stray(15, 7),
                          Skipped("\x82\xA0", 8), Cannot("?", 12), Cannot("~", 13)};
  for (const std::string eol : {"\r\n", "\r", "\n"}) {
    SCOPED_TRACE(testing::PrintToString(eol));
    ExpectHints({{Replace(source, '$', eol), expected}});
  }
  // Mixed line ends in one source.
  ExpectHints({{"!\r!\r\n!\n!\n\r!", {Cannot("!", 1), Cannot("!", 2), Cannot("!", 3), Cannot("!", 4),
                                     Cannot("!", 6)}}});
}

TEST(Scanner, StrayNumbers) {
  ExpectHints({
      {"7", {Stray(7, 1)}},
      {"3,4", {StrayList(3, 1)}},
      {"1,2,3", {StrayList(1, 1)}},
      {"1 , 2", {StrayList(1, 1)}},
      {"12+3", {Stray(15, 1)}},
      {"5-8", {Stray(-3, 1)}},
      {"2^3 - 1", {Stray(4, 1)}},
      {"99999999999", {Stray(1215752191, 1)}},  // wraps in 32 bits
      {"2147483648", {Stray(INT32_MIN, 1)}},
      {"1,", {Stray(1, 1)}},
      {"4,5 6", {StrayList(4, 1), Stray(6, 1)}},
      {"%5", {Cannot("%", 1), Stray(5, 1)}},
      // An operator without a number after it ends the list with nothing read;
      // the operator is gone and the byte after it is left for the main loop.
      {"1+x", {Cannot("x", 1)}},
      // The hint reports the line where reading the number stopped.
      {"7\n!", {Stray(7, 2), Cannot("!", 2)}},
      {"7 !\n!", {Stray(7, 1), Cannot("!", 1), Cannot("!", 2)}},
  });
}

TEST(Scanner, BytesWithoutMeaning) {
  std::vector<Case> cases = {
      {"\x82\xA0", {Skipped("\x82\xA0", 1)}},
      {"\x95\x5C", {Skipped("\x95\x5C", 1)}},  // second byte is a backslash
      {"\x82" "A", {Skipped("\x82" "A", 1)}},
      {"\xE0\x40\xFC\xFC", {Skipped("\xE0\x40", 1), Skipped("\xFC\xFC", 1)}},
      {"\x9F!", {Skipped("\x9F!", 1)}},
      {"\x82", {Cannot("\x82", 1)}},          // a lead byte at the very end
      // A lead byte before a line end stands alone; the line end is counted.
      {"\x82\n!", {Cannot("\x82", 1), Cannot("!", 2)}},
      {"\x82\r!", {Cannot("\x82", 1), Cannot("!", 2)}},
      {"\x82\r\n!", {Cannot("\x82", 1), Cannot("!", 2)}},
      {"!\xFC", {Cannot("!", 1), Cannot("\xFC", 1)}},
      {"%", {Cannot("%", 1)}},                // not read as a format again
  };
  // Single bytes that no command takes, each with its own hint.
  for (const std::string b : {"A", "C", "R", "h", "x", "!", "&", "(", ")", "*", "+", ",", "-", ".", ";", "=",
                              "?", "\\", "^", "_", "{", "}", "~", "\x7F", "\x01", "\x80", "\xA0", "\xB1",
                              "\xDF", "\xFD", "\xFF"})
    cases.push_back({b + " " + b, {Cannot(b, 1), Cannot(b, 1)}});
  ExpectHints(cases);
}

TEST(Scanner, Comments) {
  ExpectHints({
      {"/* a /* b */ c */ !", {Cannot("!", 1)}},
      {"/* a */ */", {Cannot("*", 1)}},
      {"/* a */ */!?", {Cannot("*", 1), Cannot("?", 1)}},  // "/!" is dropped whole
      {"/**/!", {Cannot("!", 1)}},
      {"/*/ ! */?", {Cannot("?", 1)}},
      {"/* a *\n/ !", {Cannot("!", 2)}},
      {"/* a *\r\n/ !", {Cannot("!", 2)}},
      {"/* a *\r/ !", {Cannot("!", 2)}},
      {"/* \x81*/ !", {Cannot("!", 1)}},  // bytes are paired one by one
      {"/*\n*\n\n/\n!", {Cannot("!", 5)}},
      // Never closed: one hint with the last line's number, and the compile goes on.
      {"/* a\n b /* c */\n d", {OpenComment(3)}},
      {"/* /* */*/ !", {OpenComment(1)}},  // star slash star slash leaves one open
      {"/*", {OpenComment(1)}},
      {"/*\r", {OpenComment(2)}},
      {"! /* \r\n", {Cannot("!", 1), OpenComment(2)}},
      // Line comments.
      {"c //x", {}},
      {"//", {}},
      {"/", {}},
      {"// a ! /*\r!", {Cannot("!", 2)}},
      {"// a\r\n!", {Cannot("!", 2)}},
      {"// a\n!", {Cannot("!", 2)}},
      {"// a\r\r!", {Cannot("!", 3)}},
      // A slash before anything else drops that byte, a line end uncounted.
      {"/\n!", {Cannot("!", 1)}},
      {"/!?", {Cannot("?", 1)}},
  });
}

TEST(Scanner, FirstErrorEndsTheCompileWithItsLine) {
  const std::string notOpen = Sjis(u8"繰り返しネストがもうありません。");
  const std::string unitLimit = Sjis(u8"登録できるユニットは50個までです。");
  const std::vector<Case> cases = {
      {"c\n!\n] U50\n]", {Cannot("!", 2), Error(notOpen, 3)}},
      {"!\r\nU50 ] !", {Cannot("!", 1), Error(unitLimit, 2)}},
      {"/* a\r\r*/ U50", {Error(unitLimit, 3)}},
      {"/* a ] */ 7 // ]\n]", {Stray(7, 1), Error(notOpen, 2)}},
      // A command that read past line ends reports the line where it stopped.
      {"U\n\n50", {Error(unitLimit, 3)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.mml));
    const Outcome o = Compile(c.mml);
    EXPECT_EQ(o.result, crCompileError);
    EXPECT_FALSE(o.written);
    EXPECT_EQ(o.lines, c.expected);
  }
  // With nothing suppressed: banner, the error, then the elapsed time; no output line.
  const Outcome o = Compile("!\n]", 0);
  EXPECT_EQ(o.result, crCompileError);
  ASSERT_EQ(o.lines.size(), 7u);
  EXPECT_EQ(o.lines[4], Cannot("!", 1));
  EXPECT_EQ(o.lines[5], Error(notOpen, 2));
  EXPECT_EQ(o.lines[6].rfind(Sjis(u8"コンパイルが"), 0), 0u) << o.lines[6];
}

TEST(Scanner, FloodOfHintsIsCutOffOnce) {
  // Hints repeated without end in a repeat stop after about a megabyte, with
  // one line saying so; lines of the end of the compile still follow.
  const std::string flooded = Sjis(u8"[ヒント] ヒントとエコーが多すぎるため、以降は省略します。");
  const Outcome o = Compile("U3 c&\n[100000 x]", 11);
  EXPECT_EQ(o.result, crOk);
  ASSERT_GE(o.lines.size(), 4u);
  size_t bytes = 0;
  size_t i = 0;
  for (; i < o.lines.size() && o.lines[i] == Cannot("x", 2); ++i) bytes += o.lines[i].size() + 2;
  EXPECT_GE(bytes, 1u << 20);
  EXPECT_LT(bytes, (1u << 20) + 100);
  ASSERT_EQ(o.lines.size(), i + 3);
  EXPECT_EQ(o.lines[i], flooded);
  EXPECT_EQ(o.lines[i + 1], Sjis(u8"[ヒント] ユニット[3]のスラーが終了していません。"));
  EXPECT_NE(o.lines[i + 2].find("out.ptcop"), std::string::npos) << o.lines[i + 2];
  // The next compile logs hints again.
  EXPECT_EQ(Compile("x").lines, Lines{Cannot("x", 1)});
}

}  // namespace
