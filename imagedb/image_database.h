// Named pictures loaded on demand from a folder and kept, once loaded, for
// the life of the database (or until its folder changes).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bitmaps.h"
#include "platform/files.h"

namespace zr {

// A picture that may be empty. Assigning copies the picture.
class TBitmap {
 public:
  TBitmap() = default;
  explicit TBitmap(std::unique_ptr<BitmapImage> image) : image_(std::move(image)) {}
  TBitmap(const TBitmap& other) { Assign(other); }
  TBitmap& operator=(const TBitmap& other) {
    if (this != &other) Assign(other);
    return *this;
  }
  TBitmap(TBitmap&&) = default;
  TBitmap& operator=(TBitmap&&) = default;

  bool Empty() const { return image_ == nullptr; }
  int Width() const { return image_ ? image_->Width() : 0; }
  int Height() const { return image_ ? image_->Height() : 0; }
  void Clear() { image_.reset(); }
  // Becomes a copy of `source` (empty when it is empty).
  void Assign(const TBitmap& source) { image_ = source.image_ ? source.image_->Copy() : nullptr; }
  // The platform's picture, for showing it in a picture control.
  const BitmapImage* Image() const { return image_.get(); }

 private:
  std::unique_ptr<BitmapImage> image_;
};

// One cached picture.
struct TqvImageData {
  std::string ImageName;  // the name asked for, relative to the folder
  std::string ImagePath;  // the file it was loaded from
  std::shared_ptr<TBitmap> Image;
};

class TImageDataBase {
 public:
  // The folder is the executable's.
  TImageDataBase(FileSystem& files, BitmapPort& bitmaps);
  TImageDataBase(FileSystem& files, BitmapPort& bitmaps, std::string_view APath);
  ~TImageDataBase();
  TImageDataBase(const TImageDataBase&) = delete;
  TImageDataBase& operator=(const TImageDataBase&) = delete;

  // The folder, ending with exactly one backslash; empties the cache.
  void SetImageBasePath(std::string_view APath);
  const std::string& ImageDBPath() const { return FBasePath; }

  // The named picture: the cached one when it was loaded before, else a copy
  // of the newly loaded one (empty when the file is missing or no picture).
  // The file is AImagePath + name when AImagePath is given, else the
  // folder's.
  std::shared_ptr<TBitmap> IMAGE(std::string_view AImageName, std::string_view AImagePath);
  // Copies the named picture into the target; "EMPTY" empties it. A picture
  // that cannot be loaded leaves the target as it was. Without AImagePath
  // the file is in the folder, or in its AImageSubPath subfolder.
  void AssignIMAGE(TBitmap& ATargetImage, std::string_view AImageName, std::string_view AImagePath,
                   std::string_view AImageSubPath);

  const std::vector<TqvImageData>& IMGDB() const { return cache_; }

 private:
  const TqvImageData* Cached(std::string_view name) const;
  // Loads the file and caches it; null when it holds no usable picture.
  const TqvImageData* Load(std::string_view name, const std::string& file);

  FileSystem& files_;
  BitmapPort& bitmaps_;
  std::string FBasePath;
  std::vector<TqvImageData> cache_;
};

}  // namespace zr
