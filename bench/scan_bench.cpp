// Scan speed of each path against the reference on dense, image-like and
// all-zero matrices, and on matrix files named as arguments; full range
// 0..255. Progress output goes to /dev/null.
// The report, and after it a table of median times and speed-ups, goes to
// standard error.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "testing/matrices.h"
#include "testing/matrix_file.h"
#include "threshold/dispatch.h"
#include "threshold/fast_scan.h"
#include "threshold/scan.h"

namespace {

using pellwick::detail::Kernels;
using pellwick::testing::TestMatrix;

struct Subject {
  std::string name;
  TestMatrix matrix;
};

TestMatrix read_matrix(const std::string& file) {
  TestMatrix M;
  const std::string error = pellwick::testing::read_matrix_file(file, M);
  if (!error.empty()) {
    std::fprintf(stderr, "scan_bench: %s\n", error.c_str());
    std::exit(1);
  }
  return M;
}

// Matrix files named on the command line ("row column count" lines), for
// measuring on matrices of one's own photographs.
std::vector<std::string> extra_files;

std::vector<Subject>& subjects() {
  static std::vector<Subject> all = [] {
    std::vector<Subject> s;
    s.push_back({"dense", pellwick::testing::dense_matrix(1)});
    s.push_back({"sample image", read_matrix(PELLWICK_SOURCE_DIR "/examples/sample-cooccurrence.txt")});
    s.push_back({"photo-like 640x480", pellwick::testing::image_matrix(2, 640, 480, 12)});
    s.push_back({"zeros", TestMatrix()});
    for (const std::string& file : extra_files) {
      const auto slash = file.find_last_of('/');
      s.push_back({file.substr(slash == std::string::npos ? 0 : slash + 1), read_matrix(file)});
    }
    return s;
  }();
  return all;
}

// The whole printed scan; kernels == nullptr: the reference.
void scan(benchmark::State& state, const Subject* subject, const Kernels* kernels) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        pellwick::detail::select_threshold_on(kernels, subject->matrix, 0, 255));
  }
}

// The fast scores alone (the scan without its progress text), with one way
// of finding the terms.
void scores(benchmark::State& state, const Subject* subject, const Kernels* kernels,
            pellwick::detail::TermMode mode) {
  std::vector<double> out(pellwick::kLastCandidate + 1);
  for (auto _ : state) {
    pellwick::detail::fast_scores(*kernels, subject->matrix, 0, pellwick::kLastCandidate,
                                  out.data(), mode);
    benchmark::DoNotOptimize(out.data());
  }
}

// Collects the median of each benchmark and prints speed-ups against the
// reference for the same matrix.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.run_name.function_name;
      const auto slash = name.find('/');
      median_ms_[name.substr(0, slash)][name.substr(slash + 1)] =
          run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::fprintf(stderr, "\n%-20s %-10s %12s %10s\n", "matrix", "path", "median ms", "speed-up");
    for (const auto& [matrix, paths] : median_ms_) {
      const auto reference = paths.find("reference");
      for (const auto& [path, ms] : paths) {
        const double ratio = reference != paths.end() ? reference->second / ms : 0.0;
        std::fprintf(stderr, "%-20s %-10s %12.3f %9.1fx\n", matrix.c_str(), path.c_str(), ms, ratio);
      }
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> median_ms_;
};

}  // namespace

int main(int argc, char** argv) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) extra_files.push_back(argv[i]);
  // The reference, then every fast path this CPU runs.
  static std::vector<std::pair<std::string, Kernels>> paths;
  for (const auto& path : pellwick::detail::simd_paths()) {
    if (path.available()) paths.emplace_back(path.name, path.kernels());
    else std::fprintf(stderr, "skipped: %s (not available on this CPU)\n", path.name);
  }
  for (const Subject& subject : subjects()) {
    const auto add = [&](const std::string& name, const Kernels* kernels) {
      benchmark::RegisterBenchmark((subject.name + "/" + name).c_str(), scan, &subject, kernels)
          ->Unit(benchmark::kMillisecond)
          ->Repetitions(5)
          ->ReportAggregatesOnly(true);
    };
    add("reference", nullptr);
    for (const auto& [name, kernels] : paths) {
      add(name, &kernels);
      for (const auto& [mode, label] : {std::pair{pellwick::detail::TermMode::direct, "direct"},
                                        std::pair{pellwick::detail::TermMode::cached, "cached"}}) {
        benchmark::RegisterBenchmark((subject.name + "/" + name + "-" + label).c_str(), scores,
                                     &subject, &kernels, mode)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
      }
    }
  }
  RatioReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
