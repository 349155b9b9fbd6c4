#include "platform/sim/sim_devices.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/text.h"
#include "platform/error_codes.h"

namespace zr::sim {

namespace {

constexpr std::size_t kMemorySize = 0x10000;
// Input reports a handle keeps while nobody reads, as the HID class driver does.
constexpr std::size_t kInputQueue = 32;

// The firmware's feature reports: report ID 2 to 6, each of one length.
std::optional<std::size_t> FeatureLengthOf(std::uint8_t reportId) {
  switch (reportId) {
    case 2:
      return 16;
    case 3:
      return 64;
    case 4:
      return 1024;
    case 5:
      return 2048;
    case 6:
      return 4096;
    default:
      return std::nullopt;
  }
}

std::string Hex8(std::uint32_t v) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", v);
  return buf;
}

std::string Hex2(std::uint8_t v) {
  char buf[3];
  std::snprintf(buf, sizeof buf, "%02x", v);
  return buf;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (const char c : text) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    v = v << 4 | static_cast<std::uint32_t>(d);
  }
  return v;
}

std::optional<int> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

// A completed request's result: its error, or its data as far as `to` holds it.
std::uint32_t CopyResult(std::uint32_t error, const std::vector<std::uint8_t>& from, std::span<std::uint8_t> to,
                         std::uint32_t& bytes) {
  if (error != kErrorSuccess) return error;
  const std::size_t n = std::min(to.size(), from.size());
  std::copy_n(from.begin(), n, to.begin());
  bytes = static_cast<std::uint32_t>(n);
  return kErrorSuccess;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

}  // namespace

std::vector<SimHidInterfaceSpec> DefaultMouseInterfaces() {
  SimHidInterfaceSpec vendor;
  vendor.devicePath =
      "\\\\?\\hid#vid_5a3c&pid_0001&mi_01&col01#8&2c5e4b1a&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  vendor.hardwareIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_01&Col01", "HID\\VID_5A3C&PID_0001&MI_01&Col01",
                        "HID_DEVICE_UP:FFA0_U:0001", "HID_DEVICE"};
  vendor.caps = {0x0001, 0xFFA0, 8, 0, 4096};
  vendor.firmware = true;
  SimHidInterfaceSpec mouse;
  mouse.devicePath = "\\\\?\\hid#vid_5a3c&pid_0001&mi_00#8&1f3a9d27&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  mouse.hardwareIds = {"HID\\VID_5A3C&PID_0001&REV_0100&MI_00", "HID\\VID_5A3C&PID_0001&MI_00",
                       "HID_DEVICE_SYSTEM_MOUSE", "HID_DEVICE"};
  mouse.caps = {0x0002, 0x0001, 8, 0, 0};
  mouse.buttons = true;
  return {vendor, mouse};
}

// ---- state of open handles ------------------------------------------------------------

struct SimDevices::OpenCollection {
  std::size_t index;
  std::uint64_t arrival;  // the interface's arrival this handle belongs to
  bool overlapped;
  std::uint32_t handle;
  bool readStarted = false;  // has ever read (the log names a reader once)
  std::deque<std::vector<std::uint8_t>> queued;
  bool readPending = false;
  std::size_t readLength = 0;
  bool completed = false;
  std::uint32_t error = 0;
  std::vector<std::uint8_t> data;
};

struct SimDevices::OpenControl {
  bool overlapped;
  bool closed = false;
  bool pending = false;  // a request started and not yet fetched
  bool completed = false;
  std::size_t outputLength = 0;
  std::uint32_t error = 0;
  std::vector<std::uint8_t> output;
  KernelEvent* done = nullptr;
  std::size_t starter = 0;  // the simulated thread that started the request
};

// ---- the HID port --------------------------------------------------------------------

class SimHidCollection final : public HidCollection {
 public:
  SimHidCollection(SimDevices& devices, std::shared_ptr<SimDevices::OpenCollection> c)
      : devices_(devices), c_(std::move(c)) {}
  ~SimHidCollection() override { std::erase(devices_.open_, c_); }

  std::uint32_t HandleValue() const override { return c_->handle; }
  bool GetAttributes() override { return devices_.Connected(*c_); }
  std::optional<HidCaps> GetCaps() override {
    if (!devices_.Connected(*c_)) return std::nullopt;
    return Info().caps;
  }

