#!/usr/bin/env python3
"""Checks the substitute store's recurrence expansion against python-dateutil's rrule.

Random patterns of every host type (daily, every weekday, weekly, monthly, monthly
nth, yearly, yearly nth; intervals, masks, instance 1..5 with 5 the last, counts,
end dates, no end) with deleted and moved occurrences are added to a fresh store
with `mireo store add`, then read back with `mireo store find --include-recurrences
--sort Start` over several [Start] windows. Each pattern is translated to an RRULE
and expanded by dateutil; both lists must be equal.
"""
import argparse
import datetime as dt
import json
import os
import random
import subprocess
import sys
import tempfile

from dateutil import rrule

DAYS = [rrule.SU, rrule.MO, rrule.TU, rrule.WE, rrule.TH, rrule.FR, rrule.SA]  # host mask bit order


def mask_days(mask):
    return [DAYS[i] for i in range(7) if mask & (1 << i)]


def month_day_rule(dom):
    """The host puts day 29..31 on the month's last day when the month is shorter."""
    if dom <= 28:
        return {"bymonthday": dom}
    return {"bymonthday": list(range(28, dom + 1)), "bysetpos": -1}


def make_rule(p, start):
    t = p["RecurrenceType"]
    interval = max(p.get("Interval", 1), 1)
    kw = {"dtstart": start, "wkst": rrule.SU, "cache": False}
    if "Occurrences" in p:
        kw["count"] = p["Occurrences"]
    elif "PatternEndDate" in p:
        end = dt.datetime.fromisoformat(p["PatternEndDate"])
        kw["until"] = end.replace(hour=23, minute=59, second=59)
    if t == 0:
        if p.get("DayOfWeekMask"):
            return rrule.rrule(rrule.DAILY, byweekday=mask_days(p["DayOfWeekMask"]), **kw)
        return rrule.rrule(rrule.DAILY, interval=interval, **kw)
    if t == 1:
        return rrule.rrule(rrule.WEEKLY, interval=interval, byweekday=mask_days(p["DayOfWeekMask"]), **kw)
    if t == 2:
        return rrule.rrule(rrule.MONTHLY, interval=interval, **month_day_rule(p["DayOfMonth"]), **kw)
    if t == 3:
        pos = -1 if p["Instance"] == 5 else p["Instance"]
        return rrule.rrule(rrule.MONTHLY, interval=interval, byweekday=mask_days(p["DayOfWeekMask"]), bysetpos=pos, **kw)
    if t == 5:
        return rrule.rrule(rrule.YEARLY, interval=interval, bymonth=p["MonthOfYear"], **month_day_rule(p["DayOfMonth"]), **kw)
    if t == 6:
        pos = -1 if p["Instance"] == 5 else p["Instance"]
        return rrule.rrule(rrule.YEARLY, interval=interval, bymonth=p["MonthOfYear"],
                           byweekday=mask_days(p["DayOfWeekMask"]), bysetpos=pos, **kw)
    raise ValueError(t)


def random_pattern(rnd):
    t = rnd.choice([0, 0, 1, 1, 2, 3, 5, 6])
    p = {"RecurrenceType": t}
    if t == 0:
        if rnd.random() < 0.3:
            p["Interval"] = 0
            p["DayOfWeekMask"] = rnd.choice([62, 65, 42, rnd.randint(1, 127)])
        else:
            p["Interval"] = rnd.randint(1, 10)
    elif t == 1:
        p["Interval"] = rnd.randint(1, 4)
        p["DayOfWeekMask"] = rnd.randint(1, 127)
    elif t == 2:
        p["Interval"] = rnd.randint(1, 6)
        p["DayOfMonth"] = rnd.choice([1, 15, 28, 29, 30, 31, rnd.randint(1, 31)])
    elif t == 3:
        p["Interval"] = rnd.randint(1, 6)
        p["DayOfWeekMask"] = rnd.choice([1 << rnd.randint(0, 6), 62, 65, rnd.randint(1, 127)])
        p["Instance"] = rnd.randint(1, 5)
    elif t == 5:
        p["Interval"] = 1
        p["MonthOfYear"] = rnd.randint(1, 12)
        p["DayOfMonth"] = rnd.choice([1, 29, 30, 31, rnd.randint(1, 31)])
    else:
        p["Interval"] = 1
        p["MonthOfYear"] = rnd.randint(1, 12)
        p["DayOfWeekMask"] = rnd.choice([1 << rnd.randint(0, 6), 62, rnd.randint(1, 127)])
        p["Instance"] = rnd.randint(1, 5)
    end = rnd.random()
    if end < 0.55:
        p["Occurrences"] = rnd.randint(1, 60)
    elif end < 0.8:
        p["PatternEndDate"] = (dt.datetime(2004, 1, 1) + dt.timedelta(days=rnd.randint(0, 5 * 365))).isoformat()
    else:
        p["NoEndDate"] = True
    return p


