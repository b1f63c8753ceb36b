#!/usr/bin/env python3
"""The golden set: whole checks of every kind of switch, byte for byte.

Drives the installed-style command line (configure, check, crc) against the
switch emulator over real SSH and compares what a user and the files see --
standard output, exit status, the parameter file and the kept listing --
with the recorded set under expected/. Only what differs from run to run is
normalised: the emulator's port, the run's own folder and the time in the
performance data.

  golden.py --cli COMVORLIX --sim SWITCHSIM --configs DIR --keys DIR [--record]

--record rewrites expected/ (do that only for a deliberate change of
behaviour, and say so in the commit).
"""
import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
EXPECTED = os.path.join(HERE, "expected")

KINDS = [  # name, switchsim device, DEV, sample stem, extra emulator options
    ("cisco", "cisco", "CSCSW", "cisco", []),
    ("aruba", "aruba", "ARUSW", "aruba", []),
    ("hp1920", "hp1920", "HP1920SW", "hp1920", []),
    ("hp2530", "hp2530", "HP2510SW", "hp2530", ["--listing-form", "comware"]),
    ("hp2530-native", "hp2530", "HP2510SW", "hp2530-native", ["--listing-form", "native"]),
]


class Run:
    def __init__(self, args, work):
        self.args, self.work, self.records = args, work, []
        self.port = None

    def normalise(self, data):
        data = data.replace(self.work.encode(), b"{DIR}")
        if self.port:
            data = re.sub(rb"(?<![0-9])%d(?![0-9])" % self.port, b"{PORT}", data)
        return re.sub(rb"time=[0-9.]+s", b"time={T}s", data)

    def record(self, name, data):
        self.records.append((name, self.normalise(data)))

    def cli(self, name, *argv, stdin=None):
        p = subprocess.run([self.args.cli, *argv], input=stdin, capture_output=True, timeout=120, cwd=self.work)
        self.record(name + ".out", p.stdout + b"[exit %d]\n" % p.returncode)
        return p

    def files(self, name, params):
        for suffix in ("", ".listing"):
            path = params + suffix
            if os.path.exists(path):
                with open(path, "rb") as f:
                    self.record(name + ".params" + suffix, f.read())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_switch(args, work, device, stem, extra, secrets=(b"s3cret\n", b"en4ble\n")):
    running = os.path.join(work, "running.cfg")
    startup = os.path.join(work, "startup.cfg")
    shutil.copyfile(os.path.join(args.configs, stem + "-running.cfg"), running)
    shutil.copyfile(running, startup)
    for name, text in (("pw", secrets[0]), ("epw", secrets[1])):
        with open(os.path.join(work, name), "wb") as f:
            f.write(text)
    for attempt in range(10):
        port = free_port()
        p = subprocess.Popen([args.sim, "--device", device, "--user", "admin", "--password-file", "pw",
                              "--enable-password-file", "epw", "--cmdline-password-file", "epw",
                              "--running", running, "--startup", startup,
                              "--host-key", os.path.join(args.keys, "test_host_ed25519"),
                              "--host-key", os.path.join(args.keys, "test_host_rsa"),
                              "--port", str(port), *extra], cwd=work, stdout=subprocess.PIPE)
        line = p.stdout.readline()
        if line.startswith(b"switchsim listening on "):
            return p, port, running
        p.kill()
        p.wait()
    sys.exit("golden: the emulator did not start")


