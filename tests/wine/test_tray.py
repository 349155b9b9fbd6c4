"""The tray icon of zrmon.exe under Wine: its hint and menu in the stored
language, the configuration program started or brought to the front, Exit,
and a language change announced by the configuration program."""
import os
import subprocess

import harness

WM_MONITOR_CLOSED = 7036
WM_RELOAD_SETTINGS = 7037
PEER_SEND = 0x8001  # the peer sends wParam's message to the monitor

CH = {"hint": "游戏鼠标驱动程序", "title": "游戏鼠标监视器", "menu": ["设置", "退出"]}
US = {"hint": "Gaming Mouse Driver", "title": "Gaming Mouse Monitor", "menu": ["Config", "Exit"]}


class TrayMachine(harness.WineTestCase):
    """A machine of its own for each test class: what the pointer did on the
    tray must not carry over from one test to the next."""

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

    def assert_hint(self, expected):
        """The tray shows `expected` as the icon's hint when the pointer rests
        on the icon (moved onto it again, as a user would, until it shows)."""
        tray = self.tray_window()
        seen = []

        def shows():
            self.xdotool("mousemove", "--window", tray, 9, 10, "mousemove", "--window", tray, 10, 10)
            text = self.machine.tool("visible-texts", "tooltips_class32")[1].strip()
            seen.append(text)
            return text == expected
        try:
            harness.wait_for(shows, "the hint %r" % expected, step=0.3)
        except AssertionError:
            self.fail("the tray shows %r, not %r" % (seen[-1] if seen else None, expected))

    def click_icon(self, button):
        self.xdotool("mousemove", "--window", self.tray_window(), 10, 10, "click", button)

    def open_menu(self):
        """Right-clicks the icon; the menu's picture file, position and size."""
        self.click_icon(3)
        harness.wait_for(lambda: self.machine.tool("visible-texts", "#32768")[0] == 0, "the pop-up menu")
        self.xdotool("mousemove", 600, 600)  # no item lit under the pointer
        shot = os.path.join(self.machine.root, "menu.bmp")
        rc, out = self.machine.tool("menu-shot", "Z:" + shot.replace("/", "\\"))
        self.assertEqual(rc, 0)
        x, y, w, h = (int(v) for v in out.split())
        return shot, (x, y, w, h)

    def choose(self, menu, index, count=2):
        """Clicks item `index` of an open menu of `count` items."""
        x, y, w, h = menu
        self.xdotool("mousemove", x + w // 2, y + (2 * index + 1) * h // (2 * count), "click", 1)
        harness.wait_for(lambda: self.machine.tool("visible-texts", "#32768")[0] != 0, "the menu to close")

    def close_menu(self):
        # Clicking beside the icon, away from the menu, closes it.
        self.xdotool("mousemove", "--window", self.tray_window(), 150, 10, "click", 1)
        harness.wait_for(lambda: self.machine.tool("visible-texts", "#32768")[0] != 0, "the menu to close")

    def assert_menu_shows(self, captions):
        """Opens the icon's menu and compares its picture with that of a menu
        of these captions drawn the same way by another program."""
        shot, (x, y, _, _) = self.open_menu()
        self.close_menu()
        reference = os.path.join(self.machine.root, "reference.bmp")
        rc, _ = self.machine.tool("reference-menu", "Z:" + reference.replace("/", "\\"), x, y, *captions)
        self.assertEqual(rc, 0)
        with open(shot, "rb") as a, open(reference, "rb") as b:
            self.assertTrue(a.read() == b.read(), "the menu does not show %s" % captions)

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

    def start_monitor(self):
        monitor = self.machine.start(self.exe)
        self.machine.wait_window("ZEDEZAVadi")
        return monitor

    def end_monitor(self, monitor):
        self.machine.tool("post", "ZEDEZAVadi", 0x0010)
        self.assertEqual(self.machine.wait_exit(monitor), 0)



class TrayLanguage(TrayMachine):
    def test_texts_follow_the_stored_language_and_exit_tells_the_configuration_program(self):
        self.install_peer()
        monitor = self.start_monitor()
        self.assert_hint(CH["hint"])  # language 0 on a first start
        self.assertEqual(self.machine.window_info("ZEDEZAVadi")["title"], CH["title"])
        self.assert_menu_shows(CH["menu"])  # Config and Exit, no About

        peer = self.start_peer()
        self.machine.set_stored_language(1)
        self.machine.tool("post", "TZRCFGMain", PEER_SEND, WM_RELOAD_SETTINGS)
        harness.wait_for(lambda: "sent %d 0" % WM_RELOAD_SETTINGS in self.peer_lines(), "the reload to be sent")
        self.assert_hint(US["hint"])
        self.assertEqual(self.machine.window_info("ZEDEZAVadi")["title"], US["title"])
        self.assert_menu_shows(US["menu"])

        _, menu = self.open_menu()
        self.choose(menu, 1)  # Exit, the second item
        self.assertEqual(self.machine.wait_exit(monitor), 0)
        self.assertIn("message %d 0 0" % WM_MONITOR_CLOSED, self.peer_lines())
        self.machine.tool("post", "TZRCFGMain", 0x0010)
        self.machine.wait_exit(peer)



class ConfigLink(TrayMachine):
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

        # Another window comes to the front; then Config brings the peer back.
        front = self.machine.start_tool("front-window")
        harness.wait_for(lambda: self.machine.tool("foreground")[1].strip() == "zrtool.Front", "another window in front")
        activations = self.peer_lines().count("activate")
        _, menu = self.open_menu()
        self.choose(menu, 0)  # Config, the first item
        harness.wait_for(lambda: self.peer_lines().count("activate") > activations, "the peer to come to the front")
        self.assertEqual(self.machine.tool("foreground")[1].strip(), "TZRCFGMain")
        self.assertEqual(len([l for l in self.peer_lines() if l.startswith("start ")]), 1)  # nothing started
        self.end_monitor(monitor)
        self.machine.tool("post", "TZRCFGMain", 0x0010)
        self.machine.tool("post", "zrtool.Front", 0x0010)
        self.machine.wait_exit(front)


if __name__ == "__main__":
    harness.main()
