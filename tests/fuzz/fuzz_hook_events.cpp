// Input events as any bytes: rule lists of any content, then mouse and
// keyboard events with any message number, wheel delta, flags and hook code,
// through the simulated hook library into the hook component. Whatever the
// handlers ask, a mouse move and injected mouse input are never swallowed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "hook/qv_hook.h"
#include "platform/sim/sim_world.h"

namespace {

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool Take(void* out, std::size_t n) {
    if (size - at < n) return false;
    std::memcpy(out, data + at, n);
    at += n;
    return true;
  }
  std::uint8_t Byte() {
    std::uint8_t b = 0;
    Take(&b, 1);
    return b;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zr::sim::SimWorld world;
  zr::sim::SimProcess process(world);
  auto hook = std::make_unique<zr::TqvHook>(process.platform());
  Reader in{data, size};
  const std::uint8_t control = in.Byte();  // bits: handlers that block
  unsigned sum = 0;
  hook->OnHookMouseButton = [&](zr::TMouseButtons b, std::int32_t s, bool& blocked) {
    sum += static_cast<unsigned>(b) + static_cast<unsigned>(s);
    blocked = (control & 1) != 0;
  };
  hook->OnHookMouseAllButton = [&](zr::TMouseButtons b, std::int32_t s, std::int16_t extra, bool& blocked) {
    sum += static_cast<unsigned>(b) + static_cast<unsigned>(s) + static_cast<unsigned>(extra);
    if (control & 2) blocked = true;
  };
  hook->OnHookMouseMove = [&](std::int32_t x, std::int32_t y, double t) {
    sum += static_cast<unsigned>(x) + static_cast<unsigned>(y) + static_cast<unsigned>(t > 0);
  };
  hook->OnHookKeyboardKey = [&](std::int32_t k, std::int32_t s, std::int32_t e, bool& blocked, std::uint32_t scan) {
    sum += static_cast<unsigned>(k) + static_cast<unsigned>(s) + static_cast<unsigned>(e) + scan;
    if (control & 4) blocked = true;
  };
  hook->OnHookKeyboardAllKey = [&](std::int32_t k, std::int32_t, std::int32_t, bool& blocked, std::uint32_t) {
    sum += static_cast<unsigned>(k);
    if (control & 8) blocked = true;
  };

  for (std::uint8_t n = in.Byte() % 9; n > 0; --n) {
    auto rule = std::make_unique<zr::TMouseHookDetailObject>();
    in.Take(&rule->FMouseHookDetail, sizeof rule->FMouseHookDetail);
    hook->AddMouseHookObject(std::move(rule));
  }
  for (std::uint8_t n = in.Byte() % 9; n > 0; --n) {
    auto rule = std::make_unique<zr::TKeyBoardHookDetailObject>();
    in.Take(&rule->FKeyBoardHookDetail, sizeof rule->FKeyBoardHookDetail);
    hook->AddKeyboardHookObject(std::move(rule));
  }
  hook->StartHookMouse();
  hook->StartHookKeyboard();

  for (int events = 0; in.at < in.size && events < 256; ++events) {
    const std::uint8_t kind = in.Byte();
    std::uint32_t message = 0;
    std::int32_t code = 0;
    in.Take(&message, sizeof message);
    in.Take(&code, 1);
    if (kind & 1) {
      zr::TKBDLLHOOKSTRUCT k{};
      in.Take(&k, sizeof k);
      world.input.Keyboard(message, k, code);
      continue;
    }
    zr::TMSLLHOOKSTRUCT m{};
    in.Take(&m, sizeof m);
    if (kind & 2) message = 0x0200 + (message & 0x1F);  // mostly mouse messages
    const bool reached = world.input.Mouse(message, m, code);
    if (!reached && (message == 0x0200 || (m.flags & zr::kLlmhfInjected) != 0)) __builtin_trap();
    if (kind & 4) {
      // The owner replaces the rules while the hook is stopped.
      hook->StopHookMouse();
      hook->RemoveAllMouseHookObject();
      hook->StartHookMouse();
    }
  }
  hook.reset();
  (void)sum;
  return 0;
}
