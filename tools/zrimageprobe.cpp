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
//
//   zrimageprobe --picture-control
//
// Shows bitmaps made here in a picture control, in this order: two 32-bit
// bitmaps with alpha, two 24-bit ones; then destroys the control. Prints,
// per bitmap, "show KIND shown=given|copy given=alive|freed
// previous=alive|freed|none" (what the control shows, whether the bitmap
// given and the one shown before still exist), and at the end "destroy
// last=alive|freed".
#include "platform/win32/windows_h.h"

#include <cstdio>
#include <string>

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

const char* Alive(HGDIOBJ object) { return GetObjectType(object) != 0 ? "alive" : "freed"; }

// A 4 by 4 DIB section of that depth; with 32 bits, every pixel half
// transparent.
HBITMAP MakeBitmap(WORD bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = 4;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap != nullptr && bits == 32) {
    for (int i = 0; i < 16; ++i) static_cast<DWORD*>(pixels)[i] = 0x80FF8000;
  }
  return bitmap;
}

int PictureControl() {
  HWND control = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  for (const WORD bits : {32, 32, 24, 24}) {
    const auto previous = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    HBITMAP given = MakeBitmap(bits);
    zr::win32::ShowInPictureControl(control, given);
    const auto shown = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    std::printf("show %s shown=%s given=%s previous=%s\n", bits == 32 ? "alpha" : "plain",
                shown == given ? "given" : "copy", Alive(given), previous != nullptr ? Alive(previous) : "none");
  }
  const auto last = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  DestroyWindow(control);
  std::printf("destroy last=%s\n", Alive(last));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"--picture-control") return PictureControl();
  if (argc < 3) {
    std::fprintf(stderr, "usage: zrimageprobe FOLDER NAME... | zrimageprobe --picture-control\n");
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
