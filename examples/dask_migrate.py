"""Migrates one column of a partitioned CSV table on a Dask cluster: decrypts, decodes or digests
every value with ansicrypt's batch calls, and writes one CSV per partition with the same header
and row order. Every worker must be able to import ansicrypt.

  python3 examples/dask_migrate.py --input 'legacy-*.csv' --column NAME \\
      --operation (decrypt|decode|digest) [--key KEY] [--code-page N] --output DIR \\
      [--scheduler tcp://host:8786] [--workers N] [--errors strict|null]

Without --scheduler it starts a cluster of --workers processes on this machine (one thread each);
with it, the workers must see the input files and DIR at the same paths (a shared file system).
Each input file is one partition; its output is DIR/part-N.csv, N counting the files in name
order. Every field is read as text, exactly as it stands (an empty field is an empty text, not a
missing value), and written quoted, so that any character survives (a carriage return included).
A bad value stops the run (--errors strict, with the file and record named) and leaves DIR as it
was; with --errors null it is written as an empty field. DIR must not hold part-*.csv files yet,
and no input file's name may hold "*", "?" or "[" (the CSV reader would take it as a pattern).
"""
import argparse
import csv
import glob
import os
import shutil
import sys
import tempfile

import dask.dataframe as dd
from dask.distributed import Client, LocalCluster, progress, wait

import ansicrypt


class BadValue(Exception):
    """A value that the operation refused, with where it is."""


def convert_partition(frame, column, operation, key, code_page, errors, paths,
                      partition_info=None):
    """The partition with `column` replaced by the batch call's results, in the same order."""
    values = frame[column].tolist()
    settings = {"code_page": code_page, "errors": errors}
    try:
        if operation == "decrypt":
            results = ansicrypt.decrypt_des_hex_to_str_many(values, key, **settings)
        elif operation == "decode":
            results = ansicrypt.decode_base64_str_to_str_many(values, **settings)
        else:
            results = ansicrypt.md5_string_calc_many(values, **settings)
    except ansicrypt.Error as failure:
        where = paths[partition_info["number"]] if partition_info else "a partition"
        raise BadValue(f"{where}: record {failure.index + 1} after the header: "
                       f"{failure}") from None
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


def migrate(arguments, paths, client):
    # Every field as text, as it stands: no type guessing, no NaN for an empty field; one
    # partition per file.
    table = dd.read_csv(paths, dtype=str, keep_default_na=False, na_filter=False, blocksize=None)
    if arguments.column not in table.columns:
        raise SystemExit(f"dask_migrate.py: no column {arguments.column!r} in {arguments.input}")
    converted = table.map_partitions(convert_partition, arguments.column, arguments.operation,
                                     arguments.key, arguments.code_page, arguments.errors, paths,
                                     meta=table._meta)
    # Written beside DIR's files, then moved into DIR once every partition is written.
    staging = tempfile.mkdtemp(prefix=".dask_migrate-", dir=arguments.output)
    try:
        writes = converted.to_csv(os.path.join(staging, "part-*.csv"), index=False,
                                  quoting=csv.QUOTE_ALL, compute=False)
        futures = client.compute(writes)
        if sys.stderr.isatty():
            progress(futures)
        wait(futures)
        for future in futures:
            future.result()  # raises a worker's failure here
        for name in sorted(os.listdir(staging)):
            os.replace(os.path.join(staging, name), os.path.join(arguments.output, name))
    finally:
        shutil.rmtree(staging, ignore_errors=True)
    return converted.npartitions


def main(argv=None):
    arguments = parse_arguments(argv)
    ansicrypt.MD5()  # fails early, here, when the module cannot be imported or loaded
    paths = sorted(glob.glob(arguments.input))
    if not paths:
        raise SystemExit(f"dask_migrate.py: no file matches {arguments.input}")
    for path in paths:
        if any(c in path for c in "*?["):
            raise SystemExit(f"dask_migrate.py: {path}: a name with * ? or [ would be read as a "
                             "pattern; rename it")
    created = not os.path.exists(arguments.output)
    os.makedirs(arguments.output, exist_ok=True)
    if glob.glob(os.path.join(glob.escape(arguments.output), "part-*.csv")):
        raise SystemExit(f"dask_migrate.py: {arguments.output} holds part-*.csv files already")
    try:
        if arguments.scheduler:
            with Client(arguments.scheduler) as client:
                partitions = migrate(arguments, paths, client)
        else:
            with LocalCluster(n_workers=arguments.workers, threads_per_worker=1, processes=True,
                              dashboard_address=None) as cluster, Client(cluster) as client:
                partitions = migrate(arguments, paths, client)
    except BadValue as failure:
        if created:
            shutil.rmtree(arguments.output, ignore_errors=True)
        raise SystemExit(f"dask_migrate.py: {failure}; nothing was written") from None
    print(f"dask_migrate.py: {partitions} partitions written to {arguments.output}",
          file=sys.stderr)


if __name__ == "__main__":
    main()
