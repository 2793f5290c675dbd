"""The SQLite extension and the Python module in one process: neither sees a setting of the other,
so that an index over an SQL function stays whole whatever the Python code sets; and each shared
object exports its entry point alone."""
import os
import sqlite3
import subprocess
import sys
import textwrap

import pytest


def exported_symbols(path):
    listing = subprocess.run(["nm", "-D", "--defined-only", path], capture_output=True, text=True,
                             check=True).stdout
    return sorted(line.split()[-1] for line in listing.splitlines() if line.strip())


def test_each_shared_object_exports_its_entry_point_alone(extension):
    import ansicrypt._ansicrypt as compiled
    assert exported_symbols(compiled.__file__) == ["PyInit__ansicrypt"]
    assert exported_symbols(extension) == ["sqlite3_ansicrypt_init"]


# Run in a process of its own: the extension must be loaded before the module is imported, with
# the RTLD_GLOBAL that SQLite uses, for the module to have bound to the extension's copy of the
# library before the fix.
SCENARIO = textwrap.dedent("""
    import sqlite3, sys
    db = sqlite3.connect(":memory:")
    db.enable_load_extension(True)
    db.load_extension(sys.argv[1])
    import ansicrypt
    db.execute("CREATE TABLE t (x TEXT)")
    db.execute("CREATE INDEX i ON t (ansi_md5(x))")
    db.execute("INSERT INTO t VALUES ('caf\\u00e9')")
    ansicrypt.set_ansi_code_page(65001)
    with ansicrypt.code_page(936), ansicrypt.best_fit(True):
        db.execute("INSERT INTO t VALUES ('na\\u00efve')")
        inside = db.execute("SELECT ansi_md5('\\u00e9')").fetchone()[0]
    outside = db.execute("SELECT ansi_md5('\\u00e9')").fetchone()[0]
    print(db.execute("PRAGMA integrity_check").fetchone()[0])
    print(inside == outside)
    print(db.execute("SELECT count(*) FROM t WHERE ansi_md5(x) = ansi_md5('na\\u00efve')").fetchone()[0])
    print(outside)
""")


def test_python_settings_never_reach_sql(extension):
    run = subprocess.run([sys.executable, "-c", SCENARIO, extension], capture_output=True, text=True,
                         env=dict(os.environ), check=True)
    integrity, same, found, digest = run.stdout.split()
    assert integrity == "ok"
    assert same == "True"
    assert found == "1"
    # 1252: E9, whatever Python selected.
    import hashlib
    assert digest == hashlib.md5(b"\xe9").hexdigest().upper()