  std::uint32_t GetFeature(std::span<std::uint8_t> report) override {
    if (const std::uint32_t e = devices_.FeatureCheck(*c_, report); e != kErrorSuccess) return e;
    const std::vector<std::uint8_t>& request = devices_.lastRequest_;
    std::fill(report.begin() + 1, report.end(), 0);
    // The answer's header echoes the request's; a memory read answers with
    // the bytes asked for at offset 8.
    for (std::size_t i = 1; i < 8 && i < request.size() && i < report.size(); ++i) report[i] = request[i];
    if (request.size() >= 8 && (request[1] & 0x7F) == 3) {
      const std::size_t address = request[2] | std::size_t(request[3]) << 8;
      const std::size_t length = request[4] | std::size_t(request[5]) << 8;
      for (std::size_t k = 0; k < length && 8 + k < report.size(); ++k) {
        report[8 + k] = address + k < kMemorySize ? devices_.memory_[address + k] : 0;
      }
    }
    devices_.Log("get-feature " + Hex2(report[0]) + " " + ToHexLower(report));
    return kErrorSuccess;
  }

  std::uint32_t SetFeature(std::span<const std::uint8_t> report) override {
    if (const std::uint32_t e = devices_.FeatureCheck(*c_, report); e != kErrorSuccess) return e;
    devices_.lastRequest_.assign(report.begin(), report.end());
    devices_.Log("set-feature " + ToHexLower(report));
    return kErrorSuccess;
  }

  std::uint32_t Write(std::span<const std::uint8_t> report) override {
    if (!devices_.Connected(*c_)) return kErrorDeviceNotConnected;
    if (report.empty() || report.size() > Info().caps.OutputReportByteLength) return kErrorInvalidParameter;
    devices_.Log("write " + ToHexLower(report));
    return kErrorSuccess;
  }

  std::uint32_t MaxInputUsageListLength() override { return Info().buttons ? 5 : 0; }
  std::optional<std::vector<USAGE_AND_PAGE>> GetInputUsages(std::span<const std::uint8_t> report,
                                                            std::size_t room) override {
    if (!devices_.Connected(*c_)) return std::nullopt;
    std::vector<USAGE_AND_PAGE> usages;
    if (Info().buttons && report.size() > 1) {
      for (std::uint16_t bit = 0; bit < 5 && usages.size() < room; ++bit) {
        if (report[1] & (1u << bit)) usages.push_back({static_cast<std::uint16_t>(bit + 1), 0x0009});
      }
    }
    return usages;
  }

  std::uint32_t StartRead(std::size_t length) override {
    if (!c_->overlapped) return kErrorInvalidParameter;
    if (!devices_.Connected(*c_)) return kErrorDeviceNotConnected;
    if (length == 0 || length < Info().caps.InputReportByteLength) return kErrorInvalidUserBuffer;
    if (c_->readPending || c_->completed) return kErrorInvalidParameter;
    if (!c_->readStarted) {
      c_->readStarted = true;
      devices_.Log("reader-open " + Info().devicePath);
    }
    c_->readPending = true;
    c_->readLength = length;
    devices_.Complete(*c_);
    return kErrorSuccess;
  }

  HidReadWait WaitForReadOrStop(KernelEvent& stop) override {
    const auto* s = dynamic_cast<const SimEvent*>(&stop);
    if (s == nullptr) return HidReadWait::Failed;
    if (c_->completed) return HidReadWait::Completed;
    if (s->IsSet()) return HidReadWait::Stopped;
    return HidReadWait::NotYet;
  }

  std::uint32_t FinishRead(std::span<std::uint8_t> buffer, std::uint32_t& bytesRead) override {
    bytesRead = 0;
    if (!c_->completed) return kErrorIoIncomplete;
    c_->completed = false;
    return CopyResult(c_->error, c_->data, buffer, bytesRead);
  }

 private:
  const SimHidInterfaceSpec& Info() const { return devices_.interfaces[c_->index]; }
  SimDevices& devices_;
  std::shared_ptr<SimDevices::OpenCollection> c_;
};

std::optional<Guid> SimHid::HidGuid() {
  if (!devices_.hidLibraryAvailable) return std::nullopt;
  return kHidInterfaceGuid;
}

