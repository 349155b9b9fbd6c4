#include "platform/win32/win32_devices.h"

#include <dbt.h>
#include <hidsdi.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "common/text.h"
#include "platform/error_codes.h"
#include "platform/win32/win32_libraries.h"
#include "platform/win32/win32_text.h"

namespace zr::win32 {

// cbSize of the interface detail must be the size the system expects: a DWORD
// and one WCHAR, padded to the pointer alignment (6 on 32 bits, 8 on 64).
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == (sizeof(void*) == 4 ? 6 : 8),
              "the layout of the interface detail");
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);

namespace {

GUID ToGuid(const Guid& g) {
  GUID out;
  std::memcpy(&out, &g, sizeof out);
  return out;
}

// A failed call whose last error is 0 still reports a failure.
std::uint32_t LastErrorOr(std::uint32_t fallback) {
  const DWORD e = GetLastError();
  return e != 0 ? e : fallback;
}

}  // namespace

// ---- kernel --------------------------------------------------------------------

Win32Event::Win32Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
Win32Event::~Win32Event() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

std::shared_ptr<KernelEvent> Win32Kernel::CreateManualResetEvent() { return std::make_shared<Win32Event>(); }

int Win32Kernel::WaitForAny(std::span<KernelEvent* const> events) {
  std::vector<HANDLE> handles;
  for (KernelEvent* e : events) {
    const auto* w = dynamic_cast<const Win32Event*>(e);
    if (w == nullptr || w->Native() == nullptr) return kWaitFailed;
    handles.push_back(w->Native());
  }
  if (handles.empty() || handles.size() > MAXIMUM_WAIT_OBJECTS) return kWaitFailed;
  const DWORD r = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) return static_cast<int>(r - WAIT_OBJECT_0);
  return kWaitFailed;
}

namespace {

class Win32Thread final : public KernelThread {
 public:
  explicit Win32Thread(std::function<ThreadRun()> body) {
    thread_ = std::thread([finished = finished_, body = std::move(body)]() mutable {
      // Waits block here, so the body runs to its end in one call.
      while (body() == ThreadRun::Waiting) {
      }
      body = nullptr;
      finished->store(true);
    });
  }
  ~Win32Thread() override {
    if (thread_.joinable()) thread_.detach();
  }
  bool Finished() const override { return finished_->load(); }
  void Join() override {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

 private:
  std::shared_ptr<std::atomic<bool>> finished_ = std::make_shared<std::atomic<bool>>(false);
  std::thread thread_;
};

}  // namespace

std::unique_ptr<KernelThread> Win32Kernel::StartThread(std::function<ThreadRun()> body) {
  return std::make_unique<Win32Thread>(std::move(body));
}

// ---- the libraries -----------------------------------------------------------------------

// hid.dll: loaded at the first device check and kept, since readers call it
// for every report.
struct HidLibraries {
  HMODULE hid = nullptr;
  decltype(&::HidD_GetHidGuid) GetHidGuid = nullptr;
  decltype(&::HidD_GetAttributes) GetAttributes = nullptr;
  decltype(&::HidD_GetPreparsedData) GetPreparsedData = nullptr;
  decltype(&::HidD_FreePreparsedData) FreePreparsedData = nullptr;
  decltype(&::HidP_GetCaps) GetCaps = nullptr;
  decltype(&::HidD_GetFeature) GetFeature = nullptr;
  decltype(&::HidD_SetFeature) SetFeature = nullptr;
  decltype(&::HidP_MaxUsageListLength) MaxUsageListLength = nullptr;
  decltype(&::HidP_GetUsagesEx) GetUsagesEx = nullptr;

