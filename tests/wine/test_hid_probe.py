"""The HID access component on the real platform against Wine's own HID
stack, which presents two virtual devices (a mouse collection, usage page 1
usage 2, and a keyboard), through zrhidprobe.exe."""
import os
import shutil

import harness

FOLDER = "C:\\probe"


class RealHid(harness.WineTestCase):
    def setUp(self):
        self.target = self.machine.c_path(FOLDER)
        os.makedirs(self.target, exist_ok=True)
        shutil.copy(self.machine.tool_path("zrhidprobe.exe"), self.target)
        self.include([])

    def include(self, ids):
        """config.ini beside the probe with this include list."""
        with open(os.path.join(self.target, "config.ini"), "w", newline="\r\n") as f:
            f.write("[IncludeHIDDeviceList]\n")
            for n, hardware_id in enumerate(ids, 1):
                f.write("id%d=%s\n" % (n, hardware_id))

    def probe(self, *args):
        return self.machine.run(os.path.join(self.target, "zrhidprobe.exe"), *[str(a) for a in args])

    def interfaces(self):
        rc, out = self.probe("list")
        self.assertEqual(rc, 0)
        found = []
        for line in out.splitlines():
            kind, _, rest = line.partition(" ")
            if kind == "interface":
                found.append({"path": rest, "ids": [], "caps": None})
            elif kind == "id":
                found[-1]["ids"].append(rest)
            elif kind == "caps":
                page, usage, *lengths = rest.split()
                found[-1]["caps"] = (int(page, 16), int(usage, 16), *(int(n) for n in lengths))
        return found

    def collection(self, page, usage):
        matches = [i for i in self.interfaces() if i["caps"] and i["caps"][:2] == (page, usage)]
        self.assertEqual(len(matches), 1, "one collection of usage page %x, usage %x" % (page, usage))
        return matches[0]

    def exists(self, page, usage, *device_id):
        rc, out = self.probe("exists", "%x" % page, "%x" % usage, *device_id)
        self.assertEqual(out.strip(), "present" if rc == 0 else "absent")
        return rc == 0

    def test_the_walk_finds_the_mouse_collection_by_usage_and_no_vendor_collection(self):
        mouse = self.collection(1, 2)
        self.assertGreater(mouse["caps"][2], 0)  # it has input reports
        self.assertTrue(mouse["path"].lower().startswith("\\\\?\\hid#"))
        self.assertGreaterEqual(len(mouse["ids"]), 2)
        self.assertTrue(self.exists(1, 2))
        self.assertTrue(self.exists(1, 6))  # the keyboard
        self.assertFalse(self.exists(0xFFA0, 1))

    def test_hardware_ids_filter_the_mouse_in_and_out_whatever_their_letter_case(self):
        mouse_id = self.collection(1, 2)["ids"][1]
        keyboard_id = self.collection(1, 6)["ids"][1]
        self.include([mouse_id.lower()])
        self.assertTrue(self.exists(1, 2))
        self.include([keyboard_id.swapcase()])
        self.assertFalse(self.exists(1, 2))
        self.assertTrue(self.exists(1, 2, mouse_id.swapcase()))  # one ID named explicitly
        self.assertFalse(self.exists(1, 2, mouse_id[:-1]))  # a part of it is not enough

    def test_a_reader_on_the_mouse_collection_waits_without_waking_and_ends_on_stop(self):
        mouse_id = self.collection(1, 2)["ids"][1]
        self.include([mouse_id.upper()])
        rc, out = self.probe("read", "1", "2", "*", 1000)
        lines = out.splitlines()
        self.assertEqual(lines[0], "readers 1")
        _, wake_ups, _, reports = lines[1].split()
        self.assertEqual(wake_ups, reports, "the reader woke only for reports")
        self.assertEqual(lines[2], "stopped")
        self.assertEqual(rc, 0)
        self.include([mouse_id + "X"])
        rc, out = self.probe("read", "1", "2", "*", 0)
        self.assertEqual(out.splitlines()[0], "readers 0")


if __name__ == "__main__":
    harness.main()
