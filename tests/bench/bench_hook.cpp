// The monitor's two hot paths:
//
//   WheelEventThroughTheMonitor    one wheel notch as the hook library's thread
//                                  runs it: the low-level hook walk, the hook
//                                  component's classification and rule walk,
//                                  and the monitor's handler with its post of
//                                  WM_HOOKED_BUTTON
//   GetKeyDescription              one key text looked up, as every recorded key
//                                  does on the hook library's thread, once the
//                                  tables are built (target: at most 100 ns)
//   InputReportThroughTheMonitor   one input report as the main thread gets it
//                                  from the reader: a key report (its debugger
//                                  line and the post of WM_DEVICE_KEY) or a CPI
//                                  stage report (the restarted 100 ms timer),
//                                  in turn
//
// Each gives the time per event (median of the repetitions) and the heap
// allocations per event of the program's own code. Posts, timers and
// debugger lines go to the platform; here they are counted instead, so what
// the adapters spend on them (the Win32 timer table, the debugger line's
// conversion to UTF-16) is not part of the figures. Heap allocations are
// counted by the replaced operator new of counting_new.cpp. The program fails
// when an event allocated at all or did not have its effect exactly once.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "hook/key_code_table.h"
#include "platform/sim/sim_world.h"
#include "profile/dm.h"
#include "tests/bench/counting_new.h"
#include "tests/bench/run_benchmarks.h"

namespace {

// The simulated main thread's windowing, with hooked-button posts counted.
class CountingPosts final : public zr::Windowing {
 public:
  explicit CountingPosts(zr::Windowing& inner) : w_(inner) {}
  std::uint64_t hookedButtons = 0;
  std::uint64_t deviceKeys = 0;
  std::uint64_t cpiTimerStarts = 0;
  bool counting = false;  // from here on the CPI timer is counted, not set

  bool PostMessage(zr::WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (msg == zr::WM_HOOKED_BUTTON) {
      ++hookedButtons;
      return true;
    }
    if (msg == zr::WM_DEVICE_KEY) {
      ++deviceKeys;
      return true;
    }
    return w_.PostMessage(window, msg, wParam, lParam);
  }
  zr::WindowHandle CreateHiddenWindow(std::string_view c, std::string_view t, zr::WindowProcedure p, int w,
                                      int h) override {
    return w_.CreateHiddenWindow(c, t, std::move(p), w, h);
  }
  void DestroyWindow(zr::WindowHandle h) override { w_.DestroyWindow(h); }
  void SetWindowTitle(zr::WindowHandle h, std::string_view t) override { w_.SetWindowTitle(h, t); }
  void ShowWindow(zr::WindowHandle h, bool s) override { w_.ShowWindow(h, s); }
  bool SetForegroundWindow(zr::WindowHandle h) override { return w_.SetForegroundWindow(h); }
  zr::WindowHandle FindWindowByClass(std::string_view c) override { return w_.FindWindowByClass(c); }
  std::uint32_t RegisterWindowMessage(std::string_view n) override { return w_.RegisterWindowMessage(n); }
  zr::ControlHandle CreateControl(zr::WindowHandle p, const zr::ControlLayout& l, std::function<void()> c) override {
    return w_.CreateControl(p, l, std::move(c));
  }
  void SetControlText(zr::ControlHandle c, std::string_view t) override { w_.SetControlText(c, t); }
  void ShowControl(zr::ControlHandle c, bool s) override { w_.ShowControl(c, s); }
  std::intptr_t SendMessage(zr::WindowHandle h, std::uint32_t m, std::uintptr_t w, std::intptr_t l) override {
    return w_.SendMessage(h, m, w, l);
  }
  std::optional<std::intptr_t> SendMessageTimeout(zr::WindowHandle h, std::uint32_t m, std::uintptr_t w,
                                                  std::intptr_t l, std::uint32_t ms) override {
    return w_.SendMessageTimeout(h, m, w, l, ms);
  }
  zr::TimerId StartTimer(std::uint32_t i, std::function<void()> t) override {
    if (counting) {
      ++cpiTimerStarts;
      return kCountedTimer;
    }
    return w_.StartTimer(i, std::move(t));
  }
  void StopTimer(zr::TimerId t) override {
    if (t != kCountedTimer) w_.StopTimer(t);
  }
  void RunMessageLoop() override { w_.RunMessageLoop(); }
  void Quit() override { w_.Quit(); }
  bool QuitRequested() const override { return w_.QuitRequested(); }
  void ProcessMessages() override { w_.ProcessMessages(); }
  void Sleep(std::uint32_t ms) override { w_.Sleep(ms); }
  bool RunOnMainThread(const std::function<void()>& work) override { return w_.RunOnMainThread(work); }

 private:
  static constexpr zr::TimerId kCountedTimer = 0xC0DE;
  zr::Windowing& w_;
};

// The debugger output, with lines counted instead of kept.
class CountingDebugOutput final : public zr::System {
 public:
  explicit CountingDebugOutput(zr::System& inner) : s_(inner) {}
  std::uint64_t lines = 0;
  bool MutexExists(std::string_view name) override { return s_.MutexExists(name); }
  zr::MutexHandle CreateOwnedMutex(std::string_view name, bool& existed) override {
    return s_.CreateOwnedMutex(name, existed);
  }
  void ReleaseMutex(zr::MutexHandle m) override { s_.ReleaseMutex(m); }
  void DebugOutput(std::string_view) override { ++lines; }
  zr::LocalDateTime LocalTime() override { return s_.LocalTime(); }
  int MessageBox(std::string_view t, std::string_view c, std::uint32_t f) override { return s_.MessageBox(t, c, f); }

