#!/usr/bin/python3
"""Runs every benchmark of the suite and prints one table to stdout.
Progress goes to stderr. Called by bench/run.sh, which builds, makes the
workbooks and starts the X server first.

Every figure is a median of several runs (percentiles for clicks), and every
comparison is a ratio of two figures measured in this same run.
"""

import argparse
import hashlib
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SIZES = [("full_year.xls", "full year, 365 rows", 365),
         ("rows6000.xls", "6,000 rows + 2nd sheet", 6000),
         ("rows60000.xls", "60,000 rows + 2nd sheet", 60000)]
FORM1_TITLE = "Merrow日記Lt."
# The colour scheme a user's folder holds beside the diary (six values, CR LF).
SETTINGS = b"815785\r\n13101301\r\n0\r\n16777215\r\n16777215\r\n815785\r\n"


def log(message):
    print("[bench] " + message, file=sys.stderr, flush=True)


def run(args, env=None, timeout=900):
    done = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, text=True)
    if done.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(args), done.returncode, done.stderr[-2000:]))
    return done.stdout


def median(values):
    return statistics.median(values) if values else float("nan")


def sha(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Table:
    def __init__(self):
        self.rows = []

    def section(self, title):
        self.rows.append(("**%s**" % title, "", "", "", "", ""))

    def add(self, figure, measured, against="", ratio="", target="", result=""):
        self.rows.append((figure, measured, against, ratio, target, result))

    def render(self):
        head = ("Figure", "Measured", "Compared with (same run)", "Ratio", "Target", "Result")
        widths = [max(len(r[i]) for r in self.rows + [head]) for i in range(len(head))]
        line = lambda r: "| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |"
        out = [line(head), "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
        out += [line(r) for r in self.rows]
        return "\n".join(out)


def verdict(ok):
    return "met" if ok else "MISSED"


def fmt_ms(v):
    if v != v:
        return "n/a"
    if v >= 100:
        return "%.0f ms" % v
    if v >= 10:
        return "%.1f ms" % v
    if v >= 1:
        return "%.2f ms" % v
    return "%.3f ms" % v


# ---------------------------------------------------------------- start-up

def launch(bench, programs, runs, warmup, env, map_title=None):
    args = [os.path.join(bench, "bench_launch"), "--runs", str(runs), "--warmup", str(warmup)]
    if map_title:
        args += ["--map", map_title]
    out = run(args + programs, env=env)
    times = [[] for _ in programs]
    rss = [[] for _ in programs]
    marks = [{} for _ in programs]
    failures = 0
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[2] == "FAIL":
            failures += 1
            continue
        k = int(parts[1])
        times[k].append(float(parts[2]))
        rss[k].append(int(parts[3]) / 1024.0)
        for field in parts[4:]:
            name, _, value = field.rpartition("=")
            marks[k].setdefault(name, []).append(float(value))
    return times, rss, failures, marks


MARK_NAMES = {"application": "app", "shown:frmSplash": "splash shown", "painted:frmSplash": "splash painting",
              "shown:Form1": "Form1 shown", "painted:Form1": "Form1 painting", "shown:minimal": "shown",
              "painted:minimal": "painting"}


def timeline(marks, ready_ms):
    """Milestones in time order, as medians: where start-up time goes."""
    steps = sorted((median(v), MARK_NAMES.get(name, name)) for name, v in marks.items()
                   if not name.startswith("span:"))
    return " → ".join("%s %.1f" % (name, ms) for ms, name in steps) + " → drawn %.1f ms" % ready_ms


def startup(args, table, results):
    program = os.path.join(args.build, "program")
    bench = os.path.join(args.build, "bench")
    nikki = os.path.join(program, "nikki.xls")
    shutil.copyfile(os.path.join(args.data, "full_year.xls"), nikki)
    with open(os.path.join(program, "inf.txt"), "wb") as f:
        f.write(SETTINGS)
    before = sha(nikki)
    runtime = tempfile.mkdtemp(prefix="bench-xdg-")
    os.chmod(runtime, 0o700)
    env = dict(os.environ, DISPLAY=args.display, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime)

    log("start-up: diary probe and minimal Qt program, %d interleaved starts each" % args.starts)
    diary = os.path.join(program, "bench_startup_diary")
    minimal = os.path.join(program, "bench_startup_minimal")
    times, rss, failures, marks = launch(bench, [diary, minimal], args.starts, 3, env)
    log("start-up: Form1 mapped, shipped pravok against the probe")
    map_times, map_rss, map_failures, _ = launch(bench, [os.path.join(program, "pravok"), diary],
                                              max(5, args.starts // 2), 1, env, map_title=FORM1_TITLE)
    shutil.rmtree(runtime, ignore_errors=True)
    unchanged = sha(nikki) == before

    d_ms, m_ms = median(times[0]), median(times[1])
    d_mb, m_mb = median(rss[0]), median(rss[1])
    results["startup_ms"] = d_ms
    # Per start, the engine's share of that same start; then the median.
    spans = marks[0].get("span:engine", [])
    if len(spans) == len(times[0]):
        results["engine_in_startup"] = (median(spans), median([e / t * 100 for e, t in zip(spans, times[0])]))
    table.section("1. Start-up (Xvfb; full-year nikki.xls; process start until the window is drawn)")
    table.add("Diary: main window drawn with today's page (n=%d%s)" % (len(times[0]),
              ", %d failed" % failures if failures else ""),
              fmt_ms(d_ms), "minimal Qt program %s (n=%d)" % (fmt_ms(m_ms), len(times[1])),
              "%.2f×" % (d_ms / m_ms), "≤ 1.25×", verdict(d_ms <= 1.25 * m_ms))
    table.add("  … diary timeline (medians, ms from fork)", timeline(marks[0], d_ms), "", "", "", "info")
    table.add("  … minimal timeline (medians, ms from fork)", timeline(marks[1], m_ms), "", "", "", "info")
    table.add("Peak RSS of the same starts", "%.1f MB" % d_mb, "minimal Qt program %.1f MB" % m_mb,
              "%.2f×" % (d_mb / m_mb), "≤ 1.25×", verdict(d_mb <= 1.25 * m_mb))
    if map_times[0] and map_times[1]:
        s_ms, p_ms = median(map_times[0]), median(map_times[1])
        table.add("Check: main window mapped, shipped pravok vs probe (n=%d)" % len(map_times[0]),
                  fmt_ms(s_ms), "probe %s" % fmt_ms(p_ms), "%.2f×" % (s_ms / p_ms),
                  "≈ 1 (probe = program)", "info")
    else:
        table.add("Check: main window mapped, shipped pravok", "failed (%d)" % map_failures, "", "", "", "info")
    table.add("Start-up wrote nothing to nikki.xls", "yes" if unchanged else "NO", "", "", "no write",
              verdict(unchanged))


# ---------------------------------------------------------------- engine

def engine_lines(bench, mode, *rest):
    out = run([os.path.join(bench, "bench_engine"), mode] + [str(r) for r in rest])
    return [line.split() for line in out.splitlines() if line.strip()]


def engine(args, table, results):
    bench = os.path.join(args.build, "bench")
    disk = os.path.join(args.build, "bench-tmp")
    os.makedirs(disk, exist_ok=True)
    per = {}
    for name, label, rows in SIZES:
        path = os.path.join(args.data, name)
        size_mb = os.path.getsize(path) / 1e6
        log("engine: %s (%.1f MB)" % (name, size_mb))
        floor = median([float(l[0]) for l in engine_lines(bench, "floor", path, 21)])
        probe = float(engine_lines(bench, "parse", path, 1)[0][0])
        parse_runs = max(5, min(200, int(4000 / max(probe, 1e-3))))
        parsed = engine_lines(bench, "parse", path, parse_runs)
        parse = median([float(l[0]) for l in parsed])
        cells = int(parsed[0][1])
        save_runs = max(5, min(15, int(3000 / max(probe, 1e-3))))
        save_tmpfs = median([float(l[0]) for l in engine_lines(bench, "save", path, "/dev/shm", save_runs)])
        save_disk = median([float(l[0]) for l in engine_lines(bench, "save", path, disk, save_runs)])
        log("engine: xlrd on %s" % name)
        xlrd_runs = 9 if rows < 1000 else (5 if rows < 10000 else 3)
        xl = [l.split() for l in run(["/usr/bin/python3", os.path.join(args.src, "bench", "xlrd_read.py"),
                                      path, str(xlrd_runs)]).splitlines()]
        xlrd_ms = median([float(l[0]) for l in xl])
        xlrd_cells = int(xl[0][1])
        per[name] = dict(rows=rows, label=label, mb=size_mb, floor=floor, parse=parse, cells=cells,
                         xlrd=xlrd_ms, xlrd_cells=xlrd_cells, save_tmpfs=save_tmpfs, save_disk=save_disk,
                         parse_runs=parse_runs)
    first = [engine_lines(bench, "first", os.path.join(args.data, "full_year.xls"))[0] for _ in range(21)]
    first_ms = median([float(l[0]) for l in first])
    second_ms = median([float(l[1]) for l in first])
    results["engine"] = per

    table.section("2. Workbook engine (open-and-parse = open + read every sheet; medians)")
    for name, label, rows in SIZES:
        p = per[name]
        table.add("Open+parse, %s (%.2f MB, n=%d)" % (label, p["mb"], p["parse_runs"]), fmt_ms(p["parse"]),
                  "python3-xlrd %s" % fmt_ms(p["xlrd"]), "%.0f× faster" % (p["xlrd"] / p["parse"]),
                  "≥ 30× faster", verdict(p["xlrd"] >= 30 * p["parse"]))
    for name, label, rows in SIZES:
        p = per[name]
        is_target = name == "rows60000.xls"
        table.add("Open+parse vs reading the bytes, %s" % label, fmt_ms(p["parse"]),
                  "read floor %s (%.0f MB/s)" % (fmt_ms(p["floor"]), p["mb"] / (p["floor"] / 1000)),
                  "%.1f× floor" % (p["parse"] / p["floor"]),
                  "≤ 10× floor" if is_target else "",
                  verdict(p["parse"] <= 10 * p["floor"]) if is_target else "info")
    for name, label, rows in SIZES:
        p = per[name]
        table.add("Save one record (writeFields), %s" % label,
                  "%s tmpfs / %s disk" % (fmt_ms(p["save_tmpfs"]), fmt_ms(p["save_disk"])),
                  "open+parse %s" % fmt_ms(p["parse"]), "%.1f× / %.1f×" % (p["save_tmpfs"] / p["parse"],
                                                                         p["save_disk"] / p["parse"]),
                  "", "info")
    startup_ms = results.get("startup_ms", float("nan"))
    share = first_ms / startup_ms * 100
    if "engine_in_startup" in results:
        engine_ms, engine_share = results["engine_in_startup"]
        table.add("Opening full-year nikki.xls inside the real start-up (Workbook::open + readTable)",
                  fmt_ms(engine_ms), "diary start-up %s" % fmt_ms(startup_ms), "%.2f %%" % engine_share, "< 2 %",
                  verdict(engine_share < 2))
    table.add("  … the same as a fresh process's first act (n=21)", fmt_ms(first_ms),
              "2nd open in that process %s" % fmt_ms(second_ms), "%.2f %% of start-up" % share, "", "info")
    a, b, c = per["full_year.xls"], per["rows6000.xls"], per["rows60000.xls"]
    for key, what in (("parse", "open+parse"), ("save_tmpfs", "save (tmpfs)")):
        g1 = (b[key] / b["rows"]) / (a[key] / a["rows"])
        g2 = (c[key] / c["rows"]) / (b[key] / b["rows"])
        expo = math.log(c[key] / b[key]) / math.log(c["rows"] / b["rows"])
        table.add("Growth of %s: cost per row 6,000 → 60,000" % what,
                  "%.1f → %.1f µs/row" % (b[key] / b["rows"] * 1000, c[key] / c["rows"] * 1000),
                  "365 → 6,000: %.2f×" % g1, "%.2f× (exponent %.2f)" % (g2, expo), "≤ 1.25× (linear)",
                  verdict(g2 <= 1.25))
    table.add("Cells read: engine / xlrd (non-empty, all sheets)",
              " / ".join("%d" % per[n]["cells"] for n, _, _ in SIZES),
              " / ".join("%d" % per[n]["xlrd_cells"] for n, _, _ in SIZES), "", "equal",
              verdict(all(per[n]["cells"] == per[n]["xlrd_cells"] for n, _, _ in SIZES)))


# ---------------------------------------------------------------- navigation

def navigation(args, table, results):
    bench = os.path.join(args.build, "bench")
    disk = os.path.join(args.build, "bench-tmp")
    os.makedirs(disk, exist_ok=True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    table.section("3. Day navigation (real Form1, offscreen; mouse press on a day → whole window repainted)")
    for name, label in (("full_year.xls", "full year"), ("rows60000.xls", "60,000 rows")):
        found = {}
        for where, base in (("tmpfs", "/dev/shm"), ("disk", disk)):
            log("navigation: %s, workbook on %s" % (name, where))
            out = run([os.path.join(bench, "bench_nav"), os.path.join(args.data, name), base,
                       str(args.clicks), str(args.click_seconds)], env=env)
            for line in out.splitlines():
                item = json.loads(line)
                found[(where, item["kind"])] = item
        u = found[("tmpfs", "unchanged")]
        t = found[("tmpfs", "typed")]
        k = found[("disk", "typed")]
        load = found[("tmpfs", "load")]
        p99 = lambda it: "p50 %s / p99 %s" % (fmt_ms(it["p50"]), fmt_ms(it["p99"]))
        table.add("Unchanged-day click, %s (n=%d)" % (label, u["n"]), p99(u),
                  "drawing alone p50 %s" % fmt_ms(u["draw_p50"]), "", "p99 ≤ 16 ms",
                  verdict(u["p99"] <= 16 and u["wrong_pages"] == 0))
        table.add("  … files written by those clicks", "%d" % (u["writes"] + found[("disk", "unchanged")]["writes"]),
                  "", "", "0", verdict(u["writes"] == 0 and found[("disk", "unchanged")]["writes"] == 0))
        table.add("Click after typing, saves, %s, tmpfs: no flush cost (n=%d)" % (label, t["n"]), p99(t),
                  "drawing alone p50 %s" % fmt_ms(t["draw_p50"]), "", "p99 ≤ 16 ms",
                  verdict(t["p99"] <= 16 and t["wrong_pages"] == 0 and t["writes"] == t["n"]))
        table.add("Click after typing, saves, %s, /work disk with flush (n=%d)" % (label, k["n"]), p99(k),
                  "tmpfs p50 %s" % fmt_ms(t["p50"]), "", "p99 ≤ 16 ms",
                  verdict(k["p99"] <= 16 and k["wrong_pages"] == 0 and k["writes"] == k["n"]))
        # The page is drawn before the day left is saved; the save then holds
        # the next input back until it is done.
        saves = lambda it: "p50 %s / p99 %s" % (fmt_ms(it["press_p50"]), fmt_ms(it["press_p99"]))
        table.add("  … press to save done (next input taken), %s: tmpfs / disk" % label,
                  "%s / %s" % (saves(t), saves(k)), "", "disk adds %s (p50)" % fmt_ms(k["press_p50"] - t["press_p50"]),
                  "say the cost", "info")
        table.add("  … Form_Load with %s (first in process, %d records)" % (label, load["records"]),
                  fmt_ms(load["form_load_ms"]),
                  "Form1 built in %s; to first page drawn %s" % (fmt_ms(load["construct_ms"]),
                                                                  fmt_ms(load["to_page_ms"])), "", "", "info")


# ---------------------------------------------------------------- search

def search(args, table, results):
    bench = os.path.join(args.build, "bench")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    log("search: full year and 60,000 rows")
    out = run([os.path.join(bench, "bench_search"), os.path.join(args.data, "full_year.xls"),
               os.path.join(args.data, "rows60000.xls"), str(args.search_rounds)], env=env)
    found = {item["kind"]: item for item in map(json.loads, out.splitlines())}
    results["search"] = found
    table.section("4. Search of the year (one keystroke: the word's next prefix searched and listed)")
    rows = (("year", "Keystroke, full year (365 days × 17 boxes)", 5),
            ("year_window", "  … in the search window, list repainted", 16),
            ("big_diary", "Keystroke, 60,000-row workbook (its year's 365 days)", 100),
            ("big_window", "  … in the search window, list repainted", 16),
            ("big_rows", "Keystroke, all 60,000 rows searched as days", 100))
    for kind, label, target in rows:
        it = found[kind]
        table.add("%s (n=%d, %d results)" % (label, it["n"], it["hits"]),
                  "p50 %s / p99 %s" % (fmt_ms(it["p50"]), fmt_ms(it["p99"])),
                  "made ready (all folded%s) %s, then first keystroke %s"
                  % (", window drawn" if kind.endswith("_window") else "", fmt_ms(it["open"]), fmt_ms(it["first"])), "",
                  "p99 ≤ %d ms" % target, verdict(it["p99"] <= target))


# ---------------------------------------------------------------- typing

def typing(args, table, results):
    bench = os.path.join(args.build, "bench")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DISPLAY", None)
    table.section("5. Typing while the page saves itself (real Form1, offscreen; key press queued → box painted)")
    for name, label in (("full_year.xls", "full year"), ("rows60000.xls", "60,000 rows")):
        log("typing: %s" % name)
        item = json.loads(run([os.path.join(bench, "bench_typing"), os.path.join(args.data, name), "/dev/shm",
                               str(args.typing_rounds)], env=env).splitlines()[-1])
        table.add("Key to character drawn, %s (n=%d, %d during %d saves)"
                  % (label, item["keys"], item["during_save"], item["saves"]),
                  "p50 %s / p99 %s" % (fmt_ms(item["p50"]), fmt_ms(item["p99"])),
                  "during saves p99 %s" % fmt_ms(item["save_p99"]), "", "p99 ≤ 16 ms",
                  verdict(item["p99"] <= 16 and item["saves"] > 0))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--src", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--display", required=True)
    parser.add_argument("--starts", type=int, default=41)
    parser.add_argument("--clicks", type=int, default=200)
    parser.add_argument("--click-seconds", type=float, default=20)
    parser.add_argument("--typing-rounds", type=int, default=8)
    parser.add_argument("--search-rounds", type=int, default=50)
    parser.add_argument("--only", default="startup,engine,navigation,search,typing")
    args = parser.parse_args()

    table = Table()
    results = {"load_before": os.getloadavg()}
    began = time.monotonic()
    parts = args.only.split(",")
    for name, section in (("startup", startup), ("engine", engine), ("navigation", navigation),
                          ("search", search), ("typing", typing)):
        if name not in parts:
            continue
        try:
            section(args, table, results)
        except Exception as e:  # one broken part must not hide the others' figures
            log("%s failed: %s" % (name, e))
            table.add("%s: could not be measured" % name, "ERROR", str(e).splitlines()[0][:80], "", "", "MISSED")
    load_before = results.get("load_before", (0, 0, 0))
    table.section("Run")
    load_after = os.getloadavg()[0]
    busy = max(load_before[0], load_after) > os.cpu_count()
    table.add("Machine: %d CPUs; load average at start / end" % os.cpu_count(),
              "%.2f / %.2f" % (load_before[0], load_after), "", "", "≤ CPUs",
              "BUSY: absolute ms unreliable, ratios less so" if busy else "quiet")
    table.add("Wall time of the measurements (build excluded)", "%.0f s" % (time.monotonic() - began), "", "", "< 10 min",
              verdict(time.monotonic() - began < 600))
    log("done in %.0f s" % (time.monotonic() - began))
    print(table.render())
    with open(os.path.join(args.build, "bench-results.json"), "w") as f:
        json.dump(results, f, indent=1)


if __name__ == "__main__":
    main()
