"""The batch forms against the one-value calls: the same results in the same order whatever the
iterable, the threads and the code page, None through, and errors by the first bad value's index
(strict) or as None (null)."""
import concurrent.futures
import gc
import hashlib
import random
import signal
import threading

import pytest

import ansicrypt

ALPHABET = "abcXYZ 09\u00e9\u00fc\u20ac\u4e2d\u6587\u0100\uac00\u3042\U0001F600\ud800"
KEY = "cl\u00e9 \u4e2d"


def texts(seed, count=500):
    rng = random.Random(seed)
    values = ["".join(rng.choice(ALPHABET) for _ in range(rng.randint(1, 30))) for _ in range(count)]
    for i in range(0, count, 37):
        values[i] = None
    return values


def single(function, values, **settings):
    return [None if v is None else function(v, **settings) for v in values]


BATCHES = [
    (ansicrypt.encrypt_des_str_to_hex_many, lambda v, **s: ansicrypt.encrypt_des_str_to_hex(v, KEY, **s), True),
    (ansicrypt.encode_base64_str_to_str_many, ansicrypt.encode_base64_str_to_str, False),
    (ansicrypt.md5_string_calc_many, lambda v, **s: ansicrypt.MD5().string_calc(v, **s), False),
]


@pytest.mark.parametrize("threads", [1, 2, 3, 8])
@pytest.mark.parametrize("page", [1252, 932, 936, 949, 950, 1250, 65001])
@pytest.mark.parametrize("batch, one, keyed", BATCHES)
def test_batches_equal_single_calls(batch, one, keyed, page, threads):
    values = texts(page + threads)
    args = (values, KEY) if keyed else (values,)
    for fit in (False, True):
        assert batch(*args, code_page=page, best_fit=fit, threads=threads) == \
            single(one, values, code_page=page, best_fit=fit)


@pytest.mark.parametrize("threads", [1, 2, 5])
@pytest.mark.parametrize("page", [1252, 932, 65001])
def test_round_trips_through_the_inverse_batch(page, threads):
    values = texts(page)
    hexes = ansicrypt.encrypt_des_str_to_hex_many(values, KEY, code_page=page, threads=threads)
    assert ansicrypt.decrypt_des_hex_to_str_many(hexes, KEY, code_page=page, threads=threads) == \
        single(ansicrypt.decrypt_des_hex_to_str, hexes, key=KEY, code_page=page)
    encoded = ansicrypt.encode_base64_str_to_str_many(values, code_page=page)
    assert ansicrypt.decode_base64_str_to_str_many(encoded, code_page=page, threads=threads) == \
        single(ansicrypt.decode_base64_str_to_str, encoded, code_page=page)


def test_any_iterable_and_the_context_code_page():
    values = ["caf\u00e9", None, "\u4e2d"]
    as_list = ansicrypt.encode_base64_str_to_str_many(values)
    assert ansicrypt.encode_base64_str_to_str_many(iter(values)) == as_list
    assert ansicrypt.encode_base64_str_to_str_many(tuple(values)) == as_list
    assert ansicrypt.encode_base64_str_to_str_many(v for v in values) == as_list
    assert ansicrypt.encode_base64_str_to_str_many([]) == []
    with ansicrypt.code_page(936):
        assert ansicrypt.encode_base64_str_to_str_many(values) == \
            single(ansicrypt.encode_base64_str_to_str, values, code_page=936)
    assert as_list == ["Y2Fm6Q==", None, "Pw=="]


@pytest.mark.parametrize("threads", [1, 2, 4])
def test_strict_names_the_first_bad_value(threads):
    values = ["00" * 8] * 100
    values[70], values[30], values[95] = "zz", "g0", "x"
    with pytest.raises(ansicrypt.Error) as failure:
        ansicrypt.decrypt_des_hex_to_str_many(values, "k", threads=threads)
    assert failure.value.index == 30 and failure.value.code == 13
    assert str(failure.value) == "value 30: type mismatch (error 13)"
    with pytest.raises(ansicrypt.Error) as failure:
        ansicrypt.encrypt_des_str_to_hex_many(["a", "", "b"], "k", threads=threads)
    assert failure.value.index == 1 and failure.value.code == 9


def test_one_value_errors_have_no_index():
    with pytest.raises(ansicrypt.Error) as failure:
        ansicrypt.decrypt_des_hex_to_str("zz", "k")
    assert failure.value.index is None


@pytest.mark.parametrize("threads", [1, 3])
def test_null_puts_none_and_goes_on(threads):
    values = ["4142=", "z!==", None, "Zg", "QUJD"]
    assert ansicrypt.decode_base64_str_to_str_many(values, errors="null", threads=threads) == \
        [None, None, None, None, "ABC"]
    assert ansicrypt.decrypt_des_hex_to_str_many(["zz", "0" * 16], "k", errors="null") == \
        [None, ansicrypt.decrypt_des_hex_to_str("0" * 16, "k")]


