// The recording modes of the hook component over the simulated hook library,
// with the events' time stamps chosen by each test: the slots, the items and
// their lists, every event with its arguments, and what is swallowed.
#include "hook/qv_hook.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimInput;
using B = TMouseButtons;
using Lines = std::vector<std::string>;

constexpr std::uint32_t A = 0x41, Bk = 0x42, C = 0x43, kLCtrl = 0xA2, kLShift = 0xA0, kRCtrl = 0xA3;

// One key event: virtual key, up or down, extended, time. A key of
// kRecordAgain starts the recording mode anew instead.
constexpr std::uint32_t kRecordAgain = 0;
struct Key {
  std::uint32_t vk;
  bool up;
  std::uint32_t time;
  bool extended = false;
};

// One mouse event: message, high word of mouseData, time, position.
struct Mouse {
  std::uint32_t message;
  std::int16_t high;
  std::uint32_t time;
  std::int32_t x = 0, y = 0;
  bool injected = false;
};

class Recording : public ::testing::Test {
 protected:
  // A fresh component (the old one unloads the library first).
  void SetUp() override {
    hook.reset();
    hook = std::make_unique<TqvHook>(process.platform());
  }

  // True when the event reached the programs (was not swallowed).
  bool Press(const Key& k) {
    const TKBDLLHOOKSTRUCT d{k.vk, k.vk & 0x7F, (k.up ? kLlkhfUp : 0u) | (k.extended ? kLlkhfExtended : 0u), k.time,
                             0};
    return world.input.Keyboard(k.up ? sim::kSimWmKeyUp : sim::kSimWmKeyDown, d);
  }
  bool Send(const Mouse& m) {
    TMSLLHOOKSTRUCT d{};
    d.x = m.x;
    d.y = m.y;
    d.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(m.high)) << 16;
    d.flags = m.injected ? kLlmhfInjected : 0;
    d.time = m.time;
    return world.input.Mouse(m.message, d);
  }
  // Every keyboard macro event as "TYPE KEY STATE EXT TIME TEXT STATETEXT #ITEMS".
  void RecordMacroEvents() {
    hook->OnRecordKeyboardMacroKey = [this](std::int32_t type, std::int32_t key, std::int32_t state, std::int32_t ext,
                                            double time, const std::string& text, const std::string& stateText,
                                            const TMacroKeyList& list) {
      raised.push_back(std::to_string(type) + " " + std::to_string(key) + " " + std::to_string(state) + " " +
                       std::to_string(ext) + " " + std::to_string(static_cast<long>(time)) + " " + text + " " +
                       stateText + " #" + std::to_string(list.items.size()));
    };
  }
  // Keyboard items as "TYPE/STATE/VALUE/EXT", in order.
  Lines KeyItems() const {
    Lines out;
    for (const auto& [name, item] : hook->MacroKeyList().items) {
      const TMACROKEYHOOK& k = item->FMacroKey;
      EXPECT_EQ(name, std::to_string(out.size()));
      out.push_back(std::to_string(k.nKeyType) + "/" + std::to_string(k.nKeyState) + "/" +
                    std::to_string(k.nKeyValue) + "/" + std::to_string(k.nKeyValueExtended));
    }
    return out;
  }

  sim::SimWorld world;
  sim::SimProcess process{world};
  std::unique_ptr<TqvHook> hook;
  Lines raised;
};

