"""The SQLite extension through Python's sqlite3 module and through the sqlite3 shell: known
answers, NULLs, code pages, errors that abort the statement, and a table encrypted and decrypted in
place."""
import os
import shutil
import sqlite3
import subprocess
import sys

import pytest


@pytest.fixture
def db(extension):
    connection = sqlite3.connect(":memory:")
    connection.enable_load_extension(True)
    connection.load_extension(extension)
    yield connection
    connection.close()


def one(db, sql, *args):
    return db.execute(sql, args).fetchone()[0]


def test_known_answers(db):
    assert one(db, "SELECT ansi_des_encrypt('Legacy data', 'my key')") == "0BF0E4FF5734797215E9255C29882BB1"
    assert one(db, "SELECT ansi_des_decrypt('0BF0E4FF5734797215E9255C29882BB1', 'my key')") == "Legacy data"
    assert one(db, "SELECT ansi_md5('abc')") == "900150983CD24FB0D6963F7D28E17F72"
    assert one(db, "SELECT ansi_base64_encode('foobar')") == "Zm9vYmFy"
    assert one(db, "SELECT ansi_base64_decode('Zm9vYmFy')") == "foobar"
    assert one(db, "SELECT ansi_base64_decode_blob('AP8=')") == b"\x00\xff"
    assert one(db, "SELECT ansi_base64_encode(x'00ff')") == "AP8="  # a BLOB as bytes


def test_code_pages(db):
    assert one(db, "SELECT ansi_base64_encode('\u4e2d\u6587', 936)") == "1tDOxA=="
    assert one(db, "SELECT ansi_base64_decode('1tDOxA==', 936)") == "\u4e2d\u6587"
    assert one(db, "SELECT ansi_base64_encode('\u4e2d', 65001)") == "5Lit"
    assert one(db, "SELECT ansi_base64_encode('\u4e2d')") == "Pw=="  # "?" in 1252
    hex_text = one(db, "SELECT ansi_des_encrypt('\u4e2d\u6587', 'k', 936)")
    assert one(db, "SELECT ansi_des_decrypt(?, 'k', 936)", hex_text) == "\u4e2d\u6587"
    assert one(db, "SELECT ansi_md5('\u4e2d', 936)") == one(db, "SELECT ansi_md5(?)", "\u00d6\u00d0")


def test_null_gives_null(db):
    for sql in ("ansi_des_encrypt(NULL, 'k')", "ansi_des_encrypt('x', NULL)", "ansi_des_decrypt(NULL, 'k', 936)",
                "ansi_md5(NULL)", "ansi_base64_encode(NULL)", "ansi_base64_decode(NULL)",
                "ansi_base64_decode_blob(NULL)", "ansi_md5('x', NULL)"):
        assert one(db, "SELECT " + sql) is None, sql


@pytest.mark.parametrize(
    "sql, message",
    [
        ("ansi_des_decrypt('zz', 'k')", "ansi_des_decrypt: type mismatch (error 13)"),
        ("ansi_des_encrypt('', 'k')", "ansi_des_encrypt: subscript out of range (error 9)"),
        ("ansi_base64_decode('Zg')", "ansi_base64_decode: invalid argument (error 5)"),
        ("ansi_base64_decode_blob('Zm9v!AAA')", "ansi_base64_decode_blob: overflow (error 6)"),
        ("ansi_md5('x', 437)", "ansi_md5: invalid argument (error 5)"),
        ("ansi_md5('x', 'abc')", "ansi_md5: invalid argument (error 5)"),
    ],
)
def test_errors_abort_with_the_legacy_number(db, sql, message):
    with pytest.raises(sqlite3.OperationalError, match=message.replace("(", r"\(").replace(")", r"\)")):
        one(db, "SELECT " + sql)


def test_table_encrypted_and_decrypted_in_place(db):
    rows = [(i, f"row {i} caf\u00e9 {i * 7919 % 100003}") for i in range(100000)]
    db.execute("CREATE TABLE t (id INTEGER PRIMARY KEY, c TEXT)")
    db.executemany("INSERT INTO t VALUES (?, ?)", rows)
    db.execute("UPDATE t SET c = ansi_des_encrypt(c, 'migration key')")
    assert one(db, "SELECT count(*) FROM t WHERE c GLOB '*[^0-9A-F]*'") == 0
    db.execute("UPDATE t SET c = ansi_des_decrypt(c, 'migration key')")
    assert db.execute("SELECT id, c FROM t ORDER BY id").fetchall() == rows
    # A bad value aborts the whole statement: no row changes.
    db.execute("UPDATE t SET c = 'not hex' WHERE id = 500")
    with pytest.raises(sqlite3.OperationalError, match="type mismatch"):
        db.execute("UPDATE t SET c = ansi_des_decrypt(c, 'k')")
    assert one(db, "SELECT c FROM t WHERE id = 7") == rows[7][1]


