#!/usr/bin/python3
"""The board side of the fleet module where the rollout test cannot reach it
cheaply: a printer run that never ends, and the record of upgraded printers."""

import importlib.util
import json
import os
import sys
import tempfile
import time
import unittest

MODULE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "deploy", "ansible",
                      "plugins", "modules", "printer_upgrade.py")
module_source = importlib.util.spec_from_file_location("printer_upgrade", MODULE)
printer_upgrade = importlib.util.module_from_spec(module_source)
module_source.loader.exec_module(printer_upgrade)


class RunTest(unittest.TestCase):
    def test_a_run_past_its_time_is_stopped_with_its_children(self):
        with tempfile.TemporaryDirectory() as work:
            marker = os.path.join(work, "child-alive")
            # The child of the run outlives a plain kill of the shell.
            script = "(sleep 2; touch %s) & sleep 30" % marker
            start = time.monotonic()
            code, _, seconds = printer_upgrade.run(["sh", "-c", script], work, dict(os.environ), 1)
            self.assertIsNone(code)
            self.assertTrue(1 <= seconds < 10, seconds)
            self.assertLess(time.monotonic() - start, 10)
            time.sleep(2.5)
            self.assertFalse(os.path.exists(marker), "a child of the stopped run went on")


class DryRunTest(unittest.TestCase):
    def test_only_a_program_that_refuses_a_dry_run_of_a_list_is_asked(self):
        # An older prnupgrade takes --dry-run for nothing: asked about a
        # printer, it would upgrade it.
        with tempfile.TemporaryDirectory() as work:
            program = os.path.join(work, "prnupgrade")
            module = type("Module", (), {"params": dict(prnupgrade=program, work_dir=work)})
            for code, text, asked in [(0, "LIST USB DEVICES:", False), (13, "warning", False),
                                      (13, "--dry-run takes -f with a firmware package", True)]:
                with open(program, "w") as f:
                    f.write("#!/bin/sh\necho '%s' >&2\nexit %d\n" % (text, code))
                os.chmod(program, 0o755)
                self.assertEqual(printer_upgrade.has_dry_run(module, dict(os.environ)), asked)


class VerifyTest(unittest.TestCase):
    def test_verify_is_passed_by_default_and_exit_19_is_its_own_result(self):
        with tempfile.TemporaryDirectory() as work:
            fake = os.path.join(work, "prnupgrade")
            with open(fake, "w") as f:
                f.write('#!/bin/sh\necho "$@" > %s/args\necho "Upgrade not verified"; exit 19\n'
                        % work)
            os.chmod(fake, 0o755)
            for verify in (True, False):
                params = dict(prnupgrade=fake, file="u.psw", components=None,
                              time_multiplier=None, verify=verify, work_dir=work, timeout=10)
                module = type("Module", (), {"params": params})
                code, text, _ = printer_upgrade.upgrade_one(module, dict(os.environ), "eth",
                                                            "10.0.0.1:9100")
                with open(os.path.join(work, "args")) as f:
                    self.assertEqual("--verify" in f.read().split(), verify)
                self.assertEqual((printer_upgrade.result_of(code), text),
                                 ("not verified", "Upgrade not verified"))
            self.assertEqual([printer_upgrade.result_of(c) for c in (0, 14, None)],
                             ["upgraded", "failed", "failed"])


class RecordTest(unittest.TestCase):
    def test_record_survives_a_round_trip_leaving_no_temporary_file_and_damage_is_refused(self):
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "printers.json")
            self.assertEqual(printer_upgrade.load_record(path), {})
            printers = {"usb:0AE7|0E15|PR0011": {"release": "124", "time": 1}}
            printer_upgrade.save_record(path, printers)
            self.assertEqual(printer_upgrade.load_record(path), printers)
            self.assertEqual(os.listdir(work), ["printers.json"])
            # Taken as empty, a damaged record would have every printer upgraded again.
            for content in ['{"printers": {"usb:x": ', '[1, 2]', '{"printers": []}']:
                with open(path, "w") as f:
                    f.write(content)
                with self.assertRaises(printer_upgrade.RecordError, msg=content):
                    printer_upgrade.load_record(path)


if __name__ == "__main__":
    sys.exit(unittest.main())
