// The HID reader on real threads with real blocking waits: an adapter whose
// read waits sleep on a condition variable until a report or the stop event
// comes, as the Win32 adapter sleeps in its alertable wait.
//
//   IdleReader       a second without input: how often the reader woke (must
//                    be never) and how long a stop then takes to end it
//   ReportDelivery   reports per second from the mouse to OnData
//
// The program fails when an idle reader woke at all.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "device/hid_data.h"
#include "platform/error_codes.h"
#include "platform/sim/sim_world.h"
#include "tests/bench/run_benchmarks.h"

namespace {

using namespace std::chrono_literals;

// Everything the adapter's waits wake on shares one lock and one condition.
struct Signals {
  std::mutex mutex;
  std::condition_variable changed;
};

class BlockingEvent final : public zr::KernelEvent {
 public:
  explicit BlockingEvent(Signals& s) : s_(s) {}
  // As the platform's events do, a set releases every wait that is under
  // way, also when the event is reset again before the waiter runs.
  void Set() override {
    std::lock_guard lock(s_.mutex);
    set_ = true;
    ++sets_;
    s_.changed.notify_all();
  }
  void Reset() override {
    std::lock_guard lock(s_.mutex);
    set_ = false;
  }
  // Under the lock.
  bool IsSet() const { return set_; }
  std::uint64_t Sets() const { return sets_; }

 private:
  Signals& s_;
  bool set_ = false;
  std::uint64_t sets_ = 0;
};

class ThreadKernel final : public zr::Kernel {
 public:
  explicit ThreadKernel(Signals& s) : s_(s) {}
  std::shared_ptr<zr::KernelEvent> CreateManualResetEvent() override { return std::make_shared<BlockingEvent>(s_); }
  int WaitForAny(std::span<zr::KernelEvent* const>) override { return zr::kWaitFailed; }  // the reader needs none
  std::unique_ptr<zr::KernelThread> StartThread(std::function<zr::ThreadRun()> body) override {
    auto t = std::make_shared<Thread>();
    t->thread = std::thread([t = t.get(), body = std::move(body)]() mutable {
      while (body() == zr::ThreadRun::Waiting) {
      }
      body = nullptr;
      t->finished = true;
    });
    threads_.push_back(t);
    return std::make_unique<Handle>(t);
  }
  void JoinAll() {
    for (auto& t : threads_) {
      if (t->thread.joinable()) t->thread.join();
    }
    threads_.clear();
  }

 private:
  struct Thread {
    std::atomic<bool> finished{false};
    std::thread thread;
  };
  class Handle final : public zr::KernelThread {
   public:
    explicit Handle(std::shared_ptr<Thread> t) : t_(std::move(t)) {}
    bool Finished() const override { return t_->finished; }
    void Join() override {
      while (!t_->finished) std::this_thread::yield();
    }

   private:
    std::shared_ptr<Thread> t_;
  };
  Signals& s_;
  std::vector<std::shared_ptr<Thread>> threads_;
};

// One collection of the vendor usage; its reads block until a report comes.
class BlockingHid final : public zr::HidPort {
 public:
  explicit BlockingHid(Signals& s) : s_(s) {}

  void Send(std::vector<std::uint8_t> report) {
    std::lock_guard lock(s_.mutex);
    reports_.push_back(std::move(report));
    s_.changed.notify_all();
  }
  // Sends and waits until the reader has taken the report.
  void SendAndWait(std::vector<std::uint8_t> report) {
    std::unique_lock lock(s_.mutex);
    reports_.push_back(std::move(report));
    s_.changed.notify_all();
    s_.changed.wait(lock, [&] { return reports_.empty(); });
  }

  std::optional<zr::Guid> HidGuid() override { return zr::kHidInterfaceGuid; }
  std::optional<std::vector<zr::HidInterface>> PresentInterfaces(const zr::Guid&) override {
    return std::vector<zr::HidInterface>{{"\\\\?\\hid#bench", {"HID\\BENCH"}, true}};
  }
  std::unique_ptr<zr::HidCollection> Open(std::string_view, bool, std::uint32_t&) override {
    return std::make_unique<Collection>(*this);
  }
  std::optional<std::vector<std::vector<std::string>>> PresentDevicesOfSetupClass(const zr::Guid&) override {
    return std::nullopt;
  }

