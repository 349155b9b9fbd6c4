"""Faults injected into the running zrmon-sim.exe under Wine, with the
simulated mouse and filter driver, and what must hold after each: every
stored record is the old or the new one byte for byte, no temporary file is
left behind, the monitor still answers, and after a clean plug exactly one
configuration push follows.

  saves      saves by the monitor (WM_RELOAD_SETTINGS, WM_APPLY_PROFILE, the
             mouse's profile-group key) and by zrctl (import, export, group)
             while a slot's .pfd file is read-only, while the documents folder
             is full (a small tmpfs mounted over it), and while the profile
             key may only be read (its access list); the monitor's start-up
             saves under the two file faults
  unplugs    the mouse pulled out at a random point of the monitor's start-up
             exchange, or of the check and push after a plug
  driver     the filter driver gone and back in the middle of a CPI push

zrfault.exe runs inside the prefix and takes the steps (messages, zrsim
commands, zrctl's command code, the registry) one a line, so that a step costs
no program start. scripts/faults runs this file; tests/wine/test_faults.py is
its short form.

  python3 faults.py [--saves N] [--unplugs N] [--driver N] [--jobs J] [--seed S]
"""
import argparse
import collections
import os
import random
import shutil
import stat
import struct
import subprocess
import sys
import threading
import time

import factory
import harness

CONFIG = "[IncludeHIDDeviceList]\nid1=HID\\VID_5A3C&PID_0001&MI_01&Col01\n"
KEY = "HKCU\\software\\software\\DAvezodev"
MONITOR = "ZEDEZAVadi"
WM_NULL = 0x0000
WM_CLOSE = 0x0010
WM_APPLY_PROFILE = 7035
WM_RELOAD_SETTINGS = 7037
WM_DEVICE_KEY = 7524
GROUP_KEY = (21, 22)  # the mouse's profile-group key: group 0, group 1
DEBOUNCE = 1.5        # seconds from the last device notification to the check
SETTLE = DEBOUNCE + 0.3  # a second check, if any, would come within this after the first
PUSH = "ioctl 80008004 "
GROUP_VALUE, GLOBAL_VALUE, REGISTRY_SLOT_VALUE = "ProfileSettingGroup.pfd", "ALLPROFILE.pfd", "Profile5.pfd"
FILE_SLOTS = 4        # slots 0..3 are files Profile1..4.pfd; slot 4 is the registry value Profile5.pfd
RECORD = factory.PROFILE_SIZE
ERROR_DISK_FULL = "Windows error 112"


class Counts(collections.Counter):
    """Outcomes of one kind of fault, by name."""


def user_group(documents_win):
    """A group record as a user's might be: slot 4 kept in the registry,
    group 1 on slot 3, so that it differs from the factory record."""
    g = bytearray(factory.setting_group(documents_win))
    struct.pack_into("<iii", g, 0, 0, 0, 3)
    g[12 + 4 * factory.SETTING_SIZE + 6188] = 0  # StorageMode of slot 4: registry
    return bytes(g)


def with_group(group_record, group):
    g = bytearray(group_record)
    struct.pack_into("<i", g, 0, group)
    return bytes(g)


def user_profile(slot, rng):
    """A slot's record with the user's own CPI levels and colour."""
    p = bytearray(factory.game_profile(slot))
    for i in range(4):
        cpi = rng.randrange(1, 17) * 250
        struct.pack_into("<HHH", p, factory.CONFIG + 71724 + 6 * i, cpi, cpi, 1)
    struct.pack_into("<BBB", p, factory.CONFIG + 82120, *(rng.randrange(256) for _ in range(3)))
    return bytes(p)


