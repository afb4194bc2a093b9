// The four exports. Each catches everything: no exception crosses into the caller.
#include <exception>

#include "message_log.h"
#include "mml_compiler.h"
#include "quavert.h"

using quavert::MessageLog;

extern "C" {

QUAVERT_API int32_t QuavertCompile(const char* outputFileName, const char* mmlText) {
  try {
    return CompileMml(outputFileName, mmlText);
  } catch (const std::exception& e) {
    // A failure outside the compile's own handler (setup, exhausted memory).
    try {
      MessageLog::LogLine(e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      MessageLog::LogLine("unknown failure");
    } catch (...) {
    }
  }
  return crCompileError;
}

QUAVERT_API void QuavertGetErrorMessage(char* buffer, int32_t maxChars) {
  try {
    quavert::CopyToCaller(MessageLog::Text(), buffer, maxChars);
  } catch (...) {
    if (buffer != nullptr && maxChars >= 0) buffer[0] = '\0';
  }
}

QUAVERT_API void QuavertGetVersionString(char* buffer, int32_t maxChars) {
  try {
    quavert::CopyToCaller(quavert::VersionText(), buffer, maxChars);
  } catch (...) {
    if (buffer != nullptr && maxChars >= 0) buffer[0] = '\0';
  }
}

QUAVERT_API void QuavertSetErrorMessageOptions(int32_t options) {
  quavert::SetErrorMessageOptions(options);
}

}  // extern "C"
