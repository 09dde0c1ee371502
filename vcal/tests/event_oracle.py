#!/usr/bin/env python3
"""Reads every calendar file `mireo export-events` writes for the sample events with
independent readers and compares them with the host store's own expansion.

The sample events go into a fresh substitute store; the command exports them as
iCalendar and vCalendar, into one file and into one file per event. Each .ics is read by
python-icalendar (its series expanded by dateutil) and by libical; each .vcs by libical's
vCalendar reader. Every reader must give, for every event, the store's summary, all-day
flag, start and end, and together the occurrences the store renders over two years,
moved and deleted occurrences included.

What libical's vCalendar reader does not take is allowed for: the second rule of a
yearly pair ("YM1 11 #5 MP1 4+ TH") and "5+" for the last weekday of a month (such
series are compared by start and end only), EXDATE (converted to "ERROR: No Value", so
the excluded times come back), a backslash (read as an escape) and the DTEND of a
floating event (labelled UTC; its fields are taken as the start's are).

A series written in a zone other than the computer's recurs at one wall-clock time of
that zone; the store keeps it at one time of the computer's. Where the two zones change
to and from daylight time on different days the two differ by an hour, so the readers'
occurrences of such a series are compared at the zone's wall-clock time.

Exit status 77 when python3-icalendar or python3-dateutil is missing.
"""
import argparse
import collections
import datetime as dt
import glob
import json
import os
import re
import subprocess
import sys
import zoneinfo

try:
    import icalendar
    from dateutil import rrule
except ImportError as e:  # pragma: no cover
    print(f"skipped: {e}")
    sys.exit(77)

UTC = dt.timezone.utc
LOCAL = UTC  # the computer's zone, set from --tz
OCCURRENCES_BY_SUMMARY = {}  # of the iCalendar export, as python-icalendar reads it
LO = dt.datetime(2026, 12, 1, tzinfo=UTC)
HI = dt.datetime(2028, 12, 1, tzinfo=UTC)


def fmt_utc(d):
    return d.astimezone(UTC).strftime("%Y%m%dT%H%M%SZ")


def norm(d, local):
    """A date as YYYYMMDD, an aware time as UTC text, a naive one as the computer's."""
    if isinstance(d, dt.datetime):
        if d.tzinfo is None:
            d = d.replace(tzinfo=local)
        return fmt_utc(d)
    return d.strftime("%Y%m%d")


def in_window(text):
    day = text[:8]
    return LO.strftime("%Y%m%d") <= day < HI.strftime("%Y%m%d") if len(text) == 8 else \
        fmt_utc(LO) <= text < fmt_utc(HI)


def run(cmd, env):
    r = subprocess.run(cmd, env=env, capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"{' '.join(cmd)} failed ({r.returncode}):\n{r.stdout}\n{r.stderr}")
    return r.stdout


def dates_of(prop):
    if prop is None:
        return []
    props = prop if isinstance(prop, list) else [prop]
    return [d.dt for p in props for d in p.dts]


def localize(naive, tz):
    """A wall-clock time of a zone as an aware time (pytz zones need localize)."""
    return tz.localize(naive) if hasattr(tz, "localize") else naive.replace(tzinfo=tz)


def naive_in(d, tz):
    if not isinstance(d, dt.datetime):
        return dt.datetime.combine(d, dt.time())
    return d.astimezone(tz).replace(tzinfo=None) if d.tzinfo is not None and tz is not None else d.replace(tzinfo=None)


def zones_of(path):
    """The zone of each VEVENT's DTSTART, in file order (None: UTC, floating or a date)."""
    cal = icalendar.Calendar.from_ical(open(path, "rb").read())
    zones = []
    for ev in cal.walk("VEVENT"):
        start = ev.decoded("DTSTART")
        zones.append(start.tzinfo if isinstance(start, dt.datetime) and "TZID" in ev["DTSTART"].params else None)
    return zones


def read_pyicalendar(path, local):
    cal = icalendar.Calendar.from_ical(open(path, "rb").read())
    events = []
    for ev in cal.walk("VEVENT"):
        start, end = ev.decoded("DTSTART"), ev.decoded("DTEND")
        all_day = not isinstance(start, dt.datetime)
        zone = start.tzinfo if not all_day and start.tzinfo is not None and "TZID" in ev["DTSTART"].params else None
        occ = [start]
        moved = {fmt_utc(d) for d in dates_of(ev.get("RDATE")) if isinstance(d, dt.datetime) and d.tzinfo}
        if "RRULE" in ev:
            # Expanded as wall-clock times of the event's zone, each then placed in it.
            rules = rrule.rruleset()
            rules.rrule(rrule.rrulestr(ev["RRULE"].to_ical().decode(), dtstart=naive_in(start, zone)))
            for d in dates_of(ev.get("EXDATE")):
                rules.exdate(naive_in(d, zone))
            for d in dates_of(ev.get("RDATE")):
                rules.rdate(naive_in(d, zone))
            lo = naive_in(LO - dt.timedelta(days=2), zone or UTC)
            hi = naive_in(HI + dt.timedelta(days=2), zone or UTC)
            occ = [d.date() if all_day else localize(d, zone) if zone else d.replace(tzinfo=start.tzinfo)
                   for d in rules.between(lo, hi, inc=True)]
        events.append({"summary": str(ev.get("SUMMARY", "")), "all_day": all_day, "start": start, "end": end,
                       "occurrences": occ, "zone": zone, "recurring": "RRULE" in ev, "vcal_rule": "",
                       "moved": moved})
    return events


