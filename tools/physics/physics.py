"""Measures Vorla's physics with its own scripted sessions and publishes the figures.

    physics.py --replay PATH [--quick] [--check] [--docs DIR] [--work DIR]

Without --check, writes DIR/physics.md, the plots and figures.json into DIR/physics/.
With --check, writes nothing and fails when a published figure differs from what is
computed now by more than its tolerance. --quick leaves out the 100,000-step runs.
"""

import argparse
import json
import math
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import edges
import report
import speed
import walls


class Figures:
    """Named numbers, each with the digits it is published with and a tolerance for the
    drift check: half a unit in its last digit unless given."""

    def __init__(self):
        self.items = {}

    def add(self, name, value, decimals, unit, tolerance=None, quick=True):
        value = float(value)
        if tolerance is None:
            tolerance = 0.5 * 10.0 ** -decimals
        self.items[name] = dict(value=value, decimals=decimals, unit=unit, tolerance=tolerance,
                                quick=quick)

    def __getitem__(self, name):
        return self.items[name]["value"]

    def text(self, name, sign=False):
        item = self.items[name]
        if item["decimals"] is None:
            return f"{item['value']:.1e}"
        return f"{item['value']:{'+' if sign else ''}.{item['decimals']}f}"


def run_sessions(all_sessions, replay, work):
    with ThreadPoolExecutor(2) as pool:
        results = pool.map(lambda s: (s.name, s.run(replay, work)), all_sessions)
        return dict(results)


def check(figures, published_file, quick):
    published = json.loads(Path(published_file).read_text())["figures"]
    failures = []
    for name, item in figures.items.items():
        if name not in published:
            failures.append(f"{name}: computed {item['value']!r} but not published")
            continue
        old = published[name]
        drift = abs(item["value"] - old["value"])
        if not math.isfinite(item["value"]) or drift > old["tolerance"]:
            failures.append(f"{name}: published {old['value']!r}, now {item['value']!r} "
                            f"(tolerance {old['tolerance']!r})")
    for name, old in published.items():
        if name not in figures.items and (old["quick"] or not quick):
            failures.append(f"{name}: published but no longer computed")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--replay", required=True)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--docs", default="docs")
    parser.add_argument("--work", default="build/physics")
    args = parser.parse_args()
    docs = Path(args.docs)

    started = time.time()
    modules = (speed, edges, walls)
    sessions = [s for m in modules for s in m.sessions(args.quick)]
    results = run_sessions(sessions, Path(args.replay).resolve(), Path(args.work))
    print(f"{len(sessions)} sessions in {time.time() - started:.0f} s", flush=True)

    figures, plots = Figures(), {}
    speed.analyse(results, figures, plots)
    edges.analyse(results, figures, plots)
    walls.analyse(results, figures, plots, args.quick)
    print(f"{len(figures.items)} figures in {time.time() - started:.0f} s", flush=True)

    if args.check:
        failures = check(figures, docs / "physics" / "figures.json", args.quick)
        for line in failures:
            print("drift:", line)
        print(f"{len(figures.items) - len(failures)} of {len(figures.items)} figures as published")
        return 1 if failures else 0
    if args.quick:
        for name, item in figures.items.items():
            print(f"{name} = {figures.text(name)}")
        return 0
    report.write(figures, plots, docs)
    print(f"wrote {docs / 'physics.md'} and {docs / 'physics'}/")
    return 0


if __name__ == "__main__":
    sys.exit(main())
