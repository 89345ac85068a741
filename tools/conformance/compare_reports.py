#!/usr/bin/env python3
"""Compares two window reports of the same program state, control by control.

  compare_reports.py KNOWN STATE REPORT_A REPORT_B [--names A,B]

A report is what `ui report` (the bench, winsim) and `uidump TITLE report`
(Windows or Wine) print: `control`, `item`, `focus` and `rect` lines. Each
difference
becomes one line

  STATE KIND PATH FIELD: A=VALUE B=VALUE

which must match a pattern (shell-style, `fnmatch`) of the file KNOWN, whose
entries read `PATTERN | REASON`; `normalize REGEX => REPLACEMENT | REASON`
entries rewrite the texts of both reports before they are compared. Every
difference no entry explains is printed; then the exit status is 1.
"""
import fnmatch
import re
import sys


def parse_known(path):
    patterns, rewrites = [], []
    with open(path, encoding="utf-8") as known:
        for number, line in enumerate(known, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            entry, separator, reason = line.rpartition(" | ")
            if not separator or not reason.strip() or not entry.strip():
                sys.exit(f"{path}:{number}: an entry is `PATTERN | REASON`")
            if entry.startswith("normalize "):
                regex, arrow, replacement = entry[len("normalize "):].partition(" => ")
                if not arrow:
                    sys.exit(f"{path}:{number}: normalize REGEX => REPLACEMENT")
                rewrites.append((re.compile(regex), replacement))
            else:
                patterns.append([entry, 0])
    return patterns, rewrites


WORD = re.compile(r'"(?:[^"\\]|\\.)*"|\S+')


def words(line):
    """Splits a report line; quoted texts stay whole, escapes and all."""
    return WORD.findall(line)


def parse_report(path, rewrites):
    """{key: {field: value}} with keys in report order; a PATH that occurs
    more than once (the id -1 of unnamed statics) is numbered: PATH#N."""
    entries, seen = {}, {}
    with open(path, encoding="latin-1") as report:
        for line in report:
            parts = words(line.strip())
            if not parts or parts[0] not in ("control", "item", "focus", "rect"):
                continue
            kind, name = parts[0], parts[1]
            fields = {}
            if kind == "focus":
                # One per report: the control with the keyboard focus.
                name = "window"
                fields["control"] = parts[1]
                fields["active"] = "active" if "active" in parts[2:] else "-"
            elif kind == "control":
                fields["class"] = parts[2]
                fields["text"] = parts[3]
                flags = parts[4:]
                fields["visible"] = flags[0]
                fields["enabled"] = flags[1]
                fields["checked"] = "checked" if "checked" in flags else "-"
                for flag in flags:
                    if "=" in flag:
                        key, value = flag.split("=", 1)
                        fields[key] = value
                fields.setdefault("sel", "-")
                fields.setdefault("items", "-")
            elif kind == "item":
                name = f"{name} {parts[2]}"
                fields["text"] = parts[3]
                fields["flags"] = " ".join(parts[4:]) or "-"
            else:
                fields["rect"] = " ".join(parts[2:])
            if "text" in fields:
                for regex, replacement in rewrites:
                    fields["text"] = regex.sub(replacement, fields["text"])
            counted = (kind, name)
            seen[counted] = seen.get(counted, 0) + 1
            key = (kind, name if seen[counted] == 1 else f"{name}#{seen[counted]}")
            entries[key] = fields
    return entries


def differences(state, first, second, names):
    a, b = names
    found = []
    for key in list(first) + [k for k in second if k not in first]:
        kind, name = key
        if key not in first or key not in second:
            side = b if key not in first else a
            found.append(f"{state} {kind} {name} present: only in {side}")
            continue
        for field, value in first[key].items():
            other = second[key].get(field, "-")
            if value != other:
                found.append(f"{state} {kind} {name} {field}: {a}={value} {b}={other}")
    return found


def main():
    args = sys.argv[1:]
    names = ("winsim", "wine")
    if len(args) == 6 and args[4] == "--names":
        names = tuple(args[5].split(",", 1))
        args = args[:4]
    if len(args) != 4:
        sys.exit(__doc__)
    known, state, first, second = args
    patterns, rewrites = parse_known(known)
    unexplained = []
    for line in differences(state, parse_report(first, rewrites), parse_report(second, rewrites), names):
        match = next((p for p in patterns if fnmatch.fnmatchcase(line, p[0])), None)
        if match is None:
            unexplained.append(line)
        else:
            match[1] += 1
            print(f"known: {line}")
    for line in unexplained:
        print(f"DIFFERENT: {line}")
    print(f"conformance {state}: {len(unexplained)} unexplained differences")
    return 1 if unexplained else 0


if __name__ == "__main__":
    sys.exit(main())
