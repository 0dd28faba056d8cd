"""publish.py and serve.py together, as a vendor uses them: a generated
installer is published, served on loopback and fetched the way setup.exe
fetches it (release POST, version file, HEAD, parallel byte ranges); the
bytes and the MD5 match the reply. Also the server's range edge cases and
path checks, and publish.py's refusals."""

import hashlib
import http.client
import json
import os
import re
import shutil
import socket
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from release_fixture import ROOT, Served, TOOLS, run_tool  # noqa: E402

sys.path.insert(0, TOOLS)
import ini_file  # noqa: E402

SIZE = 3 * 1024 * 1024 + 12345  # not a multiple of anything the ranges use


def members_the_program_reads():
    """The "data" members the release client reads, from its source."""
    with open(os.path.join(ROOT, "src", "net", "release_client.cpp"), encoding="utf-8") as f:
        text = f.read()
    required = re.findall(r'\{"(\w+)",\s*ReleaseCause::\w+,', text)
    optional = re.findall(r'StringOrEmpty\(\*?data,\s*"(\w+)"\)', text)
    return set(required) | set(optional)


class PublishedRelease(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="publish_")
        cls.installer = os.path.join(cls.work, "PhotoStudio_3.1.0_setup.exe")
        with open(cls.installer, "wb") as f:
            f.write(os.urandom(SIZE))
        with open(cls.installer, "rb") as f:
            cls.md5 = hashlib.md5(f.read()).hexdigest()
        cls.out = os.path.join(cls.work, "site")
        os.makedirs(cls.out)
        # The address is known once the server listens: serve, then publish.
        cls.server = Served(cls.out)
        result = run_tool("publish.py", cls.installer, "--version", "3.1.0", "--server", cls.server.base,
                          "--out", cls.out, "--refer-number", "77", "--companion-url",
                          "https://cdn.example/companion.exe", "--report-url", cls.server.base + "/report")
        assert result.returncode == 0, result.stderr
        cls.published = result.stdout

    @classmethod
    def tearDownClass(cls):
        cls.server.close()
        shutil.rmtree(cls.work)

    def request(self, method, path, headers=None, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=30)
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def reply(self):
        status, headers, body = self.request("POST", "/release", {"Content-Type": "application/x-www-form-urlencoded"},
                                             b"exeNumber=1042&pcVersion=home&pid=1001&version=3.1.0")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Content-Type"], "application/json")
        return json.loads(body)

    def test_reply_has_exactly_the_members_the_program_reads(self):
        data = self.reply()["data"]
        self.assertEqual(set(data), members_the_program_reads())
        self.assertTrue(all(isinstance(v, str) for v in data.values()))
        self.assertEqual(data["md5"], self.md5)
        with open(self.installer, "rb") as f:
            self.assertEqual(data["sha256"], hashlib.sha256(f.read()).hexdigest())
        self.assertEqual(data["download"], self.server.base + "/files/PhotoStudio_3.1.0_setup.exe")
        self.assertEqual((data["download2"], data["download3"]), ("", ""))
        self.assertEqual(data["curNum"], "3.1.0")
        self.assertEqual((data["referNumber"], data["tuijian"]), ("77", "https://cdn.example/companion.exe"))
        self.assertEqual((data["killSwitch"], data["WriteLogSwitch"]), ("false", "true"))

    def test_record_and_configuration_lines(self):
        with open(os.path.join(self.out, "release-record.json")) as f:
            record = json.load(f)
        with open(self.installer, "rb") as f:
            sha256 = hashlib.sha256(f.read()).hexdigest()
        self.assertEqual((record["size"], record["md5"], record["sha256"]), (SIZE, self.md5, sha256))
        self.assertEqual(record["file"], "PhotoStudio_3.1.0_setup.exe")
        with open(os.path.join(self.out, "InitConfigure-release.ini"), "rb") as f:
            keys = ini_file.read_section(b"[Product]\n" + f.read(), "Product").entries
        self.assertEqual(keys["DownloadInfoUrl"], self.server.base + "/release")
        self.assertEqual(keys["UpdateIni"], self.server.base + "/version.ini")
        self.assertEqual(keys["UpdateEventUrl"], self.server.base + "/report")
        self.assertEqual((keys["DownloadUrl"], keys["URLMD5"], keys["URLSHA256"], keys["fileRealName"]),
                         ("", "", "", ""))
        self.assertIn("DownloadInfoUrl=" + self.server.base + "/release", self.published)

    def test_pasted_lines_pass_the_configuration_check(self):
        config = os.path.join(self.work, "config")
        shutil.copytree(os.path.join(ROOT, "config"), config, dirs_exist_ok=True)
        with open(os.path.join(self.out, "InitConfigure-release.ini"), encoding="utf-8") as f:
            pasted = f.read()
        with open(os.path.join(config, "InitConfigure.ini"), encoding="utf-8") as f:
            lines = f.read().split("\n")
        names = {line.split("=", 1)[0] for line in pasted.split("\n") if "=" in line and not line.startswith(";")}
        kept = [line for line in lines if line.split("=", 1)[0] not in names]
        at = kept.index("[Product]") + 1
        with open(os.path.join(config, "InitConfigure.ini"), "w", encoding="utf-8") as f:
            f.write("\n".join(kept[:at] + pasted.split("\n") + kept[at:]))
        result = run_tool("check_config.py", config)
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertIn("0 error(s)", result.stdout)

    def test_version_file_names_the_version(self):
        status, _, body = self.request("GET", "/version.ini")
        self.assertEqual(status, 200)
        self.assertRegex(body.decode(), r"(?m)^ProductVersion = 3\.1\.0$")

    def test_ranged_parallel_fetch_is_byte_exact_and_matches_the_reply(self):
        path = "/files/PhotoStudio_3.1.0_setup.exe"
        status, headers, body = self.request("HEAD", path)
        self.assertEqual((status, body), (200, b""))
        self.assertEqual(int(headers["Content-Length"]), SIZE)
        self.assertEqual(headers["Accept-Ranges"], "bytes")
        parts = 5
        step = SIZE // parts
        ranges = [(i * step, SIZE - 1 if i == parts - 1 else (i + 1) * step - 1) for i in range(parts)]
        pieces = [None] * parts

        def fetch(i):
            first, last = ranges[i]
            pieces[i] = self.request("GET", path, {"Range": "bytes=%d-%d" % (first, last)})

        threads = [threading.Thread(target=fetch, args=(i,)) for i in range(parts)]
        for t in threads:
            t.start()
        for t in threads:
            t.join(60)
        for (first, last), (status, headers, body) in zip(ranges, pieces):
            self.assertEqual(status, 206)
            self.assertEqual(headers["Content-Range"], "bytes %d-%d/%d" % (first, last, SIZE))
            self.assertEqual(int(headers["Content-Length"]), last - first + 1)
            self.assertEqual(len(body), last - first + 1)
        joined = b"".join(p[2] for p in pieces)
        with open(self.installer, "rb") as f:
            self.assertEqual(joined, f.read())
        self.assertEqual(hashlib.md5(joined).hexdigest(), self.reply()["data"]["md5"])

    def test_range_edge_cases(self):
        path = "/files/PhotoStudio_3.1.0_setup.exe"
        with open(self.installer, "rb") as f:
            content = f.read()
        cases = [
            ("bytes=0-0", 206, "bytes 0-0/%d" % SIZE, content[:1]),
            ("bytes=-100", 206, "bytes %d-%d/%d" % (SIZE - 100, SIZE - 1, SIZE), content[-100:]),
            ("bytes=%d-" % (SIZE - 7), 206, "bytes %d-%d/%d" % (SIZE - 7, SIZE - 1, SIZE), content[-7:]),
            ("bytes=%d-%d" % (SIZE - 2, SIZE + 500), 206, "bytes %d-%d/%d" % (SIZE - 2, SIZE - 1, SIZE),
             content[-2:]),
            ("bytes=%d-" % SIZE, 416, "bytes */%d" % SIZE, b""),
            ("bytes=-0", 416, "bytes */%d" % SIZE, b""),
            ("bytes=0-1,5-6", 200, None, content),  # several ranges: the whole file
            ("bytes=9-3", 200, None, content),  # malformed: ignored
            ("items=0-1", 200, None, content),
        ]
        for header, status, content_range, expected in cases:
            with self.subTest(range=header):
                got_status, headers, body = self.request("GET", path, {"Range": header})
                self.assertEqual(got_status, status)
                self.assertEqual(headers.get("Content-Range"), content_range)
                self.assertEqual(body, expected)
                self.assertEqual(int(headers["Content-Length"]), len(expected))

    def test_only_files_inside_the_folder_are_served(self):
        outside = os.path.join(self.work, "secret.txt")
        with open(outside, "w") as f:
            f.write("secret")
        os.symlink(outside, os.path.join(self.out, "files", "link.txt"))
        for path in ["/../secret.txt", "/files/../../secret.txt", "/files/%2e%2e/%2e%2e/secret.txt",
                     "/files/link.txt", "/files/", "/nothing.exe", "/files/x%00.exe"]:
            with self.subTest(path=path):
                status, _, body = self.request("GET", path)
                self.assertEqual(status, 404)
                self.assertNotIn(b"secret", body)

    def test_report_is_accepted_and_a_dropped_client_does_not_stop_the_server(self):
        status, _, _ = self.request("POST", "/report", body=b"uid=abc&install_finish_downloader=true")
        self.assertEqual(status, 200)
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=10) as s:
            s.sendall(b"GET /files/PhotoStudio_3.1.0_setup.exe HTTP/1.1\r\nHost: x\r\n\r\n")
            s.recv(1000)  # leave in the middle of the body
        status, _, body = self.request("GET", "/version.ini")
        self.assertEqual(status, 200)
        status, _, _ = self.request("POST", "/release", body=b"x" * (64 * 1024 + 1))
        self.assertEqual(status, 413)
        self.assertIn("run report: uid=abc&install_finish_downloader=true", self.server.output())