  bool HidUsable() const {
    return GetAttributes && GetPreparsedData && FreePreparsedData && GetCaps && GetFeature && SetFeature &&
           MaxUsageListLength && GetUsagesEx;
  }
};

// The device installer and the configuration manager (setupapi.dll,
// cfgmgr32.dll): loaded for each walk of the present devices and freed when
// the walk is done. Devices come and go rarely; loaded for good, the two
// would stay resident for the whole session.
struct SetupLibraries {
  LibraryUse setupapi{L"setupapi.dll"};
  decltype(&::SetupDiGetClassDevsW) GetClassDevs = nullptr;
  decltype(&::SetupDiEnumDeviceInterfaces) EnumDeviceInterfaces = nullptr;
  decltype(&::SetupDiGetDeviceInterfaceDetailW) GetDeviceInterfaceDetail = nullptr;
  decltype(&::SetupDiGetDeviceRegistryPropertyW) GetDeviceRegistryProperty = nullptr;
  decltype(&::SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = nullptr;
  decltype(&::SetupDiEnumDeviceInfo) EnumDeviceInfo = nullptr;
  decltype(&::SetupDiSetDeviceRegistryPropertyW) SetDeviceRegistryProperty = nullptr;
  decltype(&::SetupDiSetClassInstallParamsW) SetClassInstallParams = nullptr;
  decltype(&::SetupDiCallClassInstaller) CallClassInstaller = nullptr;
  LibraryUse cfgmgr32{L"cfgmgr32.dll"};
  decltype(&::CM_Get_DevNode_Status) GetDevNodeStatus = nullptr;

  bool InterfacesUsable() const {
    return GetClassDevs && EnumDeviceInterfaces && GetDeviceInterfaceDetail && GetDeviceRegistryProperty &&
           DestroyDeviceInfoList;
  }
  bool DevicesUsable() const { return GetClassDevs && EnumDeviceInfo && GetDeviceRegistryProperty && DestroyDeviceInfoList; }
};

namespace {

template <class F>
void Lookup(HMODULE module, const char* name, F& out) {
  out = FunctionOf<F>(module, name);
}

template <class F>
void Lookup(const LibraryUse& library, const char* name, F& out) {
  out = library.Function<F>(name);
}

std::shared_ptr<const HidLibraries> LoadHidLibrary() {
  auto l = std::make_shared<HidLibraries>();
  l->hid = LoadSystemLibrary(L"hid.dll");
  Lookup(l->hid, "HidD_GetHidGuid", l->GetHidGuid);
  Lookup(l->hid, "HidD_GetAttributes", l->GetAttributes);
  Lookup(l->hid, "HidD_GetPreparsedData", l->GetPreparsedData);
  Lookup(l->hid, "HidD_FreePreparsedData", l->FreePreparsedData);
  Lookup(l->hid, "HidP_GetCaps", l->GetCaps);
  Lookup(l->hid, "HidD_GetFeature", l->GetFeature);
  Lookup(l->hid, "HidD_SetFeature", l->SetFeature);
  Lookup(l->hid, "HidP_MaxUsageListLength", l->MaxUsageListLength);
  Lookup(l->hid, "HidP_GetUsagesEx", l->GetUsagesEx);
  return l;
}

std::shared_ptr<const SetupLibraries> LoadSetupLibraries() {
  auto l = std::make_shared<SetupLibraries>();
  Lookup(l->setupapi, "SetupDiGetClassDevsW", l->GetClassDevs);
  Lookup(l->setupapi, "SetupDiEnumDeviceInterfaces", l->EnumDeviceInterfaces);
  Lookup(l->setupapi, "SetupDiGetDeviceInterfaceDetailW", l->GetDeviceInterfaceDetail);
  Lookup(l->setupapi, "SetupDiGetDeviceRegistryPropertyW", l->GetDeviceRegistryProperty);
  Lookup(l->setupapi, "SetupDiDestroyDeviceInfoList", l->DestroyDeviceInfoList);
  Lookup(l->setupapi, "SetupDiEnumDeviceInfo", l->EnumDeviceInfo);
  Lookup(l->setupapi, "SetupDiSetDeviceRegistryPropertyW", l->SetDeviceRegistryProperty);
  Lookup(l->setupapi, "SetupDiSetClassInstallParamsW", l->SetClassInstallParams);
  Lookup(l->setupapi, "SetupDiCallClassInstaller", l->CallClassInstaller);
  Lookup(l->cfgmgr32, "CM_Get_DevNode_Status", l->GetDevNodeStatus);
  return l;
}

// A multi-string property of a device read into 32768 bytes; none when the
// device does not have it or it cannot be read.
std::optional<std::vector<std::string>> MultiString(const SetupLibraries& l, HDEVINFO set, SP_DEVINFO_DATA& device,
                                                    DWORD property) {
  std::vector<BYTE> buffer(32768, 0);
  DWORD type = 0;
  DWORD required = 0;
  if (!l.GetDeviceRegistryProperty(set, &device, property, &type, buffer.data(), static_cast<DWORD>(buffer.size()),
                                   &required)) {
    return std::nullopt;
  }
  const std::size_t bytes = std::min<std::size_t>(required, buffer.size());
  std::u16string units(bytes / 2, u'\0');
  std::memcpy(units.data(), buffer.data(), units.size() * 2);
  return SplitMultiString(units);
}

// The hardware IDs of a device (none when they cannot be read).
std::vector<std::string> HardwareIds(const SetupLibraries& l, HDEVINFO set, SP_DEVINFO_DATA& device) {
  return MultiString(l, set, device, SPDRP_HARDWAREID).value_or(std::vector<std::string>{});
}

// One pending overlapped read. It lives apart from its collection so that a
// read the driver never completes keeps valid memory to write to.
struct ReadSlot {
  OVERLAPPED overlapped{};
  std::vector<std::uint8_t> buffer;
  bool pending = false;
  bool completed = false;
};

VOID CALLBACK ReadDone(DWORD, DWORD, LPOVERLAPPED overlapped) {
  auto* slot = reinterpret_cast<ReadSlot*>(overlapped);  // the slot starts with it
  slot->pending = false;
  slot->completed = true;
}
static_assert(offsetof(ReadSlot, overlapped) == 0);

class Win32HidCollection final : public HidCollection {
 public:
  Win32HidCollection(std::shared_ptr<const HidLibraries> libs, HANDLE handle)
      : libs_(std::move(libs)), handle_(handle), slot_(std::make_unique<ReadSlot>()) {}

