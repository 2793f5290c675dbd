"""Byte-exact DES, two-key triple DES, MD5 and Base64 of a legacy Windows program, for migrating
its data. DES, ECB and MD5 are broken for new designs: use this for legacy data only.

Texts become bytes through an ANSI code page. Each call takes it from its ``code_page`` and
``best_fit`` arguments, else from the innermost ``with code_page(...)`` / ``with best_fit(...)``
block of its context (asyncio tasks, threads started with ``asyncio.to_thread`` and
``contextvars.copy_context().run`` each have their own, as with ``decimal.localcontext``), else
from the module's defaults (``set_ansi_code_page``, ``set_ansi_best_fit``: 1252, off).
"""
import contextvars as _contextvars
import threading as _threading
from types import TracebackType as _TracebackType
from typing import List as _List
from typing import Optional as _Optional
from typing import Tuple as _Tuple
from typing import Type as _Type

from ansicrypt._ansicrypt import (
    DES,
    MD5,
    Error,
    __version__,
    ansi_best_fit,
    ansi_code_page,
    decode_base64,
    decode_base64_str_to_str,
    decode_base64_str_to_str_many,
    decrypt_des_hex_to_str,
    decrypt_des_hex_to_str_many,
    encode_base64,
    encode_base64_str_to_str,
    encode_base64_str_to_str_many,
    encrypt_des_str_to_hex,
    encrypt_des_str_to_hex_many,
    md5_many,
    md5_string_calc_many,
    set_ansi_best_fit,
    set_ansi_code_page,
)
from ansicrypt import _ansicrypt

__all__ = [
    "DES",
    "MD5",
    "Error",
    "__version__",
    "ansi_best_fit",
    "ansi_code_page",
    "best_fit",
    "code_page",
    "decode_base64",
    "decode_base64_str_to_str",
    "decode_base64_str_to_str_many",
    "decrypt_des_hex_to_str",
    "decrypt_des_hex_to_str_many",
    "encode_base64",
    "encode_base64_str_to_str",
    "encode_base64_str_to_str_many",
    "encrypt_des_str_to_hex",
    "encrypt_des_str_to_hex_many",
    "md5_many",
    "md5_string_calc_many",
    "set_ansi_best_fit",
    "set_ansi_code_page",
]

# The overrides of the current context: (code page or None, best fit or None). Every call of the
# compiled module reads it.
_overrides: "_contextvars.ContextVar[_Tuple[_Optional[int], _Optional[bool]]]" = (
    _contextvars.ContextVar("ansicrypt_overrides", default=(None, None))
)
# The tokens of the blocks entered in the current context, innermost last.
_entered: "_contextvars.ContextVar[_Tuple[_contextvars.Token, ...]]" = _contextvars.ContextVar(
    "ansicrypt_entered", default=()
)
_ansicrypt._use_overrides(_overrides)


class _Override:
    """A ``with`` block that overrides one setting in the current context. One object may be
    entered again inside itself, or by several threads and tasks at once: each entry keeps its
    own token. A block left in another context than it was entered in (a generator closed
    elsewhere) changes nothing there."""

    __slots__ = ("_value", "_tokens")

    def __init__(self, value: object) -> None:
        self._value = value
        self._tokens: _List[_Tuple[_contextvars.Token, int]] = []

    def _with(self, settings: _Tuple[_Optional[int], _Optional[bool]]) -> _Tuple[_Optional[int], _Optional[bool]]:
        raise NotImplementedError

    def __reduce__(self) -> _Tuple[type, _Tuple[object]]:
        # A copy or a pickle is the same setting, not entered anywhere.
        return (type(self), (self._value,))

    def __enter__(self) -> None:
        token = _overrides.set(self._with(_overrides.get()))
        self._tokens.append((token, _threading.get_ident()))
        _entered.set(_entered.get() + (token,))

    def __exit__(self, exc_type: _Optional[_Type[BaseException]], exc: _Optional[BaseException],
                 tb: _Optional[_TracebackType]) -> None:
        entered = _entered.get()
        if not entered:
            return
        token = entered[-1]
        mine = [entry for entry in self._tokens if entry[0] is token]
        if not mine or mine[0][1] != _threading.get_ident():
            return
        self._tokens.remove(mine[0])
        _entered.set(entered[:-1])
        try:
            _overrides.reset(token)
        except ValueError:
            pass


class code_page(_Override):
    """``with ansicrypt.code_page(936): ...`` converts with code page 936 inside the block, in the
    current context only, and restores the previous setting after it, an exception too.
    ansicrypt.Error (5) at once for a number the library does not know."""

    __slots__ = ()

    def __init__(self, code_page: int) -> None:
        super().__init__(_ansicrypt._check_code_page(code_page))

    def _with(self, settings: _Tuple[_Optional[int], _Optional[bool]]) -> _Tuple[_Optional[int], _Optional[bool]]:
        return (self._value, settings[1])  # type: ignore[return-value]


class best_fit(_Override):
    """``with ansicrypt.best_fit(True): ...`` switches Windows' best-fit mappings on inside the
    block, in the current context only. Takes a bool (or 0 or 1)."""

    __slots__ = ()

    def __init__(self, best_fit: bool) -> None:
        super().__init__(_ansicrypt._check_best_fit(best_fit))

    def _with(self, settings: _Tuple[_Optional[int], _Optional[bool]]) -> _Tuple[_Optional[int], _Optional[bool]]:
        return (settings[0], self._value)  # type: ignore[return-value]
