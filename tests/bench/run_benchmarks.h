// The main() of every benchmark program: runs the benchmarks the command line
// selects, then the program's own checks of the figures they left.
#pragma once

#include <functional>

namespace zr::bench {

// 2 for an argument the benchmark library does not know, 1 when
// `figuresHold` (called once the benchmarks have run) is false, else 0.
int RunBenchmarks(int argc, char** argv, const std::function<bool()>& figuresHold);

}  // namespace zr::bench
