// Parameters several subcommands declare the same way.
#pragma once

#include <string>

#include "kvsystem/parameters.h"

namespace VarnexCli {

// A string parameter with an alias and a brief; required unless a default
// is given or `required` is false.
KvSystem::KvParameter* AddText(KvSystem::KvInterface& itf, const std::string& name, const std::string& alias,
                               const std::string& brief, bool required = true);
// "-format" ("tsv" or "json", default "tsv").
void AddFormat(KvSystem::KvInterface& itf);
// Whether "-format" asks for JSON.
bool WantsJson(const KvSystem::KvInterface& itf);

}  // namespace VarnexCli
