"""The PostgreSQL extension against a real server: known answers, the same results as the SQLite
extension, NULLs, every error with its SQLSTATE, databases of four encodings, an expression index
checked by amcheck, a parallel query, a table encrypted and decrypted in place, and cancel."""
import base64
import hashlib
import os
import random
import subprocess
import sqlite3

import psycopg2
import pytest

from conftest import ENCODINGS, one


def test_exports_only_what_the_server_calls(server):
    listing = subprocess.run(["nm", "-D", "--defined-only", server.module], capture_output=True,
                             text=True, check=True).stdout
    exported = sorted(line.split()[-1] for line in listing.splitlines())
    assert exported == sorted(os.environ["ANSICRYPT_POSTGRES_EXPORTS"].split())


def test_known_answers(db):
    assert one(db, "SELECT ansi_des_encrypt('Legacy data', 'my key')") == "0BF0E4FF5734797215E9255C29882BB1"
    assert one(db, "SELECT ansi_des_decrypt('0BF0E4FF5734797215E9255C29882BB1', 'my key')") == "Legacy data"
    assert one(db, "SELECT ansi_md5('abc')") == "900150983CD24FB0D6963F7D28E17F72"
    assert one(db, "SELECT ansi_base64_encode('foobar')") == "Zm9vYmFy"
    assert one(db, "SELECT ansi_base64_decode('Zm9vYmFy')") == "foobar"
    assert bytes(one(db, "SELECT ansi_base64_decode_blob('AP8=')")) == b"\x00\xff"
    assert one(db, "SELECT ansi_base64_encode('\\x00ff'::bytea)") == "AP8="  # a bytea as bytes
    # FIPS 81's example: "Now is t" under 0123456789ABCDEF.
    assert bytes(one(db, "SELECT ansi_des_ecb('Now is t'::bytea, '\\x0123456789abcdef', true)")) == \
        bytes.fromhex("3FA40E8A984D4815")


def test_code_pages_and_best_fit(db):
    assert one(db, "SELECT ansi_base64_encode('\u4e2d\u6587', 936)") == "1tDOxA=="
    assert one(db, "SELECT ansi_base64_decode('1tDOxA==', 936)") == "\u4e2d\u6587"
    assert one(db, "SELECT ansi_base64_encode('\u4e2d', 65001)") == "5Lit"
    assert one(db, "SELECT ansi_base64_encode('\u4e2d')") == "Pw=="  # "?" in 1252
    # Best fit maps U+0100 (A with macron) to "A" in 1252; without it the character is "?".
    assert one(db, "SELECT ansi_base64_encode('\u0100', 1252, true)") == "QQ=="
    assert one(db, "SELECT ansi_base64_encode('\u0100', 1252, false)") == "Pw=="
    hex_text = one(db, "SELECT ansi_des_encrypt('\u4e2d\u6587', 'k', 936)")
    assert one(db, "SELECT ansi_des_decrypt(%s, 'k', 936)", hex_text) == "\u4e2d\u6587"
    # A bytea is the text's bytes in the code page: the same answer as the text.
    assert one(db, "SELECT ansi_md5('\\xe9'::bytea)") == one(db, "SELECT ansi_md5('\u00e9')")
    assert one(db, "SELECT ansi_des_encrypt('\\x636166e9'::bytea, 'k'::bytea)") == \
        one(db, "SELECT ansi_des_encrypt('caf\u00e9', 'k')")


def test_byte_array_cipher(db):
    data, key = os.urandom(37), os.urandom(16)
    # Two-key triple DES is encrypt(key 1), decrypt(key 2), encrypt(key 1) of single DES.
    ede = one(db, "SELECT ansi_3des_ecb(%s, %s, true)", data, key)
    steps = one(db, "SELECT ansi_des_ecb(ansi_des_ecb(ansi_des_ecb(%s, %s, true, 1), %s, false, 2), %s, true, 1)",
                data, key, key, key)
    assert bytes(ede) == bytes(steps) and len(ede) == 40
    plain = bytes(one(db, "SELECT ansi_3des_ecb(%s, %s, false)", ede, key))
    assert plain == data + bytes(3)  # the zero fill stays
    assert bytes(one(db, "SELECT ansi_des_ecb(ansi_des_ecb(%s, %s, true, 2), %s, false, 2)", data, key, key)) == \
        data + bytes(3)
    # Key 2 is bytes 8..15: a key of 8 bytes leaves it zero.
    assert bytes(one(db, "SELECT ansi_des_ecb(%s, %s, true, 2)", data, key[:8])) == \
        bytes(one(db, "SELECT ansi_des_ecb(%s, %s, true, 1)", data, bytes(8)))


