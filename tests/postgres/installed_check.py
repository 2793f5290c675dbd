"""The installed package for real: CREATE EXTENSION ansicrypt on a server of the test's own, which
reads the control file, the SQL script and the module from the system's PostgreSQL folders."""
import sys

from pg_server import Server


def main():
    with Server() as server:
        server.start()
        connection = server.connect()
        with connection.cursor() as cursor:
            cursor.execute("CREATE EXTENSION ansicrypt")
            cursor.execute("SELECT extversion FROM pg_extension WHERE extname = 'ansicrypt'")
            version = cursor.fetchone()[0]
            cursor.execute("SELECT ansi_md5('abc'), "
                           "ansi_des_decrypt(ansi_des_encrypt('caf\u00e9', 'k'), 'k'), "
                           "encode(ansi_des_ecb('Now is t'::bytea, '\\x0123456789abcdef', true), 'hex')")
            row = cursor.fetchone()
            cursor.execute("DROP EXTENSION ansicrypt")
        connection.close()
    expected = ("900150983CD24FB0D6963F7D28E17F72", "caf\u00e9", "3fa40e8a984d4815")
    if version != sys.argv[1] or row != expected:
        sys.exit(f"installed extension {version}: {row}, expected {sys.argv[1]}: {expected}")


if __name__ == "__main__":
    main()
