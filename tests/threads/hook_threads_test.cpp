// The hook component on real threads: the worker's hand-off to the main
// thread, what a queued entry names when the main thread takes it, and
// input arriving on the library's thread while the owner starts, stops and
// records.
#include "hook/qv_hook.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/threads/real_threads.h"

namespace zr {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr std::uint32_t A = 0x41, Bk = 0x42;

TKBDLLHOOKSTRUCT KeyDown(std::uint32_t vk, std::uint32_t time) { return {vk, vk & 0x7F, 0, time, 0}; }

std::unique_ptr<TRecordDataBlock> KeyboardEntry(std::uint8_t position) {
  auto block = std::make_unique<TRecordDataBlock>();
  (*block)[0] = kRecordDataKeyboardItem;
  (*block)[1] = position;
  return block;
}

class HookThreads : public ::testing::Test {
 protected:
  // Raises of OnRecordKeyboardMacroKey as "KEY #ITEMS".
  void RecordMacroEvents(TqvHook& hook) {
    hook.OnRecordKeyboardMacroKey = [this](std::int32_t, std::int32_t key, std::int32_t, std::int32_t, double,
                                           const std::string&, const std::string&, const TMacroKeyList& list) {
      std::lock_guard lock(m);
      raised.push_back(std::to_string(key) + " #" + std::to_string(list.items.size()));
    };
  }
  // A key as the library's thread delivers it, on a thread of its own.
  void Press(const TKBDLLHOOKSTRUCT& key) {
    std::thread([&] { p.hookLibrary.Keyboard(key); }).join();
  }
  Lines Raised() {
    std::lock_guard lock(m);
    return raised;
  }