  // On the thread that started the read: its completion routine runs here.
  ~Win32HidCollection() override {
    if (slot_->pending) {
      ::CancelIo(handle_);
      for (int i = 0; i < 200 && slot_->pending; ++i) SleepEx(10, TRUE);
      if (slot_->pending) (void)slot_.release();  // the driver may still write into it
    }
    if (preparsed_ != nullptr) libs_->FreePreparsedData(preparsed_);
    CloseHandle(handle_);
  }

  std::uint32_t HandleValue() const override {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle_));
  }

  bool GetAttributes() override {
    HIDD_ATTRIBUTES a{};
    a.Size = sizeof a;
    return libs_->GetAttributes(handle_, &a) != FALSE;
  }

  std::optional<HidCaps> GetCaps() override {
    if (!Preparsed()) return std::nullopt;
    HIDP_CAPS caps{};
    if (libs_->GetCaps(preparsed_, &caps) != HIDP_STATUS_SUCCESS) return std::nullopt;
    return HidCaps{caps.Usage, caps.UsagePage, caps.InputReportByteLength, caps.OutputReportByteLength,
                   caps.FeatureReportByteLength};
  }

  std::uint32_t GetFeature(std::span<std::uint8_t> report) override {
    SetLastError(0);
    if (libs_->GetFeature(handle_, report.data(), static_cast<ULONG>(report.size()))) return kErrorSuccess;
    return LastErrorOr(kErrorGenFailure);
  }

  std::uint32_t SetFeature(std::span<const std::uint8_t> report) override {
    std::vector<std::uint8_t> copy(report.begin(), report.end());
    SetLastError(0);
    if (libs_->SetFeature(handle_, copy.data(), static_cast<ULONG>(copy.size()))) return kErrorSuccess;
    return LastErrorOr(kErrorGenFailure);
  }

