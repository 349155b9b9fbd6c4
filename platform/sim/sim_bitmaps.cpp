#include "platform/sim/sim_bitmaps.h"

#include <cstdint>
#include <cstdlib>

namespace zr::sim {
namespace {

std::int32_t Int32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::int32_t>(std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
                                   std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24);
}

void PutInt32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

class SimBitmapImage final : public BitmapImage {
 public:
  SimBitmapImage(int width, int height, int& copies) : width_(width), height_(height), copies_(copies) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::unique_ptr<BitmapImage> Copy() const override {
    ++copies_;
    return std::make_unique<SimBitmapImage>(width_, height_, copies_);
  }

 private:
  int width_;
  int height_;
  int& copies_;
};

constexpr std::size_t kHeaders = 14 + 40;  // file header, info header

}  // namespace

std::unique_ptr<BitmapImage> SimBitmaps::LoadFromFile(std::string_view path) {
  const FileReadResult r = files_.ReadFile(path, 64u << 20);
  if (!r.ok()) return nullptr;
  ++loads;
  const auto& b = r.bytes;
  if (b.size() < kHeaders || b[0] != 'B' || b[1] != 'M' || Int32At(b, 14) < 40) return nullptr;
  // A negative height is a top-down bitmap of that many rows.
  const std::int32_t width = Int32At(b, 18);
  const std::int32_t height = Int32At(b, 22);
  if (width <= 0 || height == 0 || height == INT32_MIN) return nullptr;
  return std::make_unique<SimBitmapImage>(width, std::abs(height), copies);
}

std::vector<std::uint8_t> MakeBitmapFile(int width, int height) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> b(kHeaders + stride * static_cast<std::size_t>(height), 0);
  b[0] = 'B';
  b[1] = 'M';
  PutInt32(b, 2, static_cast<std::uint32_t>(b.size()));
  PutInt32(b, 10, kHeaders);
  PutInt32(b, 14, 40);
  PutInt32(b, 18, static_cast<std::uint32_t>(width));
  PutInt32(b, 22, static_cast<std::uint32_t>(height));
  b[26] = 1;   // planes
  b[28] = 24;  // bits per pixel
  return b;
}

}  // namespace zr::sim
