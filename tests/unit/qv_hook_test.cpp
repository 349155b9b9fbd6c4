// The hook component over the simulated hook library: loading, the slots,
// mouse classification and rule matching, keyboard rule matching, and what
// reaches the desktop.
#include "hook/qv_hook.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimInput;
using B = TMouseButtons;

constexpr std::uint32_t kWheel = 0x020A;
constexpr TMouseButtonStateSet kWheelSet = 0x0400;

TMSLLHOOKSTRUCT MouseData(std::uint16_t high, std::uint32_t flags = 0) {
  TMSLLHOOKSTRUCT d{};
  d.x = 10;
  d.y = 20;
  d.mouseData = static_cast<std::uint32_t>(high) << 16;
  d.flags = flags;
  d.time = 777;
  return d;
}

std::unique_ptr<TMouseHookDetailObject> MouseRule(B button, TMouseButtonStateSet states, B modified = B::BUTTON_NONE) {
  auto r = std::make_unique<TMouseHookDetailObject>();
  r->FMouseHookDetail.MouseButton = button;
  r->FMouseHookDetail.MouseStateSet = states;
  r->FMouseHookDetail.ModifiedFunction = modified;
  return r;
}

std::unique_ptr<TKeyBoardHookDetailObject> KeyRule(std::int32_t vk, std::int32_t scan, std::int32_t extended,
                                                   std::int32_t block) {
  auto r = std::make_unique<TKeyBoardHookDetailObject>();
  r->FKeyBoardHookDetail = {vk, scan, extended, block};
  return r;
}

class Hook : public ::testing::Test {
 protected:
  std::unique_ptr<TqvHook> Create() {
    auto hook = std::make_unique<TqvHook>(process.platform());
    hook->OnHookMouseButton = [this](B b, std::int32_t state, bool& blocked) {
      buttons.push_back({b, state});
      blocked = blockInHandler;
    };
    return hook;
  }
  sim::SimWorld world;
  sim::SimProcess process{world};
  struct Raised {
    B button;
    std::int32_t state;
    bool operator==(const Raised&) const = default;
  };
  std::vector<Raised> buttons;
  bool blockInHandler = true;
};

// ---- the library --------------------------------------------------------------------

TEST_F(Hook, WithoutTheLibraryAMessageBoxIsShownOnceAndEveryOperationDoesNothing) {
  process.hookLibrary().present = false;
  auto hook = Create();
  EXPECT_FALSE(hook->DLLLoaded());
  ASSERT_EQ(process.system().messageBoxes.size(), 1u);
  EXPECT_EQ(process.system().messageBoxes[0].text, "qvHook.dll can not be found!");
  EXPECT_EQ(process.system().messageBoxes[0].caption, "Error");
  EXPECT_EQ(process.system().messageBoxes[0].flags, kMbIconError);
  hook->AddMouseHookObject(MouseRule(B::WHEELUP, kWheelSet));
  hook->StartHookMouse();
  hook->StartHookKeyboard();
  EXPECT_EQ(hook->MouseHookObjectCount(), 1u);
  EXPECT_EQ(world.input.Installed(SimInput::Kind::Mouse), 0);
  EXPECT_TRUE(world.input.Wheel(120));
  hook.reset();
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
}

TEST_F(Hook, ALibraryWithoutAnEntryPointIsLeftSilently) {
  process.hookLibrary().missingExport = "DisableMouseHook";
  auto hook = Create();
  EXPECT_FALSE(hook->DLLLoaded());
  EXPECT_TRUE(process.system().messageBoxes.empty());
  hook->StartHookMouse();
  EXPECT_EQ(world.input.Installed(SimInput::Kind::Mouse), 0);
}

TEST_F(Hook, StartingTwiceLeavesOneCallbackAndDestructionRemovesEveryHookAndTheThread) {
  auto hook = Create();
  ASSERT_TRUE(hook->DLLLoaded());
  // The worker thread comes with the first hand-off entry, once.
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  hook->QueueRecordData(std::make_unique<TRecordDataBlock>());
  hook->QueueRecordData(std::make_unique<TRecordDataBlock>());
  EXPECT_EQ(world.kernel.LiveThreads(), 1u);
  hook->StartHookMouse();
  hook->StartHookMouse();
  hook->StartHookKeyboard();
  EXPECT_EQ(world.input.Installed(SimInput::Kind::Mouse), 1);
  EXPECT_EQ(world.input.Installed(SimInput::Kind::Keyboard), 1);
  hook->StopHookKeyboard();
  EXPECT_EQ(world.input.Installed(SimInput::Kind::Keyboard), 0);
  hook.reset();
  EXPECT_EQ(world.input.Installed(SimInput::Kind::Mouse), 0);
  EXPECT_EQ(world.kernel.LiveThreads(), 0u);
  EXPECT_FALSE(process.hookLibrary().processLibrary);
}

