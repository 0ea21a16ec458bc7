// The subcommands of the varnex program and the helpers they share.
#pragma once

#include <string>
#include <vector>

#include "kvsystem/parameters.h"

namespace VarnexCli {

// Exit statuses. A run that read only part of its input writes every
// result it could and exits with kExitPartial, naming what it skipped.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work failed (unreadable file, bad molecule, ...)
inline constexpr int kExitUsage = 2;    // bad command line
inline constexpr int kExitPartial = 3;  // done, but some input records could not be read

using Arguments = std::vector<std::string>;

// One subcommand: its name, a one-line summary, an example, a function that
// declares its parameters and one that runs it on its parsed parameters.
struct Command {
  const char* name;
  const char* summary;
  const char* example;
  void (*configure)(KvSystem::KvInterface& itf);
  int (*run)(KvSystem::KvInterface& itf);
};

// Every subcommand, in the order "varnex help" lists them.
const std::vector<Command>& Commands();
// The subcommand named `name`, or null.
const Command* FindCommand(const std::string& name);

// Declares the parameters of `command`, reads `args` into them and runs it:
// prints the help text for -help, reports bad parameters with the help hint
// and kExitUsage.
int RunCommand(const Command& command, const Arguments& args);

// The parameter help of one subcommand.
std::string CommandHelp(const Command& command);

// The subcommands, one per source file.
void ConfigureFp(KvSystem::KvInterface& itf);
int RunFp(KvSystem::KvInterface& itf);
void ConfigureCompare(KvSystem::KvInterface& itf);
int RunCompare(KvSystem::KvInterface& itf);
void ConfigureCreate(KvSystem::KvInterface& itf);
int RunCreate(KvSystem::KvInterface& itf);
void ConfigureAppend(KvSystem::KvInterface& itf);
int RunAppend(KvSystem::KvInterface& itf);
void ConfigureVerify(KvSystem::KvInterface& itf);
int RunVerify(KvSystem::KvInterface& itf);
void ConfigureSearch(KvSystem::KvInterface& itf);
int RunSearch(KvSystem::KvInterface& itf);
void ConfigureMatrix(KvSystem::KvInterface& itf);
int RunMatrix(KvSystem::KvInterface& itf);
void ConfigureHistogram(KvSystem::KvInterface& itf);
int RunHistogram(KvSystem::KvInterface& itf);
void ConfigureInfo(KvSystem::KvInterface& itf);
int RunInfo(KvSystem::KvInterface& itf);
void ConfigureHelp(KvSystem::KvInterface& itf);
int RunHelp(KvSystem::KvInterface& itf);
void ConfigureExplain(KvSystem::KvInterface& itf);
int RunExplain(KvSystem::KvInterface& itf);
void ConfigureServe(KvSystem::KvInterface& itf);
int RunServe(KvSystem::KvInterface& itf);

}  // namespace VarnexCli
