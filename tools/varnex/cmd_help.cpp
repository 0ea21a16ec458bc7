// varnex help: the subcommands, or the parameters of one of them.

#include <cstdio>

#include "command.h"
#include "parameters_common.h"

namespace VarnexCli {

void ConfigureHelp(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* p = AddText(itf, "-command", "-c", "Show the parameters of this command", false);
  for (const Command& command : Commands()) p->AddLegalValue(command.name);
}

int RunHelp(KvSystem::KvInterface& itf) {
  const KvSystem::KvParameter* wanted = itf.GetParameter("-command");
  if (wanted != nullptr && wanted->HasValue()) {
    std::fputs(CommandHelp(*FindCommand(wanted->GetText())).c_str(), stdout);
    return kExitOk;
  }
  std::string text =
      "usage: varnex <command> [-parameter value ...]\n"
      "Parameters are given as -name value; 'varnex <command> -help' or 'varnex help <command>' lists them.\n\n"
      "commands:\n";
  for (const Command& command : Commands()) {
    std::string name = command.name;
    name.resize(12, ' ');
    text += "  " + name + command.summary + "\n";
  }
  text += "\nexamples:\n";
  for (const Command& command : Commands()) text += std::string("  ") + command.example + "\n";
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

}  // namespace VarnexCli
