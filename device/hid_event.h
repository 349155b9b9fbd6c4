// TqvHIDEvent and TqvHIDEventEx tell their owner when HID device interfaces
// come and go. Each owns a hidden window registered for the device-interface
// notifications of the HID class and a one-shot start timer that raises one
// arrival 1.5 seconds after creation. TqvHIDEventEx also keeps the hardware
// IDs of the present HID interfaces and names the new and the vanished ones
// after each arrival and removal. Everything runs on the creating thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/guid.h"
#include "platform/platform.h"
#include "support/timer.h"

namespace zr {

inline constexpr char kHidInterfaceClassText[] = "{4d1e55b2-f16f-11cf-88cb-001111000030}";

// What both components share: the window, its registration, the posted
// device-tree change and the start timer.
class DeviceChangeWindow {
 public:
  struct Handlers {
    std::function<void()> arrival;
    // With the removed interface's path from the notification.
    std::function<void(const std::string& devicePath)> removal;
    std::function<void()> treeChanged;
    std::function<void()> startTimer;
  };
  // Creates the window, registers it for the class `classGuid` (registry
  // form; the HID class when empty), posts the device-tree change to it and
  // starts the 1500 ms start timer.
  DeviceChangeWindow(Platform& platform, std::string& classGuid, Handlers handlers);
  ~DeviceChangeWindow();
  DeviceChangeWindow(const DeviceChangeWindow&) = delete;
  DeviceChangeWindow& operator=(const DeviceChangeWindow&) = delete;

  WindowHandle Handle() const { return window_; }
  bool Registered() const { return registered_; }

 private:
  std::optional<std::intptr_t> WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  void OnDeviceChange(std::uintptr_t wParam, std::intptr_t lParam);

  Platform& platform_;
  Handlers handlers_;
  WindowHandle window_ = 0;
  bool registered_ = false;
  std::unique_ptr<TTimer> timer_;
};

class TqvHIDEvent {
 public:
  using TNotifyEvent = std::function<void(TqvHIDEvent& Sender)>;

  explicit TqvHIDEvent(Platform& platform);
  TqvHIDEvent(const TqvHIDEvent&) = delete;
  TqvHIDEvent& operator=(const TqvHIDEvent&) = delete;

  TNotifyEvent OnDeviceArrival;
  TNotifyEvent OnDeviceRemove;
  TNotifyEvent OnDeviceChange;

  std::string FUsbGuid = kHidInterfaceClassText;
  WindowHandle FWindowHandle() const { return window_->Handle(); }

 private:
  std::unique_ptr<DeviceChangeWindow> window_;
};

class TqvHIDEventEx {
 public:
  using TNotifyEvent = std::function<void(TqvHIDEventEx& Sender)>;
  // The lists belong to the component and are freed when the event returns.
  using TqvNewHIDDevicesArrival = std::function<void(const std::vector<std::string>& ANewDevicesList)>;
  using TqvPresentHIDDevicesRemoval = std::function<void(const std::vector<std::string>& ARemovalDevicesList)>;

  // Seeds the present list, then sets up the window and the start timer.
  explicit TqvHIDEventEx(Platform& platform);
  TqvHIDEventEx(const TqvHIDEventEx&) = delete;
  TqvHIDEventEx& operator=(const TqvHIDEventEx&) = delete;

  TNotifyEvent OnDeviceArrival;
  TNotifyEvent OnDeviceRemove;
  TNotifyEvent OnDeviceChange;
  TqvNewHIDDevicesArrival OnNewDeviceArrival;
  TqvPresentHIDDevicesRemoval OnPresentDeviceRemoval;

  std::string FUsbGuid = kHidInterfaceClassText;
  Guid FHidGuid{};
  // Hardware IDs of the HID interfaces known to be present; lookups ignore
  // letter case.
  std::vector<std::string> FPresentDevices;
  WindowHandle FWindowHandle() const { return window_->Handle(); }

 private:
  enum class ScanMode { Seed, Arrival, Removal };
  // `removedPath`: the interface a removal notification named.
  void Scan(ScanMode mode, const std::string& removedPath = {});

  Platform& platform_;
  std::unique_ptr<DeviceChangeWindow> window_;
};

}  // namespace zr
