#!/usr/bin/env python3
"""Times hwmc beside the peer tools on the same files.

    bench/vcf_compare.py DIR [BUILD_DIR]

DIR is a folder made by bench/make-vcf-bench.sh (sites.vcf.gz, sites.bcf);
BUILD_DIR holds uncounted/hwmc and bench/vcf_bench (default: build). For each
file it prints the best of three runs, wall-clock and CPU (user + system, all
threads), of the full `hwmc --vcf --exact` run (a copy of the program, rows to
/dev/null), of hwmc's decoding alone (bench/vcf_bench: every site into
per-population genotype counts, no tests), and of `bcftools view` (htslib's
full parser), `bcftools +fill-tags -t HWE`, `plink1.9 --hardy` and `plink2
--hardy` where they are installed, and each one's ratio to the full hwmc run.
The machine should be otherwise quiet; the load average is printed.
"""
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

RUNS = 3


def timed(cmd):
    """Best wall and CPU seconds of RUNS runs of a command."""
    best_wall = best_cpu = float("inf")
    for _ in range(RUNS):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best_wall, best_cpu = min(best_wall, wall), min(best_cpu, cpu)
    return best_wall, best_cpu


def hwmc_times(bench, data_dir, name):
    env = dict(os.environ, HWMC_VCF_BENCH_DIR=data_dir)
    out = subprocess.run([bench, f"--benchmark_filter=^{name}", "--benchmark_format=json",
                          f"--benchmark_repetitions={RUNS}", "--benchmark_min_time=0.01"],
                         check=True, capture_output=True, text=True, env=env).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    if not runs or any(b.get("error_occurred") for b in runs):
        sys.exit(f"vcf_bench could not time {name}")
    scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[runs[0]["time_unit"]]
    return (min(b["real_time"] for b in runs) * scale, min(b["cpu_time"] for b in runs) * scale)


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    data_dir = os.path.abspath(argv[1])
    build = argv[2] if len(argv) > 2 else "build"
    bench = os.path.join(build, "bench", "vcf_bench")
    if not os.access(bench, os.X_OK):
        sys.exit(f"{bench} not built (it needs the benchmark package)")
    out = tempfile.mkdtemp(prefix="hwmc-vcf-compare-")
    # A copy outside the tree: the run counter of the build's program stays.
    hwmc = os.path.join(out, "hwmc")
    shutil.copy(os.path.join(build, "uncounted", "hwmc"), hwmc)
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    try:
        for kind, name, hwmc_bench in (("VCF", "sites.vcf.gz", "BM_VcfGzScan/1/"),
                                        ("BCF", "sites.bcf", "BM_Bcf/1/")):
            path = os.path.join(data_dir, name)
            if not os.path.exists(path):
                print(f"{kind}: {path} missing, skipped")
                continue
            flag = "--vcf" if kind == "VCF" else "--bcf"
            rows = [("hwmc --vcf --exact", timed([hwmc, "--vcf", "--exact", "--seed", "1", path])),
                    ("hwmc decode (1 extra BGZF thread)", hwmc_times(bench, data_dir, hwmc_bench))]
            peers = [
                ("bcftools view", "bcftools", ["bcftools", "view", "-Ou", "-o", "/dev/null", path]),
                ("bcftools +fill-tags -t HWE", "bcftools",
                 ["bcftools", "+fill-tags", path, "-Ou", "-o", "/dev/null", "--", "-t", "HWE"]),
                ("plink1.9 --hardy", "plink1.9", ["plink1.9", flag, path, "--hardy", "--threads", "1",
                                                  "--allow-extra-chr", "--out", os.path.join(out, "p1")]),
                ("plink2 --hardy", "plink2", ["plink2", flag, path, "--hardy", "--allow-extra-chr",
                                              "--out", os.path.join(out, "p2")]),
            ]
            for label, tool, cmd in peers:
                if shutil.which(tool):
                    rows.append((label, timed(cmd)))
                else:
                    print(f"{tool} is not installed: skipped")
            wall0, cpu0 = rows[0][1]
            print(f"\n{kind} {path}")
            print(f"{'':36} {'wall s':>8} {'cpu s':>8} {'wall/hwmc':>10} {'cpu/hwmc':>9}")
            for label, (wall, cpu) in rows:
                print(f"{label:36} {wall:8.3f} {cpu:8.3f} {wall / wall0:10.2f} {cpu / cpu0:9.2f}")
        print("load average after: %.2f %.2f %.2f" % os.getloadavg())
    finally:
        shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv)
