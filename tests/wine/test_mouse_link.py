"""zrmon-sim.exe under Wine: the monitor with the simulated mouse and filter
driver, seen through the simulation's exchange log, the configuration
program's stand-in and the tray. The expected CPI block is built here from
the factory profile's values and the block's layout."""
import os
import shutil
import struct
import time

import factory
import harness

WM_CLOSE = 0x0010
WM_MONITOR_CLOSED = 7036
VENDOR_PATH = "\\\\?\\hid#vid_5a3c&pid_0001&mi_01&col01#8&2c5e4b1a&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}"
CONFIG = "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n"
FACTORY_LEVELS = [400, 800, 1600, 3500]


def report(*data, length=16):
    return bytes(data).ljust(length, b"\0").hex()


def cpi_block(stage, apply=1):
    """The CPI block of the factory profile: 238 bytes as the driver takes it."""
    st = [(1, cpi, cpi) for cpi in FACTORY_LEVELS] + [(0, 0, 0)] * 6
    hw = [(1, factory.snap_cpi(cpi), factory.snap_cpi(cpi)) for cpi in FACTORY_LEVELS] + [(0, 0, 0)] * 6
    block = struct.pack("<HHHBBBBhhHH", 0x5A3C, apply, 8, 2, 3, 4, 5, 0, 0, 0, stage)
    block += b"".join(struct.pack("<BII", *s) for s in hw)
    block += b"".join(struct.pack("<BII", *s) for s in st)
    for (_, sx, sy), (_, hx, hy) in zip(st, hw):
        block += struct.pack("<hh", sx * 100 // hx if hx and hy else 0, sy * 100 // hy if hx and hy else 0)
    assert len(block) == 238
    return "ioctl 80008004 " + block.hex()


class MouseLink(harness.WineTestCase):
    def setUp(self):
        self.folder = self.machine.install(config=CONFIG, programs=("zrmon-sim.exe", "zrsim.exe"), source="sim")
        shutil.copy(self.machine.tool_path("zrcfgpeer.exe"), self.machine.c_path(self.folder + "\\zrCfg.exe"))
        self.sim_log = self.machine.c_path(self.folder + "\\sim.log")
        self.peer_log = self.machine.c_path(self.folder + "\\peer.log")
        for path in (self.sim_log, self.peer_log):
            if os.path.exists(path):
                os.unlink(path)

    def lines(self, path):
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f]

    def sim(self, *args):
        rc, _ = self.machine.run(self.machine.c_path(self.folder + "\\zrsim.exe"), *args)
        return rc

    def start_monitor(self, **env):
        monitor = self.machine.start(self.folder + "\\zrmon-sim.exe", env=env)
        # A test that fails midway must not leave its monitor to the next one.
        self.addCleanup(self.kill_if_running, monitor)
        self.machine.wait_window("ZEDEZAVadi")
        return monitor

    def kill_if_running(self, monitor):
        if monitor.poll() is None:
            monitor.kill()
            monitor.wait(timeout=harness.BOUND)
            self.machine.tool("wait-no-window", "ZEDEZAVadi", int(harness.BOUND * 1000))

    def end_monitor(self, monitor):
        self.machine.tool("post", "ZEDEZAVadi", WM_CLOSE)
        self.assertEqual(self.machine.wait_exit(monitor), 0)

    def wait_lines(self, prefix, count, what):
        return harness.wait_for(
            lambda: len([l for l in self.lines(self.sim_log) if l.startswith(prefix)]) >= count, what)

    def test_started_with_the_mouse_in_the_stage_is_read_and_the_block_pushed(self):
        monitor = self.start_monitor(ZRSIM_MEMORY="40=01;948=0002")
        self.wait_lines("ioctl 80008004", 2, "the check's CPI block")
        block = cpi_block(stage=2)
        self.assertEqual(self.lines(self.sim_log), [
            "set-feature " + report(2, 6, 0, 0),
            "set-feature " + report(2, 3, 0x40, 0x00, 1, 0, 0xFA, 0xFA),
            "get-feature 02 " + report(2, 3, 0x40, 0x00, 1, 0, 0xFA, 0xFA, 0x01),
            "set-feature " + report(2, 3, 0x48, 0x09, 0x20, 0, 0xFA, 0xFA),
            "get-feature 03 " + report(3, 3, 0x48, 0x09, 0x20, 0, 0xFA, 0xFA, 0x00, 0x02, length=64),
            "set-feature " + report(2, 6, 1, 0),
            block,
            "reader-open " + VENDOR_PATH,
            block,
        ])
        self.assertFalse(self.machine.window_exists("TZRCFGMain"))  # not during start-up
        self.end_monitor(monitor)
        self.assertEqual(self.lines(self.sim_log)[-1], cpi_block(stage=2, apply=0))

    def test_a_later_plug_in_is_checked_once_after_the_notifications_and_a_loss_is_announced(self):
        monitor = self.start_monitor(ZRSIM_PLUGGED="0")
        self.wait_lines("ioctl 80008004", 1, "the start-up's CPI block")
        self.assertEqual(self.lines(self.sim_log), [cpi_block(stage=0)])
        harness.wait_for(self.machine.tray_icons_shown, "the tray icon")

        before = time.monotonic()
        self.assertEqual(self.sim("plug"), 0)
        self.wait_lines("ioctl 80008004", 2, "the check's CPI block")
        # The check waits 1.5 s after the notifications of the plug-in.
        self.assertGreaterEqual(time.monotonic() - before, 1.5)
        self.machine.wait_window("TZRCFGMain")
        harness.wait_for(lambda: any(l.startswith("start ") for l in self.lines(self.peer_log)),
                         "the configuration program's start")
        self.assertEqual(self.lines(self.sim_log),
                         [cpi_block(stage=0), "plug", "reader-open " + VENDOR_PATH, cpi_block(stage=0)])

        self.assertEqual(self.sim("unplug"), 0)
        harness.wait_for(lambda: "message %d 0 0" % WM_MONITOR_CLOSED in self.lines(self.peer_log),
                         "WM_MONITOR_CLOSED at the configuration program")
        harness.wait_for(lambda: not self.machine.tray_icons_shown(), "the tray icon to go")
        # One check for the plug-in, none found a mouse afterwards.
        self.assertEqual(len([l for l in self.lines(self.sim_log) if l.startswith("reader-open")]), 1)
        self.end_monitor(monitor)
        self.machine.tool("post", "TZRCFGMain", WM_CLOSE)

    def test_reports_and_commands_of_any_kind_leave_the_monitor_running(self):
        monitor = self.start_monitor(ZRSIM_DRIVER="0")
        harness.wait_for(lambda: any(l.startswith("reader-open") for l in self.lines(self.sim_log)), "the reader")
        self.assertFalse(any(l.startswith("ioctl") for l in self.lines(self.sim_log)))  # no driver, no block
        for hex_report in ("0802050000000000", "0700000000000000", "00ffffffffffffff", "0803ff0000000000"):
            self.assertEqual(self.sim("input", hex_report), 0)
        # Not hexadecimal, or not the collection's 8 bytes: refused.
        for hex_report in ("0g", "07", "0700040000000000ff"):
            self.assertEqual(self.sim("input", hex_report), 1)
        self.assertEqual(self.sim("memory", "10000", "00"), 1)  # beyond the memory
        self.assertEqual(self.sim("bogus"), 1)
        self.assertEqual(self.sim("fail-feature", "2"), 0)
        self.assertEqual(self.sim("driver", "on"), 0)
        self.assertIsNone(monitor.poll())
        self.end_monitor(monitor)
        # The driver came; the block keeps the stage the mouse reported last.
        self.assertEqual(self.lines(self.sim_log)[-1], cpi_block(stage=5, apply=0))


class MouseLinkSettings(harness.WineTestCase):
    def test_bad_settings_end_the_program_with_a_reason_and_no_command_finds_it(self):
        folder = self.machine.install(config=CONFIG, programs=("zrmon-sim.exe", "zrsim.exe"), source="sim")
        p = self.machine.start(folder + "\\zrmon-sim.exe", env={"ZRSIM_MEMORY": "40=zz"})
        self.assertEqual(self.machine.wait_exit(p), 2)
        self.assertFalse(self.machine.window_exists("ZEDEZAVadi"))
        rc, _ = self.machine.run(self.machine.c_path(folder + "\\zrsim.exe"), "plug")
        self.assertEqual(rc, 3)


if __name__ == "__main__":
    harness.main()
