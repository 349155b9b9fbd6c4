"""scripts/wine-bits asks the kernel, not an emulator: an i386 handler
registered in binfmt_misc (qemu-user) would run its probe and answer "32",
yet wine32 does not work under it."""
import os
import subprocess
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                      "scripts", "wine-bits")
I386 = "7f454c4601010100000000000000000002000300"
ARM = "7f454c4601010100000000000000000002002800"


class WineBits(unittest.TestCase):
    def route(self, entries, status="enabled"):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "status"), "w") as f:
                f.write(status + "\n")
            for name, (state, magic) in entries.items():
                with open(os.path.join(folder, name), "w") as f:
                    f.write("%s\ninterpreter /usr/bin/qemu-%s-static\nflags: F\noffset 0\nmagic %s\n"
                            "mask fffffffffffefe00fffffffffffffffffeffffff\n" % (state, name, magic))
            env = dict(os.environ, ZR_BINFMT_DIR=folder)
            env.pop("ZR_WINE_BITS", None)
            r = subprocess.run([SCRIPT], env=env, capture_output=True, text=True, check=True)
            return r.stdout.strip(), "emulator" in r.stderr

    def test_an_enabled_i386_emulator_means_no_32_bit_route(self):
        self.assertEqual(self.route({"i386": ("enabled", I386)}), ("64", True))
        self.assertEqual(self.route({"arm": ("enabled", ARM), "i386": ("enabled", I386)}), ("64", True))

    def test_handlers_that_cannot_take_i386_programs_leave_the_kernel_to_answer(self):
        for entries, status in (({"i386": ("disabled", I386)}, "enabled"),
                                ({"i386": ("enabled", I386)}, "disabled"),
                                ({"arm": ("enabled", ARM)}, "enabled")):
            with self.subTest(entries=entries, status=status):
                bits, emulator = self.route(entries, status)
                self.assertFalse(emulator)
                self.assertIn(bits, ("32", "64"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
