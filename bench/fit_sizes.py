"""Fits the size sweep of tools/bench-sizes.sh: for each size the minimum (or median) of every
side, then a least-squares line over the packed size for QVUpdater.exe fresh up to the product's
start and for the download and fresh install in process (the sum of the two sides' figures).

Usage: fit_sizes.py <folder> <min|median>
  folder     holds size<k>/figures.txt, one per size, of "name=s1 s2 ..." lines

Prints name=value lines (milliseconds): sizes_mb, e2e_ms and inproc_ms (each size's figure),
e2e_fixed_ms and e2e_per_mb, inproc_fixed_ms and inproc_per_mb (the lines), per_mb_ratio,
starts_ms (two program starts), own_startup_ms (QVUpdater.exe's start-up to its request beyond
a program's start: its window, sound device, resources), and beyond_ms: the program's fixed
cost beyond the in-process line, the two starts and its own start-up.
"""
import glob
import os
import statistics
import sys


def samples(path):
    figures = {}
    with open(path) as f:
        for line in f:
            name, _, values = line.strip().partition("=")
            figures[name] = [float(v) for v in values.split()]
    return figures


def line(xs, ys):
    mx = sum(xs) / len(xs)
    my = sum(ys) / len(ys)
    slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
    return my - slope * mx, slope


def main():
    folder, statistic = sys.argv[1:3]
    pick = min if statistic == "min" else statistics.median
    sizes = []
    for path in glob.glob(os.path.join(folder, "size*", "figures.txt")):
        f = samples(path)
        sizes.append((f["packed_mb"][0], 1000 * pick(f["fresh_total_s"]),
                      1000 * (pick(f["install_fresh_s"]) + pick(f["download_s"])),
                      1000 * pick(f["program_start_s"]), 1000 * pick(f["fresh_startup_s"])))
    sizes.sort()
    xs = [s[0] for s in sizes]
    if len(set(xs)) < 2:
        print("fit_sizes: a line needs at least two different packed sizes (QV_BENCH_SIZES, QV_BENCH_SCALE)",
              file=sys.stderr)
        return 1
    e2e = line(xs, [s[1] for s in sizes])
    inproc = line(xs, [s[2] for s in sizes])
    start = statistics.mean(s[3] for s in sizes)
    own = statistics.mean(s[4] for s in sizes) - start
    print("sizes_mb=%s" % " ".join("%.1f" % x for x in xs))
    print("e2e_ms=%s" % " ".join("%.0f" % s[1] for s in sizes))
    print("inproc_ms=%s" % " ".join("%.0f" % s[2] for s in sizes))
    print("e2e_fixed_ms=%.1f\ne2e_per_mb=%.3f" % e2e)
    print("inproc_fixed_ms=%.1f\ninproc_per_mb=%.3f" % inproc)
    print("per_mb_ratio=%.2f" % (e2e[1] / inproc[1]))
    print("starts_ms=%.1f\nown_startup_ms=%.1f" % (2 * start, own))
    print("beyond_ms=%.1f" % (e2e[0] - inproc[0] - 2 * start - own))
    return 0


if __name__ == "__main__":
    sys.exit(main())
