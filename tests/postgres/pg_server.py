"""A PostgreSQL server of the tests' own: initdb into a temporary folder, listening on a Unix
socket in that folder only (no TCP), stopped and removed whatever happens: by stop(), or, when the
test process is killed (a CTest timeout), by a watchdog process that waits for the test process's
end. The server refuses to run as root: under root it runs as the unprivileged user "nobody",
which owns the folder."""
import contextlib
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

import psycopg2


# Reads its standard input to the end, which comes when the test process ends however it ends,
# then stops the server and removes the folder (both done already after a clean stop).
_WATCHDOG = """
import shutil, subprocess, sys
sys.stdin.buffer.read()
subprocess.run(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
shutil.rmtree(sys.argv[1], ignore_errors=True)
"""


def _bindir():
    configured = os.environ.get("ANSICRYPT_PG_BINDIR")
    if configured:
        return configured
    return subprocess.run(["pg_config", "--bindir"], capture_output=True, text=True,
                          check=True).stdout.strip()


class Server:
    def __init__(self, bindir=None, user="nobody"):
        self.bindir = bindir or _bindir()
        self.as_root = os.geteuid() == 0
        self.user = user if self.as_root else pwd.getpwuid(os.geteuid()).pw_name
        self.folder = tempfile.mkdtemp(prefix="ansicrypt-pg-")
        self.data = os.path.join(self.folder, "data")
        self.started = False
        self.watchdog = None
        if self.as_root:
            entry = pwd.getpwnam(self.user)
            os.chown(self.folder, entry.pw_uid, entry.pw_gid)

    def argv(self, *command):
        argv = [os.path.join(self.bindir, command[0]), *command[1:]]
        if self.as_root:
            argv = ["runuser", "-u", self.user, "--", *argv]
        return argv

    def run(self, *command, env=None):
        """Runs a server program as the server's user; raises with its output when it fails."""
        argv = self.argv(*command)
        done = subprocess.run(argv, capture_output=True, text=True, cwd=self.folder, env=env)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed:\n{done.stdout}\n{done.stderr}")
        return done.stdout

    def readable(self, path):
        """Whether the server's user can read `path`."""
        if not self.as_root:
            return os.access(path, os.R_OK)
        return subprocess.run(["runuser", "-u", self.user, "--", "test", "-r", path]).returncode == 0

    def copy_in(self, path):
        """A copy of `path` in the server's folder, owned by the server's user."""
        target = os.path.join(self.folder, os.path.basename(path))
        shutil.copy(path, target)
        if self.as_root:
            entry = pwd.getpwnam(self.user)
            os.chown(target, entry.pw_uid, entry.pw_gid)
        return target

    def start(self, env=None):
        self.run("initdb", "-D", self.data, "-A", "trust", "-U", "postgres", "-E", "UTF8",
                 "--locale=C", "--no-sync")
        options = (f"-c listen_addresses='' -c unix_socket_directories='{self.folder}' "
                   "-c fsync=off -c max_worker_processes=8 -c max_parallel_workers=8")
        self.watchdog = subprocess.Popen(
            [sys.executable, "-c", _WATCHDOG, self.folder,
             *self.argv("pg_ctl", "stop", "-D", self.data, "-m", "immediate", "-w")],
            stdin=subprocess.PIPE, start_new_session=True)
        self.run("pg_ctl", "start", "-D", self.data, "-l", os.path.join(self.folder, "log"), "-w",
                 "-t", "60", "-o", options, env=env)
        self.started = True
        return self

    def log(self):
        with contextlib.suppress(OSError), open(os.path.join(self.folder, "log")) as f:
            return f.read()
        return ""

    def connect(self, dbname="postgres"):
        connection = psycopg2.connect(host=self.folder, dbname=dbname, user="postgres")
        connection.autocommit = True
        return connection

    def stop(self):
        try:
            if self.started:
                self.run("pg_ctl", "stop", "-D", self.data, "-m", "immediate", "-w")
        finally:
            self.started = False
            shutil.rmtree(self.folder, ignore_errors=True)
            if self.watchdog is not None:
                self.watchdog.stdin.close()
                self.watchdog.wait()
                self.watchdog = None

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        self.stop()


def load_extension(connection, script, module):
    """Creates the extension's functions from its SQL script with `module` as the module's path,
    without touching the system's PostgreSQL folders (CREATE EXTENSION would read them)."""
    with open(script) as f:
        sql = f.read()
    sql = "\n".join(line for line in sql.splitlines() if not line.startswith("\\echo"))
    sql = sql.replace("MODULE_PATHNAME", module.removesuffix(".so"))
    with connection.cursor() as cursor:
        cursor.execute(sql)
