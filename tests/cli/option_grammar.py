#!/usr/bin/env python3
"""The tool's option grammar against Python's getopt.gnu_getopt, an independent reading of getopt's
rules: random argument lists of options in every form, "--", "-", "=", empty values and repeated
options, run through `base64` and `encode`. Whatever getopt makes of a list, the tool does: the
same exit status, the same output, no operand taken as a value, no input file changed.

    option_grammar.py ANSICRYPT [TRIALS]
"""
import base64
import getopt
import os
import random
import subprocess
import sys
import tempfile

TOOL = sys.argv[1]
TRIALS = int(sys.argv[2]) if len(sys.argv) > 2 else 400
INPUTS = {"in1": b"TWFu", "in2": b"Zm9v"}  # both decode, so that -d never fails on them
STDIN = b"YWJj"

# Words an argument list is made of; every word may also stand where a value is taken.
BASE64_WORDS = ["-d", "--decode", "--deco", "-w", "-w3", "-w0", "--wrap", "--wrap=", "--wrap=2",
                "--wr=1", "-o", "-oout1", "--output", "--output=", "--output=out2", "--out=in2",
                "-do", "-dw2", "--", "--", "-", "", "in1", "in2", "out3", "4", "0", "-x",
                "--decode=1", "--help=1"]
ENCODE_WORDS = ["-z", "--zero", "-j", "-j2", "--jobs", "--jobs=", "--jobs=3", "--jo=1",
                "--keep-going", "--ansi", "--codepage", "--codepage=1252", "--codepage=",
                "--best-fit", "-zj2", "-jz", "--", "--", "-", "", "alpha", "2", "1252", "-y",
                "--keep", "--zero=", "-z=1"]


def fail(message):
    print("FAILED: " + message, file=sys.stderr)
    sys.exit(1)


def snapshot(folder):
    return {name: open(os.path.join(folder, name), "rb").read() for name in os.listdir(folder)}


def run(arguments, folder):
    return subprocess.run([TOOL] + arguments, cwd=folder, input=STDIN, capture_output=True)


def expected_base64(arguments, files):
    """(status, stdout, files after) as getopt's reading of `arguments` calls for."""
    try:
        options, operands = getopt.gnu_getopt(arguments, "dw:o:", ["decode", "wrap=", "output="])
    except getopt.GetoptError:
        return 2, None, files
    decode, wrap, out = False, 0, "-"
    for name, value in options:
        if name in ("-d", "--decode"):
            decode = True
        elif name in ("-w", "--wrap"):
            if not value.isdigit() or not value.isascii():
                return 2, None, files
            wrap = int(value)
        else:
            out = value
    if len(operands) > 1:
        return 2, None, files
    source = operands[0] if operands else "-"
    if source == "-":
        data = STDIN
    elif source in files:
        data = files[source]
    else:
        return 1, b"", files
    if out == "":
        return 1, b"", files
    if decode:
        result = base64.b64decode(data)
    else:
        result = base64.b64encode(data)
        if wrap:
            lines = [result[i:i + wrap] for i in range(0, len(result), wrap)]
            result = b"".join(line + b"\n" for line in lines)
    if out == "-":
        return 0, result, files
    after = dict(files)
    after[out] = result
    return 0, b"", after


def expected_encode(arguments, files):
    try:
        options, operands = getopt.gnu_getopt(
            arguments, "zj:", ["zero", "jobs=", "keep-going", "ansi", "codepage=", "best-fit"])
    except getopt.GetoptError:
        return 2, None, files
    end = b"\n"
    for name, value in options:
        if name in ("-z", "--zero"):
            end = b"\0"
        elif name in ("-j", "--jobs"):
            if not value.isdigit() or not value.isascii() or not 1 <= int(value) <= 256:
                return 2, None, files
        elif name == "--codepage" and value.lstrip("0") != "1252":
            return 2, None, files
    records = [r.encode() for r in operands] if operands else [STDIN]
    return 0, b"".join(base64.b64encode(r) + end for r in records), files


def main():
    rng = random.Random(int(os.environ.get("ANSICRYPT_GRAMMAR_SEED", "17")))
    checked = {0: 0, 1: 0, 2: 0}
    for trial in range(TRIALS):
        command, words, expect = (("base64", BASE64_WORDS, expected_base64) if trial % 2 == 0
                                  else ("encode", ENCODE_WORDS, expected_encode))
        arguments = [rng.choice(words) for _ in range(rng.randint(0, 6))]
        with tempfile.TemporaryDirectory() as folder:
            for name, content in INPUTS.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(content)
            before = snapshot(folder)
            status, stdout, files = expect(arguments, before)
            got = run([command] + arguments, folder)
            what = f"ansicrypt {command} {arguments!r}"
            if got.returncode != status:
                fail(f"{what}: exit status {got.returncode}, getopt's reading gives {status}; "
                     f"stderr: {got.stderr[:300]!r}")
            if stdout is not None and got.stdout != stdout:
                fail(f"{what}: output {got.stdout[:100]!r}, expected {stdout[:100]!r}")
            after = snapshot(folder)
            if after != files:
                fail(f"{what}: files {sorted(after)} / changed, expected {sorted(files)}")
            checked[status] += 1
    # The lists must reach every outcome, or the test says little.
    if min(checked.values()) < TRIALS // 20:
        fail(f"too few lists of some outcome: {checked}")
    print(f"{TRIALS} argument lists: {checked[0]} succeeded, {checked[1]} failed, "
          f"{checked[2]} were refused, each as getopt reads it")


main()
