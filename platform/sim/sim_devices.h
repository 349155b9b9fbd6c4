// Models of what lies outside the program on the device side: the mouse with
// its HID interfaces and firmware, the filter driver's control device, and
// the platform's device-interface notifications. They answer as the real
// components are expected to, can be told to fail, and write every exchange
// to a log in a fixed line format:
//
//   set-feature HEX        a feature report taken (report ID first)
//   get-feature ID HEX     the report ID asked for, and the whole answer given
//   write HEX              an output report taken
//   ioctl CODE HEX         a control request taken (CODE as 8 hex digits, HEX its input)
//   reader-open PATH       a reader's first read on a collection
//   plug / unplug          the mouse arrived / went
//
// Hexadecimal is lower case without separators; a refused exchange is not
// logged. The models need nothing of the platform, so they serve both the
// native tests and the Windows demonstration build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/control_device.h"
#include "platform/device_notify.h"
#include "platform/hid.h"
#include "platform/sim/sim_kernel.h"

namespace zr::sim {

// One HID interface (top-level collection) of the simulated mouse.
struct SimHidInterfaceSpec {
  std::string devicePath;
  std::vector<std::string> hardwareIds;
  HidCaps caps;
  bool firmware = false;  // takes the vendor feature reports; `Input` reports arrive here
  bool buttons = false;   // five buttons in report byte 1 (usage page 9, usages 1 to 5)
};

// The vendor collection (0xFFA0, 1), then the mouse collection (1, 2).
std::vector<SimHidInterfaceSpec> DefaultMouseInterfaces();
inline constexpr std::size_t kSimVendorInterface = 0;
inline constexpr std::size_t kSimMouseInterface = 1;

class SimDevices;

class SimHid final : public HidPort {
 public:
  explicit SimHid(SimDevices& devices) : devices_(devices) {}
  std::optional<Guid> HidGuid() override;
  std::optional<std::vector<HidInterface>> PresentInterfaces(const Guid& interfaceClass) override;
  std::unique_ptr<HidCollection> Open(std::string_view devicePath, bool overlapped, std::uint32_t& error) override;
  std::optional<std::vector<std::vector<std::string>>> PresentDevicesOfSetupClass(const Guid& setupClass) override;

 private:
  SimDevices& devices_;
};

class SimControlDevices final : public ControlDevices {
 public:
  explicit SimControlDevices(SimDevices& devices) : devices_(devices) {}
  std::shared_ptr<ControlDevice> Open(std::string_view path, bool overlapped, std::uint32_t& error) override;

 private:
  SimDevices& devices_;
};

class SimNotifications final : public DeviceNotifications {
 public:
  explicit SimNotifications(SimDevices& devices) : devices_(devices) {}
  bool RegisterForDeviceInterfaces(WindowHandle window, const Guid& interfaceClass) override;
  std::uint32_t BroadcastDeviceType(std::intptr_t lParam) override;
  std::string BroadcastDevicePath(std::intptr_t lParam) override;

 private:
  SimDevices& devices_;
};

class SimDevices {
 public:
  explicit SimDevices(SimKernel& kernel);
  // Lets the simulated threads go first: they may hold open collections.
  ~SimDevices();
  SimDevices(const SimDevices&) = delete;
  SimDevices& operator=(const SimDevices&) = delete;

  HidPort& hid() { return hid_; }
  ControlDevices& controlDevices() { return control_; }
  DeviceNotifications& notifications() { return notifications_; }

