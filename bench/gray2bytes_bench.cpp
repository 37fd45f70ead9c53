// The conversion as the filter and the printer application run it (the label writer's
// rows, fed a strip of up to 16 rows or 64 KiB at a time, each kernel) against the
// per-pixel reference loop and against memcpy of the same gray page, in one run, with the
// two ratios the conversion is held to printed at the end:
//   reference time / fast time, per mode, on a 4 x 6 inch label at 300 dpi (target >= 30)
//   memcpy time / fast time, on a 600 dpi A4 page larger than the last-level cache
//   (target >= 0.8)
// Times are medians over --benchmark_repetitions (default 1); on a shared machine run
// with --benchmark_repetitions=5 or more.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/label_page.h"
#include "core/gray2bytes.h"
#include "core/label_writer.h"
#include "tests/support/reference_convert.h"

namespace {

struct Page {
  const char *name;
  int width, height;
  int widthBytes() const { return (width + 7) / 8; }
  int stride() const { return widthBytes() * 8; }
  int64_t pixels() const { return int64_t{stride()} * height; }
};

const Page kLabel{"4x6@300", 1200, 1800};
const Page kA4{"A4@600", 4960, 7016};
const int kModes[] = {0, 2, 3, 4, 5};

std::string ConvertName(const Page &page, int mode, Kernel kernel) {
  return std::string("convert/") + page.name + "/mode:" + std::to_string(mode) + "/" +
         KernelName(kernel);
}
std::string ReferenceName(int mode) {
  return std::string("reference/") + kLabel.name + "/mode:" + std::to_string(mode);
}
std::string MemcpyName(const Page &page) { return std::string("memcpy/") + page.name; }

// The page through the label writer, in the strips the filter reads: up to 16 rows, as
// many as fit 64 KiB.
void RegisterConvert(const Page &page, int mode, Kernel kernel) {
  const std::string name = ConvertName(page, mode, kernel);
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State &state) {
    const std::vector<uint8_t> gray = LabelPage(page.width, page.height, page.width, 1);
    const size_t strip = size_t(std::clamp(65536 / page.width, 1, 16)) * page.width;
    label_doc_t doc{4, 7, 0, 102, 152, 0, 0, 0, 0, int16_t(mode)};
    label_page_t label;
    for (auto _ : state) {
      begin_label_page(label, doc, page.width, page.height, strip, kernel);
      for (size_t at = 0; at < gray.size(); at += strip) {
        const std::span<const uint8_t> bytes =
            label_page_rows(label, std::span(gray).subspan(at, std::min(strip, gray.size() - at)));
        benchmark::DoNotOptimize(bytes.data());
      }
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * page.pixels());
  })->Unit(benchmark::kMicrosecond);
}

void RegisterReference(int mode) {
  benchmark::RegisterBenchmark(ReferenceName(mode).c_str(), [=](benchmark::State &state) {
    const std::vector<uint8_t> gray = LabelPage(kLabel.width, kLabel.height, kLabel.stride(), 1);
    for (auto _ : state) {
      std::vector<uint8_t> bits =
          ReferenceGray2Bytes(gray.data(), kLabel.widthBytes(), kLabel.height, mode);
      benchmark::DoNotOptimize(bits.data());
    }
    state.SetItemsProcessed(state.iterations() * kLabel.pixels());
  })->Unit(benchmark::kMicrosecond);
}

void RegisterMemcpy(const Page &page) {
  benchmark::RegisterBenchmark(MemcpyName(page).c_str(), [=](benchmark::State &state) {
    const std::vector<uint8_t> gray = LabelPage(page.width, page.height, page.stride(), 1);
    std::vector<uint8_t> copy(gray.size());
    for (auto _ : state) {
      memcpy(copy.data(), gray.data(), gray.size());
      benchmark::DoNotOptimize(copy.data());
      benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * page.pixels());
  })->Unit(benchmark::kMicrosecond);
}

// The console report as usual, keeping each benchmark's CPU time per iteration: the
// median of its repetitions, or its one run.
class KeepingReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved report reads cleanly.
  KeepingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration)
        times[run.run_name.str()].push_back(run.GetAdjustedCPUTime());
      else if (run.aggregate_name == "median")
        medians[run.run_name.str()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The median time of `name`, 0 when it didn't run (filtered out).
  double Median(const std::string &name) {
    if (medians.count(name)) return medians[name];
    std::vector<double> &t = times[name];
    if (t.empty()) return 0;
    std::sort(t.begin(), t.end());
    return t.size() % 2 ? t[t.size() / 2] : (t[t.size() / 2 - 1] + t[t.size() / 2]) / 2;
  }

 private:
  std::map<std::string, std::vector<double>> times;
  std::map<std::string, double> medians;
};

void PrintRatios(KeepingReporter &reporter) {
  const Kernel fastest = FastestKernel();
  printf("\nKernel on this machine: %s. Ratios of median CPU times:\n", KernelName(fastest));
  for (int mode : kModes) {
    double fast = reporter.Median(ConvertName(kLabel, mode, fastest));
    double reference = reporter.Median(ReferenceName(mode));
    if (fast > 0 && reference > 0)
      printf("  %s mode %d: reference / conversion = %.1f  (target >= 30)\n", kLabel.name, mode,
             reference / fast);
  }
  const double copy = reporter.Median(MemcpyName(kA4));
  for (int mode : kModes) {
    double fast = reporter.Median(ConvertName(kA4, mode, fastest));
    if (fast > 0 && copy > 0)
      printf("  %s mode %d: memcpy / conversion = %.2f  (target >= 0.8)\n", kA4.name, mode,
             copy / fast);
  }
}

}  // namespace

int main(int argc, char **argv) {
  for (int mode : kModes) {
    for (Kernel kernel : kAllKernels)
      if (KernelRuns(kernel)) RegisterConvert(kLabel, mode, kernel);
    RegisterReference(mode);
  }
  RegisterMemcpy(kLabel);
  for (int mode : kModes) RegisterConvert(kA4, mode, FastestKernel());
  RegisterMemcpy(kA4);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  KeepingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  PrintRatios(reporter);
  return 0;
}
