// Heap use as the replaced operator new of counting_new.cpp counts it, for
// the benchmark programs that link it: every form of new and delete goes
// through it.
#pragma once

#include <cstdint>

namespace zr::bench {

// How many blocks have been allocated since the program started.
std::uint64_t Allocations();
// Bytes in use (as requested of new).
std::int64_t InUse();
// The most bytes in use at any moment since the last ResetPeak (or the start).
std::int64_t Peak();
// Counts the peak afresh from the bytes in use now, and gives them.
std::int64_t ResetPeak();

}  // namespace zr::bench
