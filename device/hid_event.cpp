#include "device/hid_event.h"

#include <algorithm>
#include <exception>

#include "common/text.h"
#include "platform/device_notify.h"

namespace zr {

// ---- the shared window ------------------------------------------------------------

DeviceChangeWindow::DeviceChangeWindow(Platform& platform, std::string& classGuid, Handlers handlers)
    : platform_(platform), handlers_(std::move(handlers)) {
  window_ = platform_.windowing.CreateHiddenWindow(
      "zr.DeviceChangeWindow", "", [this](std::uint32_t msg, std::uintptr_t w, std::intptr_t l) { return WindowProc(msg, w, l); });
  if (classGuid.empty()) classGuid = kHidInterfaceClassText;
  // A class text that does not parse registers nothing, as a refused
  // registration does.
  if (const auto guid = ParseGuid(classGuid); guid && window_ != 0) {
    registered_ = platform_.deviceNotifications.RegisterForDeviceInterfaces(window_, *guid);
  }
  platform_.windowing.PostMessage(window_, kWmDeviceChange, kDbtDevNodesChanged, -1);
  timer_ = std::make_unique<TTimer>(platform_.windowing, 1500, true);
  timer_->OnTimer = [this] {
    timer_->SetEnabled(false);
    if (handlers_.startTimer) handlers_.startTimer();
  };
}

DeviceChangeWindow::~DeviceChangeWindow() {
  timer_.reset();
  if (window_ != 0) platform_.windowing.DestroyWindow(window_);
}

std::optional<std::intptr_t> DeviceChangeWindow::WindowProc(std::uint32_t msg, std::uintptr_t wParam,
                                                            std::intptr_t lParam) {
  if (msg != kWmDeviceChange) return std::nullopt;
  try {
    OnDeviceChange(wParam, lParam);
  } catch (const std::exception& e) {
    // The application's error handler: reported, never passed to the platform.
    platform_.system.DebugOutput(std::string("device change: ") + e.what());
  }
  return 1;
}

void DeviceChangeWindow::OnDeviceChange(std::uintptr_t wParam, std::intptr_t lParam) {
  auto run = [](const std::function<void()>& f) {
    if (f) f();
  };
  switch (wParam) {
    case kDbtDeviceArrival:
      if (platform_.deviceNotifications.BroadcastDeviceType(lParam) == kDbtDevtypDeviceInterface) {
        run(handlers_.arrival);
      }
      break;
    case kDbtDeviceRemoveComplete:
      if (platform_.deviceNotifications.BroadcastDeviceType(lParam) == kDbtDevtypDeviceInterface &&
          handlers_.removal) {
        handlers_.removal(platform_.deviceNotifications.BroadcastDevicePath(lParam));
      }
      break;
    case kDbtDevNodesChanged:
      run(handlers_.treeChanged);
      break;
    default:
      break;
  }
}

// ---- TqvHIDEvent ------------------------------------------------------------------------

TqvHIDEvent::TqvHIDEvent(Platform& platform) {
  auto raise = [this](TNotifyEvent TqvHIDEvent::*event) {
    return [this, event] {
      if (this->*event) (this->*event)(*this);
    };
  };
  window_ = std::make_unique<DeviceChangeWindow>(
      platform, FUsbGuid,
      DeviceChangeWindow::Handlers{raise(&TqvHIDEvent::OnDeviceArrival),
                                   [r = raise(&TqvHIDEvent::OnDeviceRemove)](const std::string&) { r(); },
                                   raise(&TqvHIDEvent::OnDeviceChange), raise(&TqvHIDEvent::OnDeviceArrival)});
}

// ---- TqvHIDEventEx ----------------------------------------------------------------------

TqvHIDEventEx::TqvHIDEventEx(Platform& platform) : platform_(platform) {
  FHidGuid = platform_.hid.HidGuid().value_or(kHidInterfaceGuid);
  Scan(ScanMode::Seed);
  auto raise = [this](TNotifyEvent TqvHIDEventEx::*event) {
    return [this, event] {
      if (this->*event) (this->*event)(*this);
    };
  };
  DeviceChangeWindow::Handlers handlers;
  handlers.arrival = [this, r = raise(&TqvHIDEventEx::OnDeviceArrival)] {
    r();
    Scan(ScanMode::Arrival);
  };
  handlers.removal = [this, r = raise(&TqvHIDEventEx::OnDeviceRemove)](const std::string& devicePath) {
    r();
    Scan(ScanMode::Removal, devicePath);
  };
  handlers.treeChanged = raise(&TqvHIDEventEx::OnDeviceChange);
  handlers.startTimer = raise(&TqvHIDEventEx::OnDeviceArrival);
  window_ = std::make_unique<DeviceChangeWindow>(platform_, FUsbGuid, std::move(handlers));
}

void TqvHIDEventEx::Scan(ScanMode mode, const std::string& removedPath) {
  const auto interfaces = platform_.hid.PresentInterfaces(FHidGuid);
  if (!interfaces) return;
  std::vector<std::string> collected;
  // The first two hardware IDs of an interface that the removal notification
  // names but that is present: it went and came back before the
  // notification was handled, which the lists alone cannot tell.
  std::vector<std::string> back;
  for (const HidInterface& item : *interfaces) {
    if (!item.detailSizeKnown || item.hardwareIds.empty()) continue;
    if (!removedPath.empty() && EqualsIgnoreCase(item.devicePath, removedPath)) {
      back.assign(item.hardwareIds.begin(), item.hardwareIds.begin() + std::min<std::size_t>(2, item.hardwareIds.size()));
    }
    if (ContainsIgnoreCase(collected, item.hardwareIds[0])) continue;
    collected.push_back(item.hardwareIds[0]);
    if (item.hardwareIds.size() > 1) collected.push_back(item.hardwareIds[1]);
  }
  if (mode == ScanMode::Removal) {
    std::vector<std::string> removed;
    for (std::size_t i = 0; i < FPresentDevices.size();) {
      if (ContainsIgnoreCase(collected, FPresentDevices[i])) {
        ++i;
      } else {
        removed.push_back(FPresentDevices[i]);
        FPresentDevices.erase(FPresentDevices.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    for (const std::string& id : back) {
      if (!ContainsIgnoreCase(removed, id)) removed.push_back(id);
    }
    if (OnPresentDeviceRemoval && !removed.empty()) OnPresentDeviceRemoval(removed);
    return;
  }
  std::vector<std::string> fresh;
  for (const std::string& id : collected) {
    if (ContainsIgnoreCase(FPresentDevices, id)) continue;
    FPresentDevices.push_back(id);
    fresh.push_back(id);
  }
  if (mode == ScanMode::Arrival && OnNewDeviceArrival && !fresh.empty()) OnNewDeviceArrival(fresh);
}

}  // namespace zr
