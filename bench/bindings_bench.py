"""The Python module and the SQLite extension against the same work in C++ (the library's tight
loop, ansicrypt_records_loop), side by side in one run; best of three each. Ratios above 1 mean
the binding is faster.
  PYTHONPATH=build/release/python python3 bench/bindings_bench.py LOOP EXTENSION"""
import os
import random
import sqlite3
import subprocess
import sys
import tempfile
import time

import ansicrypt

RECORDS = 1_000_000


def best(call, runs=3):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times)


def loop_rate(loop, operation, path, runs=3):
    return max(float(subprocess.run([loop, operation, "k", path], capture_output=True, text=True,
                                    check=True).stdout.split()[0]) for _ in range(runs))


def row(what, ours, peer, unit):
    print(f"{what:44} {ours:14,.0f} {unit:6} {peer:14,.0f} {unit:6} {ours / peer:6.2f}")


def main(loop, extension):
    rng = random.Random(1)
    alphabet = "abcdefghijklmnopqrstuvwxyz0123456789"
    plain = ["".join(rng.choice(alphabet) for _ in range(16)) for _ in range(RECORDS)]
    hexes = [ansicrypt.encrypt_des_str_to_hex(p, "k") for p in plain]
    with tempfile.TemporaryDirectory() as work:
        hex_file = os.path.join(work, "hex")
        with open(hex_file, "w") as f:
            f.write("\n".join(hexes) + "\n")
        print(f"{'':44} {'binding':>21} {'C++ loop':>21} {'ratio':>6}")
        decrypt = ansicrypt.decrypt_des_hex_to_str
        seconds = best(lambda: [decrypt(h, "k") for h in hexes])
        row("Python decrypt_des_hex_to_str, 1M x 32 digits", RECORDS / seconds,
            loop_rate(loop, "decrypt", hex_file), "rec/s")
        many = ansicrypt.decrypt_des_hex_to_str_many
        one_thread = best(lambda: many(hexes, "k"))
        row("Python decrypt_des_hex_to_str_many, threads=1", RECORDS / one_thread,
            loop_rate(loop, "decrypt", hex_file), "rec/s")
        two_threads = best(lambda: many(hexes, "k", threads=2))
        row("  threads=2 (peer: threads=1)", RECORDS / two_threads, RECORDS / one_thread, "rec/s")
        # What any call that returns 1M new str pays before any work: Python making them.
        making = best(lambda: list(map(str.upper, plain)))
        row("  (Python's own str.upper over 1M values)", RECORDS / making,
            loop_rate(loop, "decrypt", hex_file), "rec/s")

        db = sqlite3.connect(":memory:")
        db.enable_load_extension(True)
        db.load_extension(extension)
        db.execute("CREATE TABLE t (c TEXT)")
        db.executemany("INSERT INTO t VALUES (?)", ((h,) for h in hexes))
        seconds = best(lambda: db.execute("SELECT count(ansi_des_decrypt(c, 'k')) FROM t").fetchone())
        row("SQLite SELECT ansi_des_decrypt(c, 'k'), 1M rows", RECORDS / seconds,
            loop_rate(loop, "decrypt", hex_file), "rec/s")

        data = os.urandom(64 << 20)
        text = ansicrypt.encode_base64(data)
        text_file = os.path.join(work, "b64")
        with open(text_file, "wb") as f:
            f.write(text)
        seconds = best(lambda: ansicrypt.decode_base64(text))
        row("Python decode_base64, 64 MiB", len(text) / seconds / 1e6,
            loop_rate(loop, "base64-bytes", text_file), "MB/s")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
