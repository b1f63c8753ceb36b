"""What a benchmark run measured and how it is reported.

Describes the build under test (build type, whether the Qt dialog was built
and how, git commit) and the machine, turns the measurements of
check_bench.py into figures with a target each, and prints them as a text
table, a markdown table ready for README.md, or JSON.

Every ratio is comvorlix / baseline of the same run, so lower is better.
"""

import datetime
import fnmatch
import os
import subprocess


# -- the build and the machine ------------------------------------------------

def read_cmake_cache(build):
    """NAME -> value of CMakeCache.txt ({} without one)."""
    values = {}
    try:
        with open(os.path.join(build, "CMakeCache.txt"), errors="replace") as f:
            for line in f:
                if line.startswith(("#", "//")) or "=" not in line or ":" not in line.split("=", 1)[0]:
                    continue
                name_type, value = line.rstrip("\n").split("=", 1)
                values[name_type.split(":", 1)[0]] = value
    except FileNotFoundError:
        pass
    return values


def find_qt_dialog_modules(build):
    """Shared objects named like the Qt dialog module (*dialog*qt*.so*) in the
    build tree, relative to it. Compiler and moc folders are not looked into:
    they hold objects and generated sources named after the target."""
    found = []
    for root, dirs, files in os.walk(build):
        dirs[:] = [d for d in dirs if d != "CMakeFiles" and not d.endswith("_autogen")]
        for name in files:
            shared = name.endswith(".so") or ".so." in name
            if shared and fnmatch.fnmatch(name.lower(), "*dialog*qt*"):
                found.append(os.path.relpath(os.path.join(root, name), build))
    return sorted(found)


