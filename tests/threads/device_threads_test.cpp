// The device components' threads on real threads: HID readers handing
// reports to the main thread while the component goes, and the filter
// driver's workers stopped while a read request is pending.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "device/hid_data.h"
#include "device/std_command.h"
#include "platform/error_codes.h"
#include "tests/threads/real_threads.h"

namespace zr {
namespace {

using namespace std::chrono_literals;

// A mouse whose vendor collections always have the next input report ready.
class StreamingHid final : public HidPort {
 public:
  explicit StreamingHid(Kernel& kernel) : ready_(kernel.CreateManualResetEvent()), kernel_(kernel) { ready_->Set(); }
  std::optional<Guid> HidGuid() override { return kHidInterfaceGuid; }
  std::optional<std::vector<HidInterface>> PresentInterfaces(const Guid&) override {
    return std::vector<HidInterface>{{"\\\\?\\hid#col01", {"HID\\VID_5A3C&PID_0001"}, true},
                                     {"\\\\?\\hid#col02", {"HID\\VID_5A3C&PID_0001"}, true}};
  }
  std::unique_ptr<HidCollection> Open(std::string_view, bool, std::uint32_t&) override {
    return std::make_unique<Collection>(*this);
  }
  std::optional<std::vector<std::vector<std::string>>> PresentDevicesOfSetupClass(const Guid&) override {
    return std::vector<std::vector<std::string>>{};
  }

