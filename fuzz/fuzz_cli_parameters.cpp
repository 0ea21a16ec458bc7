// Fuzz target: the command line of the varnex program up to the point where
// a subcommand would run. The input holds the words, separated by NUL or
// line feed bytes; the first names the subcommand (or picks one by its first
// byte). Every parameter value that passes parsing and validation must read
// as its type, and the setup functions must take what passed.
#include "../tools/varnex/checks.h"
#include "../tools/varnex/command.h"
#include "fuzz_util.h"
#include "kvchem/size_limits.h"
#include "varnex/config.h"

namespace {

std::vector<std::string> Words(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0 || data[i] == '\n')
      words.emplace_back();
    else
      words.back() += static_cast<char>(data[i]);
  }
  return words;
}

void CheckValuesRead(const KvSystem::KvInterface& itf) {
  for (const auto& p : itf.GetParameters()) {
    if (!p->HasValue()) continue;
    const std::string& type = p->GetValueType();
    int i = 0;
    float f = 0;
    bool b = false;
    std::string s;
    const bool read = type == "int" ? p->Read(i) : type == "float" ? p->Read(f) : type == "bool" ? p->Read(b) : p->Read(s);
    VarnexFuzz::Check(read, "a validated value reads as its type");
  }
  for (const auto& child : itf.GetInterfaces()) CheckValuesRead(*child);
}

}  // namespace

VARNEX_FUZZ_TARGET(cli_parameters) {
  std::vector<std::string> args = Words(data, size);
  const auto& commands = VarnexCli::Commands();
  const VarnexCli::Command* command = VarnexCli::FindCommand(args[0]);
  if (command == nullptr) command = &commands[args[0].empty() ? 0 : static_cast<unsigned char>(args[0][0]) % commands.size()];
  args.erase(args.begin());

  KvSystem::KvInterface itf(command->name);
  command->configure(itf);
  const bool parsed = itf.ParseCommandLine(args);
  itf.GetHelpText();
  if (!parsed || !itf.Validate()) return 0;
  CheckValuesRead(itf);
  VarnexCli::CheckAndApplyParameters(itf, command->name);
  KvChem::KvSetMaxAtoms(0);
  if (itf.GetParameter("-fptype") != nullptr) Varnex::KvSetupFingerPrint(itf);
  Varnex::KvFPDatabaseOptions options;
  Varnex::KvSetupFPDatabaseOptions(options, itf);
  if (itf.GetParameter("-memory") != nullptr) Varnex::KvGetFPDatabaseMemoryType(itf, "-memory");
  return 0;
}
