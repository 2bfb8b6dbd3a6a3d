// Throughput of the conversion and the listing, in memory, so that only the programs' own work is
// measured. Run: build/bench/benchmarks (configure with -DBUILD_BENCHMARKS=ON).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "converter/listing_conversion.h"
#include "lister/renderer.h"
#include "services/files.h"
#include "tests/memory_file.h"

namespace {

constexpr size_t kInputSize = 8 << 20;

// A listing of typical lines: numbers, keywords, strings and arithmetic.
const std::string& typicalListing() {
  static const std::string listing = [] {
    const char* const lines[] = {
        "print \"SCORE \",S", "if X>100 goto 200", "for A=1 to 10;next A",
        "box X,Y,20,10,1",    "X=rnd (160)-80",    "line X mul 2,Y div 2,3",
    };
    std::string text;
    for (int n = 10; text.size() < kInputSize; n += 10) {
      text += std::to_string(n) + " " + lines[n / 10 % 6] + "\r\n";
    }
    return text;
  }();
  return listing;
}

// Every byte value, with line ends now and then.
const std::string& randomDump() {
  static const std::string dump = [] {
    std::mt19937 random(1);
    std::string bytes(kInputSize, '\0');
    for (char& byte : bytes)
      byte = static_cast<char>(random() % 32 == 0 ? 13 : random() % 256);
    return bytes;
  }();
  return dump;
}

void BM_ConvertListing(benchmark::State& state) {
  const std::string& listing = typicalListing();
  for (auto _ : state) {
    MemoryFile input{listing};
    MemoryFile output;
    output.bytes.reserve(listing.size());
    attachMemoryFile(0, input, false);
    attachMemoryFile(1, output, true);
    benchmark::DoNotOptimize(convertListing());
    closeAllFiles();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listing.size()));
}
BENCHMARK(BM_ConvertListing)->Unit(benchmark::kMillisecond);

void BM_RenderDump(benchmark::State& state, ListerOptions options) {
  const std::string& dump = randomDump();
  for (auto _ : state) {
    MemoryFile input{dump};
    MemoryFile output;
    output.bytes.reserve(4 * dump.size());
    attachMemoryFile(0, input, false);
    attachMemoryFile(1, output, true);
    renderDump(options);
    closeAllFiles();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dump.size()));
}
BENCHMARK_CAPTURE(BM_RenderDump, symbols, ListerOptions{})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderDump, editable,
                  ListerOptions{.editable = true, .charNumbers = true, .viperSoft = true})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderDump, baud2000, ListerOptions{.baud2000 = true})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
