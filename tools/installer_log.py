#!/usr/bin/env python3
"""Reads the installer's log files for the scripts that run it by hand.

installer_log.py follow LOG_DIR [--logs FILE] [--output FILE]
                 [--timeout SECONDS] -- COMMAND...
    Runs COMMAND (an installer run under Wine) and shows the installer's own
    step progress from the log files it writes into LOG_DIR, as it writes
    them. Exits with COMMAND's exit code. --logs gets the run's log files,
    one per line; --output gets COMMAND's own output.
installer_log.py explain LOG...
    One line per cause of the warnings and errors in the logs, saying why it
    is expected; exits with 1 when a line has no known cause.
installer_log.py errors [--count N] LOG...
    The last lines of the logs that tell why the run failed.
installer_log.py folder LOG...
    The install folder the run settled on.
installer_log.py fetch LOG...
    The package fetcher's lines, with their times: the download-address
    request, the package's download and checks, its unpacking, the
    additional files, the package ready.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

# [pid:tid:MMDD/HHMMSS.mmm:SEVERITY:file(line)] message
LINE_PATTERN = re.compile(
    r"^\[(?P<pid>\d+):(?P<tid>\d+):(?P<time>\d{4}/\d{6}\.\d{3}):"
    r"(?P<severity>[A-Z]+\d*):(?P<source>[^\]]*)\] (?P<message>.*)$")
# A process whose name another file holds adds its process id (and a count).
LOG_NAME_PATTERN = re.compile(r"^[a-z0-9]+_installer_\d{14}(_\d+){0,2}\.log$")
PROBLEM_SEVERITIES = ("WARNING", "ERROR", "FATAL")
INSTALL_FOLDER_SET = "Install folder set: "
FAILURE_WORDS = re.compile(r"invalid|not valid|fail|cannot|can't|could not",
                           re.IGNORECASE)


class LogLine:
    def __init__(self, match):
        self.pid = int(match.group("pid"))
        self.time = match.group("time")
        self.severity = match.group("severity")
        self.source = match.group("source")
        self.message = match.group("message")

    def short(self):
        return "[%s:%s] %s" % (self.severity, self.source, self.message)


def parse_line(text):
    """A LogLine, or None for text that is no whole log line (two processes
    appending to one file can cut each other's lines under Wine)."""
    match = LINE_PATTERN.match(text.rstrip("\r\n"))
    return LogLine(match) if match else None


def read_lines(paths):
    """The log lines of |paths|, in the order of their time stamps."""
    lines = []
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines.extend(filter(None, map(parse_line, f)))
    # A stable sort keeps each process's order within one millisecond.
    return sorted(lines, key=lambda line: line.time)


class LogTail:
    """Follows the log files that appear in a folder after a point in time,
    handing out whole lines only."""

    def __init__(self, folder, since):
        self.folder = folder
        self.since = since
        self.offsets = {}
        self.partial = {}

    def paths(self):
        return sorted(self.offsets)

    def _discover(self):
        try:
            names = os.listdir(self.folder)
        except FileNotFoundError:
            return
        for name in names:
            path = os.path.join(self.folder, name)
            if path in self.offsets or not LOG_NAME_PATTERN.match(name):
                continue
            try:
                if os.stat(path).st_mtime >= self.since:
                    self.offsets[path] = 0
                    self.partial[path] = b""
            except FileNotFoundError:
                pass

    def read(self):
        self._discover()
        lines = []
        for path in self.paths():
            try:
                with open(path, "rb") as f:
                    f.seek(self.offsets[path])
                    data = f.read()
            except FileNotFoundError:
                continue
            self.offsets[path] += len(data)
            data = self.partial[path] + data
            *whole, self.partial[path] = data.split(b"\n")
            for raw in whole:
                line = parse_line(raw.decode("utf-8", errors="replace"))
                if line:
                    lines.append(line)
        return lines


class StepProgress:
    """The installer's steps as its log tells them: the backend logs each
    step it announces to the front end, and the first line it logs after
    that names what the step does."""

    def __init__(self):
        self.total = 0
        self.done = 0
        self.description = ""
        self.outcome = None
        self._awaiting = set()

    def feed(self, line):
        """True when |line| started a step with a description."""
        total = re.match(r"Sending IPC_MESSAGE_TOTAL_STEPS\((\d+)\)",
                         line.message)
        if total:
            self.total = int(total.group(1))
            return False
        if line.message == "Sending IPC_MESSAGE_STEP":
            self.done += 1
            self._awaiting.add(line.pid)
            return False
        if line.message in ("Installation succeeded",
                            "Installation cancelled"):
            self.outcome = line.message
        if line.pid in self._awaiting and line.severity == "INFO":
            self._awaiting.discard(line.pid)
            self.description = line.message
            return True
        return False


def step_group(description):
    """Steps that start with the same two words (copying file after file)
    are one stretch of work on screen."""
    return " ".join(description.split()[:2])


class ProgressView:
    """On a terminal one line follows every step; elsewhere (a file, a CI
    log) each stretch of steps gets a line of its own."""

    def __init__(self, out, is_terminal, width):
        self.out = out
        self.is_terminal = is_terminal
        self.width = width
        self.group = None
        self.open_line = False

    def text(self, progress):
        total = max(progress.total, progress.done)
        percent = 100 * progress.done // total if total else 0
        text = "    [%3d%%] step %d/%d  %s" % (percent, progress.done, total,
                                               progress.description)
        if len(text) >= self.width:
            text = text[:self.width - 4] + "..."
        return text

    def step(self, progress):
        if self.is_terminal:
            self.out.write("\r\033[K" + self.text(progress))
            self.open_line = True
        else:
            group = step_group(progress.description)
            if group == self.group:
                return
            self.out.write(self.text(progress) + "\n")
            self.group = group
        self.out.flush()

    def finish(self):
        if self.open_line:
            self.out.write("\n")
            self.out.flush()
        self.open_line = False


def follow(args):
    since = time.time()
    output = open(args.output, "ab") if args.output else None
    try:
        process = subprocess.Popen(args.command, stdin=subprocess.DEVNULL,
                                   stdout=output, stderr=output)
    except OSError as error:
        print("    cannot start %s: %s" % (args.command[0], error))
        return 127
    finally:
        if output:
            output.close()
    tail = LogTail(args.log_dir, since)
    progress = StepProgress()
    view = ProgressView(sys.stdout, sys.stdout.isatty(),
                        shutil.get_terminal_size((100, 24)).columns)
    deadline = since + args.timeout
    exit_code = None
    while exit_code is None:
        exit_code = process.poll()
        # After the exit one more read takes the last lines.
        for line in tail.read():
            if progress.feed(line):
                view.step(progress)
        if exit_code is None and time.time() > deadline:
            view.finish()
            print("    no end after %d s: stopping it" % args.timeout)
            process.kill()
            process.wait()
            exit_code = 124
        elif exit_code is None:
            time.sleep(0.1)
    view.finish()
    if args.logs:
        with open(args.logs, "w") as f:
            f.writelines(path + "\n" for path in tail.paths())
    return exit_code


class Cause:
    """Why some warning of a run under Wine is expected."""

    def __init__(self, label, why, pattern, detail_of=None):
        self.label = label
        self.why = why
        self.pattern = re.compile(pattern)
        # Lines that only say more about the next problem line of the same
        # process, which must then be of this cause.
        self.detail_pattern = re.compile(detail_of) if detail_of else None


CAUSES = [
    Cause("no parent process",
          "started from a Linux shell, the installer has no Windows parent "
          "process to name in its statistics",
          r"^Cannot open process 0:"),
    Cause("no payload",
          "an installer.exe as built carries no payload; a download server "
          "appends tracking data or the package to it",
          r"^(No valid payload found|Failed reading payload)"),
    Cause("no taskbar pins folder",
          "Wine has no taskbar, so there is no folder of taskbar pins",
          r"^Couldn't find path to taskbar pins"),
    Cause("no tracking data",
          "the sample package was unpacked by hand, not downloaded, so it "
          "holds no server_tracking_data file",
          r"^Tracking data path specified on command line invalid"),
    Cause("no autoupdate task",
          "Wine's Task Scheduler keeps no triggers, so the scheduled "
          "autoupdate task cannot be made; the run goes on without it",
          r"^(Could not list the scheduled tasks|Task Scheduler: put_Id "
          r"failed|Failed task registration|Could not create scheduled task)"),
    Cause("no firewall rule",
          "Wine's firewall is a stub; the browser's rule is skipped",
          r"^Could not list the firewall rules"),
    Cause("installer files in use",
          "the running uninstaller's own files cannot go while it runs; "
          "k.bat deletes them once it has ended (as on Windows)",
          r"^Could not delete .*\\installer\.(exe|dll)$",
          detail_of=r"^(Attempt to open the file for writing failed: "
                    r"Sharing violation|File removal failed)"),
]


def find_cause(line, following):
    """The cause of problem |line|; |following| are the later problem lines
    of the same process."""
    for cause in CAUSES:
        if cause.pattern.match(line.message):
            return cause
        if cause.detail_pattern and cause.detail_pattern.match(line.message):
            for later in following:
                if not cause.detail_pattern.match(later.message):
                    return cause if cause.pattern.match(later.message) else None
    return None


def explain(lines):
    """(cause or None, label, count) for each cause of the problem lines,
    in the order of first appearance; a line without a known cause is its
    own entry."""
    problems = [line for line in lines if line.severity in PROBLEM_SEVERITIES]
    entries = {}
    for index, line in enumerate(problems):
        following = [later for later in problems[index + 1:]
                     if later.pid == line.pid]
        cause = find_cause(line, following)
        key = cause.label if cause else line.message
        if key not in entries:
            entries[key] = [cause, line, 0]
        entries[key][2] += 1
    return [tuple(entry) for entry in entries.values()]


def print_explanations(lines):
    entries = explain(lines)
    unexplained = 0
    for cause, line, count in entries:
        times = " (%d lines)" % count if count > 1 else ""
        if cause:
            print("      - %s%s: %s" % (cause.label, times, cause.why))
        else:
            unexplained += 1
            print("    ! NOT EXPECTED%s: %s" % (times, line.short()))
    if not entries:
        print("      (none)")
    return 1 if unexplained else 0


def last_errors(lines, count):
    """The last lines that tell why a run failed: its errors, and the lines
    that say something failed or is invalid, which the installer often logs
    as information; warnings of a known cause are left out."""
    def tells(line):
        if line.severity in ("ERROR", "FATAL"):
            return True
        return (line.severity in ("INFO", "WARNING") and
                FAILURE_WORDS.search(line.message) and
                not any(cause.pattern.match(line.message) or
                        (cause.detail_pattern and
                         cause.detail_pattern.match(line.message))
                        for cause in CAUSES))
    return [line for line in lines if tells(line)][-count:]


# The fetcher's own files, and what it asks of the downloader and the
# payload reader.
FETCH_SOURCES = re.compile(
    r"^(package_fetcher_core|additional_files_fetcher|"
    r"downloaded_version_check)\.cc")
FETCH_MESSAGES = re.compile(
    r"^(Starting download from|Download completed|Writing payload to file)")


def fetch_lines(lines):
    return [line for line in lines
            if FETCH_SOURCES.match(line.source) or
            (line.source.startswith(("wininet.cc", "payload_reader.cc")) and
             FETCH_MESSAGES.match(line.message))]


def install_folder(lines):
    folders = [line.message[len(INSTALL_FOLDER_SET):] for line in lines
               if line.message.startswith(INSTALL_FOLDER_SET)]
    return folders[-1] if folders else ""


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="action", required=True)
    follow_parser = commands.add_parser("follow")
    follow_parser.add_argument("log_dir")
    follow_parser.add_argument("--logs")
    follow_parser.add_argument("--output")
    follow_parser.add_argument("--timeout", type=float, default=600)
    follow_parser.add_argument("command", nargs="+")
    explain_parser = commands.add_parser("explain")
    explain_parser.add_argument("logs", nargs="*")
    errors_parser = commands.add_parser("errors")
    errors_parser.add_argument("--count", type=int, default=8)
    errors_parser.add_argument("logs", nargs="*")
    folder_parser = commands.add_parser("folder")
    folder_parser.add_argument("logs", nargs="*")
    fetch_parser = commands.add_parser("fetch")
    fetch_parser.add_argument("logs", nargs="*")
    args = parser.parse_args()

    if args.action == "follow":
        return follow(args)
    lines = read_lines(args.logs)
    if args.action == "explain":
        return print_explanations(lines)
    if args.action == "fetch":
        for line in fetch_lines(lines):
            # HHMMSS.mmm of MMDD/HHMMSS.mmm.
            clock = line.time[5:]
            print("      %s:%s:%s  %s" % (clock[0:2], clock[2:4], clock[4:],
                                         line.message))
        return 0
    if args.action == "folder":
        folder = install_folder(lines)
        print(folder)
        return 0 if folder else 1
    for line in last_errors(lines, args.count):
        print("      " + line.short())
    return 0


if __name__ == "__main__":
    sys.exit(main())