def test_sqlite3_shell(extension, tmp_path):
    shell = shutil.which("sqlite3")
    if shell is None:
        pytest.skip("no sqlite3 shell")
    script = f"""
.load {extension}
CREATE TABLE t AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
  SELECT i AS id, 'value ' || i AS plain, NULL AS c FROM n;
UPDATE t SET c = ansi_des_encrypt(plain, 'k');
SELECT count(*) FROM t WHERE ansi_des_decrypt(c, 'k') = plain;
SELECT ansi_des_decrypt('zz', 'k');
"""
    run = subprocess.run([shell, str(tmp_path / "db")], input=script, capture_output=True, text=True)
    assert run.stdout.strip() == "100000"
    assert "ansi_des_decrypt: type mismatch (error 13)" in run.stderr


def test_blob_arguments_are_the_code_pages_bytes(db):
    # A BLOB is the text's ANSI bytes, used as they are; a TEXT is UTF-8, converted.
    import hashlib
    assert one(db, "SELECT ansi_md5(x'636166E9')") == hashlib.md5(b"caf\xe9").hexdigest().upper()
    assert one(db, "SELECT ansi_md5(x'636166E9')") == one(db, "SELECT ansi_md5('caf\u00e9')")
    assert one(db, "SELECT ansi_md5(x'81')") == hashlib.md5(b"\x81").hexdigest().upper()
    assert one(db, "SELECT ansi_des_encrypt(x'E9', 'k')") == one(db, "SELECT ansi_des_encrypt('\u00e9', 'k')")
    assert one(db, "SELECT ansi_des_encrypt('x', x'E9')") == one(db, "SELECT ansi_des_encrypt('x', '\u00e9')")
    assert one(db, "SELECT ansi_des_encrypt(x'D6D0', 'k')") == one(db, "SELECT ansi_des_encrypt('\u4e2d', 'k', 936)")
    assert one(db, "SELECT ansi_base64_encode(x'E9')") == "6Q=="
    hex_text = one(db, "SELECT ansi_des_encrypt(x'D6D0CEC4', 'k')")
    assert one(db, "SELECT ansi_des_decrypt(?, 'k', 936)", hex_text) == "\u4e2d\u6587"
    assert one(db, "SELECT ansi_des_decrypt(CAST(? AS BLOB), 'k', 936)", hex_text) == "\u4e2d\u6587"
    assert one(db, "SELECT ansi_base64_decode(CAST('1tDOxA==' AS BLOB), 936)") == "\u4e2d\u6587"


def test_results_depend_on_the_arguments_alone(db):
    # Without a code-page argument, 1252 and no best fit, whatever else is set.
    assert one(db, "SELECT ansi_base64_encode('\u0100')") == "Pw=="  # "?"
    assert one(db, "SELECT ansi_base64_encode('\u0100', 1252, 1)") == "QQ=="  # best fit: "A"
    assert one(db, "SELECT ansi_base64_encode('\u0100', 1252, 0)") == "Pw=="
    assert one(db, "SELECT ansi_md5('\u221e', 1252, 1)") == one(db, "SELECT ansi_md5('8')")
    hex_text = one(db, "SELECT ansi_des_encrypt('\u0100x', 'k', 1252, 1)")
    assert one(db, "SELECT ansi_des_decrypt(?, 'k', 1252, 1)", hex_text) == "Ax"
    for bad in ("2", "-1", "'yes'", "1.5"):
        with pytest.raises(sqlite3.OperationalError, match=r"invalid argument \(error 5\)"):
            one(db, f"SELECT ansi_md5('x', 1252, {bad})")
    for page in ("4294968548", "-1", "0"):
        with pytest.raises(sqlite3.OperationalError, match=r"invalid argument \(error 5\)"):
            one(db, f"SELECT ansi_md5('x', {page})")


def test_empty_results_are_empty_not_null(db):
    assert one(db, "SELECT ansi_base64_decode_blob('')") == b""
    assert one(db, "SELECT ansi_base64_encode(x'')") == ""
    assert one(db, "SELECT ansi_base64_decode('')") == ""
    db.execute("CREATE TABLE t (b BLOB NOT NULL)")
    db.execute("INSERT INTO t VALUES (ansi_base64_decode_blob(''))")


MEMORY = """
import resource, sqlite3, sys
db = sqlite3.connect(":memory:")
db.enable_load_extension(True)
db.load_extension(sys.argv[1])
n = 100_000_000
if sys.argv[2] == "encode":
    assert len(db.execute("SELECT ansi_base64_encode(zeroblob(?))", (n,)).fetchone()[0]) == n // 3 * 4 + 4
else:
    try:
        db.execute("SELECT ansi_md5(zeroblob(?))", (n,)).fetchone()
        sys.exit("no error")
    except sqlite3.OperationalError as e:
        assert "overflow (error 6)" in str(e), e
print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024)
"""


