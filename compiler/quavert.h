/* quavert: compiles MML text into pxtone Collage project files (.ptcop).
 *
 * All texts are NUL-terminated byte strings in code page 932 (Shift_JIS).
 * The library keeps one process-wide message log; calls must not overlap. */
#ifndef QUAVERT_H
#define QUAVERT_H

#include <stdint.h>

#if defined(_WIN32)
#define QUAVERT_API __declspec(dllexport)
#else
#define QUAVERT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Results of QuavertCompile. */
enum {
  crOk = 0,           /* compiled and written */
  crCompileError = 1, /* the source or the build raised an error; no file written */
  crSaveError = 2     /* built, but the file could not be written */
};

/* Bits of QuavertSetErrorMessageOptions: each set bit suppresses one kind of log line. */
enum {
  emoSuppressBanner = 1,
  emoSuppressDirectiveEcho = 2,
  emoSuppressOutputNotice = 4,
  emoSuppressElapsedTime = 8
};

/* Compiles mmlText into outputFileName with its extension replaced by ".ptcop".
 * A null mmlText is an empty source; a null outputFileName an empty name. */
QUAVERT_API int32_t QuavertCompile(const char* outputFileName, const char* mmlText);

/* Copy the message log (lines ended by CR LF) / the version text into buffer:
 * at most maxChars bytes of text, then a NUL, so buffer needs maxChars + 1 bytes.
 * A null buffer or a negative maxChars writes nothing. */
QUAVERT_API void QuavertGetErrorMessage(char* buffer, int32_t maxChars);
QUAVERT_API void QuavertGetVersionString(char* buffer, int32_t maxChars);

/* Stores the option bits for every later compile. */
QUAVERT_API void QuavertSetErrorMessageOptions(int32_t options);

#ifdef __cplusplus
}
#endif

#endif
