#!/usr/bin/env python3
"""release: the steps that make a release the same bytes from every build of one commit.

Usage:
  release.py stamp EPOCH FOLDER          every file in FOLDER dated EPOCH
  release.py zip EPOCH FOLDER ARCHIVE    FOLDER, by its own name, into ARCHIVE
  release.py msi EPOCH PRODUCT_CODE MSI  MSI's summary information made reproducible
  release.py sums LIST FILE...           FILE's SHA-256 lines into LIST, as sha256sum writes them

EPOCH is SOURCE_DATE_EPOCH: seconds since 1970, the time of the last commit.

wixl dates the cabinet's files by their modification time, hence `stamp` before it. It also
writes a random package code and its own clock into the package's summary information and has
no option against it; `msi` sets both afterwards through libmsi, msitools' own library (Debian's
python3-gi and gir1.2-libmsi-1.0), which reads and writes the summary as Windows Installer
defines it. The package code is derived from the package itself: the product code and the
SHA-256 of the package as it is with a blank code. A package that differs in any byte gets
another code, and the same package always the same one.
"""

import hashlib
import os
import sys
import time
import uuid
import zipfile

FILETIME_1970 = 116444736000000000  # 1970-01-01 in 100 ns steps since 1601-01-01
BLANK_CODE = "{00000000-0000-0000-0000-000000000000}"


def stamp(epoch, folder):
    for root, dirs, files in os.walk(folder):
        for name in files:
            os.utime(os.path.join(root, name), (epoch, epoch))


def write_zip(epoch, folder, archive):
    """Entries in name order, dated EPOCH in UTC, with no owner and no extra fields: nothing
    of the machine, the user or the time of the build."""
    folder = os.path.abspath(folder)
    top = os.path.basename(folder)
    paths = []
    for root, dirs, files in os.walk(folder):
        paths += [os.path.join(root, name) for name in files]
    when = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(archive + ".part", "w") as z:
        for path in sorted(paths, key=lambda p: os.path.relpath(p, folder).replace(os.sep, "/")):
            name = top + "/" + os.path.relpath(path, folder).replace(os.sep, "/")
            info = zipfile.ZipInfo(name, date_time=when)
            info.create_system = 3  # Unix, so that the modes below mean something
            executable = os.stat(path).st_mode & 0o111
            info.external_attr = (0o100755 if executable else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                z.writestr(info, f.read())
    os.replace(archive + ".part", archive)


def set_summary(path, code, filetime):
    import gi
    gi.require_version("Libmsi", "1.0")
    from gi.repository import Libmsi

    db = Libmsi.Database.new(path, Libmsi.DbFlags.TRANSACT, None)
    summary = Libmsi.SummaryInfo.new(db, 20)
    summary.set_string(Libmsi.Property.UUID, code)
    summary.set_filetime(Libmsi.Property.CREATED_TM, filetime)
    summary.set_filetime(Libmsi.Property.LASTSAVED_TM, filetime)
    summary.save(db)
    db.commit()


def fix_msi(epoch, product_code, path):
    filetime = FILETIME_1970 + epoch * 10000000
    set_summary(path, BLANK_CODE, filetime)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    code = uuid.uuid5(uuid.UUID(product_code), digest)
    set_summary(path, "{%s}" % str(code).upper(), filetime)


def write_sums(listing, files):
    lines = []
    for path in files:
        with open(path, "rb") as f:
            lines.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(),
                                       os.path.basename(path)))
    with open(listing, "w", newline="\n") as f:
        f.writelines(lines)


def epoch_of(text):
    epoch = int(text)
    if not 315532800 <= epoch <= 4354819199:  # what a zip entry's DOS date can hold
        sys.exit("release.py: SOURCE_DATE_EPOCH %s is not between 1980 and 2107" % text)
    return epoch


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "stamp" and len(argv) == 4:
        stamp(epoch_of(argv[2]), argv[3])
    elif command == "zip" and len(argv) == 5:
        write_zip(epoch_of(argv[2]), argv[3], argv[4])
    elif command == "msi" and len(argv) == 5:
        fix_msi(epoch_of(argv[2]), argv[3], argv[4])
    elif command == "sums" and len(argv) > 3:
        write_sums(argv[2], argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
