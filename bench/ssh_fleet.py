#!/usr/bin/env python3
"""The rollout measured over real SSH (a script, not a CI test).

N simulated boards on this machine, each an sshd of its own on a loopback
port, each with a printer on its own emulated USB bus and every fifth board
a network printer on loopback too. Ansible reaches them over SSH as it
reaches real boards (key login, pipelining on). Measures the rollout at the
given fork counts and a run with every printer current (the controller's own
work per board), and prints the table of deploy/ansible/README.md. Where the
cgroup v1 CPU accounting is at hand (/sys/fs/cgroup/cpuacct), it also
measures the CPU time of the controller (ansible-playbook and its ssh
clients), of the boards (each sshd and all it runs: modules, prnupgrade) and
of the simulated printers: unlike the wall time, these do not grow when other
work shares the machine.

    bench/ssh_fleet.py --boards 50 --forks 10 50 --prnupgrade build/app/prnupgrade \\
        --prninfo build/info/prninfo --prnsim build/sim/prnsim \\
        --prnmkfile build/sim/mkfile/prnmkfile --collection deploy/ansible

Needs openssh-server (sshd) and runs as root (the boards log in as root).
"""

import argparse
import json
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fleet"))
import fleet_test  # noqa: E402  (the simulated boards and printers)

SSHD = "/usr/sbin/sshd"
FIRST_PORT = 42200
WAVES = [1, 10, "25%"]
CPUACCT = "/sys/fs/cgroup/cpuacct"


class CpuGroups:
    """CPU time of the controller, the boards and the printers, each a cgroup
    of its own under cpuacct; processes started later stay in their
    parent's group. Without cgroup v1 accounting, usage() is None."""

    KINDS = ["controller", "boards", "printers"]

    def __init__(self):
        self.top = os.path.join(CPUACCT, "prnfleet-%d" % os.getpid())
        try:
            for kind in [""] + self.KINDS:
                os.makedirs(os.path.join(self.top, kind))
            self.join("controller", os.getpid())
        except OSError:
            self.top = None

    def join(self, kind, pid):
        if self.top:
            with open(os.path.join(self.top, kind, "cgroup.procs"), "w") as f:
                f.write(str(pid))

    def usage(self):
        """Seconds of CPU time by group, or None."""
        if not self.top:
            return None
        figures = {}
        for kind in self.KINDS:
            with open(os.path.join(self.top, kind, "cpuacct.usage")) as f:
                figures[kind] = int(f.read()) / 1e9
        return figures

    def remove(self):
        """Ends what is left in the groups (an interrupted playbook leaves its
        workers and ssh connections behind) and removes them."""
        if not self.top:
            return
        with open(os.path.join(CPUACCT, "cgroup.procs"), "w") as f:
            f.write(str(os.getpid()))
        for kind in self.KINDS:
            with open(os.path.join(self.top, kind, "cgroup.procs")) as f:
                for pid in f.read().split():
                    try:
                        os.kill(int(pid), signal.SIGKILL)
                    except ProcessLookupError:
                        pass
        deadline = time.monotonic() + 10
        for kind in self.KINDS + [""]:
            while True:
                try:
                    os.rmdir(os.path.join(self.top, kind))
                    break
                except OSError:
                    if time.monotonic() > deadline:
                        raise
                    time.sleep(0.1)


