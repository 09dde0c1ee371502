"""What the two python3-vobject checks (vobject_check.py, export_oracle.py) read
cards with: values joined back to text, line breaks made comparable, a line's types."""


def text(v):
    """vobject gives a list where the value had separators; join back."""
    if isinstance(v, list):
        return ",".join(text(x) for x in v)
    return str(v)


def breaks(v):
    """Line breaks compared as LF: 2.1 carries CR LF, 3.0 "\\n"."""
    if isinstance(v, str):
        return v.replace("\r\n", "\n").replace("\r", "\n")
    if isinstance(v, list):
        return [breaks(x) for x in v]
    if isinstance(v, dict):
        return {k: breaks(x) for k, x in v.items()}
    return v


def types(line):
    """The TYPE parameters and bare parameters of a line, upper case, sorted, without
    QUOTED-PRINTABLE."""
    t = []
    for k, v in line.params.items():
        if k == "TYPE":
            for x in v:
                t.extend(s.upper() for s in x.split(","))
    t.extend(s.upper() for s in line.singletonparams)
    return sorted(set(t) - {"QUOTED-PRINTABLE"})