std::optional<std::vector<HidInterface>> SimHid::PresentInterfaces(const Guid& interfaceClass) {
  if (!devices_.interfaceSetOpens) return std::nullopt;
  std::vector<HidInterface> out;
  if (interfaceClass != kHidInterfaceGuid) return out;
  devices_.EnsureInterfaceState();
  for (std::size_t i = 0; i < devices_.interfaces.size(); ++i) {
    if (devices_.present_[i]) out.push_back({devices_.interfaces[i].devicePath, devices_.interfaces[i].hardwareIds, true});
  }
  return out;
}

std::unique_ptr<HidCollection> SimHid::Open(std::string_view devicePath, bool overlapped, std::uint32_t& error) {
  devices_.EnsureInterfaceState();
  for (std::size_t i = 0; i < devices_.interfaces.size(); ++i) {
    if (devices_.present_[i] && EqualsIgnoreCase(devices_.interfaces[i].devicePath, devicePath)) {
      auto c = std::make_shared<SimDevices::OpenCollection>();
      c->index = i;
      c->arrival = devices_.arrivals_[i];
      c->overlapped = overlapped;
      c->handle = devices_.nextHandle_ += 4;
      devices_.open_.push_back(c);
      error = kErrorSuccess;
      return std::make_unique<SimHidCollection>(devices_, c);
    }
  }
  error = kErrorFileNotFound;
  return nullptr;
}

std::optional<std::vector<std::vector<std::string>>> SimHid::PresentDevicesOfSetupClass(const Guid& setupClass) {
  if (!devices_.interfaceSetOpens) return std::nullopt;
  std::vector<std::vector<std::string>> out;
  if (setupClass != kHidSetupClassGuid) return out;
  devices_.EnsureInterfaceState();
  for (std::size_t i = 0; i < devices_.interfaces.size(); ++i) {
    if (devices_.present_[i]) out.push_back(devices_.interfaces[i].hardwareIds);
  }
  return out;
}

// ---- the control device ------------------------------------------------------------------

class SimControlDevice final : public ControlDevice {
 public:
  SimControlDevice(SimDevices& devices, std::shared_ptr<SimDevices::OpenControl> c)
      : devices_(devices), c_(std::move(c)) {}
  ~SimControlDevice() override {
    Close();
    // Windows would write into buffers that are gone.
    if (c_->pending && !c_->completed) ++devices_.requestsAbandoned;
    std::erase(devices_.controlOpen_, c_);
  }

  std::uint32_t IoControl(std::uint32_t code, std::span<std::uint8_t> buffer) override {
    if (const std::uint32_t e = Check(); e != kErrorSuccess) return e;
    if ((code == 0x80008004u && buffer.size() != 238) || (code == 0x8000800Cu && buffer.size() != 2)) {
      return kErrorInvalidParameter;
    }
    Take(code, buffer);
    if (code == 0x80008004u) devices_.cpiBlocks.emplace_back(buffer.begin(), buffer.end());
    if (code == 0x8000800Cu) devices_.stages.push_back(static_cast<std::uint16_t>(buffer[0] | buffer[1] << 8));
    return kErrorSuccess;
  }

  std::uint32_t StartIoControl(std::uint32_t code, std::span<const std::uint8_t> input, std::size_t outputLength,
                               KernelEvent& done) override {
    if (!c_->overlapped) return kErrorInvalidParameter;
    if (c_->pending) return kErrorInvalidParameter;
    if (const std::uint32_t e = Check(); e != kErrorSuccess) return e;
    done.Reset();
    Take(code, input);
    c_->pending = true;
    c_->completed = false;
    c_->outputLength = outputLength;
    c_->done = &done;
    c_->starter = devices_.kernel_.CurrentThread();
    return kErrorIoPending;
  }

  std::uint32_t FinishIoControl(std::span<std::uint8_t> output, std::uint32_t& bytes) override {
    bytes = 0;
    if (!c_->pending) return kErrorInvalidParameter;
    if (!c_->completed) return kErrorIoIncomplete;
    c_->pending = false;
    if (c_->closed) std::erase(devices_.controlOpen_, c_);
    return CopyResult(c_->error, c_->output, output, bytes);
  }

  // As on Windows, only the thread that started a request can cancel it.
  void CancelIo() override {
    if (c_->pending && !c_->completed && devices_.kernel_.CurrentThread() == c_->starter) {
      devices_.FailRequest(*c_, kErrorOperationAborted);
    }
  }

