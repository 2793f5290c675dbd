"""The Dask example on a local cluster of two worker processes (real processes that import the
module): 200,000 rows in 8 partitions decrypted, every row compared with the tool's decrypt."""
import csv
import os
import pathlib
import random
import subprocess
import sys

import ansicrypt

EXAMPLE = pathlib.Path(__file__).parents[2] / "examples" / "dask_migrate.py"
KEY = "cl\u00e9 de migration"
ROWS, PARTITIONS = 200_000, 8


def write_table(folder):
    rng = random.Random(11)
    alphabet = "abcdefghij XYZ\u00e9\u00fc\u00c6\u20ac,\"'"
    names = ["".join(rng.choice(alphabet) for _ in range(rng.randint(1, 24))) for _ in range(ROWS)]
    hexes = ansicrypt.encrypt_des_str_to_hex_many(names, KEY)
    for part in range(PARTITIONS):
        with open(folder / f"legacy-{part}.csv", "w", newline="", encoding="utf-8") as f:
            writer = csv.writer(f)
            writer.writerow(["id", "name", "note"])
            for i in range(part * ROWS // PARTITIONS, (part + 1) * ROWS // PARTITIONS):
                writer.writerow([i, hexes[i], "" if i % 10 == 0 else f"note, \"{i}\""])
    return hexes


def test_dask_example_matches_the_tool(tmp_path, tool):
    hexes = write_table(tmp_path)
    out = tmp_path / "out"
    run = subprocess.run([sys.executable, str(EXAMPLE), "--input", str(tmp_path / "legacy-*.csv"),
                          "--column", "name", "--operation", "decrypt", "--key", KEY,
                          "--output", str(out), "--workers", "2"],
                         capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr
    decrypted = subprocess.run([tool, "decrypt", "--key", KEY], input="\n".join(hexes) + "\n",
                               capture_output=True, text=True, check=True).stdout.split("\n")[:-1]
    assert len(decrypted) == ROWS
    files = sorted(out.glob("part-*.csv"), key=lambda p: int(p.stem.split("-")[1]))
    assert len(files) == PARTITIONS
    rows = []
    for path in files:
        with open(path, newline="", encoding="utf-8") as f:
            reader = csv.reader(f)
            assert next(reader) == ["id", "name", "note"]
            rows.extend(reader)
    assert [int(r[0]) for r in rows] == list(range(ROWS))
    assert [r[1] for r in rows] == decrypted
    assert [r[2] for r in rows] == ["" if i % 10 == 0 else f"note, \"{i}\"" for i in range(ROWS)]


def test_dask_example_refuses_a_missing_key(tmp_path):
    run = subprocess.run([sys.executable, str(EXAMPLE), "--input", "x", "--column", "c",
                          "--operation", "decrypt", "--output", str(tmp_path)],
                         capture_output=True, text=True)
    assert run.returncode == 2 and "--key" in run.stderr


def run_example(tmp_path, *arguments):
    return subprocess.run([sys.executable, str(EXAMPLE), "--input", str(tmp_path / "in-*.csv"),
                           "--output", str(tmp_path / "out"), "--workers", "1", *arguments],
                          capture_output=True, text=True, timeout=600)


def test_any_character_survives_and_a_bad_value_writes_nothing(tmp_path):
    texts = ["x\rb", "ab\r", "q\"r,s", "n\nl", "", "caf\u00e9"]
    encoded = ansicrypt.encode_base64_str_to_str_many(texts)
    for part in range(2):
        with open(tmp_path / f"in-{part}.csv", "w", newline="", encoding="utf-8") as f:
            writer = csv.writer(f)
            writer.writerow(["k", "v"])
            writer.writerows([part, value] for value in encoded)
    run = run_example(tmp_path, "--column", "v", "--operation", "decode")
    assert run.returncode == 0, run.stderr
    for part in range(2):
        with open(tmp_path / "out" / f"part-{part}.csv", newline="", encoding="utf-8") as f:
            assert list(csv.reader(f)) == [["k", "v"]] + [[str(part), text] for text in texts]
    # A bad value in the second file: the run stops, names the file and the record, and adds no
    # file to the output folder.
    (tmp_path / "out" / "part-0.csv").unlink()
    (tmp_path / "out" / "part-1.csv").unlink()
    with open(tmp_path / "in-1.csv", "a", newline="", encoding="utf-8") as f:
        csv.writer(f).writerow(["1", "Zm9v!AAA"])
    run = run_example(tmp_path, "--column", "v", "--operation", "decode")
    assert run.returncode == 1
    assert f"{tmp_path / 'in-1.csv'}: record 7 after the header: value 6: overflow (error 6)" in run.stderr
    assert os.listdir(tmp_path / "out") == []
    # Existing part files are not replaced.
    (tmp_path / "out" / "part-0.csv").write_text("kept")
    run = run_example(tmp_path, "--column", "v", "--operation", "decode", "--errors", "null")
    assert run.returncode == 1 and "holds part-*.csv files already" in run.stderr
    assert (tmp_path / "out" / "part-0.csv").read_text() == "kept"


def test_names_that_read_as_patterns_are_refused(tmp_path):
    (tmp_path / "in-[1].csv").write_text("v\nQQ==\n")
    (tmp_path / "in-1.csv").write_text("v\nQg==\n")
    run = run_example(tmp_path, "--column", "v", "--operation", "decode")
    assert run.returncode == 1 and "would be read as a pattern" in run.stderr
    assert not (tmp_path / "out").exists()
