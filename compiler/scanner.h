// The byte cursor over the MML text, and the pieces of the scanner that
// need no compile state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "output_name.h"

// Reads the caller's text in place, one byte at a time with a one-byte step
// back. It counts every byte it yields, so that text re-read by repeats
// cannot make a compile run without end.
class SourceReader {
 public:
  static constexpr uint64_t kYieldLimit = 268435456;  // 2^28 bytes

  SourceReader(const char* text, size_t size)
      : Data(reinterpret_cast<const uint8_t*>(text)), Size(size) {}

  bool ReadChar(uint8_t& c) {
    if (Pos >= Size) return false;
    if (++Yielded > kYieldLimit) ThrowExpansionLimit();
    c = Data[Pos++];
    return true;
  }
  void UnreadChar() {
    if (Pos > 0) --Pos;
  }
  size_t Position() const { return Pos; }
  void SeekTo(size_t position) { Pos = position <= Size ? position : Size; }

 private:
  [[noreturn]] static void ThrowExpansionLimit();

  const uint8_t* Data;
  size_t Size;
  size_t Pos = 0;
  uint64_t Yielded = 0;
};

// Result of ReadNumber.
struct TMmlNumber {
  uint8_t Prefix = 0;  // '%' when written with a leading per cent sign
  int32_t Value = 0;
};


inline bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Cuts text at every occurrence of delimiter; pieces are not trimmed.
std::vector<std::string> SplitText(const std::string& text, const std::string& delimiter);