  void Close() override {
    if (c_->closed) return;
    c_->closed = true;
    CancelIo();
    if (!c_->pending) std::erase(devices_.controlOpen_, c_);
  }

 private:
  std::uint32_t Check() {
    if (c_->closed) return kErrorInvalidHandle;
    if (!devices_.driverPresent) return kErrorDeviceNotConnected;
    if (devices_.failIoctl > 0) {
      --devices_.failIoctl;
      return kErrorGenFailure;
    }
    return kErrorSuccess;
  }
  void Take(std::uint32_t code, std::span<const std::uint8_t> input) {
    devices_.requests.push_back({code, {input.begin(), input.end()}});
    devices_.Log("ioctl " + Hex8(code) + " " + ToHexLower(input));
  }

  SimDevices& devices_;
  std::shared_ptr<SimDevices::OpenControl> c_;
};

std::shared_ptr<ControlDevice> SimControlDevices::Open(std::string_view path, bool overlapped, std::uint32_t& error) {
  if (!devices_.driverPresent || !EqualsIgnoreCase(path, "\\\\.\\" + devices_.driverDeviceName)) {
    error = kErrorFileNotFound;
    return nullptr;
  }
  auto c = std::make_shared<SimDevices::OpenControl>();
  c->overlapped = overlapped;
  devices_.controlOpen_.push_back(c);
  error = kErrorSuccess;
  return std::make_shared<SimControlDevice>(devices_, c);
}

// ---- notifications ---------------------------------------------------------------------------

bool SimNotifications::RegisterForDeviceInterfaces(WindowHandle window, const Guid& interfaceClass) {
  if (devices_.refuseRegistration) return false;
  devices_.registrations_.push_back({window, interfaceClass});
  return true;
}

std::uint32_t SimNotifications::BroadcastDeviceType(std::intptr_t lParam) {
  if (lParam == 0 || lParam == -1) return 0;
  DevBroadcastHeader header;
  std::memcpy(&header, reinterpret_cast<const void*>(lParam), sizeof header);
  return header.dbch_devicetype;
}

std::string SimNotifications::BroadcastDevicePath(std::intptr_t lParam) {
  if (BroadcastDeviceType(lParam) != kDbtDevtypDeviceInterface) return {};
  // The name follows the record, as in the platform's record.
  DevBroadcastHeader header;
  std::memcpy(&header, reinterpret_cast<const void*>(lParam), sizeof header);
  const auto* name = reinterpret_cast<const char16_t*>(lParam + sizeof(DevBroadcastDeviceInterface));
  const std::size_t most = header.dbch_size > sizeof(DevBroadcastDeviceInterface)
                               ? (header.dbch_size - sizeof(DevBroadcastDeviceInterface)) / 2
                               : 0;
  std::u16string text;
  for (std::size_t i = 0; i < most && name[i] != 0; ++i) text += name[i];
  return Utf16ToUtf8(text);
}

// ---- the models ---------------------------------------------------------------------------------

SimDevices::SimDevices(SimKernel& kernel) : kernel_(kernel), memory_(kMemorySize, 0) {}

SimDevices::~SimDevices() { kernel_.DropAllThreads(); }

void SimDevices::Log(std::string line) {
  if (onLog) onLog(line);
  if (keepLog) log.push_back(std::move(line));
}

void SimDevices::EnsureInterfaceState() {
  present_.resize(interfaces.size(), false);
  arrivals_.resize(interfaces.size(), 0);
}

bool SimDevices::Connected(const OpenCollection& c) const {
  return c.index < present_.size() && present_[c.index] && arrivals_[c.index] == c.arrival;
}

bool SimDevices::InterfacePresent(std::size_t index) const { return index < present_.size() && present_[index]; }

bool SimDevices::Plugged() const { return std::find(present_.begin(), present_.end(), true) != present_.end(); }

std::uint32_t SimDevices::FeatureCheck(const OpenCollection& c, std::span<const std::uint8_t> report) {
  if (!Connected(c)) return kErrorDeviceNotConnected;
  if (!interfaces[c.index].firmware) return kErrorInvalidFunction;
  if (report.empty() || FeatureLengthOf(report[0]) != report.size()) return kErrorInvalidParameter;
  if (failFeature > 0) {
    --failFeature;
    return kErrorGenFailure;
  }
  return kErrorSuccess;
}