def qt_libraries_at_start(binary):
    """Names of the Qt libraries the dynamic loader maps when `binary` starts."""
    try:
        out = subprocess.run(["ldd", binary], capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return []
    return sorted({line.split()[0] for line in out.splitlines() if line.strip().startswith("libQt")})


def qt_dialog_state(modules, qt_at_start):
    """How the Qt dialog is present in a build: "module" (a separate shared
    object), "linked" (in the libraries the check starts with) or "not built"."""
    if modules:
        return "module"
    if qt_at_start:
        return "linked"
    return "not built"


def git_state(source):
    """(short commit, whether tracked files other than documents differ from it)."""
    def git(*args):
        return subprocess.run(["git", "-C", source, *args], capture_output=True, text=True, timeout=30)
    try:
        head = git("rev-parse", "--short=10", "HEAD")
        changes = git("status", "--porcelain", "--untracked-files=no", "--", ".", ":(exclude)*.md", ":(exclude)docs")
    except (OSError, subprocess.TimeoutExpired):
        return "unknown", False
    if head.returncode != 0:
        return "unknown", False
    return head.stdout.strip(), bool(changes.stdout.strip())


def describe_build(build, cli):
    cache = read_cmake_cache(build)
    source = cache.get("CMAKE_HOME_DIRECTORY") or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    modules = find_qt_dialog_modules(build)
    qt_at_start = qt_libraries_at_start(cli)
    commit, dirty = git_state(source)
    library = os.path.join(os.path.dirname(cli), "libcomvorlix.so")
    d = {
        "folder": build,
        "build_type": cache.get("CMAKE_BUILD_TYPE") or "unknown",
        "qt_option": cache.get("COMVORLIX_QT", "unknown"),
        "qt_dialog": qt_dialog_state(modules, qt_at_start),
        "qt_dialog_modules": modules,
        "qt_libraries_at_start": qt_at_start,
        "commit": commit,
        "uncommitted_changes": dirty,
        "comvorlix_built": datetime.datetime.fromtimestamp(os.path.getmtime(cli)).isoformat(timespec="seconds"),
        "comvorlix_bytes": os.path.getsize(cli) + (os.path.getsize(library) if os.path.exists(library) else 0),
    }
    d["users_build"] = d["build_type"] == "Release" and d["qt_dialog"] != "not built"
    return d


def build_line(b):
    qt = {"module": "Qt dialog built as a module (" + ", ".join(b["qt_dialog_modules"]) + ")",
          "linked": "Qt dialog built into the libraries the check starts with",
          "not built": "Qt dialog not built"}[b["qt_dialog"]]
    if b["qt_dialog"] == "module":
        qt += "; the check starts with " + ("Qt: " + " ".join(b["qt_libraries_at_start"])
                                           if b["qt_libraries_at_start"] else "no Qt library")
    commit = b["commit"] + (" with uncommitted changes" if b["uncommitted_changes"] else "")
    line = (f"{b['build_type']} build, {qt}; commit {commit}; comvorlix and libcomvorlix.so "
            f"{b['comvorlix_bytes'] / 2**20:.1f} MiB, built {b['comvorlix_built']}")
    if b.get("preload"):
        line += f"; investigation run, preloaded: checks {b['preload']['checks'] or '-'}, " \
                f"emulators {b['preload']['emulators'] or '-'}"
    return line


def describe_machine():
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next((l.split(":", 1)[1].strip() for l in f if l.startswith("model name")), cpu)
    except OSError:
        pass
    return {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "cores": os.cpu_count(),
        "cpu": cpu,
        "load": " ".join(open("/proc/loadavg").read().split()[:3]),
    }


def machine_line(m):
    return f"{m['date']}, {m['cores']} cores of {m['cpu']}, load {m['load']}"


# -- figures and targets ------------------------------------------------------

class Target:
    """A target: its text and whether a figure meets it."""

    def __init__(self, text, met):
        self.text, self.met = text, met


def ratio_at_most(limit):
    return Target(f"≤ {limit:.1f}×", lambda f: f.ratio is not None and f.ratio <= limit)


def value_below(limit, unit):
    return Target(f"< {limit:g} {unit}", lambda f: f.value < limit)


def value_at_most(limit, unit):
    return Target(f"≤ {limit:.1f} {unit}", lambda f: f.value <= limit)


def none_failed():
    return Target("all succeed", lambda f: f.value == 0)


class Figure:
    """One row: what was measured, comvorlix's value, the baseline's, their
    ratio and the target. `value` is what a non-ratio target looks at."""

    def __init__(self, key, name, ours, baseline, target, ratio=None, value=None):
        self.key, self.name, self.ours, self.baseline = key, name, ours, baseline
        self.target, self.ratio, self.value = target, ratio, value

    @property
    def met(self):
        return bool(self.target.met(self))

    def as_dict(self):
        return {"key": self.key, "figure": self.name, "comvorlix": self.ours, "baseline": self.baseline,
                "ratio": None if self.ratio is None else round(self.ratio, 4), "target": self.target.text,
                "met": self.met}


def ms(seconds):
    v = seconds * 1000
    return f"{v:.2f} ms" if v < 10 else f"{v:.1f} ms" if v < 100 else f"{v:.0f} ms"


def mib(value):
    return f"{value:.1f} MiB"


def thousands(n):
    return f"{n:,}".replace(",", " ")


def figures(res):
    """The figures of the parts that ran, in the order of the README table."""
    rows = []
    if "version" in res:
        r = res["version"]
        rows.append(Figure("version_wall", "`comvorlix --version`, wall time", ms(r["check_s"]),
                           f"`ssh -V` {ms(r['openssh_s'])}", ratio_at_most(1.2), r["check_s"] / r["openssh_s"]))
        rows.append(Figure("version_rss", "`comvorlix --version`, peak memory (max RSS)", mib(r["check_rss_mib"]),
                           f"`ssh -V` {mib(r['openssh_rss_mib'])}", ratio_at_most(1.2),
                           r["check_rss_mib"] / r["openssh_rss_mib"]))
    for lines in (2000, 20000):
        r = res.get(f"latency_{lines}")
        if not r:
            continue
        what = f"one check, {thousands(lines)}-line Cisco listing"
        rows.append(Figure(f"check_{lines}_wall", f"{what}, wall time", ms(r["check_s"]),
                           f"OpenSSH client {ms(r['openssh_s'])}", ratio_at_most(0.6), r["check_s"] / r["openssh_s"]))
        if lines == 20000:
            rows.append(Figure(f"check_{lines}_cpu", f"{what}, processor time (user + system)",
                               ms(r["check_cpu_s"]), f"OpenSSH client {ms(r['openssh_cpu_s'])}", ratio_at_most(1.0),
                               r["check_cpu_s"] / r["openssh_cpu_s"]))
            rows.append(Figure(f"check_{lines}_rss", f"{what}, peak memory (max RSS)", mib(r["check_rss_mib"]),
                               f"OpenSSH client {mib(r['openssh_rss_mib'])}", ratio_at_most(1.5),
                               r["check_rss_mib"] / r["openssh_rss_mib"]))
    if "idle" in res:
        r = res["idle"]
        rows.append(Figure("idle_cpu", f"processor use of a check while the switch thinks {r['think_ms'] / 1000:g} s",
                           f"{r['check_cpu_pct']:.2f} %", f"OpenSSH client {r['openssh_cpu_pct']:.2f} %",
                           value_below(3, "%"), r["check_cpu_pct"] / r["openssh_cpu_pct"] if r["openssh_cpu_pct"]
                           else None, r["check_cpu_pct"]))
    if "many" in res:
        r = res["many"]
        total = r["checks"] * r["runs"]
        rows.append(Figure("many_total", f"{r['checks']} checks ({r['switches']} emulated switches × "
                           f"{r['checks'] // r['switches']} parameter files), {r['parallel']} at a time",
                           f"{r['check_total_s']:.2f} s, {r['failed']} of {thousands(total)} failed",
                           f"{r['checks']} OpenSSH clients {r['openssh_total_s']:.2f} s", none_failed(),
                           r["check_total_s"] / r["openssh_total_s"], r["failed"]))
        rows.append(Figure("many_rss", "peak memory (max RSS) of the largest check in that run",
                           mib(r["check_maxrss_mib"]), f"OpenSSH client {mib(r['openssh_maxrss_mib'])}",
                           ratio_at_most(1.5), r["check_maxrss_mib"] / r["openssh_maxrss_mib"]))
    if "flood" in res:
        r = res["flood"]
        rows.append(Figure("flood_rss", "peak memory (max RSS) of a check against a switch that never stops "
                           "sending (largest run)", mib(r["check_rss_max_mib"]), "limit 64 MiB",
                           value_below(64, "MiB"), None, r["check_rss_max_mib"]))
    for size, r in sorted(res.get("memory", {}).items(), key=lambda kv: int(kv[0])):
        what = f"{r['listing_bytes'] / 2**20:.1f} MiB listing"
        limit = r["limit_mib"]
        for case, name in (("first", "first check"), ("unchanged", "unchanged"), ("change", "change with its diff"),
                           ("accept", "change accepted")):
            rows.append(Figure(f"memory_{size}_{case}", f"peak memory (max RSS), {what}, {name}",
                               mib(r[f"{case}_rss_mib"]), "16 MiB + 2 × the listing",
                               value_at_most(limit, "MiB"), None, r[f"{case}_rss_mib"]))
    if "crc" in res:
        r = res["crc"]
        # Crc32Update is zlib's crc32 behind one call: the margin is for noise.
        rows.append(Figure("crc_cpu", "CRC-32 of a 16 MiB listing (processor time)",
                           f"`Crc32Update` {ms(r['crc32update_ms'] / 1000)}",
                           f"zlib `crc32` {ms(r['zlib_ms'] / 1000)}", ratio_at_most(1.1),
                           r["crc32update_ms"] / r["zlib_ms"]))
    return rows


# -- output -------------------------------------------------------------------

def _cells(f):
    ratio = "" if f.ratio is None else f"{f.ratio:.2f}×"
    return [f.name, f.ours, f.baseline, ratio, f.target.text, "met" if f.met else "not met"]


HEAD = ["Figure", "comvorlix", "Baseline", "Ratio", "Target", ""]


def text_table(rows):
    table = [HEAD] + [[c.replace("`", "") for c in _cells(f)] for f in rows]
    widths = [max(len(r[i]) for r in table) for i in range(len(HEAD))]
    line = lambda cells: "  ".join(c.ljust(w) for c, w in zip(cells, widths)).rstrip()
    out = [line(HEAD), "  ".join("-" * w for w in widths)]
    out += [line(r) for r in table[1:]]
    return "\n".join(out)


def markdown_table(rows, build, machine, runs):
    esc = lambda s: s.replace("|", "\\|")
    out = [f"Latest figures ({machine_line(machine)}; medians of {runs} runs). Build: {build_line(build)}.", "",
           "| " + " | ".join(HEAD) + " |", "|" + "---|" * len(HEAD)]
    out += ["| " + " | ".join(esc(c) for c in _cells(f)) + " |" for f in rows]
    return "\n".join(out)


def as_json(rows, build, machine, runs, res):
    return {"build": build, "machine": machine, "runs": runs, "figures": [f.as_dict() for f in rows],
            "all_met": all(f.met for f in rows), "measurements": res}
