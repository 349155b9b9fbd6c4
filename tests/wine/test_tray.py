"""The tray icon of zrmon.exe under Wine: its hint and menu in the stored
language, the configuration program started or brought to the front, Exit,
and a language change announced by the configuration program."""
import os
import struct
import subprocess

import harness

WM_MONITOR_CLOSED = 7036
WM_RELOAD_SETTINGS = 7037
PEER_SEND = 0x8001  # the peer sends wParam's message to the monitor
KEY = r"HKCU\software\software\DAvezodev"

CH = {"hint": "游戏鼠标驱动程序", "title": "游戏鼠标监视器", "menu": ["设置", "退出"]}
US = {"hint": "Gaming Mouse Driver", "title": "Gaming Mouse Monitor", "menu": ["Config", "Exit"]}


class TrayTest(harness.WineTestCase):
    def setUp(self):
        self.folder = self.machine.install(programs=("zrmon.exe",))
        self.exe = self.folder + "\\zrmon.exe"
        self.peer_log = self.machine.c_path(self.folder + "\\peer.log")
        if os.path.exists(self.peer_log):
            os.unlink(self.peer_log)

    # ---- the desktop ----------------------------------------------------
    def xdotool(self, *args):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.machine.env, capture_output=True, text=True)
        return r.stdout.strip()

    def tray_window(self):
        return harness.wait_for(lambda: self.xdotool("search", "--name", "Wine System Tray").split(),
                                "the system tray")[0]

    def hint(self):
        """The hint the tray shows when the pointer rests on the icon."""
        tray = self.tray_window()
        self.xdotool("mousemove", 600, 600)
        harness.wait_for(lambda: self.machine.tool("visible-texts", "tooltips_class32")[0] != 0, "no tooltip")
        self.xdotool("mousemove", "--window", tray, 10, 10)
        return harness.wait_for(lambda: self.machine.tool("visible-texts", "tooltips_class32")[1].strip(),
                                "the tray icon's tooltip")

    def click_icon(self, button):
        self.xdotool("mousemove", "--window", self.tray_window(), 10, 10, "click", button)

    def open_menu(self):
        self.click_icon(3)
        harness.wait_for(lambda: self.machine.tool("visible-texts", "#32768")[0] == 0, "the pop-up menu")
        self.xdotool("mousemove", 600, 600)  # no item lit under the pointer

    def assert_menu_shows(self, captions):
        shot = os.path.join(self.machine.root, "menu.bmp")
        reference = os.path.join(self.machine.root, "reference.bmp")
        rc, out = self.machine.tool("menu-shot", "Z:" + shot.replace("/", "\\"))
        self.assertEqual(rc, 0)
        x, y = out.split()
        rc, _ = self.machine.tool("reference-menu", "Z:" + reference.replace("/", "\\"), x, y, *captions)
        self.assertEqual(rc, 0)
        with open(shot, "rb") as a, open(reference, "rb") as b:
            self.assertTrue(a.read() == b.read(), "the menu does not show %s" % captions)

    def close_menu(self):
        self.xdotool("key", "Escape")
        harness.wait_for(lambda: self.machine.tool("visible-texts", "#32768")[0] != 0, "the menu to close")

    # ---- the configuration program --------------------------------------
    def peer_lines(self):
        if not os.path.exists(self.peer_log):
            return []
        with open(self.peer_log, encoding="utf-8") as f:
            return [line.strip() for line in f]

    def start_peer(self):
        peer = self.machine.start(self.folder + "\\zrCfg.exe")
        self.machine.wait_window("TZRCFGMain")
        return peer

    def install_peer(self):
        import shutil
        shutil.copy(self.machine.tool_path("zrcfgpeer.exe"), self.machine.c_path(self.folder + "\\zrCfg.exe"))

    def set_stored_language(self, index):
        _, data = self.machine.reg_export(KEY)["ALLPROFILE.pfd"]
        data = bytearray(data)
        struct.pack_into("<i", data, 30956, index)
        self.machine.reg_add(KEY, "ALLPROFILE.pfd", "REG_BINARY", data.hex())

    def start_monitor(self):
        monitor = self.machine.start(self.exe)
        self.machine.wait_window("ZEDEZAVadi")
        return monitor

    def end_monitor(self, monitor):
        self.machine.tool("post", "ZEDEZAVadi", 0x0010)
        self.assertEqual(self.machine.wait_exit(monitor), 0)

    # ---- tests ------------------------------------------------------------
    def test_texts_follow_the_stored_language_and_exit_tells_the_configuration_program(self):
        self.install_peer()
        monitor = self.start_monitor()
        self.assertEqual(self.hint(), CH["hint"])  # language 0 on a first start
        self.assertEqual(self.machine.window_info("ZEDEZAVadi")["title"], CH["title"])
        self.open_menu()
        self.assert_menu_shows(CH["menu"])  # Config and Exit, no About
        self.close_menu()

        peer = self.start_peer()
        self.set_stored_language(1)
        self.machine.tool("post", "TZRCFGMain", PEER_SEND, WM_RELOAD_SETTINGS)
        harness.wait_for(lambda: "sent %d 0" % WM_RELOAD_SETTINGS in self.peer_lines(), "the reload to be sent")
        self.assertEqual(self.hint(), US["hint"])
        self.assertEqual(self.machine.window_info("ZEDEZAVadi")["title"], US["title"])
        self.open_menu()
        self.assert_menu_shows(US["menu"])

        self.xdotool("key", "Down", "Down", "Return")  # Exit, the second item
        self.assertEqual(self.machine.wait_exit(monitor), 0)
        self.assertIn("message %d 0 0" % WM_MONITOR_CLOSED, self.peer_lines())
        self.machine.tool("post", "TZRCFGMain", 0x0010)
        self.machine.wait_exit(peer)

    def test_a_click_starts_the_configuration_program_and_config_brings_it_to_the_front(self):
        self.install_peer()
        monitor = self.start_monitor()
        self.tray_window()
        self.assertFalse(self.machine.window_exists("TZRCFGMain"))
        self.click_icon(1)
        self.machine.wait_window("TZRCFGMain")
        harness.wait_for(lambda: any(l.startswith("start ") for l in self.peer_lines()), "the peer's start")
        starts = [l for l in self.peer_lines() if l.startswith("start ")]
        self.assertEqual(starts, ["start C:\\zrmon"])  # from the executable's folder

        activations = self.peer_lines().count("activate")
        self.machine.tool("post", "TZRCFGMain", 0x0006, 0)  # deactivate marker not needed; use Config
        self.open_menu()
        self.xdotool("key", "Down", "Return")  # Config, the first item
        harness.wait_for(lambda: self.peer_lines().count("activate") > activations, "the peer to come to the front")
        self.assertEqual(len([l for l in self.peer_lines() if l.startswith("start ")]), 1)  # nothing started
        self.end_monitor(monitor)
        self.machine.tool("post", "TZRCFGMain", 0x0010)


if __name__ == "__main__":
    harness.main()
