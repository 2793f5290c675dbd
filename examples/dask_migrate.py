"""Migrates one column of a partitioned CSV table on a Dask cluster: decrypts, decodes or digests
every value with ansicrypt's batch calls, and writes one CSV per partition with the same header
and row order. Every worker must be able to import ansicrypt.

  python3 examples/dask_migrate.py --input 'legacy-*.csv' --column NAME \\
      --operation (decrypt|decode|digest) [--key KEY] [--code-page N] --output DIR \\
      [--scheduler tcp://host:8786] [--workers N] [--errors strict|null]

Without --scheduler it starts a cluster of --workers processes on this machine (one thread each).
Every field is read and written as text, exactly as it stands (an empty field stays empty).
"""
import argparse
import os
import sys

import dask.dataframe as dd
from dask.distributed import Client, LocalCluster, progress, wait

import ansicrypt


def convert_partition(frame, column, operation, key, code_page, errors):
    """The partition with `column` replaced by the batch call's results, in the same order."""
    values = frame[column].tolist()
    settings = {"code_page": code_page, "errors": errors}
    if operation == "decrypt":
        results = ansicrypt.decrypt_des_hex_to_str_many(values, key, **settings)
    elif operation == "decode":
        results = ansicrypt.decode_base64_str_to_str_many(values, **settings)
    else:
        results = ansicrypt.md5_string_calc_many(values, **settings)
    frame = frame.copy()
    # A value that failed under --errors null is written as an empty field.
    frame[column] = ["" if r is None else r for r in results]
    return frame


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--input", required=True, help="the CSV files (a glob pattern)")
    parser.add_argument("--column", required=True, help="the column to convert")
    parser.add_argument("--operation", required=True, choices=["decrypt", "decode", "digest"])
    parser.add_argument("--key", help="the key text (decrypt)")
    parser.add_argument("--code-page", type=int, default=1252, help="the ANSI code page (1252)")
    parser.add_argument("--output", required=True, help="the folder for the converted CSV files")
    parser.add_argument("--scheduler", help="the address of a running Dask scheduler")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster (default: one per core)")
    parser.add_argument("--errors", choices=["strict", "null"], default="strict",
                        help="strict: stop at a bad value; null: write it as an empty field")
    arguments = parser.parse_args(argv)
    if arguments.operation == "decrypt" and arguments.key is None:
        parser.error("--operation decrypt needs --key")
    if arguments.workers < 1:
        parser.error("--workers must be at least 1")
    return arguments


def migrate(arguments, client):
    # Every field as text, as it stands: no type guessing, no NaN for an empty field.
    table = dd.read_csv(arguments.input, dtype=str, keep_default_na=False, na_filter=False)
    if arguments.column not in table.columns:
        raise SystemExit(f"dask_migrate.py: no column {arguments.column!r} in {arguments.input}")
    converted = table.map_partitions(convert_partition, arguments.column, arguments.operation,
                                     arguments.key, arguments.code_page, arguments.errors,
                                     meta=table._meta)
    os.makedirs(arguments.output, exist_ok=True)
    writes = converted.to_csv(os.path.join(arguments.output, "part-*.csv"), index=False,
                              compute=False)
    futures = client.compute(writes)
    if sys.stderr.isatty():
        progress(futures)
    wait(futures)
    for future in futures:
        future.result()  # raises a worker's failure here
    return converted.npartitions


def main(argv=None):
    arguments = parse_arguments(argv)
    ansicrypt.MD5()  # fails early, here, when the module cannot be imported or loaded
    if arguments.scheduler:
        with Client(arguments.scheduler) as client:
            partitions = migrate(arguments, client)
    else:
        with LocalCluster(n_workers=arguments.workers, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            partitions = migrate(arguments, client)
    print(f"dask_migrate.py: {partitions} partitions written to {arguments.output}",
          file=sys.stderr)


if __name__ == "__main__":
    main()
