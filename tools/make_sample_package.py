#!/usr/bin/env python3
"""Builds an unpacked sample browser package for trying the installer.

make_sample_package.py BIN_DIR OUT_DIR [--files N] [--size BYTES]
                       [--incompressible] [--components DIR]

BIN_DIR holds the built installer.exe, installer.dll and stand_in.exe. The
package gets:
  installer.exe, installer.dll   the installer itself (the package's host):
                                 started from the package folder, it
                                 installs the package
  launcher.exe, kelvo.exe        the stand-in program playing the browser
  installer_helper_64.exe,       the stand-in playing the taskbar pin
  installer_helper.exe           programs
  resources/...                  N data files with deterministic content
  files_list                     every file to copy into the version folder
  root_files_list                the files to copy into the install folder
With --components, DIR (a sibling of OUT_DIR, as a download lays them out)
gets suite_installer.exe, the stand-in playing the installer of the "suite"
component: it installs itself into the component's folder of the
installation, and that copy removes itself again when the installation is
uninstalled. Install with --components=suite:NAME, NAME the base name of DIR.
"""

import argparse
import hashlib
import os
import random
import shutil
import sys


def data_for(index, size, incompressible=False):
    """Deterministic bytes, different for every file; incompressible ones
    do not shrink in an archive."""
    seed = hashlib.sha256(b"kelvo-sample-%d" % index).digest()
    if incompressible:
        return random.Random(seed).randbytes(size)
    repeats = size // len(seed) + 1
    return (seed * repeats)[:size]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("out_dir")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--size", type=int, default=4096,
                        help="bytes per data file")
    parser.add_argument("--incompressible", action="store_true",
                        help="data files that do not shrink in an archive,"
                        " so that a download is as large as the package")
    parser.add_argument("--components",
                        help="folder for the component installers")
    args = parser.parse_args()

    if os.path.exists(args.out_dir):
        shutil.rmtree(args.out_dir)
    os.makedirs(args.out_dir)

    def copy(name, target):
        shutil.copyfile(os.path.join(args.bin_dir, name),
                        os.path.join(args.out_dir, target))

    copy("installer.exe", "installer.exe")
    copy("installer.dll", "installer.dll")
    copy("stand_in.exe", "launcher.exe")
    copy("stand_in.exe", "kelvo.exe")
    copy("stand_in.exe", "installer_helper_64.exe")
    copy("stand_in.exe", "installer_helper.exe")

    # The installer and its pin programs go into the version folder too: an
    # upgrade or uninstall later runs from there.
    files = ["kelvo.exe", "installer.exe", "installer.dll",
             "installer_helper_64.exe", "installer_helper.exe"]
    for i in range(args.files):
        folder = "resources\\%02d" % (i % 16)
        os.makedirs(os.path.join(args.out_dir, folder.replace("\\", os.sep)),
                    exist_ok=True)
        name = "%s\\data_%04d.pak" % (folder, i)
        with open(os.path.join(args.out_dir, name.replace("\\", os.sep)),
                  "wb") as f:
            f.write(data_for(i, args.size, args.incompressible))
        files.append(name)

    root_files = ["kelvo_visual_elements.xml"]
    with open(os.path.join(args.out_dir, root_files[0]), "w") as f:
        f.write('<?xml version="1.0"?>\n<Application/>\n')

    # The lists are read as UTF-8 with Windows line ends.
    with open(os.path.join(args.out_dir, "files_list"), "w",
              newline="\r\n") as f:
        f.write("\n".join(files) + "\n")
    with open(os.path.join(args.out_dir, "root_files_list"), "w",
              newline="\r\n") as f:
        f.write("\n".join(root_files) + "\n")
    if args.components:
        if os.path.exists(args.components):
            shutil.rmtree(args.components)
        os.makedirs(args.components)
        installer = os.path.join(args.components, "suite_installer.exe")
        shutil.copyfile(os.path.join(args.bin_dir, "stand_in.exe"), installer)
        open(installer + ".installs_itself", "w").close()
    print("%d files in %s" % (len(files) + len(root_files), args.out_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main())
