import contextlib
import io
import os
import shutil
import stat
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import installation_report  # noqa: E402

# As the installer writes it: every text followed by a line end and the
# indentation of the closing tag.
INSTALL_LOG = """<?xml version="1.0"?>
<install_log version="45.0.1.0" app_id="1">
 <path subfolder="45.0.1.0">C:\\Kelvo
 </path>
 <files>
  <file>kelvo.exe
  </file>
  <file>resources\\00\\data.pak
  </file>
 </files>
 <root_files>
  <file>visual.xml
  </file>
 </root_files>
 <registry hive="HKLM">
  <key path="Software\\Clients\\StartMenuInternet\\Kelvo" clean="1">
   <value name="" type="REG_SZ">Kelvo
   </value>
  </key>
  <key path="Software\\Clients\\StartMenuInternet\\Kelvo\\DefaultIcon" clean="1"/>
  <key path="Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvo 45" clean="1">
   <value name="DisplayName" type="REG_SZ">Kelvo 45
   </value>
   <value name="UninstallString" type="REG_SZ">"C:\\Kelvo\\launcher.exe" /uninstall
   </value>
  </key>
 </registry>
 <shortcut type="SC_DEST_COMMON_DESKTOP">C:\\users\\Public\\Desktop\\Kelvo.lnk
 </shortcut>
 <components>
  <component>
   <name>suite
   </name>
   <path>C:\\Kelvo\\suite
   </path>
  </component>
 </components>
</install_log>
"""

# Plays Wine's reg.exe: a key exists when its name is a line of KEYS.
FAKE_WINE = """#!/bin/sh
[ "$1" = reg ] && [ "$2" = query ] || exit 2
grep -qxF "$3 $4" "$(dirname "$0")/KEYS" || exit 1
printf '%s\\n' "$3" "    DisplayName    REG_SZ    Kelvo 45" \\
  "    UninstallString    REG_SZ    \\"C:\\\\Kelvo\\\\launcher.exe\\" /uninstall"
"""

UNINSTALL_ENTRY = ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                   "Uninstall\\Kelvo 45 /reg:32")
CLIENTS_ENTRY = "HKLM\\Software\\Clients\\StartMenuInternet\\Kelvo /reg:64"


class InstallationReportTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)
        self.prefix = os.path.join(self.temp.name, "prefix")
        os.makedirs(os.path.join(self.prefix, "dosdevices"))
        os.makedirs(os.path.join(self.prefix, "drive_c"))
        os.symlink("../drive_c", os.path.join(self.prefix, "dosdevices", "c:"))
        self.folder = self.path("Kelvo")
        wine = os.path.join(self.temp.name, "wine")
        with open(wine, "w") as f:
            f.write(FAKE_WINE)
        os.chmod(wine, stat.S_IRWXU)
        self.keys = os.path.join(self.temp.name, "KEYS")
        patch = {"WINE": wine, "WINEPREFIX": self.prefix}
        saved = {name: os.environ.get(name) for name in patch}
        os.environ.update(patch)
        self.addCleanup(lambda: [os.environ.pop(n) if v is None else
                                 os.environ.__setitem__(n, v)
                                 for n, v in saved.items()])

    def path(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def write(self, path, text=""):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def install(self, keys=(UNINSTALL_ENTRY, CLIENTS_ENTRY)):
        for name in ("45.0.1.0/kelvo.exe", "45.0.1.0/resources/00/data.pak",
                     "visual.xml", "suite/suite_installer.exe"):
            self.write(os.path.join(self.folder, name), "x" * 1024)
        self.write(os.path.join(self.folder, "installation_status.xml"),
                   INSTALL_LOG)
        self.write(self.path("users", "Public", "Desktop", "Kelvo.lnk"))
        with open(self.keys, "w") as f:
            f.write("".join(key + "\n" for key in keys))

    def run_report(self, *args):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            sys.argv = ["installation_report.py"] + list(args)
            code = installation_report.main()
        return code, out.getvalue()

    def test_z_drive_is_the_root(self):
        # Letter case of C: paths is covered by the "C:\\kelvo" runs below.
        self.assertEqual("/tmp/x",
                         installation_report.linux_path("Z:\\tmp\\x", self.prefix))

    def test_an_installation_as_its_log_says(self):
        self.install()
        code, text = self.run_report("installed", "C:\\kelvo")
        self.assertEqual(0, code, text)
        self.assertIn("3 installed, 3.0 KiB (2 in version folder 45.0.1.0, 1 in "
                      "the install folder)", text)
        self.assertIn("3 keys with 3 values written in HKLM", text)
        self.assertIn('"Kelvo 45", uninstall command "C:\\Kelvo\\launcher.exe" '
                      "/uninstall", text)
        self.assertIn("desktop (all present)", text)

    def test_missing_files_shortcuts_and_entries_are_faults(self):
        self.install(keys=(CLIENTS_ENTRY,))
        os.remove(os.path.join(self.folder, "45.0.1.0", "kelvo.exe"))
        os.remove(self.path("users", "Public", "Desktop", "Kelvo.lnk"))
        code, text = self.run_report("installed", "C:\\Kelvo")
        self.assertEqual(1, code)
        self.assertEqual(3, text.count("  ! "), text)
        self.assertIn("1 MISSING", text)
        self.assertIn("MISSING: C:\\users\\Public\\Desktop\\Kelvo.lnk", text)

    def uninstall(self, leave=()):
        saved = os.path.join(self.temp.name, "saved.xml")
        self.write(saved, INSTALL_LOG)
        for name in ("45.0.1.0", "suite", "installation_status.xml",
                     "visual.xml"):
            path = os.path.join(self.folder, name)
            if name not in leave:
                if os.path.isdir(path):
                    shutil.rmtree(path)
                else:
                    os.remove(path)
        os.remove(self.path("users", "Public", "Desktop", "Kelvo.lnk"))
        self.write(os.path.join(self.folder, "installer_prefs.json"), "{}")
        with open(self.keys, "w"):
            pass
        return saved

    def test_an_uninstall_waits_for_k_bat_and_names_what_it_left(self):
        self.install()
        saved = self.uninstall()
        k_bat = os.path.join(self.folder, "k.bat")
        self.write(k_bat)
        timer = threading.Timer(0.5, os.remove, [k_bat])
        timer.start()
        self.addCleanup(timer.cancel)
        code, text = self.run_report("removed", "C:\\Kelvo", saved)
        self.assertEqual(0, code, text)
        self.assertFalse(os.path.exists(k_bat))
        self.assertIn("installer_prefs.json (the installer's preferences, kept)",
                      text)
        self.assertIn("suite: removed by its own uninstaller", text)

    def test_what_an_uninstall_should_have_removed_is_a_fault(self):
        self.install()
        saved = self.uninstall(leave=("visual.xml", "suite"))
        installation_report.CLEANUP_WAIT_SECONDS = 0.5
        self.addCleanup(setattr, installation_report, "CLEANUP_WAIT_SECONDS", 30)
        code, text = self.run_report("removed", "C:\\Kelvo", saved)
        self.assertEqual(1, code)
        self.assertIn("still there: visual.xml", text)
        self.assertIn("C:\\Kelvo\\suite still there", text)
        self.assertIn("not done after", text)


if __name__ == "__main__":
    unittest.main()
