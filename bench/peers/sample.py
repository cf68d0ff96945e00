#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Samples processes for bench/peers.sh.

usage: sample.py SECONDS NAME=PID:PERIOD ...

Every 0.1 s it reads each thread's voluntary context switches and time on a CPU (schedstat, in
nanoseconds; a thread that ends keeps what it had at its last sample), and each second the
process's resident memory. The clock-tick utime+stime of /proc/PID/stat is printed beside, as a
check. A process's own tick is
the phase of its PERIOD (seconds) where most switches fall; switches more than 0.4 s away from it
are wake-ups between ticks. Prints one JSON object per process on a line.
"""
import json
import os
import statistics
import sys
import time

STEP = 0.1
CLOCK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15; the text after ")" starts at field 3.
    return (int(fields[11]) + int(fields[12])) / CLOCK


def threads(pid):
    """{thread id: (voluntary switches, nanoseconds on a CPU)} of a process's live threads."""
    seen = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as f:
                switches = next(int(line.split()[1]) for line in f if line.startswith("voluntary_ctxt_switches:"))
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                nanoseconds = int(f.read().split()[0])
        except (OSError, StopIteration):
            continue  # a thread that ended between the listing and the read
        seen[task] = (switches, nanoseconds)
    return seen


def advance(w):
    """Adds what each thread did since the last sample; returns the switches."""
    now = threads(w["pid"])
    switches = 0
    for task, (count, nanoseconds) in now.items():
        before = w["tasks"].get(task, (0, 0))
        switches += count - before[0]
        w["ns"] += nanoseconds - before[1]
    w["tasks"] = now
    return switches


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    seconds = float(sys.argv[1])
    watched = {}
    for argument in sys.argv[2:]:
        name, rest = argument.split("=", 1)
        pid, period = rest.split(":")
        watched[name] = {"pid": int(pid), "period": float(period), "bins": [], "rss": []}
    for w in watched.values():
        w["cpu0"] = cpu_seconds(w["pid"])
        w["tasks"] = threads(w["pid"])
        w["ns"] = 0
    start = time.monotonic()
    steps = int(seconds / STEP)
    for step in range(1, steps + 1):
        time.sleep(max(0.0, start + step * STEP - time.monotonic()))
        for w in watched.values():
            w["bins"].append(advance(w))
            if step % 10 == 0:
                w["rss"].append(resident_kib(w["pid"]))
    elapsed = time.monotonic() - start
    for name, w in watched.items():
        cpu = w["ns"] / 1e9
        clock_cpu = cpu_seconds(w["pid"]) - w["cpu0"]
        ticks = elapsed / w["period"]
        per = round(w["period"] / STEP)
        phases = [0] * per
        for i, count in enumerate(w["bins"]):
            phases[i % per] += count
        tick = max(range(per), key=lambda p: phases[p])
        near = round(0.4 / STEP)
        between = sum(
            count
            for i, count in enumerate(w["bins"])
            if min((i - tick) % per, (tick - i) % per) > near
        )
        print(json.dumps({
            "name": name,
            "ticks": round(ticks, 1),
            "cpu_ms_per_tick": round(1000 * cpu / ticks, 2),
            "clock_cpu_ms_per_tick": round(1000 * clock_cpu / ticks, 2),
            "switches_per_tick": round(sum(w["bins"]) / ticks, 2),
            "wakeups_between_ticks": round(between / ticks, 2),
            "rss_mib": round(statistics.median(w["rss"]) / 1024, 1) if w["rss"] else 0,
        }), flush=True)


if __name__ == "__main__":
    main()
