#!/usr/bin/env python3
"""The README's performance table, made from the benchmarks' own logs.

    bench_table.py machine
        Prints what the table says about the machine, one "key=value" a line:
        the processor, its cores, the memory, the OpenGL renderer (glxinfo -B,
        else asked of the display directly; run it under the display the
        drawing benchmarks use), the load average and the date.

    bench_table.py table --logs DIR [--readme README.md] [--command TEXT]
        Reads DIR/<benchmark>.log of every benchmark and DIR/machine.txt (the
        output of "machine"), prints the table, and with --readme replaces
        the text between the README's performance markers with it, leaving
        every other byte of the file as it was.

The figures (times, rates, ratios, peaks) are read from each benchmark's
lines; the words a benchmark prints about its own targets are not read: the
goals and the verdicts are the ones below. When a benchmark's lines are not
as expected, nothing is written: the error names the benchmark and the line
it looked for, and the exit status is 1.
"""

import argparse
import datetime
import os
import re
import shutil
import subprocess
import sys
import tempfile

BEGIN_MARKER = b"<!-- performance:begin -->"
END_MARKER = b"<!-- performance:end -->"

# Every benchmark, in the order they run; each writes <name>.log.
BENCHMARKS = [
    "bench_gcode2x3g",
    "bench_stl_load",
    "bench_render",
    "bench_startup",
    "bench_serial_stream",
    "bench_translator",
    "bench_print_estimate",
    "bench_toolpath",
    "bench_edit_step",
    "bench_model_memory",
    "bench_slicer_bridge",
]

# The goals, as figures; the verdicts are taken against these alone.
GOAL_GCODE_SPEED = 5.0          # gpx time / gcode2x3g time, at least (both dialects)
GOAL_GCODE_PEAK_MB = 64.0       # gcode2x3g's peak memory (MB of 10^6 bytes), at most (both dialects)
GOAL_STL_BINARY_SPEED = 8.0     # admesh time / loader time, binary STL, at least
GOAL_STL_ASCII_SPEED = 5.0      # ... ASCII STL
GOAL_RENDER_SPEED = 10.0        # immediate-mode frame / cached frame, at least
GOAL_STARTUP_MS = 500.0         # start to first frame with the STL, best run, at most
GOAL_LINE_RATE_PERCENT = 99.0   # 115,200-baud streaming against the line-rate limit, at least
GOAL_RAW_PACKAGES = 25000.0     # packages/s over a raw pseudo-terminal, at least


class FormatError(Exception):
    """A benchmark's log is not what the table is made from."""

    def __init__(self, bench, expected, example, log):
        super().__init__(
            f"{bench}: its output has changed: expected {expected}, like\n"
            f"    {example}\n"
            f"  in {log}; update scripts/bench_table.py to read the new lines "
            f"(nothing was written)")
        self.bench = bench


class StartError(FormatError):
    """A program the benchmark ran did not start: its figures are of fewer runs than it says."""

    def __init__(self, bench, line, log):
        Exception.__init__(self, f"{bench}: a program it ran did not start (rebuilt meanwhile?):\n"
                                 f"    {line}\n  in {log} (nothing was written)")
        self.bench = bench


class MarkerError(Exception):
    pass


# ---------------------------------------------------------------------------
# Reading the logs

NUM = r"(-?\d+(?:\.\d+)?)"
# The rest of a row's label (words apart by single spaces, no digits), then the gap before its figures.
LABEL_REST = r"[^\d\s]*(?: [^\d\s]+)*\s{2,}"


class Log:
    """One benchmark's log, with look-ups that fail loudly."""

    def __init__(self, bench, path, text):
        self.bench, self.path, self.text = bench, path, text
        self.lines = text.splitlines()

    def find(self, pattern, expected, example, start=0, stop=None):
        """The first match of pattern (on one line) from line start; its line index."""
        regex = re.compile(pattern)
        for i in range(start, len(self.lines) if stop is None else stop):
            m = regex.search(self.lines[i])
            if m:
                return m, i
        raise FormatError(self.bench, expected, example, self.path)

    def match(self, pattern, expected, example, start=0, stop=None):
        return self.find(pattern, expected, example, start, stop)[0]

    def all(self, pattern):
        regex = re.compile(pattern)
        return [m for m in (regex.search(line) for line in self.lines) if m]


def read_logs(folder):
    logs = {}
    for bench in BENCHMARKS:
        path = os.path.join(folder, bench + ".log")
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                logs[bench] = Log(bench, path, f.read())
        except OSError as e:
            raise FormatError(bench, "its log", f"{bench}.log ({e.strerror})", folder) from None
        for line in logs[bench].lines:
            if "error while loading shared libraries" in line:
                raise StartError(bench, line.strip(), path)
    return logs


def f(m, group):
    return float(m.group(group))


