"""A server of the tests' own for the whole session, with the extension's functions created from
its SQL script and the module of the build tree in one database per encoding."""
import os

import pytest

from pg_server import Server, load_extension

ENCODINGS = {"UTF8": "postgres", "WIN1252": "win1252", "LATIN1": "latin1", "SQL_ASCII": "sqlascii"}


@pytest.fixture(scope="session")
def server():
    module = os.environ.get("ANSICRYPT_POSTGRES_MODULE")
    script = os.environ.get("ANSICRYPT_POSTGRES_SCRIPT")
    if not module or not script:
        pytest.skip("the PostgreSQL extension was not built")
    with Server() as server:
        try:
            server.start()
        except RuntimeError as failure:
            pytest.fail(f"{failure}\n{server.log()}")
        if not server.readable(module):
            module = server.copy_in(module)
        admin = server.connect()
        for encoding, name in ENCODINGS.items():
            if name != "postgres":
                admin.cursor().execute(f"CREATE DATABASE {name} TEMPLATE template0 "
                                       f"ENCODING '{encoding}' LOCALE 'C'")
        admin.close()
        for name in ENCODINGS.values():
            connection = server.connect(name)
            load_extension(connection, script, module)
            connection.close()
        server.module = module
        yield server


@pytest.fixture
def db(server):
    connection = server.connect()
    yield connection
    connection.close()


def one(connection, sql, *args):
    with connection.cursor() as cursor:
        cursor.execute(sql, args)
        return cursor.fetchone()[0]
