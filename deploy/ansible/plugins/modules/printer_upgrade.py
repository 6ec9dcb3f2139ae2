#!/usr/bin/python
# -*- coding: utf-8 -*-
# Runs prnupgrade for every printer of one board and keeps, on the board, the
# release each printer was brought to, so that a second run leaves it alone.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: printer_upgrade
short_description: Upgrade the printers of one board with prnupgrade
description:
  - Finds the USB printers of the board with C(prnupgrade --usbdevlist) and takes the
    network printers it is given, then upgrades each printer with C(prnupgrade -f FILE -lf).
  - A printer recorded in O(state_file) with O(release) is left alone. A printer whose
    upgrade fails does not stop the others.
  - With O(verify) an upgrade counts as done only when the printer confirmed it
    (C(prnupgrade --verify)); exit code 19 is the result C(not verified).
  - In check mode the printers are listed with what would happen; nothing that changes a
    printer is sent and the record is not written. Where the board's prnupgrade has
    C(--dry-run), each printer is asked with C(--dry-run --json) (upgrade mode, identity,
    release, whether the file fits) and the answer is returned as its C(inventory).
  - Around each upgrade the printer's release is read with C(--dry-run --json), before and
    after, where the board's prnupgrade has it.
options:
  prnupgrade:
    description: The prnupgrade program.
    type: path
    default: /usr/bin/prnupgrade
  file:
    description: The upgrade file on the board.
    type: path
    required: true
  release:
    description: The release the file brings; what the record stores after a success.
    type: str
    required: true
  usb:
    description: Upgrade every printer that C(--usbdevlist) lists.
    type: bool
    default: true
  network:
    description: Network printers, C(ADDRESS) or C(ADDRESS:PORT) (port 9100 when not given).
    type: list
    elements: str
    default: []
  state_file:
    description: The record of upgraded printers (JSON), written after each success.
    type: path
    required: true
  work_dir:
    description: Working folder of the runs; prnupgrade appends its log to data.log there.
    type: path
    required: true
  time_multiplier:
    description: The C(-m) value; omitted when not given.
    type: int
  components:
    description: The C(-c) mask; omitted when not given.
    type: int
  verify:
    description: Pass C(--verify), so that only an upgrade the printer confirmed counts as done.
    type: bool
    default: true
  timeout:
    description: Seconds one printer may take before its run is stopped and counted as failed.
    type: int
    default: 1800
  environment:
    description: Extra environment for the prnupgrade runs.
    type: dict
    default: {}
"""

RETURN = r"""
printers:
  description: One entry per printer, in the order they were handled.
  type: list
  elements: dict
  returned: always
  contains:
    device: {description: The C(-d) argument, type: str}
    link: {description: C(usb) or C(eth), type: str}
    result: {description: "C(upgraded), C(failed), C(not verified) (exit code 19: the printer did not confirm the upgrade), C(current) (already carries the release) or C(would upgrade) (check mode)", type: str}
    exit_code: {description: The exit code, null when not run or stopped, type: int}
    exit_text: {description: The last line prnupgrade printed, type: str}
    duration: {description: Seconds the run took, type: float}
    release_before: {description: "The printer's release before the run (C(--dry-run)), or null", type: str}
    release_after: {description: "The printer's release after the run (C(--dry-run)), or null", type: str}
    inventory:
      description: "Check mode: what C(--dry-run --json) found (mode, identity, release, fits,
        would_upgrade, exit_code, stopped_at), or null when the printer was not asked"
      type: dict
failed_count:
  description: Printers whose upgrade failed or was not verified.
  type: int
  returned: always
notes:
  description: What could not be looked at (check mode before the package is installed).
  type: list
  elements: str
  returned: always
