"""The PostgreSQL extension against the library's own loop (ansicrypt_records_loop), side by side
in one run: SELECT count(ansi_des_decrypt(c, 'k')) over 1,000,000 rows of 32 digits, on one
process and on two parallel workers (the leader only gathering), best of three each, on a server
of the benchmark's own (started as the tests start it).
  python3 bench/postgres_bench.py LOOP MODULE SCRIPT"""
import io
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).parents[1] / "tests" / "postgres"))
from pg_server import Server, load_extension  # noqa: E402

RECORDS = 1_000_000


def best(cursor, sql, runs=3):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        cursor.execute(sql)
        cursor.fetchall()
        times.append(time.perf_counter() - start)
    return min(times)


def main(loop, module, script):
    loop, module, script = (os.path.abspath(p) for p in (loop, module, script))
    rng = random.Random(1)
    alphabet = "abcdefghijklmnopqrstuvwxyz0123456789"
    plain = "\n".join("".join(rng.choice(alphabet) for _ in range(16)) for _ in range(RECORDS)) + "\n"
    with tempfile.TemporaryDirectory() as work, Server() as server:
        tool = os.path.join(os.path.dirname(loop), "..", "cli", "ansicrypt")
        hexes = subprocess.run([tool, "encrypt", "--key", "k"], input=plain, capture_output=True,
                               text=True, check=True).stdout
        hex_file = os.path.join(work, "hex")
        with open(hex_file, "w") as f:
            f.write(hexes)
        server.start()
        if not server.readable(module):
            module = server.copy_in(module)
        connection = server.connect()
        load_extension(connection, script, module)
        cursor = connection.cursor()
        cursor.execute("CREATE TABLE t (c text)")
        cursor.copy_from(io.StringIO(hexes), "t", columns=("c",))
        cursor.execute("VACUUM ANALYZE t")
        query = "SELECT count(ansi_des_decrypt(c, 'k')) FROM t"
        cursor.execute("SET max_parallel_workers_per_gather = 0")
        serial = best(cursor, query)
        for setting in ("max_parallel_workers_per_gather = 2", "parallel_leader_participation = off",
                        "parallel_setup_cost = 0", "parallel_tuple_cost = 0",
                        "min_parallel_table_scan_size = 0"):
            cursor.execute("SET " + setting)
        cursor.execute("EXPLAIN (ANALYZE, FORMAT JSON) " + query)
        workers = cursor.fetchone()[0][0]["Plan"]["Plans"][0].get("Workers Launched", 0)
        parallel = best(cursor, query)
        scan = best(cursor, "SELECT count(c) FROM t")  # the scan alone, for reference
        connection.close()
        loop_rate = max(float(subprocess.run([loop, "decrypt", "k", hex_file], capture_output=True,
                                             text=True, check=True).stdout.split()[0])
                        for _ in range(3))
    print(f"{'':52} {'ours':>14} {'peer':>14} {'ratio':>6}")
    print(f"{'PostgreSQL count(ansi_des_decrypt), 1 process':52} {RECORDS / serial:14,.0f} "
          f"{loop_rate:14,.0f} {RECORDS / serial / loop_rate:6.2f}   rows/s vs C++ loop")
    print(f"{f'PostgreSQL, {workers} parallel workers vs 1 process':52} {RECORDS / parallel:14,.0f} "
          f"{RECORDS / serial:14,.0f} {serial / parallel:6.2f}   rows/s")
    print(f"{'(the scan and count(c) alone, 1 process with workers)':52} {RECORDS / scan:14,.0f}")


if __name__ == "__main__":
    main(*sys.argv[1:4])
