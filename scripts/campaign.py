#!/usr/bin/env python3
"""Seeded fault campaign: prnupgrade against prnsim on every link.

Each trial is drawn from (seed, trial number) alone: a link (network,
pseudo-terminal serial, emulated USB), a package built with prnmkfile, the
printer's upgrade mode, a component mask and at most one fault that prnsim
injects. What every trial must hold:

  - the run ends by itself within its bound (docs/reliability.md);
  - no signal, and no sanitizer report;
  - exit 0: prnsim says the printer holds exactly what the mask selected of
    the package ("verdict package");
  - exit other than 0: a documented exit code and, with -v, an error line;
  - a trial without a fault ends with exit 0.

A violation that the program's defined behaviour demands (see MANDATED) is counted
apart. Standard library only.
"""

import argparse
import collections
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor

DOCUMENTED_CODES = {0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 255}
# No U5 on the pseudo-terminal: U5 closes and reopens the line right after
# its code banks (1 s x -m later), and reopening flushes what the printer has
# not read yet. A UART's close drains its output first; a pseudo-terminal's
# does not, so at -m 0 the banks would be lost on the test rig alone.
MODES = {"tcp": ["U1", "U3", "U5"], "pty": ["U1", "U3"],
         "usb": ["U1", "U3", "U5", "U4", "U2"]}
COMBOS = [(link, mode) for link in ("tcp", "pty", "usb") for mode in MODES[link]]
LINK_ARG = {"tcp": "eth", "pty": "ser", "usb": "usb"}
PACKAGE_RELEASE = "125"  # the printer reports it as "1.25"
OLD_RELEASE = "1.00"
# Module records of the packages: record character, module type letter.
# "x" is an other module (camera type, no special time-outs).
MODULE_KINDS = [("f", "F"), ("d", "D"), ("l", "L"), ("x", "N")]
MAIN_MODULES = {"f", "d", "l"}
# Modules that the engine sends before the firmware (modes U1 and U3).
BEFORE_MODULES = {"f", "d"}
SANITIZER_REPORT = re.compile(r"ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer")
# The line that -v writes for each exit code.
CODE_TEXT = {11: "File corrupted or not found", 12: "Device not compatible", 13: "Parameter not OK",
             14: "Communication Error", 15: "Device not found", 16: "No data sets on the device",
             17: "Tools are not available for this printer",
             18: "Requested tool is not support by this printer", 19: "Upgrade not verified",
             255: "Device not found or Generic Error"}


# ---------------------------------------------------------------- bounds
# The longest time the program's waits allow, with -m 0 (which removes
# every multiplied pause and USB time-out), per link: see docs/reliability.md.
LINK_BOUND = {
    # setup dialogue + reopen + handshake + firmware, one close (2 s) per
    # reconnection on the network link.
    "tcp": {"base": 20.0, "module": 6.0},
    "pty": {"base": 10.0, "module": 3.0},
    "usb": {"base": 10.0, "module": 3.0},
}
HANDSHAKE_FAIL = {"tcp": 15 * 0.5 + 14 * 3.0 + 4.0, "pty": 5 * 2.0 + 4 * 1.5, "usb": 5 * 1.0 + 4 * 1.5}
VERDICT_WAIT = 60.0        # a module's verdict (extra time only above 1024000 bytes)
U1_ATTEMPTS = 4            # U1 sends its banks up to four times
PROGRAM_ANSWER_WAIT = 110.0  # U1's wait for the programming answer, x -m
AFTER_MODULES_WAIT = 20.0  # modes U3 and U2: a fixed pause before the modules after the firmware
SLACK = 1.5                # load of a shared machine: the bound is multiplied by it
SLACK_ADD = 5.0