"""

import json
import os
import signal
import subprocess
import tempfile
import time

from ansible.module_utils.basic import AnsibleModule

NETWORK_PORT = 9100
# prnupgrade --verify: the printer did not confirm the upgrade.
NOT_VERIFIED_CODE = 19
# Bounds what is kept of a program's output: a printer's answers end up in it.
OUTPUT_LIMIT = 64 * 1024
# Asking an upgraded printer for its release while it restarts.
AFTER_TRIES, AFTER_PAUSE_S = 3, 2


def printer_key(link, device):
    return "%s:%s" % (link, device)


def load_record(path):
    try:
        with open(path) as handle:
            record = json.load(handle)
    except FileNotFoundError:
        return {}
    except (OSError, ValueError) as err:
        raise RecordError("cannot read the record %s: %s" % (path, err))
    if not isinstance(record, dict) or not isinstance(record.get("printers", {}), dict):
        raise RecordError("the record %s is not a printer record" % path)
    return record.get("printers", {})


class RecordError(Exception):
    pass


def save_record(path, printers):
    # Written beside the old one and renamed over it: an interrupted write
    # leaves the previous record whole.
    folder = os.path.dirname(path) or "."
    handle, temp = tempfile.mkstemp(dir=folder, prefix=".record-")
    try:
        with os.fdopen(handle, "w") as out:
            json.dump({"printers": printers}, out, indent=1, sort_keys=True)
            out.flush()
            os.fsync(out.fileno())
        os.rename(temp, path)
    except BaseException:
        os.unlink(temp)
        raise


def run(argv, cwd, env, timeout, merge=True):
    """Runs one prnupgrade; returns (exit code or None, output, seconds).
    Without merge the output is standard output alone."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT if merge else subprocess.DEVNULL,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        code = proc.returncode
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        code = None
    text = out[-OUTPUT_LIMIT:].decode("utf-8", "replace")
    return code, text, round(time.monotonic() - start, 3)


def last_line(text):
    lines = [line.strip() for line in text.splitlines() if line.strip()]
    return lines[-1] if lines else ""


def usb_printers(module, env):
    code, text, _ = run([module.params["prnupgrade"], "--usbdevlist"], module.params["work_dir"],
                        env, 60)
    if code != 0:
        module.fail_json(msg="prnupgrade --usbdevlist failed with exit code %s: %s"
                         % (code, last_line(text)))
    lines = [line.strip() for line in text.splitlines()]
    # The device lines follow the heading; each is VID|PID|SERIAL.
    return [line for line in lines if line.count("|") >= 2]


def network_printers(entries):
    devices = []
    for entry in entries:
        entry = entry.strip()
        if ":" not in entry:
            entry = "%s:%d" % (entry, NETWORK_PORT)
        devices.append(entry)
    return devices


def upgrade_one(module, env, link, device):
    p = module.params
    argv = [p["prnupgrade"], "-f", p["file"], "-t", link, "-d", device, "-v", "-lf"]
    if p["components"] is not None:
        argv += ["-c", str(p["components"])]
    if p["time_multiplier"] is not None:
        argv += ["-m", str(p["time_multiplier"])]
    if p["verify"]:
        argv.append("--verify")
    code, text, seconds = run(argv, p["work_dir"], env, p["timeout"])
    if code is None:
        exit_text = "stopped after %d s without an end" % p["timeout"]
    else:
        exit_text = last_line(text) or "exit code %d" % code
    return code, exit_text, seconds


def has_dry_run(module, env):
    """Whether the board's prnupgrade knows --dry-run. It refuses a dry run of
    a device list (13); an older one ignores the word and lists the bus, which
    only reads."""
    code, text, _ = run([module.params["prnupgrade"], "--dry-run", "--usbdevlist"],
                        module.params["work_dir"], env, 60)
    return code == 13 and "--dry-run takes" in text


def inventory_of(report):
    printer = report.get("printer") or {}
    identity = printer.get("identity")
    return dict(
        mode=printer.get("upgrade_mode"),
        identity=("%s/%s/%s" % (identity["family"], identity["model"], identity["customization"])
                  if identity else None),
        release=printer.get("release"),
        fits=report.get("fits"),
        would_upgrade=report.get("would_upgrade"),
        release_comparison=report.get("release_comparison"),
        exit_code=report.get("exit_code"),
        exit_text=report.get("exit_text"),
        stopped_at=report.get("stopped_at"),
    )


def dry_run_one(module, env, link, device):
    """What --dry-run --json tells of one printer, or an entry with the error."""
    p = module.params
    argv = [p["prnupgrade"], "-f", p["file"], "-t", link, "-d", device, "--dry-run", "--json"]
    if p["components"] is not None:
        argv += ["-c", str(p["components"])]
    if p["time_multiplier"] is not None:
        argv += ["-m", str(p["time_multiplier"])]
    code, text, _ = run(argv, p["work_dir"], env, p["timeout"], merge=False)
    try:
        report = json.loads(text)
        if not isinstance(report, dict) or report.get("schema_version") != 1:
            raise ValueError("schema %r" % (report.get("schema_version")
                                            if isinstance(report, dict) else None))
    except ValueError as err:
        entry = inventory_of({})
        entry.update(exit_code=code, exit_text="no dry-run report (%s)" % err)
        return entry
    return inventory_of(report)


