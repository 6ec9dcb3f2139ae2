#!/usr/bin/env python3
"""Rolls a firmware package out to a simulated fleet with the Ansible collection
of deploy/ansible.

Four boards on this machine (local connections, each with its own folders),
each with a printer on its own emulated USB bus and one with a network
printer on loopback too; that board's USB printer answers the upgrade with an
error. The runs, in order: refused files touch no board; check mode sends
nothing to any printer; the rollout stops after the wave with the failing
printer; once that printer is repaired a second run finishes the fleet; a
third changes nothing. With --packages, one board installs the Debian package
and upgrades its printer with the installed program.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# board: (USB printer fails, has a network printer). A network upgrade takes
# about 10 s of the link's own waits, a USB one a fraction of a second: the
# one network printer is the one that must go on beside the failing printer.
BOARDS = {
    "board1": (False, False),
    "board2": (True, True),
    "board3": (False, False),
    "board4": (False, False),
}
FAMILY, MODEL, CUSTOM = 3, 5, 0
# The failing printer answers the upgrade information request with an error.
FAILING = ["--fail", "upginfo:error"]
FAILING_CODE, FAILING_TEXT = 14, "Communication Error"
# What prnsim names the requests of a dry run: none of them writes.
READ_ONLY_REQUESTS = {"ESCPOS_SV", "PROTVER", "DATAAVAIL", "UPGINFO", "CAN", "GSI", "GSIFF",
                      "FWREL"}


class Fleet:
    PLAYBOOK_TIMEOUT = 300

    def __init__(self, args, work, boards):
        self.args = args
        self.work = work
        self.boards = boards
        self.sims = {}  # (board, "usb"|"eth") -> (process, output path, environment or port)

    def start(self, board, kind, extra=()):
        out = os.path.join(self.work, "sim-%s-%s-%d.out" % (board, kind, len(self.sims)))
        profile = ["--mode", "U1", "--package", self.package, "--family", str(FAMILY),
                   "--model", str(MODEL), "--restart-ms", "50"] + list(extra)
        if kind == "usb":
            argv = [self.args.prnsim] + profile + [
                "--usb", "--device", "name=p,serial=PR%s1,port=1" % board[-1]]
            pattern = r"USB bus ready: (.*)"
        else:
            argv = [self.args.prnsim, "--tcp", "0"] + profile
            pattern = r"tcp 127\.0\.0\.1:(\d+)"
        with open(out, "w") as handle:
            proc = subprocess.Popen(argv, stdout=handle, stderr=subprocess.STDOUT,
                                    env=dict(os.environ, TMPDIR=self.work))
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            with open(out) as f:
                found = re.search(pattern, f.read())
            if found:
                break
            check(proc.poll() is None, "prnsim for %s %s ended early" % (board, kind))
            time.sleep(0.02)
        check(found, "prnsim for %s %s did not start" % (board, kind))
        value = found.group(1)
        if kind == "usb":
            value = dict(word.split("=", 1) for word in value.split())
        self.sims[(board, kind)] = (proc, out, value)

    def start_all(self):
        for board, (failing, network) in self.boards.items():
            self.start(board, "usb", FAILING if failing else ())
            if network:
                self.start(board, "eth")

    def stop(self, board, kind):
        """Stops one printer and returns its report."""
        proc, out, _ = self.sims.pop((board, kind))
        proc.terminate()
        proc.wait(timeout=10)
        with open(out) as f:
            return f.read()

    def stop_all(self):
        return {key: self.stop(*key) for key in list(self.sims)}

    def board_dir(self, board):
        return os.path.join(self.work, "boards", board)

    def write_inventory(self):
        hosts = {}
        for board, (_, network) in self.boards.items():
            home = self.board_dir(board)
            hosts[board] = dict(
                ansible_connection="local",
                ansible_python_interpreter=sys.executable,
                ansible_become=False,
                prnupgrade_work_dir=os.path.join(home, "work"),
                prnupgrade_state_file=os.path.join(home, "state", "printers.json"),
                prnupgrade_environment=self.sims[(board, "usb")][2],
                prnupgrade_network_printers=[
                    "127.0.0.1:%s" % self.sims[(board, "eth")][2]] if network else [],
            )
            if self.args.packages:
                hosts[board].update(prnupgrade_install=True, prnupgrade_bin="/usr/bin/prnupgrade",
                                    prnupgrade_packages_dir=os.path.abspath(self.args.packages))
        # The controller (localhost) reads the common variables too.
        inventory = {"all": {"children": {"printer_boards": {"hosts": hosts}}, "vars": dict(
            prnupgrade_install=False,
            prnupgrade_bin=self.args.prnupgrade,
            prnupgrade_release="" if self.args.packages else self.release,
            prnupgrade_prninfo=self.args.prninfo,
            prnupgrade_results_dir=os.path.join(self.work, "results"),
            prnupgrade_time_multiplier=0,
            prnupgrade_family=FAMILY, prnupgrade_model=MODEL, prnupgrade_customization=CUSTOM,
        )}}
        # JSON is YAML: the inventory plugin reads it as it is.
        with open(os.path.join(self.work, "inventory.yml"), "w") as f:
            json.dump(inventory, f, indent=1)

    def playbook(self, name, file, *extra, waves=(1, 1, 2)):
        """Runs the playbook in waves of so many boards; returns (exit code,
        output, summary rows or None)."""
        argv = ["ansible-playbook", "-i", os.path.join(self.work, "inventory.yml"),
                "prnupgrade.fleet.upgrade",
                "-e", json.dumps(dict(prnupgrade_file=file, prnupgrade_run_name=name,
                                      prnupgrade_serial=list(waves),
                                      prnupgrade_max_fail_percentage=0))] + list(extra)
        start = time.monotonic()
        done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, env=self.ansible_env, timeout=self.PLAYBOOK_TIMEOUT)
        self.timings.append((name, time.monotonic() - start))
        with open(os.path.join(self.work, "%s.out" % name), "w") as f:
            f.write(done.stdout)
        rows = None
        if os.path.exists(self.result(name, "summary.json")):
            with open(self.result(name, "summary.json")) as f:
                rows = json.load(f)
        return done.returncode, done.stdout, rows

    def result(self, run, *names):
        return os.path.join(self.work, "results", run, *names)

    def setup(self):
        self.package = os.path.join(self.work, "fw.psw")
        run([self.args.prnmkfile, "package", "-o", self.package, "--gen", "2", "--release",
             "124", "--family", str(FAMILY), "--model", str(MODEL), "--custom", str(CUSTOM)])
        with open(self.package, "rb") as f:
            data = bytearray(f.read())
        data[-10] ^= 0x5A  # inside the checksummed data area
        self.damaged = os.path.join(self.work, "damaged.psw")
        with open(self.damaged, "wb") as f:
            f.write(data)
        self.release = run([self.args.prnupgrade, "--version"]).split(":", 1)[1].strip()

        collections = os.path.join(self.work, "collections", "ansible_collections", "prnupgrade")
        os.makedirs(collections)
        os.symlink(os.path.abspath(self.args.collection), os.path.join(collections, "fleet"))
        ansible_tmp = os.path.join(self.work, "ansible-tmp")
        self.ansible_env = dict(
            os.environ,
            ANSIBLE_COLLECTIONS_PATH=os.path.join(self.work, "collections"),
            ANSIBLE_HOME=os.path.join(self.work, "ansible-home"),
            ANSIBLE_LOCAL_TEMP=ansible_tmp, ANSIBLE_REMOTE_TEMP=ansible_tmp,
            ANSIBLE_NOCOLOR="1", ANSIBLE_PIPELINING="1", ANSIBLE_RETRY_FILES_ENABLED="0",
            ANSIBLE_LOCALHOST_WARNING="0", ANSIBLE_INVENTORY_UNPARSED_WARNING="0",
            TMPDIR=self.work)
        self.timings = []


def run(argv):
    return subprocess.run(argv, check=True, stdout=subprocess.PIPE, text=True).stdout


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def read(path):
    with open(path) as f:
        return f.read()


def untouched(fleet, boards):
    for board in boards:
        check(not os.path.exists(fleet.board_dir(board)), "%s was touched" % board)


def refused_files(fleet):
    # A damaged file, and a good one meant for other printers than the
    # inventory gives, stop the run on the controller.
    for name, file, extra, text in [
        ("damaged", fleet.damaged, [], "damaged.psw is refused: ERROR Checksum file"),
        ("other-printers", fleet.package, ["-e", "prnupgrade_model=9"],
         "fw.psw is for model 5; the inventory gives 9"),
    ]:
        code, out, rows = fleet.playbook(name, file, *extra)
        check(code != 0 and rows is None, "%s: the run succeeded or reached a board" % name)
        check(text in re.sub(r"\s+", " ", out), "%s: no '%s' in\n%s" % (name, text, out))
        untouched(fleet, BOARDS)


# Debian's chromium, headless, with nothing of its own going out.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync"]


def report_renders(fleet, name, rows, kinds):
    """report.html of a run: self-contained, and in a real browser it renders
    without script errors and shows the summary's counts."""
    path = fleet.result(name, "report.html")
    check(os.path.exists(path), "no report.html of the run %s" % name)
    outside = re.findall(r"""(?:src|href)\s*=\s*["'](?!#)([^"']*)""", read(path))
    check(all(link.endswith("/data.log") and "://" not in link for link in outside),
          "report.html of %s reaches out: %s" % (name, outside))
    for link in set(outside):
        check(os.path.exists(os.path.join(os.path.dirname(path), link)), "no %s" % link)
    chromium = shutil.which("chromium")
    why = "chromium is not installed (scripts/install-deps.sh installs it)"
    if chromium:
        profile = tempfile.mkdtemp(dir=fleet.work, prefix="chromium-")
        try:
            done = subprocess.run([chromium] + CHROMIUM_FLAGS + [
                "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0", "--dump-dom",
                "file://" + path], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                timeout=120)
            why = None if "<table" in done.stdout else "chromium cannot run (%s)" % (
                done.stderr.strip().splitlines() or ["exit code %d" % done.returncode])[-1]
        except (OSError, subprocess.TimeoutExpired) as err:
            why = "chromium cannot run (%s)" % err
    if why:
        print("report.html of %s not opened in a browser: %s" % (name, why))
        return
    errors = [line for line in done.stderr.splitlines() if "CONSOLE" in line or "Uncaught" in line]
    check(not errors, "report.html of %s: script errors: %s" % (name, errors))
    for kind in kinds:
        wanted = sum(1 for r in rows if (
            r["result"] if r["result"] in kinds else
            kinds[1] if r["exit_code"] not in (None, 0) else kinds[-1]) == kind)
        shown = re.search(r'id="total-%s">(\d+)<' % kind.replace(" ", "-"), done.stdout)
        check(shown and int(shown.group(1)) == wanted,
              "report.html of %s shows %s %s, the summary %d" % (
                  name, kind, shown.group(1) if shown else "nothing", wanted))