TEST_F(Recording, EachRecordTakesItsKindsSlotAndEachStopGivesItBack) {
  struct Mode {
    const char* name;
    void (TqvHook::*record)();
    void (TqvHook::*stop)();
    SimInput::Kind kind;
  };
  const Mode modes[] = {
      {"single key", &TqvHook::RecordKeyboardSingleKey, &TqvHook::StopRecordKeyboardSingleKey, SimInput::Kind::Keyboard},
      {"combination", &TqvHook::RecordKeyboardComboKey, &TqvHook::StopRecordKeyboardComboKey, SimInput::Kind::Keyboard},
      {"macro", &TqvHook::RecordKeyboardMacroKey, &TqvHook::StopRecordKeyboardMacroKey, SimInput::Kind::Keyboard},
      {"extended macro", &TqvHook::RecordKeyboardMacroKeyEx, &TqvHook::StopRecordKeyboardMacroKeyEx,
       SimInput::Kind::Keyboard},
      {"mouse macro", &TqvHook::RecordMouseMacro, &TqvHook::StopRecordMouseMacro, SimInput::Kind::Mouse},
  };
  int hooked = 0;
  hook->OnHookKeyboardAllKey = [&](std::int32_t, std::int32_t, std::int32_t, bool&, std::uint32_t) { ++hooked; };
  hook->OnHookMouseAllButton = [&](B, std::int32_t, std::int16_t, bool&) { ++hooked; };
  for (const Mode& m : modes) {
    hook->StartHookKeyboard();
    hook->StartHookMouse();
    (hook.get()->*m.record)();
    EXPECT_EQ(world.input.Installed(m.kind), 1) << m.name;
    hooked = 0;
    m.kind == SimInput::Kind::Keyboard ? (void)Press({A, false, 5}) : (void)Send({0x0201, 0, 5});
    EXPECT_EQ(hooked, 0) << m.name << ": the recording replaced rule matching";
    (hook.get()->*m.stop)();
    EXPECT_EQ(world.input.Installed(m.kind), 0) << m.name;
    hook->StopHookKeyboard();
    hook->StopHookMouse();
  }
}

TEST_F(Recording, SingleKeyReportsEveryKeyAndTheHandlerDecidesTheBlock) {
  hook->OnRecordKeyboardSingleKey = [this](std::int32_t key, std::uint32_t scan, std::int32_t state,
                                           std::int32_t ext, const std::string& text, bool& blocked) {
    raised.push_back(std::to_string(key) + " " + std::to_string(scan) + " " + std::to_string(state) + " " +
                     std::to_string(ext) + " " + text);
    blocked = key == 0x2E;
  };
  hook->RecordKeyboardSingleKey();
  EXPECT_TRUE(Press({A, false, 10}));
  EXPECT_FALSE(Press({0x2E, true, 20, true}));
  EXPECT_EQ(raised, (Lines{"65 65 1 0 A", "46 46 0 1 DEL"}));
}

