#!/usr/bin/env python3
"""Checks the recurrence writer's iCalendar lines against python-dateutil.

mireo_rrule_samples makes random series of every pattern type in the substitute host
store, deletes and moves some of their occurrences, and writes each as a VEVENT with the
RRULE, EXDATE and RDATE lines of the recurrence writer, next to the occurrences the store
renders. Here python-icalendar reads the calendar and dateutil expands every event
(rrule, minus EXDATE, plus RDATE); both lists must be equal.

One difference is the format's, not the writer's: the host puts a monthly or yearly
occurrence on day 29..31 on the month's last day when the month is shorter, while
BYMONTHDAY skips such months. For those series the host's extra dates must be exactly
such last days, and dateutil's extra dates must lie after the host's last occurrence
(a count then runs longer).

Exit status 77 when python3-icalendar or python3-dateutil is missing.
"""
import argparse
import calendar
import datetime as dt
import json
import subprocess
import sys

try:
    import icalendar
    from dateutil import rrule
except ImportError as e:  # pragma: no cover
    print(f"skipped: {e}")
    sys.exit(77)

UTC = dt.timezone.utc


def parse_utc(text):
    return dt.datetime.strptime(text, "%Y%m%dT%H%M%SZ").replace(tzinfo=UTC)


def dates_of(prop):
    """The dates of an EXDATE or RDATE property, or of a list of them."""
    if prop is None:
        return []
    props = prop if isinstance(prop, list) else [prop]
    return [d.dt for p in props for d in p.dts]


def expand(event, lo, hi):
    start = event.decoded("DTSTART")
    rules = rrule.rruleset()
    rules.rrule(rrule.rrulestr(event["RRULE"].to_ical().decode(), dtstart=start))
    for d in dates_of(event.get("EXDATE")):
        rules.exdate(d)
    for d in dates_of(event.get("RDATE")):
        rules.rdate(d)
    return set(rules.between(lo, hi, inc=True)), event["RRULE"].to_ical().decode()


def clamped_day(d, offset, day_of_month):
    """Whether d (UTC) falls, in the computer's local time, on the last day of a month
    shorter than day_of_month."""
    local = d + offset
    last = calendar.monthrange(local.year, local.month)[1]
    return local.day == last and last < day_of_month


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("samples")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--count", type=int, default=300)
    a = ap.parse_args()
    out = subprocess.run([a.samples, str(a.seed), str(a.count)], capture_output=True, text=True, check=True).stdout
    data = json.loads(out)
    cal = icalendar.Calendar.from_ical(data["calendar"])
    events = {str(e["UID"]): e for e in cal.walk("VEVENT")}
    failures = clamped = occurrences = 0
    for s in data["series"]:
        offset = dt.timedelta(minutes=s["utcOffsetMinutes"])
        lo = dt.datetime(2000, 1, 1, tzinfo=UTC) - offset
        hi = dt.datetime(2012, 12, 31, 23, 59, tzinfo=UTC) - offset
        host = {parse_utc(t) for t in s["occurrences"]}
        occurrences += len(host)
        got, rule = expand(events[s["uid"]], lo, hi)
        extra_host, extra_rule = host - got, got - host
        if s["type"] in (2, 5) and s["dayOfMonth"] > 28 and (extra_host or extra_rule):
            last = max(host) if host else lo
            if all(clamped_day(d, offset, s["dayOfMonth"]) for d in extra_host) and all(d > last for d in extra_rule):
                clamped += 1
                continue
        if extra_host or extra_rule:
            failures += 1
            ev = events[s["uid"]]
            print(f"{s['uid']}: RRULE:{rule} EXDATE:{dates_of(ev.get('EXDATE'))} RDATE:{dates_of(ev.get('RDATE'))}")
            for d in sorted(extra_host)[:5]:
                print("  only the host:", d)
            for d in sorted(extra_rule)[:5]:
                print("  only dateutil:", d)
    print(f"{len(data['series'])} series, {occurrences} occurrences, "
          f"{clamped} with days past a month's end, {failures} failing")
    return 1 if failures or len(data["series"]) < a.count // 2 else 0


if __name__ == "__main__":
    sys.exit(main())
