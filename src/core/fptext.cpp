// Writing the stored text of the unhashed fingerprints.

#include "core/fptext.h"

namespace Varnex {
namespace {

// Bytes an empty identifier set stores (before the path kind's extra zero).
constexpr std::size_t kEmptyTextBytes = 4;

}  // namespace

void SetUnhashedText(KvFingerPrint& fp, const std::set<std::string>& ids, bool extraZero) {
  std::string text;
  for (const std::string& id : ids) {
    text += id;
    text += ' ';
  }
  if (text.empty()) {
    text.assign(kEmptyTextBytes, '\0');
  } else {
    text.resize((text.size() + 3) / 4 * 4, ' ');
    text.back() = '\0';
  }
  if (extraZero) text.push_back('\0');
  fp.SetData(text.data(), 8 * text.size());
}

}  // namespace Varnex