def parse_gcode2x3g(log):
    """Both blocks: the printer's dialect (no tag) and "foreign " lines."""
    out = {}
    for key, tag in (("printer", ""), ("foreign", "foreign ")):
        m = log.match(rf"^{tag}input\s+{NUM} MB, (\d+) lines",
                      f"the {key} block's input line", f"{tag}input     46.4 MB, 1000000 lines (...)")
        block = {"input_mb": f(m, 1), "lines": int(m.group(2))}
        for prog in ("gcode2x3g", "gpx"):
            m = log.match(rf"^{tag}{prog}\s+{NUM} s\s+{NUM} s\s+{NUM} MB",
                          f"the {key} block's {prog} row (best wall, its cpu, peak RSS)",
                          f"{tag}{prog:<10}      0.436 s      0.435 s       123.9 MB      32.0 MB")
            block[prog] = {"best": f(m, 1), "cpu": f(m, 2), "peak_mb": f(m, 3)}
        m = log.match(rf"^{tag}median\s+gpx / ours = {NUM}x\s+\(ours {NUM} s.*gpx {NUM} s.*?(\d+) rounds",
                      f"the {key} block's median line",
                      f"{tag}median    gpx / ours = 2.15x   (ours 0.593 s, cpu 0.559 s; gpx 1.275 s, "
                      "cpu 1.271 s; 3 rounds)")
        block["gcode2x3g"]["median"] = f(m, 2)
        block["gpx"]["median"] = f(m, 3)
        block["rounds"] = int(m.group(4))
        out[key] = block
    return out


def parse_stl_load(log):
    out = {}
    for key, title in (("binary", "binary STL"), ("ascii", "ASCII STL")):
        m, at = log.find(rf"^{title}: (\d+) triangles, file {NUM} MB", f"the {title} header",
                         f"{title}: 1000000 triangles, file 50.0 MB")
        block = {"triangles": int(m.group(1)), "file_mb": f(m, 2)}
        stop = min(at + 4, len(log.lines))
        m = log.match(rf"^\s+loader {NUM} s, admesh -c {NUM} s", f"the {title} times under its header",
                      "  loader 0.066 s, admesh -c 0.122 s, admesh/loader 1.85x (...)", at + 1, stop)
        block["loader"], block["admesh"] = f(m, 1), f(m, 2)
        m = log.match(rf"^\s+loader peak while loading {NUM} MB, mesh {NUM} MB \+ file {NUM} MB = {NUM} MB",
                      f"the {title} peak memory under its header",
                      "  loader peak while loading 97.2 MB, mesh 96.0 MB + file 50.0 MB = 146.0 MB ...",
                      at + 1, stop)
        block["peak_mb"], block["mesh_mb"], block["limit_mb"] = f(m, 1), f(m, 2), f(m, 4)
        # The floor of any load into the mesh, where the benchmark measures one.
        block["floor"] = None
        for line in log.lines[at + 1:min(at + 5, len(log.lines))]:
            fm = re.match(rf"^\s+floor: [^\d]*{NUM} MB of new memory {NUM} s", line)
            if fm:
                block["floor_mb"], block["floor"] = f(fm, 1), f(fm, 2)
        out[key] = block
    return out


def parse_render(log):
    m = log.match(r"medians of (\d+) alternating rounds", "the line naming the rounds",
                  "800 x 600 view; medians of 5 alternating rounds")
    out = {"rounds": int(m.group(1)), "scenes": []}
    example = "one mesh of 1,000,000 triangles"
    headers = [i for i, line in enumerate(log.lines) if re.match(r"^\S.*\btriangles$", line)]
    if len(headers) < 2:
        raise FormatError(log.bench, "two scene headers", example, log.path)
    for n, at in enumerate(headers):
        stop = headers[n + 1] if n + 1 < len(headers) else len(log.lines)
        cached = log.match(rf"^\s+frame from cached arrays\s+{NUM} ms", "a scene's cached frame time",
                           "  frame from cached arrays             25.1 ms", at + 1, stop)
        immediate = log.match(rf"^\s+frame in immediate mode\s+{NUM} ms", "a scene's immediate-mode frame time",
                              "  frame in immediate mode            179.8 ms", at + 1, stop)
        out["scenes"].append({"name": log.lines[at].strip(), "cached": f(cached, 1),
                              "immediate": f(immediate, 1)})
    return out


def parse_startup(log):
    m = log.match(r"(\d+) runs each", "the title with the runs", "Morvadin-X start-up, 5 runs each (...)")
    out = {"runs": int(m.group(1))}
    for key, label, example in (
            ("empty", r"empty window: first rendered frame", "empty window: first rendered frame"),
            ("file_first", r"STL: first rendered frame", "1M-triangle STL: first rendered frame (file loading)"),
            ("file_model", r"STL: first frame with the model", "1M-triangle STL: first frame with the model")):
        m = log.match(rf"{label}{LABEL_REST}{NUM}\s+{NUM}\s+{NUM}", f'the row "{example}" (best, median, ...)',
                      f"{example:<52}        266        270       1000")
        best, median = f(m, 1), f(m, 2)
        if best < 0:
            raise FormatError(log.bench, f'a run that reached "{example}" (it printed -1: none did)',
                              f"{example:<52}        266        270       1000", log.path)
        out[key] = {"best": best, "median": median}
    return out


