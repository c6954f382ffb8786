#!/usr/bin/env python3
"""The installer package, end to end, under Wine's own msiexec in a Wine prefix of its own.

Every step runs the 64-bit msiexec (a win64 prefix installs a 32-bit package as well), so the
32-bit package is installed, upgraded and removed on any machine, even where the kernel cannot
run 32-bit programs. Its checks are made here, from the prefix's files and registry. With
--driver (the 64-bit build), tests/installer/session_driver.cpp also looks inside the prefix:
the program started at the end of an interactive install and by a new session, its working
directory, an alert, and the message that refuses a downgrade.

  installer_test.py --source-dir DIR --work DIR --msi PKG --version V --older-msi PKG
                    --older-version V --publisher TEXT --arch x86|x64 --cpack CPACK
                    --cpack-config FILE --icon ICO [--driver EXE]
"""

import argparse
import datetime
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shell_link  # noqa: E402
import wine_registry  # noqa: E402

# It never changes (installer/morvane.wxs says why); a package with another would install
# beside Morvane instead of replacing it.
UPGRADE_CODE = "{187D5446-99A1-49D8-903F-97BF827B5B9E}"
FILES = ["drums.wav", "help.hlp", "help.html", "morvane.exe", "readme.txt", "warning.wav"]
ERROR_INSTALL_FAILURE = 1603
# Windows Installer's own folders, which every Windows has: the cached packages and the cached
# product icons. The package's files in them go; the folders themselves may stay.
INSTALLER_FOLDERS = {"windows/Installer", "AppData/Roaming/Microsoft/Installer"}


class Fatal(Exception):
    """A step could not go on: the steps after it would only report its consequences."""


class Report:
    """Failures, each named after its step, and the time each step and each action took."""

    def __init__(self):
        self.failures = []
        self.step = None
        self.started = 0

    def begin(self, name):
        self.end()
        self.step, self.started = name, time.monotonic()
        print("== %s" % name, flush=True)

    def end(self):
        if self.step:
            print("   (step: %.1f s)" % (time.monotonic() - self.started), flush=True)
        self.step = None

    def check(self, condition, message):
        if not condition:
            self.failures.append("%s: %s" % (self.step or "the test", message))
            print("FAILED: %s" % message, flush=True)
        return condition

    def equal(self, expected, actual, what):
        return self.check(expected == actual, "%s: expected %r, got %r" % (what, expected, actual))

    def timed(self, label, seconds):
        print("   %s: %.2f s" % (label, seconds), flush=True)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def windows_path(host_path):
    """A host path as the prefix's programs see it, through drive Z:."""
    return "Z:" + host_path.replace("/", "\\")


def packed_guid(guid):
    """A GUID as Windows Installer writes it in its registry keys."""
    g = guid.strip("{}").replace("-", "").upper()
    swapped = "".join(g[i + 1] + g[i] for i in range(16, 32, 2))
    return g[7::-1] + g[11:7:-1] + g[15:11:-1] + swapped


def msi_table(msi, table):
    """The rows of one table of a package, as lists of strings (msitools' msiinfo)."""
    out = subprocess.run(["msiinfo", "export", msi, table], check=True, capture_output=True,
                         text=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:] if line]


def msi_summary(msi):
    out = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True,
                         text=True).stdout
    return dict(line.split(": ", 1) for line in out.splitlines() if ": " in line)