class PublishRefusalsTest(unittest.TestCase):
    def test_unusable_inputs_are_refused_before_anything_is_written(self):
        work = tempfile.mkdtemp(prefix="publish_bad_")
        try:
            good = os.path.join(work, "Product_1.0.exe")
            with open(good, "wb") as f:
                f.write(b"MZ" + os.urandom(1000))
            spaced = os.path.join(work, "Product 1.0.exe")
            shutil.copyfile(good, spaced)
            empty = os.path.join(work, "Empty.exe")
            open(empty, "wb").close()
            base = ["--version", "1.0", "--server", "https://release.example"]
            cases = [
                ([os.path.join(work, "missing.exe")] + base, "is not a file"),
                ([spaced] + base, "installer's name"),
                ([empty] + base, "is empty"),
                ([good, "--version", "1.0\n", "--server", "https://release.example"], "--version"),
                ([good, "--version", "1.0", "--server", "ftp://release.example"], "--server"),
                ([good] + base + ["--download-base", "https://cdn.example/a b/"], "--download-base"),
                ([good] + base + ["--download-base", "https://a.example/"] * 4, "at most 3"),
                ([good] + base + ["--refer-number", "77"], "needs --companion-url"),
                ([good] + base + ["--refer-number", "../77", "--companion-url", "https://c.example/c.exe"],
                 "--refer-number"),
                ([good] + base + ["--ads-url", "javascript:alert(1)"], "--ads-url"),
            ]
            for args, message in cases:
                with self.subTest(message=message):
                    out = os.path.join(work, "out")
                    result = run_tool("publish.py", *args, "--out", out)
                    self.assertEqual(result.returncode, 1, result.stdout)
                    self.assertIn(message, result.stderr)
                    self.assertFalse(os.path.exists(os.path.join(out, "release.json")))
            result = run_tool("publish.py", good, *base, "--pin", "--kill-switch", "--no-setup-log",
                              "--download-base", "https://a.example/p", "--download-base", "https://b.example/p/",
                              "--out", os.path.join(work, "out"))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(work, "out", "release.json")) as f:
                data = json.load(f)["data"]
            self.assertEqual((data["download"], data["download2"], data["download3"]),
                             ("https://a.example/p/Product_1.0.exe", "https://b.example/p/Product_1.0.exe", ""))
            self.assertEqual((data["killSwitch"], data["WriteLogSwitch"]), ("true", "false"))
            self.assertIn("DownloadUrl=https://a.example/p/Product_1.0.exe\nURLMD5=" + data["md5"] +
                          "\nURLSHA256=" + data["sha256"], result.stdout)
        finally:
            shutil.rmtree(work)


if __name__ == "__main__":
    unittest.main()
