#!/usr/bin/env python3
"""Footprint of the running program: steady RSS, CPU time per minute and the
gaps between heartbeats, beside a minimal sender of the same period.

Usage: bench/footprint.py BIN_DIR [SECONDS]
Run it inside a loopback-only network namespace (bench/footprint.sh does).
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


def receiver(port, stamps, stop):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
    s.bind(("127.0.0.1", port))
    s.settimeout(0.5)
    while not stop.is_set():
        try:
            data, anc, _, _ = s.recvmsg(64, 64)
        except socket.timeout:
            continue
        for level, kind, payload in anc:
            if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                sec, nsec = struct.unpack("qq", payload[:16])
                stamps.append(sec + nsec / 1e9)
    s.close()


def cpu_seconds(pid):
    """Processor time of all threads, in nanosecond resolution (the clock-tick
    counts of /proc/PID/stat are too coarse for a process this quiet)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except OSError:
            pass
    return total / 1e9


def status_kb(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def rss_kb(pid):
    return status_kb(pid, "VmRSS")


def gaps_report(name, stamps, interval):
    gaps = [b - a for a, b in zip(stamps, stamps[1:])]
    if len(gaps) < 2:
        print(f"{name}: too few datagrams ({len(stamps)})")
        return
    dev = [abs(g - interval) * 1000 for g in gaps]
    drift = [(t - stamps[0] - i * interval) * 1000 for i, t in enumerate(stamps)]
    print(f"{name}: {len(stamps)} datagrams, gap mean {statistics.mean(gaps)*1000:.3f} ms, "
          f"sd {statistics.pstdev(gaps)*1000:.3f} ms, worst deviation {max(dev):.3f} ms, "
          f"drift after {len(stamps)-1} beats {drift[-1]:+.3f} ms "
          f"(first half mean {statistics.mean(drift[:len(drift)//2]):+.3f} ms, "
          f"second half {statistics.mean(drift[len(drift)//2:]):+.3f} ms)")


def main():
    bin_dir = sys.argv[1]
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    work = tempfile.mkdtemp(prefix="vhb-footprint-")
    try:
        exe = os.path.join(work, "vesk-hb")
        shutil.copy(os.path.join(bin_dir, "vesk-hb"), exe)
        with open(os.path.join(work, "vesk-hb.Ini"), "w") as f:
            f.write("[NETWORK]\nIP=127.0.0.1\nPORT=19100\nINTERVAL=1\nLOCALPORT=19101\n")
        stop = threading.Event()
        prog_stamps, min_stamps = [], []
        threads = [threading.Thread(target=receiver, args=(19100, prog_stamps, stop)),
                   threading.Thread(target=receiver, args=(19200, min_stamps, stop))]
        for t in threads:
            t.start()
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        prog = subprocess.Popen([exe], env=env, cwd=work)
        mini = subprocess.Popen([os.path.join(bin_dir, "vhb-min-sender"), "19200", str(seconds + 5)])
        time.sleep(5)  # start-up and the first beats
        p0, m0 = cpu_seconds(prog.pid), cpu_seconds(mini.pid)
        rss = []
        t0 = time.monotonic()
        while time.monotonic() - t0 < seconds:
            time.sleep(5)
            rss.append(rss_kb(prog.pid))
            anon = status_kb(prog.pid, "RssAnon")
        elapsed = time.monotonic() - t0
        p1, m1 = cpu_seconds(prog.pid), cpu_seconds(mini.pid)
        prog.terminate()
        mini.terminate()
        prog.wait()
        mini.wait()
        stop.set()
        for t in threads:
            t.join()
        per_min = lambda c: c * 60 / elapsed * 1000
        print(f"steady RSS: {rss[-1]/1024:.1f} MB (min {min(rss)/1024:.1f}, max {max(rss)/1024:.1f}; "
              f"of it anonymous {anon/1024:.1f} MB, the rest shared library pages)")
        print(f"CPU per minute: program {per_min(p1-p0):.1f} ms, minimal sender {per_min(m1-m0):.1f} ms "
              f"(ratio {(p1-p0)/max(m1-m0,1e-9):.1f}x)")
        gaps_report("program", prog_stamps[4:], 1.0)
        gaps_report("minimal sender", min_stamps[4:], 1.0)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