 private:
  class Collection final : public zr::HidCollection {
   public:
    explicit Collection(BlockingHid& hid) : hid_(hid) {}
    std::uint32_t HandleValue() const override { return 1; }
    bool GetAttributes() override { return true; }
    std::optional<zr::HidCaps> GetCaps() override { return zr::HidCaps{0x0001, 0xFFA0, 8, 0, 4096}; }
    std::uint32_t GetFeature(std::span<std::uint8_t>) override { return zr::kErrorInvalidFunction; }
    std::uint32_t SetFeature(std::span<const std::uint8_t>) override { return zr::kErrorInvalidFunction; }
    std::uint32_t Write(std::span<const std::uint8_t>) override { return zr::kErrorInvalidFunction; }
    std::uint32_t MaxInputUsageListLength() override { return 0; }
    std::optional<std::vector<zr::USAGE_AND_PAGE>> GetInputUsages(std::span<const std::uint8_t>,
                                                                  std::size_t) override {
      return std::nullopt;
    }
    std::uint32_t StartRead(std::size_t) override { return zr::kErrorSuccess; }
    zr::HidReadWait WaitForReadOrStop(zr::KernelEvent& stop) override {
      auto& s = hid_.s_;
      auto& e = static_cast<BlockingEvent&>(stop);
      std::unique_lock lock(s.mutex);
      const std::uint64_t sets = e.Sets();
      s.changed.wait(lock, [&] { return !hid_.reports_.empty() || e.IsSet() || e.Sets() != sets; });
      if (hid_.reports_.empty()) return zr::HidReadWait::Stopped;
      report_ = std::move(hid_.reports_.front());
      hid_.reports_.pop_front();
      s.changed.notify_all();
      return zr::HidReadWait::Completed;
    }
    std::uint32_t FinishRead(std::span<std::uint8_t> buffer, std::uint32_t& bytes) override {
      bytes = static_cast<std::uint32_t>(std::min(buffer.size(), report_.size()));
      std::copy_n(report_.begin(), bytes, buffer.begin());
      return zr::kErrorSuccess;
    }

   private:
    BlockingHid& hid_;
    std::vector<std::uint8_t> report_;
  };

  Signals& s_;
  std::deque<std::vector<std::uint8_t>> reports_;
};

// The component over the blocking adapter, the rest of the platform simulated.
struct Rig {
  Signals signals;
  ThreadKernel kernel{signals};
  BlockingHid hid{signals};
  zr::sim::SimWorld world;
  zr::sim::SimProcess process{world};
  zr::Platform platform = zr::WithOverrides(process.platform(), {.kernel = &kernel, .hid = &hid});
  std::unique_ptr<zr::TqvHIDData> component = std::make_unique<zr::TqvHIDData>(platform);
  std::atomic<std::uint64_t> delivered{0};

  Rig() {
    // Reports are taken on the reader thread: the simulated main thread
    // cannot take a hand-off from a real one.
    component->FastOnData = true;
    component->OnData = [this](const std::string&, const std::string&, std::uint8_t, const std::uint8_t*,
                               std::uint16_t) { ++delivered; };
    component->HidFindAndReadDevice(zr::kVendorCollection, "*");
  }
  ~Rig() {
    component->HidStopRead();
    kernel.JoinAll();
  }
};

bool gIdleReaderWoke = false;

void IdleReader(benchmark::State& state) {
  for (auto _ : state) {
    Rig rig;
    std::this_thread::sleep_for(1s);
    const std::uint64_t wakeUps = rig.component->ReaderWakeUps();
    const auto stopAt = std::chrono::steady_clock::now();
    rig.component->HidStopRead();
    while (rig.component->RunningReaders() > 0) std::this_thread::yield();
    const auto stopped = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopAt);
    state.counters["wake_ups_per_idle_second"] = static_cast<double>(wakeUps);
    state.counters["stop_ms"] = stopped.count();
    if (wakeUps != 0) gIdleReaderWoke = true;
  }
}
BENCHMARK(IdleReader)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void ReportDelivery(benchmark::State& state) {
  Rig rig;
  const std::vector<std::uint8_t> report = {8, 2, 3, 0, 0, 0, 0, 0};
  for (auto _ : state) rig.hid.SendAndWait(report);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(ReportDelivery)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return zr::bench::RunBenchmarks(argc, argv, [] {
    if (gIdleReaderWoke) std::fprintf(stderr, "an idle reader woke up\n");
    return !gIdleReaderWoke;
  });
}
