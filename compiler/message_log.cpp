#include "message_log.h"

#include <cstdio>
#include <cstring>

#include "messages.h"

#ifndef QUAVERT_VERSION_MAJOR
#define QUAVERT_VERSION_MAJOR 0
#define QUAVERT_VERSION_MINOR 9
#define QUAVERT_VERSION_RELEASE 6
#endif

namespace quavert {

namespace {
std::vector<std::string> gLog;
size_t gRepeatableBytes = 0;  // hints and echoes of this compile
bool gFloodNoted = false;

// Appends a hint or echo while the budget lasts.
void LogRepeatable(std::string text) {
  if (gRepeatableBytes >= MessageLog::RepeatableLimit) {
    if (!gFloodNoted) {
      gFloodNoted = true;
      gLog.push_back(Format(msg::HintNoLine, msg::LogFlooded));
    }
    return;
  }
  gRepeatableBytes += text.size() + 2;
  gLog.push_back(std::move(text));
}
int32_t gOptions = 0;
std::string gVersionText;
}  // namespace

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

void MessageLog::Clear() {
  gLog.clear();
  gRepeatableBytes = 0;
  gFloodNoted = false;
}

bool MessageLog::Accepts() { return gRepeatableBytes < RepeatableLimit || !gFloodNoted; }

void MessageLog::LogEcho(const std::string& text) { LogRepeatable(text); }

void MessageLog::LogLine(const std::string& text) { gLog.push_back(text); }

void MessageLog::LogFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  gLog.push_back(FormatV(format, args));
  va_end(args);
}

void MessageLog::LogHint(const std::string& message, bool withLine, int32_t lineNo) {
  if (withLine)
    LogRepeatable(Format(msg::HintWithLine, message.c_str(), lineNo));
  else
    LogRepeatable(Format(msg::HintNoLine, message.c_str()));
}

const std::vector<std::string>& MessageLog::Lines() { return gLog; }

std::string MessageLog::Text() {
  size_t size = 0;
  for (const auto& line : gLog) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : gLog) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void SetErrorMessageOptions(int32_t options) { gOptions = options; }
bool OptionSet(int32_t bit) { return (gOptions & bit) != 0; }

const std::string& VersionText() {
  // No version resource in library files here: the numbers are build constants.
  if (gVersionText.empty())
    gVersionText = Format("%d.%d.%d", QUAVERT_VERSION_MAJOR, QUAVERT_VERSION_MINOR,
                          QUAVERT_VERSION_RELEASE);
  return gVersionText;
}

void CopyToCaller(const std::string& text, char* buffer, int32_t maxChars) {
  if (buffer == nullptr || maxChars < 0) return;
  // The text never holds a NUL, so copying stops at its end or at maxChars.
  const size_t n = std::min(text.size(), static_cast<size_t>(maxChars));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace quavert