class Rig:
    """One Wine machine with the monitor, its records and zrfault.exe."""

    def __init__(self, machine, rng):
        self.machine = machine
        self.rng = rng
        self.folder = machine.install(config=CONFIG, programs=("zrmon-sim.exe", "zrsim.exe"), source="sim")
        machine.install(self.folder, config=CONFIG, programs=("zrctl.exe",), source="dist")
        shutil.copy(machine.tool_path("zrfault.exe"), machine.c_path(self.folder))
        self.sim_log = machine.c_path(self.folder + "\\sim.log")
        self.profiles = os.path.join(machine.documents, "Profile")
        self.profiles_win = machine.documents_win + "\\Profile"
        self.work_win = "C:\\faults"
        os.makedirs(machine.c_path(self.work_win), exist_ok=True)
        self.monitor = None
        self.driver = subprocess.Popen(["wine", machine.c_path(self.folder + "\\zrfault.exe")], env=machine.env,
                                       cwd=machine.c_path(self.folder), stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
        machine.processes.append(self.driver)
        self.problems = []
        self.scenario = ""
        self.progress = lambda line: None
        self.store_user_records()

    # ---- zrfault.exe ------------------------------------------------------
    def steps(self, *lines):
        """Hands several steps over at once (their timing is zrfault's);
        their answers."""
        self.driver.stdin.write("".join("\t".join(str(f) for f in line) + "\n" for line in lines))
        self.driver.stdin.flush()
        answers = []
        for _ in lines:
            answer = self.driver.stdout.readline()
            if not answer:
                raise AssertionError("zrfault.exe ended")
            answers.append(answer.rstrip("\n"))
        return answers

    def step(self, *fields):
        return self.steps(fields)[0]

    def ctl(self, *args):
        """zrctl's exit code and first line of errors."""
        answer = self.step("ctl", *args)
        head, _, err = answer.partition("\t")
        if not head.startswith("exit "):
            raise AssertionError("zrctl's command code: " + answer)
        return int(head[5:]), err

    def send(self, msg, wparam=0):
        return self.step("send", MONITOR, msg, wparam)

    def answers(self):
        return self.send(WM_NULL).startswith("ok")

    def reg_get(self, name):
        answer = self.step("reg-get", KEY, name)
        if answer == "missing":
            return None
        if not answer.startswith("value 3 "):
            raise AssertionError("%s: %s" % (name, answer[:80]))
        return bytes.fromhex(answer[8:])

    def reg_set(self, name, data):
        answer = self.step("reg-set", KEY, name, data.hex())
        if answer != "ok":
            raise AssertionError("storing %s: %s" % (name, answer))

    def reg_delete(self, name):
        answer = self.step("reg-delete", KEY, name)
        if answer != "ok":
            raise AssertionError("deleting %s: %s" % (name, answer))

    def key_access(self, mode):
        answer = self.step("key-access", KEY, mode)
        if answer != "ok":
            raise AssertionError("key-access %s: %s" % (mode, answer))

    def sim(self, *lines):
        """zrsim commands, with "sleep MS" between them where asked."""
        answers = self.steps(*[("sleep", l[6:]) if l.startswith("sleep ") else ("sim", l) for l in lines])
        for line, answer in zip(lines, answers):
            if answer != "ok":
                raise AssertionError("zrsim %s: %s" % (line, answer))

    # ---- the monitor ------------------------------------------------------
    def start_monitor(self, plugged=True, wait=True):
        env = {"ZRSIM_PLUGGED": "1" if plugged else "0"}
        start = len(self.log())
        self.monitor = subprocess.Popen(["wine", self.machine.c_path(self.folder + "\\zrmon-sim.exe")],
                                        env=dict(self.machine.env, **env), cwd=self.machine.c_path(self.folder),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.machine.processes.append(self.monitor)
        if wait:
            self.wait_started(plugged, start)

    def wait_started(self, plugged, start):
        """Until the start-up is over: its CPI block, and with the mouse in
        the check's block after the reader started (the log's lines from
        `start` on)."""
        harness.wait_for(lambda: len(self.pushes(self.log()[start:])) >= (2 if plugged else 1),
                         "the start-up's CPI blocks")

    def stop_monitor(self):
        if self.monitor is None:
            return
        if self.monitor.poll() is None:
            self.step("post", MONITOR, WM_CLOSE)
            try:
                self.monitor.wait(timeout=harness.BOUND)
            except subprocess.TimeoutExpired:
                self.monitor.kill()
                self.monitor.wait()
                raise AssertionError("the monitor did not end on WM_CLOSE")
        harness.wait_for(lambda: self.step("wait-window", MONITOR, 0) != "ok", "the monitor's window to go")
        self.monitor = None

    def log(self):
        if not os.path.exists(self.sim_log):
            return []
        with open(self.sim_log) as f:
            return [l.rstrip("\n") for l in f]

    @staticmethod
    def pushes(lines):
        return [l for l in lines if l.startswith(PUSH)]

    # ---- records ----------------------------------------------------------
    def slot_file(self, slot):
        return os.path.join(self.profiles, "Profile%d.pfd" % (slot + 1))

    def slot_file_win(self, slot):
        return "%s\\Profile%d.pfd" % (self.profiles_win, slot + 1)

    def store_user_records(self):
        self.reg_set(GROUP_VALUE, user_group(self.machine.documents_win))
        self.reg_set(GLOBAL_VALUE, factory.global_settings())
        self.reg_set(REGISTRY_SLOT_VALUE, user_profile(4, self.rng))
        os.makedirs(self.profiles, exist_ok=True)
        for slot in range(FILE_SLOTS):
            write_file(self.slot_file(slot), user_profile(slot, self.rng))

    def records(self):
        """Every stored record: registry values and slot files (None: missing)."""
        r = {"registry " + name: self.reg_get(name) for name in (GROUP_VALUE, GLOBAL_VALUE, REGISTRY_SLOT_VALUE)}
        for slot in range(FILE_SLOTS):
            r["file Profile%d.pfd" % (slot + 1)] = read_file(self.slot_file(slot))
        return r

    def strays(self):
        """Files in the profile folder that are no slot's: temporary files
        left behind."""
        names = set(os.listdir(self.profiles)) if os.path.isdir(self.profiles) else set()
        return sorted(names - {"Profile%d.pfd" % (slot + 1) for slot in range(5)})

    def new_record_file(self):
        """A record of new bytes in C:\\faults, for zrctl import."""
        data = user_profile(self.rng.randrange(5), self.rng)
        write_file(self.machine.c_path(self.work_win + "\\new.pfd"), data)
        return self.work_win + "\\new.pfd", data

    def check(self, counts, before, allowed, what):
        """After a step: every record is its old bytes or one of `allowed`'s
        new ones for it, no stray file, the monitor answers."""
        now = self.records()
        for name, value in now.items():
            counts["records checked"] += 1
            if value == before[name]:
                counts["old"] += 1
            elif value in allowed.get(name, ()):
                counts["new"] += 1
            else:
                counts["torn or lost"] += 1
                self.problem("%s: %s is %s, neither the old %s nor a new one"
                             % (what, name, describe(value), describe(before[name])))
        strays = self.strays()
        if strays:
            counts["temporary files left"] += len(strays)
            self.problem("%s: left in the profile folder: %s" % (what, ", ".join(strays)))
            for name in strays:
                os.unlink(os.path.join(self.profiles, name))
        if not self.answers():
            counts["monitor not answering"] += 1
            self.problem(what + ": the monitor does not answer")
        return now

    def injected(self, counts):
        """Counts a fault; every hundredth is reported as progress."""
        counts["faults injected"] += 1
        if counts["faults injected"] % 100 == 0:
            self.progress("%s: %d faults so far" % (self.scenario, counts["faults injected"]))

    def problem(self, text):
        if len(self.problems) < 20:
            self.problems.append(text)

    def close(self):
        try:
            self.stop_monitor()
        finally:
            if self.driver.poll() is None:
                self.driver.stdin.write("quit\n")
                self.driver.stdin.close()
                self.driver.wait(timeout=harness.BOUND)


def read_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def describe(value):
    if value is None:
        return "missing"
    return "%d bytes (%s...)" % (len(value), value[:8].hex())


def set_read_only(path, read_only):
    """The read-only attribute as Wine keeps it: no write permission."""
    mode = os.stat(path).st_mode
    os.chmod(path, mode & ~0o222 if read_only else mode | 0o200)


def is_read_only(path):
    return not os.stat(path).st_mode & stat.S_IWUSR


# ---- saves ---------------------------------------------------------------------

def monitor_save(rig, kind, before):
    """A save of the monitor's own: a record it loads is missing (so that it
    stores factory values), or the profile-group key. The new bytes it may
    write."""
    if kind == "reload":
        rig.reg_delete(GLOBAL_VALUE)
        rig.send(WM_RELOAD_SETTINGS)
        return {"registry " + GLOBAL_VALUE: [factory.global_settings()]}
    if kind == "apply":
        rig.reg_delete(GLOBAL_VALUE)
        rig.send(WM_APPLY_PROFILE)
        return {"registry " + GLOBAL_VALUE: [factory.global_settings()]}
    group = rig.rng.randrange(2)
    rig.send(WM_DEVICE_KEY, GROUP_KEY[group])
    return {"registry " + GROUP_VALUE: [with_group(before["registry " + GROUP_VALUE], group)]}


def saves_with_read_only_file(rig, n, counts):
    """Saves while one slot's .pfd file is read-only: zrctl's import into that
    slot and export onto its file must be refused and leave it as it was; the
    monitor's saves go on."""
    before = rig.records()
    for i in range(n):
        slot = rig.rng.randrange(FILE_SLOTS)
        path = rig.slot_file(slot)
        set_read_only(path, True)
        kind = rig.rng.choice(("import", "export", "reload", "apply", "group key"))
        what = "save %d (%s) with Profile%d.pfd read-only" % (i, kind, slot + 1)
        if kind in ("import", "export"):
            if kind == "import":
                source, _ = rig.new_record_file()
                rc, err = rig.ctl("import", slot, source)
            else:
                rc, err = rig.ctl("export", (slot + 1) % 5, rig.slot_file_win(slot))
            counts["saves onto the read-only file"] += 1
            if rc != 1:
                counts["read-only file saved over"] += 1
                rig.problem("%s: zrctl %s exited %d (%s)" % (what, kind, rc, err))
            allowed = {}
        else:
            allowed = monitor_save(rig, kind, before)
        rig.injected(counts)
        before = rig.check(counts, before, allowed, what)
        if not is_read_only(path):
            counts["read-only mark lost"] += 1
            rig.problem(what + ": the file is no longer read-only")
        set_read_only(path, False)
        if i % 5 == 4:  # the same save without the fault stores the new record
            source, data = rig.new_record_file()
            rc, err = rig.ctl("import", slot, source)
            counts["clean saves"] += 1
            if rc != 0:
                rig.problem("a clean import into slot %d exited %d: %s" % (slot, rc, err))
                counts["clean saves refused"] += 1
            before = rig.check(counts, before, {"file Profile%d.pfd" % (slot + 1): [data]}, "clean import")
    starts_with_a_missing_file(rig, max(2, n // 200), counts)


def starts_with_a_missing_file(rig, n, counts, docs=None):
    """The monitor started while a slot file is missing: with a read-only
    neighbour it stores the missing one's factory values, with the documents
    folder full (`docs`) it cannot, and stays up either way."""
    read_only = docs is None
    for i in range(n):
        rig.stop_monitor()
        missing = rig.rng.randrange(FILE_SLOTS)
        os.unlink(rig.slot_file(missing))
        if docs:
            docs.fill()  # the file's room is taken again
        locked = (missing + 1) % FILE_SLOTS
        if read_only:
            set_read_only(rig.slot_file(locked), True)
        before = rig.records()
        rig.start_monitor()
        rig.injected(counts)
        counts["monitor starts"] += 1
        name = "file Profile%d.pfd" % (missing + 1)
        allowed = {name: [factory.game_profile(missing)]} if read_only else {}
        rig.check(counts, before, allowed, "start %d with Profile%d.pfd missing" % (i, missing + 1))
        if read_only:
            set_read_only(rig.slot_file(locked), False)
        if read_file(rig.slot_file(missing)) is None:  # back as it was for the next step
            if docs:
                docs.empty()
            write_file(rig.slot_file(missing), user_profile(missing, rig.rng))
            if docs:
                docs.fill()


class FullDocuments:
    """A small tmpfs over the documents folder, holding what the folder held;
    a filler file leaves less room than one record."""

    def __init__(self, rig):
        self.rig = rig
        self.path = rig.machine.documents
        self.saved = self.path + ".saved"

    def __enter__(self):
        if os.geteuid() != 0:
            raise RuntimeError("the full documents folder is a tmpfs mounted over it: that needs root")
        os.rename(self.path, self.saved)
        os.mkdir(self.path)
        # Five records and some room: the filler takes the rest.
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m,mode=0755", "tmpfs", self.path], check=True)
        shutil.copytree(self.saved, self.path, dirs_exist_ok=True, symlinks=True)
        return self

    def fill(self):
        """Leaves a random amount of room below one record."""
        filler = os.path.join(self.path, "filler")
        if os.path.exists(filler):
            os.unlink(filler)
        st = os.statvfs(self.path)
        free = st.f_bavail * st.f_frsize
        room = self.rig.rng.randrange(0, RECORD, st.f_frsize)
        write_file(filler, b"\xaa" * max(0, free - room))
        st = os.statvfs(self.path)
        assert st.f_bavail * st.f_frsize < RECORD, "the filler left room for a record"

    def empty(self):
        filler = os.path.join(self.path, "filler")
        if os.path.exists(filler):
            os.unlink(filler)

    def __exit__(self, *exc):
        self.empty()
        shutil.rmtree(self.saved)
        shutil.copytree(self.path, self.saved, symlinks=True)
        if subprocess.run(["umount", self.path]).returncode != 0:
            subprocess.run(["umount", "-l", self.path], check=True)
        os.rmdir(self.path)
        os.rename(self.saved, self.path)


def saves_with_full_documents(rig, n, counts):
    """Saves while the documents folder has less room than one record:
    zrctl's import and export into it fail with the disk-full error, leave
    the old file and no temporary file; the monitor's registry saves go on."""
    with FullDocuments(rig) as docs:
        before = rig.records()
        for i in range(n):
            docs.fill()
            slot = rig.rng.randrange(FILE_SLOTS)
            kind = rig.rng.choice(("import", "export", "reload", "apply", "group key"))
            what = "save %d (%s) with the documents folder full" % (i, kind)
            allowed = {}
            if kind == "import":
                source, _ = rig.new_record_file()
                rc, err = rig.ctl("import", slot, source)
            elif kind == "export":
                rc, err = rig.ctl("export", (slot + 1) % 5, rig.slot_file_win(slot))
            else:
                allowed = monitor_save(rig, kind, before)
            if kind in ("import", "export"):
                counts["saves into the full folder"] += 1
                if rc != 1 or ERROR_DISK_FULL not in err:
                    counts["full folder not reported"] += 1
                    rig.problem("%s: zrctl exited %d: %s" % (what, rc, err))
            rig.injected(counts)
            before = rig.check(counts, before, allowed, what)
            if i % 5 == 4:
                docs.empty()
                source, data = rig.new_record_file()
                rc, err = rig.ctl("import", slot, source)
                counts["clean saves"] += 1
                if rc != 0:
                    counts["clean saves refused"] += 1
                    rig.problem("a clean import into slot %d exited %d: %s" % (slot, rc, err))
                before = rig.check(counts, before, {"file Profile%d.pfd" % (slot + 1): [data]}, "clean import")
        docs.fill()
        starts_with_a_missing_file(rig, max(2, n // 200), counts, docs)


def saves_with_read_only_key(rig, n, counts):
    """Saves while the profile key may only be read: every save of the monitor
    and of zrctl is refused and leaves the values as they were; once the key
    may be written again, the group key stores the stored group record with
    the new selection, never factory values."""
    before = rig.records()
    for i in range(n):
        kind = rig.rng.choice(("reload", "apply", "group key", "zrctl group", "zrctl import", "apply, then key"))
        what = "save %d (%s) with the key read-only" % (i, kind)
        if kind in ("reload", "apply"):
            rig.reg_delete(GLOBAL_VALUE)  # the monitor will try to store factory values
            before = rig.records()
        rig.key_access("read")
        if kind == "reload":
            rig.send(WM_RELOAD_SETTINGS)
        elif kind in ("apply", "apply, then key"):
            rig.send(WM_APPLY_PROFILE)
        elif kind == "group key":
            rig.send(WM_DEVICE_KEY, GROUP_KEY[rig.rng.randrange(2)])
        elif kind == "zrctl group":
            expect_refusal(rig, counts, rig.ctl("group", rig.rng.randrange(2)), what)
        else:
            source, _ = rig.new_record_file()
            expect_refusal(rig, counts, rig.ctl("import", 4, source), what)
        rig.injected(counts)
        before = rig.check(counts, before, {}, what)
        rig.key_access("full")
        if before["registry " + GLOBAL_VALUE] is None:
            rig.reg_set(GLOBAL_VALUE, factory.global_settings())
            before = rig.records()
        if kind == "apply, then key":
            # What the monitor read while the key was read-only is what the
            # key stores now, with the new selection.
            group = rig.rng.randrange(2)
            rig.send(WM_DEVICE_KEY, GROUP_KEY[group])
            counts["clean saves"] += 1
            allowed = {"registry " + GROUP_VALUE: [with_group(before["registry " + GROUP_VALUE], group)]}
            before = rig.check(counts, before, allowed, what + ", the group key afterwards")
        elif i % 5 == 4:
            group = rig.rng.randrange(2)
            rc, err = rig.ctl("group", group)
            counts["clean saves"] += 1
            if rc != 0:
                counts["clean saves refused"] += 1
                rig.problem("zrctl group %d with the key writable again exited %d: %s" % (group, rc, err))
            allowed = {"registry " + GROUP_VALUE: [with_group(before["registry " + GROUP_VALUE], group)]}
            before = rig.check(counts, before, allowed, "zrctl group %d with the key writable again" % group)


def expect_refusal(rig, counts, result, what):
    rc, err = result
    if rc == 1:
        counts["zrctl saves refused"] += 1
    else:
        counts["zrctl saves not refused"] += 1
        rig.problem("%s: zrctl exited %d: %s" % (what, rc, err))


# ---- the mouse and the driver -------------------------------------------------

def clean_plug(rig, counts, what):
    """Plugs the mouse in; exactly one push must follow. The log's lines
    from the plug on."""
    start = len(rig.log())
    rig.sim("plug")
    harness.wait_for(lambda: rig.pushes(rig.log()[start:]), "the push after a clean plug (%s)" % what)
    # A second check would come one debounce after the first: watch that long.
    first = time.monotonic()
    while time.monotonic() - first < SETTLE:
        time.sleep(0.1)
    after = rig.log()[start:]
    n = len(rig.pushes(after))
    counts["clean plugs"] += 1
    counts["one push after the clean plug" if n == 1 else "wrong number of pushes after the clean plug"] += 1
    if n != 1:
        rig.problem("%s: %d pushes after the clean plug" % (what, n))
    return after


def check_blocks(rig, counts, lines, reference, what):
    """Every block the driver took is the monitor's block, whole."""
    for line in rig.pushes(lines):
        if line != reference:
            counts["blocks not the monitor's"] += 1
            rig.problem("%s: the driver took %s..." % (what, line[:60]))


def fresh_start(rig):
    """The monitor started anew with the mouse in: its check's block is the
    one every later push must equal (nothing stored changes meanwhile)."""
    rig.stop_monitor()
    start = len(rig.log())
    rig.start_monitor(plugged=True)
    return rig.pushes(rig.log()[start:])[-1]


def unplugs(rig, n, counts):
    """The mouse pulled out at random points: of the monitor's start-up
    exchange (a fresh start with the mouse in; every fourth fault), or between
    a plug and its push (plug; wait N; unplug); then a clean plug."""
    reference = fresh_start(rig)
    before = rig.records()
    for i in range(n):
        if i % 4 == 3:
            rig.stop_monitor()
            start = len(rig.log())
            rig.start_monitor(plugged=True, wait=False)
            wait_ms = rig.rng.randrange(0, 400)
            answers = rig.steps(("wait-sim", int(harness.BOUND * 1000)), ("sleep", wait_ms), ("sim", "unplug"))
            if answers != ["ok"] * 3:
                raise AssertionError("unplug at start-up: %s" % answers)
            # The start-up's own block comes whatever happened to the mouse.
            harness.wait_for(lambda: rig.pushes(rig.log()[start:]), "the start-up's CPI block")
            lines = rig.log()[start:]
            landed = lines[:lines.index("unplug")]
            where = ("start-up: before the exchange" if not landed else
                     "start-up: inside the exchange" if not rig.pushes(landed) else
                     "start-up: after the exchange's block" if "reader-open" not in " ".join(landed) else
                     "start-up: after the check's push")
        else:
            rig.sim("unplug")
            start = len(rig.log())
            wait_ms = rig.rng.randrange(0, int((DEBOUNCE + 0.3) * 1000))
            rig.sim("plug", "sleep %d" % wait_ms, "unplug")
            lines = rig.log()[start:]
            landed = lines[lines.index("plug") + 1:lines.index("unplug")]
            where = ("plug: during the debounce" if not landed else
                     "plug: after the push" if rig.pushes(landed) else "plug: inside the check")
        rig.injected(counts)
        counts[where] += 1
        what = "unplug %d (%s, %d ms)" % (i, where, wait_ms)
        after = clean_plug(rig, counts, what)
        check_blocks(rig, counts, lines + after, reference, what)
        before = rig.check(counts, before, {}, what)


def driver_away(rig, n, counts):
    """The filter driver gone and back while a CPI push is under way: the
    push of WM_APPLY_PROFILE (after its feature exchange) or of a plug's
    check; then a clean plug."""
    reference = fresh_start(rig)
    before = rig.records()
    for i in range(n):
        start = len(rig.log())
        away_ms = rig.rng.randrange(0, 150)
        if i % 2 == 0:
            kind = "apply"
            wait_ms = rig.rng.randrange(0, 200)
            rig.step("post", MONITOR, WM_APPLY_PROFILE)
            rig.sim("sleep %d" % wait_ms, "driver off", "sleep %d" % away_ms, "driver on")
            rig.answers()  # the apply is over
        else:
            kind = "plug"
            wait_ms = rig.rng.randrange(int(DEBOUNCE * 1000) - 100, int(DEBOUNCE * 1000) + 200)
            rig.sim("unplug", "plug")
            plugged = time.monotonic()
            rig.sim("sleep %d" % wait_ms, "driver off", "sleep %d" % away_ms, "driver on")
            while time.monotonic() - plugged < SETTLE:  # the check is over
                time.sleep(0.05)
        lines = rig.log()[start:]
        rig.injected(counts)
        counts["%s: block lost while the driver was away" % kind if not rig.pushes(lines)
               else "%s: block taken" % kind] += 1
        what = "driver away %d (%s, after %d ms for %d ms)" % (i, kind, wait_ms, away_ms)
        rig.sim("unplug")
        after = clean_plug(rig, counts, what)
        check_blocks(rig, counts, lines + after, reference, what)
        before = rig.check(counts, before, {}, what)


# ---- running ---------------------------------------------------------------------

SCENARIOS = {
    "read-only profile file": saves_with_read_only_file,
    "documents folder full": saves_with_full_documents,
    "profile key read-only": saves_with_read_only_key,
    "mouse pulled out": unplugs,
    "driver gone mid-push": driver_away,
}


def run_plan(machine, plan, seed, results=None, lock=None, progress=lambda line: None):
    """Runs (scenario, count) pairs on a Wine machine, adding what happened
    to `results` ({scenario: Counts, "problems": [...], "errors": [...]})."""
    results = {} if results is None else results
    lock = lock or threading.Lock()
    rig = None
    try:
        rig = Rig(machine, random.Random(seed))
        rig.progress = progress
        rig.start_monitor(plugged=True)
        for scenario, count in plan:
            rig.scenario = scenario
            counts = Counts()
            began = time.monotonic()
            try:
                SCENARIOS[scenario](rig, count, counts)
            finally:
                with lock:
                    results.setdefault(scenario, Counts()).update(counts)
            progress("%s: %d in %.0f s" % (scenario, count, time.monotonic() - began))
    except Exception as e:
        with lock:
            results.setdefault("errors", []).append("%s: %s" % (type(e).__name__, e))
            results["errors"].append("the programs' output ends:\n" + machine.programs_output_tail())
    finally:
        with lock:
            results.setdefault("problems", []).extend(rig.problems if rig else [])
        if rig is not None:
            rig.close()
    return results


def run_on_machine(name, plan, seed, results, lock, progress):
    """Runs (scenario, count) pairs on a Wine machine of its own."""
    machine = harness.WineMachine("faults-" + name)
    try:
        run_plan(machine, plan, seed, results, lock, lambda line: progress("%s (%s)" % (line, name)))
    finally:
        machine.close()


def run(saves, unplug_count, driver_count, jobs=1, seed=1, progress=print):
    """Runs every fault; {scenario: Counts, "problems": [...], "errors": [...]}."""
    harness.check_route()
    harness.make_base_prefix()
    # The slow scenarios (they wait for the debounce) are spread over the jobs.
    plans = [[] for _ in range(jobs)]
    plans[0] += [("read-only profile file", saves), ("documents folder full", saves),
                 ("profile key read-only", saves)]
    for scenario, total in (("mouse pulled out", unplug_count), ("driver gone mid-push", driver_count)):
        for j in range(jobs):
            share = total // jobs + (1 if j < total % jobs else 0)
            if share:
                plans[j].append((scenario, share))
    results, lock, threads = {}, threading.Lock(), []
    for j, plan in enumerate(plans):
        if plan:
            t = threading.Thread(target=run_on_machine, args=("job%d" % j, plan, seed * 1000 + j, results, lock,
                                                              progress))
            t.start()
            threads.append(t)
    for t in threads:
        t.join()
    return results


COLUMNS = ("faults injected", "records checked", "old", "new", "torn or lost", "temporary files left",
           "monitor not answering")


def report(results, out=sys.stdout):
    out.write("%-24s" % "fault" + "".join("%12s" % c.split()[0] for c in COLUMNS) + "\n")
    for scenario in SCENARIOS:
        c = results.get(scenario)
        if c is None:
            continue
        out.write("%-24s" % scenario + "".join("%12d" % c[col] for col in COLUMNS) + "\n")
    out.write("(columns: " + ", ".join(COLUMNS) + ")\n")
    for scenario in SCENARIOS:
        c = results.get(scenario)
        if c is None:
            continue
        rest = sorted((k, v) for k, v in c.items() if k not in COLUMNS)
        if rest:
            out.write("%s: %s\n" % (scenario, "; ".join("%s %d" % kv for kv in rest)))
    for p in results.get("problems", []):
        out.write("problem: " + p + "\n")
    for e in results.get("errors", []):
        out.write("error: " + e + "\n")


FAILURES = ("torn or lost", "temporary files left", "monitor not answering", "read-only file saved over",
            "read-only mark lost", "full folder not reported", "zrctl saves not refused", "clean saves refused",
            "wrong number of pushes after the clean plug", "blocks not the monitor's")


def failures(results):
    """What went wrong, as lines; empty when every fault ended well."""
    lines = list(results.get("errors", []))
    for scenario in SCENARIOS:
        c = results.get(scenario, Counts())
        lines += ["%s: %s %d" % (scenario, f, c[f]) for f in FAILURES if c[f]]
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--saves", type=int, default=1000, help="saves per storage fault")
    parser.add_argument("--unplugs", type=int, default=1000)
    parser.add_argument("--driver", type=int, default=1000, help="CPI pushes with the driver gone midway")
    parser.add_argument("--jobs", type=int, default=4, help="Wine machines working at once")
    parser.add_argument("--seed", type=int, default=1)
    a = parser.parse_args()
    began = time.monotonic()
    print("faults: %s; %d saves per storage fault, %d unplugs, %d driver faults, %d machines, seed %d"
          % (harness.route(), a.saves, a.unplugs, a.driver, a.jobs, a.seed), flush=True)
    results = run(a.saves, a.unplugs, a.driver, a.jobs, a.seed,
                  progress=lambda line: print("faults: " + line, flush=True))
    report(results)
    print("faults: %.0f s" % (time.monotonic() - began))
    bad = failures(results)
    for line in bad:
        print("FAILED: " + line)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