def parse_serial_stream(log):
    """Either form: one rate per line ("(a) raw pseudo-terminal:  13318 packages/s"), or
    tables of medians and bests of each loop (packages/s raw, shares of the line-rate limit
    at 115,200 baud) with the machine control's rows."""
    m = log.match(r"^canonical print: (\d+) packages \((\d+) G-code lines\)", "the print's size",
                  "canonical print: 2999 packages (3000 G-code lines)")
    out = {"packages": int(m.group(1)), "lines": int(m.group(2)), "raw_median": None, "pty_best": None,
           "paced_packages": int(m.group(1)), "percent_median": None}
    if any(re.match(r"^\(a\)[^:]*:\s+\d", line) for line in log.lines):
        m = log.match(rf"^\(a\)[^:]*:\s+{NUM} packages/s", "the raw pseudo-terminal rate",
                      "(a) raw pseudo-terminal:         13318 packages/s  (0.075 s; ...)")
        out["raw_best"] = f(m, 1)
        m = log.match(rf"^\(b\)[^:]*:\s+{NUM} packages/s", "the 115,200-baud rate",
                      "(b) 115200-baud emulation:         313 packages/s  (3.189 s)")
        out["paced"] = f(m, 1)
        m = log.match(rf"\(b\) / limit:\s+{NUM}\s*%", "the share of the line rate",
                      "    (b) / limit:                  97.1 %  (...)")
        out["percent"] = f(m, 1)
        b_at = 0
    else:
        header, a_at = log.find(r"^\(a\).*\bmedian\b.*\bbest\b", "the raw pseudo-terminal table's header",
                                "(a) raw pseudo-terminal            median      best  packages/s")
        line = log.lines[a_at]
        median_first = line.index("median") < line.index("best")
        m, b_at = log.find(r"^\(b\)[^,]*, (\d+) packages", "the 115,200-baud block's header with its packages",
                           "(b) 115200-baud emulation, 2000 packages (76727 bytes of frames and replies)", a_at + 1)
        out["paced_packages"] = int(m.group(1))
        for key, label, example in (
                ("raw", "machine control", "    machine control, simulator       10745     11183    0.30 x ..."),
                ("pty", "bare loop, echo", "    bare loop, echo (pty limit)      35757     50743"),
                ("sim", "bare loop, simulator", "    bare loop, simulator            107174    118429    0.89 x ...")):
            m = log.match(rf"^\s+{label}{LABEL_REST}{NUM}\s+{NUM}\b", f'the row "{label}" (median, best)', example,
                          a_at + 1, b_at)
            median, best = (f(m, 1), f(m, 2)) if median_first else (f(m, 2), f(m, 1))
            out[key + "_best"] = best
            if key in ("raw", "sim"):
                out[key + "_median"] = median
        header, share_at = log.find(r"^\s+share of the limit.*\bmedian\b.*\bbest\b",
                                    "the 115,200-baud share table's header",
                                    "    share of the limit              median      best", b_at + 1)
        line = log.lines[share_at]
        median_first = line.index("median") < line.index("best")
        m = log.match(rf"^\s+machine control{LABEL_REST}{NUM}\s*%\s+{NUM}\s*%",
                      "the machine control's share of the line-rate limit (median, best)",
                      "    machine control, simulator      91.63 %    95.10 %   0.984 x the bare loop (...)", share_at + 1)
        median, best = (f(m, 1), f(m, 2)) if median_first else (f(m, 2), f(m, 1))
        out["percent"], out["percent_median"] = best, median
        m = log.match(rf"^\s+bare loop, simulator{LABEL_REST}{NUM}\s*%\s+{NUM}\s*%",
                      "the bare loop's share of the line-rate limit (median, best)",
                      "    bare loop, simulator            93.10 %    96.03 %", share_at + 1)
        median, best = (f(m, 1), f(m, 2)) if median_first else (f(m, 2), f(m, 1))
        out["paced_sim_percent"], out["paced_sim_percent_median"] = best, median
    m = log.match(rf"line-rate limit(?: [^\d\s]+)*\s+{NUM} packages/s", "the line-rate limit",
                  "    line-rate limit                  322.7 packages/s", b_at)
    out["limit"] = f(m, 1)
    if "paced" not in out:
        out["paced"] = out["limit"] * out["percent"] / 100
    m = log.match(rf"^idle connected worker:\s+{NUM}\s*% of a core", "the idle worker's CPU share",
                  "idle connected worker:            0.00 % of a core  (...)")
    out["idle_percent"] = f(m, 1)
    return out


