// Feeds arbitrary bytes to QuavertCompile as an MML text. The program's folder
// holds a small "voice" folder, so "#voice" lines can find real files.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "quavert.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/quavert-fuzz-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
    std::perror("quavert fuzz: output folder");
    abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A C caller's text ends at its first NUL, as this copy's does.
  const std::string text(reinterpret_cast<const char*>(data), size);
  QuavertSetErrorMessageOptions(static_cast<int32_t>(size & 15));
  const int32_t result = QuavertCompile("out.mml", text.c_str());
  if (result < 0 || result > 2) abort();
  char log[256];
  QuavertGetErrorMessage(log, sizeof log - 1);
  return 0;
}