 private:
  struct Collection final : HidCollection {
    explicit Collection(StreamingHid& hid) : hid_(hid) {}
    std::uint32_t HandleValue() const override { return 1; }
    bool GetAttributes() override { return true; }
    std::optional<HidCaps> GetCaps() override { return HidCaps{0x0001, 0xFFA0, 8, 8, 8}; }
    std::uint32_t GetFeature(std::span<std::uint8_t>) override { return kErrorSuccess; }
    std::uint32_t SetFeature(std::span<const std::uint8_t>) override { return kErrorSuccess; }
    std::uint32_t Write(std::span<const std::uint8_t>) override { return kErrorSuccess; }
    std::uint32_t MaxInputUsageListLength() override { return 0; }
    std::optional<std::vector<USAGE_AND_PAGE>> GetInputUsages(std::span<const std::uint8_t>, std::size_t) override {
      return std::nullopt;
    }
    std::uint32_t StartRead(std::size_t) override { return kErrorSuccess; }
    HidReadWait WaitForReadOrStop(KernelEvent& stop) override {
      KernelEvent* const events[] = {&stop, hid_.ready_.get()};
      return hid_.kernel_.WaitForAny(events) == 1 ? HidReadWait::Completed : HidReadWait::Stopped;
    }
    std::uint32_t FinishRead(std::span<std::uint8_t> buffer, std::uint32_t& bytesRead) override {
      const std::uint8_t report[8] = {8, 2, 1, 0, 0, 0, 0, 0};  // a CPI stage
      bytesRead = static_cast<std::uint32_t>(std::min(buffer.size(), sizeof report));
      std::copy_n(report, bytesRead, buffer.begin());
      return kErrorSuccess;
    }
    StreamingHid& hid_;
  };
  std::shared_ptr<KernelEvent> ready_;
  Kernel& kernel_;
};

TEST(DeviceThreads, ReadersHandingReportsOverWhileTheComponentGoes) {
  test::RealThreadProcess p;
  StreamingHid hid(p.kernel);
  Platform platform = p.With({.hid = &hid});
  for (int round = 0; round < 20; ++round) {
    auto component = std::make_unique<TqvHIDData>(platform);
    std::atomic<int> delivered{0}, afterGone{0};
    std::atomic<bool> gone{false};
    component->OnData = [&](const std::string&, const std::string&, std::uint8_t, const std::uint8_t*,
                            std::uint16_t) {
      if (gone) ++afterGone;
      ++delivered;
    };
    component->HidFindAndReadDevice({0x0001, 0xFFA0}, "*");
    ASSERT_EQ(component->RunningReaders(), 2);
    p.windowing.WaitForHandOff();
    while (delivered < 10) p.windowing.ProcessMessages();
    // Both readers keep handing reports over while it goes.
    gone = true;
    test::WithinBound(30s, "destroying the HID component", [&] { component.reset(); });
    EXPECT_EQ(afterGone.load(), 0);
  }
  test::WithinBound(30s, "the readers' end", [&] { p.kernel.JoinAll(); });
}

// A filter driver whose read requests complete in turn: one at once with a
// report, the next only when it is cancelled.
class PendingControlDevices final : public ControlDevices {
 public:
  std::shared_ptr<ControlDevice> Open(std::string_view, bool, std::uint32_t&) override {
    return std::make_shared<Device>(*this);
  }
  // Blocks until a read request is pending.
  void WaitForPending() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_ > 0; });
  }
  int Cancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

 private:
  struct Device final : ControlDevice {
    explicit Device(PendingControlDevices& d) : d_(d) {}
    std::uint32_t IoControl(std::uint32_t, std::span<std::uint8_t>) override { return kErrorSuccess; }
    std::uint32_t StartIoControl(std::uint32_t, std::span<const std::uint8_t>, std::size_t,
                                 KernelEvent& done) override {
      std::lock_guard lock(d_.mutex_);
      if (closed_) return kErrorInvalidHandle;
      done.Reset();
      if (++requests_ % 2 == 1) {
        state_ = State::Completed;
        done.Set();
        return kErrorSuccess;
      }
      state_ = State::Pending;
      done_ = &done;
      ++d_.pending_;
      d_.changed_.notify_all();
      return kErrorIoPending;
    }
    std::uint32_t FinishIoControl(std::span<std::uint8_t> output, std::uint32_t& bytes) override {
      std::lock_guard lock(d_.mutex_);
      switch (state_) {
        case State::Completed:
          state_ = State::Idle;
          bytes = static_cast<std::uint32_t>(std::min<std::size_t>(output.size(), 4));
          std::fill_n(output.begin(), bytes, std::uint8_t{0x5A});
          return kErrorSuccess;
        case State::Aborted:
          state_ = State::Idle;
          return kErrorOperationAborted;
        case State::Pending:
          return kErrorIoIncomplete;
        case State::Idle:
          break;
      }
      return kErrorInvalidHandle;
    }
    void CancelIo() override {
      std::lock_guard lock(d_.mutex_);
      Cancel();
    }
    void Close() override {
      std::lock_guard lock(d_.mutex_);
      closed_ = true;
      Cancel();
    }
    // Under the lock.
    void Cancel() {
      if (state_ != State::Pending) return;
      state_ = State::Aborted;
      --d_.pending_;
      ++d_.cancelled_;
      done_->Set();
    }
    enum class State { Idle, Completed, Pending, Aborted };
    PendingControlDevices& d_;
    State state_ = State::Idle;
    KernelEvent* done_ = nullptr;
    int requests_ = 0;
    bool closed_ = false;
  };
  std::mutex mutex_;
  std::condition_variable changed_;
  int pending_ = 0;
  int cancelled_ = 0;
};

TEST(DeviceThreads, TheDriverWorkersStopWhileARequestIsPending) {
  test::RealThreadProcess p;
  PendingControlDevices driver;
  Platform platform = p.With({.controlDevices = &driver});
  auto command = std::make_unique<TqvSTDCommand>(platform);
  std::atomic<int> received{0};
  command->OnDataReceived = [&](const std::uint8_t*, std::uint32_t) { ++received; };
  const std::uint8_t init[] = {0x3C, 0x5A, 1, 2, 3};
  command->SetDeviceInitData(init, 0x80008010, 0x80008014, 4, 16);
  constexpr int kRounds = 30;
  test::WithinBound(60s, "stopping the driver's workers", [&] {
    for (int round = 0; round < kRounds; ++round) {
      command->StartMonitorDevice();
      driver.WaitForPending();
      command->StopMonitorDevice();
    }
    command->StartMonitorDevice();
    driver.WaitForPending();
    command.reset();
    p.kernel.JoinAll();
  });
  EXPECT_EQ(driver.Cancelled(), kRounds + 1);
  EXPECT_EQ(received.load(), kRounds + 1);
}

}  // namespace
}  // namespace zr
