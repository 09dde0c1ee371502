#!/usr/bin/env python3
"""Occurrences the host store holds after an import, next to python-icalendar + dateutil.

For every .ics of the shared corpus that python-icalendar reads and that has events, a
window of two years is taken from the first event's year. mireo_vcal_import_samples
imports the file into an empty in-memory store (in UTC) and prints the occurrence starts
the store renders in that window; here dateutil expands the same events (RRULE, minus
EXDATE, plus RDATE, RECURRENCE-ID overrides applied). Times are compared as the store
keeps them: in the computer's zone (UTC here), a recurring event at one time of day,
that of its first occurrence (the store repeats a series at a fixed local time; the
event's own zone is kept beside it), floating times as they are.

Each file whose lists differ is put down to a cause, from the import's own warnings and
the shape of the difference; the summary lists them. The test fails only when the import
crashes or hangs.

Exit status 77 when python3-icalendar or python3-dateutil is missing.
"""
import argparse
import collections
import datetime as dt
import os
import subprocess
import sys

try:
    import icalendar
    from dateutil import rrule
except ImportError as e:  # pragma: no cover
    print(f"skipped: {e}")
    sys.exit(77)

UTC = dt.timezone.utc


def as_dt(v):
    if isinstance(v, dt.datetime):
        return v
    return dt.datetime(v.year, v.month, v.day)


def wall(v, tz):
    """A value as the wall clock of tz (None: UTC for aware values)."""
    v = as_dt(v)
    if v.tzinfo is None:
        return v
    if tz is None:
        return v.astimezone(UTC).replace(tzinfo=None)
    return v.astimezone(tz).replace(tzinfo=None)


def prop_dates(prop):
    out = []
    for p in prop if isinstance(prop, list) else [prop]:
        for d in getattr(p, "dts", []):
            v = d.dt
            if isinstance(v, tuple):
                v = v[0]
            out.append(v)
    return out


def expand(cal, start, end):
    """Occurrence starts in [start, end) as the store would keep them."""
    events = [c for c in cal.walk("VEVENT") if c.get("DTSTART") is not None]
    masters = {}
    for e in events:
        if e.get("RRULE") is not None and e.get("RECURRENCE-ID") is None and e.get("UID") is not None:
            masters[str(e.get("UID"))] = e
    result = []
    overrides = collections.defaultdict(list)
    for e in events:
        if e.get("RECURRENCE-ID") is not None and str(e.get("UID")) in masters:
            overrides[str(e.get("UID"))].append(e)
    for e in events:
        if e.get("RECURRENCE-ID") is not None and str(e.get("UID")) in masters:
            continue
        ds = e.get("DTSTART").dt
        tz = ds.tzinfo if isinstance(ds, dt.datetime) else None
        if e.get("RRULE") is None:
            result.append(wall(ds, None))
            continue
        first = wall(ds, tz)
        # The store's series: the wall clock of the event's zone moved by the offset at its start.
        shift = (wall(ds, None) - first) if tz is not None else dt.timedelta(0)
        text = e.get("RRULE").to_ical().decode()
        # UNTIL as the wall clock of the start's zone, as the store takes it.
        parts = []
        for part in text.split(";"):
            if part.upper().startswith("UNTIL="):
                u = icalendar.vDDDTypes.from_ical(part[6:])
                part = "UNTIL=" + wall(u, tz).strftime("%Y%m%dT%H%M%S")
            parts.append(part)
        rs = rrule.rruleset()
        rs.rrule(rrule.rrulestr(";".join(parts), dtstart=first, ignoretz=True))
        if e.get("EXDATE") is not None:
            for x in prop_dates(e.get("EXDATE")):
                xw = wall(x, tz)
                if not isinstance(x, dt.datetime):
                    xw = xw.replace(hour=first.hour, minute=first.minute, second=first.second)
                rs.exdate(xw)
        if e.get("RDATE") is not None:
            for r in prop_dates(e.get("RDATE")):
                rs.rdate(wall(r, tz))
        occ = [o + shift for o in rs.between(start - dt.timedelta(days=2), end + dt.timedelta(days=2), inc=True)]
        for o in overrides.get(str(e.get("UID")), []):
            rid = wall(o.get("RECURRENCE-ID").dt, tz) + shift
            if rid in occ:
                occ.remove(rid)
            if str(o.get("STATUS", "")).upper() != "CANCELLED":
                occ.append(wall(o.get("DTSTART").dt, None))
        result.extend(occ)
    return sorted(r.replace(second=0, microsecond=0) for r in result if start <= r < end)