TEST_F(Hook, TheLibraryIsLoadedOncePerProcess) {
  auto first = Create();
  auto second = Create();
  EXPECT_TRUE(second->DLLLoaded());
  EXPECT_EQ(process.hookLibrary().loads, 1);
}

// ---- mouse classification -------------------------------------------------------------

TEST_F(Hook, MouseMessagesAreClassifiedIntoButtonStateAndExtraValue) {
  struct Case {
    std::uint32_t message;
    std::uint16_t high;
    std::optional<std::tuple<B, std::int32_t, std::int16_t>> raised;
  };
  const Case cases[] = {
      {kWheel, 240, {{B::WHEELUP, 1, 240}}},
      {kWheel, static_cast<std::uint16_t>(-120), {{B::WHEELDOWN, 1, -120}}},
      {kWheel, 0, {{B::BUTTON_NONE, 1, 0}}},
      {0x020B, 1, {{B::XCLICK4, 1, 1}}},
      {0x020C, 2, {{B::XCLICK5, 0, 2}}},
      {0x020B, 3, {{B::BUTTON_NONE, 1, 3}}},
      {0x0201, 0, {{B::LCLICK, 1, 0}}},
      {0x0202, 5, {{B::LCLICK, 0, 0}}},
      {0x0204, 0, {{B::RCLICK, 1, 0}}},
      {0x0205, 0, {{B::RCLICK, 0, 0}}},
      {0x0207, 0, {{B::MCLICK, 1, 0}}},
      {0x0208, 0, {{B::MCLICK, 0, 0}}},
      {0x0203, 0, {{B::BUTTON_NONE, 1, 0}}},  // a double click
      {0x020E, 120, {{B::BUTTON_NONE, 1, 0}}},  // the horizontal wheel
      {0x0300, 0, {{B::BUTTON_NONE, 1, 0}}},    // not a mouse message at all
  };
  auto hook = Create();
  std::vector<std::tuple<B, std::int32_t, std::int16_t>> seen;
  hook->OnHookMouseAllButton = [&](B b, std::int32_t s, std::int16_t extra, bool&) { seen.push_back({b, s, extra}); };
  for (const Case& c : cases) {
    seen.clear();
    bool blocked = false;
    hook->MouseHookProc(0, c.message, MouseData(c.high), blocked);
    ASSERT_EQ(seen.size(), 1u) << std::hex << c.message;
    EXPECT_EQ(seen[0], *c.raised) << std::hex << c.message << " " << c.high;
  }
}

TEST_F(Hook, MouseRulesMatchByStateSetAndEqualOrGreaterButton) {
  struct Case {
    const char* what;
    std::vector<std::tuple<B, TMouseButtonStateSet, B>> rules;  // button, states, modified
    std::uint32_t message;
    std::uint16_t high;
    std::vector<Raised> raised;
  };
  const Case cases[] = {
      {"a lone wheel-down rule takes wheel up", {{B::WHEELDOWN, kWheelSet, B::BUTTON_NONE}}, kWheel, 120,
       {{B::WHEELUP, 1}}},
      {"a lone wheel-up rule leaves wheel down", {{B::WHEELUP, kWheelSet, B::BUTTON_NONE}}, kWheel,
       static_cast<std::uint16_t>(-120), {}},
      {"the modified function silences its button", {{B::WHEELUP, kWheelSet, B::WHEELUP}}, kWheel, 120, {}},
      {"the first applying rule ends the walk",
       {{B::WHEELDOWN, kWheelSet, B::WHEELUP}, {B::WHEELDOWN, kWheelSet, B::BUTTON_NONE}}, kWheel, 120, {}},
      {"a rule of other states is passed over",
       {{B::WHEELDOWN, 0x0002, B::BUTTON_NONE}, {B::WHEELDOWN, kWheelSet, B::BUTTON_NONE}}, kWheel,
       static_cast<std::uint16_t>(-120), {{B::WHEELDOWN, 1}}},
      {"a button-up message with its state", {{B::LCLICK, 0x0004, B::BUTTON_NONE}}, 0x0202, 0, {{B::LCLICK, 0}}},
      {"the last state ordinal still applies", {{B::BUTTON_NONE, 0x8000, B::LCLICK}}, 0x020F, 0,
       {{B::BUTTON_NONE, 1}}},
      {"messages beyond the mouse range never apply", {{B::BUTTONX3, 0xFFFF, B::LCLICK}}, 0x0300, 0, {}},
  };
  for (const Case& c : cases) {
    auto hook = Create();
    for (const auto& [button, states, modified] : c.rules) hook->AddMouseHookObject(MouseRule(button, states, modified));
    buttons.clear();
    bool blocked = false;
    hook->MouseHookProc(0, c.message, MouseData(c.high), blocked);
    EXPECT_EQ(buttons, c.raised) << c.what;
    EXPECT_EQ(blocked, !c.raised.empty()) << c.what;
  }
}

