// Pictures loaded from files by Windows' own image loading (LoadImage).
#pragma once

#include "platform/bitmaps.h"
#include "platform/win32/windows_h.h"

namespace zr::win32 {

class Win32Bitmap final : public BitmapImage {
 public:
  explicit Win32Bitmap(HBITMAP bitmap);
  ~Win32Bitmap() override;
  Win32Bitmap(const Win32Bitmap&) = delete;
  Win32Bitmap& operator=(const Win32Bitmap&) = delete;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::unique_ptr<BitmapImage> Copy() const override;
  HBITMAP Handle() const { return bitmap_; }

 private:
  HBITMAP bitmap_;
  int width_ = 0;
  int height_ = 0;
};

class Win32Bitmaps final : public BitmapPort {
 public:
  std::unique_ptr<BitmapImage> LoadFromFile(std::string_view path) override;
};

// Shows `bitmap` in a picture control (a static control with SS_BITMAP)
// and takes it over; null empties the control. A 32-bit bitmap with alpha
// is shown from a copy that the control makes itself (common controls 6):
// the bitmap given is then freed at once. Whatever the control showed
// before, and what it shows when it is destroyed, is freed.
void ShowInPictureControl(HWND control, HBITMAP bitmap);

// Shows a copy of the picture in a picture control, as above. Null or an
// empty picture empties the control.
void AssignToPictureControl(HWND control, const BitmapImage* image);

}  // namespace zr::win32
