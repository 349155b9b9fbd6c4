"""The short form of scripts/faults: zrmon-sim.exe under Wine meets a
read-only profile file, a full documents folder, a profile key it may only
read, the mouse pulled out mid-exchange and the filter driver gone mid-push;
every stored record stays whole, no temporary file stays behind, the monitor
keeps answering, and a clean plug gives exactly one push (faults.py)."""
import os
import unittest

import faults
import harness


class Faults(harness.WineTestCase):
    def run_fault(self, scenario, count):
        results = faults.run_plan(self.machine, [(scenario, count)], seed=7)
        report = []
        faults.report(results, out=_Lines(report))
        self.assertEqual(faults.failures(results), [], "".join(report))
        self.assertGreaterEqual(results[scenario]["faults injected"], count)
        return results[scenario]

    def test_saves_onto_a_read_only_profile_file_are_refused_and_change_nothing(self):
        c = self.run_fault("read-only profile file", 30)
        self.assertGreater(c["saves onto the read-only file"], 0)
        self.assertGreater(c["new"], 0)  # the clean saves between the faults did store

    @unittest.skipUnless(os.geteuid() == 0, "the full documents folder is a tmpfs mounted over it: that needs root")
    def test_saves_into_a_full_documents_folder_fail_whole_and_leave_no_temporary_file(self):
        c = self.run_fault("documents folder full", 30)
        self.assertGreater(c["saves into the full folder"], 0)

    def test_saves_under_a_read_only_key_are_refused_and_never_store_factory_values(self):
        c = self.run_fault("profile key read-only", 30)
        self.assertGreater(c["zrctl saves refused"], 0)

    def test_the_mouse_pulled_out_midway_ends_with_one_push_after_a_clean_plug(self):
        c = self.run_fault("mouse pulled out", 8)
        self.assertEqual(c["one push after the clean plug"], 8)

    def test_the_driver_gone_midway_through_a_push_ends_with_one_whole_push_after_a_clean_plug(self):
        c = self.run_fault("driver gone mid-push", 4)
        self.assertEqual(c["one push after the clean plug"], 4)


class _Lines:
    def __init__(self, into):
        self.into = into

    def write(self, text):
        self.into.append(text)


if __name__ == "__main__":
    harness.main()
