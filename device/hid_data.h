// TqvHIDData, the HID access component: every operation walks the HID
// collections present at that moment, keeps those of the caller's usage page
// and usage whose device passes the hardware-ID filter, and applies itself to
// each of them. Input reports are read by one TqvHidDeviceReadThread per
// collection and handed to the component's events.
//
// Readers and threads: a reader's body (Execute) is resumable, as
// platform/kernel.h describes. On the real platform it runs on a thread of
// its own and blocks in one alertable wait on its pending read and the
// read-stop event together, so an idle reader costs nothing and wakes only
// for a completed read or a stop. On the simulated platform the same body
// runs whenever the simulated mouse completes a read or the stop event is
// set, on the caller's thread, which keeps the native tests on virtual time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/guid.h"
#include "device/hid_types.h"
#include "platform/platform.h"

namespace zr {

using TqvHIDDataReceived = std::function<void(const std::string& ADeviceID, const std::string& ADevicePath,
                                              std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size)>;
using TqvHIDParsedDataReceived = std::function<void(const std::string& ADeviceID, const std::string& ADevicePath,
                                                    std::uint8_t ReportID, std::uint32_t ButtonData)>;
using TqvHIDDeviceNotConnected = std::function<void(const std::string& ADeviceID, const std::string& ADevicePath)>;

// The usages of `previous` missing from `current` go to `breakList`, those of
// `current` missing from `previous` to `makeList`; a list ends at its first
// zero or after `length` entries, and the rest of both results is zero.
// `length` must not exceed the size of any of the four lists.
void UsageListDifference(std::span<const std::uint16_t> previous, std::span<const std::uint16_t> current,
                         std::span<std::uint16_t> breakList, std::span<std::uint16_t> makeList, std::size_t length);

// How many usages the button computation keeps.
inline constexpr std::size_t kMaxUsages = 100;

namespace detail {
struct ReaderShared;
}

class TqvHIDData {
 public:
  // Creates the read-stop event, takes the HID interface class from the
  // platform (or the fixed HID class when it cannot tell) and reads the
  // include list from config.ini beside the executable.
  explicit TqvHIDData(Platform& platform);
  // Detaches the readers.
  ~TqvHIDData();
  TqvHIDData(const TqvHIDData&) = delete;
  TqvHIDData& operator=(const TqvHIDData&) = delete;

  // Starts one reader per matching collection.
  void HidFindAndReadDevice(USAGE_AND_PAGE UsageAndPage, const std::string& HIDID);
  // True when at least one output report was written (DATASIZE + 1 bytes).
  bool HidFindAndWriteDevice(const THIDDataParam& ReportData);
  // The same with DATASIZE bytes and no hardware-ID filter.
  bool HidFindAndWriteDeviceBYHID(const THIDDataParam& ReportData);
  // 0, or the error of the last collection served; ERROR_DEVICE_NOT_CONNECTED
  // when none matched, ERROR_INVALID_PARAMETER for a DATASIZE beyond the
  // report buffer.
  std::uint32_t HidFindAndGetFeatureReport(THIDDataParam& ReportData);
  std::uint32_t HidFindAndSetFeatureReport(THIDDataParam& ReportData);
  bool IsDeviceExist(const THIDDataParam& ReportData);
  // Asks every reader running now to end.
  void HidStopRead();
  // Asks every reader to end and lets them go: from its return on, none of
  // them raises an event or delivers a report (a raise in progress on a
  // reader thread is waited for).
  void DetachReaders();

  const std::vector<std::string>& GetHIDDeviceList() const { return FHidDeviceList; }
  void SetUsageAndPage(USAGE_AND_PAGE AUsageAndPage) { FUsageAndPage = AUsageAndPage; }
  USAGE_AND_PAGE GetUsageAndPage() const { return FUsageAndPage; }

  // Readers whose thread has not ended, and how often they have woken from
  // their wait, summed over this component's readers.
  int RunningReaders() const;
  std::uint64_t ReaderWakeUps() const;

  // True: the events are raised on the reader thread; false: on the main
  // thread, while the reader waits.
  std::atomic<bool> FastOnData{false};
  TqvHIDDataReceived OnData;
  TqvHIDParsedDataReceived OnParsedData;
  // Raised on the reader thread.
  TqvHIDDeviceNotConnected OnDeviceNotConnected;

  USAGE_AND_PAGE FUsageAndPage{0, 0};
  Guid FHidGuid{};
  std::vector<std::string> FHidDeviceList;

 private:
  using Filter = std::function<bool(const std::vector<std::string>& hardwareIds)>;
  using Action = std::function<void(const HidInterface&, HidCollection&, const HidCaps&)>;
  // The collection walk: `action` for every collection of the usage whose
  // device passes `filter`.
  void Walk(const Filter& filter, bool overlapped, USAGE_AND_PAGE usage, const Action& action);
  // The filter of every operation except reading.
  Filter DeviceFilter(const std::string& DeviceID) const;
  bool AnyIncludedIn(const std::vector<std::string>& hardwareIds) const;

  Platform& platform_;
  std::shared_ptr<detail::ReaderShared> shared_;
};

// One reader: its own overlapped handle to one collection, its report
// buffer, and the loop that reads and delivers reports.
class TqvHidDeviceReadThread {
 public:
  // Opens the collection and reads its report lengths; the caller starts
  // the thread.
  TqvHidDeviceReadThread(std::shared_ptr<detail::ReaderShared> shared, std::string ADeviceID,
                         std::string ADevicePath);
  ~TqvHidDeviceReadThread();
  TqvHidDeviceReadThread(const TqvHidDeviceReadThread&) = delete;
  TqvHidDeviceReadThread& operator=(const TqvHidDeviceReadThread&) = delete;

  // The thread body.
  ThreadRun Execute();
  bool Terminated() const { return terminated_; }
  void Terminate() { terminated_ = true; }

  const std::string FDeviceID;
  const std::string FDevicePath;
  std::int32_t FInputReportLength = 0;
  std::int32_t FOutputReportLength = 0;
  std::uint32_t NumBytesRead = 0;

 private:
  void Deliver();
  std::uint32_t ButtonData();
  void RaiseDeviceNotConnected();
  void Debug(const char* text);
  void Leave();

  std::shared_ptr<detail::ReaderShared> shared_;
  std::unique_ptr<HidCollection> FDeviceHandle;
  std::vector<std::uint8_t> FReport;
  std::uint64_t generation_;
  bool started_ = false;
  bool readPending_ = false;
  bool terminated_ = false;
  bool left_ = false;
  // The pause after a failed read: 1 ms, doubled while reads keep failing,
  // at most 100 ms; 0 after a read that succeeded.
  static constexpr std::uint32_t kFirstFailurePauseMs = 1;
  static constexpr std::uint32_t kLongestFailurePauseMs = 100;
  std::uint32_t failurePause_ = 0;
};

}  // namespace zr
