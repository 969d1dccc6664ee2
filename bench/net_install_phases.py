#!/usr/bin/env python3
"""Where the time of one net install went, from its log files.

net_install_phases.py LOG_FOLDER

LOG_FOLDER holds the installer logs of one run and a file "times" with the
run's start and end (seconds since the epoch, as date +%s.%N prints them).
Prints one line per phase: from one landmark line of the logs to the next.
The logs' clock is the local time of the same machine.
"""

import datetime
import os
import re
import sys

LINE = re.compile(r"\[\d+:\d+:(\d\d)(\d\d)/(\d\d)(\d\d)(\d\d)\.(\d+):\w+:[^\]]*\] (.*)")


def read_log(path, year):
    lines = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for text in f:
            m = LINE.match(text)
            if not m:
                continue
            month, day, hour, minute, second, millis, message = m.groups()
            when = datetime.datetime(year, int(month), int(day), int(hour),
                                     int(minute), int(second),
                                     int(millis.ljust(6, "0")[:6]))
            lines.append((when.timestamp(), message))
    return lines


def role(lines):
    for _, message in lines[:3]:
        if message.startswith("Command line: "):
            if "--uninstall" in message:
                return None
            if "--wait-for-package" in message:
                return "waiting backend"
            if "--backend" in message:
                return "package backend"
            return "front end"
    return None


def find(lines, text, after=None):
    """The index of the first line from |after| on that starts with |text|."""
    start = 0 if after is None else after
    for index in range(start, len(lines)):
        if lines[index][1].startswith(text):
            return index
    return None


def first(lines, text, after=None):
    index = find(lines, text, after)
    return None if index is None else lines[index][0]


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "times")) as f:
        start, end = (float(x) for x in f.read().split())
    year = datetime.datetime.fromtimestamp(start).year
    logs = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".log"):
            lines = read_log(os.path.join(folder, name), year)
            kind = role(lines)
            if kind:
                logs[kind] = lines
    front = logs.get("front end", [])
    child = logs.get("package backend", [])
    if not front or not child:
        print("  (the logs of the run are incomplete)")
        return
    download = find(front, "Preparing to fetch the installer")
    ready = find(front, "Package ready.")
    if download is None or ready is None:
        print("  (the front end's log shows no package download)")
        return
    landmarks = [
        ("Wine and process start", start),
        ("start-up up to the first request", front[0][0]),
        ("download address", first(front, "Fetching the download URL")),
        ("package download with SHA-256", front[download][0]),
        ("version and stream of the package",
         first(front, "Download completed", download)),
        ("7z payload taken out", first(front, "Downloaded item stream")),
        ("unpacking", first(front, "Unpacking files from archive")),
        ("hand-over to the package's installer", front[ready][0]),
        ("installation by the package's installer", child[0][0]),
        ("front end: backend ended to fetcher end",
         first(front, "The installer backend exited", ready)),
        ("front end: fetcher's clean-up",
         first(front, "Terminating the package fetcher", ready)),
        ("front end: rest, and process exit", front[-1][0]),
        (None, end),
    ]
    previous = None
    for label, when in landmarks:
        if when is None:
            continue
        if previous is not None:
            print("  %-42s %6.2f s" % (previous[0], when - previous[1]))
        previous = (label, when)


if __name__ == "__main__":
    main()
