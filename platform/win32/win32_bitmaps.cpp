#include "platform/win32/win32_bitmaps.h"

#include <string>

#include "platform/win32/win32_text.h"

namespace zr::win32 {

Win32Bitmap::Win32Bitmap(HBITMAP bitmap) : bitmap_(bitmap) {
  BITMAP info = {};
  if (bitmap_ != nullptr && GetObjectW(bitmap_, sizeof info, &info) == sizeof info) {
    width_ = info.bmWidth;
    height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  }
}

Win32Bitmap::~Win32Bitmap() {
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

std::unique_ptr<BitmapImage> Win32Bitmap::Copy() const {
  HANDLE copy = CopyImage(bitmap_, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (copy == nullptr) return nullptr;
  return std::make_unique<Win32Bitmap>(static_cast<HBITMAP>(copy));
}

std::unique_ptr<BitmapImage> Win32Bitmaps::LoadFromFile(std::string_view path) {
  const std::wstring wide = Widen(path);
  HANDLE loaded = LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (loaded == nullptr) return nullptr;
  return std::make_unique<Win32Bitmap>(static_cast<HBITMAP>(loaded));
}

void AssignToPictureControl(HWND control, const BitmapImage* image) {
  HBITMAP copy = nullptr;
  if (const auto* bitmap = dynamic_cast<const Win32Bitmap*>(image)) {
    copy = static_cast<HBITMAP>(CopyImage(bitmap->Handle(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(copy)));
  if (old != nullptr && old != copy) DeleteObject(old);
}

}  // namespace zr::win32
