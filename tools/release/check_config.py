#!/usr/bin/env python3
"""Checks a deployment's configuration folder before it ships.

usage: check_config.py [--source SRC] [--skin SKIN] <config-folder>

Reads InitConfigure.ini, LanguageTransfor.ini and every language file the
folder offers, as setup.exe reads them, and reports:
  error    what breaks a run: a key a minimal deployment needs is missing or
           empty, an address setup.exe cannot use, contradictory keys, a
           language file without a text the pages show, text the program
           cannot read (not UTF-8, names past the INI limits);
  warning  what works but is probably not meant: values cut at 259 bytes,
           repeated keys, unknown switch values, certificate checks off,
           texts left empty, a missing edition twin;
  note     keys this build does not read (other variants, future pages).
The keys and texts needed come from a scan of the program's sources
(source_keys.py), so texts added to the pages are checked as soon as they
are merged. Exit code: 0 without errors (warnings allowed), 1 with errors,
2 when the folder or the sources cannot be read.
"""

import argparse
import os
import re
import sys
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ini_file  # noqa: E402
import source_keys  # noqa: E402

# A minimal deployment sets these (empty breaks the run or the detection of
# the installed product).
MINIMAL_KEYS = (
    "InstallerName", "ProductName", "ProductProcess", "RegistryAddress", "RegistryName", "DisplayName",
    "UninstallKey", "ProductID", "DownloadInfoUrl", "InstallPath",
)
# Set them too unless you mean their documented empty behaviour.
RECOMMENDED_KEYS = (
    "UpdateIni", "UpdateEventUrl", "SilentInstallParamStr", "SetupLogName", "OfflineDownloadUrl",
    "ProductLicenseUrl", "PrivacyPolicyUrl", "UninstallParamStr", "DownloadThreadCount",
)
SWITCH_KEYS = ("ShowWebAds", "HasRecommendProduct", "BProgramFilesPath", "ProOnServer", "productContrastPage",
               "SkipCertificateCheck")
# Keys that hold an address: every one ending in "Url" (with its edition
# or companion suffix) and the version file.
ADDRESS_KEY = re.compile(r"(Url|Ini)(Vexa|LumaPlayer)?$")
FILE_NAME_FORBIDDEN = set('\\/:*?"<>|')
START_LANGUAGE = "Chinese"
FALLBACK_LANGUAGE = "English"
PLACEHOLDER = re.compile(r"%[1-9]")


class Report:
    def __init__(self):
        self.items = []

    def add(self, level, where, message):
        self.items.append((level, where, message))

    def count(self, level):
        return sum(1 for item in self.items if item[0] == level)

    def print(self, out):
        for level in ("error", "warning", "note"):
            for item_level, where, message in self.items:
                if item_level == level:
                    out.write("%s: %s: %s\n" % (level, where, message))
        out.write("%d error(s), %d warning(s)\n" % (self.count("error"), self.count("warning")))


def address_problem(url):
    """Why setup.exe cannot use `url` as an address, or None."""
    lower = url.lower()
    if not (lower.startswith("http://") or lower.startswith("https://")):
        return "not an http:// or https:// address"
    if len(url) > 2048:
        return "longer than 2048 characters"
    bad = [c for c in url if c <= " " or c in '\x7f"<>']
    if bad:
        return "holds %r (blanks, quotes, angle brackets and control characters are refused)" % bad[0]
    if "\\" in url:
        return "holds a backslash (use /)"
    parts = urllib.parse.urlsplit(url)
    if not parts.hostname:
        return "names no host (http://host/path)"
    try:
        port = parts.port
    except ValueError:
        return "has a port that is not a number from 1 to 65535"
    if port == 0:
        return "has port 0"
    if parts.username is not None or parts.password is not None:
        return "carries a user name or password (they would end up in logs)"
    return None


def decimal(text):
    return int(text) if re.fullmatch(r"[0-9]{1,9}", text) else None


def homepage_variants(src_dir):
    """homepage value -> window description, from the interactive mode."""
    path = os.path.join(src_dir, "ui", "interactive_mode.cpp")
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return {}
    return dict(re.findall(r'homepage\s*==\s*L"(\w+)"\)\s*return\s*\{\s*\d+\s*,\s*L"([\w.]+)"', text))


