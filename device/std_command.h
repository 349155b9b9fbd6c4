// TqvSTDCommand, the channel to the mouse's kernel filter driver: fixed
// blocks exchanged with the driver's control device through I/O control
// requests, the CPI arithmetic that prepares the CPI block, the device lists
// and the driver-package description from config.ini, the presence tests,
// and a pair of worker threads that keep one read request pending at the
// driver once an initialisation block has been handed over.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "common/guid.h"
#include "device/hid_event.h"
#include "device/vendor_protocol.h"
#include "platform/platform.h"
#include "support/timer.h"

namespace zr {

#pragma pack(push, 1)
// One CPI stage: enabled flag, X and Y CPI.
struct TCPISTAGE {
  std::uint8_t Enabled;
  std::uint32_t X;
  std::uint32_t Y;
};
// Rates in percent.
struct TXYCPIRATE {
  std::int16_t X;
  std::int16_t Y;
};
// The CPI block, sent to the driver as it lies in memory.
struct CPI_UNIT {
  std::uint16_t password;
  std::uint16_t NeedApplyNewCPI;  // 1: apply the block; 0: stop applying it
  std::uint16_t ReportLength;     // the mouse's input report length
  std::uint8_t X_LowByte;         // positions of the movement in that report
  std::uint8_t X_HighByte;
  std::uint8_t Y_LowByte;
  std::uint8_t Y_HighByte;
  std::int16_t X_Counter;
  std::int16_t Y_Counter;
  std::uint16_t CpiCount;
  std::uint16_t CurrentCpi;  // the stage the mouse is in
  TCPISTAGE HWCpi[10];       // the hardware CPI of each stage
  TCPISTAGE STCpi[10];       // the CPI the profile sets for each stage
  TXYCPIRATE XYCpiRate[10];
};
struct MONITOR_UNIT_GROUP {
  std::uint16_t password;
  std::uint8_t UnitCount;
  std::uint8_t MonitorUnit[154050];
};
#pragma pack(pop)
static_assert(sizeof(TCPISTAGE) == 9);
static_assert(offsetof(TCPISTAGE, X) == 1);
static_assert(offsetof(TCPISTAGE, Y) == 5);
static_assert(sizeof(TXYCPIRATE) == 4);
static_assert(sizeof(CPI_UNIT) == 238);
static_assert(offsetof(CPI_UNIT, NeedApplyNewCPI) == 2);
static_assert(offsetof(CPI_UNIT, ReportLength) == 4);
static_assert(offsetof(CPI_UNIT, X_LowByte) == 6);
static_assert(offsetof(CPI_UNIT, X_HighByte) == 7);
static_assert(offsetof(CPI_UNIT, Y_LowByte) == 8);
static_assert(offsetof(CPI_UNIT, Y_HighByte) == 9);
static_assert(offsetof(CPI_UNIT, X_Counter) == 10);
static_assert(offsetof(CPI_UNIT, Y_Counter) == 12);
static_assert(offsetof(CPI_UNIT, CpiCount) == 14);
static_assert(offsetof(CPI_UNIT, CurrentCpi) == 16);
static_assert(offsetof(CPI_UNIT, HWCpi) == 18);
static_assert(offsetof(CPI_UNIT, STCpi) == 108);
static_assert(offsetof(CPI_UNIT, XYCpiRate) == 198);
static_assert(sizeof(MONITOR_UNIT_GROUP) == 154053);
static_assert(offsetof(MONITOR_UNIT_GROUP, UnitCount) == 2);
static_assert(offsetof(MONITOR_UNIT_GROUP, MonitorUnit) == 3);

inline constexpr std::uint32_t kIoctlSendCpiUnit = MakeIoControlCode(0x8000, 0x2001, 0, 0);
inline constexpr std::uint32_t kIoctlSetCurrentCpi = MakeIoControlCode(0x8000, 0x2003, 0, 0);
static_assert(kIoctlSendCpiUnit == 0x80008004u);
static_assert(kIoctlSetCurrentCpi == 0x8000800Cu);

// The driver package, section "DEVICE" of config.ini.
struct TDriverInfo {
  std::string InfFileName = "usbkvtr00001.inf";
  std::string FileName = "usbkvtr00001.sys";
  std::string ServiceName = "usbkvtr00001";
  std::string ServiceNamex86 = "usbkvtr00001";
  std::string ServiceNamex64 = "usbkvtr00001";
  std::string DeviceName = "usbkvtr00001";
  std::int32_t WHQL = 0;
  std::int32_t X32WHQL = 0;
  std::int32_t UpperFilter = 0;
};

// Room of each buffer of the workers' read request.
inline constexpr std::size_t kWorkerBufferRoom = 10241;

class TqvSTDCommand {
 public:
  using TNotifyEvent = std::function<void(TqvHIDEvent& Sender)>;
  // Raised on a worker thread; the buffer is valid during the call.
  using TDataReceivedEvent = std::function<void(const std::uint8_t* Buffer, std::uint32_t BufferSize)>;

  explicit TqvSTDCommand(Platform& platform);
  // Stops the workers and waits for them.
  ~TqvSTDCommand();
  TqvSTDCommand(const TqvSTDCommand&) = delete;
  TqvSTDCommand& operator=(const TqvSTDCommand&) = delete;

  // One synchronous request with `Buffer` as input and output; 0,
  // ERROR_NOT_READY (21) when the control device cannot be opened, or the
  // request's error.
  std::uint32_t DeviceRW(std::span<std::uint8_t> Buffer, std::uint32_t IoControlCode);

