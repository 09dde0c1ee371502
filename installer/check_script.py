#!/usr/bin/env python3
"""Holds the installer's script to the add-in it installs:
    check_script.py installer/mireo.nsi addin/win32/com_server.h

- the host's add-in list entry is HKCU Software\\Microsoft\\Office\\Outlook\\Addins\\
  <the server's version-independent ProgID, as registration writes it>, with
  LoadBehavior 3 (a DWORD), a FriendlyName and a Description;
- the uninstaller deletes exactly that key;
- the server is registered (RegDLL) from the installed Mireo.dll and unregistered
  (UnRegDLL) before the uninstaller deletes the file;
- the add-in's files are installed (Mireo.dll, LibKelvo.dll, supportedEncodings.txt,
  the help pages) and every installed file is deleted again.
Prints what it checked; exit status 1 with the first failure."""
import re
import sys


def defines(text):
    out = {}
    for m in re.finditer(r'^\s*!define\s+(\w+)\s+"([^"]*)"', text, re.M):
        out[m.group(1)] = m.group(2)
    return out


def expand(value, table):
    for _ in range(5):
        value = re.sub(r"\$\{(\w+)\}", lambda m: table.get(m.group(1), m.group(0)), value)
    return value


def section(text, name):
    m = re.search(r'^Section\s+"%s"(.*?)^SectionEnd' % re.escape(name), text, re.M | re.S)
    if not m:
        raise SystemExit('no section "%s"' % name)
    return m.group(1)


def commands(body, table):
    """Each command line as (command, [arguments]) with the defines expanded."""
    out = []
    for line in body.splitlines():
        line = line.split(";", 1)[0].strip()
        if not line:
            continue
        args = [expand(a[1:-1] if a[:1] in "\"'" else a, table)
                for a in re.findall(r'"[^"]*"|\'[^\']*\'|\S+', line)]
        out.append((args[0], args[1:]))
    return out


def main():
    nsi_path, header_path = sys.argv[1], sys.argv[2]
    nsi = open(nsi_path, encoding="utf-8").read()
    header = open(header_path, encoding="utf-8").read()
    m = re.search(r'kVersionIndependentProgId\s*=\s*L"([^"]+)"', header)
    if not m:
        raise SystemExit("no version-independent ProgID in " + header_path)
    prog_id = m.group(1)
    table = defines(nsi)
    install = commands(section(nsi, "Mireo"), table)
    uninstall = commands(section(nsi, "Uninstall"), table)
    key = "Software\\Microsoft\\Office\\Outlook\\Addins\\" + prog_id
    failures = []

    def need(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    written = {(c, a[1], a[2]): a[3] if len(a) > 3 else None for c, a in install
               if c in ("WriteRegDWORD", "WriteRegStr") and a[0] == "HKCU"}
    need(written.get(("WriteRegDWORD", key, "LoadBehavior")) == "3", "HKCU\\%s LoadBehavior = 3 (DWORD)" % key)
    need(bool(written.get(("WriteRegStr", key, "FriendlyName"))), "HKCU\\%s FriendlyName" % key)
    need(bool(written.get(("WriteRegStr", key, "Description"))), "HKCU\\%s Description" % key)
    other_keys = {k for (_, k, _) in written if k != key}
    need(not other_keys, "no other HKCU key written (%s)" % ", ".join(sorted(other_keys)))
    deleted = [a[1] for c, a in uninstall if c == "DeleteRegKey" and a[0] == "HKCU"]
    need(deleted == [key], "the uninstaller deletes HKCU\\" + key)

    need(("RegDLL", ["$INSTDIR\\Mireo.dll"]) in install, "RegDLL $INSTDIR\\Mireo.dll")
    order = [c for c, a in uninstall if (c, a) in (("UnRegDLL", ["$INSTDIR\\Mireo.dll"]),
                                                   ("Delete", ["$INSTDIR\\Mireo.dll"]))]
    need(order == ["UnRegDLL", "Delete"], "UnRegDLL $INSTDIR\\Mireo.dll before the file is deleted")

    installed = []
    out_path = None
    for c, a in install:
        if c == "SetOutPath":
            out_path = a[0]
        elif c == "File":
            installed.append(out_path + "\\" + a[0].replace("/", "\\").split("\\")[-1])
    for name in ("Mireo.dll", "LibKelvo.dll", "supportedEncodings.txt"):
        need("$INSTDIR\\" + name in installed, "installs " + name)
    need("$INSTDIR\\help\\*.htm" in installed, "installs the help pages")
    removed = {a[0] for c, a in uninstall if c == "Delete"}
    for path in installed:
        need(path in removed, "the uninstaller deletes " + path)
    if failures:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
