"""Code as a migration script writes it, checked by mypy --strict against the package's types."""
import array
import pathlib
from typing import List

import ansicrypt


def migrate(rows: List[str], folder: pathlib.Path) -> List[str]:
    with ansicrypt.code_page(936), ansicrypt.best_fit(True):
        hexes = [ansicrypt.encrypt_des_str_to_hex(row, "key") for row in rows]
    texts = [ansicrypt.decrypt_des_hex_to_str(h, "key", code_page=936) for h in hexes]
    md5 = ansicrypt.MD5()
    digests: List[str] = md5.files_calc([folder / "a", "b", b"c"])
    digests.append(md5.file_calc(folder))
    digests.append(md5.string_calc(texts[0], code_page=65001, best_fit=False))
    a, b, c, d = md5.registers
    des = ansicrypt.DES()
    des.set_key(bytearray(16))
    cipher: bytes = des.encrypt_3des(memoryview(b"12345678"), direction=2)
    cipher += des.encrypt_des(array.array("B", [1, 2, 3]), key_number=2)
    encoded: bytes = ansicrypt.encode_base64(cipher)
    assert ansicrypt.decode_base64(encoded) == cipher
    ansicrypt.set_ansi_code_page(1252)
    ansicrypt.set_ansi_best_fit(False)
    page: int = ansicrypt.ansi_code_page()
    fit: bool = ansicrypt.ansi_best_fit()
    try:
        ansicrypt.decode_base64_str_to_str(ansicrypt.encode_base64_str_to_str("x"))
    except ansicrypt.Error as e:
        print(e.code + a + b + c + d + page + int(fit))
    return digests