  std::uint32_t Write(std::span<const std::uint8_t> report) override {
    DWORD written = 0;
    SetLastError(0);
    const BOOL ok = WriteFile(handle_, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    const DWORD e = GetLastError();
    if (ok && e == 0) return kErrorSuccess;
    return e != 0 ? e : kErrorGenFailure;
  }

  std::uint32_t MaxInputUsageListLength() override {
    if (!Preparsed()) return 0;
    return libs_->MaxUsageListLength(HidP_Input, 0, preparsed_);
  }

  std::optional<std::vector<USAGE_AND_PAGE>> GetInputUsages(std::span<const std::uint8_t> report,
                                                            std::size_t room) override {
    if (!Preparsed()) return std::nullopt;
    std::vector<::USAGE_AND_PAGE> list(room);
    ULONG length = static_cast<ULONG>(room);
    std::vector<char> copy(report.begin(), report.end());
    if (libs_->GetUsagesEx(HidP_Input, 0, list.data(), &length, preparsed_, copy.data(),
                           static_cast<ULONG>(copy.size())) != HIDP_STATUS_SUCCESS) {
      return std::nullopt;
    }
    std::vector<USAGE_AND_PAGE> out;
    for (ULONG i = 0; i < length && i < room; ++i) out.push_back({list[i].Usage, list[i].UsagePage});
    return out;
  }

  std::uint32_t StartRead(std::size_t length) override {
    if (slot_->pending || slot_->completed) return kErrorInvalidParameter;
    slot_->overlapped = {};
    slot_->buffer.assign(length, 0);
    SetLastError(0);
    if (!ReadFileEx(handle_, slot_->buffer.data(), static_cast<DWORD>(length), &slot_->overlapped, ReadDone)) {
      return LastErrorOr(kErrorGenFailure);
    }
    slot_->pending = true;
    return kErrorSuccess;
  }

  HidReadWait WaitForReadOrStop(KernelEvent& stop) override {
    const auto* e = dynamic_cast<const Win32Event*>(&stop);
    if (e == nullptr) return HidReadWait::Failed;
    for (;;) {
      if (slot_->completed) return HidReadWait::Completed;
      // Alertable: the read's completion routine ends the wait as well.
      const DWORD r = WaitForSingleObjectEx(e->Native(), INFINITE, TRUE);
      if (r == WAIT_IO_COMPLETION) continue;
      if (r == WAIT_OBJECT_0) return slot_->completed ? HidReadWait::Completed : HidReadWait::Stopped;
      return HidReadWait::Failed;
    }
  }

  std::uint32_t FinishRead(std::span<std::uint8_t> buffer, std::uint32_t& bytesRead) override {
    bytesRead = 0;
    if (!slot_->completed) return kErrorIoIncomplete;
    slot_->completed = false;
    DWORD n = 0;
    if (!GetOverlappedResult(handle_, &slot_->overlapped, &n, FALSE)) return LastErrorOr(kErrorGenFailure);
    const std::size_t copied = std::min<std::size_t>({n, buffer.size(), slot_->buffer.size()});
    std::copy_n(slot_->buffer.begin(), copied, buffer.begin());
    bytesRead = static_cast<std::uint32_t>(copied);
    return kErrorSuccess;
  }

 private:
  bool Preparsed() {
    if (preparsed_ == nullptr && !libs_->GetPreparsedData(handle_, &preparsed_)) preparsed_ = nullptr;
    return preparsed_ != nullptr;
  }

  std::shared_ptr<const HidLibraries> libs_;
  HANDLE handle_;
  PHIDP_PREPARSED_DATA preparsed_ = nullptr;
  std::unique_ptr<ReadSlot> slot_;
};

}  // namespace

// ---- HID -----------------------------------------------------------------------------------

Win32Hid::Win32Hid() = default;

Win32Hid::~Win32Hid() = default;  // the libraries stay loaded for the life of the process

const std::shared_ptr<const HidLibraries>& Win32Hid::Libraries() {
  std::call_once(loaded_, [this] { libs_ = LoadHidLibrary(); });
  return libs_;
}

std::optional<Guid> Win32Hid::HidGuid() {
  const HidLibraries& l = *Libraries();
  if (l.GetHidGuid == nullptr) return std::nullopt;
  GUID g{};
  l.GetHidGuid(&g);
  Guid out;
  std::memcpy(&out, &g, sizeof out);
  return out;
}

std::optional<std::vector<HidInterface>> Win32Hid::PresentInterfaces(const Guid& interfaceClass) {
  const auto setup = LoadSetupLibraries();
  const SetupLibraries& l = *setup;
  if (!l.InterfacesUsable()) return std::nullopt;
  GUID g = ToGuid(interfaceClass);
  HDEVINFO set = l.GetClassDevs(&g, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<HidInterface> out;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!l.EnumDeviceInterfaces(set, nullptr, &g, index, &data)) break;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD required = 0;
    SetLastError(0);
    const BOOL sized = l.GetDeviceInterfaceDetail(set, &data, nullptr, 0, &required, &device);
    HidInterface item;
    item.detailSizeKnown = !sized && required > 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    if (item.detailSizeKnown) {
      item.hardwareIds = HardwareIds(l, set, device);
      std::vector<BYTE> detail(std::max<DWORD>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)), 0);
      auto* d = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail.data());
      d->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      if (l.GetDeviceInterfaceDetail(set, &data, d, static_cast<DWORD>(detail.size()), nullptr, nullptr)) {
        const std::size_t units = (detail.size() - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / 2;
        item.devicePath = Narrow(std::wstring_view(d->DevicePath, wcsnlen(d->DevicePath, units)));
      }
    }
    out.push_back(std::move(item));
  }
  l.DestroyDeviceInfoList(set);
  return out;
}

