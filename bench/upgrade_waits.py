#!/usr/bin/env python3
"""Package upgrades of prnsim by the real prnupgrade, against their floor.

For each link (TCP on the loopback, a pseudo-terminal), image size, mode (U1,
U3) and time multiplier (-m 0, -m 1) a second-generation package of 16 banks
is upgraded into a fresh prnsim. Printed for each run: the wall time, the
floor (the waits the program must make on that path, from the engine's and
the links' constants, plus the wire time), the wall time over the floor, and
the CPU time (user + system) of prnupgrade and its share of the wall time.

The emulated links have no line rate (the pseudo-terminal and the loopback
move bytes as fast as both ends take them), so the wire time is 0; what the
moving of the bytes costs shows in the wall time above the floor.

With --peak, also the peak resident memory of the upgrade of a 32 MiB package
(mode U3 over TCP, -m 0) under GNU time -v, as a multiple of the file size.

    bench/upgrade_waits.py BUILD_DIR [--peak] [--links eth,ser] [--sizes 1,4] [--runs N]
"""
import argparse
import os
import re
import resource
import select
import socket
import subprocess
import sys
import tempfile
import time

MiB = 1024 * 1024

# Waits of a firmware-only upgrade of a printer on an older release, in
# seconds: (scaled by the multiplier, not scaled). The serial link adds its
# 80 ms pause for each answer longer than 7 bytes that it reads (three in the
# dialogue before the transfer with prnsim); the network link pauses 2 s in
# each close of an open connection.
ANSWER_TAIL = 0.08
SERIAL_LONG_ANSWERS = 3
CLOSE_PAUSE = 2.0
WAITS = {
    # Reopen after the programming answer 2 s, after the transfer 3 s, after
    # the firmware 10 s.
    ("ser", "U1"): (2 + 3 + 10, SERIAL_LONG_ANSWERS * ANSWER_TAIL),
    # After the program command: close, 2 s, one round of 1 s, the release
    # read; then 3 s and 10 s as on the serial link. Five closes of an open
    # connection: the reopen before the firmware, the reopen before the
    # release read, the close before the check, the one after the release
    # read, the last one.
    ("eth", "U1"): (2 + 1 + 3 + 10, 5 * CLOSE_PAUSE),
    # 5 s after the reopen, 12 s after the program command, 8 s after the
    # firmware.
    ("ser", "U3"): (5 + 12 + 8, SERIAL_LONG_ANSWERS * ANSWER_TAIL),
    # The same; two closes: the reopen before the transfer and the last one.
    ("eth", "U3"): (5 + 12 + 8, 2 * CLOSE_PAUSE),
}


