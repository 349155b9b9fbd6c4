#include "device/hid_data.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "common/text.h"
#include "platform/error_codes.h"
#include "support/ini_file.h"
#include "support/main_thread_hand_offs.h"

namespace zr {

namespace detail {

// What the readers of one component share with it and with each other. The
// readers keep it alive; the component leaves it when it goes, so a reader
// that outlives it raises nothing and touches no platform service.
struct ReaderShared {
  explicit ReaderShared(Platform& p) : platform(p) {}

  Platform& platform;
  std::shared_ptr<KernelEvent> stopEvent;
  // Counts the stop requests, so that a reader busy delivering while the
  // stop event is set still ends before its next read.
  std::atomic<std::uint64_t> stopGeneration{0};

  // Guards `component` and every raise of the component's events.
  std::recursive_mutex mutex;
  TqvHIDData* component = nullptr;

  // The button computation's usage lists, shared by all readers.
  std::mutex usageMutex;
  std::array<std::uint16_t, kMaxUsages> previousUsages{};

  // Readers between their check of `component` and the end of their
  // hand-off to the main thread: the component waits for them when it goes,
  // so that none reaches the platform afterwards.
  MainThreadHandOffs handOffs;

  std::atomic<int> running{0};
  std::atomic<std::uint64_t> wakeUps{0};
};

}  // namespace detail

namespace {

bool EndsTheReader(std::uint32_t error) {
  return error == kErrorOperationAborted || error == kErrorDeviceNotConnected || error == kErrorInvalidHandle;
}

}  // namespace

void UsageListDifference(std::span<const std::uint16_t> previous, std::span<const std::uint16_t> current,
                         std::span<std::uint16_t> breakList, std::span<std::uint16_t> makeList, std::size_t length) {
  auto used = [length](std::span<const std::uint16_t> list) {
    const auto end = list.begin() + static_cast<std::ptrdiff_t>(std::min(length, list.size()));
    return std::span<const std::uint16_t>(list.begin(), std::find(list.begin(), end, 0));
  };
  const auto prev = used(previous);
  const auto cur = used(current);
  auto fill = [&](std::span<const std::uint16_t> from, std::span<const std::uint16_t> against,
                  std::span<std::uint16_t> out) {
    std::fill(out.begin(), out.end(), 0);
    std::size_t n = 0;
    for (const std::uint16_t u : from) {
      if (std::find(against.begin(), against.end(), u) == against.end() && n < out.size()) out[n++] = u;
    }
  };
  fill(prev, cur, breakList);
  fill(cur, prev, makeList);
}

// ---- the component --------------------------------------------------------------

TqvHIDData::TqvHIDData(Platform& platform)
    : platform_(platform), shared_(std::make_shared<detail::ReaderShared>(platform)) {
  shared_->stopEvent = platform_.kernel.CreateManualResetEvent();
  shared_->component = this;
  FHidGuid = platform_.hid.HidGuid().value_or(kHidInterfaceGuid);
  const IniFile ini = LoadConfigIni(platform_.files, platform_.system);
  FHidDeviceList = ini.ReadIdList("IncludeHIDDeviceList", 101);
}

TqvHIDData::~TqvHIDData() { DetachReaders(); }

void TqvHIDData::DetachReaders() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->component = nullptr;
  }
  // The event stays set: every reader still waiting ends.
  ++shared_->stopGeneration;
  shared_->stopEvent->Set();
  shared_->handOffs.CloseAndWait(platform_.windowing);
}

int TqvHIDData::RunningReaders() const { return shared_->running.load(); }
std::uint64_t TqvHIDData::ReaderWakeUps() const { return shared_->wakeUps.load(); }

bool TqvHIDData::AnyIncludedIn(const std::vector<std::string>& hardwareIds) const {
  return std::any_of(FHidDeviceList.begin(), FHidDeviceList.end(),
                     [&](const std::string& entry) { return ContainsIgnoreCase(hardwareIds, entry); });
}

TqvHIDData::Filter TqvHIDData::DeviceFilter(const std::string& DeviceID) const {
  return [this, DeviceID](const std::vector<std::string>& ids) {
    if (!DeviceID.empty() && DeviceID != "*") return ContainsIgnoreCase(ids, DeviceID);
    if (FHidDeviceList.empty()) return true;
    return AnyIncludedIn(ids);
  };
}

void TqvHIDData::Walk(const Filter& filter, bool overlapped, USAGE_AND_PAGE usage, const Action& action) {
  const auto interfaces = platform_.hid.PresentInterfaces(FHidGuid);
  if (!interfaces) return;
  for (const HidInterface& item : *interfaces) {
    if (!item.detailSizeKnown) continue;
    if (!filter(item.hardwareIds)) continue;
    std::uint32_t error = 0;
    const auto collection = platform_.hid.Open(item.devicePath, overlapped, error);
    if (!collection) continue;
    if (!collection->GetAttributes()) continue;
    const auto caps = collection->GetCaps();
    if (!caps) continue;
    if (caps->UsagePage == usage.UsagePage && caps->Usage == usage.Usage) action(item, *collection, *caps);
  }
}

