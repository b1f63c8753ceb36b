#!/usr/bin/env python3
"""End-to-end figures of `comvorlix check` against the switch emulator.

Measures, each with its baseline run side by side in the same run:

  latency  one check of a 2 000-line and a 20 000-line Cisco configuration
           against the OpenSSH client typing the same commands into the same
           emulated switch (key login on both sides); medians and the ratio
           check / OpenSSH.
  idle     processor use of a check against a switch that thinks 3 s before
           its listing: (user + system time) / wall time of the process,
           next to the OpenSSH client doing the same.
  many     200 checks of different emulated switches (20 emulator processes,
           10 parameter files each), 20 at a time: total time, failures and
           the largest peak memory (max RSS) of one check process, next to
           200 OpenSSH clients run the same way.
  crc      CrcOfText against zlib's crc32 (runs bench/crc_bench with
           repetitions and takes the medians).

Nothing is built here: every program is taken from the build folder given
with --build. Everything runs on loopback; the emulators are started on
random ports in 20000..32000 (the parameter string keeps the port as a
16-bit number) and stopped at the end, also on errors and Ctrl-C. Every
child process is bounded in time (a watchdog kills it), so a hung check
cannot hold the run forever.

Prints each part's figures and at the end a summary table; --json FILE also
writes the figures as JSON.
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

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CONFIGS = os.path.join(REPO, "tools", "switchsim", "configs")

# The commands a check of a Cisco switch types, as OpenSSH is given them.
def typed_commands(enable):
    return f"en\r{enable}\rterminal length 0 \rshow running-config\rexit\r".encode()

ENABLE = "bench-enable"
CHILD_LIMIT_S = 120  # watchdog for one child process
TIME = "/usr/bin/time"  # GNU time (Debian package "time")


class Measured:
    """Wall time, processor time and peak memory of one finished process."""

    def __init__(self, wall, user, system, maxrss_kib, code, out):
        self.wall, self.user, self.system = wall, user, system
        self.maxrss_kib, self.code, self.out = maxrss_kib, code, out

    @property
    def cpu(self):
        return self.user + self.system


def run_measured(argv, stdin_bytes=None, limit=CHILD_LIMIT_S, env=None):
    """Runs argv to its end and takes its resource use from wait4.

    The program is started through /usr/bin/time, which only reports its
    peak memory: a process started straight from this interpreter would
    count the interpreter's own memory in its peak (the peak is kept across
    exec, and the child starts as a copy of the interpreter). The processor
    times come from wait4 (microseconds, where time prints hundredths); they
    include time's own share, well under a millisecond."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile(mode="r") as rss:
        start = time.perf_counter()
        proc = subprocess.Popen([TIME, "-q", "-f", "%M", "-o", rss.name, *argv],
                                stdin=subprocess.PIPE if stdin_bytes is not None else subprocess.DEVNULL,
                                stdout=out, stderr=err, start_new_session=True, env=env)
        # On a hang, kill time and the program with it (its own process group).
        watchdog = threading.Timer(limit, lambda: os.killpg(proc.pid, signal.SIGKILL))
        watchdog.start()
        try:
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
        maxrss = int(rss.read().strip() or 0)
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
                 "--authorized-keys", authorized_keys, "--enable-password-file",
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
        m = run_measured([self.cli, "check", "--host", "127.0.0.1", "--params", params, "--timeout", str(timeout)],
                         env=self.check_env)
        m.ok = m.code == 0 and m.out.startswith(b"CONFIG OK")
        return m

    def openssh(self, port):
        m = run_measured(["ssh", "-tt", "-p", str(port), "-i", self.key, "-o", "StrictHostKeyChecking=no",
                          "-o", "UserKnownHostsFile=/dev/null", "-o", "LogLevel=ERROR", "-o", "BatchMode=yes",
                          "-F", "/dev/null", "admin@127.0.0.1"], typed_commands(ENABLE))
        m.ok = m.code == 0 and b"Current configuration" in m.out and b"\r\nend\r\n" in m.out
        return m

    def alternate(self, params, port, what):
        """self.runs checks and as many OpenSSH runs against `port`, taking
        turns; returns (ours, theirs). A failed run raises."""
        ours, theirs = [], []
        for i in range(self.runs):
            # Alternate who goes first, so drifting machine load hits both.
            pair = [("ours", lambda: self.check(params)), ("theirs", lambda: self.openssh(port))]
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
        m = run_measured(["ssh", "-v", "-tt", "-p", str(port), "-i", self.key, "-o", "StrictHostKeyChecking=no",
                          "-o", "UserKnownHostsFile=/dev/null", "-o", "BatchMode=yes", "-F", "/dev/null",
                          "admin@127.0.0.1"], typed_commands(ENABLE))
        kex = hostkey = "?"
        for line in m.out.decode(errors="replace").splitlines():
            if "kex: algorithm:" in line:
                kex = line.split("kex: algorithm:")[1].strip()
            if "kex: host key algorithm:" in line:
                hostkey = line.split("kex: host key algorithm:")[1].strip()
        return ours, f"{kex}/{hostkey}"

    # -- 1. latency ---------------------------------------------------------
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
            "check_maxrss_mib": max(m.maxrss_kib for m in ours) / 1024,
            "openssh_maxrss_mib": max(m.maxrss_kib for m in theirs) / 1024,
            "check_all_s": [round(m.wall, 4) for m in ours],
            "openssh_all_s": [round(m.wall, 4) for m in theirs],
        }
        r["ratio"] = r["check_s"] / r["openssh_s"]
        if kex:
            r["algorithms_check"], r["algorithms_openssh"] = kex
        print(f"latency {lines} lines: check {r['check_s']*1000:.1f} ms, OpenSSH {r['openssh_s']*1000:.1f} ms "
              f"(medians of {self.runs}), ratio {r['ratio']:.2f}; processor time {r['check_cpu_s']*1000:.1f} ms "
              f"vs {r['openssh_cpu_s']*1000:.1f} ms; max RSS {r['check_maxrss_mib']:.1f} MiB vs "
              f"{r['openssh_maxrss_mib']:.1f} MiB", flush=True)
        if kex:
            print(f"  negotiated: check {kex[0]}, OpenSSH {kex[1]}", flush=True)
        return r

    # -- 2. idle processor use ----------------------------------------------
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

    # -- 3. many switches -----------------------------------------------------
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

    # -- 4. checksum ------------------------------------------------------------
    def crc(self):
        binary = os.path.join(self.build, "bench", "crc_bench")
        out = os.path.join(self.work, "crc.json")
        subprocess.run([binary, "--benchmark_filter=^BM_(CrcOfText|ZlibCrc32)$",
                        f"--benchmark_repetitions={max(self.runs, 5)}", "--benchmark_report_aggregates_only=true",
                        f"--benchmark_out={out}", "--benchmark_out_format=json"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        medians = {}
        for b in json.load(open(out))["benchmarks"]:
            if b.get("aggregate_name") == "median":
                medians[b["run_name"]] = (b["cpu_time"], b["real_time"], b.get("bytes_per_second", 0))
        ours, zlib = medians["BM_CrcOfText"], medians["BM_ZlibCrc32"]
        r = {
            "runs": max(self.runs, 5),
            "crcoftext_ms": ours[0],
            "zlib_ms": zlib[0],
            "crcoftext_gib_s": ours[2] / 2**30,
            "zlib_gib_s": zlib[2] / 2**30,
            "ratio_cpu": zlib[0] / ours[0],
            "ratio_wall": zlib[1] / ours[1],
        }
        print(f"crc: CrcOfText {r['crcoftext_ms']:.2f} ms, zlib crc32 {r['zlib_ms']:.2f} ms per 16 MiB "
              f"(processor time, medians of {r['runs']}); zlib / CrcOfText = {r['ratio_cpu']:.2f} "
              f"({r['ratio_wall']:.2f} by wall clock)", flush=True)
        return r


def summary(res):
    rows = []
    for key in ("latency_2000", "latency_20000"):
        if key in res:
            r = res[key]
            rows.append((f"check latency, {r['lines']} lines", f"{r['check_s']*1000:.0f} ms",
                         f"OpenSSH {r['openssh_s']*1000:.0f} ms", f"{r['ratio']:.2f}x", "<= 1.2x",
                         "met" if r["ratio"] <= 1.2 else "MISSED"))
    if "idle" in res:
        r = res["idle"]
        rows.append(("processor use, 3 s think", f"{r['check_cpu_pct']:.2f} %", f"OpenSSH {r['openssh_cpu_pct']:.2f} %",
                     "", "< 3 %", "met" if r["check_cpu_pct"] < 3 else "MISSED"))
    if "many" in res:
        r = res["many"]
        rows.append((f"{r['checks']} switches, {r['parallel']} at a time", f"{r['check_total_s']:.2f} s",
                     f"OpenSSH {r['openssh_total_s']:.2f} s", f"{r['ratio']:.2f}x", "all succeed",
                     "met" if r["failed"] == 0 else f"MISSED ({r['failed']} failed)"))
        rows.append(("max RSS of one check", f"{r['check_maxrss_mib']:.1f} MiB", f"OpenSSH {r['openssh_maxrss_mib']:.1f} MiB",
                     "", "< 20 MiB", "met" if r["check_maxrss_mib"] < 20 else "MISSED"))
    if "crc" in res:
        r = res["crc"]
        rows.append(("CrcOfText vs zlib crc32", f"{r['crcoftext_ms']:.2f} ms", f"zlib {r['zlib_ms']:.2f} ms",
                      f"{r['ratio_cpu']:.2f}x faster", ">= 1x", "met" if r["ratio_cpu"] >= 1 else "MISSED"))
    head = ("figure", "comvorlix", "baseline", "ratio", "target", "")
    widths = [max(len(str(x[i])) for x in [head] + rows) for i in range(len(head))]
    line = lambda cells: "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"
    print()
    print(line(head))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for row in rows:
        print(line(row))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", required=True, help="build folder (with src/comvorlix, tools/switchsim, bench)")
    ap.add_argument("--runs", type=int, default=7, help="runs per figure, medians taken (at least 5)")
    ap.add_argument("--only", default="latency,idle,many,crc", help="comma-separated parts to run")
    ap.add_argument("--json", help="write the figures to this file as JSON")
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
    for tool in ("ssh", "ssh-keygen"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} (OpenSSH client) is missing: apt-get install openssh-client")
    if not os.access(TIME, os.X_OK):
        sys.exit(f"{TIME} is missing: apt-get install time")

    parts = set(args.only.split(","))
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
        if "latency" in parts:
            res["latency_2000"] = bench.latency(2000)
            res["latency_20000"] = bench.latency(20000)
        if "idle" in parts:
            res["idle"] = bench.idle()
        if "many" in parts:
            res["many"] = bench.many()
        if "crc" in parts:
            res["crc"] = bench.crc()
    finally:
        bench.close()
        if args.keep:
            print(f"work folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    summary(res)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(res, f, indent=2)


if __name__ == "__main__":
    main()