@pytest.mark.parametrize("threads", [1, 2])
def test_md5_many_against_hashlib(threads):
    rng = random.Random(7)
    values = [rng.randbytes(rng.choice([0, 1, 55, 56, 63, 64, 65, 1000, 32767])) for _ in range(200)]
    values[5] = None
    values[6] = bytearray(b"abc")
    values[7] = memoryview(b"xabcx")[1:4]
    expected = [None if v is None else hashlib.md5(v).hexdigest().upper() for v in values]
    assert ansicrypt.md5_many(values, threads=threads) == expected
    with pytest.raises(ansicrypt.Error) as failure:
        ansicrypt.md5_many([b"", bytes(32768)], threads=threads)
    assert failure.value.index == 1 and failure.value.code == 6
    assert ansicrypt.md5_many([bytes(32768), b"abc"], errors="null") == \
        [None, "900150983CD24FB0D6963F7D28E17F72"]


@pytest.mark.parametrize("call, exception", [
    (lambda: ansicrypt.md5_string_calc_many(["a", 5]), TypeError),
    (lambda: ansicrypt.md5_string_calc_many(["a", b"b"]), TypeError),
    (lambda: ansicrypt.md5_many([b"a", "b"]), TypeError),
    (lambda: ansicrypt.md5_many(5), TypeError),
    (lambda: ansicrypt.md5_string_calc_many(["a"], errors="ignore"), ValueError),
    (lambda: ansicrypt.md5_string_calc_many(["a"], threads=0), ValueError),
    (lambda: ansicrypt.md5_string_calc_many(["a"], threads=True), TypeError),
    (lambda: ansicrypt.md5_string_calc_many(["a"], code_page=437), ansicrypt.Error),
])
def test_bad_arguments_raise(call, exception):
    with pytest.raises(exception):
        call()


def test_calls_on_threads_keep_their_own_settings():
    values = texts(3, 2000)
    expected = {page: single(ansicrypt.encode_base64_str_to_str, values, code_page=page)
                for page in (1252, 936, 65001)}

    def run(page):
        with ansicrypt.code_page(page):
            return page, ansicrypt.encode_base64_str_to_str_many(values, threads=2)

    with concurrent.futures.ThreadPoolExecutor(6) as pool:
        for page, result in pool.map(run, [1252, 936, 65001] * 8):
            assert result == expected[page]


def test_a_list_changed_by_another_thread_meanwhile_is_read_as_it_was():
    values = texts(9, 200_000)
    shared = list(values)
    expected = single(ansicrypt.encode_base64_str_to_str, values)
    stop = threading.Event()

    def mutate():
        while not stop.is_set():
            shared[:] = [7] * len(values)  # ints: a TypeError if the call saw them
            shared[:] = values

    thread = threading.Thread(target=mutate)
    thread.start()
    try:
        for _ in range(5):
            try:
                assert ansicrypt.encode_base64_str_to_str_many(shared, threads=2) == expected
            except TypeError:
                pass  # the call began while the list held ints
    finally:
        stop.set()
        thread.join()


def test_a_default_changed_meanwhile_does_not_reach_a_call_with_its_own_settings():
    values = ["\u00e9" * 8] * 300_000
    expected = ansicrypt.encode_base64_str_to_str("\u00e9" * 8, code_page=1252)
    stop = threading.Event()

    def toggle():
        while not stop.is_set():
            ansicrypt.set_ansi_code_page(936)
            ansicrypt.set_ansi_code_page(1252)

    thread = threading.Thread(target=toggle)
    thread.start()
    try:
        for threads in (1, 2):
            assert set(ansicrypt.encode_base64_str_to_str_many(values, code_page=1252, threads=threads)) == {expected}
    finally:
        stop.set()
        thread.join()
        ansicrypt.set_ansi_code_page(1252)


@pytest.mark.parametrize("values", ["abc", b"abc", bytearray(b"abc")])
def test_a_single_str_or_bytes_is_not_taken_as_values(values):
    with pytest.raises(TypeError, match="iterable of values"):
        ansicrypt.md5_string_calc_many(values)
    with pytest.raises(TypeError, match="iterable of values"):
        ansicrypt.md5_many(values)


def test_python_code_between_chunks_sees_a_whole_list_and_the_module_defaults():
    # A signal handler runs between chunks: it may reach the list being filled through the
    # garbage collector, and it runs under the module's settings, not the batch call's.
    seen = []
    busy = []  # the handler can take longer than the interval: it does not run inside itself

    def handler(signum, frame):
        if busy:
            return
        busy.append(True)
        try:
            for o in gc.get_objects():
                if type(o) is list and len(o) == 300_001:
                    repr(o[-1])
            seen.append((ansicrypt.ansi_code_page(), ansicrypt.encode_base64_str_to_str("\u3042")))
        finally:
            busy.clear()

    previous = signal.signal(signal.SIGALRM, handler)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.02, 0.02)
        for _ in range(3):
            ansicrypt.encode_base64_str_to_str_many(["x" * 100] * 300_001, code_page=932, threads=2)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert seen and set(seen) == {(1252, "Pw==")}