def start_printer(prnsim, link, mode, package, workdir):
    out = open(os.path.join(workdir, "prnsim.out"), "w+")
    transport = ["--tcp", "0"] if link == "eth" else ["--pty"]
    sim = subprocess.Popen([prnsim] + transport +
                           ["--mode", mode, "--package", package, "--restart-ms", "0"],
                           stdout=out, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        out.seek(0)
        text = out.read()
        if "prnsim: ready" in text:
            if link == "eth":
                device = re.search(r"tcp (\S+)", text).group(1)
            else:
                device = re.search(r"(/dev/pts/\d+)", text).group(1) + ":115200:NONE"
            return sim, out, device
        time.sleep(0.05)
    sim.kill()
    sys.exit("prnsim did not start:\n" + text)


def settle(link, device):
    """The printer reads its line in order: once it answers an identification
    request, it has taken in everything the program wrote before."""
    try:
        if link == "eth":
            host, port = device.split(":")
            conn = socket.create_connection((host, int(port)), timeout=3)
            fd = conn.fileno()
        else:
            conn = None
            fd = os.open(device.split(":")[0], os.O_RDWR | os.O_NOCTTY)
        os.write(fd, bytes([0x18, 0x1D, 0x49, 0x01]))
        select.select([fd], [], [], 3)
        if conn is not None:
            conn.close()
        else:
            os.close(fd)
    except OSError:
        pass


def stop_printer(sim, out):
    sim.terminate()
    sim.wait()
    out.seek(0)
    return out.read()


def children_cpu():
    ru = resource.getrusage(resource.RUSAGE_CHILDREN)
    return ru.ru_utime + ru.ru_stime


def upgrade(build, link, mode, multiplier, package, workdir):
    sim, out, device = start_printer(os.path.join(build, "sim", "prnsim"), link, mode, package,
                                      workdir)
    cpu0 = children_cpu()
    t0 = time.perf_counter()
    run = subprocess.run([os.path.join(build, "app", "prnupgrade"), "-f", package, "-t", link,
                          "-d", device, "-m", str(multiplier), "-v"],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    wall = time.perf_counter() - t0
    cpu = children_cpu() - cpu0
    settle(link, device)
    report = stop_printer(sim, out)
    ok = run.returncode == 0 and "firmware matches the package" in report
    return wall, cpu, ok


def make_package(build, path, size):
    subprocess.run([os.path.join(build, "sim", "mkfile", "prnmkfile"), "package", "-o", path,
                    "--gen", "2", "--firmware-size", str(size), "--banks", "16", "--release",
                    "123"], check=True, stdout=subprocess.DEVNULL)


def table(build, links, sizes, runs, workdir):
    print("| Link | Image | Mode | -m | Wall | Floor | Above the floor | Wall / floor | CPU |"
          " CPU / wall |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for link in links:
        for size in sizes:
            package = os.path.join(workdir, "p%d.psw" % size)
            if not os.path.exists(package):
                make_package(build, package, size * MiB)
            for mode in ("U1", "U3"):
                for multiplier in (0, 1):
                    scaled, fixed = WAITS[(link, mode)]
                    floor = scaled * multiplier + fixed
                    best = None
                    for _ in range(runs):
                        wall, cpu, ok = upgrade(build, link, mode, multiplier, package, workdir)
                        if not ok:
                            sys.exit("upgrade failed: %s %s -m %d" % (link, mode, multiplier))
                        if best is None or wall < best[0]:
                            best = (wall, cpu)
                    wall, cpu = best
                    print("| %s | %d MiB | %s | %d | %.2f s | %.2f s | %.2f s | %.3f | %.3f s |"
                          " %.2f %% |" %
                          ("TCP" if link == "eth" else "pty", size, mode, multiplier, wall, floor,
                           wall - floor, wall / floor, cpu, 100 * cpu / wall),
                          flush=True)


def peak(build, workdir):
    package = os.path.join(workdir, "big.psw")
    make_package(build, package, 32 * MiB)
    sim, out, device = start_printer(os.path.join(build, "sim", "prnsim"), "eth", "U3", package,
                                      workdir)
    run = subprocess.run(["/usr/bin/time", "-v", os.path.join(build, "app", "prnupgrade"), "-f",
                          package, "-t", "eth", "-d", device, "-m", "0"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    settle("eth", device)
    report = stop_printer(sim, out)
    kib = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr).group(1))
    size = os.path.getsize(package)
    ok = run.returncode == 0 and "firmware matches the package" in report
    print("32 MiB package (%d bytes): peak resident %d KiB, %.2f x the file size%s" %
          (size, kib, kib * 1024 / size, "" if ok else " (UPGRADE FAILED)"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--links", default="eth,ser", help="eth (TCP), ser (pseudo-terminal)")
    parser.add_argument("--sizes", default="1,4", help="image sizes in MiB")
    parser.add_argument("--runs", type=int, default=1, help="runs per row (the best counts)")
    parser.add_argument("--peak", action="store_true")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="prnwaits") as workdir:
        table(args.build, args.links.split(","), [int(s) for s in args.sizes.split(",")],
              args.runs, workdir)
        if args.peak:
            peak(args.build, workdir)


if __name__ == "__main__":
    main()