std::unique_ptr<HidCollection> Win32Hid::Open(std::string_view devicePath, bool overlapped, std::uint32_t& error) {
  if (!Libraries()->HidUsable()) {
    error = kErrorInvalidFunction;
    return nullptr;
  }
  HANDLE h = CreateFileW(Widen(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = LastErrorOr(kErrorGenFailure);
    return nullptr;
  }
  error = kErrorSuccess;
  return std::make_unique<Win32HidCollection>(libs_, h);
}

std::optional<std::vector<std::vector<std::string>>> Win32Hid::PresentDevicesOfSetupClass(const Guid& setupClass) {
  const auto setup = LoadSetupLibraries();
  const SetupLibraries& l = *setup;
  if (!l.DevicesUsable()) return std::nullopt;
  GUID g = ToGuid(setupClass);
  HDEVINFO set = l.GetClassDevs(&g, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<std::vector<std::string>> out;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!l.EnumDeviceInfo(set, index, &device)) break;
    out.push_back(HardwareIds(l, set, device));
  }
  l.DestroyDeviceInfoList(set);
  return out;
}

// ---- device installer ---------------------------------------------------------------------------

namespace {

class Win32DeviceInfoList final : public DeviceInfoList {
 public:
  Win32DeviceInfoList(std::shared_ptr<const SetupLibraries> libs, HDEVINFO set) : libs_(std::move(libs)), set_(set) {}
  ~Win32DeviceInfoList() override { libs_->DestroyDeviceInfoList(set_); }
  Win32DeviceInfoList(const Win32DeviceInfoList&) = delete;
  Win32DeviceInfoList& operator=(const Win32DeviceInfoList&) = delete;

  bool HasDevice(std::uint32_t index) override { return Device(index).has_value(); }

  std::optional<std::vector<std::string>> MultiStringProperty(std::uint32_t index, std::uint32_t property) override {
    auto device = Device(index);
    if (!device) return std::nullopt;
    return MultiString(*libs_, set_, *device, property);
  }

  bool SetProperty(std::uint32_t index, std::uint32_t property, std::span<const std::uint8_t> value) override {
    auto device = Device(index);
    if (!device || !libs_->SetDeviceRegistryProperty) return false;
    return libs_->SetDeviceRegistryProperty(set_, &*device, property, value.data(),
                                            static_cast<DWORD>(value.size())) != FALSE;
  }