TEST_F(Recording, CombinationsJoinKeysWithin100msUnderTheModifiersHeld) {
  struct Case {
    const char* what;
    std::vector<Key> keys;
    Lines raised;           // "KEY1 EXT1 KEY2 EXT2 MODIFIER TEXT"
    std::vector<bool> reached;
  };
  const Case cases[] = {
      {"Ctrl held, two keys 50 ms apart, a third 50 ms later",
       {{kLCtrl, false, 1000}, {A, false, 1100}, {Bk, false, 1150}, {C, false, 1200}},
       {"65 0 0 0 2 Ctrl+A", "65 0 66 0 2 Ctrl+A+B", "67 0 0 0 2 Ctrl+C"},
       {true, false, false, false}},
      {"the same key twice within 100 ms", {{A, false, 1000}, {A, false, 1050}}, {"65 0 0 0 0 A", "65 0 0 0 0 A"},
       {false, false}},
      {"keys more than 100 ms apart", {{A, false, 1000}, {Bk, false, 1101}}, {"65 0 0 0 0 A", "66 0 0 0 0 B"},
       {false, false}},
      {"keys exactly 100 ms apart", {{A, false, 1000}, {Bk, false, 1100}}, {"65 0 0 0 0 A", "65 0 66 0 0 A+B"},
       {false, false}},
      {"Shift alone, and key-ups", {{kLShift, false, 1000}, {A, true, 1010}, {kLShift, true, 1020}}, {},
       {true, true, true}},
      {"every modifier in order, an extended key",
       {{kRCtrl, false, 900, true}, {0xA4, false, 910}, {0x5B, false, 920, true}, {kLShift, false, 930},
        {0x2E, false, 1000, true}},
       {"46 1 0 0 15 Ctrl+Alt+Win+Shift+DEL"},
       {true, true, true, true, false}},
      {"Ctrl+A, Ctrl released: B comes without Ctrl",
       {{kLCtrl, false, 900}, {A, false, 1000}, {kLCtrl, true, 1050}, {Bk, false, 1200}},
       {"65 0 0 0 2 Ctrl+A", "66 0 0 0 0 B"},
       {true, false, true, false}},
      {"a new recording starts a new combination",
       {{A, false, 1000}, {kRecordAgain, false, 0}, {Bk, false, 1050}},
       {"65 0 0 0 0 A", "66 0 0 0 0 B"},
       {false, true, false}},
  };
  for (const Case& c : cases) {
    SetUp();
    raised.clear();
    hook->OnRecordKeyboardComboKey = [this](std::int32_t k1, std::int32_t e1, std::int32_t k2, std::int32_t e2,
                                            std::int32_t mod, const std::string& text) {
      raised.push_back(std::to_string(k1) + " " + std::to_string(e1) + " " + std::to_string(k2) + " " +
                       std::to_string(e2) + " " + std::to_string(mod) + " " + text);
      EXPECT_EQ(hook->ComboKeyString(), text);
    };
    hook->RecordKeyboardComboKey();
    std::vector<bool> reached;
    for (const Key& k : c.keys) {
      if (k.vk == kRecordAgain) hook->RecordKeyboardComboKey();
      reached.push_back(k.vk == kRecordAgain || Press(k));
    }
    EXPECT_EQ(raised, c.raised) << c.what;
    EXPECT_EQ(reached, c.reached) << c.what;
    for (const Key& k : c.keys) Press({k.vk, true, 5000, k.extended});  // nothing stays held
  }
}

TEST_F(Recording, AKeyTakenAsSoonAsTheCombinationSlotIsInCounts) {
  hook->OnRecordKeyboardComboKey = [this](std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                          const std::string& text) { raised.push_back(text); };
  hook->RecordKeyboardComboKey();
  Press({A, false, 1000});
  // The library's thread takes the next key before the new recording's
  // Record operation has returned.
  process.hookLibrary().duringEnable = [this] { Press({Bk, false, 1040}); };
  hook->RecordKeyboardComboKey();
  process.hookLibrary().duringEnable = nullptr;
  Press({C, false, 1080});
  EXPECT_EQ(raised, (Lines{"A", "B", "B+C"}));
}

TEST_F(Recording, TheSecondCombinationEventCarriesTheScanCodes) {
  hook->OnRecordKeyboardComboKey2 = [this](std::int32_t k1, std::int32_t s1, std::int32_t e1, std::int32_t k2,
                                           std::int32_t s2, std::int32_t e2, std::int32_t mod,
                                           const std::string& text) {
    raised.push_back(std::to_string(k1) + " " + std::to_string(s1) + " " + std::to_string(e1) + " " +
                     std::to_string(k2) + " " + std::to_string(s2) + " " + std::to_string(e2) + " " +
                     std::to_string(mod) + " " + text);
  };
  hook->RecordKeyboardComboKey();
  Press({A, false, 1000});
  Press({0x2E, false, 1040, true});
  EXPECT_EQ(raised, (Lines{"65 65 0 0 0 0 0 A", "65 65 0 46 46 1 0 A+DEL"}));
}

