#!/usr/bin/env python3
"""End-to-end figures of `comvorlix` against the switch emulator.

Measures, each with its baseline run alternately in the same run:

  version  `comvorlix --version` against `ssh -V`: wall time and processor
           time of the process started on its own, peak memory (max RSS)
           through GNU time; the start-up cost of the program.
  latency  one check of a 2 000-line and a 20 000-line Cisco configuration
           against the OpenSSH client typing the same commands into the same
           emulated switch (key login on both sides): wall time, processor
           time (user + system) and peak memory, medians and the ratio
           check / OpenSSH.
  idle     processor use of a check against a switch that thinks 3 s before
           its listing: (user + system time) / wall time of the process,
           next to the OpenSSH client doing the same.
  many     200 checks of different emulated switches (20 emulator processes,
           10 parameter files each), 20 at a time: total time, failures and
           the largest peak memory (max RSS) of one check process, next to
           200 OpenSSH clients run the same way.
  flood    peak memory (max RSS) of a check against a switch that never
           stops sending (`switchsim --fault endless-output`): the check
           keeps at most 32 MiB of output and must stay under 64 MiB.
  memory   peak memory (max RSS) of checks of an 8 MiB and a 30 MiB Cisco
           listing: the first check (which keeps the listing), an unchanged
           one, a change shown with its diff against the kept listing, and
           that change accepted (--accept); each must stay within 16 MiB +
           2 x the listing's size.
  crc      Crc32Update (the checksum of `comvorlix crc` and the check)
           against zlib's crc32 called directly (runs bench/crc_bench with
           repetitions and takes the medians).

Nothing is built here: every program is taken from the build folder given
with --build, which should be the build users run (Release, Qt dialog
built); the report names it. Every emulator runs with the fixed test host
keys of tools/switchsim/keys; the OpenSSH client checks them against a
known-hosts file of the run and reads no configuration, key or known host
of the user (`-F /dev/null`, no agent), so the user's ~/.ssh is never
touched; the check learns the emulators' keys into a known-hosts file of
its own in the run's folder (--known-hosts). Everything runs on loopback; the
emulators are started on random ports in 20000..32000 (the parameter string
keeps the port as a 16-bit number) and stopped at the end, also on errors
and Ctrl-C. Every child process is bounded in time (a watchdog kills it), so
a hung check cannot hold the run forever.

Prints each part's figures and at the end the build, the machine and a
table of the figures with their targets; --markdown prints that table in
markdown for README.md, --json FILE also writes everything as JSON.
"""

import argparse
import concurrent.futures
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import bench_report

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CONFIGS = os.path.join(REPO, "tools", "switchsim", "configs")
HOST_KEYS = [os.path.join(REPO, "tools", "switchsim", "keys", "test_host_" + kind) for kind in ("ed25519", "rsa")]

# The commands a check of a Cisco switch types, as OpenSSH is given them.
def typed_commands(enable):
    return f"en\r{enable}\rterminal length 0 \rshow running-config\rexit\r".encode()

ENABLE = "bench-enable"
CHILD_LIMIT_S = 120  # watchdog for one child process
TIME = "/usr/bin/time"  # GNU time (Debian package "time")
PARTS = ("version", "latency", "idle", "many", "flood", "memory", "crc")
HOST_ALIAS = "bench-switch"  # the name the emulators' host key is known by


class Measured:
    """Wall time, processor time and peak memory of one finished process."""

    def __init__(self, wall, user, system, maxrss_kib, code, out):
        self.wall, self.user, self.system = wall, user, system
        self.maxrss_kib, self.code, self.out = maxrss_kib, code, out

    @property
    def cpu(self):
        return self.user + self.system