  test::RealThreadProcess p;
  std::mutex m;
  Lines raised;
};

TEST_F(HookThreads, AComponentGoesWhileItsWorkerHandsAnEntryToTheMainThread) {
  auto hook = std::make_unique<TqvHook>(p.platform);
  RecordMacroEvents(*hook);
  hook->RecordKeyboardMacroKey();
  Press(KeyDown(A, 1000));
  hook->QueueRecordData(KeyboardEntry(0));
  p.windowing.WaitForHandOff();  // the worker waits for this thread
  test::WithinBound(30s, "destroying the hook component", [&] { hook.reset(); });
  EXPECT_EQ(Raised(), (Lines{"65 #1"})) << "a component that is going raises nothing more";
}

TEST_F(HookThreads, AnEntryNamesTheItemOfTheRecordingItWasQueuedIn) {
  auto hook = std::make_unique<TqvHook>(p.platform);
  RecordMacroEvents(*hook);
  hook->RecordKeyboardMacroKey();
  Press(KeyDown(A, 1000));
  hook->QueueRecordData(KeyboardEntry(0));
  p.windowing.WaitForHandOff();
  // Before the main thread takes the entry, a new recording has its own
  // first item.
  hook->RecordKeyboardMacroKey();
  Press(KeyDown(Bk, 5000));
  p.windowing.ProcessMessages();
  EXPECT_EQ(Raised(), (Lines{"65 #1", "66 #1", "65 #1"}));
}

// Input keeps coming on the library's thread while the owner (this thread)
// goes through every mode, takes the entries its handlers queue, and at the
// end destroys the component with entries still queued. No callback of a
// mode runs outside that mode, and the run ends.
TEST_F(HookThreads, InputOnTheLibrarysThreadWhileTheOwnerStartsStopsAndRecords) {
  enum Mode : int { kNone, kHooking, kCombination, kMacro, kMacroEx, kMouseMacro };
  std::atomic<int> keyboardMode{kNone}, mouseMode{kNone};
  std::atomic<int> outOfMode{0}, keyEvents{0}, mouseEvents{0};
  const std::thread::id mainThread = std::this_thread::get_id();
  auto hook = std::make_unique<TqvHook>(p.platform);
  TqvHook* h = hook.get();
  const auto check = [&](const std::atomic<int>& mode, int expected, std::atomic<int>& count) {
    if (mode.load() != expected) ++outOfMode;
    ++count;
  };
  hook->OnHookKeyboardAllKey = [&](std::int32_t, std::int32_t, std::int32_t, bool&, std::uint32_t) {
    check(keyboardMode, kHooking, keyEvents);
  };
  hook->OnHookMouseAllButton = [&](TMouseButtons, std::int32_t, std::int16_t, bool& blocked) {
    check(mouseMode, kHooking, mouseEvents);
    blocked = true;
  };
  hook->OnRecordKeyboardComboKey = [&](std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       const std::string&) { check(keyboardMode, kCombination, keyEvents); };
  hook->OnRecordKeyboardMacroKey = [&](std::int32_t, std::int32_t, std::int32_t, std::int32_t, double,
                                       const std::string&, const std::string&, const TMacroKeyList& list) {
    if (std::this_thread::get_id() == mainThread) return;  // an entry taken
    check(keyboardMode, kMacro, keyEvents);
    // Hand every item to the main thread as well.
    h->QueueRecordData(KeyboardEntry(static_cast<std::uint8_t>(list.items.size() - 1)));
  };
  hook->OnRecordKeyboardMacroKeyEx = [&](std::int32_t, std::int32_t, std::int32_t, std::int32_t, double,
                                         std::uint32_t, const std::string&, const std::string&,
                                         const TMacroKeyList&) { check(keyboardMode, kMacroEx, keyEvents); };
  hook->OnRecordMouseMacroKey = [&](std::int32_t, TMouseButtons, std::int32_t, std::uint16_t, std::uint16_t, double,
                                    const std::string&, const std::string&, const TMouseMacroKeyList&) {
    check(mouseMode, kMouseMacro, mouseEvents);
  };
  hook->OnStopRecordKeyboardMacroKey = [](TMacroKeyList& list) { list.items.clear(); };

  std::atomic<bool> stop{false};
  std::thread input([&] {
    std::uint32_t time = 1;
    for (int i = 0; !stop.load(); ++i) {
      time += 7;
      const std::uint32_t vk = 0x41 + static_cast<std::uint32_t>(i % 3);
      p.hookLibrary.Keyboard({vk, vk, (i % 2) ? kLlkhfUp : 0u, time, 0});
      TMSLLHOOKSTRUCT mouse{};
      mouse.time = time;
      mouse.mouseData = (i % 2) ? 0xFF880000u : 0x00780000u;
      p.hookLibrary.Mouse((i % 4) == 0 ? 0x0201 : 0x020A, mouse);
    }
  });

  struct Step {
    std::atomic<int>& mode;
    int value;
    void (TqvHook::*start)();
    void (TqvHook::*stop)();
    std::atomic<int>& events;
  };
  const Step steps[] = {
      {keyboardMode, kHooking, &TqvHook::StartHookKeyboard, &TqvHook::StopHookKeyboard, keyEvents},
      {mouseMode, kHooking, &TqvHook::StartHookMouse, &TqvHook::StopHookMouse, mouseEvents},
      {keyboardMode, kCombination, &TqvHook::RecordKeyboardComboKey, &TqvHook::StopRecordKeyboardComboKey,
       keyEvents},
      {keyboardMode, kMacro, &TqvHook::RecordKeyboardMacroKey, &TqvHook::StopRecordKeyboardMacroKey, keyEvents},
      {keyboardMode, kMacroEx, &TqvHook::RecordKeyboardMacroKeyEx, &TqvHook::StopRecordKeyboardMacroKeyEx,
       keyEvents},
      {mouseMode, kMouseMacro, &TqvHook::RecordMouseMacro, &TqvHook::StopRecordMouseMacro, mouseEvents},
  };
  test::WithinBound(120s, "the owner's rounds", [&] {
    for (int round = 0; round < 60; ++round) {
      for (const Step& s : steps) {
        s.mode = s.value;  // before the slot is in
        const int before = s.events.load();
        (h->*s.start)();
        // Until the mode has had a few events, taking the entries meanwhile.
        while (s.events.load() < before + 3) {
          p.windowing.ProcessMessages();
          std::this_thread::yield();
        }
        (h->*s.stop)();
        s.mode = kNone;  // no callback of the mode runs any more
      }
    }
    // Leaves with a recording running and entries on their way.
    keyboardMode = kMacro;
    hook->RecordKeyboardMacroKey();
    hook->QueueRecordData(KeyboardEntry(0));
    hook.reset();
  });
  stop = true;
  input.join();
  EXPECT_EQ(outOfMode.load(), 0);
}

}  // namespace
}  // namespace zr
