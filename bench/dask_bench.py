"""The Dask example on a local cluster of two worker processes against the same work in one process
without Dask (pandas reads each CSV file, the batch call converts the column, pandas writes it),
side by side in one run, best of three each; the example is timed as a whole process, cluster
start included. 2,000,000 rows of 32 digits in 8 files.
  PYTHONPATH=build/release/bindings/python/package python3 bench/dask_bench.py"""
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import time

import pandas

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


def one_process(inputs, output):
    os.makedirs(output, exist_ok=True)
    for i, path in enumerate(inputs):
        frame = pandas.read_csv(path, dtype=str, keep_default_na=False, na_filter=False)
        frame["name"] = ansicrypt.decrypt_des_hex_to_str_many(frame["name"].tolist(), "k")
        frame.to_csv(os.path.join(output, f"part-{i}.csv"), index=False)


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
        alone = best(lambda: one_process(inputs, os.path.join(work, "alone")))
        command = [sys.executable, str(EXAMPLE), "--input", os.path.join(work, "legacy-*.csv"),
                   "--column", "name", "--operation", "decrypt", "--key", "k",
                   "--output", os.path.join(work, "dask"), "--workers", "2"]
        dask = best(lambda: subprocess.run(command, check=True, capture_output=True))
    print(f"{'':52} {'ours':>14} {'peer':>14} {'ratio':>6}")
    print(f"{'Dask example, 2 worker processes, vs one process':52} {ROWS / dask:14,.0f} "
          f"{ROWS / alone:14,.0f} {alone / dask:6.2f}   rows/s")


if __name__ == "__main__":
    main()
