"""zrmon.exe starts as a single instance with its hidden window and ends in
order on WM_CLOSE and at the end of the session."""
import harness

WM_CLOSE = 0x0010
WM_ENDSESSION = 0x0016


class Startup(harness.WineTestCase):
    def setUp(self):
        self.exe = self.machine.install() + "\\zrmon.exe"

    def start_monitor(self):
        p = self.machine.start(self.exe)
        self.machine.wait_window("ZEDEZAVadi")
        return p

    def test_hidden_monitor_window_and_single_instance(self):
        first = self.start_monitor()
        info = self.machine.window_info("ZEDEZAVadi")
        self.assertEqual(info["toplevel"], "1")
        self.assertEqual(info["visible"], "0")
        self.assertEqual(info["toolwindow"], "1")  # no task-bar button
        self.assertEqual(info["appwindow"], "0")

        second = self.machine.start(self.exe)
        self.assertEqual(self.machine.wait_exit(second), 0)
        self.assertIsNone(first.poll(), "the first instance must keep running")
        self.assertTrue(self.machine.window_exists("ZEDEZAVadi"))

        self.machine.tool("post", "ZEDEZAVadi", WM_CLOSE)
        self.assertEqual(self.machine.wait_exit(first), 0)

    def test_wm_close_ends_and_releases_the_mutex_so_a_new_start_works(self):
        p = self.start_monitor()
        self.assertEqual(self.machine.tool("mutex-exists", "ZEDEZAVadi")[0], 0)
        self.assertEqual(self.machine.tool("post", "ZEDEZAVadi", WM_CLOSE)[0], 0)
        self.assertEqual(self.machine.wait_exit(p), 0)
        self.assertEqual(self.machine.tool("mutex-exists", "ZEDEZAVadi")[0], 1)
        self.assertFalse(self.machine.window_exists("ZEDEZAVadi"))

        again = self.start_monitor()
        self.machine.tool("post", "ZEDEZAVadi", WM_CLOSE)
        self.assertEqual(self.machine.wait_exit(again), 0)

    def test_the_end_of_the_session_ends_the_monitor(self):
        p = self.start_monitor()
        rc, out = self.machine.tool("send", "ZEDEZAVadi", WM_ENDSESSION, 1, 0)
        self.assertEqual(rc, 0)
        # The mutex is already released when the handler has returned.
        self.assertEqual(self.machine.tool("mutex-exists", "ZEDEZAVadi")[0], 1)
        self.assertEqual(self.machine.wait_exit(p), 0)


if __name__ == "__main__":
    harness.main()
