"""The Dask example on a local cluster of two worker processes against the same work in one process
without Dask (pandas reads each CSV file, the batch call converts the column, pandas writes it as
the example does), side by side in one run, best of three each, both timed as whole processes
(imports, and the cluster's start, included), and the example again against a cluster already
running. 2,000,000 rows of 32 digits in 8 files.
  PYTHONPATH=build/release/bindings/python/package python3 bench/dask_bench.py"""
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import time

import ansicrypt

ROWS, FILES = 2_000_000, 8
EXAMPLE = pathlib.Path(__file__).parents[1] / "examples" / "dask_migrate.py"


def best(call, runs=3):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times)


# The same work without Dask, as a program of its own: INPUT... OUTPUT_DIR.
ONE_PROCESS = """
import csv, os, sys
import pandas
import ansicrypt
os.makedirs(sys.argv[-1])
for i, path in enumerate(sys.argv[1:-1]):
    frame = pandas.read_csv(path, dtype=str, keep_default_na=False, na_filter=False)
    frame["name"] = ansicrypt.decrypt_des_hex_to_str_many(frame["name"].tolist(), "k")
    frame.to_csv(os.path.join(sys.argv[-1], f"part-{i}.csv"), index=False, quoting=csv.QUOTE_ALL)
"""


def main():
    rng = random.Random(1)
    alphabet = "abcdefghijklmnopqrstuvwxyz0123456789"
    plain = ["".join(rng.choice(alphabet) for _ in range(16)) for _ in range(ROWS)]
    hexes = ansicrypt.encrypt_des_str_to_hex_many(plain, "k", threads=2)
    with tempfile.TemporaryDirectory() as work:
        inputs = []
        for part in range(FILES):
            path = os.path.join(work, f"legacy-{part}.csv")
            rows = range(part * ROWS // FILES, (part + 1) * ROWS // FILES)
            with open(path, "w") as f:
                f.write("id,name\n" + "".join(f"{i},{hexes[i]}\n" for i in rows))
            inputs.append(path)
        runs = iter(range(100))
        alone = best(lambda: subprocess.run(
            [sys.executable, "-c", ONE_PROCESS, *inputs, os.path.join(work, f"alone-{next(runs)}")],
            check=True, capture_output=True))

        def example(*cluster):
            command = [sys.executable, str(EXAMPLE), "--input", os.path.join(work, "legacy-*.csv"),
                       "--column", "name", "--operation", "decrypt", "--key", "k",
                       "--output", os.path.join(work, f"dask-{next(runs)}"), *cluster]
            subprocess.run(command, check=True, capture_output=True)

        dask = best(lambda: example("--workers", "2"))
        # The same against a cluster that is already up, as against a real scheduler: the
        # example's process still imports Dask and connects.
        from dask.distributed import LocalCluster
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster:
            running = best(lambda: example("--scheduler", cluster.scheduler_address))
    print(f"{'':52} {'ours':>14} {'peer':>14} {'ratio':>6}")
    print(f"{'Dask example, 2 worker processes, vs one process':52} {ROWS / dask:14,.0f} "
          f"{ROWS / alone:14,.0f} {alone / dask:6.2f}   rows/s")
    print(f"{'  the same on a cluster already running':52} {ROWS / running:14,.0f} "
          f"{ROWS / alone:14,.0f} {alone / running:6.2f}   rows/s")


if __name__ == "__main__":
    main()
