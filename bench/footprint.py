#!/usr/bin/env python3
"""Footprint of the running program beside references of the same heartbeat:
a minimal Qt tray sender (timer, socket, tray icon), the same sender doing the
program's duty of two socket re-bindings per beat ("Qt re-binding"), a Python
loop that makes, binds to a fixed source port, sends from and closes a socket
every beat ("Python re-binding"), and a plain C++ sender, once as it is and
once with the two re-bindings in system calls only ("C++ re-binding"); with a
second program folder, an earlier build of the program too ("program before"). All
start one after the other and then run side by side, so that the ratios are
taken under the same load of the machine.

Per variant of the program's settings (plain heartbeat, "MAC Address",
"Auto Start Enabled" watching the C++ sender) and repetition: processor time
per minute over the beats, processor time of the first 0.8 s (start-up to the
event loop; the first tick comes at 1 s; side by side, and again with each
start alone), VmRSS and RssAnon 10 s after start,
descriptors and threads at 10 s and at the end, and the gaps between the
datagrams as received. The table shows medians of the repetitions. With
the plain variant, the program's instructions per beat under callgrind (the
whole process, 20 beats after the first two).

Usage: bench/footprint.py BIN_DIR [BEATS] [REPETITIONS] [VARIANTS] [BEFORE_BIN_DIR]
Run it inside a network namespace of its own (bench/footprint.sh makes one
with an interface up besides loopback): the program's settings file sends
to 127.0.0.1 only, and the device search's request stays in the namespace.
"""
import os
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

SO_TIMESTAMPNS = getattr(socket, "SO_TIMESTAMPNS", 35)
STARTUP_S = 0.8
RSS_AT_S = 10.0
SETTLE_S = 3.0  # the program's first beat comes about 2 s after start

VARIANTS = {
    "plain": "",
    "mac": "MACCHECKED=1\n",
    # Counts at its top: an idle watched sender reads 0 % at every tick, which
    # would otherwise hold the heartbeat after ten ticks.
    "auto": "[CPU]\nAPP1=vhb-min-sender#0\nAUTOSTART=1\nWAITSTART=0\nCOUNT1=9999\n",
}


def receiver(sock, stamps, stop):
    sock.settimeout(0.5)
    while not stop.is_set():
        try:
            _, anc, _, _ = sock.recvmsg(64, 64)
        except socket.timeout:
            continue
        for level, kind, payload in anc:
            if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                sec, nsec = struct.unpack("qq", payload[:16])
                stamps.append(sec + nsec / 1e9)
    sock.close()


def listening_socket():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
    s.bind(("127.0.0.1", 0))
    return s


def cpu_seconds(pid):
    """Processor time of all threads in nanosecond resolution (the clock-tick
    counts of /proc/PID/stat are too coarse for a process this quiet)."""
    total = 0
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return 0.0
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except OSError:
            pass
    return total / 1e9