def check_mode(fleet):
    code, out, rows = fleet.playbook("check", fleet.package, "--check", waves=[4])
    check(code == 0, "check mode failed:\n" + out)
    # Each printer was asked with --dry-run: the failing one would fail.
    results = {(r["board"], r["link"]): (r["result"], r["exit_code"]) for r in rows}
    check(len(rows) == 5 and results.pop(("board2", "usb")) == ("would fail", FAILING_CODE) and
          set(results.values()) == {("would upgrade", None)}, "check mode rows: %s" % rows)
    inventory = {(r["board"], r["link"]): r
                 for r in json.loads(read(fleet.result("check", "inventory.json")))}
    failing = inventory.pop(("board2", "usb"))
    check(failing["mode"] is None and failing["stopped_at"] == "upgrade information",
          "inventory of the failing printer: %s" % failing)
    check(len(inventory) == 4 and all(
        (r["mode"], r["identity"], r["release"], r["fits"], r["would_upgrade"]) ==
        ("U1", "%d/%d/0" % (FAMILY, MODEL), "1.00", True, True) for r in inventory.values()),
        "inventory: %s" % inventory)
    report_renders(fleet, "check", rows, ["would upgrade", "would fail", "current", "not done"])
    text = read(fleet.result("check", "inventory.txt"))
    check(re.search(r"^board1\s+usb 0AE7\|0E15\|PR11\s+U1\s+3/5/0\s+1\.00\s+yes\s+yes\s+0$",
                    text, re.M), "inventory text:\n" + text)
    check("fw.psw: firmware package release 124 for family 3, model 5" in out,
          "check mode shows no file check")
    for board in fleet.boards:
        check(not os.path.exists(os.path.join(fleet.board_dir(board), "state")),
              "check mode wrote the record of %s" % board)
    for (board, kind), report in fleet.stop_all().items():
        check("banks" not in report, "check mode: %s %s got banks:\n%s" % (board, kind, report))
        if kind == "eth":
            asked = re.search(r"^prnsim: requests(.*)$", report, re.M)
            check(asked and set(asked.group(1).split()) <= READ_ONLY_REQUESTS,
                  "check mode: %s got requests:\n%s" % (board, report))