def trial_bound(t):
    b = LINK_BOUND[t["link"]]
    bound = b["base"] + b["module"] * len(t["modules"])
    if t["mode"] in ("U3", "U2") and t["modules"]:
        bound += AFTER_MODULES_WAIT
    if t["fault"]["slow"]:
        # A silent printer costs one failed handshake and one verdict wait: a
        # failure ends the run, except that U1 makes up to four attempts at its
        # banks (each may end in a failed handshake, or at -m 1 in the 110 s
        # wait for the programming answer). A stall adds its own length.
        attempts = U1_ATTEMPTS if t["mode"] == "U1" else 1
        answer_wait = PROGRAM_ANSWER_WAIT * multiplier(t) if t["mode"] == "U1" else 0
        bound += attempts * (HANDSHAKE_FAIL[t["link"]] + answer_wait) + VERDICT_WAIT
    bound += t["fault"].get("stall", 0.0)
    if multiplier(t) == 1 and t["link"] == "pty":
        bound += 12 + 10 + 5 + 15 * len(t["modules"])  # U3's 12 s after the firmware, 10 s, reopen
    elif multiplier(t) == 1:
        # USB U1 and U5 at -m 1: the pauses around the firmware (U5: 5 + 2 + 1 + 2 s, 1 s
        # per data bank and 1 s after them, 8 s; U1: 5 s, 2 s, 3 s, 10 s), 10 s before
        # the modules and after each, and one series of reopens 5 s apart that may all fail.
        bound += 18 + t["banks"] + 8 + 10 + 15 * len(t["modules"]) + 35
    return bound * SLACK + SLACK_ADD


# ---------------------------------------------------------------- trials
def draw_fault(rng, t, in_bytes):
    """At most one fault; about one trial in six has none."""
    link, mode = t["link"], t["mode"]
    boot = mode in ("U4", "U2")
    if rng.random() < 1 / 6:
        return {"name": "none", "sim": [], "boot": [], "slow": False}
    kinds = ["line"] * 6 + ["answer"] * 3 + ["restart"] * 2
    if link == "tcp":
        kinds += ["reopen"]
    if boot:
        kinds += ["boot"] * 6
    if t["modules"]:
        kinds += ["verdict"] * 2
    if mode in ("U1", "U5"):
        kinds += ["program"] * 2
    kind = rng.choice(kinds)
    f = {"sim": [], "boot": [], "slow": False}
    if kind == "line":
        out = rng.random() < 0.3
        what = rng.choice(["drop", "flip", "lose", "stall"])
        where = rng.randrange(0, 200) if out else rng.randrange(0, in_bytes)
        fault = f"{'out' if out else 'in'}:{what}:{where}"
        if what == "flip":
            fault += f":{rng.randrange(8)}"
        elif what == "lose":
            fault += f":{rng.choice([1, 2, 7, 100, 5000])}"
        elif what == "stall":
            ms = rng.choice([300, 1500, 4000, 12000])
            fault += f":{ms}"
            f["stall"] = ms / 1000.0
        f["name"] = f"line:{fault.split(':')[0]}:{what}"
        f["sim"] = ["--line-fault", fault]
        f["slow"] = what in ("drop", "lose", "stall") or link == "pty"
    elif kind == "answer":
        choice = rng.choice(["garbage", "silent", "delay", "upginfo", "protver"])
        f["name"] = f"answer:{choice}"
        if choice == "garbage":
            f["sim"] = ["--garbage"]
        elif choice == "silent":
            f["sim"] = ["--silent"]
        elif choice == "delay":
            f["sim"] = ["--delay", str(rng.choice([100, 700, 2500]))]
        elif choice == "upginfo":
            f["sim"] = ["--fail", "upginfo:" + rng.choice(["silent", "error:7", "record", "garbage", "drop"])]
        else:
            f["sim"] = rng.choice([["--mute", "PROTVER"], ["--refuse", "DATAAVAIL:3"], ["--mute", "DATAAVAIL"]])
        f["slow"] = True
    elif kind == "restart":
        choice = rng.choice(["norestart", "keeprelease", "silentafter", "dropafter"])
        f["name"] = f"restart:{choice}"
        if choice == "norestart":
            f["sim"] = ["--no-restart"]
        elif choice == "keeprelease":
            f["sim"] = ["--keep-release"]
        elif choice == "silentafter":
            f["sim"] = ["--silent-after-bank", str(rng.randrange(1, t["banks"] + 1))]
        else:
            f["sim"] = ["--drop-after-bank", str(rng.randrange(1, t["banks"] + 1))]
        f["slow"] = True
    elif kind == "reopen":
        count = rng.choice([1, 3, 9, 30])
        f["name"] = f"reopen:refused{count}"
        f["sim"] = ["--refuse-reopens", str(count)]
        f["slow"] = True
    elif kind == "verdict":
        byte = rng.choice(["0x44", "0x33", "0x95", "0x77"])
        f["name"] = "verdict:" + byte
        f["sim"] = rng.choice([["--module-verdict", byte], ["--fail", "module:" + rng.choice(["silent", "garbage", "drop"])]])
        f["slow"] = True
    elif kind == "program":
        choice = rng.choice(["--prg-answer", "--prg-answer-once", "--fail"])
        f["name"] = "program:" + choice.strip("-")
        if choice == "--fail":
            f["sim"] = ["--fail", "program:" + rng.choice(["silent", "garbage", "drop"])]
        else:
            f["sim"] = [choice, rng.choice(["0x99", "0x77", "0x88", "0x44"])]
        f["slow"] = True
    else:  # the boot program
        banks = t["banks"] * t["bank_size"] // t["boot_size"]  # the boot program's banks
        choice = rng.choice(["failonce", "failalways", "lastbank", "status", "wrong", "noappear", "entry", "size0"])
        f["name"] = f"boot:{choice}"
        if choice in ("failonce", "failalways"):
            f["boot"] = [f"{choice}={rng.randrange(1, banks + 1)}",
                         "bankerror=" + rng.choice(["11", "2A", "53"])]
        elif choice == "lastbank":
            f["boot"] = [f"failalways={banks}"]
        elif choice == "status":
            f["boot"] = ["statuserror=" + rng.choice(["00", "01", "3F"])]
        elif choice == "wrong":
            f["boot"] = ["wrong=" + rng.choice(["adjust", "release", "size", "device", "clock", "user-area",
                                                 "bit-rate", "confirm", "transition", "status", "select",
                                                 "terminate", "lock-bit", "reset"])]
        elif choice == "noappear":
            f["boot"] = ["noappear"]
        elif choice == "entry":
            f["boot"] = ["entry=" + rng.choice(["", "NOPE"])]
        else:
            f["boot"] = ["size=0"]
        f["slow"] = True
    return f


