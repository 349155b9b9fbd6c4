"""zrmon-setup.exe of the build under Wine, silent both ways: what an install
leaves (files, the Run value, the uninstall entry, a running monitor), a
reinstall over the running monitor (ended in order, a new one started, a
changed config.ini kept), and what an uninstall removes and keeps."""
import filecmp
import glob
import os
import shutil
import subprocess
import sys

import harness

MONITOR = "ZEDEZAVadi"
PEER = "TZRCFGMain"
WM_MONITOR_CLOSED = 7036
FOLDER = "C:\\Program Files\\Gaming Mouse Monitor"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zrmon"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
PROFILE_KEY = r"HKCU\software\software\DAvezodev"


class InstallerMachine(harness.WineTestCase):
    def setUp(self):
        self.setup = os.path.join(harness.BUILD, "zrmon-setup.exe")
        self.assertTrue(os.path.isfile(self.setup), self.setup + " was not built")
        # The configuration program's stand-in logs what the monitor tells it:
        # WM_MONITOR_CLOSED comes only from an orderly end.
        peer_folder = self.machine.c_path("C:\\peer")
        os.makedirs(peer_folder, exist_ok=True)
        shutil.copy(self.machine.tool_path("zrcfgpeer.exe"), os.path.join(peer_folder, "zrCfg.exe"))
        self.peer_log = os.path.join(peer_folder, "peer.log")
        if not self.machine.window_exists(PEER):
            self.peer = self.machine.start("C:\\peer\\zrCfg.exe")
            self.machine.wait_window(PEER)

    def closed_messages(self):
        if not os.path.exists(self.peer_log):
            return 0
        with open(self.peer_log, encoding="utf-8") as f:
            return [line.strip() for line in f].count("message %d 0 0" % WM_MONITOR_CLOSED)

    def installed(self, name):
        """The Linux path of a file of the program folder (name: "a\\b" or "a/b")."""
        return self.machine.c_path(FOLDER + "\\" + name.replace("/", "\\"))

    def shortcuts(self):
        return glob.glob(os.path.join(self.machine.prefix, "drive_c", "**", "Gaming Mouse Monitor.lnk"),
                         recursive=True)

    def run_silent(self, program):
        """Runs an installer or uninstaller with /S to its end: its exit code.
        No output is captured: the monitor it starts would hold the pipe."""
        p = subprocess.Popen(["wine", program, "/S"], env=self.machine.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.machine.processes.append(p)
        return self.machine.wait_exit(p, timeout=2 * harness.BOUND)

    def install(self, setup=None):
        self.assertEqual(self.run_silent(setup or self.setup), 0)
        return self.machine.wait_window(MONITOR)

    def setup_with_extras(self):
        """An installer of the shipped folder with a driver folder and a
        language file in it, as a release that has them ships: made with the
        build's own definitions."""
        dist = os.path.join(self.machine.root, "dist")
        shutil.copytree(os.path.join(harness.BUILD, "dist"), dist)
        os.makedirs(os.path.join(dist, "DRIVERX86"))
        for name in ("DRIVERX86\\zrfilter.inf", "qv.local"):
            with open(os.path.join(dist, *name.split("\\")), "w") as f:
                f.write("; shipped\n")
        out = os.path.join(self.machine.root, "zrmon-setup.exe")
        with open(self.setup + ".defines") as f:
            defines = f.read().splitlines()
        subprocess.run([sys.executable, os.path.join(harness.SOURCE, "tools", "make_installer.py"),
                        shutil.which("makensis"), os.path.join(harness.SOURCE, "installer", "zrmon-setup.nsi"),
                        dist, out] + defines,
                       check=True, stdout=subprocess.DEVNULL)
        return out


class Installer(InstallerMachine):
    def test_silent_install_and_a_reinstall_over_the_running_monitor(self):
        window = self.install()
        dist = os.path.join(harness.BUILD, "dist")
        shipped_files = [os.path.relpath(os.path.join(folder, name), dist)
                         for folder, _, names in os.walk(dist) for name in names]
        for name in shipped_files + ["uninstall.exe"]:  # all that ships, whatever it is
            self.assertTrue(os.path.isfile(self.installed(name)), name)
        shipped = os.path.join(dist, "config.ini")
        self.assertTrue(filecmp.cmp(self.installed("config.default.ini"), shipped, shallow=False))
        self.assertEqual(len(self.shortcuts()), 1)
        exe = FOLDER + "\\zrmon.exe"
        self.assertEqual(self.machine.reg_export(RUN_KEY).get("zrmon"), ("string", '"%s"' % exe))
        entry = harness.wait_for(lambda: self.machine.reg_export(UNINSTALL_KEY), "the uninstall entry")
        self.assertEqual({name: entry[name] for name in ("DisplayName", "DisplayVersion", "Publisher", "DisplayIcon",
                                                        "UninstallString", "QuietUninstallString", "NoModify",
                                                        "NoRepair")},
                         {"DisplayName": ("string", "Gaming Mouse Monitor"),
                          "DisplayVersion": ("string", harness.project_setting(r"project\(zrmon VERSION ([\d.]+)")),
                          "Publisher": ("string", harness.project_setting(r'set\(ZR_PUBLISHER "([^"]+)"\)')),
                          "DisplayIcon": ("string", exe + ",0"),
                          "UninstallString": ("string", '"%s\\uninstall.exe"' % FOLDER),
                          "QuietUninstallString": ("string", '"%s\\uninstall.exe" /S' % FOLDER),
                          "NoModify": ("dword", 1), "NoRepair": ("dword", 1)})
        kind, size_kb = entry["EstimatedSize"]
        self.assertEqual(kind, "dword")
        self.assertGreaterEqual(size_kb, os.path.getsize(self.installed("zrmon.exe")) // 1024)

        # The user changes config.ini; a reinstall ends the running monitor in
        # order, keeps that file and starts a new monitor.
        with open(self.installed("config.ini"), "a", newline="\r\n") as f:
            f.write("; changed by the user\n")
        with open(self.installed("config.ini"), "rb") as f:
            changed = f.read()
        closed = self.closed_messages()
        new_window = self.install()
        self.assertEqual(self.closed_messages(), closed + 1)
        self.assertNotEqual(new_window, window)
        with open(self.installed("config.ini"), "rb") as f:
            self.assertEqual(f.read(), changed)
        self.assertTrue(filecmp.cmp(self.installed("config.default.ini"), shipped, shallow=False))

    def test_silent_uninstall_ends_the_monitor_in_order_removes_the_install_and_keeps_the_profiles(self):
        self.install(self.setup_with_extras())
        for name in ("DRIVERX86\\zrfilter.inf", "qv.local"):
            self.assertTrue(os.path.isfile(self.installed(name)), name)
        documents_profiles = os.path.join(self.machine.documents, "Profile")
        # A first start writes the factory profiles: the user's from now on.
        harness.wait_for(lambda: self.machine.reg_export(PROFILE_KEY), "the profiles in the registry")
        harness.wait_for(lambda: glob.glob(os.path.join(documents_profiles, "*.pfd")), "the profile files")
        profiles = self.machine.reg_export(PROFILE_KEY)
        files = sorted(glob.glob(os.path.join(documents_profiles, "*.pfd")))
        closed = self.closed_messages()

        self.assertEqual(self.run_silent(self.machine.c_path(FOLDER + "\\uninstall.exe")), 0)
        # The uninstaller goes on from a copy of itself after the first ends.
        harness.wait_for(lambda: not os.path.exists(self.machine.c_path(FOLDER)), "the program folder to go",
                         timeout=2 * harness.BOUND, step=0.2)
        self.assertEqual(self.closed_messages(), closed + 1)
        self.assertFalse(self.machine.window_exists(MONITOR))
        harness.wait_for(lambda: self.machine.reg_export(UNINSTALL_KEY) is None, "the uninstall entry to go")
        self.assertNotIn("zrmon", self.machine.reg_export(RUN_KEY) or {})
        self.assertEqual(self.shortcuts(), [])
        self.assertEqual(self.machine.reg_export(PROFILE_KEY), profiles)
        self.assertEqual(sorted(glob.glob(os.path.join(documents_profiles, "*.pfd"))), files)


class Upgrade(InstallerMachine):
    """A machine of its own: the choice of no logon start stays with it."""

    def test_an_upgrade_replaces_an_unchanged_config_and_keeps_no_logon_start(self):
        self.install()
        # As left by an older version whose config.ini the user never
        # changed, and a user who turned the logon start off.
        for name in ("config.ini", "config.default.ini"):
            with open(self.installed(name), "w", newline="\r\n") as f:
                f.write("; an older version's settings\n")
        self.machine.reg_delete(RUN_KEY, "zrmon")
        self.install()
        shipped = os.path.join(harness.BUILD, "dist", "config.ini")
        for name in ("config.ini", "config.default.ini"):
            self.assertTrue(filecmp.cmp(self.installed(name), shipped, shallow=False), name)
        self.assertNotIn("zrmon", self.machine.reg_export(RUN_KEY) or {})


if __name__ == "__main__":
    harness.main()