def middle_statement(path):
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    statements = [i for i, l in enumerate(lines) if l.strip() and l.strip()[:1] not in (b"!", b"#", b";")]
    return lines, statements[len(statements) // 2]


def kind_run(args, name, device, code, stem, extra):
    work = tempfile.mkdtemp(prefix="golden-")
    run = Run(args, work)
    sim, run.port, running = start_switch(args, work, device, stem, extra)
    try:
        params = os.path.join(work, "sw.params")
        check = ("check", "--host", "127.0.0.1", "--params", params, "--timeout", "20",
                 "--known-hosts", os.path.join(work, "known_hosts"))
        configure = ("configure", "--params", params, "--no-gui", "--user", "admin", "--password-file", "pw",
                     "--enable-password-file", "epw", "--port", str(run.port), "--device", code)
        run.cli("01-configure-run", *configure, "--configuration", "RUN", "--update-known")
        run.files("01-configure-run", params)
        run.cli("02-initial", *check)
        run.files("02-initial", params)
        run.cli("03-unchanged", *check)
        lines, at = middle_statement(running)
        lines[at] += b" x"
        with open(running, "wb") as f:
            f.write(b"\n".join(lines))
        run.cli("04-changed", *check)
        run.files("04-changed", params)
        run.cli("05-unchanged", *check)
        run.cli("06-configure-start", *configure, "--configuration", "START")
        run.cli("07-start-initial", *check)
        run.files("07-start-initial", params)
        run.cli("08-configure-compare", *configure, "--configuration", "COMPARE")
        run.cli("09-compare-different", *check)
        run.files("09-compare-different", params)
        if name == "cisco":
            # Every byte value in a statement: through a check and through `crc`.
            every = bytes(b for b in range(256))
            with open(running, "wb") as f:
                f.write(b"hostname every-byte\ndescription " + every + b"\nend\n")
            with open(os.path.join(work, "every-byte"), "wb") as f:
                f.write(every)
            run.cli("10-configure-run", *configure, "--configuration", "RUN")
            run.cli("11-every-byte-changed", *check)
            run.files("11-every-byte-changed", params)
            run.cli("12-crc-every-byte", "crc", "every-byte")
            run.cli("13-crc-every-byte-stdin", "crc", stdin=every)
            run.cli("14-crc-listing", "crc", params + ".listing")
    finally:
        sim.terminate()
        sim.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)
    return run.records


def non_ascii_secrets(args):
    """A login password in UTF-8 and an enable password the switch knows in
    Windows-1252, as a switch's console would take it."""
    work = tempfile.mkdtemp(prefix="golden-")
    run = Run(args, work)
    sim, run.port, running = start_switch(args, work, "cisco", "cisco", [],
                                          ("p\u00e4ssw\u00f6rt\n".encode(), b"\xe9n4ble\n"))
    try:
        with open(os.path.join(work, "epw-utf8"), "wb") as f:
            f.write("\u00e9n4ble\n".encode())
        params = os.path.join(work, "sw.params")
        run.cli("01-configure", "configure", "--params", params, "--no-gui", "--user", "admin", "--password-file",
                "pw", "--enable-password-file", "epw-utf8", "--port", str(run.port), "--device", "CSCSW",
                "--configuration", "RUN")
        run.files("01-configure", params)
        run.cli("02-initial", "check", "--host", "127.0.0.1", "--params", params, "--timeout", "20",
                "--known-hosts", os.path.join(work, "known_hosts"))
        run.files("02-initial", params)
    finally:
        sim.terminate()
        sim.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)
    return run.records


def main():
    ap = argparse.ArgumentParser()
    for a in ("--cli", "--sim", "--configs", "--keys"):
        ap.add_argument(a, required=True)
    ap.add_argument("--record", action="store_true")
    args = ap.parse_args()
    args.cli, args.sim = os.path.abspath(args.cli), os.path.abspath(args.sim)
    args.configs, args.keys = os.path.abspath(args.configs), os.path.abspath(args.keys)

    got = {}
    for kind in KINDS:
        for name, data in kind_run(args, *kind):
            got[os.path.join(kind[0], name)] = data
    for name, data in non_ascii_secrets(args):
        got[os.path.join("non-ascii-secrets", name)] = data
    for name, argv in (("help", ["--help"]), ("check-help", ["check", "--help"]),
                       ("configure-help", ["configure", "--help"]), ("crc-help", ["crc", "--help"])):
        p = subprocess.run([args.cli, *argv], capture_output=True, timeout=30)
        got[os.path.join("cli", name + ".out")] = p.stdout + p.stderr + b"[exit %d]\n" % p.returncode

    if args.record:
        shutil.rmtree(EXPECTED, ignore_errors=True)
        for name, data in got.items():
            os.makedirs(os.path.dirname(os.path.join(EXPECTED, name)), exist_ok=True)
            with open(os.path.join(EXPECTED, name), "wb") as f:
                f.write(data)
        print("golden: recorded %d files" % len(got))
        return 0

    failures = 0
    expected = set()
    for root, _, names in os.walk(EXPECTED):
        expected.update(os.path.relpath(os.path.join(root, n), EXPECTED) for n in names)
    for name in sorted(expected | set(got)):
        want = None
        if name in expected:
            with open(os.path.join(EXPECTED, name), "rb") as f:
                want = f.read()
        if got.get(name) != want:
            failures += 1
            print("golden: %s differs\n  expected: %r\n  got:      %r" % (name, want, got.get(name)))
    print("golden: %d of %d files differ" % (failures, len(expected | set(got))))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
