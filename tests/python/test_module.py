"""The Python module against published answers, the library's limits and errors, the code pages,
and the tool."""
import array
from base64 import b64encode
import os
import random
import struct
import subprocess
import sys
import threading

import pytest

import ansicrypt
from conftest import read_records

FIPS81_KEY = bytes.fromhex("0123456789ABCDEF")
FIPS81_PLAIN = b"Now is the time for all "
FIPS81_CIPHER = bytes.fromhex("3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53")


def test_version_is_the_project_version():
    if "ANSICRYPT_VERSION" not in os.environ:
        pytest.skip("run outside CTest")
    assert ansicrypt.__version__ == os.environ["ANSICRYPT_VERSION"]


def test_des_fips81_example():
    des = ansicrypt.DES()
    des.set_key(FIPS81_KEY)
    assert des.encrypt_des(FIPS81_PLAIN) == FIPS81_CIPHER
    assert des.encrypt_des(FIPS81_CIPHER, direction=2) == FIPS81_PLAIN
    des.set_key2(FIPS81_KEY)
    assert des.encrypt_des(FIPS81_PLAIN, key_number=2) == FIPS81_CIPHER
    # Triple DES with key 2 equal to key 1 is single DES; the last block is zero-filled.
    assert des.encrypt_3des(b"Now") == des.encrypt_des(b"Now\0\0\0\0\0")
    assert len(des.encrypt_3des(b"Now")) == 8


