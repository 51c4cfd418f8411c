#!/usr/bin/env python3
"""Compares the full read of a file by two or more korvalin commands (builds before and after a change).

    python3 bench/ab_read.py --file /tmp/peer-bench/data/rows_1000000.csv --runs 11 OLD/korvalin NEW/korvalin

Each run reads the file through `korvalin run` of a script with `read FILE` and `count`. The commands take turns,
so that a machine whose speed drifts (shared cores) slows them alike; the report gives, per command, the wall and
processor time (user + system) as minimum, first quartile and median, and the peak memory. On a noisy machine the
minimum and the first quartile tell a change apart better than the median.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(command, script):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run([command, "run", script], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        sys.exit("%s failed: %s" % (command, done.stderr.strip()))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def quartiles(values):
    values = sorted(values)
    return values[0], values[len(values) // 4], statistics.median(values)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--file", required=True, help="the file to read")
    parser.add_argument("--runs", type=int, default=9, help="runs of each command (default 9)")
    parser.add_argument("commands", nargs="+", help="korvalin commands to compare")
    args = parser.parse_args()
    if args.runs < 1:
        sys.exit("--runs must be at least 1")
    with tempfile.TemporaryDirectory() as folder:
        script = os.path.join(folder, "read.kvs")
        with open(script, "w") as out:
            out.write('read "%s"\ncount\n' % os.path.abspath(args.file).replace("\\", "\\\\").replace('"', '\\"'))
        times = {command: [] for command in args.commands}
        for _ in range(args.runs):
            for command in args.commands:
                times[command].append(run_once(command, script))
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
    print("%d runs each, in turn; seconds as min / q1 / median" % args.runs)
    for command, samples in times.items():
        wall = quartiles(s[0] for s in samples)
        cpu = quartiles(s[1] for s in samples)
        print("%-40s wall %.3f / %.3f / %.3f   cpu %.3f / %.3f / %.3f" % ((command,) + wall + cpu))
    print("peak RSS of the largest run: %.0f MiB" % peak)


if __name__ == "__main__":
    main()