TEST_F(Recording, KeyboardMacroDelaysBetween10And2000msBecomeDelayItems) {
  struct Case {
    std::uint32_t gap;
    Lines raised;
  };
  const Case cases[] = {
      {5, {"1 65 1 0 1000 A Down #1", "1 66 1 0 1005 B Down #2"}},
      {10, {"1 65 1 0 1000 A Down #1", "1 66 1 0 1010 B Down #2"}},
      {11, {"1 65 1 0 1000 A Down #1", "0 11 0 0 1011 11 ms #2", "1 66 1 0 1011 B Down #3"}},
      {1999, {"1 65 1 0 1000 A Down #1", "0 1999 0 0 2999 1999 ms #2", "1 66 1 0 2999 B Down #3"}},
      {2000, {"1 65 1 0 1000 A Down #1", "1 66 1 0 3000 B Down #2"}},
      {500, {"1 65 1 0 1000 A Down #1", "0 500 0 0 1500 500 ms #2", "1 66 1 0 1500 B Down #3"}},
      {2500, {"1 65 1 0 1000 A Down #1", "1 66 1 0 3500 B Down #2"}},
  };
  for (const Case& c : cases) {
    SetUp();
    raised.clear();
    RecordMacroEvents();
    hook->RecordKeyboardMacroKey();
    EXPECT_FALSE(Press({A, false, 1000}));
    EXPECT_FALSE(Press({Bk, false, 1000 + c.gap}));
    EXPECT_EQ(raised, c.raised) << c.gap;
    EXPECT_EQ(KeyItems().size(), c.raised.size());
  }
}

TEST_F(Recording, AKeyboardMacroStartedSoonAfterThePreviousBeginsWithADelayAndStopHandsTheItemsOver) {
  RecordMacroEvents();
  hook->RecordKeyboardMacroKey();
  Press({A, false, 1000});
  Press({A, true, 1100});
  TMacroKeyList taken;
  hook->OnStopRecordKeyboardMacroKey = [&](TMacroKeyList& list) { taken.items.swap(list.items); };
  hook->StopRecordKeyboardMacroKey();
  EXPECT_EQ(taken.items.size(), 3u);
  EXPECT_TRUE(hook->MacroKeyList().items.empty());
  EXPECT_EQ(taken.items[1].second->FMacroKey.nKeyValue, 100);

  raised.clear();
  hook->RecordKeyboardMacroKey();
  Press({Bk, false, 1600});
  EXPECT_EQ(raised, (Lines{"0 500 0 0 1600 500 ms #1", "1 66 1 0 1600 B Down #2"}));
  EXPECT_EQ(KeyItems(), (Lines{"0/0/500/0", "1/1/66/0"}));
  hook->OnStopRecordKeyboardMacroKey = nullptr;
  hook->StopRecordKeyboardMacroKey();  // without a handler the items are freed
  EXPECT_TRUE(hook->MacroKeyList().items.empty());
}

TEST_F(Recording, AnExtendedMacroRecordsAHoldAsDownDelayUpClampedTo65535) {
  struct Case {
    std::uint32_t hold;
    Lines raised;  // "KEY STATE TIME TOTAL TEXT STATETEXT"
    Lines items;
  };
  const Case cases[] = {
      {3000, {"65 1 1000 0 A Down", "65 0 4000 3000 A Up"}, {"1/1/65/0", "0/0/3000/0", "1/0/65/0"}},
      {70000, {"65 1 1000 0 A Down", "65 0 71000 65535 A Up"}, {"1/1/65/0", "0/0/65535/0", "1/0/65/0"}},
  };
  for (const Case& c : cases) {
    SetUp();
    raised.clear();
    hook->OnRecordKeyboardMacroKeyEx = [this](std::int32_t type, std::int32_t key, std::int32_t state, std::int32_t,
                                              double time, std::uint32_t total, const std::string& text,
                                              const std::string& stateText, const TMacroKeyList&) {
      EXPECT_EQ(type, 1);
      raised.push_back(std::to_string(key) + " " + std::to_string(state) + " " +
                       std::to_string(static_cast<long>(time)) + " " + std::to_string(total) + " " + text + " " +
                       stateText);
    };
    hook->RecordKeyboardMacroKeyEx();
    // Auto-repeat every 33 ms while held.
    for (std::uint32_t t = 1000; t < 1000 + c.hold; t += 33) EXPECT_FALSE(Press({A, false, t}));
    EXPECT_FALSE(Press({A, true, 1000 + c.hold}));
    EXPECT_EQ(raised, c.raised) << c.hold;
    EXPECT_EQ(KeyItems(), c.items) << c.hold;
  }
}

