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

namespace {

constexpr wchar_t kControlProcedure[] = L"zr.PictureControl.Procedure";

// The control's own procedure, with what it shows freed when it is
// destroyed: a static control frees no bitmap it was given, nor its own
// copy of one.
LRESULT CALLBACK PictureControlProcedure(HWND control, UINT message, WPARAM w, LPARAM l) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(control, kControlProcedure));
  if (message == WM_DESTROY) {
    ShowInPictureControl(control, nullptr);
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(control, kControlProcedure);
  }
  return CallWindowProcW(original, control, message, w, l);
}

}  // namespace

void ShowInPictureControl(HWND control, HBITMAP bitmap) {
  if (bitmap != nullptr && GetPropW(control, kControlProcedure) == nullptr) {
    const LONG_PTR original = GetWindowLongPtrW(control, GWLP_WNDPROC);
    if (original != 0 && SetPropW(control, kControlProcedure, reinterpret_cast<HANDLE>(original))) {
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PictureControlProcedure));
    }
  }
  const auto previous = reinterpret_cast<HBITMAP>(
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  // What STM_SETIMAGE returns is the bitmap shown before: ours, or the
  // control's copy of ours. Either is ours to free, unless it is still shown.
  const auto shown = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (bitmap != nullptr && shown != bitmap) DeleteObject(bitmap);
  if (previous != nullptr && previous != shown && previous != bitmap) DeleteObject(previous);
}

void AssignToPictureControl(HWND control, const BitmapImage* image) {
  HBITMAP copy = nullptr;
  if (const auto* bitmap = dynamic_cast<const Win32Bitmap*>(image)) {
    copy = static_cast<HBITMAP>(CopyImage(bitmap->Handle(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  ShowInPictureControl(control, copy);
}

}  // namespace zr::win32
