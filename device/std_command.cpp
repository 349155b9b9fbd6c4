#include "device/std_command.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/text.h"
#include "device/cpi_steps.h"
#include "platform/error_codes.h"
#include "support/ini_file.h"

namespace zr {

// One worker: its turn event, its thread, and the state its body keeps
// between runs.
struct TqvSTDCommand::Worker {
  std::shared_ptr<KernelEvent> turn;
  std::unique_ptr<KernelThread> thread;
  std::atomic<bool> endRequested{false};

  // WaitForEnd: the request was cancelled at the stop signal; its buffers
  // stay in use until its result is fetched.
  enum class Step { WaitForTurn, WaitForRequest, WaitForEnd };
  Step step = Step::WaitForTurn;
  std::shared_ptr<KernelEvent> requestDone;
  std::shared_ptr<ControlDevice> device;  // of the request in progress
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;

  bool Running() const { return thread && !thread->Finished(); }
};

TqvSTDCommand::TqvSTDCommand(Platform& platform) : platform_(platform) {
  FTimerToStartMonitor = std::make_unique<TTimer>(platform_.windowing, 1500, false);
  FTimerToStartMonitor->OnTimer = [this] {
    FTimerToStartMonitor->SetEnabled(false);
    StartMonitorDevice();
  };
  FGlobalEvent = platform_.kernel.CreateManualResetEvent();
  FGlobalDataEvent1 = platform_.kernel.CreateManualResetEvent();
  FGlobalDataEvent2 = platform_.kernel.CreateManualResetEvent();

  const IniFile ini = LoadConfigIni(platform_.files, platform_.system);
  FHidDeviceList = ini.ReadIdList("devicelist", 101);
  FUsbDeviceList = ini.ReadIdList("usbdevicelist", 101);
  TDriverInfo& d = FDriverInfo;
  d.InfFileName = ini.ReadString("DEVICE", "InfFileName", d.InfFileName);
  d.FileName = ini.ReadString("DEVICE", "FileName", d.FileName);
  d.ServiceName = ini.ReadString("DEVICE", "ServiceName", d.ServiceName);
  d.ServiceNamex86 = ini.ReadString("DEVICE", "ServiceNamex86", d.ServiceNamex86);
  d.ServiceNamex64 = ini.ReadString("DEVICE", "ServiceNamex64", d.ServiceNamex64);
  d.DeviceName = ini.ReadString("DEVICE", "DeviceName", d.DeviceName);
  d.WHQL = ini.ReadInteger("DEVICE", "WHQL", d.WHQL);
  d.X32WHQL = ini.ReadInteger("DEVICE", "X32WHQL", d.X32WHQL);
  d.UpperFilter = ini.ReadInteger("DEVICE", "UpperFilter", d.UpperFilter);
  FDevicePath = "\\\\.\\" + d.DeviceName;

  FHIDEvent = std::make_unique<TqvHIDEvent>(platform_);
  FHIDEvent->OnDeviceArrival = [this](TqvHIDEvent&) { DeviceArrived(); };
  FHIDEvent->OnDeviceRemove = [this](TqvHIDEvent&) { DeviceRemoved(); };

  FIdThreadComponentGetData1 = std::make_unique<Worker>();
  FIdThreadComponentGetData1->turn = FGlobalDataEvent1;
  FIdThreadComponentGetData2 = std::make_unique<Worker>();
  FIdThreadComponentGetData2->turn = FGlobalDataEvent2;
}

TqvSTDCommand::~TqvSTDCommand() {
  FGlobalEvent->Set();
  platform_.windowing.Sleep(200);
  for (Worker* w : {FIdThreadComponentGetData1.get(), FIdThreadComponentGetData2.get()}) {
    if (w->Running()) {
      w->endRequested = true;
      w->thread->Join();
    }
  }
  CloseReadHandle();
  FHIDEvent.reset();
  FTimerToStartMonitor.reset();
}

void TqvSTDCommand::DeviceArrived() {
  if (OnDeviceArrialEvent) OnDeviceArrialEvent(*FHIDEvent);
  FTimerToStartMonitor->Restart();
}

void TqvSTDCommand::DeviceRemoved() {
  if (OnDeviceRemovalEvent) OnDeviceRemovalEvent(*FHIDEvent);
  FGlobalEvent->Set();
  CloseReadHandle();
  FTimerToStartMonitor->Restart();
}

std::shared_ptr<ControlDevice> TqvSTDCommand::ReadHandle() {
  std::lock_guard lock(readHandleMutex_);
  return FHidOverlappedRead;
}

void TqvSTDCommand::CloseReadHandle() {
  std::shared_ptr<ControlDevice> device;
  {
    std::lock_guard lock(readHandleMutex_);
    device.swap(FHidOverlappedRead);
  }
  if (device) device->Close();
}

std::uint32_t TqvSTDCommand::DeviceRW(std::span<std::uint8_t> Buffer, std::uint32_t IoControlCode) {
  std::uint32_t error = 0;
  const auto device = platform_.controlDevices.Open(FDevicePath, false, error);
  if (!device) return kErrorNotReady;
  const std::uint32_t result = device->IoControl(IoControlCode, Buffer);
  device->Close();
  return result;
}

bool TqvSTDCommand::GetIsDeviceExist() {
  std::uint32_t error = 0;
  const auto device = platform_.controlDevices.Open(FDevicePath, false, error);
  if (!device) return false;
  device->Close();
  return true;
}

void TqvSTDCommand::SetDeviceInitData(std::span<const std::uint8_t> DeviceInitData,
                                      std::uint32_t DeviceInitIoControlCode, std::uint32_t ReadIoControlCode,
                                      std::int32_t AInputReportLength, std::int32_t AOutputReportLength) {
  if (DeviceInitData.empty()) return;
  auto length = [](std::int32_t n) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(n, 0, kWorkerBufferRoom));
  };
  FDeviceInitData.assign(DeviceInitData.begin(), DeviceInitData.end());
  FDeviceDataInitIOCode = DeviceInitIoControlCode;
  FReadIOCode = ReadIoControlCode;
  FInputReportLength = length(AInputReportLength);
  FOutputReportLength = length(AOutputReportLength);
}

