// zrhidprobe.exe: the HID access component on the real platform, for the
// Wine tests. config.ini beside it gives the include list, as for the
// monitor. USAGE_PAGE and USAGE are hexadecimal.
//
//   zrhidprobe list                         every present HID interface: "interface PATH",
//                                           its hardware IDs ("id ID") and its capabilities
//                                           ("caps PAGE USAGE INPUT OUTPUT FEATURE")
//   zrhidprobe exists USAGE_PAGE USAGE [ID] the component's presence test; prints present
//                                           or absent, exit 0 or 1
//   zrhidprobe read USAGE_PAGE USAGE HIDID IDLE_MS
//                                           starts the readers, lets IDLE_MS pass, stops
//                                           them; prints "readers N", then "wake-ups W
//                                           reports R", then "stopped" or "still running"
//                                           (exit 0 only when they stopped)
#include "platform/win32/windows_h.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "device/hid_data.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace {

std::uint16_t Hex16(const wchar_t* text) { return static_cast<std::uint16_t>(std::wcstoul(text, nullptr, 16)); }

int Usage() {
  std::fputs("usage: zrhidprobe list | exists PAGE USAGE [ID] | read PAGE USAGE HIDID IDLE_MS\n", stderr);
  return 2;
}

int List(zr::Platform& p) {
  const auto interfaces = p.hid.PresentInterfaces(p.hid.HidGuid().value_or(zr::kHidInterfaceGuid));
  if (!interfaces) return 1;
  for (const auto& item : *interfaces) {
    std::printf("interface %s\n", item.devicePath.c_str());
    for (const auto& id : item.hardwareIds) std::printf("id %s\n", id.c_str());
    std::uint32_t error = 0;
    const auto collection = p.hid.Open(item.devicePath, false, error);
    if (!collection) {
      std::printf("open-failed %lu\n", static_cast<unsigned long>(error));
      continue;
    }
    if (const auto caps = collection->GetCaps()) {
      std::printf("caps %04x %04x %u %u %u\n", caps->UsagePage, caps->Usage, caps->InputReportByteLength,
                  caps->OutputReportByteLength, caps->FeatureReportByteLength);
    }
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  zr::win32::Win32Platform platform;
  zr::Platform& p = platform.platform();
  const std::wstring command = argv[1];
  if (command == L"list") return List(p);

  zr::TqvHIDData hid(p);
  if (command == L"exists" && argc >= 4) {
    auto query = std::make_unique<zr::THIDDataParam>();
    query->UsageAndPage = {Hex16(argv[3]), Hex16(argv[2])};
    if (argc >= 5) query->DeviceID = zr::win32::Narrow(argv[4]);
    const bool present = hid.IsDeviceExist(*query);
    std::puts(present ? "present" : "absent");
    return present ? 0 : 1;
  }
  if (command == L"read" && argc >= 6) {
    int reports = 0;
    hid.OnData = [&](const std::string&, const std::string&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
      ++reports;
    };
    hid.HidFindAndReadDevice({Hex16(argv[3]), Hex16(argv[2])}, zr::win32::Narrow(argv[4]));
    std::printf("readers %d\n", hid.RunningReaders());
    std::fflush(stdout);
    // The main thread takes the readers' hand-offs while it waits.
    const DWORD idle = static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < idle) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      p.windowing.ProcessMessages();
    }
    std::printf("wake-ups %llu reports %d\n", static_cast<unsigned long long>(hid.ReaderWakeUps()), reports);
    hid.HidStopRead();
    const DWORD stopAt = GetTickCount();
    while (hid.RunningReaders() > 0 && GetTickCount() - stopAt < 5000) {
      p.windowing.ProcessMessages();
      Sleep(1);
    }
    const bool stopped = hid.RunningReaders() == 0;
    std::puts(stopped ? "stopped" : "still running");
    return stopped ? 0 : 1;
  }
  return Usage();
}