def cause(warnings, store, oracle, text):
    only_store = collections.Counter(store) - collections.Counter(oracle)
    only_oracle = collections.Counter(oracle) - collections.Counter(store)
    joined = " ".join(warnings)
    if "BEGIN:VCALENDAR" not in text:
        return "VEVENT outside a VCALENDAR block (not read)"
    if "RRULE is invalid" in joined or "Not supported" in joined or "not supported" in joined:
        return "a rule the host's pattern cannot express (reported)"
    if "Was errors" in joined:
        return "a rule part the host's pattern cannot express (reported, kept in part)"
    if "Unknown version" in joined:
        return "unknown VERSION: the import stops"
    if "No START and END" in joined:
        return "an event without DTSTART and DTEND"
    if "EXDATE.Count < RDATE.Count" in joined or ("RDATE" in text and only_oracle and not only_store):
        return "RDATE without a paired EXDATE: the host's pattern holds no extra dates"
    if "ignoring some wrong dates" in joined:
        return "an EXDATE that names no occurrence"
    if only_store and only_oracle and len(only_store) == len(only_oracle):
        deltas = {(a - b) for a, b in zip(sorted(only_store), sorted(only_oracle))}
        if len(deltas) == 1:
            return "times shifted by one offset (zone resolution differs)"
    if only_store and all(o.day >= 28 for o in only_store):
        return "the host puts day 29..31 on a shorter month's last day"
    if "VTIMEZONE" in joined:
        return "a VTIMEZONE the host's zone cannot hold"
    return "other"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("tool")
    ap.add_argument("corpus")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()
    env = dict(os.environ, TZ="UTC")
    files = []
    for root, _, names in os.walk(args.corpus):
        files.extend(os.path.join(root, n) for n in names if n.lower().endswith(".ics"))
    files.sort()
    compared = same = unreadable = 0
    causes = collections.defaultdict(list)
    failures = []
    for path in files:
        try:
            with open(path, "rb") as f:
                text = f.read()
            cals = icalendar.Calendar.from_ical(text, multiple=True)
            starts = [as_dt(e.get("DTSTART").dt) for c in cals for e in c.walk("VEVENT") if e.get("DTSTART")]
            if not starts:
                continue
            year = min(s.year for s in starts)
            start, end = dt.datetime(year, 1, 1), dt.datetime(year + 2, 1, 1)
            oracle = sorted(o for c in cals for o in expand(c, start, end))
        except Exception:  # python-icalendar or dateutil cannot read it
            unreadable += 1
            continue
        try:
            run = subprocess.run([args.tool, path, start.strftime("%Y%m%d"), end.strftime("%Y%m%d")],
                                 capture_output=True, text=True, timeout=30, env=env, errors="replace")
        except subprocess.TimeoutExpired:
            failures.append(f"{path}: hang")
            continue
        if run.returncode != 0:
            failures.append(f"{path}: exit {run.returncode} {run.stderr[-200:]}")
            continue
        lines = run.stdout.splitlines()
        store = [dt.datetime.strptime(l, "%Y%m%dT%H%M") for l in lines if l and not l.startswith("#")]
        warnings = [l[2:] for l in lines if l.startswith("#")]
        compared += 1
        if store == oracle:
            same += 1
            continue
        why = cause(warnings, store, oracle, text.decode("utf-8", "replace"))
        causes[why].append((os.path.relpath(path, args.corpus), len(store), len(oracle)))
    print(f"compared {compared} calendars over two years: {same} equal, {compared - same} differ "
          f"({unreadable} not read by python-icalendar/dateutil)")
    for why, items in sorted(causes.items(), key=lambda kv: -len(kv[1])):
        print(f"  {len(items):4d}  {why}")
        for rel, ns, no in items[: (len(items) if args.verbose else 3)]:
            print(f"          {rel}: store {ns}, dateutil {no}")
    for f in failures:
        print("FAILED", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
