#include <string>

#include "message_log.h"
#include "messages.h"
#include "mml_compiler.h"
#include "uException.h"
#include "wrapping.h"

using quavert::Format;

void SourceReader::ThrowExpansionLimit() {
  throw EQuavertError(Format(msg::ExpansionLimit, static_cast<int>(kYieldLimit)));
}

std::vector<std::string> SplitText(const std::string& text, const std::string& delimiter) {
  std::vector<std::string> pieces;
  if (text.empty() || delimiter.empty()) {
    if (!text.empty()) pieces.push_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(delimiter, start);
    if (at == std::string::npos) break;
    pieces.push_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

void TMmlCompiler::CountLineBreak(uint8_t c) {
  LineNo = wrap::Add(LineNo, 1);
  uint8_t next = 0;
  if (c == '\r' && Source.Peek(next) && next == '\n') Source.Skip();
}

bool TMmlCompiler::SkipBlanksSlow() {
  uint8_t c = 0;
  while (Source.Peek(c)) {
    if (c == '\t' || c == ' ') {
      Source.Skip();
    } else if (c == '\n' || c == '\r') {
      Source.Skip();
      CountLineBreak(c);
    } else {
      return true;
    }
  }
  return false;
}

bool TMmlCompiler::ReadNumberSlow(TMmlNumber& number) {
  uint8_t c = 0;
  uint8_t prefix = 0;
  if (Source.Peek(c) && c == '%') {
    prefix = '%';
    Source.Skip();
  }
  bool negative = false;
  if (Source.Peek(c) && (c == '+' || c == '-')) {
    negative = c == '-';
    Source.Skip();
  }
  if (!Source.Peek(c) || !IsDigit(c)) return false;  // "%" and sign stay taken
  int32_t value = ReadDigits();
  if (negative) value = wrap::Neg(value);
  number.Prefix = prefix;
  number.Value = value;
  return true;
}

bool TMmlCompiler::ReadExpression(int32_t& result, bool asLength, int32_t defaultLength,
                                  int32_t timebase) {
  int32_t sum = 0;
  int32_t count = 0;
  bool subtract = false;
  uint8_t c = 0;
  while (SkipBlanks()) {
    TMmlNumber number;
    const bool read = ReadNumber(number);
    if (read) ++count;
    int32_t term;
    if (!asLength) {
      if (!read) return false;
      term = number.Value;
    } else {
      if (number.Value == 0)
        term = defaultLength;
      else if (number.Prefix != '%')
        term = wrap::Div(wrap::Mul(timebase, 4), number.Value);
      else
        term = number.Value;
      int32_t half = term;
      while (Source.Peek(c) && c == '.') {
        Source.Skip();
        half /= 2;
        term = wrap::Add(term, half);
        ++count;
      }
    }
    sum = subtract ? wrap::Sub(sum, term) : wrap::Add(sum, term);
    if (!SkipBlanks()) break;
    Source.Peek(c);
    if (c != '+' && c != '^' && c != '-') break;
    Source.Skip();
    subtract = c == '-';
  }
  if (count == 0) return false;
  result = sum;
  return true;
}

bool TMmlCompiler::ReadLength(int32_t& result, int32_t defaultLength, int32_t timebase) {
  return ReadExpression(result, true, defaultLength, timebase);
}

bool TMmlCompiler::ReadNumberList() {
  NumberList.Clear();
  int32_t value;
  uint8_t c = 0;
  while (ReadExpression(value, false, 0, 0)) {
    NumberList.Add(value);
    if (!Source.Peek(c) || c != ',') break;
    Source.Skip();
  }
  return NumberList.Count() > 0;
}

void TMmlCompiler::SkipBlockComment() {
  enum Class { kOther, kStar, kSlash };
  Class previous = kOther;
  uint8_t c = 0;
  while (CommentDepth > 0 && Source.ReadChar(c)) {
    Class current;
    if (c == '\n' || c == '\r') {
      CountLineBreak(c);
      current = previous;  // line breaks are transparent to the pairing
    } else {
      current = c == '*' ? kStar : c == '/' ? kSlash : kOther;
    }
    if (previous == kStar && current == kSlash)
      --CommentDepth;
    else if (previous == kSlash && current == kStar)
      ++CommentDepth;
    previous = current;
  }
}

void TMmlCompiler::CommentCommand() {
  uint8_t c = 0;
  if (!Source.ReadChar(c)) return;
  if (c == '/') {
    while (Source.ReadChar(c)) {
      if (c == '\n' || c == '\r') {
        CountLineBreak(c);
        break;
      }
    }
  } else if (c == '*') {
    ++CommentDepth;
    SkipBlockComment();
    if (CommentDepth > 0) LogHint(true, "%s", msg::CommentNotClosed);
  }
  // any other byte is dropped together with the '/'
}

void TMmlCompiler::DefaultBranch(uint8_t c) {
  switch (c) {
    case '\t':
    case ' ':
    case '|':
      return;
    case '\n':
    case '\r':
      CountLineBreak(c);
      return;
    default:
      break;
  }
  if (IsDigit(c)) {
    Source.UnreadChar();
    ReadNumberList();
    if (NumberList.Count() >= 2)
      LogHint(true, msg::StrayNumberList, NumberList.Items(0));
    else if (NumberList.Count() == 1)
      LogHint(true, msg::StrayNumber, NumberList.Items(0));
    NumberList.Clear();
    return;
  }
  uint8_t second = 0;
  if (IsLeadByte(c) && Source.ReadChar(second)) {
    // A line end is never the second half of a character: taking it would
    // lose the line from the count and put a line break into the hint.
    if (second != '\n' && second != '\r') {
      const char text[3] = {static_cast<char>(c), static_cast<char>(second), '\0'};
      LogHint(true, msg::SkipDoubleByte, text);
      return;
    }
    Source.UnreadChar();
  }
  const char text[2] = {static_cast<char>(c), '\0'};
  LogHint(true, msg::CannotInterpret, text);
}