def release_after(module, env, link, device, upgraded):
    """The release once the run is over; a printer that was just upgraded may
    still be restarting, so it is asked a few times."""
    for attempt in range(AFTER_TRIES if upgraded else 1):
        if attempt:
            time.sleep(AFTER_PAUSE_S)
        release = dry_run_one(module, env, link, device)["release"]
        if release is not None:
            return release
    return None


def result_of(code):
    if code == 0:
        return "upgraded"
    # Written, perhaps, but not confirmed: not recorded as done either.
    return "not verified" if code == NOT_VERIFIED_CODE else "failed"


def main():
    module = AnsibleModule(
        argument_spec=dict(
            prnupgrade=dict(type="path", default="/usr/bin/prnupgrade"),
            file=dict(type="path", required=True),
            release=dict(type="str", required=True),
            usb=dict(type="bool", default=True),
            network=dict(type="list", elements="str", default=[]),
            state_file=dict(type="path", required=True),
            work_dir=dict(type="path", required=True),
            time_multiplier=dict(type="int"),
            components=dict(type="int"),
            verify=dict(type="bool", default=True),
            timeout=dict(type="int", default=1800),
            environment=dict(type="dict", default={}),
        ),
        supports_check_mode=True,
    )
    p = module.params
    env = dict(os.environ)
    env.update({str(k): str(v) for k, v in p["environment"].items()})
    if not module.check_mode:
        os.makedirs(p["work_dir"], exist_ok=True)
        os.makedirs(os.path.dirname(p["state_file"]) or ".", exist_ok=True)
    elif not os.path.isdir(p["work_dir"]):
        p["work_dir"] = "/"
    try:
        record = load_record(p["state_file"])
    except RecordError as err:
        module.fail_json(msg=str(err))

    targets = []
    notes = []
    if p["usb"] and module.check_mode and not os.path.exists(p["prnupgrade"]):
        # The package would be installed first: the bus cannot be listed yet.
        notes.append("%s is not installed yet: USB printers not listed" % p["prnupgrade"])
    elif p["usb"]:
        targets += [("usb", device) for device in usb_printers(module, env)]
    targets += [("eth", device) for device in network_printers(p["network"])]

    printers = []
    changed = False
    dry = bool(targets) and os.path.exists(p["file"]) and has_dry_run(module, env)
    if targets and not dry:
        notes.append("no --dry-run here: printers not asked for their release")
    for link, device in targets:
        key = printer_key(link, device)
        entry = dict(device=device, link=link, exit_code=None, exit_text="", duration=0.0,
                     release_before=None, release_after=None, inventory=None)
        if record.get(key, {}).get("release") == p["release"]:
            entry["result"] = "current"
            if module.check_mode and dry:
                entry["inventory"] = dry_run_one(module, env, link, device)
                entry["release_before"] = entry["release_after"] = entry["inventory"]["release"]
        elif module.check_mode:
            entry["result"] = "would upgrade"
            if dry:
                entry["inventory"] = dry_run_one(module, env, link, device)
                entry["release_before"] = entry["inventory"]["release"]
                if entry["inventory"]["exit_code"] != 0:
                    entry.update(result="would fail", exit_code=entry["inventory"]["exit_code"],
                                 exit_text=entry["inventory"]["exit_text"] or "")
        else:
            if dry:
                entry["release_before"] = dry_run_one(module, env, link, device)["release"]
            code, exit_text, seconds = upgrade_one(module, env, link, device)
            if dry:
                entry["release_after"] = release_after(module, env, link, device, code == 0)
            entry.update(exit_code=code, exit_text=exit_text, duration=seconds)
            entry["result"] = result_of(code)
            if code == 0:
                changed = True
                record[key] = dict(release=p["release"], time=int(time.time()))
                save_record(p["state_file"], record)
        printers.append(entry)

    failed = sum(1 for entry in printers if entry["result"] in ("failed", "not verified"))
    module.exit_json(changed=changed or any(e["result"] == "would upgrade" for e in printers),
                     printers=printers, failed_count=failed, notes=notes)


if __name__ == "__main__":
    main()