def iso(d):
    return d.strftime("%Y-%m-%dT%H:%M:%S")


def filter_date(d):
    return f"{d.month}/{d.day}/{d.year} {d.strftime('%I:%M %p')}"


def build(rnd, n, window_end):
    items, expected = [], []
    for i in range(n):
        p = random_pattern(rnd)
        start = dt.datetime(2003, 1, 1) + dt.timedelta(days=rnd.randint(0, 4 * 365), minutes=15 * rnd.randint(0, 95))
        duration = rnd.choice([15, 30, 60, 90, 1440])
        subject = f"S{i:04d}"
        rule = make_rule(p, start)
        occ = list(rule.between(start, window_end, inc=True))
        if not occ:
            continue
        item = {"Subject": subject, "Start": iso(occ[0]), "End": iso(occ[0] + dt.timedelta(minutes=duration)),
                "RecurrencePattern": p}
        exceptions, entries = [], {o: (o, subject) for o in occ}
        for o in rnd.sample(occ, min(len(occ), rnd.randint(0, 4))):
            if rnd.random() < 0.5:
                exceptions.append({"OriginalDate": iso(o), "Deleted": True})
                del entries[o]
            else:
                new = o + dt.timedelta(days=rnd.randint(-3, 3), minutes=7)
                exceptions.append({"OriginalDate": iso(o), "Deleted": False, "Start": iso(new),
                                   "End": iso(new + dt.timedelta(minutes=duration)), "Subject": subject + "m"})
                entries[o] = (new, subject + "m")
        if exceptions:
            item["Exceptions"] = exceptions
        items.append(item)
        expected.extend(entries.values())
    return items, expected


def run(mireo, store, *args, stdin=None):
    r = subprocess.run([mireo, "--store", store, "store", *args], input=stdin, capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"mireo store {' '.join(args)} failed ({r.returncode}): {r.stderr}")
    return r.stdout


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mireo", required=True)
    ap.add_argument("--count", type=int, default=150)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--windows", type=int, default=8)
    a = ap.parse_args()
    rnd = random.Random(a.seed)
    window_end = dt.datetime(2009, 12, 31, 23, 59)
    items, expected = build(rnd, a.count, window_end)
    with tempfile.TemporaryDirectory() as tmp:
        store = os.path.join(tmp, "oracle.db")
        run(a.mireo, store, "add", "Calendar", "-", stdin=json.dumps(items))
        windows = [(dt.datetime(2003, 1, 1), window_end)]
        for _ in range(a.windows):
            lo = dt.datetime(2003, 1, 1) + dt.timedelta(days=rnd.randint(0, 6 * 365), minutes=rnd.randint(0, 1439))
            windows.append((lo, min(lo + dt.timedelta(days=rnd.randint(0, 400), minutes=rnd.randint(0, 1439)), window_end)))
        failures = 0
        for lo, hi in windows:
            lo_m, hi_m = lo.replace(second=0), hi.replace(second=0)
            text = f'[Start] >= "{filter_date(lo_m)}" And [Start] <= "{filter_date(hi_m)}"'
            got = json.loads(run(a.mireo, store, "find", "Calendar", "--restrict", text, "--include-recurrences", "--sort", "Start"))
            got_list = [(g["Start"], g["Subject"]) for g in got]
            want = sorted((iso(s), subj) for s, subj in expected if lo_m <= s <= hi_m)
            if [s for s, _ in got_list] != sorted(s for s, _ in got_list):
                print(f"window {lo_m}..{hi_m}: not sorted by start")
                failures += 1
            if sorted(got_list) != want:
                failures += 1
                g, w = set(got_list), set(want)
                print(f"window {lo_m}..{hi_m}: {len(got_list)} entries, expected {len(want)}")
                for x in sorted(w - g)[:10]:
                    print("  missing", x, json.dumps([i for i in items if i["Subject"] == x[1].rstrip("m")][0]["RecurrencePattern"]))
                for x in sorted(g - w)[:10]:
                    print("  extra  ", x, json.dumps([i for i in items if i["Subject"] == x[1].rstrip("m")][0]["RecurrencePattern"]))
        print(f"{len(items)} patterns, {len(expected)} occurrences, {len(windows)} windows, {failures} failing")
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
