#!/usr/bin/env python3
"""Tells what an installation in the Wine prefix holds, or what an uninstall
left of it, from its install log (installation_status.xml), its files, the
registry and its shortcuts. Run with WINE and WINEPREFIX set
(tools/wine_env.sh).

installation_report.py installed FOLDER
    The installation in FOLDER (a Windows path): files, registry, uninstall
    entry, shortcuts, components, the browser's start.
installation_report.py removed FOLDER INSTALL_LOG
    What the uninstall of FOLDER left; INSTALL_LOG is a copy of the
    installation's install log taken before the uninstall. Waits for k.bat
    to finish first.
installation_report.py subfolder FOLDER
    The version folder of the installation in FOLDER.
installation_report.py path WINDOWS_PATH
    The Linux path of WINDOWS_PATH in the prefix.
Exits with 1 when something is not as the install log says it should be.
"""

import argparse
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

INSTALL_LOG_NAME = "installation_status.xml"
UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
CLIENTS_KEY = "Software\\Clients\\StartMenuInternet\\"
SHORTCUT_PLACES = {
    "SC_DEST_COMMON_DESKTOP": "desktop",
    "SC_DEST_USER_DESKTOP": "desktop",
    "SC_DEST_COMMON_MENU": "start menu",
    "SC_DEST_USER_MENU": "start menu",
    "SC_DEST_QUICK_LAUNCH": "quick launch",
}
# Files an uninstall leaves in the install folder that were never installed
# files: why each stays.
KNOWN_LEFTOVERS = {
    "installer_prefs.json": "the installer's preferences, kept",
    "launcher.exe.log": "the stand-in browser's record of its starts",
}
CLEANUP_WAIT_SECONDS = 30


def linux_path(windows_path, prefix):
    """The Linux path of |windows_path| in the prefix, letter case resolved
    the way Wine resolves it (the first entry that matches ignoring case)."""
    drive, _, rest = windows_path.replace("/", "\\").partition(":")
    if drive.lower() == "z":
        path = "/"
    else:
        path = os.path.join(prefix, "dosdevices", drive.lower() + ":")
    for part in filter(None, rest.split("\\")):
        candidate = os.path.join(path, part)
        if not os.path.exists(candidate) and os.path.isdir(path):
            matches = [name for name in sorted(os.listdir(path))
                       if name.lower() == part.lower()]
            if matches:
                candidate = os.path.join(path, matches[0])
        path = candidate
    return os.path.realpath(path)


class InstallLog:
    def __init__(self, path):
        root = ElementTree.parse(path).getroot()

        def text(element):
            return (element.text or "").strip()

        self.version = root.get("version", "")
        path_element = root.find("path")
        self.folder = text(path_element) if path_element is not None else ""
        self.subfolder = (path_element.get("subfolder", "")
                          if path_element is not None else "")
        self.files = [text(e) for e in root.iterfind("files/file")]
        self.root_files = [text(e) for e in root.iterfind("root_files/file")]
        self.keys = []
        for registry in root.iterfind("registry"):
            for key in registry.iterfind("key"):
                self.keys.append((registry.get("hive"), key.get("path"),
                                  len(key.findall("value"))))
        self.shortcuts = [(e.get("type"), text(e))
                          for e in root.iterfind("shortcut")]
        self.components = [(text(e.find("name")), text(e.find("path")))
                           for e in root.iterfind("components/component")]

    def key_under(self, parent):
        """(hive, path) of the first recorded key right below |parent|."""
        for hive, path, _ in self.keys:
            if path.startswith(parent) and "\\" not in path[len(parent):]:
                return hive, path
        return None


def registry_key_exists(hive, path, view):
    result = subprocess.run(
        [os.environ["WINE"], "reg", "query", "%s\\%s" % (hive, path),
         "/reg:%d" % view],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL, timeout=60)
    return result.returncode == 0, result.stdout.decode("utf-8", "replace")


def registry_value(query_output, name):
    for line in query_output.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == name and parts[1].startswith("REG_"):
            return parts[2]
    return ""


def size_text(size):
    for unit in ("bytes", "KiB", "MiB"):
        if size < 1024 or unit == "MiB":
            return ("%d %s" % (size, unit) if unit == "bytes"
                    else "%.1f %s" % (size, unit))
        size /= 1024.0


class Report:
    def __init__(self):
        self.faults = 0

    def line(self, label, text, ok=True):
        if not ok:
            self.faults += 1
        print("  %s %-16s %s" % (" " if ok else "!", label + ":", text))


def files_of(log, folder):
    """(Linux path, Windows name) of every installed file."""
    version_folder = os.path.join(folder, log.subfolder)
    for name in log.files:
        yield (os.path.join(version_folder, *name.split("\\")),
               log.subfolder + "\\" + name)
    for name in log.root_files:
        yield os.path.join(folder, *name.split("\\")), name