def draw_trial(seed, index, verify=False):
    rng = random.Random(f"{seed}:{index}")
    # Links and modes take turns, so that any run of len(COMBOS) trials has each.
    link, mode = COMBOS[index % len(COMBOS)]
    t = {"seed": seed, "trial": index, "link": link, "mode": mode, "verify": verify}
    boot = mode in ("U4", "U2")
    t["gen"] = rng.choice([1, 2])
    if boot:
        t["boot_size"] = rng.choice([128, 256, 1024])
        t["banks"] = rng.randrange(1, 9)
        t["bank_size"] = t["boot_size"] * rng.choice([1, 2, 4])
    else:
        t["banks"] = rng.randrange(3 if mode == "U5" else 1, 7)
        t["bank_size"] = rng.choice([256, 512, 1024, 2048, 4096])
    modules = []
    if t["gen"] == 2 and rng.random() < 0.4:
        # Modules after the firmware cost a fixed 20 s in U3 and U2: fewer of them there.
        kinds = MODULE_KINDS if mode not in ("U3", "U2") or rng.random() < 0.3 else MODULE_KINDS[:2]
        if mode in ("U2",):
            kinds = kinds if rng.random() < 0.3 else []
        for record, letter in rng.sample(kinds, k=min(len(kinds), rng.choice([1, 1, 2]))):
            modules.append({"record": record, "letter": letter, "payload": rng.choice([64, 500, 3000])})
    t["modules"] = modules
    t["mask"] = rng.choice([255] * 6 + [1, 7, 5, 6, 4, 3])
    if t["gen"] == 1:
        t["mask"] |= 1  # a first-generation package is its firmware: without it the run fails
    t["same_release"] = mode == "U1" and rng.random() < 0.1
    in_bytes = t["banks"] * t["bank_size"] + sum(m["payload"] + 4110 for m in modules) + 120
    if boot:
        in_bytes += t["banks"] * (t["bank_size"] // t["boot_size"]) * 6
    t["fault"] = draw_fault(rng, t, in_bytes)
    t["bound"] = trial_bound(t)
    return t


def describe_fault(t):
    f = t["fault"]
    words = f["sim"] + (["--boot", ",".join(f["boot"])] if f["boot"] else [])
    return f["name"] + (" (" + " ".join(words) + ")" if words else "")


# ---------------------------------------------------------------- running
class Tools:
    def __init__(self, build, verify):
        self.prnupgrade = os.path.join(build, "app", "prnupgrade")
        self.prnsim = os.path.join(build, "sim", "prnsim")
        self.prnmkfile = os.path.join(build, "sim", "mkfile", "prnmkfile")
        self.verify = verify
        for path in (self.prnupgrade, self.prnsim, self.prnmkfile):
            if not os.access(path, os.X_OK):
                sys.exit(f"campaign: {path} missing (build first)")


def build_package(tools, t, folder):
    args = [tools.prnmkfile, "package", "-o", os.path.join(folder, "p.psw"), "--gen", str(t["gen"]),
            "--firmware-size", str(t["banks"] * t["bank_size"]), "--banks", str(t["banks"]),
            "--release", PACKAGE_RELEASE]
    for i, m in enumerate(t["modules"]):
        path = os.path.join(folder, f"m{i}.mod")
        subprocess.run([tools.prnmkfile, "module", "-o", path, "--type", m["letter"],
                        "--payload-size", str(m["payload"])], check=True, capture_output=True)
        args += ["--module", f"{m['record']}:{path}"]
    subprocess.run(args, check=True, capture_output=True)
    return os.path.join(folder, "p.psw")


def sim_args(t, package):
    release = "1.25" if t["same_release"] else OLD_RELEASE
    # A USB printer is back at once (its devices leave and come back); the
    # grace lets the last answer out before the restart takes it.
    restart = ["0", "50"] if t["link"] == "usb" else ["100", "50"]
    return ["--mode", t["mode"], "--package", package, "--expect-mask", str(t["mask"]),
            "--release", release, "--restart-ms", restart[0], "--restart-grace-ms", restart[1]] + \
        t["fault"]["sim"]


def multiplier(t):
    """-m 0 takes every multiplied pause and USB time-out away. USB U1 and U5
    keep them: U1 waits 110 s x -m for its programming answer, and the reopens
    of both after the printer's restart must give it time to come back."""
    if t["link"] == "usb" and t["mode"] in ("U1", "U5"):
        return 1
    # --verify reopens the line right after U3's last write: on the
    # pseudo-terminal that flushes what the printer has not read (see MODES).
    return 1 if t.get("verify") and (t["link"], t["mode"]) == ("pty", "U3") else 0


def program_args(tools, t, package):
    args = [tools.prnupgrade, "-f", package, "-m", str(multiplier(t)), "-v"]
    if t["mask"] != 255:
        args += ["-c", str(t["mask"])]
    if tools.verify:
        args.append("--verify")
    return args


def wait_announced(proc, word, deadline):
    """Reads prnsim's standard output up to "prnsim: ready"; returns the value after word."""
    value = None
    lines = []
    while time.monotonic() < deadline:
        line = proc.stdout.readline()
        if not line:
            break
        lines.append(line)
        if line.startswith(f"prnsim: {word} "):
            value = line.split(" ", 2)[2].strip()
        if line.startswith("prnsim: ready"):
            return value, lines
    return None, lines


def run_program(args, bound, env=None):
    """Runs args for at most bound seconds. The person at a U4 upgrade presses
    Enter once the printer has restarted: half a second after the prompt."""
    start = time.monotonic()
    proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=env, start_new_session=True)
    out, err = [], []

    def pump(stream, into, watch):
        for chunk in iter(lambda: stream.read1(4096), b""):
            into.append(chunk)
            if watch and not proc.stdin.closed and b"press Enter" in b"".join(into[-2:]):
                time.sleep(0.5)
                try:
                    proc.stdin.write(b"\n")
                    proc.stdin.close()
                except (OSError, ValueError):
                    pass

    readers = [threading.Thread(target=pump, args=(proc.stdout, out, True)),
               threading.Thread(target=pump, args=(proc.stderr, err, False))]
    for r in readers:
        r.start()
    timed_out = False
    try:
        proc.wait(timeout=bound)
    except subprocess.TimeoutExpired:
        timed_out = True
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    took = time.monotonic() - start
    for r in readers:
        r.join()
    try:
        proc.stdin.close()
    except OSError:
        pass
    return proc.returncode, b"".join(out).decode(errors="replace"), \
        b"".join(err).decode(errors="replace"), took, timed_out