@pytest.mark.parametrize("kind, limit_mb", [("encode", 600), ("md5", 200)])
def test_memory_follows_the_result(extension, kind, limit_mb):
    if os.environ.get("ASAN_OPTIONS"):
        pytest.skip("AddressSanitizer's shadow memory hides the extension's own use")
    # 100 MB in: SQLite's blob, Python's copy of the result, and the result itself at most twice.
    run = subprocess.run([sys.executable, "-c", MEMORY, extension, kind], capture_output=True,
                         text=True, check=True)
    assert int(run.stdout) < limit_mb, run.stdout


def test_text_from_utf16_databases_and_text_that_is_not_utf8(tmp_path):
    # A UTF-16 database hands a lone surrogate over as three bytes: it is one character, as in
    # Python; bytes that are not UTF-8 in a TEXT are refused, not read as "?".
    import ansicrypt
    db = sqlite3.connect(tmp_path / "u16.db")
    db.enable_load_extension(True)
    db.load_extension(os.environ["ANSICRYPT_SQLITE_EXTENSION"])
    db.execute("PRAGMA encoding = 'UTF-16le'")
    db.execute("CREATE TABLE t (s TEXT)")
    db.execute("INSERT INTO t VALUES (CAST(x'41003dd8' AS TEXT))")  # 'A' + U+D83D
    assert one(db, "SELECT ansi_base64_encode(s) FROM t") == ansicrypt.encode_base64_str_to_str("A\ud83d")
    assert one(db, "SELECT ansi_base64_encode(s, 65001) FROM t") == "Qe+/vQ=="
    assert one(db, "SELECT ansi_md5(s) FROM t") == ansicrypt.MD5().string_calc("A\ud83d")
    assert one(db, "SELECT ansi_des_encrypt('x', s) FROM t") == ansicrypt.encrypt_des_str_to_hex("x", "A\ud83d")
    utf8 = sqlite3.connect(":memory:")
    utf8.enable_load_extension(True)
    utf8.load_extension(os.environ["ANSICRYPT_SQLITE_EXTENSION"])
    for sql in ("ansi_md5(CAST(x'636166e9' AS TEXT))", "ansi_des_encrypt('x', CAST(x'ff' AS TEXT))",
                "ansi_base64_decode(CAST(x'5157e9' AS TEXT))", "ansi_des_decrypt(CAST(x'c0' AS TEXT), 'k')"):
        with pytest.raises(sqlite3.OperationalError, match="not valid UTF-8"):
            one(utf8, "SELECT " + sql)


@pytest.mark.parametrize("text", ["QU\u00e9=", "\uff31\uff35\uff2a\uff24", "\U0001f600AA", "Zm9v", "QUJD"])
@pytest.mark.parametrize("best_fit", [0, 1])
def test_base64_decode_reads_the_texts_ansi_bytes(db, text, best_fit):
    # As the library's text form does: the Base64 text's bytes in the code page, best fit too.
    import ansicrypt
    try:
        want = ansicrypt.decode_base64_str_to_str(text, code_page=1252, best_fit=bool(best_fit))
    except ansicrypt.Error as e:
        with pytest.raises(sqlite3.OperationalError, match=rf"\(error {e.code}\)"):
            one(db, "SELECT ansi_base64_decode(?, 1252, ?)", text, best_fit)
    else:
        assert one(db, "SELECT ansi_base64_decode(?, 1252, ?)", text, best_fit) == want


@pytest.mark.parametrize("hex_text", ["X" + "0" * 100000, "\u00e9" * 50000, "0" * 32766 + "G" + "0" * 70000,
                                      "0" * 100000])
def test_long_hex_keeps_the_legacy_error(db, hex_text):
    import ansicrypt
    with pytest.raises(ansicrypt.Error) as caught:
        ansicrypt.decrypt_des_hex_to_str(hex_text, "k")
    with pytest.raises(sqlite3.OperationalError, match=rf"\(error {caught.value.code}\)"):
        one(db, "SELECT ansi_des_decrypt(?, 'k')", hex_text)


def test_oversized_blobs_are_refused_before_they_are_read(extension):
    if os.environ.get("ASAN_OPTIONS"):
        pytest.skip("AddressSanitizer's shadow memory hides the extension's own use")
    script = MEMORY.replace('sys.argv[2] == "encode"', "False").replace("n = 100_000_000", "n = 900_000_000")
    run = subprocess.run([sys.executable, "-c", script, extension, "md5"], capture_output=True,
                         text=True, check=True)
    assert int(run.stdout) < 100, run.stdout