void TqvHIDData::HidFindAndReadDevice(USAGE_AND_PAGE UsageAndPage, const std::string& HIDID) {
  const Filter filter = [&](const std::vector<std::string>& ids) {
    if (FHidDeviceList.empty()) return true;
    if (HIDID == "*") return AnyIncludedIn(ids);
    return ContainsIgnoreCase(ids, HIDID);
  };
  Walk(filter, true, UsageAndPage, [&](const HidInterface& item, HidCollection&, const HidCaps&) {
    auto reader = std::make_shared<TqvHidDeviceReadThread>(
        shared_, item.hardwareIds.empty() ? std::string() : item.hardwareIds.front(), item.devicePath);
    platform_.kernel.StartThread([reader] { return reader->Execute(); });
  });
}

bool TqvHIDData::HidFindAndWriteDevice(const THIDDataParam& ReportData) {
  const std::uint32_t size = ReportData.Data.DATASIZE;
  if (size >= THidReallyData::kRawCapacity) return false;
  bool written = false;
  Walk(DeviceFilter(ReportData.DeviceID), false, ReportData.UsageAndPage,
       [&](const HidInterface&, HidCollection& c, const HidCaps& caps) {
         if (caps.OutputReportByteLength < size) return;
         if (c.Write({ReportData.Data.Raw(), size + 1}) == kErrorSuccess) written = true;
       });
  return written;
}

bool TqvHIDData::HidFindAndWriteDeviceBYHID(const THIDDataParam& ReportData) {
  const std::uint32_t size = ReportData.Data.DATASIZE;
  if (size > THidReallyData::kRawCapacity) return false;
  bool written = false;
  Walk([](const std::vector<std::string>&) { return true; }, false, ReportData.UsageAndPage,
       [&](const HidInterface&, HidCollection& c, const HidCaps& caps) {
         if (caps.OutputReportByteLength < size) return;
         if (c.Write({ReportData.Data.Raw(), size}) == kErrorSuccess) written = true;
       });
  return written;
}

std::uint32_t TqvHIDData::HidFindAndGetFeatureReport(THIDDataParam& ReportData) {
  const std::uint32_t size = ReportData.Data.DATASIZE;
  if (size > THidReallyData::kRawCapacity) return kErrorInvalidParameter;
  std::uint32_t result = kErrorDeviceNotConnected;
  std::vector<std::uint8_t> work;
  Walk(DeviceFilter(ReportData.DeviceID), false, ReportData.UsageAndPage,
       [&](const HidInterface&, HidCollection& c, const HidCaps& caps) {
         if (caps.FeatureReportByteLength < size) return;
         work.assign(size, 0);
         if (!work.empty()) work[0] = ReportData.Data.ReportID;
         result = c.GetFeature(work);
         if (result == kErrorSuccess) std::copy(work.begin(), work.end(), ReportData.Data.Raw());
       });
  return result;
}

std::uint32_t TqvHIDData::HidFindAndSetFeatureReport(THIDDataParam& ReportData) {
  const std::uint32_t size = ReportData.Data.DATASIZE;
  if (size > THidReallyData::kRawCapacity) return kErrorInvalidParameter;
  std::uint32_t result = kErrorDeviceNotConnected;
  Walk(DeviceFilter(ReportData.DeviceID), false, ReportData.UsageAndPage,
       [&](const HidInterface&, HidCollection& c, const HidCaps& caps) {
         if (caps.FeatureReportByteLength < size) return;
         ReportData.DeviceHandle = c.HandleValue();
         result = c.SetFeature({ReportData.Data.Raw(), size});
       });
  return result;
}

bool TqvHIDData::IsDeviceExist(const THIDDataParam& ReportData) {
  bool found = false;
  Walk(DeviceFilter(ReportData.DeviceID), false, ReportData.UsageAndPage,
       [&](const HidInterface&, HidCollection&, const HidCaps&) { found = true; });
  return found;
}

void TqvHIDData::HidStopRead() {
  ++shared_->stopGeneration;
  shared_->stopEvent->Set();
  platform_.windowing.Sleep(20);
  shared_->stopEvent->Reset();
}

// ---- the reader ---------------------------------------------------------------------

TqvHidDeviceReadThread::TqvHidDeviceReadThread(std::shared_ptr<detail::ReaderShared> shared, std::string ADeviceID,
                                               std::string ADevicePath)
    : FDeviceID(std::move(ADeviceID)),
      FDevicePath(std::move(ADevicePath)),
      shared_(std::move(shared)),
      generation_(shared_->stopGeneration.load()) {
  std::uint32_t error = 0;
  FDeviceHandle = shared_->platform.hid.Open(FDevicePath, true, error);
  if (FDeviceHandle) {
    if (const auto caps = FDeviceHandle->GetCaps()) {
      FInputReportLength = caps->InputReportByteLength;
      FOutputReportLength = caps->OutputReportByteLength;
    }
  }
  FReport.assign(static_cast<std::size_t>(FInputReportLength), 0);
  ++shared_->running;
}

