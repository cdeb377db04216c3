#!/usr/bin/env python3
"""The vendored chart library is what package-lock.json pins: vendor/SOURCES
(written by update-vendor.sh after `npm ci` had checked the package's
tarball against the lock's sha512 integrity) names the same package,
version and integrity as the lock file, and every vendored file has the
sha512 recorded there. Catches a lock file moved on without re-vendoring,
and a vendored file changed by hand.

    /usr/bin/python3 web/tests/vendor_test.py
"""
import base64
import hashlib
import json
import os
import unittest

WEB = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VENDOR = os.path.join(WEB, "vendor")


def sha512(path):
    with open(path, "rb") as f:
        return "sha512-" + base64.b64encode(hashlib.sha512(f.read()).digest()).decode()


def read_sources():
    packages, files = [], {}
    with open(os.path.join(VENDOR, "SOURCES")) as f:
        for line in f:
            fields = line.split()
            if not fields or fields[0].startswith("#"):
                continue
            if fields[0] == "package":
                packages.append(tuple(fields[1:]))
            elif fields[0] == "file":
                files[fields[1]] = fields[3]
            else:
                raise ValueError(f"unknown line in SOURCES: {line!r}")
    return packages, files


class VendorTest(unittest.TestCase):
    def test_vendored_files_come_from_the_locked_package(self):
        with open(os.path.join(WEB, "package-lock.json")) as f:
            lock = json.load(f)["packages"]
        with open(os.path.join(WEB, "package.json")) as f:
            wanted = json.load(f)["dependencies"]
        packages, files = read_sources()
        self.assertEqual(sorted(name for name, _, _ in packages), sorted(wanted))
        for name, version, integrity in packages:
            locked = lock[f"node_modules/{name}"]
            self.assertEqual(version, wanted[name], "package.json pins an exact version")
            self.assertEqual(version, locked["version"])
            self.assertEqual(integrity, locked["integrity"])
        present = sorted(n for n in os.listdir(VENDOR) if n != "SOURCES")
        self.assertEqual(present, sorted(files))
        for name, digest in files.items():
            self.assertEqual(sha512(os.path.join(VENDOR, name)), digest, name)


if __name__ == "__main__":
    unittest.main()