def parse_translator(log):
    units = {"": 1.0, "k": 1e3, "M": 1e6, "G": 1e9}
    m = log.match(rf"^BM_Translate_CanonicalMix\s+{NUM} ns\s+{NUM} ns\s+\d+\s+items_per_second={NUM}([kMG]?)/s",
                  "the canonical mix row",
                  "BM_Translate_CanonicalMix          322 ns          320 ns      1908458 items_per_second=3.12725M/s")
    return {"ns_per_line": f(m, 1), "lines_per_s": f(m, 3) * units[m.group(4)]}


def parse_print_estimate(log):
    out = {}
    for key in ("translation", "estimate"):
        m = log.match(rf"^{key}\s+best\s+{NUM} ms\s+median\s+{NUM} ms", f"the {key} times",
                      f"{key:<12} best    682.8 ms  median    690.1 ms")
        out[key] = {"best": f(m, 1), "median": f(m, 2)}
    m = log.match(rf"^print list\s+{NUM} bytes a package \(a package record holds (\d+)\)", "the print list's size",
                  "print list   36.1 bytes a package (a package record holds 72)")
    out["list_bytes"] = f(m, 1)
    out["record_bytes"] = f(m, 2)
    return out


def parse_toolpath(log):
    m = log.match(r"^generated print: (\d+) lines", "the generated print's size",
                  "generated print: 1001212 lines, 353 layers, ...")
    out = {"lines": int(m.group(1))}
    for key, pattern, example in (
            ("reader", rf"^\s+line reader alone\s+{NUM} ms", "  line reader alone                    19.3 ms"),
            ("model", rf"^\s+toolpath model\s+{NUM} ms", "  toolpath model                      172.0 ms   (...)"),
            ("layers_frame", rf"^\s+frame of every layer\s+{NUM} ms",
             "  frame of every layer                                  27.7 ms   (...)"),
            ("mesh_frame", rf"^\s+frame of an? [\d,]+-triangle model\s+{NUM} ms",
             "  frame of a 1,000,000-triangle model                   29.1 ms")):
        out[key] = f(log.match(pattern, f'the line "{example.split("  ")[1].strip()}"', example), 1)
    return out


def parse_edit_step(log):
    rows = log.all(rf"^(\S.*?)\s{{2,}}{NUM}\s+{NUM}\s+{NUM}\s+{NUM}\s*$")
    table = {m.group(1): {"best": f(m, 2), "median": f(m, 3)} for m in rows}
    plain = [name for name in table if name.startswith("plain frame")]
    panel = [name for name in table if name.startswith("panel ")]
    drag = [name for name in table if name.startswith("drag ")]
    example = "plain frame from the caches         20.6      20.6         1.00         1.00"
    if not plain or not panel or not drag:
        raise FormatError(log.bench, "rows of the plain frame, the panel steps and the drag steps "
                          "(best ms, median ms, best ratio, median ratio)", example, log.path)
    return {"plain": table[plain[0]], "panel": {n: table[n] for n in panel}, "drag": {n: table[n] for n in drag}}


def parse_model_memory(log):
    cycles = log.all(rf"^cycle\s+(\d+): loaded\s+{NUM}\s+removed\s+{NUM}")
    if len(cycles) < 2:
        raise FormatError(log.bench, "two or more cycle lines", "cycle  1: loaded    419.4   removed    240.9   (...)",
                          log.path)
    return {"cycles": len(cycles), "first_removed": f(cycles[0], 3), "last_removed": f(cycles[-1], 3),
            "loaded": max(f(m, 2) for m in cycles)}


def parse_slicer_bridge(log):
    rows = log.all(rf"^\s+(\S.*?\(\d+\))\s+(\d+)\s+{NUM}\s+{NUM}\s+{NUM}\s+{NUM}\s+{NUM}\s+{NUM}")
    if len(rows) < 1:
        raise FormatError(log.bench, "the per-model rows (n, engine best and median, bridge best and median, ...)",
                          "  cube 20 mm (12)         7     0.197    0.197      0.141    0.141   0.716  0.716  met",
                          log.path)
    models = [{"name": m.group(1), "rounds": int(m.group(2)), "engine": f(m, 3), "engine_median": f(m, 4),
               "bridge": f(m, 5), "bridge_median": f(m, 6)} for m in rows]
    m = log.match(r"^Rewrite of a generated engine-style G-code: (\d+) lines", "the rewrite's header",
                  "Rewrite of a generated engine-style G-code: 1000000 lines, 40.0 MB")
    lines = int(m.group(1))
    m = log.match(rf"^\s+count \+ write.*?\s{NUM}\s+(\d+)\b", "the count + write row (best s, lines/s)",
                  "  count + write (as the bridge runs)     0.0006        3723427  met")
    return {"models": models, "rewrite_lines": lines, "rewrite_rate": float(m.group(2))}


PARSERS = {
    "bench_gcode2x3g": parse_gcode2x3g,
    "bench_stl_load": parse_stl_load,
    "bench_render": parse_render,
    "bench_startup": parse_startup,
    "bench_serial_stream": parse_serial_stream,
    "bench_translator": parse_translator,
    "bench_print_estimate": parse_print_estimate,
    "bench_toolpath": parse_toolpath,
    "bench_edit_step": parse_edit_step,
    "bench_model_memory": parse_model_memory,
    "bench_slicer_bridge": parse_slicer_bridge,
}