def report_installed(args, prefix):
    folder = linux_path(args.folder, prefix)
    report = Report()
    report.line("Install folder", "%s  (%s)" % (args.folder, folder))
    log_path = os.path.join(folder, INSTALL_LOG_NAME)
    if not os.path.isfile(log_path):
        report.line("Install log", "none: %s is missing" % INSTALL_LOG_NAME,
                    False)
        return report.faults
    log = InstallLog(log_path)
    present = [path for path, _ in files_of(log, folder)
               if os.path.isfile(path)]
    missing = len(log.files) + len(log.root_files) - len(present)
    on_disk = sum(len(names) for _, _, names in os.walk(folder))
    report.line("Files", "%d installed, %s (%d in version folder %s, %d in "
                "the install folder); %d files in the folder in all%s" % (
                    len(present), size_text(sum(map(os.path.getsize, present))),
                    len(log.files), log.subfolder, len(log.root_files),
                    on_disk, "; %d MISSING" % missing if missing else ""),
                missing == 0)
    hives = sorted(set(hive for hive, _, _ in log.keys))
    report.line("Registry", "%d keys with %d values written in %s, as the "
                "install log records them" % (
                    len(log.keys), sum(count for _, _, count in log.keys),
                    " and ".join(hives) or "no hive"))
    report_registry_entries(report, log, present=True)
    report_shortcuts(report, log, prefix, present=True)
    for name, path in log.components:
        report.line("Component", "%s in %s" % (name, path),
                    os.path.isdir(linux_path(path, prefix)))
    launcher_log = os.path.join(folder, "launcher.exe.log")
    if os.path.isfile(launcher_log):
        with open(launcher_log, encoding="utf-8", errors="replace") as f:
            starts = f.read().splitlines()
        report.line("Browser started", starts[-1] if starts else "?")
    return report.faults


def report_registry_entries(report, log, present):
    """The uninstall entry (in the 32-bit view, as Windows keeps it) and the
    browser's registration, present after an install, gone after an
    uninstall."""
    entry = log.key_under(UNINSTALL_KEY)
    if entry:
        exists, output = registry_key_exists(entry[0], entry[1], 32)
        if present:
            text = "%s\\%s: \"%s\", uninstall command %s" % (
                entry[0], entry[1], registry_value(output, "DisplayName"),
                registry_value(output, "UninstallString"))
        else:
            text = "%s\\%s %s" % (entry[0], entry[1],
                                  "still there" if exists else "removed")
        report.line("Uninstall entry", text, exists == present)
    clients = log.key_under(CLIENTS_KEY)
    if clients:
        exists, _ = registry_key_exists(clients[0], clients[1], 64)
        report.line("Browser entry", "%s\\%s %s" % (
            clients[0], clients[1],
            ("present" if exists else "MISSING") if present
            else ("still there" if exists else "removed")),
            exists == present)


def report_shortcuts(report, log, prefix, present):
    if not log.shortcuts:
        report.line("Shortcuts", "none")
        return
    wrong = []
    for _, path in log.shortcuts:
        if os.path.exists(linux_path(path, prefix)) != present:
            wrong.append(path)
    places = ", ".join(SHORTCUT_PLACES.get(kind, kind)
                       for kind, _ in log.shortcuts)
    if present:
        text = "%s (%s)" % (places, "MISSING: " + ", ".join(wrong)
                            if wrong else "all present")
    else:
        text = ("still there: " + ", ".join(wrong) if wrong
                else "%s removed" % places)
    report.line("Shortcuts", text, not wrong)


def wait_for_cleanup(folder, component_folders):
    """k.bat, and a component's uninstaller, delete the last files once the
    uninstalling processes have ended; seconds waited, None at the limit."""
    start = time.time()
    while time.time() - start < CLEANUP_WAIT_SECONDS:
        if (not os.path.exists(os.path.join(folder, "k.bat")) and
                not any(map(os.path.exists, component_folders))):
            return time.time() - start
        time.sleep(0.2)
    return None


def report_removed(args, prefix):
    folder = linux_path(args.folder, prefix)
    log = InstallLog(args.install_log)
    report = Report()
    components = [linux_path(path, prefix) for _, path in log.components]
    waited = wait_for_cleanup(folder, components)
    report.line("Final clean-up", "k.bat and the component uninstallers "
                "done after %.1f s" % waited if waited is not None else
                "not done after %d s" % CLEANUP_WAIT_SECONDS,
                waited is not None)
    left = [name for path, name in files_of(log, folder)
            if os.path.exists(path)]
    for extra in (INSTALL_LOG_NAME, log.subfolder):
        if os.path.exists(os.path.join(folder, extra)):
            left.append(extra)
    report.line("Files", "%d installed files, %s and version folder %s: %s" % (
        len(log.files) + len(log.root_files), INSTALL_LOG_NAME, log.subfolder,
        "still there: " + ", ".join(left[:4]) if left else "removed"),
        not left)
    report_registry_entries(report, log, present=False)
    report_shortcuts(report, log, prefix, present=False)
    for (name, path), component_folder in zip(log.components, components):
        gone = not os.path.exists(component_folder)
        report.line("Component", "%s: %s" % (
            name, "removed by its own uninstaller" if gone
            else "%s still there" % path), gone)
    if os.path.isdir(folder):
        rest = sorted(os.listdir(folder))
        report.line("Left in folder", ", ".join(
            "%s (%s)" % (name, KNOWN_LEFTOVERS.get(name, "not installed by "
                                                   "this installation"))
            for name in rest) or "nothing")
    return report.faults


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="action", required=True)
    installed = commands.add_parser("installed")
    installed.add_argument("folder")
    removed = commands.add_parser("removed")
    removed.add_argument("folder")
    removed.add_argument("install_log")
    subfolder = commands.add_parser("subfolder")
    subfolder.add_argument("folder")
    path = commands.add_parser("path")
    path.add_argument("folder")
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]

    if args.action == "path":
        print(linux_path(args.folder, prefix))
        return 0
    if args.action == "subfolder":
        log_path = os.path.join(linux_path(args.folder, prefix),
                                INSTALL_LOG_NAME)
        if not os.path.isfile(log_path):
            print("no installation in %s: %s is missing" % (
                args.folder, INSTALL_LOG_NAME), file=sys.stderr)
            return 1
        print(InstallLog(log_path).subfolder)
        return 0
    faults = (report_installed(args, prefix) if args.action == "installed"
              else report_removed(args, prefix))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
