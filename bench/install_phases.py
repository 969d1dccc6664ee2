#!/usr/bin/env python3
"""Where the time of one silent install inside a package went, from its logs.

install_phases.py START END LOG_FILE...

START and END are the run's start and end (seconds since the epoch, as
date +%s.%N prints them); the log files are the installer logs of that one
run, in which the front end and its backend may share a file. Prints one
line per phase, from one landmark line to the next, in milliseconds. The
logs' clock is the local time of the same machine.
"""

import datetime
import re
import sys

LINE = re.compile(
    r"\[(\d+):\d+:(\d\d)(\d\d)/(\d\d)(\d\d)(\d\d)\.(\d+):\w+:[^\]]*\] (.*)")


def read_lines(paths, year):
    """[(seconds, pid, message)] of every log line, in time order."""
    lines = []
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            for text in f:
                m = LINE.match(text)
                if not m:
                    continue
                pid, month, day, hour, minute, second, millis, message = (
                    m.groups())
                when = datetime.datetime(year, int(month), int(day), int(hour),
                                         int(minute), int(second),
                                         int(millis.ljust(6, "0")[:6]))
                lines.append((when.timestamp(), pid, message))
    lines.sort(key=lambda line: line[0])
    return lines


def by_role(lines):
    """{"front end": [...], "backend": [...]}: the lines of each process,
    told apart by the command line each logs first."""
    roles = {}
    for _, pid, message in lines:
        if message.startswith("Command line: "):
            role = "backend" if " --backend" in message else "front end"
            roles.setdefault(role, pid)
    return {role: [line for line in lines if line[1] == pid]
            for role, pid in roles.items()}


def first(lines, text):
    for when, _, message in lines:
        if message.startswith(text):
            return when
    return None


def main():
    start, end = float(sys.argv[1]), float(sys.argv[2])
    year = datetime.datetime.fromtimestamp(start).year
    logs = by_role(read_lines(sys.argv[3:], year))
    front = logs.get("front end")
    back = logs.get("backend")
    if not front or not back:
        print("  (the logs of the run are incomplete)")
        return
    landmarks = [
        ("front end start (with its crash reporter)", start),
        ("front end up to the backend's launch", front[0][0]),
        ("backend start (with its crash reporter)",
         first(front, "launching installer backend")),
        ("backend up to the first file copied", back[0][0]),
        ("copy steps", first(back, "Copying file ")),
        ("steps after the copy, to the backend's end",
         first(back, "Done copying files")),
        ("front end after the backend's end", back[-1][0]),
        ("front end exit", front[-1][0]),
        (None, end),
    ]
    previous = None
    for label, when in landmarks:
        if when is None:
            continue
        if previous is not None:
            print("  %-44s %5.0f ms" % (previous[0],
                                         1000 * (when - previous[1])))
        previous = (label, when)
    print("  %-44s %5.0f ms" % ("whole install", 1000 * (end - start)))


if __name__ == "__main__":
    main()
