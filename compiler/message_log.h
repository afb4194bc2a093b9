// The process-wide message log, the option word and the version text.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace quavert {

// printf-style formatting into a byte string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

class MessageLog {
 public:
  static void Clear();
  static void LogLine(const std::string& text);
  static void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // "[ヒント] %s (%d行目)" with the line, or "[ヒント] %s" without it.
  static void LogHint(const std::string& message, bool withLine, int32_t lineNo);
  // A directive's echo line.
  static void LogEcho(const std::string& text);
  // Hints and echoes can repeat without end inside repeats, so the log takes
  // at most RepeatableLimit bytes of them in one compile and then says once
  // that it takes no more. Callers test Accepts() before formatting one.
  static constexpr size_t RepeatableLimit = 1 << 20;
  static bool Accepts();
  static const std::vector<std::string>& Lines();
  // The lines in order, each followed by CR LF.
  static std::string Text();
};

void SetErrorMessageOptions(int32_t options);
bool OptionSet(int32_t bit);

const std::string& VersionText();

// Copies text into buffer: at most maxChars bytes, then a NUL.
void CopyToCaller(const std::string& text, char* buffer, int32_t maxChars);

}  // namespace quavert
