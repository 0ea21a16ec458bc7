// Running one subcommand: its parameters, help, validation and exit status.

#include "command.h"

#include <cstdio>
#include <exception>

#include "checks.h"
#include "run_context.h"

namespace VarnexCli {

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands())
    if (name == command.name) return &command;
  return nullptr;
}

std::string CommandHelp(const Command& command) {
  KvSystem::KvInterface itf(command.name);
  command.configure(itf);
  std::string text = std::string("usage: varnex ") + command.name + " [-parameter value ...]\n" + command.summary +
                     "\n\nexample:\n  " + command.example + "\n\nparameters:\n";
  text += itf.GetHelpText();
  return text;
}

int RunCommand(const Command& command, const Arguments& args) {
  try {
    KvSystem::KvInterface itf(command.name);
    command.configure(itf);
    const bool parsed = itf.ParseCommandLine(args);
    if (itf.IsHelpRequested()) {
      std::fputs(CommandHelp(command).c_str(), stdout);
      return parsed ? kExitOk : kExitUsage;
    }
    if (!parsed || !itf.Validate()) {
      std::fprintf(stderr, "varnex %s: bad parameters; see 'varnex %s -help'\n", command.name, command.name);
      return kExitUsage;
    }
    if (!CheckAndApplyParameters(itf, command.name)) return kExitUsage;
    RunContext context;
    const int status = command.run(itf);
    if (Interrupted()) EndByTheSignal(command.name);
    return status;
  } catch (const std::exception& e) {
    // The library does not throw; this guards the program's own code.
    std::fprintf(stderr, "varnex %s: internal error: %s\n", command.name, e.what());
    return kExitFailure;
  }
}

}  // namespace VarnexCli
