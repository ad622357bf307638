// The console report of a benchmark program that prints figures of its
// own at the end: TTimesReporter shows every run as the console reporter
// does and keeps each benchmark's real and CPU time per iteration (in the
// unit it was reported in) for its Finalize; RunBenchmarks is main().
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace qm::bench {

class TTimesReporter : public benchmark::ConsoleReporter {
public:
  TTimesReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        realTimes_[run.benchmark_name()] = run.GetAdjustedRealTime();
        cpuTimes_[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    }
  }

protected:
  const std::map<std::string, double>& RealTimes() const noexcept { return realTimes_; }
  // 0 for a benchmark that did not run (or failed).
  double RealTime(const std::string& name) const { return Find(realTimes_, name); }
  double CpuTime(const std::string& name) const { return Find(cpuTimes_, name); }

private:
  static double Find(const std::map<std::string, double>& times, const std::string& name) {
    const auto found = times.find(name);
    return found == times.end() ? 0 : found->second;
  }
  std::map<std::string, double> realTimes_;
  std::map<std::string, double> cpuTimes_;
};

inline int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace qm::bench
