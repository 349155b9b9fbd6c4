// The heap the monitor itself holds, on the simulated platform with the
// mouse plugged in and the filter driver present:
//
//   StartUp          bytes in use once start-up is done, and the peak while it
//                    ran
//   Reloads          bytes in use after 100 reloads: WM_APPLY_PROFILE and
//                    WM_RELOAD_SETTINGS from the configuration program, in turn
//   PlugCycles       bytes in use after 100 times unplugging and plugging the
//                    mouse in again, each followed by its device check
//
// The machine already holds the stored profiles of an earlier start. What the
// program holds is what is in use while it runs less what stays in use once
// it has ended; the peak is counted from before its start. Heap bytes are
// counted by a replaced operator new. Each figure has a budget below; the
// program fails when one is exceeded.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "platform/sim/sim_world.h"

namespace {

// Budgets in bytes. What start-up holds is mostly the profile records: five
// slots of 109896 bytes, the current profile beside its slot, the global
// settings and the group selection (30964 and 30960 bytes) each with its
// component's stream. Reloads and plug cycles hold no more than start-up.
constexpr std::int64_t kStartUpBudget = 860'000;
constexpr std::int64_t kStartUpPeakBudget = 960'000;
constexpr std::int64_t kAfterReloadsBudget = kStartUpBudget;
constexpr std::int64_t kAfterPlugCyclesBudget = kStartUpBudget;

// Every block carries its size in front, so that a delete knows what it frees.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<std::int64_t> gInUse{0};
std::atomic<std::int64_t> gPeak{0};

void* Allocate(std::size_t n, std::size_t alignment = kHeader) {
  const std::size_t header = alignment > kHeader ? alignment : kHeader;
  auto* block = static_cast<unsigned char*>(std::aligned_alloc(header, ((header + n + header - 1) / header) * header));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block + header - sizeof(std::size_t) * 2) = header;
  *reinterpret_cast<std::size_t*>(block + header - sizeof(std::size_t)) = n;
  const std::int64_t now = gInUse.fetch_add(static_cast<std::int64_t>(n)) + static_cast<std::int64_t>(n);
  std::int64_t peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
  return block + header;
}

void Free(void* p) noexcept {
  if (p == nullptr) return;
  auto* at = static_cast<unsigned char*>(p);
  const std::size_t n = *reinterpret_cast<std::size_t*>(at - sizeof(std::size_t));
  const std::size_t header = *reinterpret_cast<std::size_t*>(at - sizeof(std::size_t) * 2);
  gInUse.fetch_sub(static_cast<std::int64_t>(n));
  std::free(at - header);
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Free(p); }

namespace {

using zr::sim::SimProcess;
using zr::sim::SimWorld;

// A machine with the mouse in, whose registry and files hold the profiles
// that an earlier start stored.
struct Machine {
  SimWorld world;
  SimProcess process{world};
  std::unique_ptr<zr::MonitorProgram> program;

  Machine() {
    world.devices.keepLog = false;
    world.files.PutText(process.ExeFolder() + "config.ini",
                        "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n");
    world.devices.StartPlugged();
    Start();
    program.reset();
  }
  void Start() {
    program = std::make_unique<zr::MonitorProgram>(process.platform());
    if (!program->Start()) std::abort();
    world.RunPending();
  }
  zr::WindowHandle Window() { return process.queue().FindWindowByClass("ZEDEZAVadi"); }

  // Starts the program, runs `work`, and gives the bytes the program then
  // holds: what is in use while it runs less what is in use once it has
  // ended. What the machine recorded meanwhile (its requests, notifications
  // and shell requests) stays in both and so does not count.
  template <class Work>
  std::int64_t HeldAfter(Work work) {
    Start();
    work();
    const std::int64_t running = gInUse.load();
    program.reset();
    return running - gInUse.load();
  }
};

struct Figures {
  std::int64_t startUp = -1;
  std::int64_t startUpPeak = -1;
  std::int64_t afterReloads = -1;
  std::int64_t afterPlugCycles = -1;
} gFigures;

void StartUp(benchmark::State& state) {
  for (auto _ : state) {
    Machine m;
    const std::int64_t before = gInUse.load();
    gPeak.store(before);
    gFigures.startUp = m.HeldAfter([] {});
    gFigures.startUpPeak = gPeak.load() - before;
    state.counters["in_use_bytes"] = static_cast<double>(gFigures.startUp);
    state.counters["peak_bytes"] = static_cast<double>(gFigures.startUpPeak);
  }
}
BENCHMARK(StartUp)->Iterations(1)->Unit(benchmark::kMillisecond);

void Reloads(benchmark::State& state) {
  for (auto _ : state) {
    Machine m;
    gFigures.afterReloads = m.HeldAfter([&m] {
      for (int i = 0; i < 100; ++i) {
        m.process.queue().SendMessage(m.Window(), i % 2 == 0 ? zr::WM_APPLY_PROFILE : zr::WM_RELOAD_SETTINGS, 0, 0);
        m.world.RunPending();
      }
    });
    state.counters["in_use_bytes"] = static_cast<double>(gFigures.afterReloads);
  }
}
BENCHMARK(Reloads)->Iterations(1)->Unit(benchmark::kMillisecond);

void PlugCycles(benchmark::State& state) {
  for (auto _ : state) {
    Machine m;
    gFigures.afterPlugCycles = m.HeldAfter([&m] {
      for (int i = 0; i < 100; ++i) {
        m.world.devices.Unplug();
        m.world.AdvanceBy(2000);
        m.world.devices.Plug();
        m.world.AdvanceBy(2000);
      }
    });
    state.counters["in_use_bytes"] = static_cast<double>(gFigures.afterPlugCycles);
  }
}
BENCHMARK(PlugCycles)->Iterations(1)->Unit(benchmark::kMillisecond);

// A figure of a benchmark that did not run (see --benchmark_filter) is -1.
bool WithinBudget(const char* what, std::int64_t figure, std::int64_t budget) {
  if (figure < 0) return true;
  const bool ok = figure <= budget;
  std::printf("%-36s %9lld bytes  (budget %lld)%s\n", what, static_cast<long long>(figure),
              static_cast<long long>(budget), ok ? "" : "  OVER BUDGET");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bool ok = true;
  ok &= WithinBudget("in use after start-up", gFigures.startUp, kStartUpBudget);
  ok &= WithinBudget("peak during start-up", gFigures.startUpPeak, kStartUpPeakBudget);
  ok &= WithinBudget("in use after 100 reloads", gFigures.afterReloads, kAfterReloadsBudget);
  ok &= WithinBudget("in use after 100 plug/unplug cycles", gFigures.afterPlugCycles, kAfterPlugCyclesBudget);
  return ok ? 0 : 1;
}