  std::optional<std::uint32_t> DevNodeStatus(std::uint32_t index) override {
    auto device = Device(index);
    if (!device || !libs_->GetDevNodeStatus) return std::nullopt;
    ULONG status = 0;
    ULONG problem = 0;
    if (libs_->GetDevNodeStatus(&status, &problem, device->DevInst, 0) != CR_SUCCESS) return std::nullopt;
    return static_cast<std::uint32_t>(status);
  }

  bool ChangeState(std::uint32_t index, std::uint32_t state) override {
    auto device = Device(index);
    if (!device || !libs_->SetClassInstallParams || !libs_->CallClassInstaller) return false;
    SP_PROPCHANGE_PARAMS params = {};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = state;
    params.Scope = DICS_FLAG_GLOBAL;
    params.HwProfile = 0;
    if (!libs_->SetClassInstallParams(set_, &*device, &params.ClassInstallHeader, sizeof params)) return false;
    return libs_->CallClassInstaller(DIF_PROPERTYCHANGE, set_, &*device) != FALSE;
  }

 private:
  std::optional<SP_DEVINFO_DATA> Device(std::uint32_t index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!libs_->EnumDeviceInfo(set_, index, &device)) return std::nullopt;
    return device;
  }
  std::shared_ptr<const SetupLibraries> libs_;  // loaded while the list lives
  HDEVINFO set_;
};

}  // namespace

std::unique_ptr<DeviceInfoList> Win32DeviceSetup::PresentDevices(const Guid& setupClass) {
  auto libs = LoadSetupLibraries();
  if (!libs->DevicesUsable()) return nullptr;
  GUID g = ToGuid(setupClass);
  HDEVINFO set = libs->GetClassDevs(&g, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32DeviceInfoList>(std::move(libs), set);
}

// ---- notifications -------------------------------------------------------------------------------

bool Win32Notifications::RegisterForDeviceInterfaces(WindowHandle window, const Guid& interfaceClass) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = ToGuid(interfaceClass);
  return RegisterDeviceNotificationW(reinterpret_cast<HWND>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE) != nullptr;
}

std::uint32_t Win32Notifications::BroadcastDeviceType(std::intptr_t lParam) {
  if (lParam == 0 || lParam == -1) return 0;
  return reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype;
}

std::string Win32Notifications::BroadcastDevicePath(std::intptr_t lParam) {
  if (BroadcastDeviceType(lParam) != DBT_DEVTYP_DEVICEINTERFACE) return {};
  const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
  const std::size_t offset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  const std::size_t most = record->dbcc_size > offset ? (record->dbcc_size - offset) / sizeof(wchar_t) : 0;
  return Narrow(std::wstring(record->dbcc_name, wcsnlen(record->dbcc_name, most)));
}

// ---- control devices -------------------------------------------------------------------------------

namespace {

// CancelIoEx (Vista and later) cancels a request from any thread; without
// it only CancelIo on the thread that started the request can.
using CancelIoExFunction = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
CancelIoExFunction CancelIoExAddress() {
  static const CancelIoExFunction address = [] {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<CancelIoExFunction>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(kernel, "CancelIoEx")));
  }();
  return address;
}

class Win32ControlDevice final : public ControlDevice {
 public:
  Win32ControlDevice(HANDLE handle, bool overlapped) : handle_(handle), overlapped_(overlapped) {}
  // The last owner: no other thread uses the object any more.
  ~Win32ControlDevice() override {
    Close();
    if (request_) {
      // Nobody fetched the result. The system writes into the request until
      // it ends: wait for a cancel that reaches it, else let the buffers go
      // with the process rather than free them under the request.
      if (CanCancel(*request_)) {
        DWORD n = 0;
        GetOverlappedResult(handle_, &request_->overlapped, &n, TRUE);
      } else {
        (void)request_.release();
      }
      CloseHandle(handle_);
    }
  }