class Prefix:
    """A throwaway Wine prefix and the 64-bit loader that runs everything in it."""

    def __init__(self, source_dir, work):
        self.path = os.path.join(work, "prefix")
        self.log = open(os.path.join(work, "wine.log"), "w")
        loader = subprocess.run(
            ["sh", "-c", '. "$1"; wine_loader && echo "$WINE_LOADER"', "sh",
             os.path.join(source_dir, "cmake", "wine-loader.sh")],
            env=dict(os.environ, MORVANE_WINE_BITS="64"), check=True, capture_output=True,
            text=True).stdout.strip()
        self.loader = loader
        # No menu entries on the host for the shortcuts, and no offer of Mono or Gecko.
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=")

    def run(self, *args, timeout=120):
        """Runs a Windows program; its exit code (Wine passes on its low eight bits only).
        Output goes to the log: a process left running must not hold the caller's pipes."""
        self.log.write("$ %s\n" % " ".join(args))
        self.log.flush()
        return subprocess.run([self.loader] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                              stdout=self.log, stderr=self.log, timeout=timeout).returncode

    def stop(self):
        """Ends the session: every process of the prefix, and the server, which saves the
        registry files on the way out."""
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=self.log, stderr=self.log)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=self.log, stderr=self.log)

    def create(self):
        self.stop()
        shutil.rmtree(self.path, ignore_errors=True)
        # The first program started in a new prefix has Wine set it up and waits for that; a
        # `wineboot -i` of its own would start a second service manager, and each later COM call
        # would wait ten seconds for an RpcSs that never starts.
        if self.run("cmd.exe", "/c", "exit", timeout=300) != 0:
            raise Fatal("Wine could not make the prefix %s" % self.path)

    def host_path(self, windows_path):
        if windows_path[1:3] not in (":\\", ":/") or windows_path[0].upper() != "C":
            raise Fatal("not a path on drive C: %r" % windows_path)
        return os.path.join(self.path, "drive_c", windows_path[3:].replace("\\", "/"))

    def files(self):
        """Every file and folder under drive_c, relative, as a set."""
        root = os.path.join(self.path, "drive_c")
        found = set()
        for folder, dirs, names in os.walk(root):
            for name in dirs + names:
                found.add(os.path.relpath(os.path.join(folder, name), root))
        return found


class Package:
    def __init__(self, msi, version):
        self.msi = msi
        self.version = version
        self.properties = {row[0]: row[1] for row in msi_table(msi, "Property")}
        self.product_code = self.properties.get("ProductCode", "")
        self.components = [row[1] for row in msi_table(msi, "Component")]

    def windows_path(self):
        return windows_path(os.path.abspath(self.msi))


