"""The README's run command as a newcomer uses it: `scripts/run` started from
the project folder with a home of its own (so a Wine prefix made by earlier
runs cannot hide what a new machine lacks), acted on from a second process
with `scripts/sim`, ended with Ctrl-C (SIGINT to its process group, as a
terminal sends it) or by the terminal going, and nothing of it left."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

import harness

# A first start also makes the Wine prefix.
START = 300.0
END = 60.0


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def marked(mark):
    """Processes whose environment carries the run command's mark."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        if ("ZR_RUN_MARK=" + mark).encode() in read("/proc/%s/environ" % pid).split(b"\0"):
            found.append(int(pid))
    return found


class RunCommand:
    """scripts/run in a session of its own, its output collected."""

    def __init__(self, home, *args):
        self.env = dict(os.environ, HOME=home)
        for name in ("DISPLAY", "WINEPREFIX", "WINEARCH", "WINELOADER", "WINESERVER", "ZR_WINEPREFIX"):
            self.env.pop(name, None)
        self.env["ZR_WINE_BITS"] = harness.BITS
        self.process = subprocess.Popen([os.path.join(harness.SOURCE, "scripts", "run")] + list(args),
                                        cwd=harness.SOURCE, env=self.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
        self.lines = []
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.mark = None

    def _read(self):
        for raw in self.process.stdout:
            with self.lock:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def output(self):
        with self.lock:
            return list(self.lines)

    def wait_line(self, pattern, after=0, timeout=harness.BOUND):
        def found():
            for line in self.output()[after:]:
                if re.search(pattern, line):
                    return line
            if self.process.poll() is not None:
                raise AssertionError("scripts/run ended (%d) before a line matching %r:\n%s"
                                     % (self.process.returncode, pattern, "\n".join(self.output())))
            return None
        try:
            return harness.wait_for(found, "a line matching %r" % pattern, timeout=timeout, step=0.1)
        except AssertionError as e:
            raise AssertionError("%s; scripts/run printed:\n%s" % (e, "\n".join(self.output())))

    def find_mark(self):
        """The mark its programs carry ("zrrun-PID-..." after its own
        process), read from the first of them that has it."""
        prefix = ("ZR_RUN_MARK=zrrun-%d-" % self.process.pid).encode()
        for pid in os.listdir("/proc"):
            for item in read("/proc/%s/environ" % pid).split(b"\0"):
                if item.startswith(prefix):
                    self.mark = item.split(b"=", 1)[1].decode()
                    return self.mark
        return None

    def sim(self, *args):
        r = subprocess.run([os.path.join(harness.SOURCE, "scripts", "sim")] + list(args), cwd=harness.SOURCE,
                           env=self.env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                           timeout=harness.BOUND)
        return r.returncode, r.stderr

    def signal(self, sig):
        os.killpg(self.process.pid, sig)

    def wait_end(self):
        try:
            self.process.wait(timeout=END)
        except subprocess.TimeoutExpired:
            raise AssertionError("scripts/run did not end; it printed:\n" + "\n".join(self.output()))
        self.reader.join(timeout=harness.BOUND)

    def kill(self):
        """After a failed test: the command's own end first (SIGTERM), then
        by force whatever of it is left."""
        if self.process.poll() is None:
            self.find_mark()
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=END)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
        for pid in marked(self.mark) if self.mark else []:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass


class RunCommandTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.check_route()
        os.makedirs(harness.WORK, exist_ok=True)
        cls.home = tempfile.mkdtemp(prefix="run-home-", dir=harness.WORK)

    @classmethod
    def tearDownClass(cls):
        if not os.environ.get("ZR_KEEP_WINE"):
            shutil.rmtree(cls.home, ignore_errors=True)

    def start(self, *args):
        run = RunCommand(self.home, *args)
        self.addCleanup(run.kill)
        return run

    def assert_nothing_left(self, run):
        self.assertEqual(marked(run.mark), [], "processes of scripts/run left after its end")

    def test_the_simulated_mouse_shows_its_exchanges_and_takes_every_example(self):
        run = self.start()
        run.wait_line(r"driver <- CPI block: stage \d", timeout=START)
        self.assertTrue(run.find_mark())
        # Every example the banner prints works as printed, each showing its effect.
        effects = {
            "unplug": r"mouse unplugged",
            "plug": r"monitor reads the mouse.s input reports",
            "input 0802010000000000": r"driver <- CPI stage 1$",
            "input 0801010000000000": r"driver <- CPI block: stage",
            "input 0801000000000000": r"driver <- CPI block: stage",
        }
        examples = [m.group(1).strip() for m in
                    (re.match(r"\s+scripts/sim (\S+(?: \S+)?)\s{2,}", line) for line in run.output()) if m]
        self.assertEqual(set(effects) - set(examples), set())
        for example in examples:
            before = len(run.output())
            rc, err = run.sim(*example.split())
            self.assertEqual(rc, 0, "scripts/sim %s: %s" % (example, err))
            if example in effects:
                run.wait_line(effects[example], after=before)
        # A report of the wrong length is refused, and says why.
        rc, err = run.sim("input", "08020100000000")
        self.assertEqual(rc, 1)
        self.assertIn("8 bytes", err)
        run.signal(signal.SIGINT)
        run.wait_end()
        self.assertTrue(any(line.endswith("driver <- CPI block: stop scaling (the monitor ends)")
                            for line in run.output()))
        self.assert_nothing_left(run)

    def test_a_hung_monitor_still_ends_with_everything_it_started(self):
        # The monitor stopped dead (it answers nothing, WM_CLOSE included);
        # the terminal goes, then a Ctrl-C comes as well.
        run = self.start()
        run.wait_line(r"driver <- CPI block: stage \d", timeout=START)
        self.assertTrue(run.find_mark())
        monitors = [pid for pid in marked(run.mark) if b"zrmon-sim.exe" in read("/proc/%d/cmdline" % pid)]
        self.assertTrue(monitors)
        for pid in monitors:
            os.kill(pid, signal.SIGSTOP)
        before = len(run.output())
        run.signal(signal.SIGHUP)
        run.wait_line(r"ending the monitor", after=before)
        run.signal(signal.SIGINT)
        run.wait_end()
        self.assert_nothing_left(run)

    def test_the_shipped_program_comes_up_and_ends_with_ctrl_c(self):
        run = self.start("--plain")
        run.wait_line(r"zrmon\.exe is up", timeout=START)
        self.assertTrue(run.find_mark())
        run.signal(signal.SIGINT)
        run.wait_end()
        self.assert_nothing_left(run)


if __name__ == "__main__":
    unittest.main(verbosity=2)
