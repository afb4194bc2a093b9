// The byte cursor over the MML text, and the pieces of the scanner that
// need no compile state.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output_name.h"

// Reads the caller's text in place, one byte at a time with a one-byte step
// back. It counts every byte it yields, a byte read again after a step back
// or a jump included, so that text re-read by repeats cannot make a compile
// run without end: past kYieldLimit bytes it raises the expansion error.
class SourceReader {
 public:
  static constexpr uint64_t kYieldLimit = 268435456;  // 2^28 bytes

  SourceReader(const char* text, size_t size)
      : Data(reinterpret_cast<const uint8_t*>(text)), Size(size), BudgetEnd(kYieldLimit) {
    Stop = std::min<uint64_t>(Size, BudgetEnd);
  }

  bool ReadChar(uint8_t& c) {
    if (!Peek(c)) return false;
    ++Pos;
    return true;
  }
  // The next byte, without taking it: a reader looks before it takes, and
  // what it leaves is neither taken nor counted. False at the end.
  bool Peek(uint8_t& c) const {
    if (Pos >= Stop) {  // the end of the text, or of the budget
      if (Pos >= Size) return false;
      ThrowExpansionLimit();
    }
    c = Data[Pos];
    return true;
  }
  // Takes the byte that Peek just showed.
  void Skip() { ++Pos; }
  // The stepped-back byte will be yielded again, so it costs budget again.
  void UnreadChar() {
    if (Pos == 0) return;
    --Pos;
    Restop(BudgetEnd - 1);
  }
  size_t Position() const { return Pos; }
  void SeekTo(size_t position) {
    if (position > Size) position = Size;
    const uint64_t left = BudgetEnd - Pos;
    Pos = position;
    Restop(Pos + left);
  }

 private:
  [[noreturn]] static void ThrowExpansionLimit();
  void Restop(uint64_t budgetEnd) {
    BudgetEnd = budgetEnd;
    Stop = std::min<uint64_t>(Size, BudgetEnd);
  }

  const uint8_t* Data;
  size_t Size;
  size_t Pos = 0;
  uint64_t BudgetEnd;  // the position at which the budget runs out
  uint64_t Stop;       // min(Size, BudgetEnd)
};

// Result of ReadNumber.
struct TMmlNumber {
  uint8_t Prefix = 0;  // '%' when written with a leading per cent sign
  int32_t Value = 0;
};


inline bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Cuts text at every occurrence of delimiter; pieces are not trimmed.
std::vector<std::string> SplitText(const std::string& text, const std::string& delimiter);
