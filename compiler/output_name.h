// The output name rule, shared by the library and the console program.
#pragma once

#include <cstdint>
#include <string>

// Bytes that open a double-byte character of code page 932.
inline bool IsLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The name with its extension replaced by ".ptcop". The last point, backslash,
// slash or colon decides: a point cuts the name unless it starts a file name
// (".mml", "dir/.mml"). Whole characters are walked, so the second byte of a
// double-byte character is never taken for a backslash.
inline std::string ApplyOutputExtension(const std::string& name) {
  size_t last = std::string::npos;
  bool pointStartsName = false;
  uint8_t previous = 0;  // previous character when single-byte, else 0
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(name[i]);
    if (IsLeadByte(c) && i + 1 < name.size()) {
      ++i;
      previous = 0;
      continue;
    }
    if (c == '.' || c == '\\' || c == '/' || c == ':') {
      last = i;
      pointStartsName = i == 0 || previous == '\\' || previous == '/';
    }
    previous = c;
  }
  std::string result = name;
  if (last != std::string::npos && name[last] == '.' && !pointStartsName) result.resize(last);
  return result + ".ptcop";
}