def read_libical(tool, path, zones_by_summary):
    """libical's reading; floating times are those of the zone the file is written in:
    the event's own one in a vCalendar file of one event, else the computer's (None)."""
    out = subprocess.run([tool, path, fmt_utc(LO), fmt_utc(HI)], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(f"libical could not read {path}: {out.stderr}")
    text = open(path, "rb").read().decode("utf-8", "replace")
    vcal = path.endswith(".vcs")
    bodies = re.findall(r"BEGIN:VEVENT\r\n(.*?)END:VEVENT", text, re.S)
    zones = [None] * len(bodies) if vcal else zones_of(path)
    per_event = vcal and len(bodies) == 1 and "TZ:" in text
    events = []
    for i, line in enumerate(out.stdout.splitlines()):
        e = json.loads(line)
        summary = e["summary"]
        file_zone = zones_by_summary.get(summary) if per_event else None
        floating = len(e["start"]) == 15

        def when(t):
            if len(t) == 8:
                return dt.datetime.strptime(t, "%Y%m%d").date()
            if floating:  # libical labels the DTEND of a floating event UTC
                return localize(dt.datetime.strptime(t[:15], "%Y%m%dT%H%M%S"), file_zone or LOCAL)
            return dt.datetime.strptime(t, "%Y%m%dT%H%M%SZ").replace(tzinfo=UTC)
        rule = re.search(r"^RRULE:(.*)$", bodies[i], re.M) if i < len(bodies) else None
        exdate = re.search(r"^EXDATE:(.*)$", bodies[i], re.M) if vcal and i < len(bodies) else None
        rdate = re.search(r"^RDATE(;TZID=(?:\"[^\"]*\"|[^:]*))?:(.*)$", bodies[i], re.M) if i < len(bodies) else None
        moved = set()
        if rdate:
            for v in rdate.group(2).strip().replace(";", ",").split(","):
                if v.endswith("Z"):
                    moved.add(v)
                elif len(v) == 15 and rdate.group(1) and i < len(zones) and zones[i] is not None:
                    moved.add(fmt_utc(localize(dt.datetime.strptime(v, "%Y%m%dT%H%M%S"), zones[i])))
        events.append({"summary": summary, "all_day": e["all_day"], "start": when(e["start"]),
                       "end": when(e["end"]), "occurrences": [when(x) for x in e["occurrences"]],
                       "zone": file_zone or (zones[i] if i < len(zones) else None), "recurring": bool(rule),
                       "vcal_rule": rule.group(1).strip() if rule and vcal else "", "moved": moved,
                       "ignored": [when(x) for x in exdate.group(1).strip().split(";")] if exdate else []})
    return events


def to_store_model(events, local):
    """The readers' times as the store expresses them. The store keeps a series in the
    computer's local time; one written in a zone of its own has its occurrences at one
    wall-clock time of that zone, which the store's model takes at the first
    occurrence's offset from the computer's zone. A moved occurrence (an RDATE) is a
    time of its own, the same in both."""
    for e in events:
        def text(d):
            return norm(d, local)
        shift = dt.timedelta(0)
        zone = e["zone"]
        if zone is not None and e["recurring"]:
            shift = e["start"].astimezone(local).replace(tzinfo=None) - e["start"].astimezone(zone).replace(tzinfo=None)

        def occurrence(d):
            if zone is None or not isinstance(d, dt.datetime) or not e["recurring"]:
                return text(d)
            if d.tzinfo is not None and fmt_utc(d) in e.get("moved", ()):
                return text(d)
            return fmt_utc(localize(d.astimezone(zone).replace(tzinfo=None) + shift, local))
        e["start"], e["end"] = text(e["start"]), text(e["end"])
        e["occurrences"] = [o for o in map(occurrence, e["occurrences"]) if in_window(o)]
        e["ignored"] = [o for o in map(occurrence, e.get("ignored", [])) if in_window(o)]
    return events


def store_expectation(mireo, env, local):
    masters = json.loads(run([mireo, "store", "dump", "Calendar"], env))
    restrict = "[Start] >= '11/1/2026 12:00 AM' And [Start] < '1/1/2029 12:00 AM'"
    found = json.loads(run([mireo, "store", "find", "Calendar", "--restrict", restrict, "--include-recurrences",
                            "--sort", "Start"], env))

    def when(item, key):
        t = dt.datetime.fromisoformat(item[key])
        return t.strftime("%Y%m%d") if item.get("AllDayEvent") else fmt_utc(t.replace(tzinfo=local))
    events = collections.Counter((m.get("Subject", ""), bool(m.get("AllDayEvent")), when(m, "Start"), when(m, "End"))
                                 for m in masters)
    occurrences = collections.Counter(o for o in (when(f, "Start") for f in found) if in_window(o))
    return events, occurrences


def compare(name, events, want_events, want_occ, problems, skip_series=()):
    got = collections.Counter((e["summary"], e["all_day"], e["start"], e["end"]) for e in events)
    if got != want_events:
        problems.append(f"{name}: events differ\n  missing {sorted((want_events - got).elements())}\n"
                        f"  extra {sorted((got - want_events).elements())}")
    occ = collections.Counter(o for e in events if e["summary"] not in skip_series for o in e["occurrences"])
    if occ != want_occ:
        problems.append(f"{name}: occurrences differ\n  missing {sorted((want_occ - occ).elements())}\n"
                        f"  extra {sorted((occ - want_occ).elements())}")


def compare_vcal(name, events, want_events, want_occ, local, problems):
    """vCalendar writes all-day events with times, and libical's vCalendar reader takes
    a backslash as an escape and neither the second rule of a yearly pair nor "5+"."""
    def timed(day):
        return fmt_utc(localize(dt.datetime.strptime(day, "%Y%m%d"), local)) if len(day) == 8 else day
    want = collections.Counter({(s.replace("\\", ""), False, timed(a), timed(b)): n
                                for (s, _, a, b), n in want_events.items()})
    for e in events:
        e["summary"] = e["summary"].replace("\\", "")
    skipped = {e["summary"] for e in events if re.search(r"^Y[MD]\d+ .* (MP|MD)|\b5\+", e["vcal_rule"])}
    # Their occurrences as the store has them: those the iCalendar export gave, which
    # equal the store's.
    occ_want = collections.Counter({timed(o): n for o, n in want_occ.items()})
    for summary in skipped:
        occ_want -= collections.Counter(timed(o) for o in OCCURRENCES_BY_SUMMARY.get(summary, []))
    # The reader leaves EXDATE out ("ERROR: No Value"): the deleted occurrences and the
    # moved ones' old times come back.
    occ_want += collections.Counter(o for e in events if e["summary"] not in skipped for o in e["ignored"])
    compare(name, events, want, occ_want, problems, skipped)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("mireo")
    ap.add_argument("libical")
    ap.add_argument("events")
    ap.add_argument("work")
    ap.add_argument("--tz", default="Europe/Berlin")
    a = ap.parse_args()
    global LOCAL
    local = LOCAL = zoneinfo.ZoneInfo(a.tz)
    work = os.path.abspath(a.work)
    subprocess.run(["rm", "-rf", work])
    os.makedirs(work)
    env = dict(os.environ, TZ=a.tz, MIREO_STORE=f"{work}/store.db", MIREO_REGISTRY=f"{work}/registry.reg",
               MIREO_LOG=f"{work}/mireo.log")
    run([a.mireo, "store", "add", "Calendar", a.events], env)
    want_events, want_occ = store_expectation(a.mireo, env, local)

    problems = []
    checked = 0
    zones_by_summary = {}
    for fmt in ("ical", "vcal"):
        for mode in ("--one-file", "--file-per-event"):
            out = f"{work}/{fmt}{mode}"
            os.makedirs(out)
            run([a.mireo, "export-events", "--to", out, "--format", fmt, mode, "--export-all", "--encoding", "UTF-8",
                 "--overwrite"], env)
            files = sorted(glob.glob(f"{out}/*"))
            readers = [("libical", lambda p: read_libical(a.libical, p, zones_by_summary))]
            if fmt == "ical":
                readers.insert(0, ("python-icalendar", lambda p: read_pyicalendar(p, local)))
            for reader, read in readers:
                events = [e for f in files for e in read(f)]
                if fmt == "ical" and reader == "python-icalendar":
                    zones_by_summary.update((e["summary"], e["zone"]) for e in events if e["zone"] is not None)
                events = to_store_model(events, local)
                if fmt == "ical" and reader == "python-icalendar" and mode == "--one-file":
                    for e in events:
                        OCCURRENCES_BY_SUMMARY.setdefault(e["summary"], []).extend(e["occurrences"])
                if fmt == "vcal":
                    compare_vcal(f"{fmt} {mode} by {reader}", events, want_events, want_occ, local, problems)
                else:
                    compare(f"{fmt} {mode} by {reader}", events, want_events, want_occ, problems)
                checked += 1
    for p in problems:
        print(p)
    print(f"{checked} exports compared, {len(problems)} differences "
          f"({sum(want_occ.values())} occurrences of {sum(want_events.values())} events)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