TEST_F(Recording, AnExtendedMacroStartsWithNoKeyHeld) {
  hook->OnRecordKeyboardMacroKeyEx = [this](std::int32_t, std::int32_t key, std::int32_t state, std::int32_t, double,
                                            std::uint32_t, const std::string&, const std::string&,
                                            const TMacroKeyList&) {
    raised.push_back(std::to_string(key) + " " + std::to_string(state));
  };
  hook->RecordKeyboardMacroKeyEx();
  Press({A, false, 1000});
  hook->StopRecordKeyboardMacroKeyEx();  // A is still held
  hook->RecordKeyboardMacroKeyEx();
  Press({A, false, 2000});
  Press({A, true, 2100});
  EXPECT_EQ(raised, (Lines{"65 1", "65 1", "65 0"}));
  EXPECT_EQ(KeyItems(), (Lines{"1/1/65/0", "0/0/100/0", "1/0/65/0"}));
}

TEST_F(Recording, AnExtendedMacroGoesQuietOnceItHoldsMoreThan500Items) {
  int events = 0;
  hook->OnRecordKeyboardMacroKeyEx = [&](std::int32_t, std::int32_t, std::int32_t, std::int32_t, double,
                                         std::uint32_t, const std::string&, const std::string&,
                                         const TMacroKeyList&) { ++events; };
  hook->RecordKeyboardMacroKeyEx();
  std::uint32_t t = 1000;
  // Two items for the first two keys (no delay between them), then a delay
  // and a key item per event.
  EXPECT_FALSE(Press({A, false, t}));
  EXPECT_FALSE(Press({A, true, t}));
  for (int i = 0; i < 249; ++i) EXPECT_FALSE(Press({A, (i % 2) != 0, t += 10}));
  EXPECT_EQ(hook->MacroKeyList().items.size(), 500u);
  EXPECT_FALSE(Press({Bk, false, t += 10})) << "500 items: still recording";
  EXPECT_EQ(hook->MacroKeyList().items.size(), 502u);
  EXPECT_TRUE(Press({Bk, true, t += 10})) << "more than 500: quiet";
  EXPECT_EQ(events, 252);
  EXPECT_EQ(hook->MacroKeyList().items.size(), 502u);
}

