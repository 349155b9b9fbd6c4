"""The image database's Windows pictures under Wine: a bitmap file loaded by
Windows, copied into a target and shown in a picture control; what cannot be
loaded leaves the target as it was; "EMPTY" clears it; a second request is
served from the cache. The picture control (common controls 6) shows a
32-bit bitmap with alpha from a copy of its own: every bitmap that is no
longer shown is freed, the last one when the control is destroyed."""
import os
import struct

import harness


def bitmap_file(width, height):
    stride = (width * 3 + 3) & ~3
    pixels = b"\x80" * (stride * height)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 14 + 40) + info + pixels


class ImageDatabase(harness.WineTestCase):
    def test_pictures_are_loaded_copied_shown_and_cached(self):
        folder = self.machine.c_path("C:\\zrmon\\Images\\0409")
        os.makedirs(folder)
        for name, data in (("good.bmp", bitmap_file(5, 3)), ("EMPTY", bitmap_file(1, 1)),
                           ("bad.bmp", b"not a picture")):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        rc, out = self.machine.run(self.machine.tool_path("zrimageprobe.exe"), "C:\\zrmon\\Images\\0409",
                                   "good.bmp", "missing.bmp", "bad.bmp", "EMPTY")
        self.assertEqual(rc, 0)
        self.assertEqual(out.splitlines(), [
            "control good.bmp 5 3", "image good.bmp 5 3",
            "control missing.bmp 5 3", "image missing.bmp 0 0",  # the target keeps its picture
            "control bad.bmp 5 3", "image bad.bmp 0 0",
            "control EMPTY 0 0", "image EMPTY 1 1",  # only AssignIMAGE knows the name
            "cache 2", "hits 2"])

    def test_the_picture_control_frees_every_bitmap_it_no_longer_shows(self):
        rc, out = self.machine.run(self.machine.tool_path("zrimageprobe.exe"), "--picture-control")
        self.assertEqual(rc, 0)
        self.assertEqual(out.splitlines(), [
            "show alpha shown=copy given=freed previous=none",  # the control's own copy
            "show alpha shown=copy given=freed previous=freed",
            "show plain shown=given given=alive previous=freed",
            "show plain shown=given given=alive previous=freed",
            "destroy last=freed"])


if __name__ == "__main__":
    harness.main()
