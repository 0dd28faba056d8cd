"""check_config.py and its key scan: the sample passes; each kind of broken
configuration is reported as an error (or a warning) naming the key; the
scan follows the sources (a new read is found, nothing the sources read
goes unseen, every key is documented)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOLS = os.path.join(ROOT, "tools", "release")
CONFIG = os.path.join(ROOT, "config")
sys.path.insert(0, TOOLS)
import ini_file  # noqa: E402
import source_keys  # noqa: E402


def run_check(folder, *extra):
    result = subprocess.run([sys.executable, os.path.join(TOOLS, "check_config.py"), folder, *extra],
                            capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout, result.stderr


def lines_of(output, level):
    return [line for line in output.splitlines() if line.startswith(level + ":")]


class ConfigFolder:
    """A copy of the sample configuration to break."""

    def __init__(self):
        self.work = tempfile.mkdtemp(prefix="check_config_")
        self.folder = os.path.join(self.work, "config")
        shutil.copytree(CONFIG, self.folder)

    def path(self, name):
        return os.path.join(self.folder, name)

    def set_key(self, file_name, key, value):
        """Replaces the key's line (value None deletes it)."""
        with open(self.path(file_name), encoding="utf-8") as f:
            lines = f.read().split("\n")
        pattern = re.compile(r"^%s=" % re.escape(key))
        assert any(pattern.match(line) for line in lines), key
        lines = [(key + "=" + value if value is not None else None) if pattern.match(line) else line for line in lines]
        with open(self.path(file_name), "w", encoding="utf-8") as f:
            f.write("\n".join(line for line in lines if line is not None))

    def append_to_product(self, text):
        with open(self.path("InitConfigure.ini"), encoding="utf-8") as f:
            content = f.read()
        content = content.replace("[Product]\n", "[Product]\n" + text + "\n", 1)
        with open(self.path("InitConfigure.ini"), "w", encoding="utf-8") as f:
            f.write(content)

    def close(self):
        shutil.rmtree(self.work)


class SampleTest(unittest.TestCase):
    def test_sample_configuration_has_no_error_and_no_warning(self):
        code, out, err = run_check(CONFIG)
        self.assertEqual(code, 0, out + err)
        self.assertEqual(lines_of(out, "error"), [])
        self.assertEqual(lines_of(out, "warning"), [])
        self.assertIn("0 error(s), 0 warning(s)", out)

    def test_the_documented_minimal_deployment_passes(self):
        with open(os.path.join(ROOT, "docs", "configuration.md"), encoding="utf-8") as f:
            example = re.search(r"## Example: a minimal deployment\n\n```ini\n(.*?)```", f.read(), re.S).group(1)
        work = tempfile.mkdtemp(prefix="minimal_")
        try:
            with open(os.path.join(work, "InitConfigure.ini"), "w", encoding="utf-8") as f:
                f.write(example)
            for name in ("English.ini", "LanguageTransfor.ini"):
                shutil.copyfile(os.path.join(CONFIG, name), os.path.join(work, name))
            code, out, _ = run_check(work)
        finally:
            shutil.rmtree(work)
        self.assertEqual(code, 0, out)
        self.assertIn("0 error(s), 0 warning(s)", out)

    def test_a_folder_that_does_not_exist_is_a_usage_failure(self):
        code, _, err = run_check(os.path.join(CONFIG, "no-such-folder"))
        self.assertEqual(code, 2)
        self.assertIn("not a folder", err)


