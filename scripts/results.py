#!/usr/bin/env python3
"""The data work of the Linux side, called by its bash commands: the run command's CSV (one line per
run), its table and chart and the exit code it calls for, the demonstration's result line, and the
benchmark's table in docs/benchmarks.md and its whole-run statistics. Standard library only.

usage: python3 scripts/results.py SUBCOMMAND ...   (--help lists them)
Names are carried byte for byte: arguments and files are read as UTF-8, any other byte kept as it is.
"""
import argparse
import csv
import io
import re
import statistics
import sys
import unicodedata

CSV_HEADER = ["time", "directory", "device", "filesystem", "mount options", "run", "verdict", "score"]
TABLE_HEADER = ["directory", "device", "filesystem", "runs", "verdict", "median", "best", "worst", "spread",
                "mount options"]
FIGURES = range(5, 9)   # the table's right-aligned columns: median, best, worst, spread
TABLE_FOOTER = ("scores in ms per pass, lower is better; spread = (worst - best) / median\n"
                "each run wrote only in a new directory of its own inside the directory named"
                " (the same device, filesystem and mount)\n")
SECTION_BEGIN = "<!-- scores by filesystem:"
SECTION_END = "<!-- end of scores by filesystem -->"


def open_text(path, mode="r"):
    return open(path, mode, encoding="utf-8", errors="surrogateescape", newline="")


def csv_line(fields):
    """One CSV line: a field holding a comma, a double quote, CR or LF is quoted, its double quotes doubled.
    The writer quotes a CR only when the line ends in one (Python 3.11), so it ends lines in CR LF here."""
    out = io.StringIO()
    csv.writer(out, lineterminator="\r\n").writerow(fields)
    return out.getvalue()[:-2] + "\n"


def grouped(score):
    """A score in whole ms, half rounded up, thousands separated: 1234.5 as "1,235"; None as "-"."""
    return "-" if score is None else f"{int(score + 0.5):,}"


def number(value):
    return str(int(value)) if value == int(value) else str(value)


def width(text):
    """The columns TEXT takes on a terminal: two for an East Asian wide or fullwidth character, none for a
    combining mark or a format character, one for any other."""
    total = 0
    for char in text:
        if unicodedata.category(char) in ("Mn", "Me", "Cf"):
            continue
        total += 2 if unicodedata.east_asian_width(char) in ("W", "F") else 1
    return total


def summary(path, runs):
    """One record per directory in the order of its first run, from the CSV: its first run's device,
    filesystem and mount options, the runs made, the verdict (green: every one of RUNS green; FAILED: a
    run ended red; NO SCORE: a run could not be made), and for a green one the median, best (lowest) and
    worst score and the spread in per cent, (worst - best) / median, None for a single run."""
    rows = {}
    with open_text(path) as file:
        for line in list(csv.reader(file))[1:]:
            if not line:
                continue
            line += [""] * (len(CSV_HEADER) - len(line))
            row = rows.setdefault(line[1], {"directory": line[1], "about": line[2:5], "made": 0, "scores": [],
                                            "red": False, "unscored": False})
            row["made"] += 1
            if line[6] == "red":
                row["red"] = True
            elif line[6] == "green" and re.fullmatch(r"[0-9]{1,9}", line[7]):
                row["scores"].append(int(line[7]))
            else:
                row["unscored"] = True
    for row in rows.values():
        row["median"] = row["best"] = row["worst"] = row["spread"] = None
        if row["red"]:
            row["verdict"] = "FAILED"
        elif row["unscored"] or row["made"] < runs:
            row["verdict"] = "NO SCORE"
        else:
            row["verdict"] = "green"
            scores = row["scores"]
            row["median"], row["best"], row["worst"] = statistics.median(scores), min(scores), max(scores)
            if len(scores) > 1:
                row["spread"] = f"{(row['worst'] - row['best']) / row['median'] * 100:.1f}"
    return list(rows.values())


def table(rows, runs):
    """The table for the terminal: columns aligned as a terminal shows them, the figures right-aligned,
    the last column unpadded."""
    cells = [TABLE_HEADER]
    for row in rows:
        device, filesystem, options = row["about"]
        cells.append([row["directory"], device, filesystem, f"{row['made']} of {runs}", row["verdict"],
                      grouped(row["median"]), grouped(row["best"]), grouped(row["worst"]),
                      "-" if row["spread"] is None else row["spread"] + " %", options])
    widest = [max(width(line[c]) for line in cells) for c in range(len(TABLE_HEADER))]
    text = ""
    for line in cells:
        padded = []
        for c, cell in enumerate(line[:-1]):
            padding = " " * (widest[c] - width(cell))
            padded.append(padding + cell if c in FIGURES else cell + padding)
        text += "  ".join(padded + line[-1:]) + "\n"
    return text + TABLE_FOOTER