def run_measured(argv, stdin_bytes=None, limit=CHILD_LIMIT_S, env=None, peak_memory=True):
    """Runs argv to its end and takes its resource use from wait4.

    With peak_memory the program is started through /usr/bin/time, which
    only reports its peak memory: a process started straight from this
    interpreter would count the interpreter's own memory in its peak (the
    peak is kept across exec, and the child starts as a copy of the
    interpreter). The processor times then include time's own share, well
    under a millisecond. Without peak_memory the program is started on its
    own (maxrss_kib is None), for figures of a few milliseconds."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile(mode="r") as rss:
        started = []
        # On a hang, kill the program (and time) with its process group.
        watchdog = threading.Timer(limit, lambda: started and os.killpg(started[0], signal.SIGKILL))
        watchdog.start()
        try:
            start = time.perf_counter()
            proc = subprocess.Popen([TIME, "-q", "-f", "%M", "-o", rss.name, *argv] if peak_memory else argv,
                                    stdin=subprocess.PIPE if stdin_bytes is not None else subprocess.DEVNULL,
                                    stdout=out, stderr=err, start_new_session=True, env=env)
            started.append(proc.pid)
            if stdin_bytes is not None:
                # Small enough for the pipe: the client reads it as typed-ahead
                # input and sees its end afterwards.
                try:
                    proc.stdin.write(stdin_bytes)
                    proc.stdin.close()
                except BrokenPipeError:
                    pass
            _, status, usage = os.wait4(proc.pid, 0)
            wall = time.perf_counter() - start
        finally:
            watchdog.cancel()
        proc.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        text = out.read() + err.read()
        maxrss = int(rss.read().strip() or 0) if peak_memory else None
    return Measured(wall, usage.ru_utime, usage.ru_stime, maxrss, proc.returncode, text)


class Switch:
    """One switchsim process listening on a random loopback port."""

    def __init__(self, build, workdir, name, running, authorized_keys, extra=(), env=None):
        self.proc = None
        binary = os.path.join(build, "tools", "switchsim", "switchsim")
        log_path = os.path.join(workdir, name + ".log")
        for _ in range(20):
            port = random.randint(20000, 32000)
            log = open(log_path, "wb")
            proc = subprocess.Popen(
                [binary, "--port", str(port), "--device", "cisco", "--running", running, "--user", "admin",
                 "--authorized-keys", authorized_keys, *(a for k in HOST_KEYS for a in ("--host-key", k)),
                 "--enable-password-file",
                 os.path.join(workdir, "enable"), *extra],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, env=env)
            log.close()
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                with open(log_path, "rb") as f:
                    if b"listening on" in f.read():
                        self.proc, self.port = proc, port
                        return
                if proc.poll() is not None:
                    break
                time.sleep(0.05)
            if proc.poll() is None:
                proc.kill()
            proc.wait()
        with open(log_path, "rb") as f:
            raise RuntimeError(f"switchsim did not start: {f.read().decode(errors='replace')}")

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Bench:
    def __init__(self, build, workdir, runs, check_preload=None, switch_preload=None):
        self.build, self.work, self.runs = build, workdir, runs
        # Investigation only: libraries preloaded into the checks or the emulators.
        self.check_env = dict(os.environ, LD_PRELOAD=check_preload) if check_preload else None
        self.switch_env = dict(os.environ, LD_PRELOAD=switch_preload) if switch_preload else None
        self.cli = os.path.join(build, "src", "comvorlix")
        self.switches = []
        self.key = os.path.join(workdir, "id_ed25519")
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "bench", "-f", self.key], check=True)
        self.authorized = self.key + ".pub"
        # Every emulator has the fixed test host keys, known to OpenSSH by an
        # alias (the ports are random) from a known-hosts file of the run.
        self.known_hosts = os.path.join(workdir, "known_hosts")
        # The check's own: it learns the keys on first use, never in ~/.ssh.
        self.check_known_hosts = os.path.join(workdir, "comvorlix_known_hosts")
        with open(self.known_hosts, "w") as known:
            for host_key in HOST_KEYS:
                with open(host_key + ".pub") as pub:
                    key_type, key = pub.read().split()[:2]
                known.write(f"{HOST_ALIAS} {key_type} {key}\n")
        enable = os.path.join(workdir, "enable")
        with open(enable, "w") as f:
            f.write(ENABLE + "\n")
        os.chmod(enable, 0o600)
        self.enable_file = enable

    def close(self):
        for s in self.switches:
            s.stop()

    def start_switch(self, name, running, extra=()):
        s = Switch(self.build, self.work, name, running, self.authorized, extra, self.switch_env)
        self.switches.append(s)
        return s

    def write_params(self, path, port):
        subprocess.run([self.cli, "configure", "--params", path, "--no-gui", "--user", "admin", "--key-file",
                        self.key, "--enable-password-file", self.enable_file, "--port", str(port), "--device",
                        "CSCSW", "--configuration", "RUN"], check=True, stdout=subprocess.DEVNULL)

    def check(self, params, timeout=30):
        m = run_measured([self.cli, "check", "--host", "127.0.0.1", "--params", params, "--timeout", str(timeout),
                          "--known-hosts", self.check_known_hosts], env=self.check_env)
        m.ok = m.code == 0 and m.out.startswith(b"CONFIG OK")
        return m

    def ssh_argv(self, port, verbose=False):
        """The OpenSSH client logging in to the emulator on `port` with the
        run's key, checking the run's host key; nothing of the user's own
        configuration, keys, agent or known hosts is read or written."""
        return ["ssh", "-tt", "-p", str(port), "-i", self.key, "-F", "/dev/null",
                "-o", "IdentitiesOnly=yes", "-o", "IdentityAgent=none", "-o", "BatchMode=yes",
                "-o", f"HostKeyAlias={HOST_ALIAS}", "-o", "StrictHostKeyChecking=yes",
                "-o", f"UserKnownHostsFile={self.known_hosts}", "-o", "GlobalKnownHostsFile=/dev/null",
                "-o", "UpdateHostKeys=no", "-o", "CheckHostIP=no",
                *(["-v"] if verbose else ["-o", "LogLevel=ERROR"]), "admin@127.0.0.1"]

    def openssh(self, port):
        m = run_measured(self.ssh_argv(port), typed_commands(ENABLE))
        m.ok = m.code == 0 and b"Current configuration" in m.out and b"\r\nend\r\n" in m.out
        return m

    def alternate(self, params, port, what):
        """self.runs checks and as many OpenSSH runs against `port`, taking
        turns; returns (ours, theirs). A failed run raises."""
        return self.take_turns(lambda: self.check(params), lambda: self.openssh(port), what, self.runs)

    @staticmethod
    def take_turns(run_ours, run_theirs, what, runs):
        """`runs` runs of each, taking turns; returns (ours, theirs). A run
        whose .ok is false raises."""
        ours, theirs = [], []
        for i in range(runs):
            # Alternate who goes first, so drifting machine load hits both.
            pair = [("ours", run_ours), ("theirs", run_theirs)]
            if i % 2:
                pair.reverse()
            for who, run in pair:
                m = run()
                if not m.ok:
                    raise RuntimeError(f"{who} {what} run {i} failed: {m.out[-500:].decode(errors='replace')}")
                (ours if who == "ours" else theirs).append(m)
        return ours, theirs

    def config_lines(self, lines):
        """The first lines of the large sample, ending in "end"."""
        path = os.path.join(self.work, f"cisco-{lines}.cfg")
        with open(os.path.join(CONFIGS, "cisco-large.cfg")) as f:
            head = [next(f) for _ in range(lines - 1)]
        with open(path, "w") as f:
            f.writelines(head)
            f.write("end\n")
        return path

    # -- algorithms ---------------------------------------------------------
    def algorithms(self, port, params):
        """Key exchange and host key algorithms both clients negotiate."""
        debug = os.path.join(self.work, "debug.log")
        p = os.path.join(self.work, "algorithms.params")
        shutil.copy(params, p)
        subprocess.run([self.cli, "configure", "--params", p, "--no-gui", "--debug-file", debug], check=True,
                       stdout=subprocess.DEVNULL)
        self.check(p)
        ours = ""
        if os.path.exists(debug):
            for line in open(debug, errors="replace"):
                if "key exchange " in line:
                    ours = line.split("key exchange ", 1)[1].split(",")[0].strip()
        m = run_measured(self.ssh_argv(port, verbose=True), typed_commands(ENABLE))
        kex = hostkey = "?"
        for line in m.out.decode(errors="replace").splitlines():
            if "kex: algorithm:" in line:
                kex = line.split("kex: algorithm:")[1].strip()
            if "kex: host key algorithm:" in line:
                hostkey = line.split("kex: host key algorithm:")[1].strip()
        return ours, f"{kex}/{hostkey}"

    # -- 1. start-up ----------------------------------------------------------
    @staticmethod
    def started(argv, expect):
        """argv once on its own (wall and processor time) and once through
        GNU time (peak memory), as one measurement."""
        m = run_measured(argv, peak_memory=False)
        peak = run_measured(argv)
        m.maxrss_kib = peak.maxrss_kib
        m.ok = all(x.code == 0 and expect in x.out for x in (m, peak))
        return m

    def version(self):
        """`comvorlix --version` against `ssh -V`. They take milliseconds, so
        each runs three times as often as the other figures' programs."""
        runs = 3 * self.runs
        ours_run = lambda: self.started([self.cli, "--version"], b"comvorlix ")
        theirs_run = lambda: self.started(["ssh", "-V"], b"OpenSSH_")
        self.take_turns(ours_run, theirs_run, "version", 1)  # page cache
        ours, theirs = self.take_turns(ours_run, theirs_run, "version", runs)
        med = lambda xs, f: statistics.median(f(x) for x in xs)
        r = {
            "runs": runs,
            "check_s": med(ours, lambda m: m.wall),
            "openssh_s": med(theirs, lambda m: m.wall),
            "check_cpu_s": med(ours, lambda m: m.cpu),
            "openssh_cpu_s": med(theirs, lambda m: m.cpu),
            "check_rss_mib": med(ours, lambda m: m.maxrss_kib) / 1024,
            "openssh_rss_mib": med(theirs, lambda m: m.maxrss_kib) / 1024,
            "check_all_s": [round(m.wall, 5) for m in ours],
            "openssh_all_s": [round(m.wall, 5) for m in theirs],
        }
        print(f"version: comvorlix --version {r['check_s']*1000:.2f} ms, ssh -V {r['openssh_s']*1000:.2f} ms "
              f"(medians of {runs}), ratio {r['check_s'] / r['openssh_s']:.2f}; processor time "
              f"{r['check_cpu_s']*1000:.2f} ms vs {r['openssh_cpu_s']*1000:.2f} ms; max RSS "
              f"{r['check_rss_mib']:.1f} MiB vs {r['openssh_rss_mib']:.1f} MiB", flush=True)
        return r

    # -- 2. latency ---------------------------------------------------------
    def latency(self, lines):
        cfg = self.config_lines(lines)
        sw = self.start_switch(f"latency-{lines}", cfg)
        params = os.path.join(self.work, f"latency-{lines}.params")
        self.write_params(params, sw.port)
        first = self.check(params)  # remembers the checksum; warms caches
        if not first.ok:
            raise RuntimeError(f"check failed: {first.out.decode(errors='replace')}")
        warm = self.openssh(sw.port)
        if not warm.ok:
            raise RuntimeError(f"OpenSSH run failed: {warm.out[-500:].decode(errors='replace')}")
        ours, theirs = self.alternate(params, sw.port, "latency")
        kex = self.algorithms(sw.port, params) if lines == 2000 else None
        sw.stop()
        med = lambda xs, f: statistics.median(f(x) for x in xs)
        r = {
            "lines": lines,
            "runs": self.runs,
            "check_s": med(ours, lambda m: m.wall),
            "openssh_s": med(theirs, lambda m: m.wall),
            "check_cpu_s": med(ours, lambda m: m.cpu),
            "openssh_cpu_s": med(theirs, lambda m: m.cpu),
            "check_rss_mib": med(ours, lambda m: m.maxrss_kib) / 1024,
            "openssh_rss_mib": med(theirs, lambda m: m.maxrss_kib) / 1024,
            "check_rss_max_mib": max(m.maxrss_kib for m in ours) / 1024,
            "openssh_rss_max_mib": max(m.maxrss_kib for m in theirs) / 1024,
            "check_all_s": [round(m.wall, 4) for m in ours],
            "openssh_all_s": [round(m.wall, 4) for m in theirs],
            "check_all_cpu_s": [round(m.cpu, 4) for m in ours],
            "openssh_all_cpu_s": [round(m.cpu, 4) for m in theirs],
        }
        r["ratio"] = r["check_s"] / r["openssh_s"]
        r["cpu_ratio"] = r["check_cpu_s"] / r["openssh_cpu_s"]
        r["rss_ratio"] = r["check_rss_mib"] / r["openssh_rss_mib"]
        if kex:
            r["algorithms_check"], r["algorithms_openssh"] = kex
        print(f"latency {lines} lines: check {r['check_s']*1000:.1f} ms, OpenSSH {r['openssh_s']*1000:.1f} ms "
              f"(medians of {self.runs}), ratio {r['ratio']:.2f}; processor time {r['check_cpu_s']*1000:.1f} ms "
              f"vs {r['openssh_cpu_s']*1000:.1f} ms ({r['cpu_ratio']:.2f}); max RSS {r['check_rss_mib']:.1f} MiB "
              f"vs {r['openssh_rss_mib']:.1f} MiB ({r['rss_ratio']:.2f})", flush=True)
        if kex:
            print(f"  negotiated: check {kex[0]}, OpenSSH {kex[1]}", flush=True)
        return r

    # -- 3. idle processor use ----------------------------------------------
    def idle(self, think_ms=3000):
        cfg = self.config_lines(2000)
        sw = self.start_switch("idle", cfg, ["--think", str(think_ms)])
        params = os.path.join(self.work, "idle.params")
        self.write_params(params, sw.port)
        ours, theirs = self.alternate(params, sw.port, "idle")
        sw.stop()
        pct = lambda m: 100.0 * m.cpu / m.wall
        r = {
            "think_ms": think_ms,
            "runs": self.runs,
            "check_cpu_pct": statistics.median(pct(m) for m in ours),
            "openssh_cpu_pct": statistics.median(pct(m) for m in theirs),
            "check_wall_s": statistics.median(m.wall for m in ours),
            "check_cpu_s": statistics.median(m.cpu for m in ours),
            "check_all_pct": [round(pct(m), 3) for m in ours],
        }
        print(f"idle ({think_ms} ms think): check {r['check_cpu_pct']:.2f} % of {r['check_wall_s']:.2f} s, "
              f"OpenSSH {r['openssh_cpu_pct']:.2f} % (medians of {self.runs})", flush=True)
        return r

    # -- 4. many switches -----------------------------------------------------
    def many(self, processes=20, per_switch=10, parallel=20):
        base = open(os.path.join(CONFIGS, "cisco-running.cfg")).read()
        jobs = []  # (params, port)
        for n in range(processes):
            cfg = os.path.join(self.work, f"many-{n:02d}.cfg")
            with open(cfg, "w") as f:
                # A different switch each: its own name and so its own checksum.
                f.write(base.replace("\nhostname ", f"\nhostname bench-sw{n:02d}-", 1))
            sw = self.start_switch(f"many-{n:02d}", cfg, ["--idle-timeout", "120"])
            for k in range(per_switch):
                p = os.path.join(self.work, f"many-{n:02d}-{k}.params")
                self.write_params(p, sw.port)
                jobs.append((p, sw.port))

        def batch(run):
            start = time.perf_counter()
            with concurrent.futures.ThreadPoolExecutor(parallel) as pool:
                results = list(pool.map(run, jobs))
            return time.perf_counter() - start, results

        ours, theirs = [], []
        for i in range(self.runs):
            pair = [("ours", lambda job: self.check(job[0])), ("theirs", lambda job: self.openssh(job[1]))]
            if i % 2:
                pair.reverse()
            for who, run in pair:
                (ours if who == "ours" else theirs).append(batch(run))
        for s in self.switches:
            s.stop()
        self.switches.clear()
        failed = sum(1 for _, res in ours for m in res if not m.ok)
        failed_openssh = sum(1 for _, res in theirs for m in res if not m.ok)
        samples = [m for _, res in ours for m in res]
        if failed:
            bad = next(m for m in samples if not m.ok)
            print(f"  a failed check said: {bad.out[-300:].decode(errors='replace')}", flush=True)
        r = {
            "switches": processes,
            "checks": len(jobs),
            "parallel": parallel,
            "runs": self.runs,
            "check_total_s": statistics.median(t for t, _ in ours),
            "openssh_total_s": statistics.median(t for t, _ in theirs),
            "failed": failed,
            "failed_openssh": failed_openssh,
            "check_maxrss_mib": max(m.maxrss_kib for m in samples) / 1024,
            "check_median_rss_mib": statistics.median(m.maxrss_kib for m in samples) / 1024,
            "openssh_maxrss_mib": max(m.maxrss_kib for _, res in theirs for m in res) / 1024,
            "check_all_total_s": [round(t, 3) for t, _ in ours],
        }
        r["ratio"] = r["check_total_s"] / r["openssh_total_s"]
        print(f"many: {r['checks']} checks, {parallel} at a time: {r['check_total_s']:.2f} s, OpenSSH "
              f"{r['openssh_total_s']:.2f} s (medians of {self.runs}), ratio {r['ratio']:.2f}; "
              f"{failed} of {r['checks'] * self.runs} checks failed; max RSS of one check "
              f"{r['check_maxrss_mib']:.1f} MiB (median {r['check_median_rss_mib']:.1f}), OpenSSH "
              f"{r['openssh_maxrss_mib']:.1f} MiB", flush=True)
        return r

    # -- 5. a switch that never stops sending ----------------------------------
    def flood(self):
        cfg = self.config_lines(2000)
        sw = self.start_switch("flood", cfg, ["--fault", "endless-output"])
        params = os.path.join(self.work, "flood.params")
        self.write_params(params, sw.port)
        runs = []
        for i in range(self.runs):
            m = self.check(params)
            # The check must refuse the flood, naming the limit it kept to.
            if m.code != 2 or b"more than 32 MiB" not in m.out:
                raise RuntimeError(f"flood run {i}: unexpected result {m.out[-500:].decode(errors='replace')}")
            runs.append(m)
        sw.stop()
        r = {
            "runs": self.runs,
            "check_rss_mib": statistics.median(m.maxrss_kib for m in runs) / 1024,
            "check_rss_max_mib": max(m.maxrss_kib for m in runs) / 1024,
            "check_s": statistics.median(m.wall for m in runs),
            "check_all_rss_mib": [round(m.maxrss_kib / 1024, 1) for m in runs],
        }
        print(f"flood: max RSS of a check {r['check_rss_mib']:.1f} MiB (median of {self.runs}, largest "
              f"{r['check_rss_max_mib']:.1f} MiB), {r['check_s']:.2f} s until it gave up", flush=True)
        return r

    # -- 6. memory by listing size ----------------------------------------------
    def big_config(self, size):
        """The large sample without its "end", then numbered VLAN interface
        sections up to about `size` bytes, then "end"."""
        path = os.path.join(self.work, f"cisco-{size >> 20}mib.cfg")
        with open(os.path.join(CONFIGS, "cisco-large.cfg")) as f:
            lines = [l for l in f.read().splitlines() if l != "end"]
        total = sum(len(l) + 1 for l in lines)
        n = 0
        while total < size:
            n += 1
            section = [f"interface Vlan{n + 2000}", f" description Segment {n} of the large listing",
                       f" ip address 10.{n >> 8 & 255}.{n & 255}.1 255.255.255.0", " no ip redirects", "!"]
            lines += section
            total += sum(len(l) + 1 for l in section)
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\nend\n")
        return path, n

    def memory(self, sizes=(8 << 20, 30 << 20), runs=3):
        """Peak memory of the four kinds of check at each listing size, the
        largest of `runs` runs each; the kept listing and the remembered
        checksum are put back before every run, so each run is the same."""
        out = {}
        for size in sizes:
            cfg, sections = self.big_config(size)
            sw = self.start_switch(f"memory-{size >> 20}", cfg, ["--idle-timeout", "120"])
            params = os.path.join(self.work, f"memory-{size >> 20}.params")
            kept = params + ".listing"

            def fresh():
                for f in (params, kept):
                    if os.path.exists(f):
                        os.remove(f)
                self.write_params(params, sw.port)

            def measured(what, expect_code, extra=()):
                m = run_measured([self.cli, "check", "--host", "127.0.0.1", "--params", params, "--timeout", "60",
                                  "--known-hosts", self.check_known_hosts, *extra], env=self.check_env)
                if m.code != expect_code:
                    raise RuntimeError(f"memory {what}: exit {m.code}: {m.out[-500:].decode(errors='replace')}")
                return m

            def listing_bytes(m):
                text = m.out.decode(errors="replace")
                return int(text.split("listing=", 1)[1].split("B", 1)[0])

            cases = {}
            firsts = []
            for _ in range(runs):
                fresh()
                firsts.append(measured("first", 0))
            cases["first"] = firsts
            cases["unchanged"] = [measured("unchanged", 0) for _ in range(runs)]
            saved = {f: open(f, "rb").read() for f in (params, kept)}

            def restore():
                for f, content in saved.items():
                    with open(f, "wb") as w:
                        w.write(content)

            original = open(cfg).read()
            middle = f" description Segment {sections // 2} of the large listing\n"
            with open(cfg, "w") as f:
                f.write(original.replace(middle, middle.rstrip("\n") + " changed\n", 1))
            changed, accepted = [], []
            for _ in range(runs):
                restore()
                m = measured("change", 2)
                if b"changed\n" not in m.out and b" changed" not in m.out:
                    raise RuntimeError("memory change: the diff does not show the changed line")
                changed.append(m)
                restore()
                accepted.append(measured("accept", 0, ["--accept"]))
            cases["change"], cases["accept"] = changed, accepted
            sw.stop()
            listed = listing_bytes(cases["unchanged"][0])
            r = {"listing_bytes": listed, "limit_mib": 16 + 2 * listed / 2**20}
            for case, ms in cases.items():
                r[f"{case}_rss_mib"] = max(m.maxrss_kib for m in ms) / 1024
            out[f"{size >> 20}"] = r
            print(f"memory, {listed / 2**20:.1f} MiB listing: first {r['first_rss_mib']:.1f} MiB, unchanged "
                  f"{r['unchanged_rss_mib']:.1f} MiB, change with diff {r['change_rss_mib']:.1f} MiB, accepted "
                  f"{r['accept_rss_mib']:.1f} MiB (largest of {runs}; limit {r['limit_mib']:.1f} MiB)", flush=True)
        return out

    # -- 7. checksum ------------------------------------------------------------
    def crc(self):
        binary = os.path.join(self.build, "bench", "crc_bench")
        out = os.path.join(self.work, "crc.json")
        subprocess.run([binary, "--benchmark_filter=^BM_(Crc32Update|ZlibCrc32)$",
                        f"--benchmark_repetitions={max(self.runs, 5)}", "--benchmark_report_aggregates_only=true",
                        f"--benchmark_out={out}", "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        medians = {}
        for b in json.load(open(out))["benchmarks"]:
            if b.get("aggregate_name") == "median":
                medians[b["run_name"]] = (b["cpu_time"], b["real_time"], b.get("bytes_per_second", 0))
        ours, zlib = medians["BM_Crc32Update"], medians["BM_ZlibCrc32"]
        r = {
            "runs": max(self.runs, 5),
            "crc32update_ms": ours[0],
            "zlib_ms": zlib[0],
            "crc32update_gib_s": ours[2] / 2**30,
            "zlib_gib_s": zlib[2] / 2**30,
            "ratio_cpu": ours[0] / zlib[0],
            "ratio_wall": ours[1] / zlib[1],
        }
        print(f"crc: Crc32Update {r['crc32update_ms']:.2f} ms, zlib crc32 {r['zlib_ms']:.2f} ms per 16 MiB "
              f"(processor time, medians of {r['runs']}); Crc32Update / zlib = {r['ratio_cpu']:.2f} "
              f"({r['ratio_wall']:.2f} by wall clock)", flush=True)
        return r


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", required=True, help="build folder (with src/comvorlix, tools/switchsim, bench)")
    ap.add_argument("--runs", type=int, default=7, help="runs per figure, medians taken (at least 5)")
    ap.add_argument("--only", default=",".join(PARTS), help="comma-separated parts to run: " + ", ".join(PARTS))
    ap.add_argument("--json", help="write the build, the machine and the figures to this file as JSON")
    ap.add_argument("--markdown", action="store_true", help="print the table of figures in markdown (README.md)")
    ap.add_argument("--keep", action="store_true", help="keep the work folder (logs, parameter files)")
    ap.add_argument("--check-preload", metavar="SO",
                    help="investigation: LD_PRELOAD this library into every check (see bench/shims/)")
    ap.add_argument("--switch-preload", metavar="SO",
                    help="investigation: LD_PRELOAD this library into every emulator (see bench/shims/)")
    args = ap.parse_args()
    if args.runs < 5:
        ap.error("--runs must be at least 5")
    build = os.path.abspath(args.build)
    for rel in ("src/comvorlix", "tools/switchsim/switchsim", "bench/crc_bench"):
        if not os.access(os.path.join(build, rel), os.X_OK):
            sys.exit(f"{os.path.join(build, rel)} is missing: build it first")
    for key in HOST_KEYS:
        if not os.path.isfile(key) or not os.path.isfile(key + ".pub"):
            sys.exit(f"{key} (fixed test host key of the emulator) is missing")
    for tool in ("ssh", "ssh-keygen"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} (OpenSSH client) is missing: apt-get install openssh-client")
    if not os.access(TIME, os.X_OK):
        sys.exit(f"{TIME} is missing: apt-get install time")

    parts = set(args.only.split(","))
    if parts - set(PARTS):
        ap.error(f"unknown part(s): {', '.join(sorted(parts - set(PARTS)))}")
    cli = os.path.join(build, "src", "comvorlix")
    described = bench_report.describe_build(build, cli)
    machine = bench_report.describe_machine()
    print(f"== {bench_report.machine_line(machine)}")
    print(f"== {bench_report.build_line(described)}", flush=True)
    if not described["users_build"]:
        print("!! not the build users run: measure a Release build with the Qt dialog "
              "(cmake -DCMAKE_BUILD_TYPE=Release, without -DCOMVORLIX_QT=OFF)", flush=True)
    work = tempfile.mkdtemp(prefix="comvorlix-bench-")
    for so in (args.check_preload, args.switch_preload):
        if so and not os.path.isfile(so):
            sys.exit(f"{so} does not exist")
    abs_or_none = lambda so: os.path.abspath(so) if so else None
    bench = Bench(build, work, args.runs, abs_or_none(args.check_preload), abs_or_none(args.switch_preload))
    if args.check_preload or args.switch_preload:
        print(f"!! investigation run: checks preload {args.check_preload or '-'}, emulators preload "
              f"{args.switch_preload or '-'}", flush=True)
    res = {}
    # Stop the emulators on SIGTERM as on Ctrl-C.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    try:
        if "version" in parts:
            res["version"] = bench.version()
        if "latency" in parts:
            res["latency_2000"] = bench.latency(2000)
            res["latency_20000"] = bench.latency(20000)
        if "idle" in parts:
            res["idle"] = bench.idle()
        if "many" in parts:
            res["many"] = bench.many()
        if "flood" in parts:
            res["flood"] = bench.flood()
        if "memory" in parts:
            res["memory"] = bench.memory()
        if "crc" in parts:
            res["crc"] = bench.crc()
    finally:
        bench.close()
        if args.keep:
            print(f"work folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    rows = bench_report.figures(res)
    if args.check_preload or args.switch_preload:
        described["preload"] = {"checks": args.check_preload, "emulators": args.switch_preload}
    print()
    if args.markdown:
        print(bench_report.markdown_table(rows, described, machine, args.runs))
    else:
        print(bench_report.text_table(rows))
    missed = [f.name for f in rows if not f.met]
    print(f"\n{len(rows) - len(missed)} of {len(rows)} targets met" + (": not met: " + "; ".join(missed) if missed else ""))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(bench_report.as_json(rows, described, machine, args.runs, res), f, indent=2,
                      ensure_ascii=False)


if __name__ == "__main__":
    main()