class BrokenConfigurationTest(unittest.TestCase):
    # (what is changed, expected level, text the report line must hold)
    CASES = [
        (("InitConfigure.ini", "ProductID", None), "error", "ProductID: missing; a minimal deployment"),
        (("InitConfigure.ini", "RegistryName", ""), "error", "RegistryName (line"),
        (("InitConfigure.ini", "DownloadInfoUrl", "ftp://release.example/x"), "error", "not an http:// or https://"),
        (("InitConfigure.ini", "DownloadInfoUrl", "https:///api"), "error", "names no host"),
        (("InitConfigure.ini", "UpdateIni", "http://host:70000/v.ini"), "error", "port that is not a number"),
        (("InitConfigure.ini", "UpdateEventUrl", "https://stats.example/a b"), "error", "holds ' '"),
        (("InitConfigure.ini", "OfflineDownloadUrl", "https://www.example\\offline"), "error", "backslash"),
        (("InitConfigure.ini", "PrivacyPolicyUrl", "javascript:alert(1)"), "error", "PrivacyPolicyUrl"),
        (("InitConfigure.ini", "DownloadUrl", "https://cdn.example/p.exe"), "error", "URLMD5"),
        (("InitConfigure.ini", "URLMD5", "abc"), "error", "32 hexadecimal digits"),
        (("InitConfigure.ini", "URLSHA256", "a" * 63), "error", "64 hexadecimal digits"),
        (("InitConfigure.ini", "PublisherThumbprint", "ab" * 19), "error", "40 (SHA-1) or 64"),
        (("InitConfigure.ini", "PublisherThumbprint", "AB:" * 19 + "AB"), None, None),
        (("InitConfigure.ini", "URLSHA256", "a" * 64), "warning", "DownloadUrl is empty"),
        (("InitConfigure.ini", "fileRealName", "..\\evil.exe"), "error", "plain file name"),
        (("InitConfigure.ini", "DownloadThreadCount", "0"), "error", "1 to 100"),
        (("InitConfigure.ini", "DownloadThreadCount", "101"), "error", "1 to 100"),
        (("InitConfigure.ini", "InstallIntervalTime", "fast"), "error", "InstallIntervalTime"),
        (("InitConfigure.ini", "InstallPath", "C:\\Apps\\Photo"), "error", "relative to the base folder"),
        (("InitConfigure.ini", "BProgramFilesPath", "1"), None, None),  # the sample's base is a full path
        (("InitConfigure.ini", "InstallProgramFilesPath", ""), None, None),  # fine while the switch is 0
        (("InitConfigure.ini", "RegistryAddress", "HKLM\\SOFTWARE\\Uninstall"), "error", "leave the root out"),
        (("InitConfigure.ini", "DownloadInfoUrlLumaPlayer", ""), "error", "HasRecommendProduct is 1"),
        (("InitConfigure.ini", "homepage", "qshomepage"), "error", 'did you mean "qsHomePage"'),
        (("InitConfigure.ini", "ShowWebAds", "yes"), "warning", 'only "1" switches it on'),
        (("InitConfigure.ini", "DownloadInfoUrlVexa", ""), "warning", "the VEXA edition reads DownloadInfoUrlVexa"),
        (("Chinese.ini", "Retry", None), "error", "Chinese.ini [string] Retry: missing"),
        (("English.ini", "TimeLeftHours", None), "error", "English.ini [string] TimeLeftHours: missing"),
        (("English.ini", "InstallingPicTips3", None), "error", "InstallingPicTips3: missing"),
        (("Chinese.ini", "Installing", ""), "warning", "Chinese.ini [string] Installing: empty"),
        (("Chinese.ini", "InstallFailedTips", "x"), "warning", "marks none where English.ini has ['%1']"),
    ]

    def test_each_broken_key_is_reported_with_its_level(self):
        for (file_name, key, value), level, text in self.CASES:
            with self.subTest(key=key, value=value):
                config = ConfigFolder()
                try:
                    config.set_key(file_name, key, value)
                    code, out, _ = run_check(config.folder)
                finally:
                    config.close()
                if level is None:
                    self.assertEqual(code, 0, out)
                    continue
                matching = [line for line in lines_of(out, level) if text in line]
                self.assertTrue(matching, "no %s with %r in:\n%s" % (level, text, out))
                self.assertEqual(code, 1 if level == "error" else 0, out)

    def test_contradictions_between_keys(self):
        cases = [
            ({"BProgramFilesPath": "1", "InstallProgramFilesPath": ""}, "InstallProgramFilesPath"),
            ({"productContrastPage": "1", "FreeVersionName": ""}, "FreeVersionName"),
            ({"DownloadUrl": "https://cdn.example/p.exe", "URLMD5": "A" * 31}, "URLMD5"),
            ({"DownloadUrl": "https://cdn.example/p.exe", "URLSHA256": "A" * 64, "URLMD5": "A" * 31}, "URLMD5"),
            ({"DownloadUrl": "https://cdn.example/p.exe", "URLSHA256": "g" * 64}, "URLSHA256"),
        ]
        for changes, key in cases:
            with self.subTest(changes=changes):
                config = ConfigFolder()
                try:
                    for name, value in changes.items():
                        config.set_key("InitConfigure.ini", name, value)
                    code, out, _ = run_check(config.folder)
                finally:
                    config.close()
                self.assertEqual(code, 1, out)
                self.assertTrue([line for line in lines_of(out, "error") if "] %s" % key in line], out)

    def test_certificate_switches(self):
        config = ConfigFolder()
        try:
            config.append_to_product("SkipCertificateCheck=1")
            code, out, _ = run_check(config.folder)
            self.assertEqual(code, 0, out)
            self.assertTrue([l for l in lines_of(out, "warning") if "no certificate is checked" in l], out)
            config.append_to_product("CaFile=brimvale-ca.pem")
            with open(config.path("brimvale-ca.pem"), "w") as f:
                f.write("-----BEGIN CERTIFICATE-----\n")
            code, out, _ = run_check(config.folder)
            self.assertEqual(code, 1, out)
            self.assertTrue([l for l in lines_of(out, "error") if "one of them is a mistake" in l], out)
            os.remove(config.path("brimvale-ca.pem"))
            code, out, _ = run_check(config.folder)
            self.assertTrue([l for l in lines_of(out, "error") if "is not in the folder" in l], out)
        finally:
            config.close()

    def test_proxy_keys(self):
        cases = [
            ("Proxy=direct", None, None),
            ("Proxy=proxy.corp.example:3128", None, None),
            ("Proxy=socks5://proxy.corp.example:1080", "error", "not an http:// proxy"),
            ("Proxy=http://proxy:99999", "error", "port that is not a number"),
            ("ProxyPassword=x", "warning", "ProxyUser is empty"),
            ("ProxyUser=me\nProxy=none", "warning", "nothing uses it"),
        ]
        for text, level, message in cases:
            with self.subTest(text=text):
                config = ConfigFolder()
                try:
                    config.append_to_product(text)
                    code, out, _ = run_check(config.folder)
                finally:
                    config.close()
                if level is None:
                    self.assertEqual(code, 0, out)
                    continue
                self.assertTrue([l for l in lines_of(out, level) if message in l], out)
                self.assertEqual(code, 1 if level == "error" else 0, out)

    def test_key_names_are_case_sensitive(self):
        config = ConfigFolder()
        try:
            config.set_key("InitConfigure.ini", "ProductID", None)
            config.append_to_product("ProductId=1001")
            code, out, _ = run_check(config.folder)
        finally:
            config.close()
        self.assertEqual(code, 1)
        self.assertTrue([l for l in lines_of(out, "error") if "ProductId" in l and "reads ProductID" in l], out)

    def test_language_files(self):
        config = ConfigFolder()
        try:
            os.remove(config.path("Chinese.ini"))
            code, out, _ = run_check(config.folder)
            self.assertEqual(code, 1)
            self.assertTrue([l for l in lines_of(out, "error") if l.startswith("error: Chinese.ini: missing")], out)
            os.remove(config.path("English.ini"))
            code, out, _ = run_check(config.folder)
            self.assertTrue([l for l in lines_of(out, "error") if l.startswith("error: English.ini: missing")], out)
            with open(config.path("English.ini"), "wb") as f:
                f.write(b"[string]\nRetry=R\xe9essayer\n")
            code, out, _ = run_check(config.folder)
            self.assertTrue([l for l in lines_of(out, "error") if "not UTF-8" in l], out)
        finally:
            config.close()

    def test_missing_configuration_file(self):
        config = ConfigFolder()
        try:
            os.remove(config.path("InitConfigure.ini"))
            code, out, _ = run_check(config.folder)
        finally:
            config.close()
        self.assertEqual(code, 1)
        self.assertIn("error: InitConfigure.ini: missing", out)


