#!/usr/bin/env python3
"""A net install on this machine: the package packed as the update server
hands it out, a net installer, and the loopback test server playing the
update server.

net_install.py pack BIN_DIR PACKAGE_DIR OUT_DIR [--tracking-data TEXT]
    OUT_DIR/kelvo_package.exe        installer_standalone.exe of BIN_DIR
                                     carrying PACKAGE_DIR as a 7z archive
                                     (7zz, the packaging settings: -t7z
                                     -mx=7), the way a net install downloads
                                     the package
    OUT_DIR/kelvo_net_installer.exe  installer_standalone.exe carrying the
                                     tracking data (the small installer a
                                     user downloads)
    OUT_DIR/package.7z               the archive itself
    A payload is "KVX", its bytes and their count as 32-bit little-endian,
    appended to the executable.
net_install.py serve STATE_DIR PACKAGE_EXE
    Scripts the test server started with STATE_DIR (testing/servers/
    http_test_server.py start --state-dir STATE_DIR) to answer the
    download-address request with the package's address and SHA-256, and
    to serve the package; prints the address to give the installer as
    --internal-package-server.
net_install.py requests STATE_DIR
    One line per request the server received: method, path, body size.
"""

import argparse
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import urllib.request

ADDRESS_PATH = "/netinstaller/developer/windows/x64/"
PACKAGE_PATH = "/packages/kelvo_package.exe"
DEFAULT_TRACKING_DATA = "eyJjYW1wYWlnbiI6ICJtYWluLWpvYiJ9"  # {"campaign": "main-job"}


def with_payload(host, payload, target):
    shutil.copyfile(host, target)
    with open(target, "ab") as out:
        out.write(b"KVX")
        if isinstance(payload, bytes):
            out.write(payload)
            size = len(payload)
        else:
            size = 0
            with open(payload, "rb") as f:
                while True:
                    piece = f.read(1 << 20)
                    if not piece:
                        break
                    out.write(piece)
                    size += len(piece)
        out.write(struct.pack("<I", size))


def pack(args):
    host = os.path.join(args.bin_dir, "installer_standalone.exe")
    os.makedirs(args.out_dir, exist_ok=True)
    archive = os.path.join(args.out_dir, "package.7z")
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run(["7zz", "a", "-t7z", "-mx=7", archive, "."],
                   cwd=args.package_dir, check=True, stdout=subprocess.DEVNULL)
    with_payload(host, archive, os.path.join(args.out_dir, "kelvo_package.exe"))
    with_payload(host, args.tracking_data.encode("ascii"),
                 os.path.join(args.out_dir, "kelvo_net_installer.exe"))


def control(state_dir, method, target, body=None):
    with open(os.path.join(state_dir, "server.json")) as f:
        info = json.load(f)
    request = urllib.request.Request(
        "http://127.0.0.1:%d%s" % (info["control_port"], target),
        data=body, method=method)
    # The control port is on loopback: no proxy may stand in between.
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    with opener.open(request, timeout=30) as reply:
        return info, json.load(reply)


def script(state_dir, path, steps):
    control(state_dir, "POST", "/script?path=" + path,
            json.dumps(steps).encode())


def serve(args):
    digest = hashlib.sha256()
    with open(args.package_exe, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    script(args.state_dir, PACKAGE_PATH,
           [{"file": os.path.abspath(args.package_exe)}])
    # "{v4}" is the server's own address.
    reply = {"installer": "{v4}" + PACKAGE_PATH,
             "installer_checksum": digest.hexdigest()}
    script(args.state_dir, ADDRESS_PATH, [{"body": json.dumps(reply)}])
    info, _ = control(args.state_dir, "GET", "/info")
    print("http://127.0.0.1:%d%s" % (info["port"], ADDRESS_PATH))


def requests(args):
    _, received = control(args.state_dir, "GET", "/requests?prefix=/")
    for request in received:
        size = len(request["body_base64"]) * 3 // 4 - \
            request["body_base64"][-2:].count("=")
        print("%-4s %s%s" % (request["method"], request["target"],
                             "  (body: %d bytes)" % size if size else ""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("pack")
    p.add_argument("bin_dir")
    p.add_argument("package_dir")
    p.add_argument("out_dir")
    p.add_argument("--tracking-data", default=DEFAULT_TRACKING_DATA)
    p.set_defaults(run=pack)
    p = commands.add_parser("serve")
    p.add_argument("state_dir")
    p.add_argument("package_exe")
    p.set_defaults(run=serve)
    p = commands.add_parser("requests")
    p.add_argument("state_dir")
    p.set_defaults(run=requests)
    args = parser.parse_args()
    args.run(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
