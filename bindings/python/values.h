// Python values as the library takes them and back: str as UTF-16 text, bytes-like objects,
// ints, the settings of a call, paths; and the interpreter's lock released around large work.
#pragma once

#include <pybind11/pybind11.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/call_settings.h"

namespace ansicrypt::python {

namespace py = pybind11;
using bindings::CallScope;
using bindings::CallSettings;

// Inputs from this size on are converted with the interpreter's lock released, so that other
// Python threads run meanwhile; below it, releasing costs more than it gives.
constexpr std::size_t kReleaseLockBytes = 64 * 1024;

// The ContextVar of the context-local overrides, a tuple (code page or None, best fit or None),
// handed over by the package when it is imported.
extern PyObject* overrides;

// A str as UTF-16 units: read straight from the string's storage (one, two or four bytes per
// character); characters beyond U+FFFF become surrogate pairs, and lone surrogates stay as they
// are, as the library's texts hold them.
Text ToText(const py::str& text);
// The same into `text`, whose storage is reused, from a str whose storage is ready (PyUnicode_READY
// before Python 3.12); reads the string's storage only, so that it may run without the
// interpreter's lock while a reference to the string is held.
void ReadCharacters(PyObject* str, Text& text);
// A text as a str; a surrogate pair becomes its character, a lone surrogate stays one.
py::str FromText(const Text& text);
// The byte order argument of PyUnicode_DecodeUTF16 for units as this machine stores them: -1
// little-endian, 1 big-endian (never 0, which would take a leading U+FEFF for a byte-order mark).
inline constexpr int kNativeUtf16Order = std::endian::native == std::endian::little ? -1 : 1;

// Any object with the buffer protocol (bytes, bytearray, memoryview, array), held for the call
// without a copy; a non-contiguous view raises BufferError.
class BytesView {
 public:
  explicit BytesView(const py::object& data) {
    if (PyObject_GetBuffer(data.ptr(), &view_, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  }
  ~BytesView() { PyBuffer_Release(&view_); }
  BytesView(const BytesView&) = delete;
  BytesView& operator=(const BytesView&) = delete;

  std::span<const std::uint8_t> span() const {
    return {static_cast<const std::uint8_t*>(view_.buf), static_cast<std::size_t>(view_.len)};
  }
  ByteArray copy() const { return ByteArray(span().begin(), span().end()); }

 private:
  Py_buffer view_;
};

ByteArray ToBytes(const py::object& data);
py::bytes FromBytes(const ByteArray& bytes);

// A new bytes object of `size` bytes filled by `fill` straight in place, with the interpreter's
// lock released for large sizes, so that other Python threads run meanwhile.
template <class Fill>
py::bytes NewBytes(std::size_t size, std::size_t work, Fill fill) {
  PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
  if (bytes == nullptr) throw py::error_already_set();
  py::bytes result = py::reinterpret_steal<py::bytes>(bytes);
  const std::span<std::uint8_t> out(reinterpret_cast<std::uint8_t*>(PyBytes_AS_STRING(bytes)),
                                    size);
  if (work >= kReleaseLockBytes) {
    py::gil_scoped_release unlocked;
    fill(out);
  } else {
    fill(out);
  }
  return result;
}

// Runs `operation` without the interpreter's lock when the work is large.
template <class Operation>
auto Unlocked(std::size_t work, Operation operation) {
  if (work < kReleaseLockBytes) return operation();
  py::gil_scoped_release unlocked;
  return operation();
}

// An int of any size within [low, high], else `otherwise`; a non-int raises TypeError.
std::optional<std::int64_t> IntegerIn(const py::handle& value, const char* name, std::int64_t low,
                                      std::int64_t high);
unsigned CodePageArgument(const py::handle& value);
// True or False, and the ints 0 and 1; anything else raises TypeError.
bool BoolArgument(const py::handle& value, const char* name);

// The settings of one call: its own arguments, else the context's overrides, else the module's
// defaults (set_ansi_code_page, set_ansi_best_fit), which are also what is in force.
struct Resolved {
  CallSettings wanted;
  CallSettings current;
};

Resolved Resolve(const py::object& codePage, const py::object& bestFit);
CallSettings Settings(const py::object& codePage, const py::object& bestFit);

// A path as open() takes it: str, bytes or os.PathLike (its __fspath__ may raise); a name with a
// NUL raises ValueError("embedded null byte"), as open() does.
std::filesystem::path PathArgument(const py::handle& path);

}  // namespace ansicrypt::python
