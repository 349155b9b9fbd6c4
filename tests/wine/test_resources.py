"""The resources of the shipped programs, read back from their files as Windows
reads them: the version information (one version for the whole build), the
application manifest and the icon's sizes. Plain Python reads the PE file,
so the shipped 32-bit build is checked on every machine, and the build that
runs under Wine as well."""
import os
import struct
import unittest
import xml.etree.ElementTree as ET

import harness

BUILDS = [b for b in dict.fromkeys((os.environ.get("ZR_WIN32_BUILD", ""), os.environ.get("ZR_WINE_BUILD", ""))) if b]

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def pe_resources(path):
    """{(type id, name id): data} of a PE file's resources (first language)."""
    with open(path, "rb") as f:
        pe = f.read()
    at = struct.unpack_from("<I", pe, 0x3C)[0]
    assert pe[at:at + 4] == b"PE\0\0", path + " is no PE file"
    sections, optional_size = struct.unpack_from("<H12xH", pe, at + 6)
    optional = at + 24
    directories = optional + (96 if struct.unpack_from("<H", pe, optional)[0] == 0x10B else 112)
    root_rva = struct.unpack_from("<I", pe, directories + 2 * 8)[0]
    table = [struct.unpack_from("<8xII4xI", pe, optional + optional_size + 40 * i) for i in range(sections)]

    def offset(rva):
        for size, address, raw in table:
            if address <= rva < address + size:
                return rva - address + raw
        raise AssertionError("address %#x lies in no section" % rva)

    root = offset(root_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<12xHH", pe, root + directory)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", pe, root + directory + 16 + 8 * i)
            yield name, target & 0x7FFFFFFF

    found = {}
    for kind, names in entries(0):
        for name, languages in entries(names):
            _, data = next(entries(languages))
            rva, size = struct.unpack_from("<II", pe, root + data)
            found[(kind, name)] = pe[offset(rva):offset(rva) + size]
    return found


def version_blocks(data, at=0):
    """A version-information block: (key, value bytes, children)."""
    length, value_length, text = struct.unpack_from("<HHH", data, at)
    end_key = data.index(b"\0\0", at + 6)
    while (end_key - at - 6) % 2:
        end_key = data.index(b"\0\0", end_key + 1)
    key = data[at + 6:end_key].decode("utf-16-le")
    value_at = (end_key + 2 + 3) & ~3
    value = data[value_at:value_at + value_length * (2 if text else 1)]
    children, child = [], (value_at + len(value) + 3) & ~3
    while child < at + length:
        children.append(version_blocks(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


class Resources(unittest.TestCase):
    def setUp(self):
        self.assertTrue(BUILDS, "no Windows build given (ZR_WIN32_BUILD)")
        # The shipped programs, each with its own file name.
        self.builds = {(build, program): pe_resources(os.path.join(build, "dist", program))
                       for build in BUILDS for program in ("zrmon.exe", "zrctl.exe")}

    def test_version_information_names_the_product_and_the_build_version(self):
        version = harness.project_setting(r"project\(zrmon VERSION ([\d.]+)")
        major, minor, patch = (int(v) for v in version.split("."))
        for (build, program), resources in self.builds.items():
            with self.subTest(build=build, program=program):
                key, fixed, children = version_blocks(resources[(RT_VERSION, 1)])
                self.assertEqual(key, "VS_VERSION_INFO")
                signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
                self.assertEqual(signature, 0xFEEF04BD)
                self.assertEqual((file_ms, file_ls), ((major << 16) | minor, patch << 16))
                self.assertEqual((product_ms, product_ls), (file_ms, file_ls))
                strings = {name: value.decode("utf-16-le").rstrip("\0")
                           for block in children if block[0] == "StringFileInfo"
                           for table in block[2] for name, value, _ in table[2]}
                dotted = "%d.%d.%d" % (major, minor, patch)
                self.assertEqual(strings["ProductName"], "Gaming Mouse Monitor")
                self.assertEqual((strings["FileVersion"], strings["ProductVersion"]), (dotted, dotted))
                self.assertEqual(strings["OriginalFilename"], program)
                for name in ("FileDescription", "CompanyName", "LegalCopyright"):
                    self.assertTrue(strings[name].strip(), name + " is empty")
                self.assertIn(strings["CompanyName"], strings["LegalCopyright"])

    def test_manifest_runs_as_invoker_with_common_controls_6_dpi_awareness_and_the_supported_systems(self):
        systems = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                   "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                   "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # Vista, 7, 8, 8.1, 10
        for (build, program), resources in self.builds.items():
            with self.subTest(build=build, program=program):
                root = ET.fromstring(resources[(RT_MANIFEST, 1)])
                found = {el.tag.split("}")[1]: el for el in root.iter()}
                levels = [el.get("level") for el in root.iter() if el.tag.endswith("}requestedExecutionLevel")]
                self.assertEqual(levels, ["asInvoker"])
                controls = [el.get("version") for el in root.iter() if el.tag.endswith("}assemblyIdentity")
                            and el.get("name") == "Microsoft.Windows.Common-Controls"]
                self.assertEqual(controls, ["6.0.0.0"])
                self.assertEqual(found["dpiAware"].text, "true")
                self.assertEqual({el.get("Id") for el in root.iter() if el.tag.endswith("}supportedOS")}, systems)

    def test_icon_has_every_size_windows_shows(self):
        for (build, program), resources in self.builds.items():
            with self.subTest(build=build, program=program):
                group = resources[(RT_GROUP_ICON, 1)]
                count = struct.unpack_from("<4xH", group)[0]
                sizes = []
                for i in range(count):
                    width, height, image_id = struct.unpack_from("<BB10xH", group, 6 + 14 * i)
                    width, height = width or 256, height or 256
                    # The image itself has the size the directory gives (a bitmap
                    # stores twice the height: the colours and the mask).
                    _, image_width, image_height = struct.unpack_from("<Iii", resources[(RT_ICON, image_id)])
                    self.assertEqual((image_width, image_height), (width, 2 * height))
                    sizes.append(width)
                self.assertEqual(sorted(sizes), [16, 20, 24, 32, 48, 256])


if __name__ == "__main__":
    unittest.main(verbosity=2)
