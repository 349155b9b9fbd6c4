"""What is true only of the shipped 32-bit program, checked on its build
without running it, so that every machine checks it, also one whose kernel
cannot run 32-bit code: the file kind, the imports, and that the stored-record
layouts were compiled (with their size and offset assertions) by the 32-bit
compiler."""
import json
import os
import re
import subprocess
import unittest

BUILD = os.environ.get("ZR_WIN32_BUILD", "")
OBJDUMP = "i686-w64-mingw32-objdump"
# Linked statically: no runtime DLL of the compiler may be needed beside the program.
MINGW_RUNTIME = ("libgcc_s", "libstdc++", "libwinpthread", "libssp", "libatomic")
# Loaded at run time by name, never imported: the program must start on a
# machine where they are missing or broken.
LOADED_BY_NAME = ("hid.dll", "setupapi.dll", "cfgmgr32.dll")
# What every start of the monitor needs. The shell, COM, the legacy mixer and
# the common controls serve some paths only and are loaded when one first
# needs them: imported, each would be loaded, with what it brings, at every start.
MONITOR_IMPORTS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}


def objdump(*args):
    return subprocess.run([OBJDUMP] + list(args), capture_output=True, text=True, check=True).stdout


def imports(program):
    out = objdump("-p", program)
    return [line.split(":", 1)[1].strip().lower() for line in out.splitlines() if "DLL Name:" in line]


class Win32Build(unittest.TestCase):
    def path(self, *parts):
        path = os.path.join(BUILD, *parts)
        self.assertTrue(os.path.isfile(path), path + " was not built")
        return path

    def test_the_shipped_programs_are_32_bit_the_monitor_a_gui_and_zrctl_a_console_program(self):
        for name, subsystem in (("zrmon.exe", r"00000002\s+\(Windows GUI\)"),
                                ("zrctl.exe", r"00000003\s+\(Windows CUI\)")):
            with self.subTest(program=name):
                program = self.path("dist", name)
                header = objdump("-f", program)
                self.assertIn("file format pei-i386", header)
                self.assertIn("architecture: i386", header)
                self.assertRegex(objdump("-p", program), r"Subsystem\s+" + subsystem)
        # The installer too: a 64-bit one would not start on 32-bit Windows.
        self.assertIn("file format pei-i386", objdump("-f", self.path("zrmon-setup.exe")))

    def test_programs_import_no_compiler_runtime_and_no_library_loaded_by_name(self):
        for program in (self.path("dist", "zrmon.exe"), self.path("dist", "qvHook.dll"),
                        self.path("dist", "zrctl.exe"), self.path("sim", "zrmon-sim.exe"), self.path("tools", "zrhidprobe.exe"),
                        self.path("tools", "zrdriver.exe")):
            with self.subTest(program=os.path.basename(program)):
                imported = imports(program)
                self.assertIn("kernel32.dll", imported)
                for dll in imported:
                    self.assertFalse(dll.startswith(MINGW_RUNTIME), dll)
                    self.assertNotIn(dll, LOADED_BY_NAME)

    def test_the_monitor_and_its_hook_library_import_only_what_every_start_needs(self):
        for program in (self.path("dist", "zrmon.exe"), self.path("dist", "qvHook.dll")):
            with self.subTest(program=os.path.basename(program)):
                self.assertLessEqual(set(imports(program)), MONITOR_IMPORTS)

    def test_the_hook_library_exports_its_four_entry_points_under_plain_names(self):
        # The monitor looks them up by name; a 32-bit stdcall function is
        # exported as EnableMouseHook@12 unless the library says otherwise.
        library = self.path("dist", "qvHook.dll")
        self.assertIn("file format pei-i386", objdump("-f", library))
        table = objdump("-p", library).split("[Ordinal/Name Pointer] Table", 1)
        self.assertEqual(len(table), 2, "qvHook.dll exports nothing")
        names = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1].split("\n\n", 1)[0], re.M)
        self.assertEqual(sorted(names), ["DisableKeyboardHook", "DisableMouseHook", "EnableKeyboardHook",
                                         "EnableMouseHook"])

    def test_the_record_layouts_were_compiled_by_the_32_bit_compiler(self):
        with open(self.path("compile_commands.json")) as f:
            commands = json.load(f)
        compiled = {os.path.relpath(c["file"], c["directory"]).replace("\\", "/").split("../")[-1]: c["command"]
                    for c in commands}
        for source in ("profile/dm.cpp", "profile/qv_profile.cpp", "device/std_command.cpp"):
            with self.subTest(source=source):
                command = next((cmd for name, cmd in compiled.items() if name.endswith(source)), None)
                self.assertIsNotNone(command, source + " is not part of the 32-bit build")
                self.assertIn("i686-w64-mingw32-g++", command)


if __name__ == "__main__":
    if not BUILD:
        raise SystemExit("ZR_WIN32_BUILD is not set")
    unittest.main(verbosity=2)
