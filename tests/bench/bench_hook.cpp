// One wheel notch through the mouse path, as the hook library's thread runs
// it: the low-level hook walk, the hook component's classification and rule
// walk, and the monitor's handler with its post of WM_HOOKED_BUTTON.
//
//   WheelEventThroughTheMonitor   time per event (median of the repetitions)
//                                 and heap allocations per event
//
// The post goes to a window queue of the platform (outside the program's
// heap); here the hooked-button posts are counted instead of queued. Heap
// allocations are counted by a replaced operator new. The program fails when
// an event allocated at all or was not posted exactly once.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "app/messages.h"
#include "app/monitor_form.h"
#include "app/monitor_program.h"
#include "platform/sim/sim_world.h"
#include "profile/dm.h"

namespace {

std::atomic<std::uint64_t> gAllocations{0};

void* Allocate(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// The simulated main thread's windowing, with hooked-button posts counted.
class CountingPosts final : public zr::Windowing {
 public:
  explicit CountingPosts(zr::Windowing& inner) : w_(inner) {}
  std::uint64_t hookedButtons = 0;

  bool PostMessage(zr::WindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (msg == zr::WM_HOOKED_BUTTON) {
      ++hookedButtons;
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
  zr::TimerId StartTimer(std::uint32_t i, std::function<void()> t) override { return w_.StartTimer(i, std::move(t)); }
  void StopTimer(zr::TimerId t) override { w_.StopTimer(t); }
  void RunMessageLoop() override { w_.RunMessageLoop(); }
  void Quit() override { w_.Quit(); }
  bool QuitRequested() const override { return w_.QuitRequested(); }
  void ProcessMessages() override { w_.ProcessMessages(); }
  void Sleep(std::uint32_t ms) override { w_.Sleep(ms); }
  bool RunOnMainThread(const std::function<void()>& work) override { return w_.RunOnMainThread(work); }

 private:
  zr::Windowing& w_;
};

// The monitor with a profile that takes both wheel directions over.
struct Rig {
  zr::sim::SimWorld world;
  zr::sim::SimProcess process{world};
  CountingPosts windowing{process.platform().windowing};
  zr::Platform platform{process.platform().system,
                        process.platform().files,
                        process.platform().registry,
                        windowing,
                        process.platform().kernel,
                        process.platform().hid,
                        process.platform().deviceNotifications,
                        process.platform().controlDevices,
                        process.platform().shell,
                        process.platform().tray,
                        process.platform().locale,
                        process.platform().hookLibrary,
                        process.platform().os,
                        process.platform().deviceSetup,
                        process.platform().services};
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

void WheelEventThroughTheMonitor(benchmark::State& state) {
  Rig rig;
  const std::uint64_t posts = rig.windowing.hookedButtons;
  const std::uint64_t before = gAllocations.load();
  for (auto _ : state) {
    const bool reached = rig.world.input.Wheel(120);
    benchmark::DoNotOptimize(reached);
  }
  const std::uint64_t allocations = gAllocations.load() - before;
  const auto events = static_cast<double>(state.iterations());
  state.counters["allocations_per_event"] = static_cast<double>(allocations) / events;
  state.counters["posts_per_event"] = static_cast<double>(rig.windowing.hookedButtons - posts) / events;
  if (allocations != 0) gAllocated = true;
  if (rig.windowing.hookedButtons - posts != static_cast<std::uint64_t>(state.iterations())) gNotPosted = true;
}
BENCHMARK(WheelEventThroughTheMonitor)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gAllocated) std::fprintf(stderr, "a wheel event allocated heap memory\n");
  if (gNotPosted) std::fprintf(stderr, "a wheel event was not posted exactly once\n");
  if (gAllocated || gNotPosted) return 1;
  return 0;
}
