#!/usr/bin/python3
"""Signal matching quality on synthetic piles: single-defect piles (a neck of
ratio 0.5-0.8 or a bulge of 1.25-1.5 with its top between 20 % and 80 % of the
length) and sound piles, each fitted with `tavtool analyze FILE match`.

  scripts/match-quality.py TAVTOOL [--seeds 101,102] [--piles 20] [--out DIR]

Prints a Markdown table: found (depth within 0.5 m and ratio within 0.1) for
the defect piles, uniform (no segment below 0.85) for the sound ones."""
import argparse
import json
import os
import random
import subprocess
import sys
import tempfile


def synth(tool, out, seed, piles, defects=()):
    args = [tool, "synth", "-o", out, "--piles", str(piles), "--points-per-pile", "1", "--seed", str(seed),
            "--sensor", "mixed"]
    for d in defects:
        args += ["--defect", d]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    with open(out[:-4] + ".truth.json", encoding="utf-8") as f:
        return json.load(f)["points"]


def match(tool, project, point):
    r = subprocess.run([tool, "analyze", project, "match", "--point", str(point)], stdout=subprocess.PIPE, text=True)
    return json.loads(r.stdout) if r.stdout.strip() else {"fit": False, "reason": "no output"}


def defect_run(tool, folder, seed, piles):
    """Lays one defect on every pile of the seed's site, well inside the shaft."""
    sound = synth(tool, os.path.join(folder, "lengths.tav"), seed, piles)
    rng = random.Random(seed)
    defect_args, asked = [], []
    for i, p in enumerate(sound):
        length = p["pileLength"]
        top, bottom = 0.2 * length, min(0.8 * length, length - 2.0)  # the synthetic defect is 1 m long
        if bottom < top:
            continue
        kind = "neck" if rng.random() < 0.5 else "bulge"
        ratio = round(rng.uniform(0.5, 0.8) if kind == "neck" else rng.uniform(1.25, 1.5), 2)
        depth = round(rng.uniform(top, bottom), 2)
        defect_args.append(f"{i + 1}:{depth}:{kind}:{ratio}")
        asked.append(i)
    project = os.path.join(folder, f"defects-{seed}.tav")
    truth = synth(tool, project, seed, piles, defect_args)
    rows = []
    for i in asked:
        t = truth[i]
        d = t["defects"][0]
        r = match(tool, project, i)
        found, depth, ratio = False, None, None
        if r.get("fit"):
            segs = r["segments"]
            pick = min(segs, key=lambda s: s["ratio"]) if d["type"] == "neck" else max(segs, key=lambda s: s["ratio"])
            depth, ratio = pick["top"], pick["ratio"]
            found = abs(depth - d["depth"]) <= 0.5 and abs(ratio - d["ratio"]) <= 0.1
        rows.append({"seed": seed, "pile": t["pileNo"], "length": t["pileLength"], "type": d["type"],
                     "depth": d["depth"], "ratio": d["ratio"], "fitDepth": depth, "fitRatio": ratio,
                     "found": found, "quality": r.get("quality"), "reason": r.get("reason")})
    return rows


def sound_run(tool, folder, seed, piles):
    project = os.path.join(folder, f"sound-{seed}.tav")
    truth = synth(tool, project, seed, piles)
    rows = []
    for i, t in enumerate(truth):
        r = match(tool, project, i)
        lowest = min(s["ratio"] for s in r["segments"]) if r.get("fit") else None
        rows.append({"seed": seed, "pile": t["pileNo"], "length": t["pileLength"], "lowest": lowest,
                     "uniform": lowest is not None and lowest >= 0.85, "quality": r.get("quality"),
                     "reason": r.get("reason")})
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("tavtool")
    ap.add_argument("--seeds", default="9101,9102,9103")
    ap.add_argument("--piles", type=int, default=20)
    ap.add_argument("--verbose", action="store_true")
    a = ap.parse_args()
    seeds = [int(s) for s in a.seeds.split(",")]
    with tempfile.TemporaryDirectory() as folder:
        defects = [r for s in seeds for r in defect_run(a.tavtool, folder, s, a.piles)]
        sound = [r for s in seeds for r in sound_run(a.tavtool, folder, s + 50000, a.piles)]
    if a.verbose:
        for r in defects + sound:
            print(json.dumps(r), file=sys.stderr)
    found = sum(r["found"] for r in defects)
    uniform = sum(r["uniform"] for r in sound)
    print("| piles | measure | result | goal |")
    print("|---|---|---|---|")
    print(f"| {len(defects)} with one neck or bulge | depth within 0.5 m and ratio within 0.1 | "
          f"{found} ({100.0 * found / max(1, len(defects)):.0f} %) | 80 % |")
    print(f"| {len(sound)} sound | no segment below 0.85 | "
          f"{uniform} ({100.0 * uniform / max(1, len(sound)):.0f} %) | 90 % |")


if __name__ == "__main__":
    main()
