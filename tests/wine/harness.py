"""Wine test harness: a Wine prefix and an X display per test file, the built
Windows programs copied into a folder of that prefix, and ways to look at
what they did from outside (windows, registry, files, exit codes).

Every wait is for a condition, with a generous bound; nothing sleeps a fixed
time to let something happen.

  python3 harness.py make-base-prefix   creates the shared base prefix once
"""
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

# The route: the build folder to run (dist/, sim/ and tools/ inside) and its
# bitness. 32: the shipped 32-bit build under wine32; 64: the 64-bit build of
# the same sources under wine64, for machines whose kernel cannot run 32-bit
# Linux code (scripts/wine-bits chooses; ZR_WINE_BITS=32|64 forces).
BUILD = os.environ.get("ZR_WINE_BUILD", "")
BITS = os.environ.get("ZR_WINE_BITS", "32")
WORK = os.environ.get("ZR_WINE_WORK", os.path.join(tempfile.gettempdir(), "zr-wine"))
BASE_PREFIX = os.path.join(WORK, "base-prefix-win" + BITS)
BASE_HOME = os.path.join(WORK, "base-home-win" + BITS)
WRAPPERS = os.path.join(WORK, "wine64-bin")
BOUND = 60.0  # seconds any single wait may take before the test fails
PROFILE_KEY = "HKCU\\software\\software\\DAvezodev"  # the profile records' key, as config.ini ships
LANGUAGE_INDEX = 30956  # CurrentLanguage in ALLPROFILE.pfd
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def project_setting(pattern):
    """The first group of `pattern` in the top CMakeLists.txt (the version,
    the publisher: set there once for the whole build)."""
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
        return re.search(pattern, f.read()).group(1)

WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
WINE64_SERVER = "/usr/lib/wine/wineserver64"


def route():
    return "%d-bit build (%s) under wine%s" % (int(BITS), BUILD, BITS)


def make_wine64_wrappers():
    """`wine`, `wineboot` and `wineserver` on PATH go through the 32-bit
    loader even for 64-bit programs; the 64-bit route puts these first."""
    os.makedirs(WRAPPERS, exist_ok=True)
    for name, line in (("wine", 'exec %s "$@"' % WINE64_LOADER),
                       ("wineboot", 'exec %s wineboot "$@"' % WINE64_LOADER),
                       ("wineserver", 'exec %s "$@"' % WINE64_SERVER)):
        path = os.path.join(WRAPPERS, name)
        text = "#!/bin/sh\n" + line + "\n"
        current = None
        if os.path.exists(path):
            with open(path) as f:
                current = f.read()
        if current != text:
            with open(path + ".new", "w") as f:
                f.write(text)
            os.chmod(path + ".new", 0o755)
            os.replace(path + ".new", path)


def check_route():
    """Fails, saying why, when the chosen route cannot run here."""
    if BITS not in ("32", "64"):
        raise RuntimeError("ZR_WINE_BITS must be 32 or 64, not %r" % BITS)
    if not BUILD or not os.path.isdir(os.path.join(BUILD, "dist")):
        raise RuntimeError("no Windows build to test: ZR_WINE_BUILD=%r has no dist/ folder" % BUILD)
    if BITS == "64":
        for program in (WINE64_LOADER, WINE64_SERVER):
            if not os.access(program, os.X_OK):
                raise RuntimeError("%s is missing: the 64-bit route needs Debian's wine64 package "
                                   "(scripts/setup installs it)" % program)
        make_wine64_wrappers()
        return
    # The `wine` command falls back on wine64 when wine32 is missing: ask the
    # 32-bit loader itself.
    if not os.path.exists(WINE32_LOADER):
        raise RuntimeError("wine32 is not installed (%s is missing); scripts/setup installs it where the kernel "
                           "runs 32-bit code. Elsewhere run the 64-bit route (ZR_WINE_BITS=64)" % WINE32_LOADER)
    try:
        r = subprocess.run([WINE32_LOADER, "--version"], capture_output=True, text=True)
        failure = "exited %d: %s" % (r.returncode, (r.stderr or r.stdout).strip()[-300:])
        ok = r.returncode == 0 and r.stdout.startswith("wine-")
    except OSError as e:
        failure, ok = str(e), False
    if not ok:
        raise RuntimeError(
            "the 32-bit route cannot run here (%s --version %s). Where the kernel refuses 32-bit Linux programs, "
            "run the 64-bit route (ZR_WINE_BITS=64, or leave ZR_WINE_BITS unset and scripts/wine-bits chooses)"
            % (WINE32_LOADER, failure))