void SimDevices::Complete(OpenCollection& c) {
  if (!c.readPending || c.completed) return;
  if (!Connected(c)) {
    c.error = kErrorDeviceNotConnected;
    c.data.clear();
  } else if (failRead > 0) {
    --failRead;
    c.error = kErrorGenFailure;
    c.data.clear();
  } else if (!c.queued.empty()) {
    c.error = kErrorSuccess;
    c.data = std::move(c.queued.front());
    c.queued.pop_front();
    if (c.data.size() > c.readLength) c.data.resize(c.readLength);
  } else {
    return;
  }
  c.readPending = false;
  c.completed = true;
}

void SimDevices::SetInterfacePresent(std::size_t index, bool present) {
  EnsureInterfaceState();
  if (index >= interfaces.size() || present_[index] == present) return;
  present_[index] = present;
  if (present) {
    ++arrivals_[index];
  } else {
    // Reads of the removed collection fail.
    for (const auto& c : std::vector(open_)) {
      if (c->index == index) Complete(*c);
    }
    kernel_.Wake();
  }
  Notify(index, present ? kDbtDeviceArrival : kDbtDeviceRemoveComplete);
  NotifyTreeChanged();
}

void SimDevices::StartPlugged() {
  EnsureInterfaceState();
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    if (!present_[i]) ++arrivals_[i];
    present_[i] = true;
  }
}

void SimDevices::Plug() {
  EnsureInterfaceState();
  if (std::find(present_.begin(), present_.end(), false) == present_.end()) return;
  Log("plug");
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    if (present_[i]) continue;
    present_[i] = true;
    ++arrivals_[i];
    Notify(i, kDbtDeviceArrival);
  }
  NotifyTreeChanged();
}

void SimDevices::Unplug() {
  EnsureInterfaceState();
  if (!Plugged()) return;
  Log("unplug");
  std::vector<std::size_t> gone;
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    if (present_[i]) gone.push_back(i);
    present_[i] = false;
  }
  for (const auto& c : std::vector(open_)) Complete(*c);
  kernel_.Wake();
  for (const std::size_t i : gone) Notify(i, kDbtDeviceRemoveComplete);
  NotifyTreeChanged();
}

bool SimDevices::Input(std::span<const std::uint8_t> report) {
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    if (interfaces[i].firmware) return InputOn(i, report);
  }
  return false;
}

bool SimDevices::InputOn(std::size_t index, std::span<const std::uint8_t> report) {
  if (!InterfacePresent(index) || report.size() != interfaces[index].caps.InputReportByteLength) return false;
  for (const auto& c : std::vector(open_)) {
    if (c->index != index || !c->overlapped || !Connected(*c)) continue;
    if (c->queued.size() == kInputQueue) c->queued.pop_front();
    c->queued.emplace_back(report.begin(), report.end());
    Complete(*c);
  }
  kernel_.Wake();
  return true;
}

bool SimDevices::SetMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  if (address > kMemorySize || bytes.size() > kMemorySize - address) return false;
  std::copy(bytes.begin(), bytes.end(), memory_.begin() + address);
  return true;
}

void SimDevices::FailRequest(OpenControl& c, std::uint32_t error) {
  c.completed = true;
  c.error = error;
  c.output.clear();
  if (c.done != nullptr) c.done->Set();
}

bool SimDevices::AnswerPendingRequest(std::span<const std::uint8_t> answer) {
  for (const auto& c : controlOpen_) {
    if (!c->pending || c->completed) continue;
    c->completed = true;
    c->error = kErrorSuccess;
    c->output.assign(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), c->outputLength)));
    if (c->done != nullptr) c->done->Set();
    return true;
  }
  return false;
}

bool SimDevices::FailPendingRequest(std::uint32_t error) {
  for (const auto& c : controlOpen_) {
    if (c->pending && !c->completed) {
      FailRequest(*c, error);
      return true;
    }
  }
  return false;
}

std::size_t SimDevices::PendingRequests() const {
  return static_cast<std::size_t>(
      std::count_if(controlOpen_.begin(), controlOpen_.end(), [](const auto& c) { return c->pending && !c->completed; }));
}

