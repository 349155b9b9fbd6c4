"""The filter-driver installation on the real platform, through zrdriver.exe,
against Wine's own device installer and service control manager: config.ini
lists Wine's virtual HID mouse (and keyboard), the driver file and the package
tool are stand-ins in the driver folder of the bitness that runs (DRIVERX64
for the 64-bit build, which counts as running on 64-bit Windows; DRIVERX86 for
the 32-bit one)."""
import os
import shutil
import subprocess

import harness

FOLDER = "C:\\zrmon"
DRIVER_FOLDER = "DRIVERX64" if harness.BITS == "64" else "DRIVERX86"
MOUSE = "HID\\VID_845E&PID_0001"
KEYBOARD = "HID\\VID_845E&PID_0002"
ENUM = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\%s\\0&0000&0&0"
SERVICE = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\usbkvtr00001"
DRIVER_BYTES = b"stand-in driver file\r\n"


def multi_string(entry):
    """The strings of a REG_MULTI_SZ value as `reg export` writes it."""
    kind, data = entry
    assert kind == "other" and data.startswith("hex(7):"), entry
    raw = bytes.fromhex(data[len("hex(7):"):].replace(",", "").strip()).decode("utf-16-le")
    strings = raw.split("\0")
    return strings[:strings.index("")] if "" in strings else strings


