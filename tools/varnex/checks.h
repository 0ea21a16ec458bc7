// Checks of parameter values that their declared ranges cannot express, and
// the molecule size limit, applied to every subcommand before it runs.
#pragma once

#include <string>

#include "kvsystem/parameters.h"

namespace VarnexCli {

// Declares "-maxatoms", the atom limit of molecules read (default 1000).
void AddMoleculeLimitParameter(KvSystem::KvInterface& itf);

// "" when `cutoff` lies in the score range of `measure` (a KvSimMeasure
// code; the library's KvCheckCutoff), else why not, naming the parameter
// `name`.
std::string CutoffProblem(const std::string& name, float cutoff, unsigned measure);

// Checks "-cutoff" against the score range of the "-simfunc" measure and
// applies "-maxatoms", for the parameters the subcommand has. False after a
// message on stderr naming `command`.
bool CheckAndApplyParameters(const KvSystem::KvInterface& itf, const char* command);

}  // namespace VarnexCli
