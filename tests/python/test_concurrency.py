"""The Python module under concurrency: one object shared by threads that hammer it, code-page
overrides that stay in their context (asyncio tasks, to_thread, generators, threads), the
interpreter's lock released during long conversions, and Ctrl-C during a read that waits."""
import asyncio
import contextvars
import hashlib
import os
import signal
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

import ansicrypt


def test_one_md5_object_on_many_threads(tmp_path):
    paths = []
    for i in range(8):
        path = tmp_path / f"f{i}"
        path.write_bytes(os.urandom(1 << 20) + bytes([i]))
        paths.append(path)
    want = [hashlib.md5(p.read_bytes()).hexdigest().upper() for p in paths]
    md5 = ansicrypt.MD5()
    with ThreadPoolExecutor(4) as pool:
        for _ in range(3):
            assert list(pool.map(md5.file_calc, paths)) == want
        # Text digests beside running file digests, and the registers of one digest at a time.
        texts = [f"text {i}" for i in range(4000)]
        files = pool.submit(lambda: [md5.file_calc(p) for p in paths * 4])
        got = list(pool.map(md5.string_calc, texts))
        assert files.result() == want * 4
    assert got == [hashlib.md5(t.encode()).hexdigest().upper() for t in texts]
    md5.string_calc("abc")
    assert md5.registers == (-1739587184, -1336946116, 2101319382, 1920983336)


def test_one_des_object_on_many_threads():
    des = ansicrypt.DES()
    des.set_key(bytes.fromhex("0123456789ABCDEFFEDCBA9876543210"))
    blocks = [os.urandom(8 * (1 + i % 100)) for i in range(2000)]
    reference = ansicrypt.DES()
    reference.set_key(bytes.fromhex("0123456789ABCDEFFEDCBA9876543210"))
    want = [reference.encrypt_3des(b) for b in blocks]

    def rekey_and_encrypt(block):
        des.set_key(bytes.fromhex("0123456789ABCDEFFEDCBA9876543210"))  # the same keys again
        return des.encrypt_3des(block)

    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(rekey_and_encrypt, blocks)) == want


E_ACUTE = "\u00e9"


def base64_of_e_acute():
    return ansicrypt.encode_base64_str_to_str(E_ACUTE)


def test_asyncio_tasks_keep_their_own_code_page():
    async def task(page, want):
        with ansicrypt.code_page(page):
            for _ in range(5):
                await asyncio.sleep(0)
                assert ansicrypt.ansi_code_page() == page
                assert base64_of_e_acute() == want
        return ansicrypt.ansi_code_page()

    async def main():
        return await asyncio.gather(task(1252, "6Q=="), task(936, "qKY="), task(65001, "w6k="))

    assert asyncio.run(main()) == [1252, 1252, 1252]
    assert base64_of_e_acute() == "6Q=="
    assert ansicrypt.ansi_code_page() == 1252


def test_to_thread_and_copied_contexts_carry_the_block():
    async def main():
        with ansicrypt.code_page(936):
            return await asyncio.to_thread(base64_of_e_acute)

    assert asyncio.run(main()) == "qKY="
    with ansicrypt.code_page(936):
        context = contextvars.copy_context()
    assert context.run(base64_of_e_acute) == "qKY="
    assert base64_of_e_acute() == "6Q=="