void TqvSTDCommand::SetMonitorData(std::span<const std::uint8_t> DeviceInitData,
                                   std::uint32_t DeviceInitIoControlCode, std::uint32_t ReadIoControlCode,
                                   std::int32_t AInputReportLength, std::int32_t AOutputReportLength) {
  SetDeviceInitData(DeviceInitData, DeviceInitIoControlCode, ReadIoControlCode, AInputReportLength,
                    AOutputReportLength);
  SetMonitorData();
}

void TqvSTDCommand::SetMonitorData() {
  if (FDeviceInitData.empty()) return;
  std::vector<std::uint8_t> copy = FDeviceInitData;
  (void)DeviceRW(copy, FDeviceDataInitIOCode);
}

void TqvSTDCommand::StartOrStop(bool start) {
  if (FDeviceInitData.empty()) return;
  if (FActive) {
    CloseReadHandle();
    FGlobalEvent->Set();
    FActive = false;
    for (Worker* w : {FIdThreadComponentGetData1.get(), FIdThreadComponentGetData2.get()}) {
      if (w->Running()) {
        w->endRequested = true;
        w->thread->Join();
      }
    }
  }
  if (!start) return;
  {
    std::lock_guard lock(readHandleMutex_);
    if (!FHidOverlappedRead) {
      std::uint32_t error = 0;
      FHidOverlappedRead = platform_.controlDevices.Open(FDevicePath, true, error);
    }
    if (!FHidOverlappedRead) return;
  }
  FActive = true;
  SetMonitorData();
  FGlobalDataEvent1->Reset();
  FGlobalDataEvent2->Reset();
  FGlobalEvent->Reset();
  FGlobalDataEvent1->Set();
  Worker& w1 = *FIdThreadComponentGetData1;
  Worker& w2 = *FIdThreadComponentGetData2;
  for (const auto& turn : {std::pair{&w1, &w2}, std::pair{&w2, &w1}}) {
    Worker* self = turn.first;
    Worker* other = turn.second;
    if (self->Running()) continue;
    self->endRequested = false;
    self->step = Worker::Step::WaitForTurn;
    self->requestDone.reset();
    self->device.reset();
    self->thread = platform_.kernel.StartThread([this, self, other] { return WorkerBody(*self, *other); });
  }
}