def wine_version():
    return subprocess.run(["wine", "--version"], capture_output=True, text=True,
                          env=base_env(BASE_PREFIX, BASE_HOME)).stdout.strip()


def base_env(prefix, home):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win" + BITS,
        "WINEDEBUG": "-all",
        "HOME": home,
        # No desktop menu entries, no .NET or Gecko installer prompts.
        "WINEDLLOVERRIDES": "winemenubuilder.exe=d;mscoree=d;mshtml=d",
    })
    if BITS == "64":
        env["PATH"] = WRAPPERS + os.pathsep + env.get("PATH", "")
        env["WINELOADER"] = WINE64_LOADER
        env["WINESERVER"] = WINE64_SERVER
    env.pop("DISPLAY", None)
    return env


def make_base_prefix():
    check_route()
    print("Wine route: " + route(), flush=True)
    marker = os.path.join(BASE_PREFIX, ".zr-ready")
    version = wine_version() + " base 2"  # the second part changes with what is set up here
    if os.path.exists(marker):
        with open(marker) as f:
            if f.read() == version:
                return
    shutil.rmtree(BASE_PREFIX, ignore_errors=True)
    shutil.rmtree(BASE_HOME, ignore_errors=True)
    os.makedirs(BASE_HOME)
    env = base_env(BASE_PREFIX, BASE_HOME)
    subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # No crash dialogs: a crash must show as a failed test, not a window.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t",
                    "REG_DWORD", "/d", "0", "/f"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The dialog fonts fall back on a CJK font for Chinese texts.
    for face in ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif"):
        subprocess.run(["wine", "reg", "add", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink",
                        "/v", face, "/t", "REG_MULTI_SZ", "/d", "wqy-microhei.ttc,WenQuanYi Micro Hei", "/f"],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True)
    # The user folders of a new prefix are links into $HOME; copies of the
    # prefix must each have folders of their own.
    users = os.path.join(BASE_PREFIX, "drive_c", "users")
    for user in os.listdir(users):
        udir = os.path.join(users, user)
        for name in os.listdir(udir):
            path = os.path.join(udir, name)
            if os.path.islink(path):
                os.unlink(path)
                os.makedirs(path)
    with open(marker, "w") as f:
        f.write(version)