def run_trial(tools, t, keep_dir=None):
    folder = tempfile.mkdtemp(prefix="campaign-")
    try:
        package = build_package(tools, t, folder)
        env = dict(os.environ)
        env["TMPDIR"] = folder
        link = t["link"]
        if link == "usb":
            boot = []
            if t["mode"] in ("U4", "U2"):
                boot = ["appear=0", "backdelay=50", f"size={t['boot_size']}", "newrelease=1.25"]
                if t["mode"] == "U4":
                    boot.append("backon=lock-bit")  # U4 leaves the restart to a person
                boot += t["fault"]["boot"]
            args = [tools.prnsim] + sim_args(t, package) + ["--usb"]
            if boot:
                args += ["--boot", ",".join(boot)]
            args += ["--"] + program_args(tools, t, package) + ["-t", "usb", "-d", "ANY"]
            code, out, err, took, timed_out = run_program(args, t["bound"], env=env)
            report = err
            program_out = out + err
            if not timed_out and code >= 128 and code != 255:
                code = -(code - 128)  # prnsim passes a signal on as 128 + its number
        else:
            sim = subprocess.Popen([tools.prnsim, "--tcp" if link == "tcp" else "--pty"] +
                                   (["0"] if link == "tcp" else []) + sim_args(t, package),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                   env=env, start_new_session=True)
            where, lines = wait_announced(sim, link, time.monotonic() + 10)
            if where is None:
                sim.kill()
                raise RuntimeError("prnsim did not start: " + "".join(lines) + sim.stderr.read())
            device = f"127.0.0.1:{where.split(':')[1]}" if link == "tcp" else f"{where}:115200:NONE"
            args = program_args(tools, t, package) + ["-t", LINK_ARG[link], "-d", device]
            code, out, err, took, timed_out = run_program(args, t["bound"], env=env)
            time.sleep(0.3)  # what is on its way reaches the printer
            sim.send_signal(signal.SIGTERM)
            try:
                rest, sim_err = sim.communicate(timeout=10)
            except subprocess.TimeoutExpired:
                sim.kill()
                rest, sim_err = sim.communicate()
            report = "".join(lines) + rest + sim_err
            program_out = out + err
        return judge(t, code, program_out, report, took, timed_out)
    finally:
        if keep_dir:
            shutil.copytree(folder, os.path.join(keep_dir, f"trial-{t['seed']}-{t['trial']}"), dirs_exist_ok=True)
        shutil.rmtree(folder, ignore_errors=True)


