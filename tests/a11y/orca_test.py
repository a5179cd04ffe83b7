#!/usr/bin/python3
"""orca_test.py ORVANE: the dialog heard through Orca, driven by keys.

Runs a whole desktop session of its own inside the lab's client namespace
(it presses Scan): a private Xvfb, a window manager (without one no window
is active and Orca tracks no focus), a private session bus with the
accessibility bus, Orca with speech off, and the dialog. Keys go in through
the accessibility registry (XTest), as if typed; what Orca would say is read
from its debug log, one "SPEECH OUTPUT: '...'" line per utterance. Every
step waits for Orca's words before the next key.

The expected hosts come from the lab (ORVANE_LAB_* variables). Exits 0
when everything was said, 1 otherwise; prints what Orca said.
"""
import json
import os
import pty
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from a11y_lab import find_app, lab_hosts, poll

# A step that hears nothing fails after this long; no step is timed.
PATIENCE = float(os.environ.get("ORVANE_ORCA_PATIENCE", "60"))
# Starting Orca and the dialog on a loaded machine.
START_PATIENCE = 180.0


class Speech:
    """Orca's utterances, read from its debug log as they are written."""

    LINE = re.compile(r"SPEECH OUTPUT: '(.*?)'(?:\s*\{'.*\}| voice=\w+)?\s*$")

    def __init__(self, master_fd, copy_path):
        self.said = []
        self.ready = False
        self.cond = threading.Condition()
        self.copy = open(copy_path, "w", encoding="utf-8")
        self.fd = master_fd
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        pending = b""
        while True:
            try:
                chunk = os.read(self.fd, 65536)
            except OSError:
                chunk = b""
            if not chunk:
                return
            pending += chunk
            *lines, pending = pending.split(b"\n")
            for raw in lines:
                line = raw.decode("utf-8", "replace").rstrip("\r")
                self.copy.write(line + "\n")
                match = self.LINE.search(line)
                with self.cond:
                    if match:
                        self.said.append(match.group(1))
                    self.ready = self.ready or "ORCA: Starting registry" in line
                    self.cond.notify_all()

    def wait_ready(self):
        end = time.monotonic() + START_PATIENCE
        with self.cond:
            while not self.ready and time.monotonic() < end:
                self.cond.wait(0.5)
            return self.ready

    def mark(self):
        with self.cond:
            return len(self.said)

    def since(self, mark):
        with self.cond:
            return list(self.said[mark:])

    def wait_for(self, mark, *patterns, patience=PATIENCE):
        """Waits until utterances after `mark` match every pattern, in order
        (one utterance each); returns them, or None."""
        end = time.monotonic() + patience
        with self.cond:
            while True:
                found = self._match(self.said[mark:], patterns)
                if found is not None or time.monotonic() > end:
                    return found
                self.cond.wait(0.5)

    @staticmethod
    def _match(said, patterns):
        i = 0
        for pattern in patterns:
            while i < len(said) and not re.search(pattern, said[i]):
                i += 1
            if i == len(said):
                return None
            i += 1
        return said[:i]