def waves_of(boards, waves):
    """Board counts of the waves as Ansible cuts them: the last size (a
    number or a percentage of the fleet) repeats until every board had its
    turn."""
    sizes, left = [], boards
    for i, wave in enumerate(waves):
        size = max(1, boards * int(wave[:-1]) // 100) if str(wave).endswith("%") else int(wave)
        while left > 0:
            sizes.append(min(size, left))
            left -= sizes[-1]
            if i < len(waves) - 1:
                break
    return sizes


def rounds(boards, waves, forks):
    return sum(math.ceil(b / forks) for b in waves_of(boards, waves))


class SshFleet(fleet_test.Fleet):
    PLAYBOOK_TIMEOUT = 3600

    def __init__(self, args, work, boards, cpu):
        super().__init__(args, work, boards)
        self.cpu = cpu

    def start(self, board, kind, extra=()):
        super().start(board, kind, extra)
        self.cpu.join("printers", self.sims[(board, kind)][0].pid)

    def start_sshd(self):
        keys = os.path.join(self.work, "ssh")
        os.makedirs(keys)
        self.key = os.path.join(keys, "client")
        for name in ["host", "client"]:
            subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f",
                            os.path.join(keys, name)], check=True)
        shutil.copy(self.key + ".pub", os.path.join(keys, "authorized_keys"))
        os.makedirs("/run/sshd", exist_ok=True)
        self.ports, self.sshds = {}, []
        for i, board in enumerate(self.boards):
            port = FIRST_PORT + i
            config = os.path.join(keys, "sshd-%s.conf" % board)
            with open(config, "w") as f:
                f.write("Port %d\nListenAddress 127.0.0.1\nHostKey %s\nPidFile none\n"
                        "AuthorizedKeysFile %s\nPermitRootLogin prohibit-password\n"
                        "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                        "UsePAM no\nStrictModes no\nMaxStartups 100\nMaxSessions 100\n"
                        "Subsystem sftp internal-sftp\n" % (
                            port, os.path.join(keys, "host"),
                            os.path.join(keys, "authorized_keys")))
            self.sshds.append(subprocess.Popen(
                [SSHD, "-D", "-e", "-f", config], stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
                preexec_fn=lambda: self.cpu.join("boards", os.getpid())))
            self.ports[board] = port
        time.sleep(1)

    def stop_sshd(self):
        for proc in self.sshds:
            proc.terminate()
            proc.wait(timeout=10)

    def write_inventory(self):
        super().write_inventory()
        path = os.path.join(self.work, "inventory.yml")
        with open(path) as f:
            inventory = json.load(f)
        for board, host in inventory["all"]["children"]["printer_boards"]["hosts"].items():
            host.update(
                ansible_connection="ssh", ansible_host="127.0.0.1",
                ansible_port=self.ports[board], ansible_user="root",
                ansible_ssh_private_key_file=self.key,
                ansible_ssh_common_args="-o StrictHostKeyChecking=no "
                                        "-o UserKnownHostsFile=/dev/null -o LogLevel=ERROR")
        with open(path, "w") as f:
            json.dump(inventory, f, indent=1)

    def fresh(self):
        """Printers back at their old release, records gone."""
        self.stop_all()
        for board in self.boards:
            shutil.rmtree(os.path.join(self.board_dir(board), "state"), ignore_errors=True)
        self.start_all()
        self.write_inventory()


def main():
    parser = argparse.ArgumentParser()
    for name in ["prnupgrade", "prninfo", "prnsim", "prnmkfile", "collection"]:
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--boards", type=int, default=50)
    parser.add_argument("--forks", type=int, nargs="+", default=[10, 50])
    parser.add_argument("--waves", nargs="+", default=WAVES,
                        type=lambda w: w if w.endswith("%") else int(w),
                        help="board counts or percentages of the waves (default 1 10 25%%)")
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("--no-current", action="store_true",
                        help="leave out the runs with every printer current")
    args = parser.parse_args()
    args.packages = None
    for name in ["prnupgrade", "prninfo", "prnsim", "prnmkfile"]:
        setattr(args, name, os.path.abspath(getattr(args, name)))
    boards = {"board%02d" % (i + 1): (False, i % 5 == 4) for i in range(args.boards)}
    work = tempfile.mkdtemp(prefix="sshfleet-")
    cpu = CpuGroups()
    fleet = SshFleet(args, work, boards, cpu)
    results = []

    def measured(name, forks, result):
        before = cpu.usage()
        code, out, rows = fleet.playbook(name, fleet.package, "-f", str(forks),
                                         waves=args.waves)
        after = cpu.usage()
        used = {k: after[k] - before[k] for k in after} if after else None
        print("%s: %.1f s, CPU %s, load %.1f" % (name, fleet.timings[-1][1], used,
                                                 os.getloadavg()[1]), flush=True)
        fleet_test.check(code == 0 and all(r["result"] == result for r in rows),
                         "%s failed:\n%s" % (name, out[-3000:]))
        results.append((name, forks, fleet.timings[-1][1], used, os.getloadavg()[1]))

    try:
        fleet.setup()
        fleet.start_sshd()
        for forks in args.forks:
            fleet.fresh()
            measured("rollout-f%d" % forks, forks, "upgraded")
            if not args.no_current:
                measured("current-f%d" % forks, forks, "current")
    finally:
        fleet.stop_all()
        fleet.stop_sshd()
        cpu.remove()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    printers = len(boards) + sum(1 for _, network in boards.values() if network)
    print("%d boards, %d printers, waves %s" % (len(boards), printers,
                                                 waves_of(len(boards), args.waves)))
    print("| run | forks | rounds | wall time | per round | CPU per board: controller | "
          "board | printers | load (5 min) |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, forks, took, used, load in results:
        n = rounds(len(boards), args.waves, forks)
        per_board = ["%.1f s" % (used[k] / len(boards)) if used else "-"
                     for k in CpuGroups.KINDS]
        print("| %s | %d | %d | %.1f s | %.1f s | %s | %.1f |" % (
            name, forks, n, took, took / n, " | ".join(per_board), load))


if __name__ == "__main__":
    main()