  std::uint32_t IoControl(std::uint32_t code, std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(mutex_);
    if (closed_ || overlapped_) return kErrorInvalidHandle;
    DWORD returned = 0;
    SetLastError(0);
    if (DeviceIoControl(handle_, code, buffer.data(), static_cast<DWORD>(buffer.size()), buffer.data(),
                        static_cast<DWORD>(buffer.size()), &returned, nullptr)) {
      return kErrorSuccess;
    }
    return LastErrorOr(kErrorGenFailure);
  }

  std::uint32_t StartIoControl(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputLength,
                               KernelEvent& done) override {
    std::lock_guard lock(mutex_);
    if (closed_ || !overlapped_) return kErrorInvalidHandle;
    if (request_) return kErrorInvalidParameter;
    const auto* e = dynamic_cast<const Win32Event*>(&done);
    if (e == nullptr) return kErrorInvalidParameter;
    ResetEvent(e->Native());
    auto request = std::make_unique<Request>();
    request->overlapped.hEvent = e->Native();
    request->input.assign(input.begin(), input.end());
    request->output.assign(outputLength, 0);
    request->starter = GetCurrentThreadId();
    SetLastError(0);
    const BOOL ok = DeviceIoControl(handle_, code, request->input.data(), static_cast<DWORD>(request->input.size()),
                                    request->output.data(), static_cast<DWORD>(request->output.size()), nullptr,
                                    &request->overlapped);
    const DWORD err = ok ? ERROR_SUCCESS : GetLastError();
    if (ok || err == ERROR_IO_PENDING) {
      request_ = std::move(request);
      return ok ? kErrorSuccess : kErrorIoPending;
    }
    return err != 0 ? err : kErrorGenFailure;
  }

  std::uint32_t FinishIoControl(std::span<std::uint8_t> output, std::uint32_t& bytes) override {
    std::lock_guard lock(mutex_);
    bytes = 0;
    if (!request_) return closed_ ? kErrorInvalidHandle : kErrorInvalidParameter;
    DWORD n = 0;
    std::uint32_t result = kErrorSuccess;
    if (GetOverlappedResult(handle_, &request_->overlapped, &n, FALSE)) {
      const std::size_t copied = std::min<std::size_t>({n, output.size(), request_->output.size()});
      std::copy_n(request_->output.begin(), copied, output.begin());
      bytes = static_cast<std::uint32_t>(copied);
    } else {
      result = LastErrorOr(kErrorGenFailure);
      if (result == ERROR_IO_INCOMPLETE) return result;
    }
    // The request has ended: its buffers, and a handle closed meanwhile, go.
    request_.reset();
    if (closed_) CloseHandle(handle_);
    return result;
  }

  void CancelIo() override {
    std::lock_guard lock(mutex_);
    if (request_) Cancel(*request_);
  }

  void Close() override {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    if (request_) {
      Cancel(*request_);  // the handle is closed once the result is fetched
    } else {
      CloseHandle(handle_);
    }
  }

 private:
  struct Request {
    OVERLAPPED overlapped{};
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> output;
    DWORD starter = 0;  // the thread that started it
  };
  static bool CanCancel(const Request& r) {
    return CancelIoExAddress() != nullptr || GetCurrentThreadId() == r.starter;
  }
  void Cancel(Request& r) {
    if (const CancelIoExFunction cancelEx = CancelIoExAddress()) {
      cancelEx(handle_, &r.overlapped);
    } else if (GetCurrentThreadId() == r.starter) {
      ::CancelIo(handle_);
    }
  }

  std::mutex mutex_;
  HANDLE handle_;
  bool overlapped_;
  bool closed_ = false;
  std::unique_ptr<Request> request_;  // started and its result not yet fetched
};

}  // namespace

std::shared_ptr<ControlDevice> Win32ControlDevices::Open(std::string_view path, bool overlapped, std::uint32_t& error) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | (overlapped ? FILE_FLAG_OVERLAPPED : 0), nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = LastErrorOr(kErrorGenFailure);
    return nullptr;
  }
  error = kErrorSuccess;
  return std::make_shared<Win32ControlDevice>(h, overlapped);
}

}  // namespace zr::win32