  // Stores a copy of the initialisation block and the request codes and
  // lengths (negative lengths count as 0); a block of size 0 changes nothing.
  void SetDeviceInitData(std::span<const std::uint8_t> DeviceInitData, std::uint32_t DeviceInitIoControlCode,
                         std::uint32_t ReadIoControlCode, std::int32_t AInputReportLength,
                         std::int32_t AOutputReportLength);
  // The same, then sends the block.
  void SetMonitorData(std::span<const std::uint8_t> DeviceInitData, std::uint32_t DeviceInitIoControlCode,
                      std::uint32_t ReadIoControlCode, std::int32_t AInputReportLength,
                      std::int32_t AOutputReportLength);
  // Sends the stored block again.
  void SetMonitorData();
  void StartMonitorDevice() { StartOrStop(true); }
  void StopMonitorDevice() { StartOrStop(false); }
  bool Active() const { return FActive.load(); }

  bool GetIsDeviceExist();
  const std::vector<std::string>& GetHIDDeviceList() const { return FHidDeviceList; }
  const std::vector<std::string>& GetUSBDeviceList() const { return FUsbDeviceList; }
  // The device list is sorted (letter case ignored) by the lookup.
  bool HardwareIdsInConfigHidList(const std::vector<std::string>& strHardwareIDs);
  bool HardwareIdsInConfigUsbList(const std::vector<std::string>& strHardwareIDs);
  // A present device of the HID setup class with a hardware ID in the HID
  // device list.
  bool IsHIDDeviceExist();
  // A present device of the HID setup class with this whole hardware ID,
  // letter case ignored.
  bool ISHIDDeviceExist(const std::string& VidPid);

  // Installs the filter driver on (true) or removes it from (false) every
  // present device of the HID setup class that the "usbdevicelist" names:
  // through the driver-package tool for a signed package, else by hand.
  // Blocks while the tool runs. Nothing is reported; a device that cannot
  // be handled stays as it was.
  void HidInstallDriver(bool Install);

  TNotifyEvent OnDeviceArrialEvent;
  TNotifyEvent OnDeviceRemovalEvent;
  TDataReceivedEvent OnDataReceived;

  std::string FDevicePath;
  Guid FUSBGuid = kHidSetupClassGuid;
  TDriverInfo FDriverInfo;
  std::vector<std::string> FHidDeviceList;
  std::vector<std::string> FUsbDeviceList;

  TqvHIDEvent& HIDEvent() { return *FHIDEvent; }
  TTimer& TimerToStartMonitor() { return *FTimerToStartMonitor; }

 private:
  struct Worker;
  void StartOrStop(bool start);
  bool PresentDeviceOfHidClass(const std::function<bool(const std::vector<std::string>&)>& matches);
  ThreadRun WorkerBody(Worker& self, Worker& other);
  void DeviceArrived();
  void DeviceRemoved();
  std::shared_ptr<ControlDevice> ReadHandle();
  void CloseReadHandle();
  void RunPackageTool(bool install, bool windows64);
  bool InstallByHand(DeviceInfoList& devices, std::uint32_t index, std::uint32_t filterProperty, bool windows64);
  void RemoveByHand(DeviceInfoList& devices, std::uint32_t index, std::uint32_t filterProperty);
  bool RegisterDriverService(const std::string& imagePath);
  void RestartDevice(DeviceInfoList& devices, std::uint32_t index);

  Platform& platform_;
  std::unique_ptr<TTimer> FTimerToStartMonitor;
  std::shared_ptr<KernelEvent> FGlobalEvent;
  std::shared_ptr<KernelEvent> FGlobalDataEvent1;
  std::shared_ptr<KernelEvent> FGlobalDataEvent2;
  std::mutex readHandleMutex_;
  std::shared_ptr<ControlDevice> FHidOverlappedRead;  // guarded by readHandleMutex_
  std::atomic<bool> FActive{false};
  std::uint32_t FReadIOCode = 0;
  std::uint32_t FDeviceDataInitIOCode = 0;
  std::uint32_t FInputReportLength = 0;
  std::uint32_t FOutputReportLength = 0;
  std::vector<std::uint8_t> FDeviceInitData;
  std::unique_ptr<Worker> FIdThreadComponentGetData1;
  std::unique_ptr<Worker> FIdThreadComponentGetData2;
  std::unique_ptr<TqvHIDEvent> FHIDEvent;
};

// The 64-bit and Windows XP x64 tests of the driver installation.
bool IsWindows64(OsFacts& os);
bool IsWindowsXp64(OsFacts& os);
// The size of the filter list written by a hand install or removal.
inline constexpr std::size_t kFilterListValueSize = 32768;

// Sends a copy of the block with code 0x80008004; the caller's block is not
// changed. The result of DeviceRW.
std::uint32_t SendCpiUnit(TqvSTDCommand& Command, const CPI_UNIT& CpiUnit);
// Sends the stage as 2 bytes with code 0x8000800C; the result is dropped.
void SetCurrentCpi(TqvSTDCommand& Command, std::uint16_t Cpi);
// For each stage: STCpi * 100 / HWCpi on each axis, truncated; 0 and 0 when
// either hardware axis is 0; a rate beyond 32767 percent is kept at 32767.
void ComputeCpiRates(CPI_UNIT& CpiUnit);

}  // namespace zr