def test_same_results_as_the_sqlite_extension(db):
    path = os.environ.get("ANSICRYPT_SQLITE_EXTENSION")
    if not path:
        pytest.skip("the SQLite extension was not built")
    lite = sqlite3.connect(":memory:")
    lite.enable_load_extension(True)
    lite.load_extension(path)
    rng = random.Random(19)
    alphabet = "abcXYZ 09\u00e9\u00fc\u20ac\u4e2d\u6587\u0100\uac00\u3042\U0001F600"
    for _ in range(300):
        text = "".join(rng.choice(alphabet) for _ in range(rng.randint(1, 40)))
        page = rng.choice([1252, 1250, 932, 936, 949, 950, 65001])
        fit = rng.choice([0, 1])
        for sql in ("ansi_des_encrypt(?, 'key \u00e9', ?, ?)", "ansi_md5(?, ?, ?)",
                    "ansi_base64_encode(?, ?, ?)"):
            expected = lite.execute("SELECT " + sql, (text, page, fit)).fetchone()[0]
            pg_sql = sql.replace("?", "%s")
            assert one(db, "SELECT " + pg_sql, text, page, bool(fit)) == expected, (sql, text, page)
        encrypted = lite.execute("SELECT ansi_des_encrypt(?, 'k', ?)", (text, page)).fetchone()[0]
        assert one(db, "SELECT ansi_des_decrypt(%s, 'k', %s)", encrypted, page) == \
            lite.execute("SELECT ansi_des_decrypt(?, 'k', ?)", (encrypted, page)).fetchone()[0]
        encoded = lite.execute("SELECT ansi_base64_encode(?, ?)", (text, page)).fetchone()[0]
        assert one(db, "SELECT ansi_base64_decode(%s, %s)", encoded, page) == \
            lite.execute("SELECT ansi_base64_decode(?, ?)", (encoded, page)).fetchone()[0]


@pytest.mark.parametrize("sql", [
    "ansi_des_encrypt(NULL, 'k')", "ansi_des_encrypt('x', NULL)", "ansi_des_decrypt(NULL, 'k', 936)",
    "ansi_md5(NULL)", "ansi_md5('x', NULL)", "ansi_md5('x', 1252, NULL)", "ansi_base64_encode(NULL::bytea)",
    "ansi_base64_decode(NULL)", "ansi_base64_decode_blob(NULL)", "ansi_des_ecb(NULL, '\\x00', true)",
    "ansi_3des_ecb('\\x00', '\\x00', NULL)"])
def test_null_gives_null(db, sql):
    assert one(db, "SELECT " + sql) is None