# Cases where the defined behaviour itself ends with success while the printer does
# not hold what was asked for; without --verify they are listed, not counted.
def mandated(t):
    if t["gen"] == 2 and (t["mask"] & 6) == 2 and (t["mask"] & 1):
        return "a mask of main modules only drops the firmware entry"
    if t["mode"] == "U3":
        return "U3 gives no programming answer: success after the last write"
    if t["mode"] == "U5":
        return "U5 does not answer its code banks and its last data bank"
    if t["mode"] == "U1" and t["same_release"] and t["link"] == "tcp":
        return "U1 on the network with the printer's own release skips the release check"
    return None


def judge(t, code, out, report, took, timed_out):
    problems = []
    verdict_match = re.search(r"prnsim: verdict (.*)", report)
    verdict = verdict_match.group(1).strip() if verdict_match else "?"
    holds_match = re.search(r"prnsim: holds (.*)", report)
    note = ""
    if timed_out:
        problems.append(f"ran past its bound of {t['bound']:.0f} s")
    elif code < 0:
        problems.append(f"ended by signal {-code}")
    if SANITIZER_REPORT.search(out) or SANITIZER_REPORT.search(report):
        problems.append("sanitizer report")
    if not timed_out and code >= 0:
        if code not in DOCUMENTED_CODES:
            problems.append(f"exit code {code} is not documented")
        if code in CODE_TEXT and CODE_TEXT[code] not in out:
            problems.append("failure without its error line")
        if t["fault"]["name"] == "none" and code == 19 and t.get("verify"):
            note = "unconfirmed: the mode gives nothing that confirms the image"
        elif t["fault"]["name"] == "none" and code != 0:
            problems.append("no fault, yet exit %d" % code)
        if code == 0 and not verdict.startswith("package"):
            why = None if t.get("verify") else mandated(t)
            if why:
                note = "mandated: " + why
            else:
                problems.append("false success: " + verdict)
    status = "ok" if not problems else "VIOLATION"
    if not problems and note:
        status = note.split(":")[0]
    return {"code": code, "took": took, "status": status, "problems": problems, "note": note,
            "verdict": verdict, "holds": holds_match.group(1).strip() if holds_match else "?",
            "output": out, "report": report}


