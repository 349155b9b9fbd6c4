// zrimageprobe.exe: the image database on the real platform, for the Wine
// tests. Not shipped.
//
//   zrimageprobe FOLDER NAME...
//
// For each name, in order: the picture is assigned to one target (kept from
// name to name) and shown in a picture control, then asked for by IMAGE.
// Prints, per name:
//   control NAME WIDTH HEIGHT   what the picture control shows (0 0: nothing)
//   image NAME WIDTH HEIGHT     what IMAGE returned (0 0: an empty picture)
// and at the end "cache N", the number of cached pictures, and "hits N", how
// many second IMAGE calls returned the cached picture itself.
#include "platform/win32/windows_h.h"

#include <cstdio>

#include "imagedb/image_database.h"
#include "platform/win32/win32_bitmaps.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace {

void PrintControl(HWND control, const std::string& name) {
  BITMAP info = {};
  auto shown = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (shown == nullptr || GetObjectW(shown, sizeof info, &info) != sizeof info) info = {};
  std::printf("control %s %ld %ld\n", name.c_str(), info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zrimageprobe FOLDER NAME...\n");
    return 2;
  }
  zr::win32::Win32Files files;
  zr::win32::Win32Bitmaps bitmaps;
  zr::TImageDataBase db(files, bitmaps, zr::win32::Narrow(argv[1]));
  HWND control = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  zr::TBitmap target;
  int hits = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string name = zr::win32::Narrow(argv[i]);
    db.AssignIMAGE(target, name, "", "");
    zr::win32::AssignToPictureControl(control, target.Image());
    PrintControl(control, name);
    const auto image = db.IMAGE(name, "");
    std::printf("image %s %d %d\n", name.c_str(), image->Width(), image->Height());
    if (!image->Empty() && db.IMAGE(name, "") == db.IMAGE(name, "")) ++hits;
  }
  std::printf("cache %zu\nhits %d\n", db.IMGDB().size(), hits);
  DestroyWindow(control);
  return 0;
}