def rollout_stops(fleet):
    code, out, rows = fleet.playbook("first", fleet.package)
    check(code != 0, "the rollout with a failing printer succeeded")
    results = {(r["board"], r["link"]): r for r in rows}
    for key in [("board1", "usb"), ("board2", "eth")]:
        check(results[key]["result"] == "upgraded" and results[key]["exit_code"] == 0 and
              results[key]["exit_text"] == "Operation Completed" and
              (results[key]["release_before"], results[key]["release_after"]) == ("1.00", "1.24"),
              "%s: %s" % (key, results[key]))
    failing = results[("board2", "usb")]
    check(failing["result"] == "failed" and failing["exit_code"] == FAILING_CODE and
          failing["exit_text"] == FAILING_TEXT, "failing printer: %s" % failing)
    check(0 < failing["duration"] < 60, "failing printer duration %s" % failing["duration"])
    for board in ["board3", "board4"]:
        check([r["result"] for r in rows if r["board"] == board] == ["not done"],
              "%s was run" % board)
    untouched(fleet, ["board3", "board4"])
    report_renders(fleet, "first", rows, ["upgraded", "failed", "current", "not done"])
    text = read(fleet.result("first", "summary.txt"))
    line = r"^board2\s+usb 0AE7\|0E15\|PR21\s+failed\s+%d\s+%s\s+\d+\.\d s$" % (
        FAILING_CODE, FAILING_TEXT)
    check(re.search(line, text, re.M), "summary text:\n" + text)
    check(os.path.exists(fleet.result("first", "board1", "data.log")), "no data.log of board1")
    log = read(fleet.result("first", "board2", "data.log"))
    check("Operation Completed" in log and FAILING_TEXT in log, "board2's data.log lacks a run")


