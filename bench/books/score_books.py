#!/usr/bin/env python3
"""Scores a way of finding chapters on the corpus that make_books.py writes.

    score_books.py CORPUS [--mode auto|n|probe|silencedetect] [--bin DIR]
                          [--match TEXT]

Runs the way on every recording in CORPUS (or on those whose name holds
TEXT) and prints one row per recording: its name, the chapters expected and
found, the chapter pauses missed, the chapter starts found elsewhere, and
RIGHT or wrong; then the total and the totals by floor, encoding and
structure. A recording is RIGHT when each of its chapter pauses holds exactly
one chapter start, give or take TOLERANCE_MS, and no chapter starts anywhere
else but at 0; a lecture is RIGHT with exactly one chapter. Exits 0 whatever
the score.

A recording may be a folder of files (its truth NAME.json beside folder
NAME/): it is given to each way whole, as the files joined in name order.

The ways:
  auto           hushmark-chapters -i X -o OUT.txt, nothing else
  n              hushmark-chapters -i X -n K -o OUT.txt, K the chapters expected
  probe          the -s and -m that hushmark-probe -i X proposes, each left
                 out where it proposes none, given to hushmark-chapters
  silencedetect  ffmpeg's silencedetect=n=-30dB:d=1.75, a chapter at the
                 start of each silence (a folder's files joined by ffmpeg's
                 concat filter)
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time

TOLERANCE_MS = 150
TIMEOUT_S = 1800  # the hour takes a few minutes through a slow decoder
DEFAULT_BIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build",
                           "release")


def load_corpus(folder, match):
    """The (truth, recording's path) pairs in FOLDER whose name holds MATCH,
    by name."""
    files = sorted(os.listdir(folder))
    corpus = []
    for file in files:
        if not file.endswith(".json"):
            continue
        with open(os.path.join(folder, file), encoding="utf-8") as f:
            truth = json.load(f)
        if match not in truth["name"]:
            continue
        if truth.get("folder"):
            path = os.path.join(folder, truth["name"])
            if not os.path.isdir(path):
                sys.exit(f"{file}: no folder {truth['name']} beside it")
            corpus.append((truth, path))
            continue
        recordings = [r for r in files if r.startswith(truth["name"] + ".") and r != file]
        if len(recordings) != 1:
            sys.exit(f"{file}: {len(recordings)} recordings of that name beside it")
        corpus.append((truth, os.path.join(folder, recordings[0])))
    return corpus


def run(command):
    """Runs a program without a shell, its messages read as UTF-8."""
    env = dict(os.environ, LC_ALL="C.UTF-8")
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, env=env,
                          timeout=TIMEOUT_S)


def read_chapter_times(path):
    """The start of each chapter in a txt chapter file, in ms."""
    times = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            found = re.match(r"(\d+):(\d\d):(\d\d)\.(\d\d\d)\s", line)
            if found:
                h, m, s, ms = (int(g) for g in found.groups())
                times.append(((h * 60 + m) * 60 + s) * 1000 + ms)
    return times


def chapters_of(bin_dir, audio, options, work):
    """Runs hushmark-chapters with OPTIONS. Returns (chapter starts in ms, or
    None when it failed, a note)."""
    out = os.path.join(work, "chapters.txt")
    if os.path.exists(out):
        os.remove(out)
    command = [os.path.join(bin_dir, "hushmark-chapters"), "-i", audio] + options + ["-o", out]
    done = run(command)
    note = " ".join(options)
    if done.returncode != 0 or not os.path.exists(out):
        return None, f"{note} hushmark-chapters exit {done.returncode}".strip()
    return read_chapter_times(out), note


def find_auto(bin_dir, truth, audio, work):
    return chapters_of(bin_dir, audio, [], work)


def find_n(bin_dir, truth, audio, work):
    return chapters_of(bin_dir, audio, ["-n", str(len(truth["chapter_pauses"]) + 1)], work)


def find_probe(bin_dir, truth, audio, work):
    done = run([os.path.join(bin_dir, "hushmark-probe"), "-i", audio])
    if done.returncode != 0:
        return None, f"hushmark-probe exit {done.returncode}"
    report = done.stdout.decode("utf-8", errors="replace")
    options = []
    threshold = re.search(r"^おすすめ: -s (\d+)", report, re.MULTILINE)
    if threshold:
        options += ["-s", threshold.group(1)]
    pause = re.search(r"^章の区切りのおすすめ: -m (\d+)", report, re.MULTILINE)
    if pause:
        options += ["-m", pause.group(1)]
    return chapters_of(bin_dir, audio, options, work)


def natural_key(name):
    """Sorts names with their numbers as numbers: "Track 2" before "Track 10"."""
    return [(int(p), "") if p.isdigit() else (0, p.lower()) for p in re.split(r"(\d+)", name)]


def find_silencedetect(bin_dir, truth, audio, work):
    detect = "silencedetect=n=-30dB:d=1.75"
    if os.path.isdir(audio):
        files = sorted(os.listdir(audio), key=natural_key)
        inputs = [a for f in files for a in ("-i", os.path.join(audio, f))]
        graph = "".join(f"[{k}:a]" for k in range(len(files)))
        how = inputs + ["-filter_complex", f"{graph}concat=n={len(files)}:v=0:a=1,{detect}"]
    else:
        how = ["-i", audio, "-af", detect]
    done = run(["ffmpeg", "-hide_banner", "-nostats", "-nostdin"] + how + ["-f", "null", "-"])
    if done.returncode != 0:
        return None, f"ffmpeg exit {done.returncode}"
    log = done.stderr.decode("utf-8", errors="replace")
    starts = [round(float(s) * 1000) for s in re.findall(r"silence_start: (-?[\d.]+)", log)]
    return [0] + [s for s in starts if s > 0], ""


MODES = {
    "auto": find_auto,
    "n": find_n,
    "probe": find_probe,
    "silencedetect": find_silencedetect,
}


def score(truth, chapters):
    """(expected, found, missed, extra, right) for the chapter starts found."""
    expected = len(truth["chapter_pauses"]) + 1
    if chapters is None:
        return expected, 0, expected - 1, 0, False
    starts = sorted(chapters)
    at_zero = bool(starts) and starts[0] == 0
    if at_zero:
        starts = starts[1:]
    windows = [(a - TOLERANCE_MS, b + TOLERANCE_MS) for a, b in truth["chapter_pauses"]]
    hits = [sum(1 for t in starts if low <= t <= high) for low, high in windows]
    elsewhere = sum(1 for t in starts if not any(low <= t <= high for low, high in windows))
    missed = hits.count(0)
    extra = elsewhere + sum(h - 1 for h in hits if h > 1)
    return expected, len(chapters), missed, extra, at_zero and missed == 0 and extra == 0


def print_totals(title, key, rows):
    """One line per value of KEY: how many of its recordings were right."""
    print(f"\nby {title}:")
    values = sorted({key(truth) for truth, _ in rows})
    for value in values:
        results = [right for truth, right in rows if key(truth) == value]
        print(f"  {value:16} right {sum(results):3} of {len(results):3}")


def main():
    parser = argparse.ArgumentParser(description="Scores chapters found in the generated books.")
    parser.add_argument("corpus", help="the folder that make_books.py wrote")
    parser.add_argument("--mode", choices=list(MODES), default="auto")
    parser.add_argument("--bin", default=DEFAULT_BIN, help="where the hushmark programs are")
    parser.add_argument("--match", default="", help="only recordings whose name holds this")
    args = parser.parse_args()
    if not os.path.isdir(args.corpus):
        sys.exit(f"no folder {args.corpus}")
    for program in ("hushmark-chapters", "hushmark-probe"):
        if args.mode != "silencedetect" and not os.path.isfile(os.path.join(args.bin, program)):
            sys.exit(f"no {program} in {args.bin}: build it, or name its folder with --bin")
    corpus = load_corpus(args.corpus, args.match)
    if not corpus:
        sys.exit(f"no recordings in {args.corpus}")
    began = time.monotonic()
    rows = []
    print(f"{'recording':44} {'expected':>8} {'found':>5} {'missed':>6} {'extra':>5}")
    with tempfile.TemporaryDirectory() as work:
        for truth, audio in corpus:
            chapters, note = MODES[args.mode](args.bin, truth, audio, work)
            expected, found, missed, extra, right = score(truth, chapters)
            verdict = "RIGHT" if right else "wrong"
            shown = os.path.basename(audio) + ("/" if os.path.isdir(audio) else "")
            print(f"{shown:44} {expected:8} {found:5} {missed:6} {extra:5}  "
                  f"{verdict:5}  {note}".rstrip(), flush=True)
            rows.append((truth, right))
    print(f"\nright {sum(right for _, right in rows)} of {len(rows)}"
          f"  ({args.mode}, {time.monotonic() - began:.0f} s)")
    print_totals("floor", lambda t: t["floor"], rows)
    print_totals("encoding", lambda t: t["encoding"], rows)
    print_totals("structure", lambda t: t["structure"], rows)
    print_totals("layout", layout_of, rows)


def layout_of(truth):
    """What kind of recording it is: a plain book or lecture, or one laid out
    otherwise (a folder of chapter files, tracks, scene breaks...)."""
    return truth.get("layout", "lecture" if truth["lecture"] else "book")


if __name__ == "__main__":
    main()
