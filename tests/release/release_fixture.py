"""Shared by the release kit's tests: a published release of a generated
installer, served by a real serve.py process on an ephemeral port."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOLS = os.path.join(ROOT, "tools", "release")


def run_tool(name, *args, timeout=120):
    return subprocess.run([sys.executable, os.path.join(TOOLS, name), *args], capture_output=True, text=True,
                          timeout=timeout)


class Served:
    """serve.py on 127.0.0.1 for one folder, stopped by close()."""

    def __init__(self, folder):
        self.port_file = os.path.join(tempfile.mkdtemp(prefix="serve_port_"), "port")
        self.log = tempfile.TemporaryFile(mode="w+")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(TOOLS, "serve.py"), folder, "--port", "0", "--port-file", self.port_file],
            stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 20
        while not os.path.exists(self.port_file):
            if self.process.poll() is not None or time.monotonic() > deadline:
                output = self.output()
                self.close()
                raise RuntimeError("serve.py did not start: " + output)
            time.sleep(0.05)
        with open(self.port_file) as f:
            self.port = int(f.read())
        self.base = "http://127.0.0.1:%d" % self.port

    def output(self):
        if self.log.closed:
            return ""
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(os.path.dirname(self.port_file), ignore_errors=True)
