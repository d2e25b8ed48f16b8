#!/usr/bin/python3
"""Text recognition benchmark: `kestrova-capture screenshot` against the usual
pipeline `import -window root png:- | tesseract stdin stdout` (with OpenMP's
default threads and with one), side by side on the same screens of a corpus
shown on a private Xvfb display. Prints tables and writes them as markdown.

Usage: bench/bench.py [--build-dir build] [--runs 3] [--output bench/results.md] [--no-study]
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import json
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus import Corpus, WIDTH, HEIGHT  # noqa: E402
from metrics import character_error_rate, word_recall  # noqa: E402

PIPELINE = "import -window root png:- | tesseract stdin stdout"


class Run:
    def __init__(self, wall, cpu, peaks, text):
        self.wall = wall      # seconds
        self.cpu = cpu        # user + system seconds of every process
        self.peaks = peaks    # {process name: peak resident KB}
        self.text = text


def reap(process):
    """Waits for one child and returns its resource use."""
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    return usage


def run_ours(tool, env):
    started = time.perf_counter()
    p = subprocess.Popen([tool, "screenshot"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = p.stdout.read(), p.stderr.read()
    usage = reap(p)
    wall = time.perf_counter() - started
    if p.returncode != 0 or err:
        raise RuntimeError(f"screenshot failed ({p.returncode}): {err.decode(errors='replace')}")
    text = json.loads(out)["text"]
    return Run(wall, usage.ru_utime + usage.ru_stime, {"kestrova-capture": usage.ru_maxrss}, text)


def run_pipeline(env):
    started = time.perf_counter()
    grab = subprocess.Popen(["import", "-window", "root", "png:-"], env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    ocr = subprocess.Popen(["tesseract", "stdin", "stdout"], env=env, stdin=grab.stdout, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
    grab.stdout.close()
    out = ocr.stdout.read()
    grab_usage, ocr_usage = reap(grab), reap(ocr)
    wall = time.perf_counter() - started
    if grab.returncode != 0 or ocr.returncode != 0:
        raise RuntimeError("the pipeline failed")
    cpu = sum(u.ru_utime + u.ru_stime for u in (grab_usage, ocr_usage))
    return Run(wall, cpu, {"import": grab_usage.ru_maxrss, "tesseract": ocr_usage.ru_maxrss},
               out.decode(errors="replace"))


class Xvfb:
    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        self.process.wait()


def median(values):
    return statistics.median(values)


def stop(processes):
    for p in processes:
        p.terminate()
    for p in processes:
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def measure(screen, tool, env, runs):
    """Interleaves the three contenders run by run so load from elsewhere hits all alike."""
    single = dict(env, OMP_THREAD_LIMIT="1")
    contenders = {
        "ours": lambda: run_ours(tool, env),
        "pipeline, OMP_THREAD_LIMIT=1": lambda: run_pipeline(single),
        "pipeline, default threads": lambda: run_pipeline(env),
    }
    for run in contenders.values():  # warm the page cache and the model files
        run()
    results = {name: [] for name in contenders}
    for _ in range(runs):
        for name, run in contenders.items():
            results[name].append(run())
    summary = {}
    for name, measured in results.items():
        text = measured[-1].text
        summary[name] = {
            "wall": median([r.wall for r in measured]),
            "cpu": median([r.cpu for r in measured]),
            "walls": [r.wall for r in measured],
            "cpus": [r.cpu for r in measured],
            "peaks": {k: max(r.peaks[k] for r in measured) for k in measured[0].peaks},
            "cer": character_error_rate(screen.truth, text),
            "recall": word_recall(screen.truth, text),
        }
    return summary


def paired_ratio(ours, theirs, key):
    return median([a / b for a, b in zip(ours[key + "s"], theirs[key + "s"])])


STUDY = [
    ("whole screen, no preprocessing", ["--whole-image", "--scale", "1", "--psm", "3"]),
    ("regions, 1x, automatic segmentation", ["--scale", "1", "--psm", "3"]),
    ("regions, 1x, single column", ["--scale", "1"]),
    ("regions, 2x everywhere, single column", ["--scale", "2"]),
    ("regions, 2x within budget, uniform block", ["--psm", "6"]),
    ("regions, 2x within budget, sparse text", ["--psm", "11"]),
    ("chosen: regions, 2x within budget, single column, 2 engines", []),
    ("chosen, one engine", ["--threads", "1"]),
    ("chosen, one engine, OpenMP default threads", ["--threads", "1", "--openmp-threads"]),
]


def study(probe, captures):
    """Accuracy and cost of each preprocessing choice, on the captured screens."""
    rows = []
    for label, options in STUDY:
        cer, recall, cpu, wall = [], [], 0.0, 0.0
        for path, truth in captures:
            started = time.perf_counter()
            p = subprocess.Popen([probe, *options, path], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            out = p.stdout.read().decode(errors="replace")
            usage = reap(p)
            wall += time.perf_counter() - started
            cpu += usage.ru_utime + usage.ru_stime
            text = "\n".join(line.split("\t", 1)[1] for line in out.splitlines() if "\t" in line)
            cer.append(character_error_rate(truth, text))
            recall.append(word_recall(truth, text))
        rows.append((label, statistics.mean(cer), max(cer), statistics.mean(recall), min(recall), wall, cpu))
        print(f"  {label}: mean recall {rows[-1][3]:.3f}, cpu {cpu:.1f} s", flush=True)
    return rows


def markdown_table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--build-dir", default=os.path.join(root, "build"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--output", default=os.path.join(root, "bench", "results.md"))
    parser.add_argument("--no-study", action="store_true")
    args = parser.parse_args()

    tool = os.path.abspath(os.path.join(args.build_dir, "kestrova-capture"))
    probe = os.path.abspath(os.path.join(args.build_dir, "kestrova-ocr-probe"))
    for needed in [tool, probe]:
        if not os.access(needed, os.X_OK):
            sys.exit(f"bench: {needed} is not built")
    for peer in ["Xvfb", "xterm", "xsetroot", "pango-view", "chromium", "display", "import", "tesseract"]:
        if shutil.which(peer) is None:
            sys.exit(f"bench: {peer} is missing (scripts/install-deps.sh scripts/deps/optional-bench.txt)")

    workdir = tempfile.mkdtemp(prefix="kestrova-bench-")
    server = Xvfb()
    env = {k: v for k, v in os.environ.items() if k != "OMP_THREAD_LIMIT"}
    env["DISPLAY"] = server.display
    corpus = Corpus(server.display, workdir)
    load_before = os.getloadavg()
    results, captures = [], []
    try:
        for index, show in enumerate(corpus.screens()):
            screen = show()
            time.sleep(2.0)  # let the windows map and draw
            print(f"{screen.name} ...", flush=True)
            results.append((screen, measure(screen, tool, env, args.runs)))
            capture = os.path.join(workdir, f"screen-{index}.ppm")
            subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:" + capture], env=env, check=True)
            captures.append((capture, screen.truth))
            stop(screen.processes)
        load_after = os.getloadavg()
        study_rows = [] if args.no_study else study(probe, captures)
    finally:
        server.stop()
        shutil.rmtree(workdir, ignore_errors=True)

    report = render(results, study_rows, args.runs, load_before, load_after)
    print(report)
    with open(args.output, "w", encoding="utf-8") as out:
        out.write(report + "\n")
    print(f"\nwritten to {args.output}")


def render(results, study_rows, runs, load_before, load_after):
    ours_name, single_name, default_name = "ours", "pipeline, OMP_THREAD_LIMIT=1", "pipeline, default threads"
    speed, accuracy = [], []
    goals = []
    for screen, r in results:
        o, s, d = r[ours_name], r[single_name], r[default_name]
        speed.append([screen.name, f"{o['wall']:.2f}", f"{s['wall']:.2f}", f"{d['wall']:.2f}",
                      f"{paired_ratio(o, s, 'wall'):.2f}", f"{paired_ratio(o, d, 'wall'):.2f}",
                      f"{o['cpu']:.2f}", f"{s['cpu']:.2f}", f"{paired_ratio(o, s, 'cpu'):.2f}",
                      f"{o['peaks']['kestrova-capture'] / 1024:.0f}",
                      f"{max(s['peaks']['tesseract'], d['peaks']['tesseract']) / 1024:.0f}"])
        accuracy.append([screen.name, f"{o['recall']:.3f}", f"{s['recall']:.3f}", f"{d['recall']:.3f}",
                         f"{o['cer']:.3f}", f"{s['cer']:.3f}", f"{d['cer']:.3f}"])
    full = next(r for screen, r in results if screen.name == "full screen of text")

    def verdict(ok):
        return "met" if ok else "NOT met"

    recall_ok = all(r[ours_name]["recall"] >= 0.98 for _, r in results)
    cer_ok = all(r[ours_name]["cer"] <= min(r[single_name]["cer"], r[default_name]["cer"]) for _, r in results)
    worst_recall = min(r[ours_name]["recall"] for _, r in results)
    w1 = paired_ratio(full[ours_name], full[single_name], "wall")
    wd = paired_ratio(full[ours_name], full[default_name], "wall")
    c1 = paired_ratio(full[ours_name], full[single_name], "cpu")
    peak_ok = all(r[ours_name]["peaks"]["kestrova-capture"] <=
                  min(r[single_name]["peaks"]["tesseract"], r[default_name]["peaks"]["tesseract"]) for _, r in results)
    goals = [
        ["word recall >= 0.98 on every screen", f"lowest {worst_recall:.3f}", verdict(recall_ok)],
        ["CER no worse than the better pipeline on every screen", "see accuracy table", verdict(cer_ok)],
        ["full screen: wall <= 0.6 x single-threaded pipeline", f"{w1:.2f}", verdict(w1 <= 0.6)],
        ["full screen: wall <= 0.2 x default pipeline", f"{wd:.2f}", verdict(wd <= 0.2)],
        ["full screen: CPU <= 0.8 x single-threaded pipeline", f"{c1:.2f}", verdict(c1 <= 0.8)],
        ["peak memory <= the pipeline's tesseract, every screen", "see speed table", verdict(peak_ok)],
    ]
    parts = [
        "# Text recognition benchmark",
        "",
        f"`kestrova-capture screenshot` against `{PIPELINE}`, on {WIDTH}x{HEIGHT} screens shown on a private "
        f"Xvfb display; median of {runs} runs each, the three contenders interleaved run by run; ratios are "
        "medians of the run-by-run ratios. CPU is user + system time of every process (import included). "
        f"Machine: {os.cpu_count()} cores, {platform.machine()}, load average {load_before[0]:.2f} before and "
        f"{load_after[0]:.2f} after.",
        "",
        "## Goals",
        "",
        markdown_table(["goal", "measured", ""], goals),
        "",
        "## Speed and memory",
        "",
        markdown_table(["screen", "ours wall s", "pipeline(1) wall s", "pipeline(default) wall s", "wall / (1)",
                        "wall / (default)", "ours CPU s", "pipeline(1) CPU s", "CPU / (1)", "ours peak MB",
                        "tesseract peak MB"], speed),
        "",
        "## Accuracy against the ground truth",
        "",
        "CER: character error rate over whitespace-normalized text, order-sensitive. Recall: share of the "
        "truth's words (a multiset) found.",
        "",
        markdown_table(["screen", "ours recall", "(1) recall", "(default) recall", "ours CER", "(1) CER",
                        "(default) CER"], accuracy),
    ]
    if study_rows:
        parts += [
            "",
            "## What each preprocessing choice brings",
            "",
            "`kestrova-ocr-probe` over the same screens captured as images (no screen grab in the times).",
            "",
            markdown_table(["variant", "mean CER", "worst CER", "mean recall", "worst recall", "wall s (all)",
                            "CPU s (all)"],
                           [[label, f"{c:.3f}", f"{cw:.3f}", f"{r:.3f}", f"{rw:.3f}", f"{w:.1f}", f"{cpu:.1f}"]
                            for label, c, cw, r, rw, w, cpu in study_rows]),
        ]
    return "\n".join(parts)


if __name__ == "__main__":
    main()
