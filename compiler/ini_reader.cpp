#include "ini_reader.h"

#include <cstddef>

#include "text.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::string ReadIniValue(const std::string& content, const std::string& section,
                         const std::string& key) {
  bool inSection = false;
  size_t pos = 0;
  // A UTF-8 byte order mark written by some editors is not part of the first line.
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  while (pos < content.size()) {
    size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = content.size();
    const std::string line = Trim(content.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      inSection = close != std::string::npos && SameNoCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos || !SameNoCase(Trim(line.substr(0, eq)), key)) continue;
    std::string value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}
