// make_song EVENTS FILE: writes a generated song of about EVENTS events.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "song_generator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_song EVENTS FILE\n");
    return 1;
  }
  const std::string mml = GenerateSong(std::atol(argv[1]));
  FILE* f = std::fopen(argv[2], "wb");
  if (!f || std::fwrite(mml.data(), 1, mml.size(), f) != mml.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