def parse_all(folder):
    logs = read_logs(folder)
    return {bench: PARSERS[bench](logs[bench]) for bench in BENCHMARKS}


def read_machine(folder):
    path = os.path.join(folder, "machine.txt")
    try:
        with open(path, encoding="utf-8") as fh:
            pairs = [line.rstrip("\n").split("=", 1) for line in fh if "=" in line]
    except OSError as e:
        raise FormatError("machine", "the machine's description", "cpu=...", f"{path} ({e.strerror})") from None
    return {k.strip(): v.strip() for k, v in pairs}


# ---------------------------------------------------------------------------
# The table

def num(x, digits=0):
    return f"{x:,.{digits}f}"


def secs(x):
    return f"{x:.3f} s"


def ms(x):
    return f"{x:,.1f} ms"


def times(x):
    return f"{x:.3f}×" if x < 0.1 else f"{x:.2f}×"


def verdict(met):
    return "met" if met else "**missed**"


def goal_rows(r):
    """Rows: (measure, ours, peer or limit, its figure, ratio, goal, met)."""
    rows = []
    g = r["bench_gcode2x3g"]
    for key, label, flags in (("printer", "printer's dialect", "gpx -m r1"),
                              ("foreign", "RepRap/Marlin G-code", "gpx -r -m r1")):
        b = g[key]
        ours, theirs = b["gcode2x3g"], b["gpx"]
        ratio = theirs["best"] / ours["best"]
        median_ratio = theirs["median"] / ours["median"]
        rows.append((f"G-code → X3G, {label} ({num(b['lines'])} lines, {b['input_mb']:.1f} MB; "
                     f"best of {b['rounds']})",
                     f"{secs(ours['best'])} (median {secs(ours['median'])})", flags,
                     f"{secs(theirs['best'])} (median {secs(theirs['median'])})",
                     f"{times(ratio)} (median {times(median_ratio)})",
                     f"≥ {GOAL_GCODE_SPEED:g}× gpx", ratio >= GOAL_GCODE_SPEED))
    for key, label in (("printer", "printer's dialect"), ("foreign", "RepRap/Marlin G-code")):
        b = g[key]
        peak = b["gcode2x3g"]["peak_mb"]
        rows.append((f"G-code → X3G peak memory, {label}", f"{peak:.1f} MB",
                     "input file (gpx's peak)", f"{b['input_mb']:.1f} MB ({b['gpx']['peak_mb']:.1f} MB)",
                     f"{times(peak / b['input_mb'])} the input", f"≤ {GOAL_GCODE_PEAK_MB:g} MB",
                     peak <= GOAL_GCODE_PEAK_MB))
    s = r["bench_stl_load"]
    for key, label, goal in (("binary", "binary STL", GOAL_STL_BINARY_SPEED),
                             ("ascii", "ASCII STL", GOAL_STL_ASCII_SPEED)):
        b = s[key]
        ratio = b["admesh"] / b["loader"]
        rows.append((f"Loading the {label} ({num(b['triangles'])} triangles, {b['file_mb']:.1f} MB)",
                     secs(b["loader"]), "admesh -c", secs(b["admesh"]), times(ratio),
                     f"≥ {goal:g}× admesh", ratio >= goal))
    for key, label in (("binary", "binary STL"), ("ascii", "ASCII STL")):
        b = s[key]
        rows.append((f"Peak memory while loading the {label}", f"{b['peak_mb']:.1f} MB",
                     "input file (mesh + file)", f"{b['file_mb']:.1f} MB ({b['limit_mb']:.1f} MB)",
                     f"{times(b['peak_mb'] / b['file_mb'])} the input",
                     "≤ mesh + file", b["peak_mb"] <= b["limit_mb"]))
    render = r["bench_render"]
    for scene in render["scenes"]:
        ratio = scene["immediate"] / scene["cached"]
        rows.append((f"Frame from the cached arrays, {scene['name']} (median of {render['rounds']})",
                     ms(scene["cached"]),
                     "immediate mode", ms(scene["immediate"]), times(ratio),
                     f"≥ {GOAL_RENDER_SPEED:g}× immediate", ratio >= GOAL_RENDER_SPEED))
    # The goal is the first frame that shows the model (the window's first
    # frame, drawn while the file still loads, is listed among the others).
    st = r["bench_startup"]["file_model"]
    rows.append((f"Start → first frame showing a 1,000,000-triangle STL given on the command line "
                 f"({r['bench_startup']['runs']} run{'' if r['bench_startup']['runs'] == 1 else 's'})",
                 f"{st['best']:,.0f} ms best (median {st['median']:,.0f} ms)", "limit",
                 f"{GOAL_STARTUP_MS:,.0f} ms", f"{times(st['best'] / GOAL_STARTUP_MS)} the limit",
                 f"≤ {GOAL_STARTUP_MS:,.0f} ms best", st["best"] <= GOAL_STARTUP_MS))
    ser = r["bench_serial_stream"]
    paced_median = "" if ser["percent_median"] is None else f" (median {ser['percent_median']:.1f} %)"
    rows.append((f"Streaming at 115,200 baud ({num(ser['paced_packages'])} packages)",
                 f"{num(ser['paced'])} packages/s{' best' if paced_median else ''}", "line-rate limit",
                 f"{num(ser['limit'])} packages/s", f"{ser['percent']:.1f} %{paced_median}",
                 f"≥ {GOAL_LINE_RATE_PERCENT:g} % of line rate", ser["percent"] >= GOAL_LINE_RATE_PERCENT))
    raw = ser["raw_best"]
    median = "" if ser["raw_median"] is None else f" (median {num(ser['raw_median'])})"
    rows.append(("Streaming over a raw pseudo-terminal", f"{num(raw)} packages/s best{median}", "goal",
                 f"{num(GOAL_RAW_PACKAGES)} packages/s", times(raw / GOAL_RAW_PACKAGES),
                 f"≥ {num(GOAL_RAW_PACKAGES)} packages/s", raw >= GOAL_RAW_PACKAGES))
    return rows