ThreadRun TqvSTDCommand::WorkerBody(Worker& self, Worker& other) {
  Kernel& kernel = platform_.kernel;
  if (!self.requestDone) self.requestDone = kernel.CreateManualResetEvent();
  for (;;) {
    std::uint32_t result = kErrorSuccess;
    std::uint32_t bytes = 0;
    if (self.step == Worker::Step::WaitForTurn) {
      if (!FActive && self.endRequested) break;
      KernelEvent* const events[] = {self.turn.get(), FGlobalEvent.get()};
      const int r = kernel.WaitForAny(events);
      if (r == kWaitNotYet) return ThreadRun::Waiting;
      if (r != 0) break;  // the stop signal, or a wait that failed
      self.turn->Reset();
      // The read exchange.
      self.device = ReadHandle();
      self.input.assign(FInputReportLength, 0);
      self.output.assign(FOutputReportLength, 0);
      result = self.device ? self.device->StartIoControl(FReadIOCode, self.input, self.output.size(), *self.requestDone)
                           : kErrorInvalidHandle;
      if (result == kErrorIoPending) {
        self.step = Worker::Step::WaitForRequest;
        continue;
      }
      if (result == kErrorSuccess) (void)self.device->FinishIoControl(self.output, bytes);
    } else if (self.step == Worker::Step::WaitForEnd) {
      KernelEvent* const events[] = {self.requestDone.get()};
      const int r = kernel.WaitForAny(events);
      if (r == kWaitNotYet) return ThreadRun::Waiting;
      if (r == 0) (void)self.device->FinishIoControl(self.output, bytes);
      break;
    } else {
      KernelEvent* const events[] = {self.requestDone.get(), FGlobalEvent.get()};
      const int r = kernel.WaitForAny(events);
      if (r == kWaitNotYet) return ThreadRun::Waiting;
      self.step = Worker::Step::WaitForTurn;
      if (r != 0) {
        // Only this thread can cancel the request everywhere; its end is
        // awaited before the buffers and the handle go.
        self.device->CancelIo();
        if (r == 1) {
          self.step = Worker::Step::WaitForEnd;
          continue;
        }
        result = 1;
      } else {
        const std::uint32_t rc = self.device->FinishIoControl(self.output, bytes);
        if (rc == kErrorOperationAborted || rc == kErrorDeviceNotConnected) {
          result = rc;
        } else if (rc != kErrorSuccess) {
          bytes = 0;
        }
      }
    }
    self.device.reset();
    if (result != kErrorSuccess) break;
    other.turn->Set();
    if (bytes > 0 && OnDataReceived) OnDataReceived(self.output.data(), bytes);
  }
  self.device.reset();
  return ThreadRun::Ended;
}

namespace {

// Sorts the list (letter case ignored), then looks the IDs up in it.
bool SortedListHoldsAny(std::vector<std::string>& list, const std::vector<std::string>& ids) {
  std::stable_sort(list.begin(), list.end(),
                   [](const std::string& a, const std::string& b) { return CompareIgnoreCase(a, b) < 0; });
  return std::any_of(ids.begin(), ids.end(), [&](const std::string& id) { return ContainsIgnoreCase(list, id); });
}

}  // namespace

bool TqvSTDCommand::HardwareIdsInConfigHidList(const std::vector<std::string>& strHardwareIDs) {
  return SortedListHoldsAny(FHidDeviceList, strHardwareIDs);
}

bool TqvSTDCommand::HardwareIdsInConfigUsbList(const std::vector<std::string>& strHardwareIDs) {
  return SortedListHoldsAny(FUsbDeviceList, strHardwareIDs);
}

bool TqvSTDCommand::PresentDeviceOfHidClass(const std::function<bool(const std::vector<std::string>&)>& matches) {
  const auto devices = platform_.hid.PresentDevicesOfSetupClass(FUSBGuid);
  if (!devices) return false;
  return std::any_of(devices->begin(), devices->end(), matches);
}

bool TqvSTDCommand::IsHIDDeviceExist() {
  return PresentDeviceOfHidClass([this](const std::vector<std::string>& ids) { return HardwareIdsInConfigHidList(ids); });
}

bool TqvSTDCommand::ISHIDDeviceExist(const std::string& VidPid) {
  return PresentDeviceOfHidClass([&](const std::vector<std::string>& ids) { return ContainsIgnoreCase(ids, VidPid); });
}

// ---- the CPI routines -------------------------------------------------------------

std::uint32_t SendCpiUnit(TqvSTDCommand& Command, const CPI_UNIT& CpiUnit) {
  std::array<std::uint8_t, sizeof(CPI_UNIT)> copy;
  std::memcpy(copy.data(), &CpiUnit, copy.size());
  return Command.DeviceRW(copy, kIoctlSendCpiUnit);
}

void SetCurrentCpi(TqvSTDCommand& Command, std::uint16_t Cpi) {
  std::array<std::uint8_t, 2> buffer = {static_cast<std::uint8_t>(Cpi & 0xFF), static_cast<std::uint8_t>(Cpi >> 8)};
  (void)Command.DeviceRW(buffer, kIoctlSetCurrentCpi);
}

void ComputeCpiRates(CPI_UNIT& CpiUnit) {
  for (int i = 0; i < 10; ++i) {
    const TCPISTAGE& hw = CpiUnit.HWCpi[i];
    const TCPISTAGE& st = CpiUnit.STCpi[i];
    if (hw.X != 0 && hw.Y != 0) {
      CpiUnit.XYCpiRate[i] = {CpiRate(st.X, hw.X), CpiRate(st.Y, hw.Y)};
    } else {
      CpiUnit.XYCpiRate[i] = {0, 0};
    }
  }
}

}  // namespace zr
