// Feeds arbitrary bytes to the voice embedding as the content of a voice file.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "quavert.h"

namespace {
std::string gVoicePath;
std::string gSource;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/quavert-fuzz-voice-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
    std::perror("quavert fuzz: work folder");
    abort();
  }
  gVoicePath = std::string(folder) + "/voice.bin";
  // Voice 1 is the fuzzed file; voice 0 stays the built-in one.
  gSource = "#voice-basekey 60\n#voice@1 " + gVoicePath + "\n@1 c d e\n";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(gVoicePath.c_str(), "wb");
  if (f == nullptr) abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) abort();
  std::fclose(f);
  QuavertSetErrorMessageOptions(15);
  const int32_t result = QuavertCompile("out.mml", gSource.c_str());
  if (result != 0 && result != 1) abort();
  return 0;
}
