// Python values and the library's.
#include "bindings/python/values.h"

#include <string>

namespace ansicrypt::python {

PyObject* overrides = nullptr;

void ReadCharacters(PyObject* str, Text& text) {
  const auto n = static_cast<std::size_t>(PyUnicode_GET_LENGTH(str));
  const void* data = PyUnicode_DATA(str);
  switch (PyUnicode_KIND(str)) {
    case PyUnicode_1BYTE_KIND: {
      const auto* chars = static_cast<const Py_UCS1*>(data);
      text.assign(chars, chars + n);
      return;
    }
    case PyUnicode_2BYTE_KIND: {
      const auto* chars = static_cast<const Py_UCS2*>(data);
      text.assign(chars, chars + n);
      return;
    }
    default: {
      const auto* chars = static_cast<const Py_UCS4*>(data);
      text.clear();
      text.reserve(n + n / 4);
      for (std::size_t i = 0; i < n; ++i) {
        const Py_UCS4 c = chars[i];
        if (c < 0x10000) {
          text += static_cast<char16_t>(c);
        } else {
          text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
          text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
      }
    }
  }
}

Text ToText(const py::str& text) {
#if PY_VERSION_HEX < 0x030C0000
  // A string made by the old C API may not have its compact storage yet.
  if (PyUnicode_READY(text.ptr()) != 0) throw py::error_already_set();
#endif
  Text result;
  ReadCharacters(text.ptr(), result);
  return result;
}

py::str FromText(const Text& text) {
  const bool surrogates =
      std::any_of(text.begin(), text.end(), [](char16_t u) { return u >= 0xD800 && u <= 0xDFFF; });
  PyObject* str = nullptr;
  if (!surrogates) {
    str = PyUnicode_FromKindAndData(PyUnicode_2BYTE_KIND, text.data(),
                                    static_cast<Py_ssize_t>(text.size()));
  } else {
    int order = kNativeUtf16Order;  // the units as this machine stores them
    str = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                static_cast<Py_ssize_t>(text.size() * 2), "surrogatepass", &order);
  }
  if (str == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(str);
}

ByteArray ToBytes(const py::object& data) { return BytesView(data).copy(); }

py::bytes FromBytes(const ByteArray& bytes) {
  return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::optional<std::int64_t> IntegerIn(const py::handle& value, const char* name, std::int64_t low,
                                      std::int64_t high) {
  if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr())) {
    throw py::type_error(std::string(name) + " must be an int, not " +
                         std::string(py::str(value.get_type().attr("__name__"))));
  }
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow != 0 || number < low || number > high) return std::nullopt;
  return number;
}

unsigned CodePageArgument(const py::handle& value) {
  const auto number = IntegerIn(value, "code_page", 0, 0xFFFF);
  if (!number) throw Error(errc::invalid_argument);
  return bindings::CheckedCodePage(*number);
}

bool BoolArgument(const py::handle& value, const char* name) {
  if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
  if (PyLong_Check(value.ptr())) {
    const auto number = IntegerIn(value, name, 0, 1);
    if (number) return *number == 1;
  }
  throw py::type_error(std::string(name) + " must be a bool (or 0 or 1), not " +
                       std::string(py::repr(value)));
}

Resolved Resolve(const py::object& codePage, const py::object& bestFit) {
  PyObject* page = codePage.ptr();
  PyObject* fit = bestFit.ptr();
  py::object context;  // holds the overrides while their items are in use
  if ((page == Py_None || fit == Py_None) && overrides != nullptr) {
    PyObject* value = nullptr;
    if (PyContextVar_Get(overrides, nullptr, &value) != 0) throw py::error_already_set();
    if (value != nullptr) {
      context = py::reinterpret_steal<py::object>(value);
      if (page == Py_None) page = PyTuple_GET_ITEM(value, 0);
      if (fit == Py_None) fit = PyTuple_GET_ITEM(value, 1);
    }
  }
  const CallSettings defaults{platform::AnsiCodePage(), platform::AnsiBestFit()};
  CallSettings settings = defaults;
  if (page != Py_None) settings.codePage = CodePageArgument(py::handle(page));
  if (fit != Py_None) settings.bestFit = BoolArgument(py::handle(fit), "best_fit");
  return {settings, defaults};
}

CallSettings Settings(const py::object& codePage, const py::object& bestFit) {
  return Resolve(codePage, bestFit).wanted;
}

std::filesystem::path PathArgument(const py::handle& path) {
  PyObject* fspath = PyOS_FSPath(path.ptr());
  if (fspath == nullptr) throw py::error_already_set();
  py::object name = py::reinterpret_steal<py::object>(fspath);
  if (PyUnicode_Check(fspath)) {
    PyObject* encoded = PyUnicode_EncodeFSDefault(fspath);
    if (encoded == nullptr) throw py::error_already_set();
    name = py::reinterpret_steal<py::object>(encoded);
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(name.ptr(), &data, &size) != 0) throw py::error_already_set();
  const std::string bytes(data, static_cast<std::size_t>(size));
  if (bytes.find('\0') != std::string::npos) throw py::value_error("embedded null byte");
  return std::filesystem::path(bytes);
}

}  // namespace ansicrypt::python
