"""A first start of zrmon.exe stores the profile records with their factory
values; a second start leaves every stored byte as it was."""
import os

import factory
import harness

WM_CLOSE = 0x0010


class StoredProfiles(harness.WineTestCase):
    config = None
    key = r"HKCU\software\software\DAvezodev"
    reg_folder = "software\\software\\DAvezodev"
    prefix = "Profile"

    def start_and_close(self, exe):
        p = self.machine.start(exe)
        self.machine.wait_window("ZEDEZAVadi")
        self.machine.tool("post", "ZEDEZAVadi", WM_CLOSE)
        self.assertEqual(self.machine.wait_exit(p), 0)

    def profile_file(self, n):
        return os.path.join(self.machine.documents, "Profile", "%s%d.pfd" % (self.prefix, n))

    def stored(self):
        files = {}
        for n in range(1, 6):
            with open(self.profile_file(n), "rb") as f:
                files[n] = (f.read(), os.stat(self.profile_file(n)).st_mtime_ns)
        return self.machine.reg_export(self.key), files

    def test_first_start_stores_factory_values_and_a_second_start_rewrites_nothing(self):
        exe = self.machine.install(config=self.config) + "\\zrmon.exe"
        self.assertIsNone(self.machine.reg_export(self.key))
        self.start_and_close(exe)

        values, files = self.stored()
        self.assertEqual(sorted(values), ["ALLPROFILE.pfd", "ProfileSettingGroup.pfd"])
        kind, group = values["ProfileSettingGroup.pfd"]
        self.assertEqual(kind, "binary")
        self.assertEqual(len(group), 30964)
        self.assertEqual(group, factory.setting_group(self.machine.documents_win, self.reg_folder, self.prefix))
        kind, everything = values["ALLPROFILE.pfd"]
        self.assertEqual(len(everything), 30960)
        self.assertEqual(everything, factory.global_settings())
        for n in range(1, 6):
            data, _ = files[n]
            self.assertEqual(len(data), 109896)
            self.assertEqual(data, factory.game_profile(n - 1), "profile %d" % n)
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.profile_file(1)))),
                         ["%s%d.pfd" % (self.prefix, n) for n in range(1, 6)])

        self.start_and_close(exe)
        self.assertEqual(self.stored(), (values, files))


class StoredProfilesWithOptions(StoredProfiles):
    config = "[options]\nProfileRegFolder=DAvezodev\nprofilePrefix=Game\n"
    key = r"HKCU\software\DAvezodev"
    reg_folder = "software\\DAvezodev"
    prefix = "Game"


if __name__ == "__main__":
    harness.main()