def test_generators_and_other_threads():
    def inside():
        with ansicrypt.code_page(936):
            yield ansicrypt.ansi_code_page()
            yield ansicrypt.ansi_code_page()

    # As with decimal.localcontext, a generator suspended inside its block shares its caller's
    # context (here a copy of ours); closed on another thread, it leaves that thread's setting
    # alone.
    results = []

    def suspend_then_close_elsewhere():
        generator = inside()
        results.append(next(generator))
        results.append(ansicrypt.ansi_code_page())

        def close_elsewhere():
            with ansicrypt.code_page(65001):
                generator.close()
                results.append(ansicrypt.ansi_code_page())

        worker = threading.Thread(target=close_elsewhere)
        worker.start()
        worker.join()

    contextvars.copy_context().run(suspend_then_close_elsewhere)
    assert results == [936, 936, 65001]
    assert ansicrypt.ansi_code_page() == 1252
    # Closed where it was suspended, it restores the caller's setting.
    generator = inside()
    assert next(generator) == 936
    generator.close()
    assert ansicrypt.ansi_code_page() == 1252
    # A block entered again inside itself, and one object on several threads at once.
    block = ansicrypt.code_page(936)
    with block:
        with block:
            assert ansicrypt.ansi_code_page() == 936
        assert ansicrypt.ansi_code_page() == 936
    assert ansicrypt.ansi_code_page() == 1252
    barrier = threading.Barrier(4)
    seen = []

    def use_shared():
        with block:
            barrier.wait()
            seen.append(base64_of_e_acute())
            barrier.wait()
        seen.append(ansicrypt.ansi_code_page())

    threads = [threading.Thread(target=use_shared) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert sorted(map(str, seen)) == ["1252"] * 4 + ["qKY="] * 4


def test_explicit_arguments_win_and_best_fit_nests():
    with ansicrypt.code_page(936), ansicrypt.best_fit(True):
        assert ansicrypt.encode_base64_str_to_str(E_ACUTE, code_page=1252) == "6Q=="
        assert ansicrypt.encode_base64_str_to_str("\u0100", code_page=1252) == "QQ=="  # best fit
        assert ansicrypt.encode_base64_str_to_str("\u0100", code_page=1252, best_fit=False) == "Pw=="
        with ansicrypt.best_fit(False):
            assert ansicrypt.ansi_best_fit() is False
            assert ansicrypt.ansi_code_page() == 936
        assert ansicrypt.ansi_best_fit() is True
    assert ansicrypt.ansi_best_fit() is False


def test_long_conversions_let_other_threads_run():
    text = "x" * 60_000_000
    ticks = 0
    done = threading.Event()

    def count():
        nonlocal ticks
        while not done.is_set():
            ticks += 1
            time.sleep(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    time.sleep(0.01)
    before = ticks
    ansicrypt.encode_base64_str_to_str(text)
    during = ticks - before
    done.set()
    counter.join()
    assert during >= 5, during


def test_ctrl_c_ends_a_read_that_waits(tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    writer_ready = threading.Event()

    def hold_open():
        with open(fifo, "wb"):
            writer_ready.set()
            time.sleep(20)

    holder = threading.Thread(target=hold_open, daemon=True)
    holder.start()
    timer = threading.Timer(0.5, lambda: os.kill(os.getpid(), signal.SIGINT))
    timer.start()
    started = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        ansicrypt.MD5().file_calc(fifo)
    assert time.monotonic() - started < 10


def test_ctrl_c_ends_files_calc_that_waits(tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    plain = tmp_path / "plain"
    plain.write_bytes(b"abc")

    def hold_open():
        with open(fifo, "wb"):
            time.sleep(20)

    threading.Thread(target=hold_open, daemon=True).start()
    threading.Timer(0.5, lambda: os.kill(os.getpid(), signal.SIGINT)).start()
    started = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        ansicrypt.MD5().files_calc([plain, fifo, plain])
    assert time.monotonic() - started < 10


def test_files_calc_keeps_its_answers_around_streams(tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    files = []
    for i in range(40):
        path = tmp_path / f"f{i}"
        path.write_bytes(os.urandom(i * 1000))
        files.append(path)

    def feed():
        with open(fifo, "wb") as f:
            f.write(b"streamed")

    threading.Thread(target=feed).start()
    md5 = ansicrypt.MD5()
    paths = files[:20] + [fifo] + files[20:] + [tmp_path / "missing"]
    want = [hashlib.md5(p.read_bytes()).hexdigest().upper() for p in files[:20]]
    want += [hashlib.md5(b"streamed").hexdigest().upper()]
    want += [hashlib.md5(p.read_bytes()).hexdigest().upper() for p in files[20:]] + [""]
    assert md5.files_calc(paths) == want
    alone = ansicrypt.MD5()
    alone.file_calc(files[-1])
    assert md5.registers == alone.registers