class Checker:
    def __init__(self, folder, keys, src_dir, skin_dir, report):
        self.folder = folder
        self.keys = keys
        self.src_dir = src_dir
        self.skin_dir = skin_dir
        self.report = report
        self.product = {}
        self.product_lines = {}

    def where(self, file_name, key=None, section="Product"):
        line = self.product_lines.get(key) if file_name == "InitConfigure.ini" and key else None
        return "%s [%s]%s%s" % (file_name, section, " " + key if key else "", " (line %d)" % line if line else "")

    def err(self, key, message):
        self.report.add("error", self.where("InitConfigure.ini", key), message)

    def warn(self, key, message):
        self.report.add("warning", self.where("InitConfigure.ini", key), message)

    def read(self, file_name, section):
        path = os.path.join(self.folder, file_name)
        if not os.path.isfile(path):
            return None
        result = ini_file.read_file_section(path, section)
        for level, line, message in result.problems:
            self.report.add(level, "%s [%s]%s" % (file_name, section, " (line %d)" % line if line else ""), message)
        return result

    def run(self):
        product = self.read("InitConfigure.ini", "Product")
        if product is None:
            self.report.add("error", "InitConfigure.ini", "missing: every setting reads as empty")
            return
        if not product.found:
            self.report.add("error", "InitConfigure.ini", "has no [Product] section: every setting reads as empty")
        self.product, self.product_lines = product.entries, product.lines
        self.check_keys_present()
        self.check_values()
        self.check_contradictions()
        self.check_languages()

    def get(self, key):
        return self.product.get(key, "")

    def on(self, key):
        return self.get(key) == "1"

    def check_keys_present(self):
        read = self.keys.config
        for key in MINIMAL_KEYS:
            if key not in self.product:
                self.err(key, "missing; a minimal deployment must set it")
            elif not self.product[key]:
                self.err(key, "empty; a minimal deployment must set it")
        for key in RECOMMENDED_KEYS:
            if key not in self.product:
                self.warn(key, "missing: reads as empty (see docs/configuration.md for what that does)")
        ships_vexa = any(k.endswith(source_keys.EDITION_SUFFIX) for k in self.product)
        for key in sorted(self.keys.edition_keys):
            twin = key + source_keys.EDITION_SUFFIX
            if ships_vexa and self.get(key) and not self.get(twin):
                self.warn(twin, "missing or empty while %s is set: the VEXA edition reads %s instead" % (key, twin))
        lower_read = {k.lower(): k for k in read}
        for key in self.product:
            if key in read:
                continue
            if key.lower() in lower_read:
                self.err(key, "is never read: key names are case-sensitive, the program reads %s"
                         % lower_read[key.lower()])
            else:
                self.report.add("note", self.where("InitConfigure.ini", key), "not read by this build")

    def check_values(self):
        for key, value in self.product.items():
            if not value:
                continue
            if ADDRESS_KEY.search(key) and key in self.keys.config:
                problem = address_problem(value)
                if problem:
                    self.err(key, "%s: %s" % (problem, value))
                elif any(ord(c) > 127 for c in value):
                    self.warn(key, "holds characters outside ASCII: they pass through the system's code page")
            if key in SWITCH_KEYS and value not in ("0", "1"):
                self.warn(key, 'is "%s": only "1" switches it on, anything else is off' % value)
        count = self.get("DownloadThreadCount")
        if count and not (decimal(count) is not None and 1 <= decimal(count) <= 100):
            self.err("DownloadThreadCount", 'is "%s": must be a number from 1 to 100 (else one connection)' % count)
        interval = self.get("InstallIntervalTime")
        if interval and not (decimal(interval) is not None and 1 <= decimal(interval) <= 600000):
            self.err("InstallIntervalTime", 'is "%s": must be milliseconds from 1 to 600000 (else 1000)' % interval)
        for key in ("InterceptWebEventX", "InterceptWebEventY", "InterceptWebEventCloseX", "InterceptWebEventCloseY"):
            value = self.get(key)
            if value and not re.fullmatch(r"[0-9]{1,6}", value):
                self.err(key, 'is "%s": must be a number of pixels (else 0: nothing is intercepted)' % value)
        md5 = self.get("URLMD5")
        if md5 and not re.fullmatch(r"[0-9A-Fa-f]{32}", md5):
            self.err("URLMD5", 'is "%s": an MD5 digest is 32 hexadecimal digits' % md5)
        sha256 = self.get("URLSHA256")
        if sha256 and not re.fullmatch(r"[0-9A-Fa-f]{64}", sha256):
            self.err("URLSHA256", 'is "%s": a SHA-256 digest is 64 hexadecimal digits (anything else stops '
                     'every install with 4002)' % sha256)
        thumbprint = self.get("PublisherThumbprint")
        digits = re.sub(r"[ :]", "", thumbprint)
        if thumbprint and not (len(digits) in (40, 64) and re.fullmatch(r"[0-9A-Fa-f]*", digits)):
            self.err("PublisherThumbprint", 'is "%s": a certificate thumbprint is 40 (SHA-1) or 64 (SHA-256) '
                     'hexadecimal digits (anything else stops every install with 4004)' % thumbprint)
        name = self.get("fileRealName")
        if name and (FILE_NAME_FORBIDDEN & set(name) or name in (".", "..")):
            self.err("fileRealName", 'is "%s": a plain file name, without \\ / : * ? " < > |' % name)
        for key in ("InstallPath", "InstallPathVexa", "ProductExtentPath", "ProductExtentPathVexa"):
            value = self.get(key)
            if value and (re.match(r"^([A-Za-z]:|[\\/])", value) or ".." in re.split(r"[\\/]", value)):
                self.err(key, 'is "%s": a folder relative to the base folder, without a drive or ".."' % value)
        base = self.get("InstallProgramFilesPath")
        if self.on("BProgramFilesPath") and not re.match(r"^[A-Za-z]:\\", base):
            self.err("InstallProgramFilesPath", 'is "%s" while BProgramFilesPath is 1: it must be a full '
                     'folder such as C:\\Program Files' % base)
        address = self.get("RegistryAddress")
        if re.match(r"^(HKEY_|HKLM|HKCU)", address, re.I):
            self.err("RegistryAddress", "is read under HKEY_LOCAL_MACHINE already: leave the root out")
        for name in self.get("InstallerName").split(","):
            if self.get("InstallerName") and not name.strip():
                self.warn("InstallerName", "holds an empty name between commas")
            elif "\\" in re.sub(r"^(Global|Local)\\", "", name):
                self.err("InstallerName", '"%s": a mutex name holds no backslash (except after Global or Local)'
                         % name)
        proxy = self.get("Proxy")
        if proxy and proxy.strip().lower() not in ("system", "direct", "none"):
            address = proxy.strip() if "://" in proxy else "http://" + proxy.strip()
            problem = None if address.lower().startswith("http://") else "not an http:// proxy"
            problem = problem or address_problem(address)
            if problem:
                self.err("Proxy", '"%s": %s (direct, none, system or http://host:port); setup.exe would go '
                         "direct" % (proxy, problem))
        ca = self.get("CaFile")
        if ca:
            path = ca if re.match(r"^([A-Za-z]:|\\\\)", ca) else os.path.join(self.folder, ca)
            if not re.match(r"^([A-Za-z]:|\\\\)", ca) and not os.path.isfile(path):
                self.err("CaFile", '"%s" is not in the folder: every https transfer would fail' % ca)

    def check_contradictions(self):
        if self.get("ProxyPassword") and not self.get("ProxyUser"):
            self.warn("ProxyPassword", "set while ProxyUser is empty: no proxy authentication is sent without a user")
        if self.get("ProxyUser") and self.get("Proxy").strip().lower() in ("direct", "none"):
            self.warn("ProxyUser", "set while Proxy is direct: nothing uses it")
        if self.get("DownloadUrl") and not self.get("URLMD5") and not self.get("URLSHA256"):
            self.err("URLMD5", "empty while DownloadUrl names the download: the server's digest (of another file) "
                     "would be checked against it; set URLMD5 or URLSHA256 to the digest of that file")
        for key in ("URLMD5", "URLSHA256"):
            if self.get(key) and not self.get("DownloadUrl"):
                self.warn(key, "set while DownloadUrl is empty: it replaces the digests of the file the server names")
        if self.on("SkipCertificateCheck"):
            if self.get("CaFile"):
                self.err("SkipCertificateCheck", "is 1 while CaFile is set: one of them is a mistake")
            else:
                self.warn("SkipCertificateCheck", "is 1: no certificate is checked (only for private test servers)")
        if self.on("HasRecommendProduct") and not self.get("DownloadInfoUrlLumaPlayer"):
            self.err("DownloadInfoUrlLumaPlayer", "empty while HasRecommendProduct is 1: an accepted offer has "
                     "nothing to download")
        if self.on("productContrastPage") and not self.get("FreeVersionName"):
            self.err("FreeVersionName", "empty while productContrastPage is 1: the comparison page never shows")
        if self.on("productContrastPage") and self.on("ProOnServer") and not self.get("TrialVersionName"):
            self.err("TrialVersionName", "empty while ProOnServer is 1: a server would get an empty edition")
        variants = homepage_variants(self.src_dir)
        page = self.get("homepage")
        if page and page not in variants:
            for known in variants:
                if known.lower() == page.lower():
                    self.err("homepage", 'is "%s": did you mean "%s"? Values are case-sensitive' % (page, known))
        if page in variants and self.skin_dir and not os.path.isfile(os.path.join(self.skin_dir, variants[page])):
            self.warn("homepage", 'is "%s" but the skin has no %s: the product home page shows instead'
                      % (page, variants[page]))

    def check_languages(self):
        languages = self.read("InitConfigure.ini", "Language")
        offered = languages.entries if languages else {}
        if not offered:
            self.report.add("error", "InitConfigure.ini [Language]",
                            "offers no language: the chooser is empty and the texts come from English.ini")
        transfer = self.read("LanguageTransfor.ini", "Language")
        if transfer is None:
            self.report.add("warning", "LanguageTransfor.ini", "missing: the installer gets the language's "
                            "display text after /LANG=")
        for name, display in offered.items():
            if not display:
                self.report.add("error", "InitConfigure.ini [Language] " + name, "has no display text")
            if transfer is not None and name not in transfer.entries and display not in transfer.entries:
                self.report.add("warning", "LanguageTransfor.ini [Language]",
                                "has no installer code for %s: the installer gets \"%s\"" % (name, display or name))
        names = list(offered)
        if FALLBACK_LANGUAGE not in names:
            names.append(FALLBACK_LANGUAGE)  # the fallback is read whether offered or not
        reference = None
        for name in names:
            texts = self.read(name + ".ini", "string")
            if texts is None:
                self.report.add("error", name + ".ini", "missing: %s" % (
                    "every text is empty when the start language is not there" if name == FALLBACK_LANGUAGE
                    else "choosing it empties every text"))
                continue
            self.check_texts(name + ".ini", texts.entries)
            if name == FALLBACK_LANGUAGE:
                reference = texts.entries
        if reference is not None:
            for name in names:
                if name == FALLBACK_LANGUAGE or not os.path.isfile(os.path.join(self.folder, name + ".ini")):
                    continue
                other = ini_file.read_file_section(os.path.join(self.folder, name + ".ini"), "string").entries
                for key in sorted(self.keys.strings):
                    want = sorted(set(PLACEHOLDER.findall(reference.get(key, ""))))
                    have = sorted(set(PLACEHOLDER.findall(other.get(key, ""))))
                    if other.get(key) and want != have:
                        self.report.add("warning", "%s.ini [string] %s" % (name, key),
                                        "marks %s where English.ini has %s" % (have or "none", want or "none"))
        if START_LANGUAGE in offered or os.path.isfile(os.path.join(self.folder, START_LANGUAGE + ".ini")):
            if (START_LANGUAGE in offered) != os.path.isfile(os.path.join(self.folder, START_LANGUAGE + ".ini")):
                self.report.add("warning", "InitConfigure.ini [Language]",
                                "%s.ini and the %s entry go together: with only one of them the texts start "
                                "in English" % (START_LANGUAGE, START_LANGUAGE))

    def check_texts(self, file_name, texts):
        for key in sorted(self.keys.strings):
            where = "%s [string] %s" % (file_name, key)
            used = ", ".join(sorted(self.keys.strings[key])[:2])
            if key not in texts:
                self.report.add("error", where, "missing (shown by %s)" % used)
            elif not texts[key].strip():
                self.report.add("warning", where, "empty (shown by %s)" % used)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Checks a configuration folder (InitConfigure.ini and "
                                     "the language files) before it ships.")
    parser.add_argument("folder", help="folder holding InitConfigure.ini and the language files")
    parser.add_argument("--source", default=source_keys.default_source_dir(),
                        help="the program's src/ folder (default: the one beside this tool)")
    parser.add_argument("--skin", default=None, help="the skin/ folder (default: the one beside this tool)")
    args = parser.parse_args(argv)
    skin = args.skin or os.path.join(os.path.dirname(args.source), "skin")
    if not os.path.isdir(args.folder):
        sys.stderr.write("check_config: %s is not a folder\n" % args.folder)
        return 2
    try:
        keys = source_keys.scan(args.source)
    except (OSError, source_keys.ScanError) as e:
        sys.stderr.write("check_config: cannot learn the keys from the sources: %s\n" % e)
        return 2
    report = Report()
    Checker(args.folder, keys, args.source, skin if os.path.isdir(skin) else None, report).run()
    report.print(sys.stdout)
    return 1 if report.count("error") else 0


if __name__ == "__main__":
    sys.exit(main())
