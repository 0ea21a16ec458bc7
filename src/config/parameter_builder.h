// The common way every configuration parameter is built: add it with its value
// type, name it, give it one alias, visibility 0 and a brief, restrict it,
// describe it, then look it up by name as a parameter of its type and give it
// its default. A step that fails leaves the parameter out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kvsystem/parameters.h"

namespace Varnex::Config {

struct ParameterSpec {
  std::string valueType;  // "int", "float", "bool", "string"
  std::string name;
  std::string alias;
  std::string brief;
  std::optional<std::pair<std::string, std::string>> range;
  std::vector<std::string> legalValues;
  std::vector<std::string> details;
  bool required = true;
};

// Builds the parameter in `itf`; returns the typed parameter to set the
// default on, or null when it could not be added.
KvSystem::KvParameter* BuildParameter(KvSystem::KvInterface& itf, const ParameterSpec& def);

}  // namespace Varnex::Config
