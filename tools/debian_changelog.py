#!/usr/bin/env python3
"""Writes the Debian changelog of the packages (gzip -9n) from CHANGELOG.md: the entry of the
newest released version, its bullets wrapped to 80 columns under their section. Only the newest:
CHANGELOG.md dates its versions by the day, and several were released on one day, which a Debian
changelog's dated entries cannot tell apart; the whole history stays in CHANGELOG.md.

Usage: debian_changelog.py CHANGELOG.md "NAME <MAIL>" OUTPUT.gz
"""
import datetime
import gzip
import re
import sys
import textwrap


def entries(markdown):
    """(version, date, [(section, [bullet text])]) for each released version, in file order."""
    found = []
    current = None
    for line in markdown.splitlines():
        heading = re.match(r"^## \[(\d+\.\d+\.\d+)\] - (\d{4}-\d{2}-\d{2})$", line)
        if heading:
            current = (heading.group(1), heading.group(2), [])
            found.append(current)
        elif line.startswith("## "):
            current = None  # [Unreleased]: not in a package yet
        elif current is None:
            continue
        elif line.startswith("### "):
            current[2].append((line[4:].strip(), []))
        elif line.startswith("- "):
            if not current[2]:
                current[2].append(("Changes", []))
            current[2][-1][1].append(line[2:].strip())
        elif line.startswith("  ") and current[2] and current[2][-1][1]:
            current[2][-1][1][-1] += " " + line.strip()
    return found


def render(found, maintainer):
    out = []
    for version, date, sections in found:
        out.append(f"ansicrypt ({version}) unstable; urgency=medium\n")
        for section, bullets in sections:
            out.append(f"  [ {section} ]")
            for bullet in bullets:
                out.extend(textwrap.wrap(bullet, 80, initial_indent="  * ",
                                         subsequent_indent="    ", break_on_hyphens=False))
        day = datetime.datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
        out.append(f"\n -- {maintainer}  {day.strftime('%a, %d %b %Y %H:%M:%S +0000')}\n")
    return "\n".join(out)


def main():
    source, maintainer, output = sys.argv[1:4]
    with open(source, encoding="utf-8") as f:
        found = entries(f.read())
    if not found:
        sys.exit(f"debian_changelog.py: no released version in {source}")
    newest = found[0]
    newest[2].append(("History", ["Every earlier version: CHANGELOG.md in the source, and in "
                                  "/usr/share/doc/ansicrypt in the ansicrypt package."]))
    found = [newest]
    # No name and no time in the gzip header, so that the package is the same at every build.
    with open(output, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=raw, mtime=0) as z:
            z.write(render(found, maintainer).encode("utf-8"))


if __name__ == "__main__":
    main()
