#!/usr/bin/env python3
"""Reads the VTIMEZONE blocks Mireo writes with dateutil's own VTIMEZONE reader
(dateutil.tz.tzical) and checks every sample of vtimezone_samples against it: the
local time of each UTC time, and the UTC time of each local time that exists.

usage: vtimezone_oracle.py VTIMEZONE_SAMPLES_PROGRAM SCRATCH_DIR
Exit 77 when dateutil is not installed."""
import datetime
import os
import subprocess
import sys

try:
    from dateutil import tz
except ImportError:
    print("python3-dateutil is not installed")
    sys.exit(77)


def parse(text):
    utc = text.endswith('Z')
    d = datetime.datetime.strptime(text.rstrip('Z'), '%Y%m%dT%H%M%S')
    return d.replace(tzinfo=datetime.timezone.utc) if utc else d


def main():
    program, scratch = sys.argv[1], sys.argv[2]
    os.makedirs(scratch, exist_ok=True)
    registry = os.path.join(scratch, 'registry.reg')
    if os.path.exists(registry):
        os.remove(registry)
    calendar = os.path.join(scratch, 'zones.ics')
    samples = os.path.join(scratch, 'samples.txt')
    subprocess.run([program, registry, calendar, samples], check=True)

    with open(calendar, encoding='utf-8', newline='') as f:
        zones = tz.tzical(f)
    failures = []
    checked = 0
    with open(samples, encoding='utf-8') as f:
        for line in f:
            name, utc_text, local_text, back_text = line.rstrip('\n').split('\t')
            zone = zones.get(name)
            utc, local, back = parse(utc_text), parse(local_text), parse(back_text)
            want_local = utc.astimezone(zone).replace(tzinfo=None)
            if want_local != local:
                failures.append('%s: %s is %s there, dateutil says %s' % (name, utc_text, local_text, want_local))
            aware = local.replace(tzinfo=zone)
            if tz.datetime_exists(aware):
                want_back = aware.astimezone(datetime.timezone.utc)
                if want_back != back:
                    failures.append('%s: local %s is %s, dateutil says %s' % (name, local_text, back_text, want_back))
            checked += 1
    print('%d samples of %d zones checked' % (checked, len(zones.keys())))
    for f in failures[:40]:
        print(f)
    if failures:
        print('%d differences' % len(failures))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