class DriverInstall(harness.WineTestCase):
    def setUp(self):
        m = self.machine
        self.folder = m.c_path(FOLDER)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(os.path.join(self.folder, DRIVER_FOLDER))
        shutil.copy(m.tool_path("zrdriver.exe"), self.folder)
        self.put_driver_folder()
        self.log = os.path.join(self.folder, "difxcmd.log")

    def put_driver_folder(self):
        """The package tool's stand-in and the driver file."""
        shutil.copy(self.machine.tool_path("DIFxCmd.exe"), os.path.join(self.folder, DRIVER_FOLDER))
        with open(os.path.join(self.folder, DRIVER_FOLDER, "usbkvtr00001.sys"), "wb") as f:
            f.write(DRIVER_BYTES)

    def configure(self, ids, whql=0, x32whql=0):
        with open(os.path.join(self.folder, "config.ini"), "w", newline="\r\n") as f:
            f.write("[usbdevicelist]\n")
            for n, hardware_id in enumerate(ids, 1):
                f.write("id%d=%s\n" % (n, hardware_id))
            f.write("[DEVICE]\nWHQL=%d\nX32WHQL=%d\nUpperFilter=0\n" % (whql, x32whql))

    def zrdriver(self, operation, exit_code=0, tool_exit=0):
        """Runs zrdriver.exe to its end: (stdout, stderr). A program that
        does not end (a message box waiting for a click) fails with the
        dialog windows on the screen."""
        # Wine's own error lines (not its fixme lines) reach stderr: once
        # zrdriver.exe ended with 1 and printed nothing, under load, which
        # only Wine can have said something about.
        env = dict(self.machine.env, DIFXCMD_LOG="C:\\zrmon\\difxcmd.log", DIFXCMD_DELAY_MS="500",
                   DIFXCMD_EXIT=str(tool_exit), WINEDEBUG="fixme-all")
        p = subprocess.Popen(["wine", os.path.join(self.folder, "zrdriver.exe"), operation], env=env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            out, err = p.communicate(timeout=harness.BOUND)
        except subprocess.TimeoutExpired:
            _, boxes = self.machine.tool("visible-texts", "#32770")
            p.kill()
            p.communicate()
            raise AssertionError("zrdriver.exe %s did not end; dialog windows shown: %r" % (operation, boxes))
        self.assertEqual(p.returncode, exit_code, "zrdriver.exe %s ended with %#x; stdout %r; stderr %r"
                         % (operation, p.returncode & 0xFFFFFFFF, out[-500:], err[-1500:]))
        return out, err

    def filters(self, device):
        values = self.machine.reg_export(ENUM % device)
        self.assertIsNotNone(values, "the device key of " + device)
        return multi_string(values["LowerFilters"]) if "LowerFilters" in values else None

    def test_by_hand_install_then_remove(self):
        self.configure([MOUSE])
        self.assertNotIn("usbkvtr00001", self.filters(MOUSE) or [])
        out, _ = self.zrdriver("install")
        self.assertEqual(out.splitlines()[0], "install from C:\\zrmon\\")
        self.assertRegex(out.splitlines()[1], r"^HID\\VID_845E&PID_0001\S*: installed by hand$")

        service = self.machine.reg_export(SERVICE)
        self.assertIsNotNone(service, "the service key")
        self.assertEqual(service["Type"], ("dword", 1))
        self.assertEqual(service["Start"], ("dword", 3))
        self.assertEqual(service["ErrorControl"], ("dword", 1))
        kind, image = service["ImagePath"]
        self.assertTrue(image.lower().endswith("\\system32\\drivers\\usbkvtr00001.sys"), image)
        self.assertEqual(service["DisplayName"], ("string", "usbkvtr00001_Display"))
        self.assertEqual(self.filters(MOUSE), ["usbkvtr00001"])
        self.assertIsNone(self.filters(KEYBOARD))  # not listed
        with open(self.machine.c_path("C:\\windows\\system32\\drivers\\usbkvtr00001.sys"), "rb") as f:
            self.assertEqual(f.read(), DRIVER_BYTES)
        self.assertFalse(os.path.exists(self.log))  # no package tool

        self.zrdriver("remove")
        self.assertIsNone(self.machine.reg_export(SERVICE))
        self.assertEqual(self.filters(MOUSE), [])

    def test_the_package_tool_runs_once_per_listed_device_and_is_waited_for(self):
        # 32 bits take the tool only with X32WHQL; 64 bits with WHQL alone.
        self.configure([MOUSE, KEYBOARD], whql=1, x32whql=1 if harness.BITS == "32" else 0)
        self.zrdriver("install")
        # Read as soon as zrdriver.exe has ended: both runs are complete.
        with open(self.log, encoding="utf-8") as f:
            lines = [line.rstrip("\r\n") for line in f]
        run = ["command-line", "folder", "end"]
        self.assertEqual([line.split(" ")[0] for line in lines], run + run)
        tool = "C:\\zrmon\\%s\\DIFxCmd.exe" % DRIVER_FOLDER
        for command_line in (lines[0], lines[3]):
            text = command_line[len("command-line "):]
            self.assertIn(tool.lower(), text.lower())
            self.assertTrue(text.endswith(" /i usbkvtr00001.inf DRIVER_PACKAGE_SILENT DRIVER_PACKAGE_FORCE"), text)
        for folder in (lines[1], lines[4]):
            self.assertEqual(folder[len("folder "):].rstrip("\\").lower(), tool.rsplit("\\", 1)[0].lower())
        self.assertIsNone(self.machine.reg_export(SERVICE))  # the tool does the work
        self.assertNotIn("usbkvtr00001", self.filters(MOUSE) or [])

    def test_what_could_not_be_done_is_told_with_a_non_zero_exit_code(self):
        tool = os.path.join(self.folder, DRIVER_FOLDER, "DIFxCmd.exe")
        driver = os.path.join(self.folder, DRIVER_FOLDER, "usbkvtr00001.sys")
        cases = [
            # name, listed IDs, package tool (WHQL), file removed, the tool's exit code, exit code, told on stderr
            ("no driver file", [MOUSE], False, driver, 0, 1, "could not be copied to"),
            # Without SEE_MASK_FLAG_NO_UI the shell shows a box for the missing
            # tool and zrdriver.exe waits for a click.
            ("no package tool", [MOUSE], True, tool, 0, 1, "DIFxCmd.exe could not be started"),
            ("the package tool fails", [MOUSE], True, None, 3, 1, "DIFxCmd.exe ended with exit code 3"),
            ("no listed device", ["HID\\VID_FFFF&PID_FFFF"], False, None, 0, 3, "no device that config.ini lists"),
        ]
        for name, ids, whql, removed, tool_exit, exit_code, told in cases:
            with self.subTest(name):
                self.configure(ids, whql=int(whql), x32whql=int(whql))
                self.put_driver_folder()
                if removed:
                    os.unlink(removed)
                _, err = self.zrdriver("install", exit_code, tool_exit)
                self.assertIn(told, err)
                if exit_code == 1:
                    self.assertIn("needs an administrator", err)
                self.assertIsNone(self.machine.reg_export(SERVICE))
                self.assertNotIn("usbkvtr00001", self.filters(MOUSE) or [])
        out, _ = self.zrdriver("--help")
        self.assertIn("needs an administrator", out)


if __name__ == "__main__":
    harness.main()
