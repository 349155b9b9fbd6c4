#include "run_benchmarks.h"

#include <benchmark/benchmark.h>

namespace zr::bench {

int RunBenchmarks(int argc, char** argv, const std::function<bool()>& figuresHold) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return figuresHold() ? 0 : 1;
}

}  // namespace zr::bench
