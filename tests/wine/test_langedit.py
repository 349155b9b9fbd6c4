"""zrlangedit.exe under Wine: tabs for the languages of qv.local named by a
locale ID, a source text added, translated and saved through the window,
and the monitor's tray hint in the saved language."""
import os
import struct
import subprocess

import harness
from test_tray import TrayMachine

EDITOR = "TqvLanguageDesignForm"
CAPTION = "Language Translate v1.2.1 MERIDAX INC."


def text(s):
    units = s.encode("utf-16-le")
    return struct.pack("<I", len(units) // 2) + units


def table(sources, languages):
    """A translation table in its stored form: the source texts, then each
    language's name and lines."""
    out = text("".join(s + "\r\n" for s in sources)) + struct.pack("<i", len(languages))
    for name, lines in languages:
        out += text(name) + text("\r\n".join(lines))
    return out


def read_table(data):
    def take_text(pos):
        (n,) = struct.unpack_from("<I", data, pos)
        return data[pos + 4:pos + 4 + 2 * n].decode("utf-16-le"), pos + 4 + 2 * n
    sources, pos = take_text(0)
    (count,) = struct.unpack_from("<i", data, pos)
    pos += 4
    languages = []
    for _ in range(count):
        name, pos = take_text(pos)
        lines, pos = take_text(pos)
        languages.append((name, [line for line in lines.split("\r\n") if line]))
    return [s for s in sources.split("\r\n") if s], languages


class LanguageEditor(TrayMachine):
    def setUp(self):
        super().setUp()
        import shutil
        shutil.copy(self.machine.tool_path("zrlangedit.exe"), self.machine.c_path(self.folder + "\\zrlangedit.exe"))
        self.local = self.machine.c_path(self.folder + "\\qv.local")

    def put_table(self, sources, languages):
        with open(self.local, "wb") as f:
            f.write(table(sources, languages))

    def start_editor(self):
        editor = self.machine.start(self.folder + "\\zrlangedit.exe")
        self.machine.wait_window(EDITOR)
        return editor

    def end_editor(self, editor):
        self.machine.tool("post", EDITOR, 0x0010)
        self.assertEqual(self.machine.wait_exit(editor), 0)

    def tabs(self):
        rc, out = self.machine.tool("tab-texts", EDITOR)
        self.assertEqual(rc, 0)
        return out.splitlines()

    def rect(self, child, index=0, window=EDITOR):
        rc, out = self.machine.tool("child-rect", window, child, index)
        return tuple(int(v) for v in out.split()) if rc == 0 else None

    def click(self, child, index=0, window=EDITOR):
        left, top, right, bottom = harness.wait_for(lambda: self.rect(child, index, window), "the control %s" % child)
        self.xdotool("mousemove", (left + right) // 2, (top + bottom) // 2, "click", 1)

    def saved_table(self, expected_text):
        def saved():
            with open(self.local, "rb") as f:
                data = f.read()
            return expected_text.encode("utf-16-le") in data and data
        return read_table(harness.wait_for(saved, "qv.local to be saved"))

    def test_a_language_named_by_a_locale_id_gets_a_tab_with_the_locales_name(self):
        self.put_table(["Config", "Exit"], [("CH", ["Exit=退出"]), ("0804", ["Exit=退出"]), ("US", ["Exit=Quit"])])
        editor = self.start_editor()
        self.assertEqual(self.machine.window_info(EDITOR)["title"], CAPTION)
        tabs = harness.wait_for(lambda: self.tabs() or None, "the tabs")
        self.assertEqual(len(tabs), 1, tabs)  # "CH" and "US" get none
        self.assertTrue(tabs[0].startswith("*Chinese"), tabs)
        shot = os.path.join(self.machine.root, "langedit.png")
        subprocess.run(["import", "-window", "root", shot], env=self.machine.env, check=True)
        self.assertTrue(os.path.getsize(shot) > 0)
        self.end_editor(editor)

    def test_eight_tabs_are_shown_at_a_time_and_next_page_moves_on_by_one(self):
        ids = ["0407", "040C", "0410", "0411", "0412", "0413", "0416", "0419", "041D"]
        self.put_table(["Exit"], [(i, []) for i in ids])
        editor = self.start_editor()
        first = harness.wait_for(lambda: self.tabs() or None, "the tabs")
        self.assertEqual(len(first), 8, first)
        self.click("Next Page")
        second = harness.wait_for(lambda: (lambda t: t if t and t[0] != first[0] else None)(self.tabs()),
                                  "the next page")
        self.assertEqual([t.lstrip("*") for t in second[:7]], [t.lstrip("*") for t in first[1:]])
        self.assertEqual(len(second), 8)
        self.click("Next Page")  # eight tabs lie ahead: nothing moves
        self.click("Prev Page")  # back to the first page only if Next stayed put
        harness.wait_for(lambda: [t.lstrip("*") for t in self.tabs()] == [t.lstrip("*") for t in first],
                         "the first page again")
        self.end_editor(editor)

    def test_a_text_added_and_saved_in_the_window_translates_the_tray_hint(self):
        self.put_table(["Hello"], [("040C", ["Hello=Bonjour"])])
        editor = self.start_editor()
        harness.wait_for(lambda: self.tabs() or None, "the tabs")
        self.click("Edit")  # the box for a new source text
        self.xdotool("type", "--delay", 30, "Gaming Mouse Driver")
        self.click("Add Const Text")
        # The new text sorts first: the second column of the first row.
        header = harness.wait_for(lambda: self.rect("SysHeader32"), "the grid's header")
        grid = self.rect("SysListView32")
        self.xdotool("mousemove", grid[0] + 380 + 60, header[3] + 8, "click", 1)
        harness.wait_for(lambda: self.rect("Edit", 1), "the edit box over the cell")
        self.xdotool("type", "--delay", 30, "Pilote de souris")  # replaces the selected text
        self.xdotool("key", "Return")
        harness.wait_for(lambda: self.rect("Edit", 1) is None, "the cell edit to end")
        self.click("Save to language file")
        sources, languages = self.saved_table("Gaming Mouse Driver")
        self.assertEqual(sources, ["Gaming Mouse Driver", "Hello"])
        self.assertEqual(languages, [("040C", ["Gaming Mouse Driver=Pilote de souris", "Hello=Bonjour"])])
        self.end_editor(editor)

        # qv.local's languages come before the built-in "CH" and "US": the
        # stored index 0 (a first start's) selects the saved one.
        monitor = self.start_monitor()
        self.assert_hint("Pilote de souris")
        self.machine.set_stored_language(2)  # "US"
        self.machine.tool("post", "ZEDEZAVadi", 7037)  # reload the settings
        self.assert_hint("Gaming Mouse Driver")
        self.end_monitor(monitor)

    def test_the_pasted_text_list_replaces_the_source_texts(self):
        self.put_table(["Old"], [("US", []), ("0407", [])])
        editor = self.start_editor()
        harness.wait_for(lambda: self.tabs() or None, "the tabs")
        self.click("Get/Set Text List")
        popup = "TqvLanguageTextList"
        self.machine.wait_window(popup)
        self.click("Edit", window=popup)
        self.xdotool("type", "--delay", 30, "Exit=Beenden")
        self.xdotool("key", "Return")
        self.xdotool("type", "--delay", 30, "Config=Einstellungen")
        self.click("Save", window=popup)
        self.assertEqual(self.machine.tool("wait-no-window", popup, 20000)[0], 0)
        self.click("Save to language file")
        sources, languages = self.saved_table("Einstellungen")
        self.assertEqual(sources, ["Config", "Exit"])
        self.assertEqual(languages, [("0407", ["Config=Einstellungen", "Exit=Beenden"])])
        self.end_editor(editor)

    def dialog_texts(self):
        rc, out = self.machine.tool("dialog-texts", CAPTION)
        return out if rc == 0 else None

    def test_a_qv_local_not_read_whole_is_told_and_not_saved_over(self):
        damaged = table(["Exit"], [("0407", ["Exit=Beenden"]), ("040C", ["Exit=Quitter"])])[:-3]
        with open(self.local, "wb") as f:
            f.write(damaged)
        editor = self.start_editor()
        told = harness.wait_for(self.dialog_texts, "the box telling what was not read")
        self.assertIn("was not read whole", told)
        self.click("OK", window="#32770")
        self.assertEqual(self.machine.tool("wait-no-window", "#32770", 20000)[0], 0)
        self.assertEqual([t.lstrip("*") for t in self.tabs()], ["German (Germany)"])  # what could be read
        self.click("Save to language file")
        refused = harness.wait_for(self.dialog_texts, "the box refusing to save")
        self.assertIn("was not saved", refused)
        self.click("OK", window="#32770")
        self.assertEqual(self.machine.tool("wait-no-window", "#32770", 20000)[0], 0)
        with open(self.local, "rb") as f:
            self.assertEqual(f.read(), damaged)
        self.end_editor(editor)


if __name__ == "__main__":
    harness.main()
