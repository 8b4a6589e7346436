#!/usr/bin/env python3
"""Test-only: the item statistics of a history database computed independently with Python's
statistics module, for the C++ statistics to be checked against.

Usage: stats_check.py DB [LABEL]   prints one JSON object: item -> its numbers (null: undefined)
"""
import json
import math
import sqlite3
import statistics
import sys


def index(num, sigma):
    return num / sigma if sigma and sigma > 0 else None


def item_numbers(rows):
    x = [r[0] for r in rows]
    low, high = rows[-1][1], rows[-1][2]
    n = len(x)
    out = {"n": n, "mean": statistics.fmean(x), "min": min(x), "max": max(x),
           "below": sum(1 for v, lo, _ in rows if lo is not None and v < lo),
           "above": sum(1 for v, _, hi in rows if hi is not None and v > hi)}
    sd = statistics.stdev(x) if n >= 2 else None
    out["sd"] = sd
    moving = [abs(b - a) for a, b in zip(x, x[1:])]
    within = statistics.fmean(moving) / 1.128 if moving else None
    out["sigmaWithin"] = within
    mean = out["mean"]
    for key, sigma in (("cp", within), ("pp", sd)):
        both = low is not None and high is not None
        out[key] = index(high - low, 6 * sigma) if both and sigma else None
        sides = []
        if high is not None and sigma:
            sides.append(index(high - mean, 3 * sigma))
        if low is not None and sigma:
            sides.append(index(mean - low, 3 * sigma))
        out[key + "k"] = min(sides) if sides else None
    if n >= 2:
        q1, _, q3 = statistics.quantiles(x, n=4, method="inclusive")
        iqr = q3 - q1
        out["width"] = 2 * iqr / n ** (1 / 3) if iqr > 0 and max(x) > min(x) else None
    return out


def main():
    db = sqlite3.connect(sys.argv[1])
    label = sys.argv[2] if len(sys.argv) > 2 else None
    sql = ("SELECT m.item, m.number, m.low_limit, m.high_limit FROM measurement m "
           "JOIN run r ON r.uuid = m.run_uuid JOIN run_end e ON e.run_uuid = r.uuid "
           "WHERE e.state = 'done' AND m.number IS NOT NULL")
    args = []
    if label is not None:
        sql += " AND r.label = ?"
        args.append(label)
    sql += " ORDER BY m.item, r.started_at, r.uuid, m.step, m.attempt, m.seq"
    items = {}
    for item, number, low, high in db.execute(sql, args):
        items.setdefault(item, []).append((number, low, high))
    json.dump({k: item_numbers(v) for k, v in items.items()}, sys.stdout)


if __name__ == "__main__":
    main()