@pytest.mark.parametrize(
    "sql, message",
    [
        ("ansi_des_decrypt('zz', 'k')", "ansi_des_decrypt: type mismatch (error 13)"),
        ("ansi_des_decrypt(repeat('0', 40000), 'k')", "ansi_des_decrypt: overflow (error 6)"),
        ("ansi_des_decrypt(repeat('0', 40000) || 'x', 'k')", "ansi_des_decrypt: overflow (error 6)"),
        ("ansi_des_decrypt('x' || repeat('0', 40000), 'k')", "ansi_des_decrypt: type mismatch (error 13)"),
        ("ansi_des_encrypt('', 'k')", "ansi_des_encrypt: subscript out of range (error 9)"),
        ("ansi_des_encrypt(repeat('a', 32761), 'k')", "ansi_des_encrypt: overflow (error 6)"),
        ("ansi_md5(repeat('a', 32768))", "ansi_md5: overflow (error 6)"),
        ("ansi_base64_decode('Zg')", "ansi_base64_decode: invalid argument (error 5)"),
        ("ansi_base64_decode_blob('Zm9v!AAA')", "ansi_base64_decode_blob: overflow (error 6)"),
        ("ansi_md5('x', 437)", "ansi_md5: invalid argument (error 5)"),
        ("ansi_md5('x', -1)", "ansi_md5: invalid argument (error 5)"),
        # The settings are checked first, even where nothing goes through the code page.
        ("ansi_base64_encode('\\x41'::bytea, 437)", "ansi_base64_encode: invalid argument (error 5)"),
        ("ansi_base64_decode('Zm9v!AAA'::bytea, 437)", "ansi_base64_decode: invalid argument (error 5)"),
        ("ansi_md5('\\x41'::bytea, 437)", "ansi_md5: invalid argument (error 5)"),
        ("ansi_des_ecb('', '\\x00', true)", "ansi_des_ecb: subscript out of range (error 9)"),
        ("ansi_des_ecb(decode(repeat('00', 32761), 'hex'), '\\x00', true)", "ansi_des_ecb: overflow (error 6)"),
        ("ansi_des_ecb('\\x00', '\\x00', true, 3)", "ansi_des_ecb: invalid argument (error 5)"),
        ("ansi_3des_ecb('', '\\x00', false)", "ansi_3des_ecb: subscript out of range (error 9)"),
    ],
)
def test_errors_abort_with_22023_and_the_legacy_number(db, sql, message):
    with pytest.raises(psycopg2.Error) as failure:
        one(db, "SELECT " + sql)
    assert failure.value.pgcode == "22023"
    assert failure.value.pgerror.splitlines()[0] == "ERROR:  " + message


def test_a_text_result_cannot_hold_nul(db):
    with pytest.raises(psycopg2.Error, match="U\\+0000") as failure:
        one(db, "SELECT ansi_base64_decode('AP8=')")
    assert failure.value.pgcode == "22P05"


@pytest.mark.parametrize("encoding", ["WIN1252", "LATIN1"])
def test_single_byte_databases_give_the_same_answers(server, encoding):
    utf8 = server.connect()
    other = server.connect(ENCODINGS[encoding])
    try:
        texts = ["caf\u00e9", "\u00fcber \u00c6\u00d8\u00c5", "plain"]
        if encoding == "WIN1252":
            texts.append("\u20ac 5")
        for text in texts:
            for sql in ("ansi_md5(%s)", "ansi_des_encrypt(%s, 'cl\u00e9')", "ansi_base64_encode(%s)",
                        "ansi_md5(%s, 1250)"):
                assert one(other, "SELECT " + sql, text) == one(utf8, "SELECT " + sql, text)
            hex_text = one(utf8, "SELECT ansi_des_encrypt(%s, 'k')", text)
            assert one(other, "SELECT ansi_des_decrypt(%s, 'k')", hex_text) == text
            assert one(other, "SELECT ansi_base64_decode(ansi_base64_encode(%s))", text) == text
        # A result the database's encoding cannot hold is refused by the server's conversion.
        hex_text = one(utf8, "SELECT ansi_des_encrypt('\u4e2d', 'k', 936)")
        with pytest.raises(psycopg2.Error) as failure:
            one(other, "SELECT ansi_des_decrypt(%s, 'k', 936)", hex_text)
        assert failure.value.pgcode == "22P05"
        assert "ansi_des_decrypt: converting between the database's encoding and UTF-8" in \
            failure.value.diag.context
    finally:
        utf8.close()
        other.close()


def test_sql_ascii_refuses_non_ascii(server):
    connection = server.connect("sqlascii")
    try:
        assert one(connection, "SELECT ansi_md5('abc')") == "900150983CD24FB0D6963F7D28E17F72"
        # Bytes pass as they are, and a stored text passes as its bytes.
        digest = hashlib.md5(b"\xe9").hexdigest().upper()
        assert one(connection, "SELECT ansi_md5('\\xe9'::bytea)") == digest
        assert one(connection, "SELECT ansi_md5(convert_to(convert_from('\\xe9', 'SQL_ASCII'), "
                               "'SQL_ASCII'))") == digest
        with pytest.raises(psycopg2.Error, match="SQL_ASCII") as failure:
            one(connection, "SELECT ansi_md5(convert_from('\\xc3a9', 'SQL_ASCII'))")
        assert failure.value.pgcode == "22021"
        hex_text = one(connection, "SELECT ansi_des_encrypt('\\xe9'::bytea, 'k')")
        with pytest.raises(psycopg2.Error, match="SQL_ASCII"):
            one(connection, "SELECT ansi_des_decrypt(%s, 'k')", hex_text)
    finally:
        connection.close()


