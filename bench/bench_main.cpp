// Runs every benchmark and ends with a table pairing each ansicrypt case with its peer.
//
// Cases are named "<service>/ansicrypt/<size>" and "<service>/<peer>/<size>"; the ratio is the
// peer's time per iteration divided by ours, so a ratio above 1 means ansicrypt is faster.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ansicrypt/common/simd_paths.h"

namespace {

struct Measured {
  double seconds = 0;         // real time per iteration
  double bytesPerSecond = 0;  // 0 when the case reports no byte count
};

class PairingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      Measured m;
      m.seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      if (const auto it = run.counters.find("bytes_per_second"); it != run.counters.end()) {
        m.bytesPerSecond = it->second.value;
      }
      const std::string name = run.benchmark_name();
      const auto first = name.find('/');
      if (first == std::string::npos) continue;
      const auto second = name.find('/', first + 1);
      const std::string side = name.substr(first + 1, second - first - 1);
      const std::string size = second == std::string::npos ? "" : name.substr(second);
      results_[name.substr(0, first) + size][side] = m;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-34s %14s %14s %-10s %8s\n", "service/size", "ansicrypt", "peer", "peer",
                "ratio");
    for (const auto& [service, sides] : results_) {
      const auto ours = sides.find("ansicrypt");
      if (ours == sides.end()) continue;
      for (const auto& [peer, measured] : sides) {
        if (peer == "ansicrypt") continue;
        std::printf("%-34s %14s %14s %-10s %8.2f\n", service.c_str(), Rate(ours->second).c_str(),
                    Rate(measured).c_str(), peer.c_str(), measured.seconds / ours->second.seconds);
      }
    }
    std::printf("vector paths: this processor has %s; these cases ran %s\n",
                std::string(ansicrypt::ProcessorSimdPath()).c_str(),
                std::string(ansicrypt::ActiveSimdPath()).c_str());
  }

 private:
  static std::string Rate(const Measured& m) {
    char text[32];
    if (m.bytesPerSecond > 0) {
      std::snprintf(text, sizeof text, "%.1f MB/s", m.bytesPerSecond / 1e6);
    } else {
      std::snprintf(text, sizeof text, "%.3f us", m.seconds * 1e6);
    }
    return text;
  }

  std::map<std::string, std::map<std::string, Measured>> results_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  PairingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
