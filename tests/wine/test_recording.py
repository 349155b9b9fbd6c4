"""Recording under Wine: zrrecord.exe runs one recording mode of the hook
component over our qvHook.dll while xdotool types and clicks over a test
window that logs the key and button messages it receives. The recorder's
lines are the component's events with their arguments, texts in quotes."""
import os
import subprocess

import harness

WM_CLOSE = 0x0010
RECORDER = "zrrecord.Recorder"
WINDOW = "zrtool.Input"


class Recording(harness.WineTestCase):
    def setUp(self):
        name = self.id().rsplit(".", 1)[-1]
        self.window_log = os.path.join(self.machine.root, name + ".window.log")
        self.record_log = os.path.join(self.machine.root, name + ".record.log")
        window = self.machine.start_tool("input-window", self.z(self.window_log))
        self.addCleanup(self.machine.close_window_program, window, WINDOW)
        self.machine.wait_window(WINDOW)
        self.xdotool("mousemove", "500", "400")

    @staticmethod
    def z(path):
        return "Z:" + path.replace("/", "\\")

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + list(args), env=self.machine.env, check=True)

    @staticmethod
    def lines(path):
        if not os.path.exists(path):
            return []
        with open(path, errors="replace") as f:
            return [l.rstrip("\r") for l in f.read().split("\n")[:-1]]

    def window_lines(self):
        return self.lines(self.window_log)

    def record(self, mode):
        recorder = subprocess.Popen(["wine", self.machine.tool_path("zrrecord.exe"), mode, "--log",
                                     self.z(self.record_log)], env=self.machine.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.machine.processes.append(recorder)
        self.addCleanup(self.machine.close_window_program, recorder, RECORDER)
        harness.wait_for(lambda: "recording " + mode in self.lines(self.record_log), "the recording to start")
        return recorder

    def stop(self, recorder):
        self.machine.tool("post", RECORDER, WM_CLOSE)
        self.assertEqual(self.machine.wait_exit(recorder), 0)
        lines = self.lines(self.record_log)
        self.assertEqual(lines[-1], "stopped")
        return lines

    def events(self, name):
        return [l.split(" ", 1)[1] for l in self.lines(self.record_log) if l.startswith(name + " ")]

    @staticmethod
    def texts(line):
        """The quoted texts of an event line."""
        return line.split('"')[1::2]

    def test_the_combination_mode_reports_ctrl_and_the_key_texts_and_swallows_the_keys(self):
        recorder = self.record("combo")
        self.xdotool("keydown", "Control_L")
        self.xdotool("key", "a")
        harness.wait_for(lambda: any(self.texts(e) == ["Ctrl+A"] for e in self.events("OnRecordKeyboardComboKey")),
                         "Ctrl+A")
        self.xdotool("key", "b")
        last = harness.wait_for(lambda: [e for e in self.events("OnRecordKeyboardComboKey") if "B" in e],
                                "Ctrl+ with B")[-1]
        self.xdotool("keyup", "Control_L")
        # Input reaches the window in order: once Ctrl's key-up is there, a
        # key-down that was let through would be there too.
        harness.wait_for(lambda: "message keyup 11" in self.window_lines(), "Ctrl's key-up at the window")
        lines = self.stop(recorder)
        # B 100 ms or less after A joins A: either is right.
        self.assertIn(self.texts(last), (["Ctrl+B"], ["Ctrl+A+B"]))
        for event in self.events("OnRecordKeyboardComboKey"):
            self.assertEqual(event.split(" ")[4], "2")  # the modifier: Ctrl
        self.assertIn("message keydown 11", self.window_lines())
        self.assertNotIn("message keydown 41", self.window_lines())
        self.assertNotIn("message keydown 42", self.window_lines())
        self.assertIn("recording combo", lines)

    def test_the_keyboard_macro_mode_reports_downs_ups_and_the_delay_between_keys_300_ms_apart(self):
        recorder = self.record("macro")
        self.xdotool("key", "a", "sleep", "0.3", "key", "b")
        harness.wait_for(lambda: any('"B" "Up"' in e for e in self.events("OnRecordKeyboardMacroKey")), "B's key-up")
        self.stop(recorder)
        events = [e.split(" ") for e in self.events("OnRecordKeyboardMacroKey")]
        keys = [(e[1], self.texts(" ".join(e))) for e in events if e[0] == "1"]
        self.assertEqual(keys, [("65", ["A", "Down"]), ("65", ["A", "Up"]), ("66", ["B", "Down"]),
                                ("66", ["B", "Up"])])
        # The items between A's key-up and B's key-down: one delay item.
        a_up = next(i for i, e in enumerate(events) if e[0] == "1" and e[1] == "65" and e[2] == "0")
        b_down = next(i for i, e in enumerate(events) if e[0] == "1" and e[1] == "66")
        between = events[a_up + 1:b_down]
        self.assertEqual(len(between), 1, events)
        delay = int(between[0][1])
        self.assertEqual(between[0][0], "0")
        self.assertEqual(self.texts(" ".join(between[0])), [str(delay), "ms"])
        self.assertTrue(250 <= delay < 2000, delay)
        self.assertIn("OnStopRecordKeyboardMacroKey %d" % int(events[-1][-1]), self.lines(self.record_log))
        # Every key was swallowed: once a later key reaches the window, none
        # of the recorded ones had.
        self.xdotool("key", "c")
        harness.wait_for(lambda: "message keyup 43" in self.window_lines(), "the key after the recording")
        self.assertEqual([l for l in self.window_lines() if l.startswith("message")],
                         ["message keydown 43", "message keyup 43"])

    def test_the_mouse_macro_mode_reports_the_click_and_the_window_still_gets_it(self):
        recorder = self.record("mouse")
        self.xdotool("click", "1")
        harness.wait_for(lambda: "message lbuttonup" in self.window_lines(), "the click at the window")
        harness.wait_for(lambda: any('"Up"' in e for e in self.events("OnRecordMouseMacroKey")), "the button-up")
        self.stop(recorder)
        buttons = [self.texts(e) for e in self.events("OnRecordMouseMacroKey") if e.startswith("1 ")]
        self.assertEqual(buttons, [["Mouse Click", "Down"], ["Mouse Click", "Up"]])
        for event in self.events("OnRecordMouseMacroKey"):
            fields = event.split(" ")
            if fields[0] == "1":
                self.assertEqual(fields[1:5], ["1", "1" if "Down" in event else "0", "500", "400"])
        self.assertEqual([l for l in self.window_lines() if l.startswith("message")],
                         ["message lbuttondown", "message lbuttonup"])
        self.assertIn("OnStopRecordMouseMacroKey", " ".join(self.lines(self.record_log)))


if __name__ == "__main__":
    harness.main()