class Test:
    def __init__(self, args):
        self.args = args
        self.report = Report()
        os.makedirs(args.work, exist_ok=True)
        self.prefix = Prefix(args.source_dir, args.work)
        self.current = Package(args.msi, args.version)
        self.older = Package(args.older_msi, args.older_version)
        self.registry = None

    # -- reading the prefix ------------------------------------------------------------------

    def read_registry(self):
        """The registry as the server saved it at the end of the last session."""
        self.prefix.stop()
        self.registry = wine_registry.read_prefix(self.prefix.path)
        return self.registry

    def shell_folder(self, name):
        folders = self.registry["HKCU"][
            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"]
        return folders[name][1]

    def install_folder(self):
        return self.shell_folder("Local AppData") + "\\Programs\\Morvane"

    def uninstall_entries(self):
        """The Apps & features entries named Morvane, wherever this Windows keeps them (per-user
        ones in HKCU on Windows, in HKLM under Wine): [(product code, values)]."""
        entries = []
        for hive in ("HKCU", "HKLM"):
            for base in ("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                         "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"):
                for key, values in self.registry[hive].items():
                    if (key.startswith(base) and "\\" not in key[len(base):]
                            and values.get("DisplayName", (0, ""))[1] == "Morvane"):
                        entries.append((key[len(base):], values))
        return entries

    def package_registry(self):
        """Every key and value that names the package: Morvane, its product and upgrade codes,
        its components, in any of the forms Windows Installer writes them. The folders of this
        build on the host (drive Z:) do not count, whatever their names."""
        needles = ["morvane", UPGRADE_CODE.lower(), packed_guid(UPGRADE_CODE).lower()]
        for package in (self.current, self.older):
            for guid in [package.product_code] + package.components:
                needles += [guid.lower(), packed_guid(guid).lower()]
        host = [windows_path(os.path.abspath(d)).lower()
                for d in (self.args.source_dir, os.path.dirname(self.args.work))]

        def names_package(text):
            text = text.lower()
            for folder in host:
                text = text.replace(folder, "")
            return any(n in text for n in needles)

        found = set()
        for hive, keys in self.registry.items():
            for key, values in keys.items():
                if names_package(key):
                    found.add("%s\\%s" % (hive, key))
                for name, (kind, data) in values.items():
                    text = "%s=%s" % (name, data if isinstance(data, str) else repr(data))
                    if names_package(text):
                        found.add("%s\\%s: %s" % (hive, key, text))
        return found

    def snapshot(self):
        self.read_registry()
        return self.prefix.files(), self.package_registry()

    # -- the checks ----------------------------------------------------------------------------

    def check_package_files(self):
        """Each package as the build made it, before anything is installed."""
        r = self.report
        r.begin("the packages")
        for package in (self.current, self.older):
            p = package.properties
            r.equal("Morvane", p.get("ProductName"), "%s ProductName" % package.msi)
            r.equal(package.version, p.get("ProductVersion"), "%s ProductVersion" % package.msi)
            r.equal(self.args.publisher, p.get("Manufacturer"), "%s Manufacturer" % package.msi)
            r.equal(UPGRADE_CODE, p.get("UpgradeCode"), "%s UpgradeCode" % package.msi)
            r.check("ALLUSERS" not in p, "%s sets ALLUSERS: it would install for all users, "
                    "as an administrator" % package.msi)
            summary = msi_summary(package.msi)
            template = {"x86": "Intel;1033", "x64": "x64;1033"}[self.args.arch]
            r.equal(template, summary.get("Template"), "%s platform" % package.msi)
            source = int(summary.get("Source", "0").split()[0])
            r.check(source & 8, "%s asks for elevation (word count %d lacks 8)"
                    % (package.msi, source))
        r.check(self.current.product_code != self.older.product_code,
                "both versions have the product code %s" % self.current.product_code)
        message = [row[1] for row in msi_table(self.current.msi, "LaunchCondition")]
        self.downgrade_message = message[0] if message else ""
        r.check(self.downgrade_message.startswith("A newer version of Morvane is already "
                                                  "installed."),
                "the downgrade message is %r" % self.downgrade_message)

    def archive_files(self):
        """The six files of the release archive, made by CPack as the release makes it."""
        out = tempfile.mkdtemp(dir=self.args.work)
        subprocess.run([self.args.cpack, "-G", "ZIP", "--config", self.args.cpack_config,
                        "-B", out], check=True, capture_output=True)
        (archive,) = glob.glob(os.path.join(out, "*.zip"))
        with zipfile.ZipFile(archive) as z:
            files = {os.path.basename(n): z.read(n) for n in z.namelist() if not n.endswith("/")}
        shutil.rmtree(out)
        return files

    def check_installed(self, package, expected_files, start_at_sign_in):
        """The files, the shortcuts and the Apps & features entry of an installed package."""
        r = self.report
        self.read_registry()
        folder = self.install_folder()
        host_folder = self.prefix.host_path(folder)
        found = sorted(os.listdir(host_folder)) if os.path.isdir(host_folder) else []
        r.equal(FILES, found, "the files in %s" % folder)
        for name in FILES:
            path = os.path.join(host_folder, name)
            if os.path.isfile(path):
                r.check(read_bytes(path) == expected_files.get(name),
                        "%s is not byte for byte the archive's" % name)

        shortcuts = [("Start menu", self.shell_folder("Programs"), True),
                     ("Startup", self.shell_folder("StartUp"), start_at_sign_in)]
        for label, shell_folder, wanted in shortcuts:
            lnk = self.prefix.host_path(shell_folder + "\\Morvane.lnk")
            if not wanted:
                r.check(not os.path.exists(lnk), "a %s shortcut, though left out" % label)
                continue
            if not r.check(os.path.isfile(lnk), "no %s shortcut %s" % (label, lnk)):
                continue
            try:
                link = shell_link.read(lnk)
            except shell_link.ShellLinkError as error:
                r.check(False, "%s shortcut: %s" % (label, error))
                continue
            r.equal((folder + "\\morvane.exe").lower(), (link.target or "").lower(),
                    "the %s shortcut's target" % label)
            r.equal(folder.lower(), (link.working_dir or "").rstrip("\\").lower(),
                    "the %s shortcut's working folder" % label)

        entries = self.uninstall_entries()
        r.equal([package.product_code], [code for code, _ in entries],
                "the Apps & features entries named Morvane")
        if entries:
            values = entries[0][1]
            r.equal(package.version, values.get("DisplayVersion", (0, None))[1], "DisplayVersion")
            r.equal(self.args.publisher, values.get("Publisher", (0, None))[1], "Publisher")
            r.equal(folder.lower(), values.get("InstallLocation", (0, ""))[1].rstrip("\\").lower(),
                    "InstallLocation")
        # What tells Morvane that it runs as installed, and which package its Uninstall removes.
        record = self.registry["HKCU"].get("Software\\Morvane\\Installer", {})
        r.equal((folder.lower(), package.product_code),
                (record.get("InstallFolder", (0, ""))[1].rstrip("\\").lower(),
                 record.get("ProductCode", (0, None))[1]), "the package's record")
        # The icon Apps & features shows: DisplayIcon where Windows writes it, and the product's
        # icon that Windows Installer keeps for it (all that Wine writes).
        product = self.registry["HKCU"].get(
            "Software\\Microsoft\\Installer\\Products\\" + packed_guid(package.product_code), {})
        icon = product.get("ProductIcon", (0, None))[1]
        if r.check(icon, "no ProductIcon for %s" % package.product_code):
            path = self.prefix.host_path(icon)
            r.check(os.path.isfile(path) and read_bytes(path) == read_bytes(self.args.icon),
                    "the product icon %s is not the program's" % icon)

    def msiexec(self, label, *args):
        start = time.monotonic()
        code = self.prefix.run("msiexec", *args)
        self.report.timed(label, time.monotonic() - start)
        return code

    def install(self, label, package, *properties):
        code = self.msiexec(label, "/i", package.windows_path(), "/qn", *properties)
        if not self.report.equal(0, code, "msiexec /i %s exit code" % package.msi):
            raise Fatal("%s did not install" % package.msi)

    def uninstall(self, label):
        """As Apps & features does it: by the product code its entry is named after (in the
        registry as the last check read it)."""
        entries = self.uninstall_entries()
        if not entries:
            raise Fatal("no Apps & features entry to uninstall")
        code = self.msiexec(label, "/x", entries[0][0], "/qn")
        self.report.equal(0, code, "msiexec /x exit code")

    def driver(self, test, *args):
        """Runs one test of the session driver in the prefix; True when it passed."""
        output = os.path.join(self.args.work, "driver.txt")
        with open(output, "w") as out:
            code = subprocess.run([self.prefix.loader, self.args.driver, "--gtest_filter=" + test]
                                  + list(args), env=self.prefix.env, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=subprocess.STDOUT, timeout=300).returncode
        with open(output) as f:
            text = f.read()
        for line in text.splitlines():
            if line.startswith("Morvane's main window after"):
                print("   " + line, flush=True)
        return self.report.check(code == 0 and "[  PASSED  ] 1 test" in text,
                                 "%s failed:\n%s" % (test, text))

    def new_session(self):
        """As a sign-in does: a fresh session, and wineboot runs the user's Startup items."""
        self.prefix.stop()
        start = time.monotonic()
        code = self.prefix.run("wineboot")
        self.report.timed("new session (wineboot)", time.monotonic() - start)
        self.report.equal(0, code, "wineboot exit code")

    def compare_with_before(self, before, what):
        r = self.report
        files, registry = self.snapshot()
        before_files, before_registry = before
        left = sorted(f for f in files - before_files
                      if not (any(f.endswith(p) for p in INSTALLER_FOLDERS)
                              and not os.listdir(os.path.join(self.prefix.path, "drive_c", f))))
        r.check(not left, "%s left files behind:\n  %s" % (what, "\n  ".join(left)))
        taken = sorted(before_files - files)
        r.check(not taken, "%s removed files it had not put there:\n  %s"
                % (what, "\n  ".join(taken)))
        r.check(registry == before_registry, "%s changed the package's registry entries:\n"
                "  now only:\n    %s\n  before only:\n    %s" % (
                    what, "\n    ".join(sorted(registry - before_registry)),
                    "\n    ".join(sorted(before_registry - registry))))

    def run(self):
        r = self.report
        have_driver = bool(self.args.driver)
        if have_driver and not os.environ.get("DISPLAY"):
            raise Fatal("the session checks need an X display: run under xvfb-run")
        self.check_package_files()
        expected = self.archive_files()
        r.check(sorted(expected) == FILES, "the archive holds %s" % sorted(expected))
        older_expected = dict(expected)
        older_expected["readme.txt"] = read_bytes(
            os.path.join(os.path.dirname(self.older.msi), "readme.txt"))

        r.begin("a fresh prefix with a schedule in it")
        start = time.monotonic()
        self.prefix.create()
        r.timed("the prefix made", time.monotonic() - start)
        # A programme twelve hours away, which no step of this test reaches: the user's data,
        # which no step of the package may touch.
        later = datetime.datetime.now() + datetime.timedelta(hours=12)
        hour12 = later.hour % 12 or 12
        entry = "%d%02d%02d%sMFilm" % (later.isoweekday(), hour12, later.minute,
                                       "A" if later.hour < 12 else "P")
        view = "/reg:32" if self.args.arch == "x86" else "/reg:64"
        if self.prefix.run("reg", "add", "HKLM\\Software\\Morvane", "/v", entry, "/d", "Film",
                           "/f", view) != 0:
            raise Fatal("could not write the schedule")
        before = self.snapshot()
        store = ("Software\\Wow6432Node\\Morvane" if self.args.arch == "x86"
                 else "Software\\Morvane")
        r.equal({entry: (wine_registry.REG_SZ, "Film")}, self.registry["HKLM"].get(store),
                "the schedule")

        folder = self.install_folder()

        r.begin("an install without the start at sign-in")
        if have_driver:
            # Interactive, as after a double click on the package: the program starts at the end.
            code = self.msiexec("install, interactive", "/i", self.current.windows_path(),
                                "STARTATSIGNIN=0")
            if not r.equal(0, code, "msiexec /i exit code"):
                raise Fatal("%s did not install" % self.current.msi)
            self.driver("Session.MorvaneRunsFromTheInstallFolder", folder)
        else:
            self.install("install", self.current, "ADDLOCAL=Program")
        self.check_installed(self.current, expected, start_at_sign_in=False)
        if have_driver:
            self.new_session()
            self.driver("Session.NoMorvaneRuns")

        r.begin("the start at sign-in added later, and taken away again")
        self.install("adding it", self.current, "ADDLOCAL=StartAtSignIn")
        self.check_installed(self.current, expected, start_at_sign_in=True)
        self.install("taking it away", self.current, "REMOVE=StartAtSignIn")
        self.check_installed(self.current, expected, start_at_sign_in=False)

        r.begin("uninstalling it")
        self.uninstall("uninstall")
        self.compare_with_before(before, "the uninstall")

        r.begin("an upgrade from %s" % self.older.version)
        self.install("install of %s" % self.older.version, self.older)
        self.check_installed(self.older, older_expected, start_at_sign_in=True)
        self.install("upgrade", self.current)
        self.check_installed(self.current, expected, start_at_sign_in=True)

        r.begin("a downgrade to %s" % self.older.version)
        if have_driver:
            self.driver("Install.AnOlderVersionIsRefusedWithItsMessage", self.older.windows_path(),
                        self.downgrade_message)
        else:
            code = self.msiexec("refused downgrade", "/i", self.older.windows_path(), "/qn")
            r.equal(ERROR_INSTALL_FAILURE % 256, code, "msiexec /i exit code (its low 8 bits)")
        self.check_installed(self.current, expected, start_at_sign_in=True)

        if have_driver:
            r.begin("a new session")
            self.new_session()
            self.driver("Session.MorvaneRunsFromTheInstallFolder", folder, "alert")

        r.begin("the last uninstall")
        self.uninstall("uninstall")
        self.compare_with_before(before, "the uninstall")
        r.equal({entry: (wine_registry.REG_SZ, "Film")}, self.registry["HKLM"].get(store),
                "the schedule after the uninstall")

        if have_driver:
            # With the schedule still there, Morvane's own Uninstall takes it and the program.
            r.begin("the tray's uninstall of an installed copy")
            self.install("install", self.current)
            self.prefix.run("explorer", self.shell_folder("Programs") + "\\Morvane.lnk")
            self.driver("Session.MorvaneRunsFromTheInstallFolder", folder, "uninstall")
            kept = {e for e in before[1] if not e.startswith("HKLM\\" + store)}
            self.compare_with_before((before[0], kept), "the tray's uninstall")
            r.equal(None, self.registry["HKLM"].get(store), "the schedule after it")
        r.end()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("source-dir", "work", "msi", "version", "older-msi", "older-version",
                   "publisher", "cpack", "cpack-config", "icon"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--arch", required=True, choices=["x86", "x64"])
    parser.add_argument("--driver")
    args = parser.parse_args()
    if not shutil.which("msiinfo"):
        print("msiinfo (Debian package msitools) reads the packages; scripts/setup.sh installs it")
        return 1
    test = Test(args)
    start = time.monotonic()
    try:
        test.run()
    except Fatal as error:
        test.report.check(False, str(error))
    except subprocess.TimeoutExpired as error:
        test.report.check(False, "%s did not end within %d s" % (" ".join(error.cmd),
                                                                  error.timeout))
    finally:
        test.prefix.stop()
    print("installer test: %.1f s" % (time.monotonic() - start))
    if test.report.failures:
        print("\n%d failure(s); the prefix is kept: %s" % (len(test.report.failures),
                                                        test.prefix.path))
        for failure in test.report.failures:
            print("  " + failure.splitlines()[0])
        return 1
    shutil.rmtree(test.prefix.path, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