TqvHidDeviceReadThread::~TqvHidDeviceReadThread() {
  if (!left_) --shared_->running;
}

void TqvHidDeviceReadThread::Leave() {
  FDeviceHandle.reset();
  if (!left_) --shared_->running;
  left_ = true;
}

ThreadRun TqvHidDeviceReadThread::Execute() {
  if (!started_) {
    started_ = true;
    Debug("TqvHidDeviceReadThread start ++++++++++++++++");
  }
  while (!terminated_) {
    if (!readPending_) {
      if (shared_->stopGeneration.load() != generation_) {
        terminated_ = true;
        break;
      }
      std::fill(FReport.begin(), FReport.end(), 0);
      const std::uint32_t error = FDeviceHandle ? FDeviceHandle->StartRead(FReport.size()) : kErrorInvalidHandle;
      if (EndsTheReader(error)) {
        terminated_ = true;
        break;
      }
      // A read that could not start for another reason leaves only the stop
      // to end the wait.
      readPending_ = true;
    }
    const HidReadWait wait = FDeviceHandle->WaitForReadOrStop(*shared_->stopEvent);
    if (wait == HidReadWait::NotYet) return ThreadRun::Waiting;
    readPending_ = false;
    ++shared_->wakeUps;
    // A stop that came while the read was pending ends the reader also when
    // its wait missed the stop pulse: nothing is delivered after a stop.
    if (wait != HidReadWait::Completed || shared_->stopGeneration.load() != generation_) {
      terminated_ = true;
      break;
    }
    std::uint32_t bytes = 0;
    const std::uint32_t error = FDeviceHandle->FinishRead(FReport, bytes);
    NumBytesRead = bytes;
    if (error == kErrorOperationAborted || error == kErrorDeviceNotConnected) {
      terminated_ = true;
      Debug("ERROR_DEVICE_NOT_CONNECTED++++++++++++++++");
      RaiseDeviceNotConnected();
      break;
    }
    if (error != kErrorSuccess) {
      // A device in a bad state fails every read at once: pause before the
      // next one, longer while the failures go on.
      failurePause_ = std::clamp<std::uint32_t>(failurePause_ * 2, kFirstFailurePauseMs, kLongestFailurePauseMs);
      shared_->platform.windowing.Sleep(failurePause_);
      continue;
    }
    failurePause_ = 0;
    if (NumBytesRead > 0) Deliver();
  }
  Leave();
  return ThreadRun::Ended;
}

void TqvHidDeviceReadThread::Debug(const char* text) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->component != nullptr) shared_->platform.system.DebugOutput(text);
}

void TqvHidDeviceReadThread::RaiseDeviceNotConnected() {
  std::lock_guard lock(shared_->mutex);
  TqvHIDData* c = shared_->component;
  if (c != nullptr && c->OnDeviceNotConnected) c->OnDeviceNotConnected(FDeviceID, FDevicePath);
}

void TqvHidDeviceReadThread::Deliver() {
  const auto deliver = [this] {
    std::lock_guard lock(shared_->mutex);
    TqvHIDData* c = shared_->component;
    if (c == nullptr) return;
    const std::uint8_t reportId = FReport.empty() ? 0 : FReport[0];
    if (c->OnData) {
      const auto size = static_cast<std::uint16_t>(NumBytesRead == 0 ? 0 : NumBytesRead - 1);
      c->OnData(FDeviceID, FDevicePath, reportId, FReport.data() + 1, size);
    }
    if (c->OnParsedData) c->OnParsedData(FDeviceID, FDevicePath, reportId, ButtonData());
  };
  {
    std::lock_guard lock(shared_->mutex);
    if (shared_->component == nullptr) return;
    if (shared_->component->FastOnData.load()) {
      deliver();
      return;
    }
    if (!shared_->handOffs.Begin()) return;
  }
  shared_->platform.windowing.RunOnMainThread(deliver);
  shared_->handOffs.End();
}

std::uint32_t TqvHidDeviceReadThread::ButtonData() {
  const std::size_t n = std::min<std::size_t>(FDeviceHandle->MaxInputUsageListLength(), kMaxUsages);
  if (n == 0) return 0;
  std::lock_guard lock(shared_->usageMutex);
  const auto usages = FDeviceHandle->GetInputUsages(FReport, n);
  if (!usages) return 0;
  std::array<std::uint16_t, kMaxUsages> current{};
  for (std::size_t i = 0; i < usages->size() && i < n; ++i) current[i] = (*usages)[i].Usage;
  std::array<std::uint16_t, kMaxUsages> breaks{};
  std::array<std::uint16_t, kMaxUsages> makes{};
  UsageListDifference(shared_->previousUsages, current, breaks, makes, n);
  shared_->previousUsages = current;
  std::uint32_t data = 0;
  if (makes[0] != 0) data = std::uint32_t(makes[0]) << 16;
  if (breaks[0] != 0) data = (data << 16) | breaks[0];
  return data;
}

}  // namespace zr