class IniReadingTest(unittest.TestCase):
    def test_reads_as_the_program_does(self):
        long_value = "\u4e2d" * 100  # 300 UTF-8 bytes
        data = ("\ufeff; comment\n[product]\r\nA = ' quoted '\nB=1\nB=2\n;C=3\nD=" + long_value +
                "\n[Other]\nE=5\n[Product]\nF=6\n").encode("utf-8")
        section = ini_file.read_section(data, "Product")
        self.assertEqual(section.entries, {"A": " quoted ", "B": "1", "D": "\u4e2d" * 86})
        levels = sorted(level for level, _, _ in section.problems)
        self.assertEqual(levels, ["warning", "warning", "warning"])  # B repeated, D cut, second [Product]

    def test_name_list_limits_end_the_section(self):
        names = "".join("Key%04d=x\n" % i for i in range(300))  # 8 bytes + terminator each
        section = ini_file.read_section(("[s]\n" + names).encode(), "s")
        self.assertEqual(len(section.entries), (ini_file.MAX_NAME_LIST_BYTES - 1) // 8)
        self.assertEqual(section.problems[0][0], "error")
        section = ini_file.read_section(("[s]\nA=1\n" + "K" * 259 + "=x\nB=2\n").encode(), "s")
        self.assertEqual(section.entries, {"A": "1"})


class SourceScanTest(unittest.TestCase):
    def setUp(self):
        self.keys = source_keys.scan(os.path.join(ROOT, "src"))

    def test_every_sample_key_the_sources_name_is_found(self):
        # A key that appears in the sources but not in the scan means a read
        # the scanner does not understand: teach it that form.
        literals = source_keys.string_literals(os.path.join(ROOT, "src"))
        sample_texts = ini_file.read_file_section(os.path.join(CONFIG, "English.ini"), "string").entries
        sample_product = ini_file.read_file_section(os.path.join(CONFIG, "InitConfigure.ini"), "Product").entries
        found = set(self.keys.config) | set(self.keys.strings)
        self.assertEqual(sorted((literals & (set(sample_texts) | set(sample_product))) - found), [])

    def test_every_key_read_is_documented(self):
        with open(os.path.join(ROOT, "docs", "configuration.md"), encoding="utf-8") as f:
            doc = f.read()
        # An edition twin is documented with its plain key ("twin").
        twins = {k + source_keys.EDITION_SUFFIX for k in self.keys.edition_keys}
        undocumented = [k for k in list(self.keys.config) + list(self.keys.strings)
                        if "`%s`" % k not in doc and k not in twins]
        self.assertEqual(sorted(undocumented), [], "add them to docs/configuration.md")

    def test_new_reads_are_found_without_changing_the_tool(self):
        work = tempfile.mkdtemp(prefix="scan_")
        try:
            os.makedirs(os.path.join(work, "ui"))
            os.makedirs(os.path.join(work, "toolkit"))
            with open(os.path.join(work, "ui", "backup_page.cpp"), "w") as f:
                f.write('''
std::wstring Text(const char* key) { return startup::Strings().Get(key); }
std::wstring Label(const char* caption_key, const char* key) {
  return startup::Strings().Format(caption_key, key, L"");
}
int Number(const char* key) { return Parse(startup::Config().GetForEdition(key)); }
constexpr Pair kTexts[] = {{L"backup_title", "BackupTitle"}};
constexpr const char* kModeKeys[] = {"ModeFull", "ModeLight"};
void BackupPage::Show() {
  for (const char* key : kModeKeys) modes.push_back(Text(key));
  SetText(L"a", Text("BackupNow"));
  SetText(L"b", Label("BackupFolderTip", "ProductName"));
  const char* key = wide ? "SpeedWide" : "SpeedNarrow";
  SetText(L"c", Text(key));
  // Text("InAComment") is no read.
  const int n = Number("BackupRetries");
  const bool on = startup::Config().IsOn("BackupCloud");
}
''')
            with open(os.path.join(work, "toolkit", "label.cpp"), "w") as f:
                f.write('void X() { strings.Get("ToolkitIsSkipped"); }\n')
            keys = source_keys.scan(work)
            self.assertEqual(sorted(keys.strings), ["BackupFolderTip", "BackupNow", "BackupTitle", "ModeFull",
                                                    "ModeLight", "ProductName", "SpeedNarrow", "SpeedWide"])
            self.assertEqual(sorted(keys.config), ["BackupCloud", "BackupRetries", "BackupRetriesVexa"])
            with open(os.path.join(work, "ui", "slides.cpp"), "w") as f:
                f.write('void S(int i) { const std::string key = "SlideTip" + std::to_string(i);\n'
                        '  startup::Strings().Get(key); }\n')
            with self.assertRaises(source_keys.ScanError):
                source_keys.scan(work)
        finally:
            shutil.rmtree(work)


if __name__ == "__main__":
    unittest.main()
