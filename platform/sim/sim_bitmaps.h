// Pictures of the simulated world: Windows bitmap files (.bmp) among the
// world's files, loaded as LoadImage loads them (a file that is not a
// bitmap loads nothing).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/bitmaps.h"
#include "platform/files.h"

namespace zr::sim {

class SimBitmaps final : public BitmapPort {
 public:
  explicit SimBitmaps(FileSystem& files) : files_(files) {}
  std::unique_ptr<BitmapImage> LoadFromFile(std::string_view path) override;

  int loads = 0;   // files read by LoadFromFile
  int copies = 0;  // copies made of loaded pictures

 private:
  FileSystem& files_;
};

// The bytes of a bitmap file of that size (24 bits per pixel, all black).
std::vector<std::uint8_t> MakeBitmapFile(int width, int height);

}  // namespace zr::sim
