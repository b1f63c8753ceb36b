// Speed of the checksum: CrcOfText on a text of 16 Mi characters against
// zlib's crc32 on the same 16 MiB as bytes, plus each engine and conversion
// on its own. After the runs the ratios zlib time / CrcOfText time are
// printed, by processor time and by wall-clock time (above 1 means
// CrcOfText is the faster); on a busy machine the processor time is the
// steadier of the two.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crc/crc.h"
#include "crc/crc_engines.h"

namespace comvorlix {
namespace {

constexpr size_t kSize = size_t{16} << 20;

// A configuration listing: ASCII lines ending in CR LF.
const Text& ListingText() {
  static const Text text = [] {
    std::mt19937 rng(1);
    std::string s;
    s.reserve(kSize + 200);
    for (int i = 0; s.size() < kSize; ++i) {
      s += "interface GigabitEthernet1/0/" + std::to_string(i % 48 + 1) + "\r\n";
      s += " description uplink " + std::to_string(rng() % 100000) + "\r\n";
      s += " switchport access vlan " + std::to_string(rng() % 4094 + 1) + "\r\n";
      s += " spanning-tree portfast\r\n!\r\n";
    }
    s.resize(kSize);
    return FromAnsi(s);
  }();
  return text;
}

// The same with a character outside ASCII and Latin-1 (euro sign, Cyrillic)
// about every hundred characters, which the conversion must look up.
const Text& MixedText() {
  static const Text text = [] {
    Text t = ListingText();
    std::mt19937 rng(2);
    for (size_t i = 0; i < t.size(); i += 1 + rng() % 200) t[i] = rng() % 2 ? u'\u20AC' : u'\u0416';
    return t;
  }();
  return text;
}

const std::string& Bytes(const Text& text) {
  static std::map<const Text*, std::string> cache;
  auto it = cache.find(&text);
  if (it == cache.end()) it = cache.emplace(&text, ToAnsi(text)).first;
  return it->second;
}

void BM_CrcOfText(benchmark::State& state) {
  const Text& text = ListingText();
  for (auto _ : state) benchmark::DoNotOptimize(CrcOfText(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_ZlibCrc32(benchmark::State& state) {
  const std::string& bytes = Bytes(ListingText());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void BM_CrcOfTextMixed(benchmark::State& state) {
  const Text& text = MixedText();
  for (auto _ : state) benchmark::DoNotOptimize(CrcOfText(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_ZlibCrc32Mixed(benchmark::State& state) {
  const std::string& bytes = Bytes(MixedText());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

// Engines on bytes (argument: the engine).
void BM_Engine(benchmark::State& state) {
  auto engine = static_cast<crc_engines::Engine>(state.range(0));
  if (!crc_engines::Available(engine)) {
    state.SkipWithError("engine not supported on this processor");
    return;
  }
  const std::string& bytes = Bytes(ListingText());
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  for (auto _ : state) benchmark::DoNotOptimize(crc_engines::Update(engine, 0xFFFFFFFF, data, bytes.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

// Conversions of characters to bytes (argument: the converter).
void BM_Converter(benchmark::State& state) {
  auto converter = static_cast<crc_engines::Converter>(state.range(0));
  if (!crc_engines::Available(converter)) {
    state.SkipWithError("conversion not supported on this processor");
    return;
  }
  const Text& text = ListingText();
  std::vector<uint8_t> out(text.size());
  for (auto _ : state) {
    crc_engines::ToAnsiBytes(converter, text.data(), text.size(), out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_CrcOfText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrcOfTextMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32Mixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine)
    ->ArgName("engine")
    ->DenseRange(0, static_cast<int>(crc_engines::Engine::kWideFolding))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Converter)
    ->ArgName("converter")
    ->DenseRange(0, static_cast<int>(crc_engines::Converter::kAvx2))
    ->Unit(benchmark::kMillisecond);

// Reports as the console does and keeps the fastest times per run name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Keep(cpu_, run.run_name.function_name, run.GetAdjustedCPUTime());
      Keep(real_, run.run_name.function_name, run.GetAdjustedRealTime());
    }
  }

  void PrintRatio(const char* label, const std::string& ours, const std::string& zlib) const {
    auto ratio = [&](const std::map<std::string, double>& best) {
      auto o = best.find(ours), z = best.find(zlib);
      return o == best.end() || z == best.end() || o->second <= 0 ? 0.0 : z->second / o->second;
    };
    double by_cpu = ratio(cpu_), by_real = ratio(real_);
    if (by_cpu == 0.0) return;
    std::printf("%s: zlib crc32 / CrcOfText time ratio = %.2f by processor time, %.2f by wall clock (%s)\n",
                label, by_cpu, by_real, by_cpu >= 1.0 ? "CrcOfText is at least as fast" : "CrcOfText is SLOWER");
  }

 private:
  static void Keep(std::map<std::string, double>& best, const std::string& name, double t) {
    auto it = best.find(name);
    if (it == best.end() || t < it->second) best[name] = t;
  }

  std::map<std::string, double> cpu_, real_;
};

}  // namespace
}  // namespace comvorlix

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  comvorlix::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::fflush(stdout);
  reporter.PrintRatio("16 MiB listing", "BM_CrcOfText", "BM_ZlibCrc32");
  reporter.PrintRatio("16 MiB listing with 1% non-Latin-1", "BM_CrcOfTextMixed", "BM_ZlibCrc32Mixed");
  benchmark::Shutdown();
  return 0;
}