def status_kb(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def descriptors(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return 0


class Runner:
    """One process under watch: its start time and what was read of it."""

    def __init__(self, name, argv, cwd=None, env=None):
        self.name = name
        self.sock = listening_socket()
        self.port = self.sock.getsockname()[1]
        self.stamps = []
        self.argv = [a.replace("{port}", str(self.port)) for a in argv]
        if any("{free}" in a for a in self.argv):
            # A source port of its own, free when the run starts.
            probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            probe.bind(("0.0.0.0", 0))
            free = probe.getsockname()[1]
            probe.close()
            self.argv = [a.replace("{free}", str(free)) for a in self.argv]
        self.cwd, self.env = cwd, env
        self.m = {}

    def start(self, stop):
        self.thread = threading.Thread(target=receiver, args=(self.sock, self.stamps, stop))
        self.thread.start()
        self.t0 = time.monotonic()
        self.proc = subprocess.Popen(self.argv, cwd=self.cwd, env=self.env)

    def at(self, seconds):
        return self.t0 + seconds


def sleep_until(t):
    d = t - time.monotonic()
    if d > 0:
        time.sleep(d)


def write_settings(work, port, variant):
    text = (f"[NETWORK]\nIP=127.0.0.1\nPORT={port}\nINTERVAL=1\nLOCALPORT={port + 1 if port < 65535 else 0}\n"
            + ("MAC=00:00:00:00:00:00\n" if variant == "mac" else "")
            + VARIANTS[variant])
    # Only loopback: the program runs here with its settings file.
    assert "IP=127.0.0.1\n" in text
    with open(os.path.join(work, "vesk-hb.Ini"), "w") as f:
        f.write(text)


def program_runner(name, bin_dir, variant, env):
    """The program copied into a folder of its own with its settings file."""
    work = tempfile.mkdtemp(prefix="vhb-footprint-")
    for f in ("vesk-hb", "libvhb-pdh.so"):
        shutil.copy(os.path.join(bin_dir, f), os.path.join(work, f))
    prog = Runner(name, [os.path.join(work, "vesk-hb")], cwd=work, env=env)
    write_settings(work, prog.port, variant)
    return prog


def run_once(bin_dir, variant, beats, env, turn, before_dir=None):
    programs = [program_runner("program", bin_dir, variant, env)]
    if before_dir:
        programs.append(program_runner("program before", before_dir, variant, env))
    try:
        qt = Runner("Qt sender", [os.path.join(bin_dir, "vhb-min-qt-sender"), "{port}",
                                  str(beats + 10)], env=env)
        rebinding = Runner("Qt re-binding", [os.path.join(bin_dir, "vhb-min-qt-sender"), "{port}",
                                             str(beats + 10), "rebind"], env=env)
        cxx_args = [os.path.join(bin_dir, "vhb-min-sender"), "{port}", str(beats + 10)]
        if variant == "auto":
            cxx_args.append("stat")
        cxx = Runner("C++ sender", cxx_args)
        cxx_rebinding = Runner("C++ re-binding", [os.path.join(bin_dir, "vhb-min-sender"), "{port}",
                                                  str(beats + 10), "rebind"])
        python = Runner("Python re-binding", [sys.executable,
                                              os.path.join(os.path.dirname(__file__),
                                                           "python_rebind.py"),
                                              "{port}", str(beats + 10), "{free}"])
        # The watched sender runs before the program starts. The others take
        # turns in the start order: the one started right after it was seen
        # to pay up to a third more processor time per minute than the same
        # program started later.
        others = programs + [qt, rebinding, python, cxx_rebinding]
        turn %= len(others)
        runners = [cxx] + others[turn:] + others[:turn]
        stop = threading.Event()
        for r in runners:
            r.start(stop)
            time.sleep(0.05)
        for r in runners:
            sleep_until(r.at(STARTUP_S))
            r.m["startup_ms"] = cpu_seconds(r.proc.pid) * 1000
        for r in runners:
            sleep_until(r.at(SETTLE_S))
            r.m["cpu0"] = cpu_seconds(r.proc.pid)
            r.m["cpu0_t"] = time.monotonic()
        for r in runners:
            sleep_until(r.at(RSS_AT_S))
            p = r.proc.pid
            r.m.update(rss=status_kb(p, "VmRSS"), anon=status_kb(p, "RssAnon"),
                       fds=descriptors(p), threads=status_kb(p, "Threads"))
        for r in runners:
            sleep_until(r.m["cpu0_t"] + beats - 1)
            p = r.proc.pid
            elapsed = time.monotonic() - r.m["cpu0_t"]
            r.m["cpu_min_ms"] = (cpu_seconds(p) - r.m["cpu0"]) * 60 / elapsed * 1000
            r.m.update(anon_end=status_kb(p, "RssAnon"), fds_end=descriptors(p),
                       threads_end=status_kb(p, "Threads"))
        for r in runners:
            r.proc.terminate()
        for r in runners:
            try:
                r.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                r.proc.kill()
                r.proc.wait()
        stop.set()
        for r in runners:
            r.thread.join()
            gaps = [b - a for a, b in zip(r.stamps[2:], r.stamps[3:])]
            if len(gaps) >= 2:
                r.m.update(beats=len(r.stamps), gap_mean=statistics.mean(gaps) * 1000,
                           gap_sd=statistics.pstdev(gaps) * 1000,
                           gap_worst=max(abs(g - 1.0) for g in gaps) * 1000)
            else:
                r.m.update(beats=len(r.stamps), gap_mean=float("nan"), gap_sd=float("nan"),
                           gap_worst=float("nan"))
        return {r.name: r.m for r in runners}
    finally:
        for prog in programs:
            shutil.rmtree(prog.cwd, ignore_errors=True)


def startup_alone(bin_dir, env, reps):
    """Processor time of the first 0.8 s of the program (plain settings) and
    of the minimal Qt sender, each started alone and in turn, so that no
    other start-up competes for the processors and caches meanwhile; which
    of the two starts first alternates."""
    work = tempfile.mkdtemp(prefix="vhb-footprint-start-")
    sink = listening_socket()
    port = sink.getsockname()[1]
    try:
        for f in ("vesk-hb", "libvhb-pdh.so"):
            shutil.copy(os.path.join(bin_dir, f), os.path.join(work, f))
        write_settings(work, port, "plain")
        argv = {"program": ([os.path.join(work, "vesk-hb")], work),
                "Qt sender": ([os.path.join(bin_dir, "vhb-min-qt-sender"), str(port), "5"], None)}
        taken = {who: [] for who in argv}
        for rep in range(reps):
            # Each goes first in turn: the one started second finds the
            # shared libraries' pages warmer.
            turn = list(argv.items())
            for who, (args, cwd) in turn[::-1] if rep % 2 else turn:
                t0 = time.monotonic()
                proc = subprocess.Popen(args, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
                sleep_until(t0 + STARTUP_S)
                taken[who].append(cpu_seconds(proc.pid) * 1000)
                proc.kill()
                proc.wait()
        return {who: statistics.median(v) for who, v in taken.items()}
    finally:
        sink.close()
        shutil.rmtree(work, ignore_errors=True)


def callgrind_folder(bin_dir, sink, variant):
    """A folder of its own with the program and a settings file of the
    variant that sends to the sink."""
    work = tempfile.mkdtemp(prefix="vhb-footprint-cg-")
    for f in ("vesk-hb", "libvhb-pdh.so"):
        shutil.copy(os.path.join(bin_dir, f), os.path.join(work, f))
    write_settings(work, sink.getsockname()[1], variant)
    return work


def callgrind_counts(out, parts):
    """The instruction counts of the dumped parts, up to the first missing."""
    counts = []
    for part in parts:
        try:
            with open(f"{out}.{part}") as f:
                counts += [int(line.split()[1]) for line in f if line.startswith("summary:")]
        except OSError:
            break
    return counts


def callgrind_watch(bin_dir, seconds, env):
    """Instructions per tick of the application watch, ticks 4 to 13: the
    program with "Auto Start Enabled" under callgrind, collecting only inside
    the sampling timer's handler (the processor-time collection, the
    judgement, the panel) and dumping a profile after each tick."""
    if not shutil.which("valgrind"):
        return None
    sink = listening_socket()
    work = callgrind_folder(bin_dir, sink, "auto")
    try:
        watched = subprocess.Popen([os.path.join(bin_dir, "vhb-min-sender"),
                                    str(sink.getsockname()[1]), str(seconds + 30)])
        out = os.path.join(work, "callgrind.out")
        prog = subprocess.Popen(["valgrind", "--tool=callgrind", "--toggle-collect=TForm2::Timer2Timer*",
                                 "--dump-after=TForm2::Timer2Timer()",
                                 f"--callgrind-out-file={out}", "./vesk-hb"], cwd=work, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(seconds)
        prog.terminate()
        prog.wait()
        watched.kill()
        watched.wait()
        return callgrind_counts(out, range(4, 14))
    finally:
        sink.close()
        shutil.rmtree(work, ignore_errors=True)


def callgrind_beats(bin_dir, beats, env):
    """Instructions per beat of the whole program with plain settings, beats 3
    to 2 + BEATS: callgrind dumps a profile after each run of the heartbeat
    timer's handler, so each part holds one beat's full round (the event
    loop's wake-up, the timer, the send, the re-bindings) and nothing of the
    start-up."""
    if not shutil.which("valgrind"):
        return None
    sink = listening_socket()
    work = callgrind_folder(bin_dir, sink, "plain")
    try:
        out = os.path.join(work, "callgrind.out")
        prog = subprocess.Popen(["valgrind", "--tool=callgrind", "--dump-after=TForm2::Timer1Timer()",
                                 f"--callgrind-out-file={out}", "./vesk-hb"], cwd=work, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        last = f"{out}.{3 + beats}"
        deadline = time.monotonic() + beats + 60
        while not os.path.exists(last) and time.monotonic() < deadline and prog.poll() is None:
            time.sleep(0.5)
        time.sleep(0.5)  # the last part's file written out
        prog.terminate()
        prog.wait()
        return callgrind_counts(out, range(3, 3 + beats))
    finally:
        sink.close()
        shutil.rmtree(work, ignore_errors=True)


def median(runs, who, key):
    return statistics.median(run[who][key] for run in runs)


def main():
    bin_dir = sys.argv[1]
    beats = int(sys.argv[2]) if len(sys.argv) > 2 else 61
    reps = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    variants = sys.argv[4].split(",") if len(sys.argv) > 4 and sys.argv[4] else list(VARIANTS)
    before_dir = sys.argv[5] if len(sys.argv) > 5 and sys.argv[5] else None
    env = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    # Without a runtime folder the one-instance lock lies beside the settings
    # file, in the run's own folder, and leaves with it.
    env.pop("XDG_RUNTIME_DIR", None)
    results = {}
    for v in variants:
        results[v] = []
        for i in range(reps):
            results[v].append(run_once(bin_dir, v, beats, env, i, before_dir))
            m = results[v][-1]
            print(f"# {v} run {i + 1}: " + "; ".join(
                f"{who} {m[who]['cpu_min_ms']:.1f} ms/min, {m[who]['rss'] / 1024:.1f} MB"
                for who in m), flush=True)

    who_all = ["program"] + (["program before"] if before_dir else []) + [
        "Qt sender", "Qt re-binding", "Python re-binding", "C++ sender", "C++ re-binding"]
    refs = tuple(who_all[1:])
    print(f"\nmedians of {reps} runs, {beats} beats at 1 s, QT_QPA_PLATFORM={env['QT_QPA_PLATFORM']}"
          + (", QT_NO_GLIB=" + env["QT_NO_GLIB"] if "QT_NO_GLIB" in env else ""))
    rows = [("CPU per minute (ms)", "cpu_min_ms", 1), ("CPU first 0.8 s (ms)", "startup_ms", 1),
            ("VmRSS at 10 s (MB)", "rss", 1024), ("RssAnon at 10 s (MB)", "anon", 1024),
            ("RssAnon at end (MB)", "anon_end", 1024), ("descriptors 10 s / end", "fds", 0),
            ("threads 10 s / end", "threads", 0), ("datagrams", "beats", 1),
            ("gap mean (ms)", "gap_mean", 1), ("gap sd (ms)", "gap_sd", 1),
            ("gap worst deviation (ms)", "gap_worst", 1)]
    for v in variants:
        runs = results[v]
        print(f"\n| {v} | " + " | ".join(who_all) + " | "
              + " | ".join(f"program / {ref}" for ref in refs) + " |")
        print("|---|" + "---|" * (len(who_all) + len(refs)))
        for label, key, scale in rows:
            cells = []
            for who in who_all:
                if scale == 0:
                    cells.append(f"{median(runs, who, key):.0f} / {median(runs, who, key + '_end'):.0f}")
                else:
                    cells.append(f"{median(runs, who, key) / scale:.2f}")
            ratios = [""] * len(refs)
            if scale != 0 and key not in ("beats",) and not key.startswith("gap"):
                p = median(runs, "program", key)
                ratios = [f"{p / max(median(runs, ref, key), 1e-9):.2f}x" for ref in refs]
            print(f"| {label} | " + " | ".join(cells) + " | " + " | ".join(ratios) + " |")
        # Within one run all share the machine's load of the moment, so each
        # run's own ratio scatters less than the ratio of the medians.
        paired = [statistics.median(run["program"]["cpu_min_ms"] / max(run[ref]["cpu_min_ms"], 1e-9)
                                    for run in runs) for ref in refs]
        print(f"| CPU per minute, median of each run's ratio | " + " | " * len(who_all)
              + " | ".join(f"{r:.2f}x" for r in paired) + " |")
    ticks = callgrind_watch(bin_dir, 25, env) if "auto" in variants else None
    if ticks:
        print(f"\napplication watch under callgrind, instructions per tick, ticks 4 to "
              f"{3 + len(ticks)}: mean {statistics.mean(ticks):.0f}, min {min(ticks)}, "
              f"max {max(ticks)}")
    alone = startup_alone(bin_dir, env, 2 * reps + 1)
    print(f"\nstart-up alone, CPU of the first 0.8 s, median of {2 * reps + 1} starts in turn: "
          f"program {alone['program']:.2f} ms, Qt sender {alone['Qt sender']:.2f} ms, "
          f"{alone['program'] / alone['Qt sender']:.2f}x")
    if "plain" in results:
        for who in ["program"] + (["program before"] if before_dir else []):
            plain = median(results["plain"], who, "cpu_min_ms")
            for v in variants:
                if v != "plain":
                    print(f"\n{who} {v} / {who} plain, CPU per minute: "
                          f"{median(results[v], who, 'cpu_min_ms') / plain:.2f}x")
        for who, folder in [("program", bin_dir)] + ([("program before", before_dir)]
                                                     if before_dir else []):
            counts = callgrind_beats(folder, 20, env)
            if counts:
                print(f"\n{who} under callgrind, instructions per beat (whole process), beats 3 "
                      f"to {2 + len(counts)}: median {statistics.median(counts):.0f}, "
                      f"min {min(counts)}, max {max(counts)}")


if __name__ == "__main__":
    main()
