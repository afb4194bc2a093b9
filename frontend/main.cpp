// quavert: compiles one MML file into a pxtone Collage project beside it and
// prints the compiler's message log.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "messages.h"
#include "output_name.h"
#include "quavert.h"

namespace {

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

std::string FormatText(const char* format, const std::string& argument) {
  std::vector<char> buffer(std::strlen(format) + argument.size() + 1);
  std::snprintf(buffer.data(), buffer.size(), format, argument.c_str());
  return buffer.data();
}

bool ReadFile(const std::string& name, std::string& out) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, n);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// Lines re-joined with CR LF, the last one included; a NUL ends the text.
std::string JoinLines(const std::string& data) {
  std::string text;
  text.reserve(data.size() + data.size() / 16 + 2);
  const size_t end = std::min(data.size(), data.find('\0'));
  size_t i = 0;
  while (i < end) {
    const size_t lineEnd = std::min(end, data.find_first_of("\r\n", i));
    text.append(data, i, lineEnd - i);
    text += "\r\n";
    i = lineEnd;
    if (i < end) i += (data[i] == '\r' && i + 1 < end && data[i + 1] == '\n') ? 2 : 1;
  }
  return text;
}

// The whole log, asking again with a larger buffer while the copy fills it.
std::string FetchLog() {
  std::vector<char> buffer(1024);
  for (;;) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    QuavertGetErrorMessage(buffer.data(), static_cast<int32_t>(buffer.size() - 1));
    const size_t length = std::strlen(buffer.data());
    if (length < buffer.size() - 1 || buffer.size() > (1u << 30)) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

// Reads, compiles and prints; returns the exit status.
int CompileFile(const std::string& fileName, bool wait) {
  std::string data;
  if (!ReadFile(fileName, data)) {
    PrintLine(std::string(msg::ErrorPrefix) + FormatText(msg::CannotOpenFile, fileName));
    return 1;
  }
  const int32_t result = QuavertCompile(ApplyOutputExtension(fileName).c_str(), JoinLines(data).c_str());
  PrintLine(FetchLog());
  if (wait && result != crOk) {
    PrintLine(msg::PressEnter);
    std::fflush(stdout);
    char line[256];
    // A closed standard input ends the wait at once.
    while (std::fgets(line, sizeof line, stdin) != nullptr && std::strchr(line, '\n') == nullptr) {
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    PrintLine(msg::UsageTitle);
    PrintLine(msg::UsageCommand);
    PrintLine(msg::UsageWait);
    return 1;
  }
  bool wait = false;
  std::string fileName;
  const std::string first = argv[1];
  if (!first.empty() && first[0] == '-') {
    fileName = argc == 3 ? argv[2] : "";
    if (first.size() >= 2) {
      if (first[1] != 's') {
        PrintLine(FormatText(msg::UnknownOption, first.substr(1, 1)));
        return 1;
      }
      wait = true;
    }
  } else {
    fileName = first;
  }

  try {
    return CompileFile(fileName, wait);
  } catch (const std::exception& e) {
    // Out of memory for a huge file, say: reported like an unreadable file.
    PrintLine(std::string(msg::ErrorPrefix) + e.what());
    return 1;
  }
}