TEST_F(Hook, InjectedInputAndMovesAreNeverSwallowed) {
  auto hook = Create();
  hook->AddMouseHookObject(MouseRule(B::BUTTONX3, 0xFFFF));
  std::vector<std::tuple<std::int32_t, std::int32_t, double>> moves;
  hook->OnHookMouseMove = [&](std::int32_t x, std::int32_t y, double t) { moves.push_back({x, y, t}); };
  hook->OnHookMouseAllButton = [](B, std::int32_t, std::int16_t, bool& blocked) { blocked = true; };
  hook->StartHookMouse();
  EXPECT_TRUE(world.input.Wheel(120, /*injected=*/true));
  EXPECT_TRUE(buttons.empty());
  EXPECT_TRUE(world.input.Mouse(0x0200, MouseData(0)));
  EXPECT_TRUE(world.input.Mouse(0x0200, MouseData(0, kLlmhfInjected)));
  EXPECT_EQ(moves, (std::vector<std::tuple<std::int32_t, std::int32_t, double>>{{10, 20, 777.0}}));
  // A move handed over already marked Blocked still passes.
  bool blocked = true;
  hook->MouseHookProc(0, 0x0200, MouseData(0), blocked);
  EXPECT_FALSE(blocked);
  // A user's wheel notch is taken and swallowed.
  EXPECT_FALSE(world.input.Wheel(120));
  EXPECT_EQ(buttons, (std::vector<Raised>{{B::WHEELUP, 1}}));
  EXPECT_EQ(world.input.WheelDeltasDelivered(), (std::vector<int>{120}));
}

// ---- keyboard ---------------------------------------------------------------------------

TEST_F(Hook, KeyboardRulesMatchByKeyOrScanCodeWithTheExtendedFlag) {
  struct Case {
    const char* what;
    std::vector<TKeyBoardHookDetail> rules;
    std::int32_t code;
    std::uint32_t vk, scan, flags;
    bool handlerBlocks;
    int allKeys;                      // OnHookKeyboardAllKey raised
    std::vector<std::int32_t> keys;   // OnHookKeyboardKey: the states raised
    bool blocked;
  };
  const Case cases[] = {
      {"a hook code other than 0", {{0x41, 0, 0, 1}}, 1, 0x41, 30, 0, false, 0, {}, false},
      {"a first rule of -1 ends the walk", {{-1, 0, 0, 0}, {0x41, 0, 0, 1}}, 0, 0x41, 30, 0, false, 1, {}, false},
      {"by virtual key, blocking", {{0x41, 0, 0, 1}}, 0, 0x41, 30, 0, false, 1, {1}, true},
      {"by scan code, key up", {{0, 30, 0, 0}}, 0, 0x41, 30, kLlkhfUp, false, 1, {0}, false},
      {"the extended flag must match", {{0x41, 30, 1, 1}}, 0, 0x41, 30, 0, false, 1, {}, false},
      {"extended keys match extended rules", {{0x2E, 0, 1, 0}}, 0, 0x2E, 83, kLlkhfExtended, false, 1, {1}, false},
      {"block 0 leaves Blocked to the handler", {{0x41, 0, 0, 0}}, 0, 0x41, 30, 0, true, 1, {1}, true},
      {"one event per key: the first match", {{0x41, 0, 0, 0}, {0, 30, 0, 1}}, 0, 0x41, 30, 0, false, 1, {1}, false},
      {"no match", {{0x42, 31, 0, 1}}, 0, 0x41, 30, 0, false, 1, {}, false},
  };
  for (const Case& c : cases) {
    auto hook = Create();
    int allKeys = 0;
    std::vector<std::int32_t> keys;
    hook->OnHookKeyboardAllKey = [&](std::int32_t, std::int32_t, std::int32_t, bool&, std::uint32_t) { ++allKeys; };
    hook->OnHookKeyboardKey = [&](std::int32_t key, std::int32_t state, std::int32_t, bool& blocked,
                                  std::uint32_t scan) {
      EXPECT_EQ(static_cast<std::uint32_t>(key), c.vk);
      EXPECT_EQ(scan, c.scan);
      keys.push_back(state);
      if (c.handlerBlocks) blocked = true;
    };
    for (const auto& r : c.rules) hook->AddKeyboardHookObject(KeyRule(r.KeyboardVKKey, r.KeyboardSCANKey, r.KeyExtended, r.block));
    hook->StartHookKeyboard();
    const TKBDLLHOOKSTRUCT data{c.vk, c.scan, c.flags, 5, 0};
    const bool reached = world.input.Keyboard(c.flags & kLlkhfUp ? sim::kSimWmKeyUp : sim::kSimWmKeyDown, data, c.code);
    EXPECT_EQ(allKeys, c.allKeys) << c.what;
    EXPECT_EQ(keys, c.keys) << c.what;
    EXPECT_EQ(!reached, c.blocked) << c.what;
  }
}

}  // namespace
}  // namespace zr