def other_rows(r):
    """Rows without a goal here: (measure, ours, against, its figure, ratio)."""
    rows = []
    b = r["bench_stl_load"]["binary"]
    if b["floor"] is not None:
        rows.append((f"Floor of any binary STL load: a process that only writes the mesh's {b['floor_mb']:.1f} MB "
                     "of new memory", secs(b["floor"]), "admesh -c", secs(b["admesh"]),
                     times(b["admesh"] / b["floor"])))
    st = r["bench_startup"]
    rows.append(("Start → first frame, empty window", f"{st['empty']['best']:,.0f} ms best", "—", "—", "—"))
    rows.append(("Start → first frame while the 1,000,000-triangle STL still loads",
                 f"{st['file_first']['best']:,.0f} ms best (median {st['file_first']['median']:,.0f} ms)",
                 "—", "—", "—"))
    t = r["bench_translator"]
    rows.append(("Translator, canonical line mix", f"{t['ns_per_line']:.0f} ns a line",
                 "—", f"{t['lines_per_s'] / 1e6:.2f} M lines/s", "—"))
    e = r["bench_print_estimate"]
    rows.append(("Print time estimate of the translated print (median)", ms(e["estimate"]["median"]),
                 "its translation", ms(e["translation"]["median"]),
                 times(e["estimate"]["median"] / e["translation"]["median"])))
    rows.append(("Print list of the translated print, memory a package", f"{e['list_bytes']:.1f} bytes",
                 "a package record", f"{e['record_bytes']:.0f} bytes", times(e["list_bytes"] / e["record_bytes"])))
    tp = r["bench_toolpath"]
    rows.append((f"Toolpath model of a {num(tp['lines'])}-line print", ms(tp["model"]),
                 "line reader alone", ms(tp["reader"]), times(tp["model"] / tp["reader"])))
    rows.append(("Toolpath frame, every layer (median)", ms(tp["layers_frame"]),
                 "frame of a 1,000,000-triangle model", ms(tp["mesh_frame"]),
                 times(tp["layers_frame"] / tp["mesh_frame"])))
    es = r["bench_edit_step"]
    plain = es["plain"]["median"]
    for label, steps in (("edit panel", es["panel"]), ("mouse drag", es["drag"])):
        name, worst = max(steps.items(), key=lambda kv: kv[1]["median"])
        rows.append((f"Slowest {label} step + frame, 1,000,000 triangles ({name.split(' step')[0]}, median)",
                     ms(worst["median"]), "plain frame", ms(plain), times(worst["median"] / plain)))
    mm = r["bench_model_memory"]
    rows.append((f"Resident memory after the {mm['cycles']}th removal of a 1,000,000-triangle model",
                 f"{mm['last_removed']:.1f} MB", "after the first", f"{mm['first_removed']:.1f} MB",
                 times(mm["last_removed"] / mm["first_removed"])))
    sb = r["bench_slicer_bridge"]
    for model in sb["models"]:
        name = re.sub(r"\s*\((\d+)\)$", lambda m: f", {int(m.group(1)):,} facets", model["name"])
        rows.append((f"Slicer bridge, {name} (best of {model['rounds']})", secs(model["bridge"]),
                     "slicing engine alone", secs(model["engine"]), times(model["bridge"] / model["engine"])))
    rows.append((f"Slicer bridge's G-code rewrite ({num(sb['rewrite_lines'])} lines)",
                 f"{sb['rewrite_rate'] / 1e6:.2f} M lines/s", "—", "—", "—"))
    ser = r["bench_serial_stream"]
    if ser["pty_best"] is not None:
        rows.append(("Raw pseudo-terminal's own limit (a bare echo loop, best)", f"{num(ser['pty_best'])} packages/s",
                     "—", "—", "—"))
    if ser.get("sim_best") is not None:
        rows.append(("Raw pseudo-terminal, a bare loop against the simulator (the simulator's own limit)",
                     f"{num(ser['sim_best'])} packages/s best (median {num(ser['sim_median'])})", "the link",
                     f"{num(ser['raw_best'])} packages/s best (median {num(ser['raw_median'])})",
                     times(ser["raw_median"] / ser["sim_median"]) + " (medians)"))
    if ser.get("paced_sim_percent") is not None:
        rows.append(("At 115,200 baud, a bare loop against the simulator (share of the line rate)",
                     f"{ser['paced_sim_percent']:.1f} % best (median {ser['paced_sim_percent_median']:.1f} %)",
                     "the link", f"{ser['percent']:.1f} % best (median {ser['percent_median']:.1f} %)",
                     times(ser["percent_median"] / ser["paced_sim_percent_median"]) + " (medians)"))
    rows.append(("Idle connected printer link", f"{ser['idle_percent']:.2f} % of a core", "—", "—", "—"))
    return rows