def exit_code(rows):
    """1 when a run ended red (a drive gave back different data), else 2 when a run could not be made, else 0."""
    verdicts = {row["verdict"] for row in rows}
    return 1 if "FAILED" in verdicts else 2 if "NO SCORE" in verdicts else 0


def chart(rows, runs, picture, subtitle):
    """The gnuplot script of the chart (PNG): the median score per directory as a bar, best to worst as an
    error bar; a directory without a score shows its verdict instead of a bar."""
    data = ""
    for row in rows:
        if row["verdict"] == "green":
            figures = [number(row["median"]), str(row["best"]), str(row["worst"]), grouped(row["median"]),
                       str(row["worst"])]
        else:
            figures = ["NaN", "NaN", "NaN", row["verdict"], "0"]
        data += "\t".join([row["directory"], row["about"][1]] + figures) + "\n"
    bars = len(rows)
    picture = picture.replace("'", "''")
    title = f"Ferrulon's score per directory: median of {runs} run(s), bar from best to worst (lower is better)"
    return f"""$bars << EOD
{data}EOD
set terminal pngcairo noenhanced size {220 * bars + 200 if bars > 3 else 860},480 font "DejaVu Sans,10"
set output '{picture}'
set title "{title}\\n{subtitle}"
set datafile separator "\\t"
set style fill solid 0.85 border rgb "#2f4f6f"
set boxwidth 0.6
set ylabel "ms per pass (mean of 50 passes)"
set xrange [-0.6:{bars} - 0.4]
set yrange [0:*]
set offsets 0, 0, graph 0.12, 0
set grid ytics lc rgb "#dddddd"
set xtics nomirror scale 0
set ytics nomirror
set border 3
set bmargin 4
set errorbars 4
unset key
plot $bars using 0:3 with boxes lc rgb "#4f81bd", \\
     $bars using 0:3:4:5 with yerrorbars lc rgb "#1f1f1f" lw 2 pt 7 ps 0.5, \\
     $bars using 0:7:6:xtic(stringcolumn(1)."\\n".stringcolumn(2)) with labels offset 0, 0.9
"""


def demo_result(log, code):
    """The demonstration's verdict and score from its output and exit code: it ends with one line, "result:
    green SCORE", "result: red" or "result: none". "green SCORE", "red" or "none"; a last result line
    that the exit code does not bear out, or none, reads as none."""
    with open(log, "rb") as file:
        lines = [line for line in file.read().split(b"\n") if line.startswith(b"result: ")]
    last = lines[-1].removesuffix(b"\r") if lines else b""
    found = re.fullmatch(rb"result: green ([0-9]{1,9})", last)
    if code == "0" and found:
        return "green " + found.group(1).decode()
    return "red" if code == "1" and last == b"result: red" else "none"


def benchmark_section(path, measured, machine, cores):
    """The marked section of docs/benchmarks.md from the benchmark's drives (a CSV without a header:
    letter, filesystem, how it is mounted, outcome (green, red, none or unmounted), score in ms, seconds
    the run took, the load average over its last minute), each score also against tmpfs's (m:)."""
    with open_text(path) as file:
        drives = list(csv.reader(file))
    tmpfs = next((int(score) for letter, _, _, outcome, score, *_ in drives if letter == "m" and outcome == "green"),
                 None)
    text = (f"{SECTION_BEGIN} written by scripts/bench.sh, which replaces everything up to the end mark -->\n"
            f"Measured {measured} by `bash scripts/bench.sh scores` ({machine}; the FUSE images lie on tmpfs;\n"
            f"load: the machine's load average over the run's last minute, {cores} meaning every core busy):\n\n"
            "| drive | filesystem | mounted as | score (ms per pass) | × tmpfs | whole run | load |\n"
            "|---|---|---|---|---|---|---|\n")
    for letter, label, how, outcome, score, seconds, load in drives:
        if outcome == "green":
            ratio = f"{int(score) / tmpfs:.2f}" if tmpfs else ""
            text += f"| {letter}: | {label} | {how} | {grouped(int(score))} | {ratio} | {seconds} s | {load} |\n"
        else:
            said = "not mounted on this machine" if outcome == "unmounted" else f"no score: {outcome}"
            text += f"| {letter}: | {label} | {how} | {said} | | | |\n"
    return text + "\n![Scores by filesystem, one bar per drive](scores-by-filesystem.png)\n" + SECTION_END + "\n"


