"""Prints where this interpreter looks for packages under an install prefix, relative to it:
Debian's dist-packages for /usr (deb_system) and /usr/local (posix_local), the interpreter's own
platlib layout (posix_prefix) for any other prefix.

    install_dir.py PREFIX
"""
import os
import sys
import sysconfig

prefix = os.path.normpath(sys.argv[1])
schemes = sysconfig.get_scheme_names()
if prefix == "/usr" and "deb_system" in schemes:
    path = sysconfig.get_path("platlib", "deb_system", vars={"platbase": "/usr", "base": "/usr"})
elif prefix == "/usr/local" and "posix_local" in schemes:
    path = sysconfig.get_path("platlib", "posix_local", vars={"platbase": "/usr", "base": "/usr"})
else:
    path = sysconfig.get_path("platlib", "posix_prefix", vars={"platbase": prefix, "base": prefix})
print(os.path.relpath(path, prefix))