TEST_F(Recording, MouseMacroRecordsDelaysButtonsAndTheWheelTheOtherWayRound) {
  struct Case {
    const char* what;
    std::vector<Mouse> events;
    Lines raised;  // "TYPE BUTTON STATE X Y TIME TEXT STATETEXT"
    Lines items;   // "TYPE/STATE/BUTTON/X/Y/TIMEVALUE"
  };
  const Case cases[] = {
      {"a move, then a left press 120 ms later",
       {{0x0200, 0, 1000, 5, 6}, {0x0201, 0, 1120, 70000, 8}},
       {"0 0 0 4464 8 1120 120 ms", "1 1 1 4464 8 1120 Mouse Click Down"},
       {"0/0/0/4464/8/120", "1/1/1/4464/8/120"}},
      {"the first event is a button: no delay item",
       {{0x0202, 0, 1000, 1, 2}},
       {"1 1 0 1 2 1000 Mouse Click Up"},
       {"1/0/1/1/2/0"}},
      {"the wheel toward the user is up, away from the user down",
       {{0x020A, -120, 1000}, {0x020A, 120, 1000}},
       {"1 6 1 0 0 1000 Wheel up(Mouse) Down", "0 0 0 0 0 1000 0 ms", "1 7 1 0 0 1000 Wheel Down(Mouse) Down"},
       {"1/1/6/0/0/0", "0/0/0/0/0/0", "1/1/7/0/0/0"}},
      {"an event earlier than the previous records nothing",
       {{0x0200, 0, 1000}, {0x0204, 0, 900}, {0x0205, 0, 950}},
       {"0 0 0 0 0 950 50 ms", "1 2 0 0 0 950 Mouse Right Click Up"},
       {"0/0/0/0/0/50", "1/0/2/0/0/50"}},
      {"injected input is not recorded", {{0x0201, 0, 1000, 0, 0, true}}, {}, {}},
      {"X buttons", {{0x020B, 1, 1000}, {0x020C, 2, 1000}},
       {"1 4 1 0 0 1000 Backward(Mouse)  Down", "0 0 0 0 0 1000 0 ms", "1 5 0 0 0 1000 Forward(Mouse) Up"},
       {"1/1/4/0/0/0", "0/0/0/0/0/0", "1/0/5/0/0/0"}},
  };
  for (const Case& c : cases) {
    SetUp();
    raised.clear();
    hook->OnRecordMouseMacroKey = [this](std::int32_t type, B button, std::int32_t state, std::uint16_t x,
                                         std::uint16_t y, double time, const std::string& text,
                                         const std::string& stateText, const TMouseMacroKeyList&) {
      raised.push_back(std::to_string(type) + " " + std::to_string(static_cast<int>(button)) + " " +
                       std::to_string(state) + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                       std::to_string(static_cast<long>(time)) + " " + text + " " + stateText);
    };
    hook->RecordMouseMacro();
    for (const Mouse& m : c.events) EXPECT_TRUE(Send(m)) << c.what << ": the mouse keeps working";
    EXPECT_EQ(raised, c.raised) << c.what;
    Lines items;
    for (const auto& [name, item] : hook->MouseMacroKeyList().items) {
      const TMOUSEMACROKEY& m = item->FMOUSEMacroKey;
      items.push_back(std::to_string(m.nKeyType) + "/" + std::to_string(m.nKeyState) + "/" +
                      std::to_string(static_cast<int>(m.MouseButton)) + "/" + std::to_string(m.X) + "/" +
                      std::to_string(m.Y) + "/" + std::to_string(m.TimeValue));
    }
    EXPECT_EQ(items, c.items) << c.what;
  }
}

TEST_F(Recording, StoppingAMouseMacroKeepsTheListUntilTheNextRecording) {
  hook->OnRecordMouseMacroKey = [](std::int32_t, B, std::int32_t, std::uint16_t, std::uint16_t, double,
                                   const std::string&, const std::string&, const TMouseMacroKeyList&) {};
  hook->RecordMouseMacro();
  Send({0x0201, 0, 1000});
  Send({0x0202, 0, 1100});
  hook->StopRecordMouseMacro();
  EXPECT_EQ(hook->MouseMacroKeyList().items.size(), 3u);
  std::size_t handed = 0;
  hook->OnStopRecordMouseMacroKey = [&](const TMouseMacroKeyList& list) { handed = list.items.size(); };
  hook->StopRecordMouseMacro();
  EXPECT_EQ(handed, 3u);
  hook->RecordMouseMacro();
  EXPECT_TRUE(hook->MouseMacroKeyList().items.empty());
  // The first event of the new recording makes no delay item.
  Send({0x0201, 0, 5000});
  EXPECT_EQ(hook->MouseMacroKeyList().items.size(), 1u);
}

TEST_F(Recording, QueuedEntriesRaiseTheItemTheyNameAndEntriesNamingNoneNothing) {
  RecordMacroEvents();
  hook->RecordKeyboardMacroKey();
  Press({A, false, 1000});
  Press({Bk, false, 1100});
  raised.clear();
  // The worker hands each entry to the main thread as it comes.
  for (std::uint8_t index : {2, 7, 0}) {
    auto block = std::make_unique<TRecordDataBlock>();
    (*block)[0] = kRecordDataKeyboardItem;
    (*block)[1] = index;
    hook->QueueRecordData(std::move(block));
  }
  EXPECT_EQ(raised, (Lines{"1 66 1 0 0   #3", "1 65 1 0 0   #1"}));
}

}  // namespace
}  // namespace zr