def markdown_table(header, rows):
    out = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for row in rows:
        out.append("| " + " | ".join(cell.replace("|", "\\|") for cell in row) + " |")
    return out


def render_section(results, machine, command):
    goal = [row[:6] + (verdict(row[6]),) for row in goal_rows(results)]
    lines = ["<!-- Written by scripts/bench.sh; rerunning it rewrites everything up to the end marker. -->", ""]
    lines += markdown_table(["Measure", "Ours", "Peer or limit", "Its figure", "Ratio", "Goal", "Result"], goal)
    lines += ["", "Other measures (figures only; each benchmark prints its own targets):", ""]
    lines += markdown_table(["Measure", "Ours", "Against", "Its figure", "Ratio"], other_rows(results))
    g = results["bench_gcode2x3g"]["printer"]
    spread = (g["gpx"]["best"] / g["gcode2x3g"]["best"]) / (g["gpx"]["median"] / g["gcode2x3g"]["median"])
    memory_gb = float(machine.get("memory_kib", "0")) / 1024 / 1024
    lines += [
        "",
        f"Machine: {machine.get('cpu', 'unknown processor')}, {machine.get('cores', '?')} cores, "
        f"{memory_gb:.1f} GiB memory; OpenGL renderer {machine.get('renderer', 'unknown')}"
        f"{' under Xvfb' if machine.get('display') == 'xvfb' else ''}. "
        f"Run {machine.get('date', '?')}; load average {machine.get('load', '?')} at the start, "
        f"{machine.get('load_end', '?')} at the end.",
        f"Rerun: `{command}` (the raw logs go to `build/bench/latest/`).",
        f"Noise: figures are the best and median of alternating rounds (ours and the peer's in turn) on a "
        f"shared machine; here the G-code → X3G best ratio is {spread:.2f}× its median ratio.",
        "",
    ]
    return "\n".join(lines)


def replace_section(readme_bytes, section):
    """readme_bytes with the text between the markers replaced; every other byte kept."""
    begins, ends = readme_bytes.count(BEGIN_MARKER), readme_bytes.count(END_MARKER)
    if begins != 1 or ends != 1:
        raise MarkerError(f"README must hold {BEGIN_MARKER.decode()} and {END_MARKER.decode()} once each "
                          f"(found {begins} and {ends})")
    start = readme_bytes.index(BEGIN_MARKER) + len(BEGIN_MARKER)
    end = readme_bytes.index(END_MARKER)
    if end < start:
        raise MarkerError(f"{END_MARKER.decode()} comes before {BEGIN_MARKER.decode()} in the README")
    newline = b"\r\n" if readme_bytes[start:start + 2] == b"\r\n" else b"\n"
    body = section.encode("utf-8").replace(b"\n", newline)
    return readme_bytes[:start] + newline + body + readme_bytes[end:]


def write_readme(path, section):
    with open(path, "rb") as fh:
        old = fh.read()
    new = replace_section(old, section)
    if new == old:
        return
    folder = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(prefix=".README.", dir=folder)
    try:
        with os.fdopen(fd, "wb") as fh:
            fh.write(new)
        shutil.copymode(path, temp)
        os.replace(temp, path)
    except BaseException:
        os.unlink(temp)
        raise


# ---------------------------------------------------------------------------
# The machine

def gl_renderer():
    """The OpenGL renderer of the current display, or "unknown"."""
    if shutil.which("glxinfo"):
        try:
            out = subprocess.run(["glxinfo", "-B"], capture_output=True, text=True, timeout=30).stdout
            m = re.search(r"OpenGL renderer string:\s*(.+)", out)
            if m:
                return m.group(1).strip()
        except (OSError, subprocess.SubprocessError):
            pass
    try:
        return glx_renderer_direct()
    except (OSError, RuntimeError) as e:
        return f"unknown ({e})"


