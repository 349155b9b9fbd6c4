"""With [Diagnostics] LogFile=1 the monitor writes its diagnostic lines to
zrmon.log in the user's local application-data folder, time-stamped, and a
full file becomes zrmon.log.1; without the setting there is no file."""
import os
import re

import harness

WM_CLOSE = 0x0010
KEY = "HKCU\\software\\software\\DAvezodev"
CONFIG = "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n"


class DiagnosticsLog(harness.WineTestCase):
    def local_app_data(self):
        return os.path.join(self.machine.prefix, "drive_c", "users", self.machine.user, "AppData", "Local")

    def run_monitor(self, config):
        # A stored value of the wrong type: the monitor says so and goes on.
        self.machine.reg_add(KEY, "ALLPROFILE.pfd", "REG_SZ", "hi")
        exe = self.machine.install(config=config) + "\\zrmon.exe"
        p = self.machine.start(exe)
        self.machine.wait_window("ZEDEZAVadi")
        self.machine.tool("post", "ZEDEZAVadi", WM_CLOSE)
        self.assertEqual(self.machine.wait_exit(p), 0)

    def test_off_by_default(self):
        log = os.path.join(self.local_app_data(), "zrmon.log")
        if os.path.exists(log):
            os.remove(log)
        self.run_monitor(CONFIG)
        self.assertFalse(os.path.exists(log))

    def test_lines_are_time_stamped_and_a_full_file_is_kept_as_the_older_one(self):
        folder = self.local_app_data()
        log = os.path.join(folder, "zrmon.log")
        full = b"a" * (1024 * 1024 - 10) + b"\r\n"
        with open(log, "wb") as f:
            f.write(full)
        self.run_monitor(CONFIG + "[Diagnostics]\nLogFile=1\n")
        with open(os.path.join(folder, "zrmon.log.1"), "rb") as f:
            self.assertEqual(f.read(), full)
        with open(log, "rb") as f:
            text = f.read().decode("utf-8")
        self.assertRegex(text, re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} .*treated as missing.*\r\n", re.M))


if __name__ == "__main__":
    harness.main()