# ---------------------------------------------------------------- driver
def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build", help="build folder with app/prnupgrade and sim/prnsim")
    ap.add_argument("--seed", type=int, default=None, help="campaign seed (default: from the clock)")
    ap.add_argument("--trials", type=int, default=None, help="number of trials")
    ap.add_argument("--seconds", type=float, default=None, help="start trials for this long")
    ap.add_argument("--trial", type=int, action="append", help="run only this trial (repeatable)")
    ap.add_argument("--regressions", help="file of 'SEED TRIAL' lines always run first")
    ap.add_argument("--verify", action="store_true", help="pass --verify to prnupgrade")
    ap.add_argument("--jobs", type=int, default=4, help="trials side by side (they mostly wait)")
    ap.add_argument("--keep", help="keep each violating trial's files under this folder")
    ap.add_argument("--show", action="store_true", help="print the program's output of every violation")
    args = ap.parse_args()
    seed = args.seed if args.seed is not None else int(time.time())
    tools = Tools(args.build, args.verify)

    todo = []
    if args.regressions:
        with open(args.regressions) as f:
            for line in f:
                words = line.split("#", 1)[0].split()
                if len(words) >= 2:
                    todo.append((int(words[0]), int(words[1])))
    if args.trial:
        todo += [(seed, k) for k in args.trial]
    elif args.trials is None and args.seconds is None and not todo:
        args.trials = 30
    end_at = time.monotonic() + args.seconds if args.seconds else None

    def trials():
        yield from todo
        if args.trial:
            return
        k = 0
        while (args.trials is None or k < args.trials) and (end_at is None or time.monotonic() < end_at):
            if args.trials is None and args.seconds is None:
                return
            yield (seed, k)
            k += 1

    print(f"campaign: seed {seed}, {'--verify, ' if args.verify else ''}build {args.build}", flush=True)
    table = collections.defaultdict(lambda: [0, 0, 0])
    lock = threading.Lock()
    violations = []
    started = time.monotonic()
    count = [0]

    def one(st):
        t = draw_trial(*st, verify=args.verify)
        try:
            r = run_trial(tools, t, None)
        except Exception as e:  # a trial that cannot even be set up is a violation too
            r = {"code": -999, "took": 0.0, "status": "VIOLATION", "problems": [f"harness: {e}"],
                 "note": "", "verdict": "?", "holds": "?", "output": "", "report": ""}
        if r["status"] == "VIOLATION" and args.keep:
            run_trial(tools, t, args.keep)
        with lock:
            count[0] += 1
            key = (t["link"], t["mode"], t["fault"]["name"].split(":")[0])
            table[key][0] += 1
            if r["status"] == "VIOLATION":
                table[key][1] += 1
                violations.append((t, r))
            elif r["status"] in ("mandated", "unconfirmed"):
                table[key][2] += 1
            gen = f"gen{t['gen']} {t['banks']}x{t['bank_size']}" + \
                  (" +" + "".join(m["record"] for m in t["modules"]) if t["modules"] else "") + \
                  f" -c {t['mask']}" + (" same-release" if t["same_release"] else "")
            print(f"seed {t['seed']} trial {t['trial']} {t['link']} {t['mode']} [{gen}] "
                  f"fault {describe_fault(t)} exit {r['code']} {r['took']:.1f}s/{t['bound']:.0f}s "
                  f"{r['status']} holds {r['holds']}" +
                  (f" ({'; '.join(r['problems'])})" if r["problems"] else "") +
                  (f" ({r['note']})" if r["note"] else ""), flush=True)
            if r["status"] == "VIOLATION" and args.show:
                print("---- program\n" + r["output"] + "---- printer\n" + r["report"] + "----", flush=True)

    with ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for _ in pool.map(one, trials()):
            pass

    wall = time.monotonic() - started
    print(f"\n{'link':5} {'mode':4} {'fault':9} {'trials':>6} {'violations':>10} {'mandated':>8}")
    for key in sorted(table):
        n, v, m = table[key]
        print(f"{key[0]:5} {key[1]:4} {key[2]:9} {n:6d} {v:10d} {m:8d}")
    total = [sum(v[i] for v in table.values()) for i in range(3)]
    print(f"{'all':20} {total[0]:6d} {total[1]:10d} {total[2]:8d}")
    print(f"campaign: seed {seed}: {count[0]} trials in {wall:.0f} s, {len(violations)} violations")
    for t, r in violations:
        print(f"VIOLATION seed {t['seed']} trial {t['trial']}: {'; '.join(r['problems'])}")
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main())