void SimDevices::Notify(std::size_t index, std::uint32_t event) {
  if (!postDeviceChange) return;
  for (const Registration& r : std::vector(registrations_)) {
    if (r.interfaceClass != kHidInterfaceGuid) continue;
    Broadcast& b = broadcasts_.emplace_back();
    // Posted records are read when the message is handled; a few hundred
    // kept are far more than any queue holds.
    if (broadcasts_.size() > 512) broadcasts_.pop_front();
    const std::u16string name = Utf8ToUtf16(interfaces[index].devicePath);
    const std::size_t units = std::min<std::size_t>(name.size(), 255);
    std::copy_n(name.begin(), units, b.name);
    b.name[units] = 0;
    b.record.header.dbch_size = static_cast<std::uint32_t>(sizeof b.record + 2 * (units + 1));
    b.record.header.dbch_devicetype = kDbtDevtypDeviceInterface;
    b.record.header.dbch_reserved = 0;
    b.record.dbcc_classguid = kHidInterfaceGuid;
    postDeviceChange(r.window, event, reinterpret_cast<std::intptr_t>(&b.record));
  }
}

void SimDevices::NotifyTreeChanged() {
  if (!postDeviceChange) return;
  for (const Registration& r : std::vector(registrations_)) postDeviceChange(r.window, kDbtDevNodesChanged, 0);
}

bool SimDevices::SeedMemory(std::string_view seeds, std::string& error) {
  std::size_t start = 0;
  while (start <= seeds.size()) {
    std::size_t end = seeds.find(';', start);
    if (end == std::string_view::npos) end = seeds.size();
    const std::string_view item = TrimBlanks(seeds.substr(start, end - start));
    start = end + 1;
    if (item.empty()) continue;
    const std::size_t eq = item.find('=');
    const auto address = eq == std::string_view::npos ? std::nullopt : ParseHexNumber(item.substr(0, eq));
    const auto bytes = eq == std::string_view::npos ? std::nullopt : ParseHexBytes(item.substr(eq + 1));
    if (!address || !bytes) {
      error = "not ADDRESS=HEX: " + std::string(item);
      return false;
    }
    if (!SetMemory(*address, *bytes)) {
      error = "beyond the 64 KiB memory: " + std::string(item);
      return false;
    }
  }
  return true;
}

bool SimDevices::Command(std::string_view line, std::string& error) {
  const auto w = Words(line);
  if (w.empty()) {
    error = "no command";
    return false;
  }
  const std::string_view cmd = w[0];
  if ((cmd == "plug" || cmd == "unplug") && w.size() == 1) {
    cmd == "plug" ? Plug() : Unplug();
    return true;
  }
  if (cmd == "input" && w.size() == 2) {
    const auto bytes = ParseHexBytes(w[1]);
    if (!bytes || bytes->empty()) {
      error = "input: not a report in hexadecimal: " + std::string(w[1]);
      return false;
    }
    const auto firmware = std::find_if(interfaces.begin(), interfaces.end(),
                                       [](const SimHidInterfaceSpec& i) { return i.firmware; });
    const std::size_t length = firmware == interfaces.end() ? 0 : firmware->caps.InputReportByteLength;
    if (bytes->size() != length) {
      error = "input: a report of the mouse is " + std::to_string(length) + " bytes, report ID first (" +
              std::to_string(2 * length) + " hexadecimal digits), not " + std::to_string(bytes->size());
      return false;
    }
    if (!Input(*bytes)) {
      error = "input: the mouse is not plugged in";
      return false;
    }
    return true;
  }
  if (cmd == "memory" && w.size() == 3) {
    const auto address = ParseHexNumber(w[1]);
    const auto bytes = ParseHexBytes(w[2]);
    if (!address || !bytes) {
      error = "memory: usage memory ADDRESS HEX (both hexadecimal)";
      return false;
    }
    if (!SetMemory(*address, *bytes)) {
      error = "memory: beyond the 64 KiB memory";
      return false;
    }
    return true;
  }
  if (cmd == "driver" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
    driverPresent = w[1] == "on";
    return true;
  }
  if ((cmd == "fail-feature" || cmd == "fail-ioctl") && w.size() == 2) {
    const auto n = ParseCount(w[1]);
    if (!n) {
      error = std::string(cmd) + ": not a count: " + std::string(w[1]);
      return false;
    }
    (cmd == "fail-feature" ? failFeature : failIoctl) = *n;
    return true;
  }
  error = "unknown command: " + std::string(line);
  return false;
}

}  // namespace zr::sim
