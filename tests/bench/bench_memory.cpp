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
// counted by the replaced operator new of counting_new.cpp. Each figure has a
// budget below; the program fails when one is exceeded.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "platform/sim/sim_world.h"
#include "tests/bench/counting_new.h"
#include "tests/bench/run_benchmarks.h"

namespace {

// Budgets in bytes. What start-up holds is mostly the profile records: five
// slots of 109896 bytes, the current profile beside its slot, the global
// settings and the group selection (30964 and 30960 bytes) each with its
// component's stream. Reloads and plug cycles hold no more than start-up.
constexpr std::int64_t kStartUpBudget = 860'000;
constexpr std::int64_t kStartUpPeakBudget = 960'000;
constexpr std::int64_t kAfterReloadsBudget = kStartUpBudget;
constexpr std::int64_t kAfterPlugCyclesBudget = kStartUpBudget;

using zr::bench::InUse;
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
    const std::int64_t running = InUse();
    program.reset();
    return running - InUse();
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
    const std::int64_t before = zr::bench::ResetPeak();
    gFigures.startUp = m.HeldAfter([] {});
    gFigures.startUpPeak = zr::bench::Peak() - before;
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
  return zr::bench::RunBenchmarks(argc, argv, [] {
    bool ok = true;
    ok &= WithinBudget("in use after start-up", gFigures.startUp, kStartUpBudget);
    ok &= WithinBudget("peak during start-up", gFigures.startUpPeak, kStartUpPeakBudget);
    ok &= WithinBudget("in use after 100 reloads", gFigures.afterReloads, kAfterReloadsBudget);
    ok &= WithinBudget("in use after 100 plug/unplug cycles", gFigures.afterPlugCycles, kAfterPlugCyclesBudget);
    return ok;
  });
}