def test_expression_index_passes_amcheck(db):
    with db.cursor() as cursor:
        cursor.execute("CREATE EXTENSION IF NOT EXISTS amcheck")
        cursor.execute("CREATE TABLE indexed (id int, name text)")
        cursor.execute("INSERT INTO indexed SELECT i, 'caf\u00e9 ' || i FROM generate_series(1, 5000) i")
        cursor.execute("CREATE INDEX indexed_md5 ON indexed (ansi_md5(name))")
        cursor.execute("INSERT INTO indexed SELECT i, 'caf\u00e9 ' || i FROM generate_series(5001, 6000) i")
        cursor.execute("SELECT bt_index_check('indexed_md5', true)")
        cursor.execute("SET enable_seqscan = off")
        digest = one(db, "SELECT ansi_md5('caf\u00e9 5500')")
        cursor.execute("EXPLAIN SELECT id FROM indexed WHERE ansi_md5(name) = %s", (digest,))
        assert "indexed_md5" in "".join(row[0] for row in cursor.fetchall())
        assert one(db, "SELECT id FROM indexed WHERE ansi_md5(name) = %s", digest) == 5500
        cursor.execute("DROP TABLE indexed")


def test_parallel_query_uses_workers(db):
    with db.cursor() as cursor:
        cursor.execute("CREATE TABLE par AS SELECT i, ansi_des_encrypt('row ' || i, 'k') AS c "
                       "FROM generate_series(1, 20000) i")
        cursor.execute("ANALYZE par")
        serial = one(db, "SELECT string_agg(ansi_des_decrypt(c, 'k'), ',' ORDER BY i) FROM par")
        for setting in ("max_parallel_workers_per_gather = 2", "parallel_setup_cost = 0",
                        "parallel_tuple_cost = 0", "min_parallel_table_scan_size = 0"):
            cursor.execute("SET " + setting)
        query = "SELECT count(*) FROM par WHERE ansi_des_decrypt(c, 'k') LIKE 'row %%5'"
        cursor.execute("EXPLAIN (ANALYZE, FORMAT JSON) " + query)
        plan = cursor.fetchone()[0][0]["Plan"]
        assert plan_workers(plan) >= 1, plan
        assert one(db, query) == sum(1 for i in range(1, 20001) if str(i).endswith("5"))
        assert serial == ",".join(f"row {i}" for i in range(1, 20001))
        cursor.execute("DROP TABLE par")
        cursor.execute("RESET ALL")


def plan_workers(plan):
    return max([plan.get("Workers Launched", 0)] + [plan_workers(p) for p in plan.get("Plans", [])])


def test_table_encrypted_and_decrypted_in_place(db):
    rows = [(i, f"row {i} caf\u00e9 {i * 7919 % 100003}") for i in range(100000)]
    with db.cursor() as cursor:
        cursor.execute("CREATE TABLE t (id int PRIMARY KEY, c text)")
        cursor.execute("INSERT INTO t SELECT i, 'row ' || i || ' caf\u00e9 ' || (i * 7919 % 100003) "
                       "FROM generate_series(0, 99999) i")
        cursor.execute("UPDATE t SET c = ansi_des_encrypt(c, 'migration key')")
        assert one(db, "SELECT count(*) FROM t WHERE c ~ '[^0-9A-F]'") == 0
        cursor.execute("UPDATE t SET c = ansi_des_decrypt(c, 'migration key')")
        cursor.execute("SELECT id, c FROM t ORDER BY id")
        assert cursor.fetchall() == rows
        # A bad value aborts the whole statement: no row changes.
        cursor.execute("UPDATE t SET c = 'not hex' WHERE id = 500")
        with pytest.raises(psycopg2.Error, match="type mismatch"):
            cursor.execute("UPDATE t SET c = ansi_des_decrypt(c, 'k')")
        assert one(db, "SELECT count(*) FROM t WHERE c = 'row 7 caf\u00e9 55433'") == 1
        cursor.execute("DROP TABLE t")


