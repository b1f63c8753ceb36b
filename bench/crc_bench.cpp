// Speed of the checksum: Crc32Update (what `comvorlix crc` and the check
// use) on a 16 MiB listing against zlib's crc32 called directly on the same
// bytes. After the runs the ratio Crc32Update time / zlib time is printed,
// by processor time and by wall-clock time; on a busy machine the processor
// time is the steadier of the two.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crc/crc.h"

namespace comvorlix {
namespace {

constexpr size_t kSize = size_t{16} << 20;

// A configuration listing: ASCII lines ending in CR LF.
const std::string& Listing() {
  static const std::string bytes = [] {
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
    return s;
  }();
  return bytes;
}

void BM_Crc32Update(benchmark::State& state) {
  const std::string& bytes = Listing();
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  for (auto _ : state) benchmark::DoNotOptimize(Crc32Update(0, data, bytes.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void BM_ZlibCrc32(benchmark::State& state) {
  const std::string& bytes = Listing();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

BENCHMARK(BM_Crc32Update)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);

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

  void PrintRatio() const {
    auto ratio = [](const std::map<std::string, double>& best) {
      auto o = best.find("BM_Crc32Update"), z = best.find("BM_ZlibCrc32");
      return o == best.end() || z == best.end() || z->second <= 0 ? 0.0 : o->second / z->second;
    };
    const double by_cpu = ratio(cpu_), by_real = ratio(real_);
    if (by_cpu == 0.0) return;
    std::printf("16 MiB listing: Crc32Update / zlib crc32 time ratio = %.2f by processor time, %.2f by wall clock\n",
                by_cpu, by_real);
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
  reporter.PrintRatio();
  benchmark::Shutdown();
  return 0;
}