  // ---- the mouse ----
  // Its interfaces; change them only while none is present.
  std::vector<SimHidInterfaceSpec> interfaces = DefaultMouseInterfaces();
  // The mouse is in from the start: present without a notification or a
  // log line.
  void StartPlugged();
  // Every absent interface arrives / every present one goes.
  void Plug();
  void Unplug();
  // One interface arrives or goes, the others stay as they are.
  void SetInterfacePresent(std::size_t index, bool present);
  bool InterfacePresent(std::size_t index) const;
  bool Plugged() const;
  // One input report (report ID first) on the firmware's interface, or on
  // another one, for every open handle that reads it. As from a HID device,
  // a report is always the collection's input report length: false (nothing
  // sent) when it is not, or when the interface is absent.
  bool Input(std::span<const std::uint8_t> report);
  bool InputOn(std::size_t index, std::span<const std::uint8_t> report);
  // Firmware memory, 64 KiB; false (nothing changed) beyond its end.
  bool SetMemory(std::uint32_t address, std::span<const std::uint8_t> bytes);
  const std::vector<std::uint8_t>& Memory() const { return memory_; }
  int failFeature = 0;               // the next N feature exchanges fail
  int failRead = 0;                  // the next N reads fail at once (ERROR_GEN_FAILURE)
  bool hidLibraryAvailable = true;   // false: the HID class cannot be asked for
  bool interfaceSetOpens = true;     // false: the interface sets cannot be opened
  std::size_t OpenCollections() const { return open_.size(); }

  // ---- the filter driver ----
  bool driverPresent = true;
  std::string driverDeviceName = "usbkvtr00001";
  int failIoctl = 0;  // the next N control requests fail
  struct Request {
    std::uint32_t code;
    std::vector<std::uint8_t> input;
  };
  std::vector<Request> requests;  // every request taken, in order
  // The blocks and stages the driver took.
  std::vector<std::vector<std::uint8_t>> cpiBlocks;
  std::vector<std::uint16_t> stages;
  // Completes the first pending overlapped request with `answer` or with an
  // error; false when none is pending.
  bool AnswerPendingRequest(std::span<const std::uint8_t> answer);
  bool FailPendingRequest(std::uint32_t error);
  std::size_t PendingRequests() const;
  std::size_t OpenControlHandles() const { return controlOpen_.size(); }
  // Handles released while their request was still pending.
  int requestsAbandoned = 0;

  // ---- notifications ----
  bool refuseRegistration = false;
  // Posts WM_DEVICECHANGE to a registered window.
  std::function<void(WindowHandle window, std::uint32_t wParam, std::intptr_t lParam)> postDeviceChange;
  std::size_t Registrations() const { return registrations_.size(); }

  // ---- log and commands ----
  std::vector<std::string> log;
  bool keepLog = true;  // false: lines only go to onLog
  std::function<void(const std::string& line)> onLog;
  // A command of the control tool (plug, unplug, input HEX, memory ADDRESS
  // HEX, driver on|off, fail-feature N, fail-ioctl N); false with `error`
  // when it is not taken.
  bool Command(std::string_view line, std::string& error);
  // "ADDRESS=HEX;ADDRESS=HEX..." with ADDRESS in hexadecimal.
  bool SeedMemory(std::string_view seeds, std::string& error);

 private:
  friend class SimHid;
  friend class SimControlDevices;
  friend class SimNotifications;
  friend class SimHidCollection;
  friend class SimControlDevice;
  struct OpenCollection;
  struct OpenControl;
  struct Registration {
    WindowHandle window;
    Guid interfaceClass;
  };
  struct Broadcast {
    DevBroadcastDeviceInterface record;
    char16_t name[256];
  };

  void Log(std::string line);
  void EnsureInterfaceState();
  bool Connected(const OpenCollection& c) const;
  void Complete(OpenCollection& c);
  void FailRequest(OpenControl& c, std::uint32_t error);
  void Notify(std::size_t index, std::uint32_t event);
  void NotifyTreeChanged();
  std::uint32_t FeatureCheck(const OpenCollection& c, std::span<const std::uint8_t> report);

  SimKernel& kernel_;
  SimHid hid_{*this};
  SimControlDevices control_{*this};
  SimNotifications notifications_{*this};
  std::vector<std::uint8_t> memory_;
  std::vector<bool> present_;
  std::vector<std::uint64_t> arrivals_;  // per interface: how often it arrived
  std::vector<std::shared_ptr<OpenCollection>> open_;
  std::vector<std::shared_ptr<OpenControl>> controlOpen_;
  std::vector<std::uint8_t> lastRequest_;  // the firmware's last feature report taken
  std::vector<Registration> registrations_;
  std::deque<Broadcast> broadcasts_;  // what posted notifications point to
  std::uint32_t nextHandle_ = 0x100;
};

}  // namespace zr::sim
