#!/usr/bin/python3
"""Reads the sample cards of the vCard writer with python3-vobject and compares every
field with what the contact held.

Usage: vobject_check.py SAMPLES_TOOL   (runs the tool into a temporary folder)
       vobject_check.py --folder DIR   (cards already written)
Prints the parsed fields of each card as JSON. Exit 0 all equal, 1 a difference,
77 python3-vobject is missing (the test is skipped)."""
import glob
import json
import os
import subprocess
import sys
import tempfile

try:
    import vobject
except ImportError:
    print("python3-vobject is not installed: skipped")
    sys.exit(77)

sys.dont_write_bytecode = True  # no cache of the shared helpers in the source tree
from vobject_support import breaks, text, types  # noqa: E402

KNOWN = {"VERSION", "PRODID", "N", "FN", "NICKNAME", "ORG", "TITLE", "NOTE", "TEL", "ADR", "URL", "ROLE",
         "BDAY", "EMAIL", "CATEGORIES", "REV", "CLASS"}


def first(card, name):
    lines = card.contents.get(name, [])
    return text(lines[0].value) if lines else None


def fields(card):
    n = card.contents["n"][0].value
    org = card.contents.get("org", [])
    x = {}
    cls = first(card, "class")
    unknown = []
    for name, lines in card.contents.items():
        upper = name.upper()
        if upper == "X-OUTL-CLASS":
            cls = text(lines[0].value)
        elif upper.startswith("X-"):
            x[upper] = text(lines[0].value)
        elif upper not in KNOWN:
            unknown.append(upper)
    cats = None
    if "categories" in card.contents:
        cats = []
        for line in card.contents["categories"]:
            cats.extend(line.value if isinstance(line.value, list) else [line.value])
    return {
        "version": first(card, "version"),
        "n": [text(n.family), text(n.given), text(n.additional), text(n.prefix), text(n.suffix)],
        "fn": first(card, "fn"),
        "nickname": first(card, "nickname"),
        "org": [text(p) for p in org[0].value] if org else None,
        "title": first(card, "title"),
        "note": first(card, "note"),
        "tels": [{"value": text(l.value), "types": types(l)} for l in card.contents.get("tel", [])],
        "adrs": [{"types": types(l),
                  "components": [text(l.value.box), text(l.value.extended), text(l.value.street),
                                 text(l.value.city), text(l.value.region), text(l.value.code),
                                 text(l.value.country)]}
                 for l in card.contents.get("adr", [])],
        "urls": [{"value": text(l.value), "types": types(l)} for l in card.contents.get("url", [])],
        "role": first(card, "role"),
        "bday": first(card, "bday"),
        "emails": [{"value": text(l.value), "types": types(l)} for l in card.contents.get("email", [])],
        "x": x,
        "categories": cats,
        "rev": first(card, "rev"),
        "class": cls,
        "unknown": unknown,
    }


def check(folder):
    failures = 0
    files = sorted(glob.glob(os.path.join(folder, "*.vcf")))
    if not files:
        print("no sample cards in", folder)
        return 1
    for path in files:
        raw = open(path, "rb").read()
        cards = list(vobject.readComponents(raw.decode("utf-8"), allowQP=True))
        want = json.load(open(path[:-4] + ".json", encoding="utf-8"))
        want["unknown"] = []
        got = fields(cards[0]) if len(cards) == 1 else {"cards": len(cards)}
        print(os.path.basename(path), json.dumps(got, ensure_ascii=False))
        for key in sorted(set(want) | set(got)):
            a, b = breaks(got.get(key)), breaks(want.get(key))
            if a != b:
                failures += 1
                print(f"  MISMATCH {key}:\n    parsed:   {a!r}\n    expected: {b!r}")
    print(f"{len(files)} cards, {failures} differences")
    return 1 if failures else 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--folder":
        return check(sys.argv[2])
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    with tempfile.TemporaryDirectory(prefix="mireo_vcard_") as folder:
        subprocess.run([sys.argv[1], folder], check=True)
        return check(folder)


if __name__ == "__main__":
    sys.exit(main())