def wait_for(condition, what, timeout=BOUND, step=0.05):
    """Waits until condition() is true (returns its value)."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(step)


def parse_reg_export(text):
    """Values of a .reg export: {key: {name: (kind, value)}}, with REG_BINARY
    as bytes, dword as int and strings as str."""
    keys = {}
    current = None
    logical = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i].rstrip()
        while line.endswith("\\") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i].strip()
        i += 1
        logical.append(line)
    for line in logical:
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
            continue
        if current is None or "=" not in line or not line.startswith('"'):
            continue
        end = 1
        while True:  # the name ends at the first unescaped quote
            if line[end] == "\\":
                end += 2
                continue
            if line[end] == '"':
                break
            end += 1
        name = line[1:end].replace('\\"', '"').replace("\\\\", "\\")
        data = line[end + 2:]
        if data.startswith("hex:"):
            body = data[4:].replace(",", "").strip()
            current[name] = ("binary", bytes.fromhex(body))
        elif data.startswith("dword:"):
            current[name] = ("dword", int(data[6:], 16))
        elif data.startswith('"'):
            current[name] = ("string", data[1:-1].replace('\\"', '"').replace("\\\\", "\\"))
        else:
            current[name] = ("other", data)
    return keys


class WineMachine:
    """A copy of the base prefix with its own X display and wineserver."""

    def __init__(self, name):
        os.makedirs(WORK, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix=name + "-", dir=WORK)
        self.prefix = os.path.join(self.root, "prefix")
        self.home = os.path.join(self.root, "home")
        os.makedirs(self.home)
        subprocess.run(["cp", "-a", BASE_PREFIX, self.prefix], check=True)
        self.env = base_env(self.prefix, self.home)
        self.xvfb = None
        self.processes = []
        try:
            self._start()
        except BaseException:
            # A machine that did not come up leaves no wineserver or display
            # behind (a wineserver holding CTest's output kept a failed
            # test running until its timeout).
            self.close()
            raise

    def _start(self):
        self._start_display()
        users = os.path.join(self.prefix, "drive_c", "users")
        self.user = [u for u in os.listdir(users) if u.lower() != "public"][0]
        self.documents = os.path.join(users, self.user, "Documents")
        self.documents_win = "C:\\users\\%s\\Documents" % self.user
        # A persistent wineserver keeps every program start quick.
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        # The first program of a prefix starts Wine's own services, which keep
        # the standard handles they inherit: give them none of ours, or a
        # later program's captured output would never reach its end. Its
        # errors go to a file, with Wine's own error lines: it once ended
        # with 1 under load and said nothing.
        log = os.path.join(self.root, "first-program.log")
        with open(log, "wb") as out:
            code = subprocess.run(["wine", "cmd.exe", "/c", "exit"], env=dict(self.env, WINEDEBUG="fixme-all"),
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=out, timeout=BOUND).returncode
        if code != 0:
            with open(log, "rb") as f:
                said = f.read()[-2000:].decode(errors="replace")
            raise RuntimeError("the prefix's first program (cmd.exe /c exit) ended with %#x: %r"
                               % (code & 0xFFFFFFFF, said))

    def _start_display(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as r:
            while not number.endswith(b"\n"):
                chunk = r.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def close(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        if self.xvfb is not None:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=BOUND)
        if not os.environ.get("ZR_KEEP_WINE"):
            shutil.rmtree(self.root, ignore_errors=True)

    # ---- folders --------------------------------------------------------
    def c_path(self, win_path):
        """The Linux path of C:\\..."""
        assert win_path[:3].upper() == "C:\\"
        return os.path.join(self.prefix, "drive_c", *win_path[3:].split("\\"))

    def install(self, folder="C:\\zrmon", config=None, programs=("zrmon.exe",), source="dist", hook_library=True):
        """Copies the built programs into a folder of the prefix, laid out as
        they ship, with `config` as config.ini (None: no config.ini).
        `source` names the build's folder they come from (dist, sim, tools).
        The monitor's hook library, qvHook.dll, goes beside the monitor
        unless `hook_library` is false."""
        target = self.c_path(folder)
        os.makedirs(target, exist_ok=True)
        programs = list(programs)
        if hook_library and {"zrmon.exe", "zrmon-sim.exe"} & set(programs):
            programs.append("qvHook.dll")
        for program in programs:
            shutil.copy(os.path.join(BUILD, source, program), target)
        if config is not None:
            with open(os.path.join(target, "config.ini"), "w", newline="\r\n") as f:
                f.write(config)
        return folder

    # ---- programs -------------------------------------------------------
    def tool_path(self, name):
        return os.path.join(BUILD, "tools", name)

    def start(self, exe_win_path, *args, env=None):
        """Starts a program of the prefix (with `env` added to its
        environment); its output goes to a log file."""
        log = open(os.path.join(self.root, "programs.log"), "ab")
        p = subprocess.Popen(["wine", self.c_path(exe_win_path)] + list(args), env=dict(self.env, **(env or {})),
                             cwd=os.path.dirname(self.c_path(exe_win_path)),
                             stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        self.processes.append(p)
        return p

    def start_tool(self, *args):
        """Starts zrtool.exe in the background (for commands that stay)."""
        log = open(os.path.join(self.root, "programs.log"), "ab")
        p = subprocess.Popen(["wine", self.tool_path("zrtool.exe")] + [str(a) for a in args], env=self.env,
                             stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        self.processes.append(p)
        return p

    def run(self, exe, *args, timeout=BOUND):
        """Runs a program to its end: (exit code, stdout)."""
        r = subprocess.run(["wine", exe] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=timeout)
        return r.returncode, r.stdout

    def tool(self, *args, timeout=BOUND):
        return self.run(self.tool_path("zrtool.exe"), *[str(a) for a in args], timeout=timeout)

    def wait_window(self, cls, timeout_ms=int(BOUND * 1000)):
        # The tool's own wait ends first, so that a window that never comes
        # fails with its name rather than with the tool's time-out.
        rc, out = self.tool("wait-window", cls, timeout_ms, timeout=timeout_ms / 1000 + BOUND / 2)
        if rc != 0:
            raise AssertionError("no window of class %s appeared; the programs' output ends:\n%s"
                                 % (cls, self.programs_output_tail()))
        return out.strip()

    def programs_output_tail(self, size=2000):
        """The end of what the programs started in the background printed."""
        try:
            with open(os.path.join(self.root, "programs.log"), "rb") as f:
                f.seek(0, os.SEEK_END)
                f.seek(max(0, f.tell() - size))
                return f.read().decode("utf-8", "replace")
        except OSError:
            return "(nothing)"

    def window_exists(self, cls):
        return self.tool("wait-window", cls, 0)[0] == 0

    def window_info(self, cls):
        rc, out = self.tool("window-info", cls)
        if rc != 0:
            return None
        return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)

    def tray_icons_shown(self):
        """Wine's system tray window shows while it holds an icon."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Wine System Tray"],
                           env=self.env, capture_output=True, text=True)
        return bool(r.stdout.split())

    def close_window_program(self, process, cls):
        """Ends a program that shows a window of class `cls`: WM_CLOSE to the
        window (killed when it does not end), then waits for the window to go."""
        if process.poll() is None:
            self.tool("post", cls, 0x0010)  # WM_CLOSE
            try:
                process.wait(timeout=BOUND)
            except subprocess.TimeoutExpired:
                process.kill()
        # The tool's own wait ends first; the program's bound covers its start too.
        self.tool("wait-no-window", cls, int(BOUND * 1000), timeout=2 * BOUND)

    def wait_exit(self, process, timeout=BOUND):
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end")
        return process.returncode

    # ---- registry -------------------------------------------------------
    def reg_export(self, key):
        """{name: (kind, value)} of one key, or None when it does not exist."""
        out = os.path.join(self.root, "export.reg")
        if os.path.exists(out):
            os.unlink(out)
        r = subprocess.run(["wine", "reg", "export", key, "Z:" + out.replace("/", "\\"), "/y"], env=self.env,
                           capture_output=True)
        if r.returncode != 0 or not os.path.exists(out):
            return None
        with open(out, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")
        keys = parse_reg_export(text)
        full = key.replace("HKCU\\", "HKEY_CURRENT_USER\\", 1).replace("HKLM\\", "HKEY_LOCAL_MACHINE\\", 1)
        for name, values in keys.items():
            if name.lower() == full.lower():
                return values
        return None

    def reg_set_binary(self, key, name, data):
        """Stores a REG_BINARY value, of any size, through a .reg file."""
        full = key.replace("HKCU\\", "HKEY_CURRENT_USER\\", 1)
        pairs = ["%02x" % b for b in data]
        rows = [",".join(pairs[i:i + 24]) for i in range(0, len(pairs), 24)]
        body = ",\\\n  ".join(rows)
        path = os.path.join(self.root, "import.reg")
        with open(path, "w", newline="\r\n") as f:
            f.write('REGEDIT4\n\n[%s]\n"%s"=hex:%s\n' % (full, name, body))
        r = subprocess.run(["wine", "reg", "import", "Z:" + path.replace("/", "\\")], env=self.env,
                           capture_output=True)
        if r.returncode != 0:
            # reg.exe says what went wrong on its standard output.
            raise AssertionError("reg import failed (exit %d): %r %r" % (r.returncode, r.stdout[-300:],
                                                                         r.stderr[-300:]))

    def set_stored_language(self, index, key=PROFILE_KEY):
        """CurrentLanguage of the stored global settings (ALLPROFILE.pfd), as
        the configuration program stores it."""
        data = bytearray(self.reg_export(key)["ALLPROFILE.pfd"][1])
        struct.pack_into("<i", data, LANGUAGE_INDEX, index)
        self.reg_set_binary(key, "ALLPROFILE.pfd", bytes(data))

    def forget_profiles(self, key=PROFILE_KEY):
        """Removes the stored profile records (the documents folder's Profile
        folder and the registry key), as before a first start; returns the
        folder's Linux path."""
        profiles = os.path.join(self.documents, "Profile")
        shutil.rmtree(profiles, ignore_errors=True)
        subprocess.run(["wine", "reg", "delete", key, "/f"], env=self.env, capture_output=True)
        return profiles

    def reg_add(self, key, name, kind, data):
        subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], env=self.env,
                       check=True, capture_output=True)

    def reg_delete(self, key, name):
        subprocess.run(["wine", "reg", "delete", key, "/v", name, "/f"], env=self.env, check=True,
                       capture_output=True)


class WineTestCase(unittest.TestCase):
    """One machine for all tests of the class, which run one after another."""

    machine = None

    @classmethod
    def setUpClass(cls):
        check_route()
        make_base_prefix()
        cls.machine = WineMachine(cls.__name__)

    @classmethod
    def tearDownClass(cls):
        if cls.machine is not None:
            cls.machine.close()


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "make-base-prefix":
        make_base_prefix()
        return
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()