 private:
  zr::System& s_;
};

// The monitor with a profile that takes both wheel directions over.
struct Rig {
  zr::sim::SimWorld world;
  zr::sim::SimProcess process{world};
  CountingPosts windowing{process.platform().windowing};
  CountingDebugOutput system{process.platform().system};
  zr::Platform platform = zr::WithOverrides(process.platform(), {.system = &system, .windowing = &windowing});
  std::unique_ptr<zr::MonitorProgram> program;

  Rig() {
    world.devices.keepLog = false;
    program = std::make_unique<zr::MonitorProgram>(platform);
    program->Start();
    zr::ZEDEZAVadi& form = *program->Form();
    form.DM.FCurrentProfileInfo.ConfigInfo.VWheelButtonFuncInfo[0].FunctionClass = 0;
    form.DM.FCurrentProfileInfo.ConfigInfo.VWheelButtonFuncInfo[1].FunctionClass = 0;
    form.SetWheelHookRules();
  }
};

bool gAllocated = false;
bool gNotPosted = false;
bool gReportMissed = false;

void WheelEventThroughTheMonitor(benchmark::State& state) {
  Rig rig;
  const std::uint64_t posts = rig.windowing.hookedButtons;
  const std::uint64_t before = zr::bench::Allocations();
  for (auto _ : state) {
    const bool reached = rig.world.input.Wheel(120);
    benchmark::DoNotOptimize(reached);
  }
  const std::uint64_t allocations = zr::bench::Allocations() - before;
  const auto events = static_cast<double>(state.iterations());
  state.counters["allocations_per_event"] = static_cast<double>(allocations) / events;
  state.counters["posts_per_event"] = static_cast<double>(rig.windowing.hookedButtons - posts) / events;
  if (allocations != 0) gAllocated = true;
  if (rig.windowing.hookedButtons - posts != static_cast<std::uint64_t>(state.iterations())) gNotPosted = true;
}
BENCHMARK(WheelEventThroughTheMonitor)->Repetitions(5)->ReportAggregatesOnly(true);

void InputReportThroughTheMonitor(benchmark::State& state) {
  Rig rig;
  zr::ZEDEZAVadi& form = *rig.program->Form();
  const std::string id = "HID\\VID_5A3C&PID_0001&MI_01&Col01";
  const std::string path = "\\\\?\\hid#vid_5a3c&pid_0001&mi_01&col01";
  const std::uint8_t key[7] = {0, 0x04, 0, 0, 0, 0, 0};  // key 10
  const std::uint8_t stage[7] = {2, 3, 0, 0, 0, 0, 0};
  rig.windowing.counting = true;
  const std::uint64_t before = zr::bench::Allocations();
  std::uint64_t reports = 0;
  for (auto _ : state) {
    if (++reports & 1) {
      form.qvHIDData1Data(id, path, 7, key, 7);
    } else {
      form.qvHIDData1Data(id, path, 8, stage, 7);
    }
  }
  const std::uint64_t allocations = zr::bench::Allocations() - before;
  const auto events = static_cast<double>(state.iterations());
  state.counters["allocations_per_event"] = static_cast<double>(allocations) / events;
  if (allocations != 0) gAllocated = true;
  const std::uint64_t keys = (reports + 1) / 2;
  if (rig.windowing.deviceKeys != keys || rig.system.lines != keys || rig.windowing.cpiTimerStarts != reports / 2) {
    gReportMissed = true;
  }
}
BENCHMARK(InputReportThroughTheMonitor)->Repetitions(5)->ReportAggregatesOnly(true);

void GetKeyDescription(benchmark::State& state) {
  // Plain and extended keys, keys that always arrive extended, the 224/225
  // flags, other flags and codes outside the tables, in turn.
  static constexpr std::int32_t kKeys[][2] = {{0x41, 0},    {0x0D, 1},  {0x2E, 225}, {0x6F, 1},  {0xB3, 0},
                                              {0xA3, 1},    {0x28, 224}, {0xB8, 5},  {300, 0},   {-1, 1},
                                              {0x5B, 1},    {0xDE, 0},  {0x70, 0},   {0xFF, 1},  {0x60, 0},
                                              {0x00, 0}};
  (void)zr::KeyCodeTables();  // built before the figures
  std::size_t i = 0;
  std::size_t length = 0;
  const std::uint64_t before = zr::bench::Allocations();
  for (auto _ : state) {
    const auto& key = kKeys[i++ & 15];
    const std::string& text = zr::GetKeyDescription(key[0], key[1]);
    benchmark::DoNotOptimize(text.data());
    length += text.size();
  }
  const std::uint64_t allocations = zr::bench::Allocations() - before;
  state.counters["allocations_per_event"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
  benchmark::DoNotOptimize(length);
  if (allocations != 0) gAllocated = true;
}
BENCHMARK(GetKeyDescription)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  return zr::bench::RunBenchmarks(argc, argv, [] {
    if (gAllocated) std::fprintf(stderr, "an event allocated heap memory\n");
    if (gNotPosted) std::fprintf(stderr, "a wheel event was not posted exactly once\n");
    if (gReportMissed) std::fprintf(stderr, "an input report did not post or restart its timer exactly once\n");
    return !gAllocated && !gNotPosted && !gReportMissed;
  });
}
