#include "call_scope.h"

#include <pybind11/pybind11.h>

#include <algorithm>

#include "errors.h"

namespace py = pybind11;

namespace VarnexPy {

CallScope::CallScope() : installed_(this) { SetCancelFlag(&cancel_); }

CallScope::~CallScope() = default;

void CallScope::Report(KvSystem::KvErrorLevel level, const KvSystem::KvStatus& status) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back({level, status});
}

bool CallScope::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.empty();
}

std::vector<Message> CallScope::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Message> out;
  out.swap(messages_);
  return out;
}

std::string CallScope::TakeText(const std::string& fallback) {
  std::string text;
  for (const Message& m : Take()) {
    if (!text.empty()) text += '\n';
    text += m.status.Message();
  }
  return text.empty() ? fallback : text;
}

void CallScope::Fail(const std::string& fallback, const std::string& prefix) {
  const std::vector<Message> messages = Take();
  KvSystem::KvStatus cause(KvSystem::KvStatusCode::InvalidArgument, fallback);
  std::string text;
  for (const Message& m : messages) {
    if (!text.empty()) text += '\n';
    text += m.status.Message();
    if (cause.Code() == KvSystem::KvStatusCode::InvalidArgument && !m.status.IsOk()) cause = m.status;
  }
  if (Cancelled()) cause = KvSystem::KvStatus(KvSystem::KvStatusCode::Cancelled, "");
  ThrowStatus(cause.WithMessage(prefix + (text.empty() ? fallback : text)));
}

void CallScope::Warn() {
  const std::vector<Message> messages = Take();
  if (messages.empty()) return;
  const int level = CallerStackLevel();
  for (const Message& m : messages) {
    if (PyErr_WarnEx(VarnexWarningType(), m.status.Message().c_str(), level) != 0) throw py::error_already_set();
  }
}

PyObject* VarnexWarningType() {
  static PyObject* type = PyErr_NewExceptionWithDoc(
      "varnex.VarnexWarning", "A warning of the Varnex library: a molecule or value it repaired or skipped.",
      PyExc_UserWarning, nullptr);
  return type;
}

int CallerStackLevel() {
  // Frames whose file lies in the package folder belong to the package.
  static const std::string package = [] {
    const std::string file = py::module_::import("varnex").attr("__file__").cast<std::string>();
    return file.substr(0, file.find_last_of('/') + 1);
  }();
  int level = 1;
  PyFrameObject* frame = PyEval_GetFrame();  // borrowed
  Py_XINCREF(frame);
  while (frame != nullptr) {
    PyCodeObject* code = PyFrame_GetCode(frame);
    const char* file = PyUnicode_AsUTF8(code->co_filename);
    Py_DECREF(code);
    if (file == nullptr) PyErr_Clear();
    if (file == nullptr || std::string_view(file).substr(0, package.size()) != package) break;
    PyFrameObject* back = PyFrame_GetBack(frame);
    Py_DECREF(frame);
    frame = back;
    ++level;
  }
  Py_XDECREF(frame);
  return level;
}

}  // namespace VarnexPy
