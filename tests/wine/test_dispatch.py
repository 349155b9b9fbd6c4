"""The monitor's reactions under Wine, with zrmon-sim.exe (the monitor with
the simulated mouse and filter driver; windows, messages, registry, files,
hooks, injected input and audio are Wine's own): CPI stage reports, the
profile-group key, the configuration program's apply message, the wheel
replayed as volume keys, and the microphone's mute through Core Audio.
What it did is read from the simulation's exchange log, the registry, a test
window's wheel messages and keyboard hook, and Wine's audio trace."""
import os
import shutil
import struct
import subprocess

import factory
import harness

WM_CLOSE = 0x0010
WM_APP = 0x8000
WM_APPLY_PROFILE = 7035
CONFIG = "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n"
KEY_ENTRY_FUNCTION = 3754  # FunctionIndex in a TBUTTONFUNCINFO
CPI_LEVEL0 = factory.CONFIG + 71724
GROUP_KEY = "HKCU\\software\\software\\DAvezodev"
# Wine's audio on ALSA's null device: a capture endpoint with nothing behind it.
ALSA_CONF = "</usr/share/alsa/alsa.conf>\npcm.!default { type null }\nctl.!default { type null }\n"


class Dispatch(harness.WineTestCase):
    def setUp(self):
        self.folder = self.machine.install(config=CONFIG, programs=("zrmon-sim.exe", "zrsim.exe"), source="sim")
        shutil.copy(self.machine.tool_path("zrcfgpeer.exe"), self.machine.c_path(self.folder + "\\zrCfg.exe"))
        self.sim_log = self.machine.c_path(self.folder + "\\sim.log")
        self.profiles = self.machine.forget_profiles()
        if os.path.exists(self.sim_log):
            os.unlink(self.sim_log)

    # ---- the monitor ------------------------------------------------------
    def store_slot(self, slot, edit):
        """A slot file stored before the start, from the factory values."""
        profile = bytearray(factory.game_profile(slot))
        edit(profile)
        os.makedirs(self.profiles, exist_ok=True)
        with open(os.path.join(self.profiles, "Profile%d.pfd" % (slot + 1)), "wb") as f:
            f.write(profile)

    def start_monitor(self, env=None, stderr=None):
        monitor = subprocess.Popen(["wine", self.machine.c_path(self.folder + "\\zrmon-sim.exe")],
                                   env=dict(self.machine.env, **(env or {})), cwd=self.machine.c_path(self.folder),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=stderr or subprocess.DEVNULL)
        self.machine.processes.append(monitor)
        self.addCleanup(self.machine.close_window_program, monitor, "ZEDEZAVadi")
        # The start-up's block and the first check's block: the reader runs.
        harness.wait_for(lambda: len(self.lines("ioctl 80008004")) >= 2, "the end of the start-up")
        return monitor

    def close_started_peer(self):
        self.machine.tool("post", "TZRCFGMain", WM_CLOSE)
        self.machine.tool("wait-no-window", "TZRCFGMain", int(harness.BOUND * 1000), timeout=2 * harness.BOUND)

    def lines(self, prefix=""):
        if not os.path.exists(self.sim_log):
            return []
        with open(self.sim_log) as f:
            return [l.rstrip("\n") for l in f if l.startswith(prefix)]

    def sim(self, *args):
        rc, _ = self.machine.run(self.machine.c_path(self.folder + "\\zrsim.exe"), *args)
        self.assertEqual(rc, 0, args)

    # ---- tests ------------------------------------------------------------
    def test_a_burst_of_stage_reports_sends_only_the_last_stage_once(self):
        self.start_monitor()
        self.sim("input", "0802030000000000", ";", "wait", "50", ";", "input", "0802050000000000")
        harness.wait_for(lambda: self.lines("ioctl 8000800c"), "the stage at the driver")
        # Another report, a second later, shows that nothing else was pending.
        self.sim("wait", "1000", ";", "input", "0802010000000000")
        harness.wait_for(lambda: len(self.lines("ioctl 8000800c")) == 2, "the next stage at the driver")
        self.assertEqual(self.lines("ioctl 8000800c"), ["ioctl 8000800c 0500", "ioctl 8000800c 0100"])

    def test_a_resume_from_sleep_checks_the_mouse_again(self):
        self.start_monitor()
        readers = len(self.lines("reader-open"))
        blocks = len(self.lines("ioctl 80008004"))
        # WM_POWERBROADCAST with PBT_APMRESUMEAUTOMATIC, then PBT_APMRESUMESUSPEND:
        # one check after the debounce, with a new reader and the block.
        # Both come together, as the system sends them (one program posts
        # both: two programs started under load could be seconds apart).
        self.machine.tool("post", "ZEDEZAVadi", 0x0218, 0x12, 0, 0x0218, 0x07, 0)
        harness.wait_for(lambda: len(self.lines("ioctl 80008004")) > blocks, "the block after the resume")
        self.assertEqual(len(self.lines("reader-open")), readers + 1)
        # After start-up a check that finds the mouse brings the configuration
        # program up: the monitor starts its stand-in, which must not outlive the test.
        self.machine.wait_window("TZRCFGMain")
        self.addCleanup(self.close_started_peer)
        # Nothing else is pending: a stage report is the next thing the driver gets.
        self.sim("wait", "2000", ";", "input", "0802010000000000")
        harness.wait_for(lambda: self.lines("ioctl 8000800c"), "the stage at the driver")
        self.assertEqual(len(self.lines("ioctl 80008004")), blocks + 1)

    def test_the_group_key_stores_group_1_and_pushes_its_profile(self):
        # The factory slots of both groups have the same levels: group 1's
        # slot gets a first level of 1200 CPI.
        self.store_slot(1, lambda p: struct.pack_into("<HH", p, CPI_LEVEL0, 1200, 1200))
        self.start_monitor()
        before = len(self.lines("ioctl 80008004"))
        self.sim("input", "0700004000000000")  # key 22
        harness.wait_for(lambda: len(self.lines("ioctl 80008004")) > before, "the new group's block")
        group = self.machine.reg_export(GROUP_KEY)["ProfileSettingGroup.pfd"][1]
        self.assertEqual(struct.unpack_from("<i", group, 0)[0], 1)  # CurrentProfileGroup
        block = bytes.fromhex(self.lines("ioctl 80008004")[-1].split()[2])
        self.assertEqual(struct.unpack_from("<BII", block, 108), (1, 1200, 1200))  # STCpi[0]

    def test_the_configuration_programs_apply_repeats_the_exchanges_with_the_mouse(self):
        self.start_monitor()
        start_up = [l for l in self.lines() if not l.startswith("reader-open")][:7]
        count = len(self.lines())
        peer = self.machine.start(self.folder + "\\zrCfg.exe")
        self.addCleanup(self.machine.close_window_program, peer, "TZRCFGMain")
        self.machine.wait_window("TZRCFGMain")
        self.machine.tool("post", "TZRCFGMain", WM_APP + 1, WM_APPLY_PROFILE, 0)
        harness.wait_for(lambda: len(self.lines()) >= count + 7, "the exchanges of the apply")
        # The same commands, reads and block as at the start, and no new reader.
        self.assertEqual(self.lines()[count:], start_up)

    def test_a_wheel_up_mapped_to_volume_down_becomes_injected_key_taps(self):
        def volume_down_on_wheel_up(p):
            struct.pack_into("<HHB", p, factory.VWHEEL + 3752, 0, 3, 1)  # ButtonIndex, FunctionIndex, FunctionClass
        self.store_slot(0, volume_down_on_wheel_up)
        log = os.path.join(self.machine.root, "wheel.log")
        if os.path.exists(log):
            os.unlink(log)
        window = self.machine.start_tool("wheel-window", "Z:" + log.replace("/", "\\"))
        self.addCleanup(self.machine.close_window_program, window, "zrtool.Wheel")
        self.machine.wait_window("zrtool.Wheel")
        self.start_monitor()

        def logged():
            if not os.path.exists(log):
                return []
            with open(log) as f:
                return f.read().split("\n")[:-1]
        env = self.machine.env
        subprocess.run(["xdotool", "mousemove", "500", "400", "click", "--repeat", "2", "--delay", "0", "4"], env=env,
                       check=True)
        harness.wait_for(lambda: logged().count("key up AE 91") == 2, "two volume-down taps")
        subprocess.run(["xdotool", "click", "5"], env=env, check=True)
        harness.wait_for(lambda: "wheel -120" in logged(), "the wheel-down notch")
        # Injected (0x10), extended (0x01), key up (0x80); no wheel-up message.
        self.assertEqual(logged(), ["key down AE 11", "key up AE 91"] * 2 + ["wheel -120"])

    def test_on_xp_the_mute_key_asks_the_mixer_and_says_nothing_without_a_microphone_line(self):
        self.store_slot(0, self.mute_on_key_3)
        self.machine.reg_add("HKCU\\Software\\Wine\\AppDefaults\\zrmon-sim.exe", "Version", "REG_SZ", "winxp")
        self.addCleanup(subprocess.run, ["wine", "reg", "delete", "HKCU\\Software\\Wine\\AppDefaults\\zrmon-sim.exe",
                                         "/f"], env=self.machine.env, capture_output=True)
        trace = os.path.join(self.machine.root, "mixer.trace")
        with open(trace, "wb") as err:
            self.start_monitor({"ALSA_CONFIG_PATH": self.alsa_conf(), "WINEDEBUG": "trace+winmm"}, stderr=err)

        def calls(name):
            with open(trace, errors="replace") as f:
                return len([l for l in f if ":" + name + " (" in l])
        self.sim("input", "0708000000000000", ";", "input", "0708000000000000")  # key 3, twice
        # Each toggle reads and then writes the microphone's mute, each time
        # opening mixer 0, asking for its microphone line by component type
        # (0x1003, through the mixer's handle: flags 0x80000003) and closing
        # it. Wine's mixer 0 (the output mixer) has no microphone line: the
        # steps end there, without a message, as on such a card on XP.
        harness.wait_for(lambda: calls("mixerClose") == 4, "both toggles through the mixer")
        with open(trace, errors="replace") as f:
            queries = [l for l in f if "mixerGetLineInfoW (" in l]
        self.assertEqual(len(queries), 4)
        self.assertTrue(all(q.rstrip().endswith(", 80000003)") for q in queries), queries)
        self.assertEqual(calls("mixerSetControlDetails"), 0)
        self.assertFalse(self.machine.window_exists("#32770"), "a message box")

    @staticmethod
    def mute_on_key_3(p):
        struct.pack_into("<H", p, factory.KEYS + 3 * factory.BUTTON + KEY_ENTRY_FUNCTION, 28)

    def alsa_conf(self):
        alsa = os.path.join(self.machine.root, "alsa.conf")
        with open(alsa, "w") as f:
            f.write(ALSA_CONF)
        return alsa

    def test_the_mute_key_toggles_the_default_microphone(self):
        self.store_slot(0, self.mute_on_key_3)
        trace = os.path.join(self.machine.root, "audio.trace")
        with open(trace, "wb") as err:
            self.start_monitor({"ALSA_CONFIG_PATH": self.alsa_conf(), "WINEDEBUG": "trace+mmdevapi"}, stderr=err)

        def mutes():
            with open(trace, errors="replace") as f:
                return [l.split("(", 2)[-1].split(",")[0] for l in f if "AEV_SetMute" in l]
        self.sim("input", "0708000000000000")  # key 3
        harness.wait_for(lambda: len(mutes()) == 1, "the first SetMute")
        self.sim("input", "0708000000000000")
        harness.wait_for(lambda: len(mutes()) == 2, "the second SetMute")
        self.assertEqual(mutes(), ["1", "0"])


if __name__ == "__main__":
    harness.main()
