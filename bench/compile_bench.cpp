// The whole pipeline at scale: a generated song compiled to its file through
// the library's exports.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "quavert.h"
#include "song_generator.h"

namespace {

std::string OutputFolder() {
  static std::string folder = [] {
    char tmpl[] = "/tmp/quavert-bench-XXXXXX";
    return std::string(mkdtemp(tmpl) ? tmpl : "/tmp");
  }();
  return folder;
}

long EventsOfLastCompile(const std::string& path) {
  // The event count is the int32 after the "Event V5" chunk header.
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::vector<unsigned char> head(20 + 27 + 16);
  const size_t n = std::fread(head.data(), 1, head.size(), f);
  std::fclose(f);
  if (n < head.size()) return 0;
  const size_t at = 20 + 27 + 12;
  return static_cast<long>(head[at] | head[at + 1] << 8 | head[at + 2] << 16 | head[at + 3] << 24);
}

void BM_CompileSong(benchmark::State& state) {
  const std::string mml = GenerateSong(state.range(0));
  const std::string out = OutputFolder() + "/song.mml";
  QuavertSetErrorMessageOptions(15);
  for (auto _ : state) {
    if (QuavertCompile(out.c_str(), mml.c_str()) != crOk) state.SkipWithError("compile failed");
  }
  const long events = EventsOfLastCompile(OutputFolder() + "/song.ptcop");
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["events"] = static_cast<double>(events);
  state.counters["source_bytes"] = static_cast<double>(mml.size());
  state.counters["events_per_second"] =
      benchmark::Counter(static_cast<double>(events) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

BENCHMARK(BM_CompileSong)->Arg(50000)->Arg(150000)->Arg(500000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
