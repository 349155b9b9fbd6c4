"""zrctl.exe, the monitor's command-line companion, under Wine, installed
beside zrmon-sim.exe as it ships beside zrmon.exe: the group it stores
reaches the running monitor, which pushes that slot's CPI block; without a
monitor it says so with exit code 3; a slot's record goes out to a file and
back byte for byte; the JSON listing parses."""
import json
import os
import struct
import subprocess

import factory
import harness

CONFIG = "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n"
CPI_LEVEL0 = factory.CONFIG + 71724
GROUP_KEY = "HKCU\\software\\software\\DAvezodev"


class Ctl(harness.WineTestCase):
    def setUp(self):
        self.folder = self.machine.install(config=CONFIG, programs=("zrmon-sim.exe", "zrsim.exe"), source="sim")
        self.machine.install(self.folder, config=CONFIG, programs=("zrctl.exe",), source="dist")
        self.sim_log = self.machine.c_path(self.folder + "\\sim.log")
        self.profiles = self.machine.forget_profiles()
        if os.path.exists(self.sim_log):
            os.unlink(self.sim_log)

    def store_records(self, slot1_cpi=None):
        """The records a first start stores, slot 1 with another first level."""
        self.machine.reg_set_binary(GROUP_KEY, "ProfileSettingGroup.pfd",
                                    factory.setting_group(self.machine.documents_win))
        self.machine.reg_set_binary(GROUP_KEY, "ALLPROFILE.pfd", factory.global_settings())
        os.makedirs(self.profiles, exist_ok=True)
        for slot in range(5):
            profile = bytearray(factory.game_profile(slot))
            if slot == 1 and slot1_cpi:
                struct.pack_into("<HH", profile, CPI_LEVEL0, slot1_cpi, slot1_cpi)
            with open(self.slot_file(slot), "wb") as f:
                f.write(profile)

    def slot_file(self, slot):
        return os.path.join(self.profiles, "Profile%d.pfd" % (slot + 1))

    def ctl(self, *args):
        """zrctl's (exit code, standard output, standard error)."""
        r = subprocess.run(["wine", self.machine.c_path(self.folder + "\\zrctl.exe")] + list(args),
                           env=self.machine.env, stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=harness.BOUND)
        return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")

    def blocks(self):
        if not os.path.exists(self.sim_log):
            return []
        with open(self.sim_log) as f:
            return [l.split()[2] for l in f if l.startswith("ioctl 80008004 ")]

    def start_monitor(self):
        monitor = subprocess.Popen(["wine", self.machine.c_path(self.folder + "\\zrmon-sim.exe")],
                                   env=self.machine.env, cwd=self.machine.c_path(self.folder),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.machine.processes.append(monitor)
        self.addCleanup(self.machine.close_window_program, monitor, "ZEDEZAVadi")
        # The start-up's block and the first check's block: the reader runs.
        harness.wait_for(lambda: len(self.blocks()) >= 2, "the end of the start-up")

    def test_group_1_is_stored_and_the_running_monitor_pushes_slot_1s_cpi_block(self):
        self.store_records(slot1_cpi=1200)
        self.start_monitor()
        before = len(self.blocks())

        rc, out, err = self.ctl("group", "1")

        self.assertEqual(rc, 0, err)
        self.assertIn("group 1 stored (slot 1)", out)
        group = self.machine.reg_export(GROUP_KEY)["ProfileSettingGroup.pfd"][1]
        self.assertEqual(struct.unpack_from("<i", group, 0)[0], 1)  # CurrentProfileGroup
        # The monitor had handled the message when zrctl ended.
        self.assertGreater(len(self.blocks()), before)
        block = bytes.fromhex(self.blocks()[-1])
        self.assertEqual(struct.unpack_from("<BII", block, 108), (1, 1200, 1200))  # STCpi[0]

    def test_without_a_monitor_status_says_so_with_exit_code_3(self):
        rc, out, _ = self.ctl("status")
        self.assertEqual(rc, 3)
        self.assertIn("monitor: not running\n", out)
        self.assertIn("registry key: HKCU\\software\\software\\DAvezodev (missing)\n", out)
        self.assertIsNone(self.machine.reg_export(GROUP_KEY), "status created the key")

    def test_a_slot_goes_to_a_file_and_back_byte_for_byte(self):
        self.store_records()
        out_folder = self.machine.c_path("C:\\out")
        os.makedirs(out_folder, exist_ok=True)
        rc, _, err = self.ctl("export", "2", "C:\\out\\slot2.pfd")
        self.assertEqual(rc, 0, err)
        with open(os.path.join(out_folder, "slot2.pfd"), "rb") as f, open(self.slot_file(2), "rb") as g:
            self.assertEqual(f.read(), g.read())

        mine = bytes((i * 7) & 0xFF for i in range(factory.PROFILE_SIZE))
        with open(os.path.join(out_folder, "mine.pfd"), "wb") as f:
            f.write(mine)
        with open(os.path.join(out_folder, "short.pfd"), "wb") as f:
            f.write(mine[:100])
        rc, _, err = self.ctl("import", "2", "C:\\out\\short.pfd")
        self.assertEqual(rc, 1)
        self.assertIn("not exactly one profile record", err)
        rc, _, err = self.ctl("import", "2", "C:\\out\\mine.pfd")
        self.assertEqual(rc, 0, err)
        with open(self.slot_file(2), "rb") as f:
            self.assertEqual(f.read(), mine)
        # Replaced whole: no temporary file stays beside it.
        self.assertEqual(sorted(os.listdir(self.profiles)), ["Profile%d.pfd" % n for n in range(1, 6)])

    def test_profiles_json_parses_and_names_every_slot(self):
        self.store_records(slot1_cpi=1200)
        os.unlink(self.slot_file(4))
        rc, out, err = self.ctl("profiles", "--json")
        self.assertEqual(rc, 0, err)
        listing = json.loads(out)
        self.assertEqual(listing["group"]["current_slot"], 0)
        self.assertEqual(listing["global"]["language_index"], 0)
        self.assertEqual([s["state"] for s in listing["slots"]], ["ok"] * 4 + ["not_stored"])
        level0 = listing["slots"][1]["profile"]["cpi"]["levels"][0]
        self.assertEqual((level0["x"], level0["y"], level0["enabled"]), (1200, 1200, 1))
        self.assertEqual(listing["slots"][1]["stored"], self.machine.documents_win + "\\Profile\\Profile2.pfd")


if __name__ == "__main__":
    harness.main()
