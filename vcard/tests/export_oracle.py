#!/usr/bin/python3
"""Exports the sample contacts through the contact export run and reads the cards back
with python3-vobject: every field must equal what the store holds.

Usage: export_oracle.py EXPORT_TOOL CONTACTS.json
The tool writes <21|30>-<charset>/Contacts.vcf into a temporary folder (one card per
contact, in the order of the JSON file). Windows-1252 values are compared with the
store's text as that code page can hold it (a missing character becomes "?").
Exit 0 all equal, 1 a difference, 77 python3-vobject is missing (the test is skipped)."""
import io
import json
import os
import subprocess
import sys
import tempfile

try:
    import vobject
    import vobject.base
except ImportError:
    print("python3-vobject is not installed: skipped")
    sys.exit(77)

sys.dont_write_bytecode = True  # no cache of the shared helpers in the source tree
from vobject_support import breaks, text, types  # noqa: E402

SEPARATOR = ";"  # the list separator the tool exports with
CODECS = {"UTF-8": "utf-8", "windows-1252": "cp1252"}

TELS = [
    ("BusinessTelephoneNumber", ["WORK"]), ("Business2TelephoneNumber", ["WORK"]),
    ("BusinessFaxNumber", ["FAX", "WORK"]), ("HomeTelephoneNumber", ["HOME"]),
    ("Home2TelephoneNumber", ["HOME"]), ("HomeFaxNumber", ["FAX", "HOME"]),
    ("MobileTelephoneNumber", ["CELL"]), ("CarTelephoneNumber", ["CAR"]),
    ("OtherTelephoneNumber", ["VOICE"]), ("OtherFaxNumber", ["FAX"]), ("PagerNumber", ["PAGER"]),
    ("ISDNNumber", ["ISDN"]), ("PrimaryTelephoneNumber", ["PREF"]),
]
ADRS = [
    ("WORK", "Business", True), ("HOME", "Home", False), ("POSTAL", "Other", False),
]
XS = [
    ("X-OUTL-MANAGERNAME", "ManagerName"), ("X-OUTL-ASSISTANTNAME", "AssistantName"),
    ("X-OUTL-SPOUSE", "Spouse"), ("X-OUTL-NMSERVER", "NetMeetingServer"),
    ("X-OUTL-NMALIAS", "NetMeetingAlias"), ("X-OUTL-IFBADDRESS", "InternetFreeBusyAddress"),
]


def parsed(card, version):
    c = card.contents
    n = c["n"][0].value
    got = {
        "N": [text(n.family), text(n.given), text(n.additional), text(n.prefix), text(n.suffix)],
        "FN": text(c["fn"][0].value),
        "NICKNAME": text(c["nickname"][0].value) if "nickname" in c else "",
        "ORG": [text(p) for p in c["org"][0].value] if "org" in c else [],
        "TITLE": text(c["title"][0].value) if "title" in c else "",
        "NOTE": text(c["note"][0].value) if "note" in c else "",
        "ROLE": text(c["role"][0].value) if "role" in c else "",
        "BDAY": text(c["bday"][0].value) if "bday" in c else "",
        "TEL": [{"value": text(l.value), "types": types(l)} for l in c.get("tel", [])],
        "ADR": [{"types": types(l), "components": [text(l.value.box), text(l.value.extended), text(l.value.street),
                                                   text(l.value.city), text(l.value.region), text(l.value.code),
                                                   text(l.value.country)]} for l in c.get("adr", [])],
        "URL": [{"value": text(l.value), "types": types(l)} for l in c.get("url", [])],
        "EMAIL": [{"value": text(l.value), "types": types(l)} for l in c.get("email", [])],
    }
    for name, _ in XS + [("X-OUTL-ANNIVERSARY", None), ("X-OUTL-IMADDRESS", None)]:
        key = name.lower()
        got[name] = text(c[key][0].value) if key in c else None
    if version == "30":
        cats = []
        for line in c.get("categories", []):
            cats.extend(line.value if isinstance(line.value, list) else [line.value])
        got["CATEGORIES"] = ",".join(cats)
        got["CLASS"] = text(c["class"][0].value) if "class" in c else None
    else:
        got["CATEGORIES"] = text(c["x-outl-categories"][0].value) if "x-outl-categories" in c else None
        got["CLASS"] = text(c["x-outl-class"][0].value) if "x-outl-class" in c else None
    return got