def test_long_base64_in_pieces_equals_one_call(db):
    # 5 MiB and 7 bytes: two pieces each way, the second short.
    data = random.Random(5).randbytes(5 * 1024 * 1024 + 7)
    encoded = one(db, "SELECT ansi_base64_encode(%s)", data)
    assert encoded == base64.b64encode(data).decode()
    assert bytes(one(db, "SELECT ansi_base64_decode_blob(%s)", encoded)) == data
    # A pad at the end of the first piece is an error of the whole text, as in one call.
    with pytest.raises(psycopg2.Error, match="overflow \\(error 6\\)"):
        one(db, "SELECT ansi_base64_decode_blob(%s)", "QQ==" * (1 << 20) + "QUJD")
    # The legacy decoder's errors come first, wherever they are: a code above "z" in the second
    # piece before a misplaced pad in the first.
    bad = "QQ=A" + "QUJD" * ((1 << 20) - 1) + "QUJD" * 10 + "{AAA"
    with pytest.raises(psycopg2.Error, match="subscript out of range \\(error 9\\)"):
        one(db, "SELECT ansi_base64_decode_blob(%s)", bad)


def test_cancel_stops_a_long_call(db):
    with db.cursor() as cursor:
        # 256 MiB of Base64 text: decoding takes far longer than the timeout.
        cursor.execute("SET statement_timeout = '200ms'")
        with pytest.raises(psycopg2.Error) as failure:
            cursor.execute("SELECT length(ansi_base64_decode_blob(convert_to(repeat('QUJD', 64 << 20), 'UTF8')))")
        assert failure.value.pgcode == "57014"  # query_canceled
        cursor.execute("RESET statement_timeout")
        assert one(db, "SELECT ansi_md5('abc')") == "900150983CD24FB0D6963F7D28E17F72"


def test_keys_and_code_pages_that_change_from_row_to_row(db):
    # The keyed object kept between rows serves only rows with the same key and settings.
    rows = []
    for i in range(300):
        # Runs of rows with one key under changing code pages, then the next key.
        key = ["k", "key \u00e9", "key \u00e9 longer than nine", "key \u00e9 longer than NINE", "\u4e2d\u6587"][i // 4 % 5]
        page = [1252, 936, 1252, 65001][i % 4]
        rows.append((i, f"row {i} \u00e9\u4e2d", key, page))
    with db.cursor() as cursor:
        cursor.execute("CREATE TEMP TABLE keyed (i int, plain text, key text, page int)")
        cursor.executemany("INSERT INTO keyed VALUES (%s, %s, %s, %s)", rows)
        cursor.execute("SELECT i, ansi_des_encrypt(plain, key, page), ansi_des_encrypt(plain, key::bytea, page) "
                       "FROM keyed ORDER BY i")
        encrypted = cursor.fetchall()
        for (i, plain, key, page), (_, hex_text, hex_bytes) in zip(rows, encrypted):
            assert hex_text == one(db, "SELECT ansi_des_encrypt(%s, %s, %s)", plain, key, page), i
            assert hex_bytes == one(db, "SELECT ansi_des_encrypt(%s, %s::bytea, %s)", plain, key, page), i
        cursor.execute("ALTER TABLE keyed ADD COLUMN hex text")
        cursor.executemany("UPDATE keyed SET hex = %s WHERE i = %s", [(h, i) for i, h, _ in encrypted])
        cursor.execute("SELECT i, ansi_des_decrypt(hex, key, page) FROM keyed ORDER BY i")
        for (i, plain, key, page), (_, decrypted) in zip(rows, cursor.fetchall()):
            assert decrypted == one(db, "SELECT ansi_des_decrypt(%s, %s, %s)", encrypted[i][1], key, page), i