def test_md5_rfc1321(tmp_path):
    md5 = ansicrypt.MD5()
    records = [r for r in read_records("pyca-rfc-1321.txt") if "MD" in r]
    assert len(records) == 7
    for r in records:
        message = bytes.fromhex(r["Msg"])[: int(r["Len"]) // 8]
        assert md5.string_calc(message.decode("ascii")) == r["MD"].upper()
        path = tmp_path / "message"
        path.write_bytes(message)
        assert md5.file_calc(path) == r["MD"].upper()
    # The registers are the digest's four little-endian words, signed.
    assert md5.string_calc("") == "D41D8CD98F00B204E9800998ECF8427E"
    assert md5.registers == struct.unpack("<4i", bytes.fromhex("D41D8CD98F00B204E9800998ECF8427E"))
    assert md5.registers[0] == -645128748


def test_base64_rfc4648_section10():
    records = read_records("rfc4648-section10.vec")
    assert len(records) == 7
    for r in records:
        binary = bytes.fromhex(r["Binary"])
        assert ansicrypt.encode_base64(binary) == r["Base64"].encode()
        assert ansicrypt.decode_base64(r["Base64"].encode()) == binary
        assert ansicrypt.encode_base64_str_to_str(binary.decode()) == r["Base64"]
        assert ansicrypt.decode_base64_str_to_str(r["Base64"]) == binary.decode()


@pytest.mark.parametrize(
    "call, code",
    [
        (lambda: ansicrypt.DES().encrypt_des(b""), 9),
        (lambda: ansicrypt.DES().encrypt_des(bytes(32761)), 6),
        (lambda: ansicrypt.DES().encrypt_3des(b"x", direction=4), 6),
        (lambda: ansicrypt.decode_base64(b"Zg"), 5),
        (lambda: ansicrypt.decode_base64(b"Zm9v!AAA"), 6),
        (lambda: ansicrypt.decode_base64(b"Zm9{"), 9),
        (lambda: ansicrypt.decrypt_des_hex_to_str("zz", "k"), 13),
        (lambda: ansicrypt.decrypt_des_hex_to_str("0" * 32767, "k"), 6),
        (lambda: ansicrypt.encrypt_des_str_to_hex("", "k"), 9),
        (lambda: ansicrypt.encrypt_des_str_to_hex("a" * 32761, "k"), 6),
        (lambda: ansicrypt.MD5().string_calc("a" * 32768), 6),
        (lambda: ansicrypt.set_ansi_code_page(437), 5),
        (lambda: ansicrypt.code_page(437).__enter__(), 5),
        (lambda: ansicrypt.encode_base64_str_to_str("x", code_page=1), 5),
    ],
)
def test_errors_carry_the_legacy_number(call, code):
    with pytest.raises(ansicrypt.Error) as caught:
        call()
    assert caught.value.code == code
    assert isinstance(caught.value, ValueError)
    assert str(caught.value).endswith(f"(error {code})")


def test_limits_are_inclusive():
    assert len(ansicrypt.DES().encrypt_des(bytes(32760))) == 32760
    assert len(ansicrypt.encrypt_des_str_to_hex("a" * 32760, "k")) == 65520
    assert len(ansicrypt.MD5().string_calc("a" * 32767)) == 32


@pytest.mark.parametrize("text", ["\U0001F600", "a\U00010348b\u00e9\U0001F600z", "\U0010FFFF" * 3])
def test_characters_beyond_the_bmp_come_back_whole(text):
    # Four bytes in UTF-8 (65001), a surrogate pair in the library's text: the module reads the
    # pair in the machine's byte order, big-endian ones too.
    encoded = ansicrypt.encode_base64_str_to_str(text, code_page=65001)
    assert encoded == b64encode(text.encode("utf-8")).decode("ascii")
    assert ansicrypt.decode_base64_str_to_str(encoded, code_page=65001) == text
    assert ansicrypt.decode_base64_str_to_str_many([encoded], code_page=65001) == [text]
    hex_text = ansicrypt.encrypt_des_str_to_hex(text, "key", code_page=65001)
    assert ansicrypt.decrypt_des_hex_to_str(hex_text, "key", code_page=65001) == text
    assert ansicrypt.decrypt_des_hex_to_str_many([hex_text], "key", code_page=65001) == [text]


@pytest.mark.parametrize(
    "page, text, base64",
    [(1252, "caf\u00e9", "Y2Fm6Q=="), (936, "\u4e2d\u6587", "1tDOxA=="), (65001, "\u4e2d", "5Lit"),
     (1252, "\u4e2d", "Pw==")],
)
def test_code_pages(page, text, base64):
    assert ansicrypt.encode_base64_str_to_str(text, code_page=page) == base64
    with ansicrypt.code_page(page):
        assert ansicrypt.ansi_code_page() == page
        assert ansicrypt.encode_base64_str_to_str(text) == base64
        hex_text = ansicrypt.encrypt_des_str_to_hex(text, "key")
        # A character the page lacks comes back as "?".
        assert ansicrypt.decrypt_des_hex_to_str(hex_text, "key") == (text if base64 != "Pw==" else "?")
    assert ansicrypt.ansi_code_page() == 1252


def test_code_page_block_restores_after_an_exception_and_nests():
    with pytest.raises(RuntimeError):
        with ansicrypt.code_page(936):
            with ansicrypt.code_page(65001):
                assert ansicrypt.ansi_code_page() == 65001
            assert ansicrypt.ansi_code_page() == 936
            raise RuntimeError
    assert ansicrypt.ansi_code_page() == 1252
    ansicrypt.set_ansi_code_page(1251)
    try:
        with ansicrypt.code_page(936):
            seen = []
            other = threading.Thread(target=lambda: seen.append(ansicrypt.ansi_code_page()))
            other.start()
            other.join()
            assert seen == [1251]  # another thread keeps the process-wide page
    finally:
        ansicrypt.set_ansi_code_page(1252)


def test_best_fit():
    assert ansicrypt.encode_base64_str_to_str("\u0100") == "Pw=="  # "?"
    with ansicrypt.best_fit(True):
        assert ansicrypt.ansi_best_fit()
        assert ansicrypt.encode_base64_str_to_str("\u0100") == "QQ=="  # "A"
    assert not ansicrypt.ansi_best_fit()


def test_bytes_like_inputs():
    for data in (b"foo", bytearray(b"foo"), memoryview(b"xfoo")[1:], array.array("B", b"foo")):
        assert ansicrypt.encode_base64(data) == b"Zm9v"
    assert ansicrypt.decode_base64(bytearray(b"Zm9v")) == b"foo"
    with pytest.raises(BufferError):
        ansicrypt.encode_base64(memoryview(b"abcdef")[::2])
    with pytest.raises(TypeError):
        ansicrypt.encode_base64("text")
    des = ansicrypt.DES()
    des.set_key(bytearray(FIPS81_KEY))
    assert des.encrypt_des(memoryview(FIPS81_PLAIN)) == FIPS81_CIPHER


def test_large_base64_releases_the_lock_and_round_trips():
    data = os.urandom(3 << 20)
    results = []
    workers = [threading.Thread(target=lambda: results.append(ansicrypt.decode_base64(ansicrypt.encode_base64(data))))
               for _ in range(3)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert results == [data] * 3


def test_files(tmp_path):
    good = tmp_path / "good"
    good.write_bytes(b"abc")
    md5 = ansicrypt.MD5()
    abc = "900150983CD24FB0D6963F7D28E17F72"
    assert md5.file_calc(str(good)) == abc
    assert md5.file_calc(os.fsencode(good)) == abc
    assert md5.file_calc(tmp_path / "missing") == ""
    assert md5.file_calc(tmp_path) == ""
    names = [good, tmp_path / "missing", str(good), tmp_path]
    assert md5.files_calc(names) == [abc, "", abc, ""]
    # The last file opened was good: its registers stay.
    assert md5.registers == struct.unpack("<4i", bytes.fromhex(abc))


def random_text(rng):
    alphabet = "abcdefghijklmnopqrstuvwxyz ABC0123456789,.;\u00e9\u4e2d\u6587\u65e5\u672c\t"
    return "".join(rng.choice(alphabet) for _ in range(rng.randrange(1, 40)))


def test_same_results_as_the_tool(tool):
    rng = random.Random(5)
    texts = [random_text(rng) for _ in range(10000)]
    key = "m1gr\u00e4te"
    for page in (936, 65001):
        run = subprocess.run([tool, "--codepage", str(page), "encrypt", "--key", key],
                             input="\n".join(texts) + "\n", capture_output=True, text=True, check=True)
        ours = [ansicrypt.encrypt_des_str_to_hex(t, key, code_page=page) for t in texts]
        assert run.stdout.splitlines() == ours
        back = [ansicrypt.decrypt_des_hex_to_str(h, key, code_page=page) for h in ours]
        assert back == texts
        run = subprocess.run([tool, "--codepage", str(page), "encode"], input="\n".join(texts) + "\n",
                             capture_output=True, text=True, check=True)
        assert run.stdout.splitlines() == [ansicrypt.encode_base64_str_to_str(t, code_page=page) for t in texts]


@pytest.mark.parametrize(
    "call, error, code",
    [
        # Selectors are the library's 32-bit values: any other direction decrypts, key 1 unless 2.
        (lambda: ansicrypt.DES().encrypt_des(b"x" * 8, direction=2**40), ansicrypt.Error, 6),
        (lambda: ansicrypt.DES().encrypt_des(b"x" * 8, key_number=-2**40), ansicrypt.Error, 6),
        (lambda: ansicrypt.DES().encrypt_3des(b"abc", 256), ansicrypt.Error, 6),
        (lambda: ansicrypt.DES().encrypt_3des(b"abc", -1), ansicrypt.Error, 6),
        (lambda: ansicrypt.encode_base64_str_to_str("x", code_page=-1), ansicrypt.Error, 5),
        (lambda: ansicrypt.encode_base64_str_to_str("x", code_page=2**32 + 1252), ansicrypt.Error, 5),
        (lambda: ansicrypt.set_ansi_code_page(2**64), ansicrypt.Error, 5),
        (lambda: ansicrypt.code_page(0), ansicrypt.Error, 5),
        (lambda: ansicrypt.code_page("936"), TypeError, None),
        (lambda: ansicrypt.set_ansi_best_fit(None), TypeError, None),
        (lambda: ansicrypt.set_ansi_best_fit(1.5), TypeError, None),
        (lambda: ansicrypt.best_fit(-1), TypeError, None),
        (lambda: ansicrypt.best_fit(2), TypeError, None),
        (lambda: ansicrypt.encode_base64_str_to_str("x", best_fit="yes"), TypeError, None),
        (lambda: ansicrypt.MD5().file_calc("a\x00b"), ValueError, None),
        (lambda: ansicrypt.MD5().files_calc(["ok", b"a\x00b"]), ValueError, None),
        (lambda: ansicrypt.MD5().files_calc("one/path"), TypeError, None),
        (lambda: ansicrypt.encode_base64_str_to_str("x", code_page=True), TypeError, None),
        (lambda: ansicrypt.DES().encrypt_des(b"x", key_number=True), TypeError, None),
        # Objects that were never built, and states that are no state.
        (lambda: ansicrypt.DES.__new__(ansicrypt.DES).encrypt_des(b"abc"), TypeError, None),
        (lambda: ansicrypt.MD5.__new__(ansicrypt.MD5).string_calc("abc"), TypeError, None),
        (lambda: ansicrypt.MD5.__new__(ansicrypt.MD5).__setstate__(("abc",)), ValueError, None),
        (lambda: ansicrypt.DES.__new__(ansicrypt.DES).__setstate__((b"abc",)), ValueError, None),
    ],
)
def test_arguments_of_any_value(call, error, code):
    with pytest.raises(error) as caught:
        call()
    if code is not None:
        assert caught.value.code == code
    if error is ValueError and "x00" in str(call.__code__.co_consts):
        assert str(caught.value) == "embedded null byte"


def test_selectors_follow_the_documented_rule():
    des = ansicrypt.DES()
    des.set_key(FIPS81_KEY)
    for direction in (2, 256, -1, 2**32 - 1):
        assert des.encrypt_des(FIPS81_CIPHER, direction=direction) == FIPS81_PLAIN
    for key_number in (1, 0, 3, 258):
        assert des.encrypt_des(FIPS81_PLAIN, key_number=key_number) == FIPS81_CIPHER
    assert ansicrypt.best_fit(1) is not None and ansicrypt.best_fit(False) is not None


def test_errors_of_fspath_come_through():
    class Broken:
        def __fspath__(self):
            raise RuntimeError("no path here")

    with pytest.raises(RuntimeError, match="no path here"):
        ansicrypt.MD5().file_calc(Broken())


def test_error_has_a_code_without_one_given():
    assert ansicrypt.Error("x").code == 0
    assert isinstance(ansicrypt.Error("x"), ValueError)


def _digest_in_a_process(args):
    md5, path = args
    return md5.file_calc(path), md5.registers


def test_objects_copy_and_pickle(tmp_path):
    import copy
    import pickle
    from concurrent.futures import ProcessPoolExecutor

    des = ansicrypt.DES()
    des.set_key(bytes.fromhex("0123456789ABCDEFFEDCBA9876543210"))
    for other in (copy.copy(des), copy.deepcopy(des), pickle.loads(pickle.dumps(des))):
        assert other.encrypt_3des(b"legacy!!") == des.encrypt_3des(b"legacy!!")
        assert other.encrypt_des(b"legacy!!", key_number=2) == des.encrypt_des(b"legacy!!", key_number=2)
    md5 = ansicrypt.MD5()
    md5.string_calc("abc")
    for other in (copy.copy(md5), copy.deepcopy(md5), pickle.loads(pickle.dumps(md5))):
        assert other.registers == md5.registers
    block = ansicrypt.code_page(936)
    for other in (copy.copy(block), pickle.loads(pickle.dumps(block))):
        with other:
            assert ansicrypt.ansi_code_page() == 936
    path = tmp_path / "data"
    path.write_bytes(b"abc")
    with ProcessPoolExecutor(2) as pool:
        results = list(pool.map(_digest_in_a_process, [(md5, path)] * 3))
    assert results == [("900150983CD24FB0D6963F7D28E17F72", md5.registers)] * 3


def test_the_package_is_typed():
    import importlib.resources
    import ansicrypt._ansicrypt as compiled
    package = importlib.resources.files("ansicrypt")
    assert (package / "py.typed").is_file()
    assert (package / "_ansicrypt.pyi").is_file()
    assert compiled.__name__ == "ansicrypt._ansicrypt"
    for name in ansicrypt.__all__:
        assert hasattr(ansicrypt, name), name


@pytest.mark.skipif("ANSICRYPT_EMULATED" in os.environ,
                    reason="the interpreter runs under an emulator, which cannot start another")
def test_subinterpreters_are_refused():
    try:
        import _xxsubinterpreters as interpreters
    except ImportError:
        pytest.skip("no subinterpreters")
    script = (
        "import _xxsubinterpreters as i, ansicrypt\n"
        "n = i.create()\n"
        "try:\n"
        "    i.run_string(n, 'import ansicrypt')\n"
        "except Exception as e:\n"
        "    print('refused', 'subinterpreter' in str(e))\n"
        "with ansicrypt.code_page(936):\n"
        "    print(ansicrypt.encode_base64_str_to_str('\\u4e2d'))\n"
    )
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    assert run.stdout.split() == ["refused", "True", "1tA="]


def test_legacy_strings_that_are_not_ready():
    import ctypes
    api = ctypes.pythonapi
    if not hasattr(api, "PyUnicode_FromUnicode") or sys.version_info >= (3, 12):
        pytest.skip("no legacy string API")
    api.PyUnicode_FromUnicode.restype = ctypes.py_object
    api.PyUnicode_FromUnicode.argtypes = [ctypes.c_void_p, ctypes.c_ssize_t]
    api.PyUnicode_AsUnicode.restype = ctypes.c_void_p
    api.PyUnicode_AsUnicode.argtypes = [ctypes.py_object]
    import warnings
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        legacy = api.PyUnicode_FromUnicode(None, 4)  # storage filled afterwards, not ready
        characters = ctypes.create_unicode_buffer("abcd")
        ctypes.memmove(api.PyUnicode_AsUnicode(legacy), characters, 4 * ctypes.sizeof(ctypes.c_wchar))
    assert ansicrypt.encode_base64_str_to_str(legacy) == "YWJjZA=="