def glx_renderer_direct():
    """Asks the display itself: a GLX context on a small pixmap, then glGetString."""
    import ctypes

    x11, gl = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libGL.so.1")

    class XVisualInfo(ctypes.Structure):
        _fields_ = [("visual", ctypes.c_void_p), ("visualid", ctypes.c_ulong), ("screen", ctypes.c_int),
                    ("depth", ctypes.c_int), ("c_class", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                    ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong),
                    ("colormap_size", ctypes.c_int), ("bits_per_rgb", ctypes.c_int)]

    x11.XOpenDisplay.restype, x11.XOpenDisplay.argtypes = ctypes.c_void_p, [ctypes.c_char_p]
    x11.XDefaultScreen.argtypes = [ctypes.c_void_p]
    x11.XRootWindow.restype, x11.XRootWindow.argtypes = ctypes.c_ulong, [ctypes.c_void_p, ctypes.c_int]
    x11.XCreatePixmap.restype = ctypes.c_ulong
    x11.XCreatePixmap.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    gl.glXChooseVisual.restype = ctypes.POINTER(XVisualInfo)
    gl.glXChooseVisual.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
    gl.glXCreateContext.restype = ctypes.c_void_p
    gl.glXCreateContext.argtypes = [ctypes.c_void_p, ctypes.POINTER(XVisualInfo), ctypes.c_void_p, ctypes.c_int]
    gl.glXCreateGLXPixmap.restype = ctypes.c_ulong
    gl.glXCreateGLXPixmap.argtypes = [ctypes.c_void_p, ctypes.POINTER(XVisualInfo), ctypes.c_ulong]
    gl.glXMakeCurrent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
    gl.glGetString.restype, gl.glGetString.argtypes = ctypes.c_char_p, [ctypes.c_uint]

    display = x11.XOpenDisplay(None)
    if not display:
        raise RuntimeError("no display")
    screen = x11.XDefaultScreen(display)
    glx_rgba, glx_none = 4, 0
    visual = gl.glXChooseVisual(display, screen, (ctypes.c_int * 2)(glx_rgba, glx_none))
    if not visual:
        raise RuntimeError("no GLX visual")
    context = gl.glXCreateContext(display, visual, None, 1)
    pixmap = x11.XCreatePixmap(display, x11.XRootWindow(display, screen), 4, 4, visual.contents.depth)
    drawable = gl.glXCreateGLXPixmap(display, visual, pixmap)
    if not context or not gl.glXMakeCurrent(display, drawable, context):
        raise RuntimeError("no GLX context")
    gl_renderer_string = 0x1F01
    name = gl.glGetString(gl_renderer_string)
    return name.decode("utf-8", "replace") if name else "unknown"


def machine_lines():
    cpu = "unknown processor"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as fh:
            for line in fh:
                if line.startswith("model name"):
                    cpu = re.sub(r"\s+", " ", line.split(":", 1)[1]).strip()
                    break
    except OSError:
        pass
    memory_kib = 0
    try:
        with open("/proc/meminfo", encoding="utf-8") as fh:
            m = re.search(r"MemTotal:\s+(\d+) kB", fh.read())
            memory_kib = int(m.group(1)) if m else 0
    except OSError:
        pass
    try:
        with open("/proc/loadavg", encoding="utf-8") as fh:
            load = " ".join(fh.read().split()[:3])
    except OSError:
        load = "?"
    now = datetime.datetime.now(datetime.timezone.utc)
    return [f"cpu={cpu}", f"cores={os.cpu_count()}", f"memory_kib={memory_kib}",
            f"renderer={gl_renderer()}", f"load={load}", f"date={now:%Y-%m-%d %H:%M} UTC"]


# ---------------------------------------------------------------------------

def main(argv):
    parser = argparse.ArgumentParser(description="The README's performance table from the benchmarks' logs.")
    sub = parser.add_subparsers(dest="what", required=True)
    sub.add_parser("machine", help="print the machine's description (key=value lines)")
    table = sub.add_parser("table", help="make the table from a folder of logs")
    table.add_argument("--logs", required=True, help="the folder of <benchmark>.log files and machine.txt")
    table.add_argument("--readme", help="replace the text between the performance markers of this file")
    table.add_argument("--command", default="scripts/bench.sh", help="the command to rerun, as the table shows it")
    args = parser.parse_args(argv)

    if args.what == "machine":
        print("\n".join(machine_lines()))
        return 0
    try:
        results = parse_all(args.logs)
        section = render_section(results, read_machine(args.logs), args.command)
        if args.readme:
            write_readme(args.readme, section)
    except FormatError as e:
        print(f"bench_table: {e}", file=sys.stderr)
        return 1
    except ZeroDivisionError:
        print(f"bench_table: a figure in {args.logs} is zero where the table divides by it "
              "(inputs too small to time?); nothing was written", file=sys.stderr)
        return 1
    except (MarkerError, OSError) as e:
        print(f"bench_table: {args.readme}: {e}", file=sys.stderr)
        return 1
    sys.stdout.write(section)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
