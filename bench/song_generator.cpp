#include "song_generator.h"

#include <cstdio>

namespace {

// One pass of a unit's repeat body: 14 notes giving 37 events (two of them
// in slur chains) plus 3 control events, 40 events in all.
const char* const kBody =
    "c8 d8 e8^16 f16 g4 a8& b8 > c4 < b8&b8 a4. g8 r8 e-8 f+8 v+ P64 V100 @1\n";
constexpr long kEventsPerPass = 40;

}  // namespace

std::string GenerateSong(long events) {
  std::string mml =
      "#title Benchmark\n#tempo 150\n#timebase 480\n#beat 4\n#vadd 4\n"
      "#comment generated\n// a large song\n";
  const int units = 50;
  const long passes = events / kEventsPerPass / units;
  for (int u = 0; u < units; ++u) {
    char head[96];
    std::snprintf(head, sizeof head, "U%d o%d l8 v96 q85 t%d\n[%ld ", u, 3 + u % 3, u % 5, passes);
    mml += head;
    mml += kBody;
    mml += "]\n";
  }
  return mml;
}