def splice(document, section):
    """DOCUMENT with its marked section replaced by SECTION, or SECTION added under a heading of its own
    when it has none. A section begun and never ended is refused: everything after it would go."""
    lines = document.splitlines(keepends=True)
    begin = next((i for i, line in enumerate(lines) if line.startswith(SECTION_BEGIN)), None)
    if begin is None:
        return document + "\n## Scores by filesystem\n\n" + section
    end = next((i for i in range(begin + 1, len(lines)) if lines[i].startswith(SECTION_END)), None)
    if end is None:
        raise ValueError(f"its section begins ({SECTION_BEGIN}) and has no end mark ({SECTION_END})")
    return "".join(lines[:begin]) + section + "".join(lines[end + 1:])


def whole_run(path, cores):
    """The whole-run check's statistics from its lines ("bare SCORE MEAN_US LOAD", "program SCORE - LOAD"):
    each program score against the mean of the bare scores before and after it, and the median of those."""
    bare, program, loads = [], [], []
    with open_text(path) as file:
        for kind, score, _, load in (line.split() for line in file if line.strip()):
            (bare if kind == "bare" else program).append(int(score))
            loads.append(load)
    text, ratios = "", []
    for i, score in enumerate(program):
        ratios.append(score / ((bare[i] + bare[i + 1]) / 2))
        text += f"round {i + 1}: score {score} ms per pass, bare {bare[i]} and {bare[i + 1]}: ratio {ratios[-1]:.4f}\n"
    # Other work on the machine only adds time: the quickest runs come closest to a quiet machine.
    text += (f"whole-run ratio, program / bare: median {statistics.median(ratios):.4f} of {len(program)} rounds;"
             f" quickest runs {min(program)} / {min(bare)} ms: {min(program) / min(bare):.4f}\n")
    low, high = min(loads, key=float), max(loads, key=float)
    return text + f"load average (1 min) over the runs: {low} to {high} on {cores} cores\n"


def main(argv):
    parser = argparse.ArgumentParser(prog="results.py", description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("header", help="the CSV's first line")
    commands.add_parser("csv-line", help="one CSV line of the fields given").add_argument("fields", nargs="*")
    for name, what in (("table", "the table for the terminal"), ("exit-code", "the exit code the runs call for"),
                       ("chart", "the chart's gnuplot script (for gnuplot on its input)")):
        command = commands.add_parser(name, help=what)
        command.add_argument("csv")
        command.add_argument("runs", type=int)
        if name == "chart":
            command.add_argument("picture")
            command.add_argument("subtitle")
    command = commands.add_parser("result", help="the demonstration's verdict and score from its output")
    command.add_argument("log")
    command.add_argument("code", help="its exit code")
    command = commands.add_parser("benchmarks", help="docs/benchmarks.md's scores by filesystem, replaced in place")
    for name in ("drives", "document", "measured", "machine", "cores"):
        command.add_argument(name)
    command = commands.add_parser("whole", help="the whole-run check's statistics")
    command.add_argument("lines")
    command.add_argument("cores")
    sys.stdout.reconfigure(errors="surrogateescape")
    if argv[:1] == ["csv-line"]:   # the fields as they are, a name like an option ("-x", "--") too
        sys.stdout.write(csv_line(argv[1:]))
        return 0
    args = parser.parse_args(argv)
    if args.command == "header":
        sys.stdout.write(csv_line(CSV_HEADER))
    elif args.command == "table":
        sys.stdout.write(table(summary(args.csv, args.runs), args.runs))
    elif args.command == "exit-code":
        print(exit_code(summary(args.csv, args.runs)))
    elif args.command == "chart":
        sys.stdout.write(chart(summary(args.csv, args.runs), args.runs, args.picture, args.subtitle))
    elif args.command == "result":
        print(demo_result(args.log, args.code))
    elif args.command == "benchmarks":
        with open_text(args.document) as file:
            document = file.read()
        try:
            document = splice(document, benchmark_section(args.drives, args.measured, args.machine, args.cores))
        except ValueError as why:
            print(f"{args.document}: {why}", file=sys.stderr)
            return 2
        with open_text(args.document, "w") as file:
            file.write(document)
    elif args.command == "whole":
        sys.stdout.write(whole_run(args.lines, args.cores))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
