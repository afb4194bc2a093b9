// Small byte-text helpers shared by the directive reader, the configuration
// and value conversion. Texts are code page 932 bytes; only ASCII letters fold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Whether a and b are equal when ASCII letters are compared without case.
inline bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The text without the bytes 0x00 to 0x20 at either end.
inline std::string TrimControls(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= 0x20) --e;
  return std::string(s.substr(b, e - b));
}