def rollout_finishes(fleet):
    report = fleet.stop("board2", "usb")
    check("banks" not in report, "failing printer:\n" + report)
    fleet.start("board2", "usb")
    fleet.write_inventory()
    code, out, rows = fleet.playbook("second", fleet.package, waves=[4])
    check(code == 0, "the second run failed:\n" + out)
    results = {(r["board"], r["link"]): r["result"] for r in rows}
    check(results == {("board1", "usb"): "current", ("board2", "usb"): "upgraded",
                      ("board2", "eth"): "current", ("board3", "usb"): "upgraded",
                      ("board4", "usb"): "upgraded"},
          "second run: %s" % results)

    code, out, rows = fleet.playbook("third", fleet.package, waves=[4])
    check(code == 0 and all(r["result"] == "current" for r in rows), "third run: %s" % rows)
    changed = {m.group(1): int(m.group(2))
               for m in re.finditer(r"^(\S+)\s*: ok=\d+\s+changed=(\d+)", out, re.M)}
    check(all(changed[board] == 0 for board in BOARDS), "third run changed: %s" % changed)
    for (board, kind), report in fleet.stop_all().items():
        banks = re.search(r"^prnsim: banks (.*)$", report, re.M)
        check(banks and banks.group(1) == "0:4096",
              "%s %s was not upgraded exactly once:\n%s" % (board, kind, report))


def installed_release():
    done = subprocess.run(["dpkg-query", "-W", "-f", "${Status} ${Version}", "prnupgrade"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return done.stdout.split()[-1] if done.stdout.startswith("install ok installed") else None


def package_install(fleet):
    # The board installs the package of its architecture from the folder and
    # upgrades its printer with the installed program.
    code, out, rows = fleet.playbook("package", fleet.package, waves=[1])
    check(code == 0 and [r["result"] for r in rows] == ["upgraded"],
          "the run with the package: %s\n%s" % (rows, out))
    check(installed_release() == fleet.release, "installed: %s" % installed_release())
    check(os.path.exists("/lib/udev/rules.d/60-prnupgrade.rules"), "no udev rules")


def main():
    parser = argparse.ArgumentParser()
    for name in ["prnupgrade", "prninfo", "prnsim", "prnmkfile", "collection"]:
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--packages", help="instead: one board installs the package from this "
                        "folder (as root; removed again unless it was installed before)")
    parser.add_argument("--part", choices=["check", "rollout"],
                        help="only the refused files and check mode, or only the rollout "
                        "(each on a fleet of its own, so that the two can run side by side)")
    args = parser.parse_args()
    for name in ["prnupgrade", "prninfo", "prnsim", "prnmkfile"]:
        setattr(args, name, os.path.abspath(getattr(args, name)))
    work = tempfile.mkdtemp(prefix="fleet-")
    fleet = Fleet(args, work, {"board1": (False, False)} if args.packages else BOARDS)
    ok = False
    was_installed = installed_release()
    try:
        fleet.setup()
        fleet.start_all()
        fleet.write_inventory()
        if args.packages:
            check(was_installed is None, "prnupgrade is installed already: remove it first")
            package_install(fleet)
        else:
            if args.part != "rollout":
                refused_files(fleet)
                check_mode(fleet)
                fleet.start_all()
                fleet.write_inventory()
            if args.part != "check":
                rollout_stops(fleet)
                rollout_finishes(fleet)
        ok = True
    finally:
        fleet.stop_all()
        if args.packages and was_installed is None and installed_release():
            subprocess.run(["dpkg", "--purge", "prnupgrade"], stdout=subprocess.DEVNULL)
        for name, took in fleet.timings:
            print("%-16s %5.1f s" % (name, took))
        if ok and not args.keep:
            shutil.rmtree(work)
        else:
            print("work folder kept: " + work)


if __name__ == "__main__":
    main()
