#include "imagedb/image_database.h"

#include "common/paths.h"

namespace zr {

TImageDataBase::TImageDataBase(FileSystem& files, BitmapPort& bitmaps)
    : files_(files), bitmaps_(bitmaps), FBasePath(WithTrailingBackslash(files.ExecutableFolder())) {}

TImageDataBase::TImageDataBase(FileSystem& files, BitmapPort& bitmaps, std::string_view APath)
    : files_(files), bitmaps_(bitmaps) {
  SetImageBasePath(APath);
}

TImageDataBase::~TImageDataBase() = default;

void TImageDataBase::SetImageBasePath(std::string_view APath) {
  // Exactly one backslash at the end, however many the path brought.
  std::string_view path = APath;
  while (path.size() > 1 && path.back() == '\\' && path[path.size() - 2] == '\\') path.remove_suffix(1);
  FBasePath = WithTrailingBackslash(path);
  cache_.clear();
}

const TqvImageData* TImageDataBase::Cached(std::string_view name) const {
  for (const auto& entry : cache_) {
    if (entry.ImageName == name) return &entry;
  }
  return nullptr;
}

const TqvImageData* TImageDataBase::Load(std::string_view name, const std::string& file) {
  if (!files_.FileExists(file)) return nullptr;
  std::unique_ptr<BitmapImage> image = bitmaps_.LoadFromFile(file);
  if (image == nullptr || image->Width() <= 0 || image->Height() <= 0) return nullptr;
  cache_.push_back(TqvImageData{std::string(name), file, std::make_shared<TBitmap>(std::move(image))});
  return &cache_.back();
}

std::shared_ptr<TBitmap> TImageDataBase::IMAGE(std::string_view AImageName, std::string_view AImagePath) {
  if (const TqvImageData* hit = Cached(AImageName)) return hit->Image;
  auto result = std::make_shared<TBitmap>();
  const std::string file = (AImagePath.empty() ? FBasePath : std::string(AImagePath)) + std::string(AImageName);
  if (const TqvImageData* entry = Load(AImageName, file)) result->Assign(*entry->Image);
  return result;
}

void TImageDataBase::AssignIMAGE(TBitmap& ATargetImage, std::string_view AImageName, std::string_view AImagePath,
                                 std::string_view AImageSubPath) {
  if (AImageName == "EMPTY") {
    ATargetImage.Clear();
    return;
  }
  if (const TqvImageData* hit = Cached(AImageName)) {
    ATargetImage.Assign(*hit->Image);
    return;
  }
  std::string file;
  if (!AImagePath.empty()) {
    file = std::string(AImagePath) + std::string(AImageName);
  } else {
    file = FBasePath;
    if (!AImageSubPath.empty()) file += std::string(AImageSubPath) + "\\";
    file += std::string(AImageName);
  }
  if (const TqvImageData* entry = Load(AImageName, file)) ATargetImage.Assign(*entry->Image);
}

}  // namespace zr
