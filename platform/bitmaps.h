// Pictures loaded from files: the platform's own image loading.
#pragma once

#include <memory>
#include <string_view>

namespace zr {

// A loaded picture. The platform keeps its pixels; the core only asks for
// its size and for copies.
class BitmapImage {
 public:
  virtual ~BitmapImage() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // An independent copy; null when the platform cannot make one.
  virtual std::unique_ptr<BitmapImage> Copy() const = 0;
};

class BitmapPort {
 public:
  virtual ~BitmapPort() = default;
  // The picture in the file; null when the file is missing or holds no
  // picture the platform can load.
  virtual std::unique_ptr<BitmapImage> LoadFromFile(std::string_view path) = 0;
};

}  // namespace zr
