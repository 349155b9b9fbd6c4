#include "counting_new.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// Every block carries its size in front, so that a delete knows what it frees.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::int64_t> gInUse{0};
std::atomic<std::int64_t> gPeak{0};

void* Allocate(std::size_t n, std::size_t alignment = kHeader) {
  const std::size_t header = alignment > kHeader ? alignment : kHeader;
  auto* block = static_cast<unsigned char*>(std::aligned_alloc(header, ((header + n + header - 1) / header) * header));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block + header - sizeof(std::size_t) * 2) = header;
  *reinterpret_cast<std::size_t*>(block + header - sizeof(std::size_t)) = n;
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  const std::int64_t now = gInUse.fetch_add(static_cast<std::int64_t>(n)) + static_cast<std::int64_t>(n);
  std::int64_t peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
  return block + header;
}

void Free(void* p) noexcept {
  if (p == nullptr) return;
  auto* at = static_cast<unsigned char*>(p);
  const std::size_t n = *reinterpret_cast<std::size_t*>(at - sizeof(std::size_t));
  const std::size_t header = *reinterpret_cast<std::size_t*>(at - sizeof(std::size_t) * 2);
  gInUse.fetch_sub(static_cast<std::int64_t>(n));
  std::free(at - header);
}

}  // namespace

namespace zr::bench {

std::uint64_t Allocations() { return gAllocations.load(); }
std::int64_t InUse() { return gInUse.load(); }
std::int64_t Peak() { return gPeak.load(); }
std::int64_t ResetPeak() {
  const std::int64_t now = gInUse.load();
  gPeak.store(now);
  return now;
}

}  // namespace zr::bench

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete(void* p, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Free(p); }
