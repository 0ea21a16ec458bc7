// The names of fast database files.

#include "fastdb/storage/file_names.h"

#include "kvsystem/strings.h"
#include "varnex/fpbin.h"

namespace Varnex {

// The system's extension function folds case, so the file name's own last
// letters are compared as well.
bool HasFastDatabaseExtension(const std::string& path) {
  static constexpr std::string_view kExtension = "fpbin";
  return KvSystem::KvFileExtension(path) == kExtension && path.ends_with(kExtension);
}

std::string HeaderSafeMolFilename(const std::string& molPath, const KvFPTypeBase* type, std::uint64_t count) {
  // "LE", the name, the type string and the count, each with its line feed.
  const std::size_t others = 3 + type->GetFPTypeString().size() + 1 + std::to_string(count).size() + 1;
  const std::size_t budget = KvFastFPHeaderTextSize - others - 1;
  if (molPath.find_first_of("\n\r") == std::string::npos && molPath.size() <= budget) return molPath;
  std::string name = molPath.substr(molPath.find_last_of('/') + 1);  // npos + 1 == 0
  for (char& c : name)
    if (c == '\n' || c == '\r') c = '?';
  if (name.size() > budget) {
    std::size_t cut = budget;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return name;
}

}  // namespace Varnex
