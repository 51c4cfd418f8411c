#!/usr/bin/env python3
"""Korvalin beside the peers of the shared benchmark harness, in one run.

Usage (from the repository root, after a Release build with the benchmarks):
    python3 bench/compare_peers.py [--build build] [--rows 1000000] [--runs 3] [--install]
                                   [--peers pandas,duckdb,polars,sqlite,miller] [--baseline OTHER_BUILD]

It copies ../shared/bench to /tmp/peer-bench (once), generates the data file when it is missing, adds
Korvalin (build/bin/korvalin_peer_bench) to the copy's peer list, runs the peers that are installed and
Korvalin interleaved under the harness's run_bench.py, and prints min / median seconds of the tasks that
Korvalin does (T1 full read, T3 value counts of every column, T4 two derived columns over all records, T5 sum,
average and median of float1 by category, T6 sort by customer, T7 CSV export of the T2 records) with each peer's ratio to Korvalin (above 1: Korvalin is faster) and
the cross-checks (rows, T2 count, T3 distinct counts, sum(d1) and defined d2 of T4, T5 groups, sum over the
defined categories and median of Books Basic, T6 first and last customer, T7 bytes). Korvalin's T5 writes the three
results into every record as summary attributes; the peers make one row per group (their own T5). Korvalin's T6 orders by the collation, the peers by bytes: the T6 checks may differ. --baseline adds
the korvalin_peer_bench of another build (an earlier commit) as the peer "korvalin_before", interleaved with the
rest, for before-and-after figures in one run. --install installs the peers as the harness's README says (Debian
packages and the
npm packages pinned in the peers' package.json files).
"""
import argparse, json, os, re, shutil, statistics, subprocess, sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED = os.path.join(os.path.dirname(ROOT), "shared", "bench")
WORK = "/tmp/peer-bench"


def installed(peer):
    if peer == "pandas":
        return subprocess.run(["/usr/bin/python3", "-c", "import pandas"], capture_output=True).returncode == 0
    if peer in ("duckdb", "polars"):
        folder = {"duckdb": "duckdb-node", "polars": "polars-node"}[peer]
        return shutil.which("node") is not None and os.path.isdir(os.path.join(WORK, "peers", folder, "node_modules"))
    if peer == "sqlite":
        return shutil.which("sqlite3") is not None
    if peer == "miller":
        return shutil.which("mlr") is not None
    if peer == "visidata":
        return shutil.which("vd") is not None
    return False


def install():
    subprocess.run(["apt-get", "update"], check=False)
    subprocess.run(["apt-get", "install", "-y", "python3-pandas", "miller", "sqlite3", "nodejs", "npm"], check=False)
    for folder in ("duckdb-node", "polars-node"):
        subprocess.run(["npm", "install"], cwd=os.path.join(WORK, "peers", folder), check=False)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--rows", type=int, default=1_000_000)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--peers", default="pandas,duckdb,polars,sqlite,miller")
    ap.add_argument("--install", action="store_true")
    ap.add_argument("--baseline", help="another build folder whose korvalin_peer_bench runs as korvalin_before")
    a = ap.parse_args()

    binary = os.path.join(os.path.abspath(a.build), "bin", "korvalin_peer_bench")
    if not os.path.exists(binary):
        sys.exit("missing %s: build with -DCMAKE_BUILD_TYPE=Release -DKORVALIN_BUILD_BENCH=ON" % binary)
    if not os.path.isdir(WORK):
        shutil.copytree(SHARED, WORK)
        subprocess.run(["chmod", "-R", "u+w", WORK], check=True)
    if a.install:
        install()
    data = os.path.join(WORK, "data", "rows_%d.csv" % a.rows)
    if not os.path.exists(data):
        subprocess.run([sys.executable, "gen_data.py", "--rows", str(a.rows)], cwd=WORK, check=True)

    # Korvalin (and the baseline build) join the copy's peer list.
    own = {"korvalin": binary}
    if a.baseline:
        own["korvalin_before"] = os.path.join(os.path.abspath(a.baseline), "bin", "korvalin_peer_bench")
        if not os.path.exists(own["korvalin_before"]):
            sys.exit("missing %s" % own["korvalin_before"])
    runner = os.path.join(WORK, "run_bench.py")
    text = open(runner).read()
    for name, path in own.items():
        if '"%s"' % name not in text:
            text = text.replace('PEERS = {\n', 'PEERS = {\n    "%s": [%r],\n' % (name, path), 1)
        else:
            text = re.sub(r'"%s": \[.*?\],' % name, '"%s": [%r],' % (name, path), text)
    open(runner, "w").write(text)

    peers = [p for p in a.peers.split(",") if installed(p)]
    missing = [p for p in a.peers.split(",") if p not in peers]
    raw = os.path.join(WORK, "results", "raw", "rows_%d" % a.rows)
    shutil.rmtree(raw, ignore_errors=True)  # only this run counts
    subprocess.run([sys.executable, "run_bench.py", "--rows", str(a.rows), "--runs", str(a.runs),
                    "--peers", ",".join(list(own) + peers)], cwd=WORK, check=True)

    records = {}
    for name in os.listdir(raw):
        for line in open(os.path.join(raw, name)):
            r = json.loads(line)
            if r.get("rc") == 0:
                records.setdefault(r["peer"], []).append(r)
    if "korvalin" not in records:
        sys.exit("korvalin did not run")

    def stats(peer, task):
        xs = [r["tasks"][task] for r in records[peer] if task in r.get("tasks", {})]
        return (min(xs), statistics.median(xs)) if xs else None

    print()
    print("Rows: %d, runs: %d, one interleaved run of run_bench.py. Seconds min / median; ratio = peer median /"
          " Korvalin median." % (a.rows, a.runs))
    print()
    order = [p for p in own if p in records] + [p for p in peers if p in records]
    print("| task | " + " | ".join(order) + " |")
    print("|---|" + "---|" * len(order))
    for task, name in (("T1", "T1 load CSV (Korvalin: full read, formats guessed)"),
                       ("T3", "T3 value counts of all columns (Korvalin: the overview's bars)"),
                       ("T4", "T4 d1 = float1*2 + int1, d2 = region-category (expression attributes)"),
                       ("T5", "T5 sum, average, median of float1 by category (Korvalin: summary attributes)"),
                       ("T6", "T6 sort all records by customer (Korvalin: collation order)"),
                       ("T7", "T7 write the T2 records as CSV")):
        own = stats("korvalin", task)
        cells = []
        for p in order:
            s = stats(p, task)
            if s is None:
                cells.append("-")
            elif p == "korvalin":
                cells.append("%.3f / %.3f" % s)
            else:
                cells.append("%.3f / %.3f (%.2fx)" % (s[0], s[1], s[1] / own[1]))
        print("| %s | %s |" % (name, " | ".join(cells)))
    print("| peak RSS MiB | %s |" % " | ".join(
        "%.0f" % statistics.median(r["peak_rss_mib"] for r in records[p]) for p in order))
    print()
    print("Checks: " + "; ".join("%s %s" % (p, json.dumps({k: v for k, v in records[p][0].get("checks", {}).items()
                                                         if k in ("rows", "T2_count", "T3_distinct", "T4_sum_d1",
                                                                  "T4_d2_defined", "T5_groups", "T5_sum_defined",
                                                                  "T5_median_Books_Basic", "T6_first", "T6_last_defined",
                                                                  "T7_bytes")}))
                                 for p in order))
    if missing:
        print("Not installed (left out): " + ", ".join(missing))


if __name__ == "__main__":
    main()
