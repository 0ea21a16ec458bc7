#include "call_scope.h"

#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace VarnexPy {
namespace {

thread_local CallScope* tCurrent = nullptr;

// Open scopes, oldest first, for messages of threads that belong to none.
std::mutex gOpenMutex;
std::vector<CallScope*>& OpenScopes() {
  static auto* scopes = new std::vector<CallScope*>();  // never destroyed: workers may outlive the interpreter
  return *scopes;
}

void Route(KvSystem::KvErrorLevel level, const std::string& text) {
  if (tCurrent != nullptr) {
    tCurrent->Add(level, text);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(gOpenMutex);
    if (!OpenScopes().empty()) {
      OpenScopes().back()->Add(level, text);
      return;
    }
  }
  std::fprintf(stderr, "%s%s\n", KvSystem::KvErrorLevelPrefix(level), text.c_str());
}

}  // namespace

CallScope::CallScope() : previous_(tCurrent) {
  tCurrent = this;
  std::lock_guard<std::mutex> lock(gOpenMutex);
  OpenScopes().push_back(this);
}

CallScope::~CallScope() {
  tCurrent = previous_;
  std::lock_guard<std::mutex> lock(gOpenMutex);
  auto& scopes = OpenScopes();
  scopes.erase(std::find(scopes.begin(), scopes.end(), this));
}

CallScope::Adoption::Adoption(CallScope& scope) : previous_(tCurrent) { tCurrent = &scope; }
CallScope::Adoption::~Adoption() { tCurrent = previous_; }

void CallScope::Add(KvSystem::KvErrorLevel level, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back({level, text});
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
    text += m.text;
  }
  return text.empty() ? fallback : text;
}

void CallScope::Warn() {
  for (const Message& m : Take()) {
    if (PyErr_WarnEx(VarnexWarningType(), m.text.c_str(), 1) != 0) throw pybind11::error_already_set();
  }
}

void InstallMessageRouter() {
  static std::once_flag once;
  std::call_once(once, [] { KvSystem::KvSetErrorSink(&Route); });
}

PyObject* VarnexWarningType() {
  static PyObject* type = PyErr_NewExceptionWithDoc(
      "varnex.VarnexWarning", "A warning of the Varnex library: a molecule or value it repaired or skipped.",
      PyExc_UserWarning, nullptr);
  return type;
}

}  // namespace VarnexPy