def expected(contact, version, codec):
    def v(key):
        s = contact.get(key, "")
        # What the chosen code page can hold of the store's text.
        return s.encode(codec, errors="replace").decode(codec)

    def date(key):
        s = contact.get(key)
        return s[0:4] + s[5:7] + s[8:10] if s else ""

    first, middle, last, suffix = v("FirstName"), v("MiddleName"), v("LastName"), v("Suffix")
    want = {
        "N": [last, first, middle, v("Title"), suffix],
        # Without name parts: the full name, else the file-as name (a company's by default).
        "FN": " ".join(p for p in (first, middle, last, suffix) if p)
        or v("FullName") or v("FileAs") or v("CompanyName"),
        "NICKNAME": v("NickName"),
        "ORG": ([v("CompanyName")] + ([v("Department")] if v("Department") else []))
        if v("CompanyName") or v("Department") else [],
        "TITLE": v("JobTitle"),
        "NOTE": v("Body"),
        "ROLE": v("Profession"),
        "BDAY": date("Birthday"),
        "TEL": [{"value": v(k), "types": sorted(t)} for k, t in TELS if v(k)],
        "ADR": [],
        "URL": [{"value": v(k), "types": [t]} for k, t in (("PersonalHomePage", "HOME"), ("BusinessHomePage", "WORK"))
                if v(k)],
        "EMAIL": [],
        "X-OUTL-ANNIVERSARY": date("Anniversary") or None,
        "X-OUTL-IMADDRESS": v("IMAddress"),  # always written for the host versions after 9
    }
    for kind, prefix, office in ADRS:
        parts = [v(prefix + "AddressPostOfficeBox"), v("OfficeLocation") if office else "",
                 v(prefix + "AddressStreet"), v(prefix + "AddressCity"), v(prefix + "AddressState"),
                 v(prefix + "AddressPostalCode"), v(prefix + "AddressCountry")]
        if any(parts):
            want["ADR"].append({"types": [kind], "components": parts})
    for i in (1, 2, 3):
        address = v("Email%dAddress" % i)
        if address:
            t = ["INTERNET"]  # the store gives SMTP as the type of an address
            if i == 1:
                t.append("PREF")
            want["EMAIL"].append({"value": address, "types": sorted(t)})
    for name, key in XS:
        want[name] = v(key) or None
    cats = v("Categories")
    if version == "30":  # a list: the names between the separators, trimmed
        cats = ",".join(n.strip() for n in cats.split(SEPARATOR) if n.strip())
    want["CATEGORIES"] = cats
    sensitivity = contact.get("Sensitivity", 0)
    want["CLASS"] = {2: "PRIVATE", 3: "CONFIDENTIAL"}.get(sensitivity)
    return want


class Line21:
    """A content line as vobject's line grammar gives it (parameters, quoted-printable
    and CHARSET decoded), without the vCard 3.0 text unescaping its card reader applies
    to every version: 2.1 text values carry no backslash escapes."""

    def __init__(self, line):
        self.params = line.params
        self.singletonparams = line.singletonparams
        self.raw = line.value


def split_compound(value):
    """2.1 compound values: split at ";" not escaped; "\\;" is a ";" and "\\\\" a backslash,
    undone in one pass."""
    parts, cur, i = [], "", 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value) and value[i + 1] in ";\\":
            cur += value[i + 1]
            i += 2
            continue
        if value[i] == ";":
            parts.append(cur)
            cur = ""
        else:
            cur += value[i]
        i += 1
    parts.append(cur)
    return parts


def cards21(text):
    """The 2.1 cards of a file as {property name: [Line21]}."""
    cards, card = [], None
    for logical, number in vobject.base.getLogicalLines(io.StringIO(text), allowQP=True):
        line = vobject.base.textLineToContentLine(logical, number)
        name = line.name.upper()
        if name == "BEGIN":
            card = {}
        elif name == "END":
            cards.append(card)
            card = None
        elif card is not None:
            card.setdefault(name, []).append(Line21(line))
    return cards


def parsed21(card):
    def one(name):
        return card[name][0].raw if name in card else ""

    def opt(name):
        return card[name][0].raw if name in card else None

    n = split_compound(one("N"))
    got = {
        "N": (n + [""] * 5)[:5],
        "FN": one("FN"),
        "NICKNAME": one("NICKNAME"),
        "ORG": split_compound(one("ORG")) if "ORG" in card else [],
        "TITLE": one("TITLE"),
        "NOTE": one("NOTE"),
        "ROLE": one("ROLE"),
        "BDAY": one("BDAY"),
        "TEL": [{"value": l.raw, "types": types(l)} for l in card.get("TEL", [])],
        "ADR": [{"types": types(l), "components": split_compound(l.raw)} for l in card.get("ADR", [])],
        "URL": [{"value": l.raw, "types": types(l)} for l in card.get("URL", [])],
        "EMAIL": [{"value": l.raw, "types": types(l)} for l in card.get("EMAIL", [])],
        "CATEGORIES": opt("X-OUTL-CATEGORIES"),
        "CLASS": opt("X-OUTL-CLASS"),
    }
    for name, _ in XS + [("X-OUTL-ANNIVERSARY", None), ("X-OUTL-IMADDRESS", None)]:
        got[name] = opt(name)
    return got


def check(folder, contacts):
    failures = 0
    configs = sorted(os.listdir(folder))
    if len(configs) != 4:
        print("expected four configurations, found", configs)
        return 1
    for config in configs:
        version, charset = config.split("-", 1)
        codec = CODECS[charset]
        raw = open(os.path.join(folder, config, "Contacts.vcf"), "rb").read()
        if version == "21":
            cards = cards21(raw.decode(codec))
        else:
            cards = list(vobject.readComponents(raw.decode(codec), allowQP=True))
        if len(cards) != len(contacts):
            print(f"{config}: {len(cards)} cards for {len(contacts)} contacts")
            failures += 1
            continue
        for i, (card, contact) in enumerate(zip(cards, contacts)):
            got = parsed21(card) if version == "21" else parsed(card, version)
            got, want = breaks(got), breaks(expected(contact, version, codec))
            for key in want:
                if got.get(key) != want[key]:
                    failures += 1
                    print(f"{config} card {i + 1} ({contact.get('LastName', contact.get('FullName'))}) {key}:\n"
                          f"    parsed:   {got.get(key)!r}\n    expected: {want[key]!r}")
        print(f"{config}: {len(cards)} cards checked")
    print(f"{failures} differences")
    return 1 if failures else 0


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    contacts = json.load(open(sys.argv[2], encoding="utf-8"))
    with tempfile.TemporaryDirectory(prefix="mireo_export_oracle_") as folder:
        subprocess.run([sys.argv[1], sys.argv[2], folder], check=True)
        return check(folder, contacts)


if __name__ == "__main__":
    sys.exit(main())
