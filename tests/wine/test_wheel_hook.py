"""The wheel under Wine: zrmon-sim.exe (the monitor with the simulated mouse
plugged in) and our qvHook.dll beside it take over the wheel directions the
current profile maps elsewhere. Wheel notches are made with xdotool over a
test window that logs every WM_MOUSEWHEEL it receives; which hooks the
program installs is read from Wine's hook trace."""
import os
import subprocess

import factory
import harness

WM_POWERBROADCAST = 0x0218
PBT_APMSUSPEND = 0x0004
PBT_APMRESUMEAUTOMATIC = 0x0012
WM_WTSSESSION_CHANGE = 0x02B1
WTS_SESSION_UNLOCK = 0x0008
HOOK_WINDOW = "qvHook.HookThread"
CONFIG = "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n"
FUNCTION_INDEX = 3754  # in a TBUTTONFUNCINFO
FUNCTION_CLASS = 3756


class WheelHook(harness.WineTestCase):
    def setUp(self):
        self.folder = self.machine.install(config=CONFIG, programs=("zrmon-sim.exe", "zrsim.exe"), source="sim")
        self.wheel_log = os.path.join(self.machine.root, "wheel.log")
        if os.path.exists(self.wheel_log):
            os.unlink(self.wheel_log)
        self.trace = os.path.join(self.machine.root, self.id().rsplit(".", 1)[-1] + ".trace")
        self.sim_log = self.machine.c_path(self.folder + "\\sim.log")
        if os.path.exists(self.sim_log):
            os.unlink(self.sim_log)
        # The wheel reaches a Wine window only while one lies under the pointer.
        window = self.machine.start_tool("wheel-window", "Z:" + self.wheel_log.replace("/", "\\"))
        self.addCleanup(self.machine.close_window_program, window, "zrtool.Wheel")
        self.machine.wait_window("zrtool.Wheel")
        self.xdotool("mousemove", "500", "400")

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + list(args), env=self.machine.env, check=True)

    def store_current_profile(self, wheel_up_class, wheel_functions=None):
        """The current profile's slot file, stored before the first start;
        wheel_functions gives the wheel function numbers of wheel up and down."""
        profile = bytearray(factory.game_profile(0))
        profile[factory.VWHEEL + FUNCTION_CLASS] = wheel_up_class
        for i, function in enumerate(wheel_functions or ()):
            factory.put(profile, factory.VWHEEL + i * factory.BUTTON + FUNCTION_INDEX, "H", function)
        folder = os.path.join(self.machine.documents, "Profile")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "Profile1.pfd"), "wb") as f:
            f.write(profile)

    def start_monitor(self):
        with open(self.trace, "ab") as log:
            monitor = subprocess.Popen(["wine", self.machine.c_path(self.folder + "\\zrmon-sim.exe")],
                                       env=dict(self.machine.env, WINEDEBUG="trace+hook"),
                                       cwd=self.machine.c_path(self.folder), stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=log)
        self.machine.processes.append(monitor)
        self.addCleanup(self.machine.close_window_program, monitor, "ZEDEZAVadi")
        # The first device check found the simulated mouse and ended with the
        # second CPI block (the start-up's own is the first): the rules are in.
        harness.wait_for(lambda: self.sim_lines("ioctl 80008004") >= 2, "the end of the start-up")
        return monitor

    def sim_lines(self, prefix):
        if not os.path.exists(self.sim_log):
            return 0
        with open(self.sim_log) as f:
            return len([l for l in f if l.startswith(prefix)])

    def wheel_lines(self):
        if not os.path.exists(self.wheel_log):
            return []
        with open(self.wheel_log) as f:
            return f.read().split("\n")[:-1]

    def mouse_hooks_installed(self):
        with open(self.trace, errors="replace") as f:
            return [l for l in f if "WH_MOUSE_LL" in l and "skipping" not in l and "call_hook" not in l]

    def notches_up_then_down(self):
        self.xdotool("click", "4")
        self.xdotool("click", "5")
        # Input reaches the window in order: once the notch down is there, a
        # notch up that was let through is there too.
        return harness.wait_for(lambda: "wheel -120" in self.wheel_lines() and self.wheel_lines(),
                                "the wheel-down notch at the test window")

    def test_with_the_factory_profile_no_mouse_hook_is_installed_and_the_wheel_reaches_the_window(self):
        self.store_current_profile(wheel_up_class=1)
        self.start_monitor()
        self.assertEqual(self.notches_up_then_down(), ["wheel 120", "wheel -120"])
        self.assertEqual(self.mouse_hooks_installed(), [])

    def test_a_wheel_up_entry_of_function_class_0_swallows_only_wheel_up(self):
        self.store_current_profile(wheel_up_class=0)
        self.start_monitor()
        self.assertNotEqual(self.mouse_hooks_installed(), [])
        self.assertEqual(self.notches_up_then_down(), ["wheel -120"])

    def test_wheel_functions_0_and_1_replay_one_notch_per_notch_which_the_hook_lets_pass(self):
        # Each direction replayed as the other: up as function 1 (backward),
        # down as function 0 (forward), through SendInput.
        self.store_current_profile(wheel_up_class=1, wheel_functions=(1, 0))
        self.start_monitor()
        self.assertNotEqual(self.mouse_hooks_installed(), [])
        expected = []
        for button, replayed in (("4", "wheel -120"), ("5", "wheel 120"), ("4", "wheel -120")):
            self.xdotool("click", button)
            expected.append(replayed)
            # Had the hook taken the injected notch again, it would have been
            # swallowed and replayed the other way round, without end.
            lines = harness.wait_for(lambda: len(self.wheel_lines()) >= len(expected) and self.wheel_lines(),
                                     "replayed notch %d at the test window" % len(expected))
            self.assertEqual(lines, expected)

    def test_after_a_resume_and_an_unlock_the_mouse_hook_is_installed_anew(self):
        self.store_current_profile(wheel_up_class=0)
        self.start_monitor()
        installed = len(self.mouse_hooks_installed())
        # What the system sends the library's window; a suspend changes nothing.
        for msg, wparam in ((WM_POWERBROADCAST, PBT_APMSUSPEND), (WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC),
                            (WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK)):
            self.assertEqual(self.machine.tool("send", HOOK_WINDOW, msg, wparam, 0)[0], 0)
        self.assertEqual(len(self.mouse_hooks_installed()), installed + 2)
        self.assertEqual(self.notches_up_then_down(), ["wheel -120"])

    def test_a_lost_mouse_gives_the_wheel_back_at_once(self):
        self.store_current_profile(wheel_up_class=0)
        self.start_monitor()
        harness.wait_for(self.machine.tray_icons_shown, "the tray icon")
        # The reader thread finds the mouse gone and stops the hook before it
        # hides the tray icon, without waiting for the main thread.
        rc, _ = self.machine.run(self.machine.c_path(self.folder + "\\zrsim.exe"), "unplug")
        self.assertEqual(rc, 0)
        harness.wait_for(lambda: not self.machine.tray_icons_shown(), "the tray icon to go")
        self.assertEqual(self.notches_up_then_down(), ["wheel 120", "wheel -120"])

class NoHookLibrary(harness.WineTestCase):
    def test_without_qvhook_dll_the_monitor_says_it_cannot_be_found(self):
        folder = self.machine.install(config=CONFIG, hook_library=False)
        monitor = self.machine.start(folder + "\\zrmon.exe")
        self.addCleanup(lambda: monitor.poll() is None and monitor.kill())
        # A dialog captioned "Error" holding the text (and its OK button).
        texts = harness.wait_for(lambda: self.dialog_texts("Error"), "the message box")
        self.assertIn("qvHook.dll can not be found!", texts)

    def dialog_texts(self, caption):
        rc, out = self.machine.tool("dialog-texts", caption)
        return [line.rstrip("\r") for line in out.splitlines()] if rc == 0 else None


if __name__ == "__main__":
    harness.main()
