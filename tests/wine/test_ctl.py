"""zrctl.exe, the monitor's command-line companion, under Wine, installed
beside zrmon-sim.exe as it ships beside zrmon.exe: the group it stores
reaches the running monitor, which pushes that slot's CPI block; CPI levels
it sets in the current slot's file reach the running monitor at once, a
refused value writes nothing; without a monitor it says so with exit code 3;
a slot's record goes out to a file and back byte for byte; the JSON listing
parses and, imported unedited, changes nothing."""
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

    def ctl(self, *args, cwd=None):
        """zrctl's (exit code, standard output, standard error). Wine takes the
        command line in the Unix locale's encoding: a UTF-8 one."""
        r = subprocess.run(["wine", self.machine.c_path(self.folder + "\\zrctl.exe")] + list(args),
                           env=dict(self.machine.env, LC_ALL="C.UTF-8"), cwd=cwd, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=harness.BOUND)
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

    def test_cpi_levels_set_in_the_current_slot_reach_the_running_monitor(self):
        self.store_records()
        self.start_monitor()
        before = len(self.blocks())

        rc, out, err = self.ctl("set", "0", "cpi", "500,1000x2000,3000")

        self.assertEqual(rc, 0, err)
        self.assertIn("the monitor applied it", out)
        # The monitor had handled the message when zrctl ended.
        self.assertGreater(len(self.blocks()), before)
        block = bytes.fromhex(self.blocks()[-1])
        levels = [struct.unpack_from("<BII", block, 108 + 9 * i) for i in range(4)]  # STCpi
        steps = [struct.unpack_from("<BII", block, 18 + 9 * i) for i in range(4)]  # HWCpi
        self.assertEqual(levels, [(1, 500, 500), (1, 1000, 2000), (1, 3000, 3000), (0, 3500, 3500)])
        self.assertEqual(steps, [(1, 500, 500), (1, 2000, 2000), (1, 3000, 3000), (0, 3500, 3500)])

        with open(self.slot_file(0), "rb") as f:
            stored = f.read()
        rc, _, err = self.ctl("set", "0", "cpi", "500,20x4000")
        self.assertEqual(rc, 1)
        self.assertIn("each axis must be 40..65535", err)
        with open(self.slot_file(0), "rb") as f:
            self.assertEqual(f.read(), stored)

    def test_without_a_monitor_or_records_status_says_so(self):
        rc, out, _ = self.ctl("status")
        self.assertEqual(rc, 0)
        self.assertIn("monitor: not running\n", out)
        self.assertIn("registry key: HKCU\\software\\software\\DAvezodev (missing)\n", out)
        self.assertIsNone(self.machine.reg_export(GROUP_KEY), "status created the key")

    def test_a_slot_goes_to_a_file_and_back_byte_for_byte(self):
        self.store_records()
        out_folder = self.machine.c_path("C:\\out")
        os.makedirs(out_folder, exist_ok=True)
        # A name beyond ASCII, relative to the current folder.
        rc, _, err = self.ctl("export", "2", "pr\u00f3fil 2.pfd", cwd=out_folder)
        self.assertEqual(rc, 0, err)
        with open(os.path.join(out_folder, "pr\u00f3fil 2.pfd"), "rb") as f, open(self.slot_file(2), "rb") as g:
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

        def stored():
            group = self.machine.reg_export(GROUP_KEY)
            slots = []
            for slot in range(4):
                with open(self.slot_file(slot), "rb") as f:
                    slots.append(f.read())
            return group, slots
        before = stored()
        with open(os.path.join(self.machine.c_path(self.folder), "listing.json"), "w") as f:
            f.write(out)
        rc, out, err = self.ctl("import", "--json", "listing.json", cwd=self.machine.c_path(self.folder))
        self.assertEqual(rc, 0, err)
        self.assertIn("nothing written", out)
        self.assertEqual(stored(), before)


if __name__ == "__main__":
    harness.main()