class Session:
    def __init__(self, orvane, workdir):
        self.orvane = orvane
        self.workdir = workdir
        self.procs = []
        self.failures = []
        self.speech = None

    def start(self, argv, **kwargs):
        proc = subprocess.Popen(argv, **kwargs)
        self.procs.append(proc)
        return proc

    def stop_all(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok


def write_orca_settings(prefs):
    # No audio device here: with speech on, Orca waits for ever on its first
    # utterance. With speech off it still builds and logs every utterance.
    quiet = {"enableSpeech": False, "enableBraille": False, "enableSound": False}
    settings = {
        "general": dict(quiet),
        "pronunciations": {},
        "keybindings": {},
        "profiles": {"default": dict(quiet, profile=["Default", "default"], pronunciations={}, keybindings={})},
    }
    os.makedirs(prefs, exist_ok=True)
    with open(os.path.join(prefs, "user-settings.conf"), "w") as f:
        json.dump(settings, f)


def outer(orvane):
    """Starts a display of our own, then the rest on a private session bus."""
    workdir = tempfile.mkdtemp(prefix="orvane-orca-")
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        display = f.readline().strip()
    status = 1
    try:
        if not display:
            print("orca_test: Xvfb did not start")
            return 1
        env = {k: v for k, v in os.environ.items()
               if k not in ("NO_AT_BRIDGE", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "XAUTHORITY")}
        env.update(DISPLAY=":" + display, HOME=workdir, XDG_CONFIG_HOME=os.path.join(workdir, "config"),
                   XDG_DATA_HOME=os.path.join(workdir, "data"), XDG_CACHE_HOME=os.path.join(workdir, "cache"),
                   XDG_RUNTIME_DIR=workdir, ORVANE_ORCA_WORKDIR=workdir, LANG="C.UTF-8")
        status = subprocess.call(["dbus-run-session", "--", "/usr/bin/python3", os.path.abspath(__file__), "--inner",
                                  orvane], env=env)
    finally:
        xvfb.terminate()
        xvfb.wait()
        log = os.path.join(workdir, "orca-debug.log")
        if (status != 0 or "ORVANE_ORCA_PATIENCE" in os.environ) and os.path.exists(log):
            kept = os.path.join(os.environ.get("ORVANE_ORCA_LOG_DIR", tempfile.gettempdir()), "orvane-orca-debug.log")
            shutil.copyfile(log, kept)
            print("orca_test: Orca's debug log kept in %s" % kept)
        shutil.rmtree(workdir, ignore_errors=True)
    return status


def inner(orvane):
    workdir = os.environ["ORVANE_ORCA_WORKDIR"]
    s = Session(orvane, workdir)
    try:
        return run(s)
    finally:
        if s.speech:
            print("Orca said:\n  " + "\n  ".join(s.speech.since(0)))
        s.stop_all()


def run(s):
    import pyatspi  # only on the session bus made for it

    s.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    s.start(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    prefs = os.path.join(s.workdir, "orca")
    write_orca_settings(prefs)
    # Orca's debug log is written through a terminal: line by line, so each
    # utterance can be read as soon as Orca has made it.
    master, slave = pty.openpty()
    speech = s.speech = Speech(master, os.path.join(s.workdir, "orca-debug.log"))
    s.start(["orca", "-u", prefs, "--debug-file", "/dev/stderr"], stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=slave)
    os.close(slave)

    KEYS = {"Tab": 0xFF09, "BackTab": 0xFE20, "Home": 0xFF50, "Up": 0xFF52, "Down": 0xFF54, "space": 0x20,
            "BackSpace": 0xFF08, "Return": 0xFF0D, "Escape": 0xFF1B, "Menu": 0xFF67}

    def press(key):
        pyatspi.Registry.generateKeyboardEvent(KEYS.get(key, ord(key[0])), None, pyatspi.KEY_SYM)

    def step(what, keys, *patterns):
        """Presses `keys` and waits until Orca said `patterns`, in order."""
        mark = speech.mark()
        for key in keys:
            press(key)
        heard = speech.wait_for(mark, *patterns)
        s.check(heard is not None, "%s: Orca says %r" % (what, heard if heard is not None else speech.since(mark)))
        return heard

    if not s.check(speech.wait_ready(), "Orca starts"):
        return 1
    mark = speech.mark()
    dialog = s.start([s.orvane])
    heard = speech.wait_for(mark, r"^网络主机", r"^table with 0 rows 2 columns", patience=START_PATIENCE)
    s.check(heard is not None, "the dialog comes up, the host list focused: %r" % speech.since(mark))
    if heard is None:
        return 1
    app = poll(lambda: find_app("Orvane"), PATIENCE)
    table = pyatspi.findDescendant(app, lambda o: o.getRoleName() == "table") if app else None
    if not s.check(table is not None, "the host list is a table on the accessibility bus"):
        return 1

    # The adapter's read-only fields, then Scan.
    ip = os.environ.get("ORVANE_LAB_CLIENT_IP", "")
    step("Tab to the adapter name", ["Tab"], r"^网卡 read only text")
    step("Tab to the address", ["Tab"], r"^I P read only text", re.escape(ip))
    step("Tab over MAC, mask and gateway", ["Tab", "Tab", "Tab"], r"^网关 read only text")
    step("Tab to Scan", ["Tab"], r"^网络探测 push button")
    press("space")
    hosts = lab_hosts()
    rows = poll(lambda: table.queryTable().nRows == len(hosts) or None, PATIENCE)
    s.check(rows is not None, "the sweep lists %d hosts" % len(hosts))

    # Back in the list, the rows newest first.
    step("back to the list", ["BackTab"] * 6, r"网络主机", r"table with %d rows" % len(hosts))
    def row(i):
        return [r"^%s\.?$" % re.escape(text) for text in hosts[i]]

    step("Home", ["Home"], *row(0))
    step("Down", ["Down"], *row(1))
    step("Up", ["Up"], *row(0))
    step("away from the list", ["Tab"], r"^网卡 read only text")
    step("back to the list, on the selected row", ["BackTab"], *row(0))

    # The octet fields: their name, role and text, also on auto-advance.
    octets = hosts[0][1].split("-")
    step("Tab to the first octet field", ["Tab"] * 8, r"^MAC 地址第 1 段 text", octets[0])
    # Typed as a person types: each octet, then what Orca says of the
    # field the focus moved on to.
    typed = ["02", "4f", "52", "00", "02", "01"]
    for i, octet in enumerate(typed):
        then = [r"^MAC 地址第 %d 段 text" % (i + 2), octets[i + 1]] if i < 5 else [r"^唤醒 push button"]
        step("typing %s" % octet, list(octet), *then)

    # An empty field: the box says so.
    step("back to the last field", ["BackTab"], r"MAC 地址第 6 段", r"01")
    press("BackSpace")
    step("Wake", ["Tab", "space"], r"You should fill in all MAC address fields")
    step("closing the box", ["Return"], r"唤醒")

    # About, from the dialog's menu.
    step("the menu", ["Menu"], r"^menu")
    step("its About item, the last", ["Up"], r"^关于 Orvane\(A\)")
    step("About", ["Return"], r"关于 Orvane", r"确定")
    step("closing About", ["Return"], r"^唤醒 push button")

    press("Escape")
    try:
        s.check(dialog.wait(PATIENCE) == 0, "the dialog ends with status 0")
    except subprocess.TimeoutExpired:
        s.check(False, "the dialog ends after Esc")
    return 1 if s.failures else 0


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "--inner":
        return inner(sys.argv[2])
    if len(sys.argv) != 2:
        print("usage: orca_test.py ORVANE")
        return 2
    return outer(os.path.abspath(sys.argv[1]))


if __name__ == "__main__":
    sys.exit(main())
