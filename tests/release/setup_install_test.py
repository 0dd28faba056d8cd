"""The release kit end to end with the real program: a generated installer
(the fixture installer with a payload behind it) is published, served by
serve.py, the configuration lines are pasted into a copy of the built
dist/ folder, and setup.exe (x86_64, under wine64, unattended mode) asks
the release server, downloads the installer in ranges, verifies its MD5,
runs it (it registers the product) and posts its run report.

Needs the build's environment (ctest sets it): WEBINSTALLER_WINE64,
WINEPREFIX, WEBINSTALLER_DIST_DIR, WEBINSTALLER_FIXTURE_DIR."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from release_fixture import Served, run_tool  # noqa: E402

UNINSTALL = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
PRODUCT = "ReleaseKitDemo"  # its own names: other tests may share the prefix
PRODUCT_KEY = PRODUCT + "_is1"
SETUP_TIMEOUT_S = 240


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def paste(ini_path, lines):
    """Replaces or adds the given Key=Value lines in [Product]."""
    with open(ini_path, encoding="utf-8") as f:
        content = f.read().split("\n")
    values = dict(line.split("=", 1) for line in lines if "=" in line and not line.startswith(";"))
    kept = [line for line in content if line.split("=", 1)[0] not in values]
    at = kept.index("[Product]") + 1
    with open(ini_path, "w", encoding="utf-8") as f:
        f.write("\n".join(kept[:at] + ["%s=%s" % kv for kv in values.items()] + kept[at:]))


class SetupInstallsFromServedReleaseTest(unittest.TestCase):
    def setUp(self):
        self.wine = os.environ.get("WEBINSTALLER_WINE64")
        self.dist = os.environ.get("WEBINSTALLER_DIST_DIR")
        self.fixtures = os.environ.get("WEBINSTALLER_FIXTURE_DIR")
        if not (self.wine and self.dist and self.fixtures and os.environ.get("WINEPREFIX")):
            self.skipTest("run through ctest (needs the build's Wine environment)")
        self.work = tempfile.mkdtemp(prefix="release_kit_e2e_")
        self.server = None

    def tearDown(self):
        if self.server:
            self.server.close()
        self.reg("delete", "HKLM\\%s\\%s" % (UNINSTALL, PRODUCT_KEY), "/f")
        shutil.rmtree(self.work, ignore_errors=True)

    def reg(self, *args):
        return subprocess.run([self.wine, "reg", *args], stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=60, env=dict(os.environ, WINEDEBUG="-all"))

    def test_unattended_install_from_the_published_release(self):
        # The product: the fixture installer with 2 MiB of payload behind it.
        installer = os.path.join(self.work, "ReleaseKitDemo_2.0.0_setup.exe")
        shutil.copyfile(os.path.join(self.fixtures, "fake_installer.exe"), installer)
        with open(installer, "ab") as f:
            f.write(os.urandom(2 * 1024 * 1024))
        site = os.path.join(self.work, "site")
        os.makedirs(site)
        self.server = Served(site)
        published = run_tool("publish.py", installer, "--version", "2.0.0", "--server", self.server.base,
                             "--report-url", self.server.base + "/report", "--out", site)
        self.assertEqual(published.returncode, 0, published.stderr)

        run = os.path.join(self.work, "run")
        shutil.copytree(self.dist, run)
        with open(os.path.join(site, "InitConfigure-release.ini"), encoding="utf-8") as f:
            pasted = f.read().split("\n")
        ini = os.path.join(run, "InitConfigure.ini")
        paste(ini, pasted + ["RegistryName=" + PRODUCT, "RegistryNameWithVer=%s*" % PRODUCT,
                             "ProductProcess=%s.exe" % PRODUCT, "ProductName=" + PRODUCT,
                             "InstallPath=ReleaseKit\\Demo", "DownloadThreadCount=4"])
        checked = run_tool("check_config.py", run)
        self.assertEqual(checked.returncode, 0, checked.stdout)

        record = os.path.join(self.work, "installer-runs.txt")
        config = os.path.join(self.work, "installer.cfg")
        with open(config, "w") as f:
            f.write("record=%s\nregistry_address=%s\nregistry_key=%s\ndisplay_name=%s 2.0.0\n"
                    "display_version=2.0.0\nduration_ms=300\n" % (windows_path(record), UNINSTALL, PRODUCT_KEY,
                                                                  PRODUCT))
        self.reg("delete", "HKLM\\%s\\%s" % (UNINSTALL, PRODUCT_KEY), "/f")  # a machine without the product
        environment = dict(os.environ, WINEDEBUG="-all", FAKE_INSTALLER_CONFIG=windows_path(config))
        try:
            setup = subprocess.run(
                [self.wine, "setup.exe", "INSTALL_TYPE=1 ||| EXENAME=ReleaseKitSetup.1042.exe ||| PRODUCT_VERSION=2.0.0"],
                cwd=run, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, timeout=SETUP_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.fail("setup.exe did not finish within %d s\n%s" % (SETUP_TIMEOUT_S, self.diagnostics(run)))
        self.assertEqual(setup.returncode, 1, "the unattended mode ends with 1\n" + self.diagnostics(run))

        query = self.reg("query", "HKLM\\%s\\%s" % (UNINSTALL, PRODUCT_KEY), "/v", "DisplayVersion")
        self.assertIn("2.0.0", query.stdout.decode(errors="replace"), self.diagnostics(run))
        with open(record, encoding="utf-8", errors="replace") as f:
            command_line = f.read()
        self.assertIn("/DIR=", command_line)
        self.assertIn("/VERYSILENT", command_line)  # the unattended switches of the configuration
        served = self.server.output()
        self.assertIn("release query: exeNumber=1042", served)
        self.assertRegex(served, r'"GET /files/ReleaseKitDemo_2\.0\.0_setup\.exe HTTP/1\.1" 206')
        self.assertIn('"GET /version.ini HTTP/1.1" 200', served)
        self.assertIn("install_finish_downloader=true", served)

    def diagnostics(self, run):
        log = os.path.join(run, "Brimvale_Log.log")
        tail = ""
        if os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as f:
                tail = "".join(f.readlines()[-40:])
        return "setup.exe log (end):\n%s\nserve.py:\n%s" % (tail, self.server.output()[-3000:] if self.server else "")


if __name__ == "__main__":
    unittest.main()
