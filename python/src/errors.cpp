#include "errors.h"

#include <pybind11/pybind11.h>

namespace py = pybind11;

namespace VarnexPy {

void ThrowStatus(const KvSystem::KvStatus& status) { throw StatusError(status); }

void ThrowStatus(KvSystem::KvStatusCode code, const std::string& message) {
  throw StatusError(KvSystem::KvStatus(code, message));
}

void SetPythonError(const KvSystem::KvStatus& status) {
  using KvSystem::KvStatusCode;
  const std::string& message = status.Message();
  PyObject* type = PyExc_ValueError;
  switch (status.Code()) {
    case KvStatusCode::NotFound: type = PyExc_FileNotFoundError; break;
    case KvStatusCode::PermissionDenied: type = PyExc_PermissionError; break;
    case KvStatusCode::IsADirectory: type = PyExc_IsADirectoryError; break;
    case KvStatusCode::IoError: type = PyExc_OSError; break;
    case KvStatusCode::WrongType: type = PyExc_TypeError; break;
    case KvStatusCode::OutOfMemory: type = PyExc_MemoryError; break;
    case KvStatusCode::Cancelled: type = PyExc_KeyboardInterrupt; break;
    default: break;
  }
  if (status.OsError() != 0 && PyType_IsSubtype(reinterpret_cast<PyTypeObject*>(type),
                                                reinterpret_cast<PyTypeObject*>(PyExc_OSError))) {
    // OSError(errno, text) picks the subclass of the errno and sets .errno.
    PyErr_SetObject(PyExc_OSError, py::make_tuple(status.OsError(), message).ptr());
    return;
  }
  PyErr_SetString(type, message.c_str());
}

void RegisterStatusTranslator() {
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const StatusError& e) {
      SetPythonError(e.Status());
    } catch (const py::cast_error& e) {
      // An argument of the wrong kind, as Python's own functions report it.
      PyErr_SetString(PyExc_TypeError, e.what());
    }
  });
}

}  // namespace VarnexPy
