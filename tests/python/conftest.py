"""Shared settings of the Python and SQL tests: where the data files, the tool and the SQLite
extension are (CTest passes them in the environment)."""
import os
import pathlib

import pytest

DATA = pathlib.Path(os.environ.get("ANSICRYPT_TEST_DATA", pathlib.Path(__file__).parents[1] / "data"))


def read_records(name):
    """The records of a test-vector file: blank-line separated 'Key = value' lines."""
    records, record = [], {}
    for line in (DATA / name).read_text().splitlines():
        line = line.strip()
        if line.startswith("#") or line.startswith("["):
            continue
        if not line:
            if record:
                records.append(record)
            record = {}
            continue
        key, _, value = line.partition("=")
        record[key.strip()] = value.strip()
    if record:
        records.append(record)
    return records


@pytest.fixture
def tool():
    path = os.environ.get("ANSICRYPT_CLI")
    if not path:
        pytest.skip("the tool was not built")
    return path


@pytest.fixture
def extension():
    path = os.environ.get("ANSICRYPT_SQLITE_EXTENSION")
    if not path:
        pytest.skip("the SQLite extension was not built")
    return path
