// Input events as any bytes: rule lists of any content, then mouse and
// keyboard events with any message number, wheel delta, flags, time and hook
// code, through the simulated hook library into the hook component, rule
// matching or one of the recording modes. Whatever the handlers ask, a mouse
// move and injected mouse input are never swallowed, and a mouse macro
// swallows nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

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
  // The recording modes, with handlers that take everything they are given.
  hook->OnRecordKeyboardSingleKey = [&](std::int32_t k, std::uint32_t, std::int32_t, std::int32_t,
                                        const std::string& text, bool& blocked) {
    sum += static_cast<unsigned>(k) + static_cast<unsigned>(text.size());
    if (control & 4) blocked = true;
  };
  hook->OnRecordKeyboardComboKey2 = [&](std::int32_t k1, std::int32_t, std::int32_t, std::int32_t k2, std::int32_t,
                                        std::int32_t, std::int32_t, const std::string& text) {
    sum += static_cast<unsigned>(k1 + k2) + static_cast<unsigned>(text.size());
  };
  hook->OnRecordKeyboardMacroKey = [&](std::int32_t, std::int32_t k, std::int32_t, std::int32_t, double,
                                       const std::string& text, const std::string&, const zr::TMacroKeyList& list) {
    sum += static_cast<unsigned>(k) + static_cast<unsigned>(text.size() + list.items.size());
  };
  hook->OnRecordKeyboardMacroKeyEx = [&](std::int32_t, std::int32_t k, std::int32_t, std::int32_t, double,
                                         std::uint32_t total, const std::string&, const std::string&,
                                         const zr::TMacroKeyList&) { sum += static_cast<unsigned>(k) + total; };
  hook->OnRecordMouseMacroKey = [&](std::int32_t, zr::TMouseButtons b, std::int32_t, std::uint16_t x, std::uint16_t,
                                    double, const std::string& text, const std::string&,
                                    const zr::TMouseMacroKeyList&) {
    sum += static_cast<unsigned>(b) + x + static_cast<unsigned>(text.size());
  };
  const unsigned recording = (control >> 4) % 6;  // 0: rule matching
  void (zr::TqvHook::*const modes[])() = {&zr::TqvHook::RecordKeyboardSingleKey,
                                           &zr::TqvHook::RecordKeyboardComboKey,
                                           &zr::TqvHook::RecordKeyboardMacroKey,
                                           &zr::TqvHook::RecordKeyboardMacroKeyEx, &zr::TqvHook::RecordMouseMacro};
  if (recording > 0) (hook.get()->*modes[recording - 1])();
  const bool mouseRecorded = recording == 5;

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
    if (!reached && (message == 0x0200 || (m.flags & zr::kLlmhfInjected) != 0 || mouseRecorded)) __builtin_trap();
    if ((kind & 4) && !mouseRecorded) {
      // The owner replaces the rules while the hook is stopped.
      hook->StopHookMouse();
      hook->RemoveAllMouseHookObject();
      hook->StartHookMouse();
    }
  }
  if (recording == 3 || recording == 4) hook->StopRecordKeyboardMacroKey();
  if (recording == 5) hook->StopRecordMouseMacro();
  hook.reset();
  (void)sum;
  return 0;
}
