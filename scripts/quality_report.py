#!/usr/bin/python3
"""How well the automatic readings match synthetic sites of known truth.

Generates sites with `tavtool synth` over many seeds, both sensors and noise
levels from none to the demo project's, runs each section's analysis on every
record through `tavtool analyze` and prints the hit rates against the goals.
Only the Python standard library is used.

A section is a function taking the list of generated sites and returning
lines of text; add another to SECTIONS to report another analysis.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

SENSORS = ("velocity", "acceleration")
NOISES = (0.0, 0.005, 0.01)  # 0.01 is the demo project's


class Site:
    """One generated project with its truth."""

    def __init__(self, path, truth, sensor, noise, defects):
        self.path = path
        self.truth = truth
        self.sensor = sensor
        self.noise = noise
        self.defects = defects


def run_json(tool, args):
    out = subprocess.run([tool] + args, check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def make_sites(tool, folder, seeds, piles):
    sites = []
    for seed in seeds:
        for sensor in SENSORS:
            for noise in NOISES:
                for defects in ("off", "on"):
                    name = os.path.join(folder, f"s{seed}-{sensor}-{noise}-{defects}.tav")
                    subprocess.run([tool, "synth", "-o", name, "--seed", str(seed), "--sensor", sensor,
                                    "--noise", str(noise), "--random-defects", defects, "--piles", str(piles),
                                    "--points-per-pile", "1"], check=True, capture_output=True)
                    with open(name[:-4] + ".truth.json", encoding="utf-8") as f:
                        truth = json.load(f)["points"]
                    sites.append(Site(name, truth, sensor, noise, defects))
    return sites


def share(hits, total):
    return f"{hits}/{total} = {100.0 * hits / total:.1f} %" if total else "none"


def proposals_section(tool, sites):
    """Toe and defect proposals (`tavtool analyze FILE propose --point K`)."""
    toe_hits = toe_total = 0
    clean_false = clean_total = 0
    found = wanted = 0
    by_config = {}
    for site in sites:
        for point in site.truth:
            p = run_json(tool, ["analyze", site.path, "propose", "--point", str(point["index"])])
            travel = point["toeIndex"] - point["headIndex"]
            speed = point["waveSpeed"]
            key = (site.sensor, site.noise)
            c = by_config.setdefault(key, [0, 0, 0, 0, 0, 0])
            if not point["defects"]:
                toe_total += 1
                clean_total += 1
                c[1] += 1
                if p["toeIndex"] is not None and abs(p["toeIndex"] - point["toeIndex"]) <= 0.02 * travel:
                    toe_hits += 1
                    c[0] += 1
                if p["defects"]:
                    clean_false += 1
                    c[2] += 1
            for d in point["defects"]:
                if d["ratio"] > 0.7 or not (0.2 <= d["depth"] / point["pileLength"] <= 0.8):
                    continue
                wanted += 1
                c[4] += 1
                if any(abs(q["depth"] - d["depth"]) <= 0.5 for q in p["defects"]):
                    found += 1
                    c[3] += 1
    lines = [
        "Toe and defect proposals",
        f"  toe within ±2 % of the head-to-toe distance, piles without defects: {share(toe_hits, toe_total)}"
        " (goal ≥ 95 %)",
        f"  defects of impedance ratio ≤ 0.7 at 20–80 % of the length found within ±0.5 m: {share(found, wanted)}"
        " (goal ≥ 80 %)",
        f"  piles without defects given a defect proposal: {share(clean_false, clean_total)} (goal ≤ 10 %)",
        "  by sensor and noise: toe hits, false defects on clean piles, defects found",
    ]
    for (sensor, noise), c in sorted(by_config.items()):
        lines.append(f"    {sensor:12s} noise {noise:<5}: toe {share(c[0], c[1])}, false {share(c[2], c[1])},"
                     f" defects {share(c[3], c[4])}")
    return lines


def match_section(tool, sites):
    """Signal matching (`tavtool analyze FILE match --point K`): the defect piles
    with one neck of ratio 0.5–0.8 or one bulge of 1.25–1.5 at 20–80 % of the
    length, and the sound piles of the sites at the demo project's noise."""
    found = wanted = uniform = sound = 0
    by_kind = {}
    for site in sites:
        for point in site.truth:
            defects = point["defects"]
            if not defects:
                if site.defects != "off" or site.noise != 0.01:
                    continue
                m = run_json_any_exit(tool, ["analyze", site.path, "match", "--point", str(point["index"])])
                sound += 1
                if m.get("fit") and min(s["ratio"] for s in m["segments"]) >= 0.85:
                    uniform += 1
                continue
            if len(defects) != 1:
                continue
            d = defects[0]
            neck = d["type"] == "neck" and 0.5 <= d["ratio"] <= 0.8
            bulge = d["type"] == "bulge" and 1.25 <= d["ratio"] <= 1.5
            if not (neck or bulge) or not (0.2 <= d["depth"] / point["pileLength"] <= 0.8):
                continue
            m = run_json_any_exit(tool, ["analyze", site.path, "match", "--point", str(point["index"])])
            wanted += 1
            k = by_kind.setdefault(d["type"], [0, 0])
            k[1] += 1
            if m.get("fit"):
                pick = (min if neck else max)(m["segments"], key=lambda s: s["ratio"])
                if abs(pick["top"] - d["depth"]) <= 0.5 and abs(pick["ratio"] - d["ratio"]) <= 0.1:
                    found += 1
                    k[0] += 1
    return [
        "Signal matching",
        f"  one neck (0.5–0.8) or bulge (1.25–1.5) at 20–80 % of the length, depth within ±0.5 m and ratio"
        f" within ±0.1: {share(found, wanted)} (goal ≥ 80 %)",
        "    " + ", ".join(f"{kind} {share(k[0], k[1])}" for kind, k in sorted(by_kind.items())),
        f"  sound piles (noise 0.01) with no segment below 0.85: {share(uniform, sound)} (goal ≥ 90 %)",
    ]


def run_json_any_exit(tool, args):
    """A command that prints its JSON also when it exits 2 (a record it cannot use)."""
    out = subprocess.run([tool] + args, capture_output=True, text=True).stdout
    return json.loads(out) if out.strip() else {}


SECTIONS = [proposals_section, match_section]


def parse_seeds(text):
    first, _, last = text.partition("-")
    return range(int(first), int(last or first) + 1)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tavtool", default=os.path.join(here, "..", "build", "bin", "tavtool"))
    parser.add_argument("--seeds", default="1001-1020", help="site seeds, FIRST-LAST (default: 1001-1020)")
    parser.add_argument("--piles", type=int, default=12, help="piles per site")
    parser.add_argument("--sections", default="proposals,match", help="sections to report (default: proposals,match)")
    args = parser.parse_args()
    seeds = parse_seeds(args.seeds)
    with tempfile.TemporaryDirectory(prefix="tav-quality-") as folder:
        sites = make_sites(args.tavtool, folder, seeds, args.piles)
        print(f"Synthetic sites: seeds {seeds.start}-{seeds.stop - 1}, {len(sites)} sites of {args.piles} piles"
              f" (sensors {', '.join(SENSORS)}; noise {', '.join(str(n) for n in NOISES)} of the blow's peak;"
              " random defects off and on)")
        for section in SECTIONS:
            if section.__name__.removesuffix("_section") not in args.sections.split(","):
                continue
            print()
            print("\n".join(section(args.tavtool, sites)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
