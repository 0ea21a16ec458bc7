// KvInterface: reading a "-name value" command line and validating values.

#include "kvsystem/error.h"
#include "kvsystem/parameters.h"

#include <map>

#include "kvsystem/strings.h"
#include "system/parameter_values.h"

namespace KvSystem {

bool KvInterface::ParseCommandLine(int argc, const char* const* argv, int first) {
  std::vector<std::string> args;
  for (int i = first; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return ParseCommandLine(args);
}

bool KvInterface::ParseCommandLine(const std::vector<std::string>& args) {
  bool ok = true;
  std::map<const KvParameter*, std::string> given;  // each parameter once, under the name used
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "-help" || word == "-h" || word == "--help") {
      helpRequested_ = true;
      continue;
    }
    KvParameter* p = word.size() > 1 && word[0] == '-' ? GetParameter(word) : nullptr;
    if (p == nullptr) {
      if (word.size() > 1 && word[0] == '-') {
        KvThrow()->Warning("unknown parameter %s", KvQuoteInput(word).c_str());
        // Its value, if any, goes with it rather than being a second fault.
        if (i + 1 < args.size() && (args[i + 1].empty() || args[i + 1][0] != '-')) ++i;
      } else
        KvThrow()->Warning("unexpected argument \"%s\" (parameters are given as -name value)",
                           KvQuoteInput(word).c_str());
      ok = false;
      continue;
    }
    if (const auto [earlier, first] = given.emplace(p, word); !first) {
      if (earlier->second == word)
        KvThrow()->Warning("parameter %s is given twice", word.c_str());
      else
        KvThrow()->Warning("parameter %s is given twice (also as %s)", word.c_str(), earlier->second.c_str());
      ok = false;
    }
    std::string text;
    if (p->GetTypeId() == KvParameterTypeId::Bool) {
      bool flag = false;
      if (i + 1 < args.size() && ParameterText::ToBool(args[i + 1], flag))
        text = args[++i];
      else
        text = "true";  // a bare flag switches on
    } else {
      if (i + 1 >= args.size()) {
        KvThrow()->Warning("parameter %s needs a value", word.c_str());
        ok = false;
        continue;
      }
      text = args[++i];
    }
    std::string problem;
    if (!p->SetValue(text, &problem)) {
      KvThrow()->Warning("%s", problem.c_str());
      ok = false;
      continue;
    }
    if (!p->Validate(problem)) {
      KvThrow()->Warning("%s", problem.c_str());
      ok = false;
    }
  }
  return ok;
}

bool KvInterface::ValidateInto(bool& ok) const {
  std::string problem;
  for (const auto& p : parameters_) {
    if (!p->Validate(problem)) {
      KvThrow()->Warning("%s", problem.c_str());
      ok = false;
    }
  }
  for (const auto& child : children_) child->ValidateInto(ok);
  return ok;
}

bool KvInterface::Validate() const {
  bool ok = true;
  return ValidateInto(ok);
}

}  // namespace KvSystem
