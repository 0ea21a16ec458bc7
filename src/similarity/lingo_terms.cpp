// The three Lingo terms of a pair of Lingo fingerprint texts.

#include <exception>
#include <string>
#include <string_view>

#include "core/fptext.h"
#include "kvsystem/error.h"
#include "varnex/similarity.h"
#include "system/messages.h"

namespace Varnex {
namespace {

// Texts shorter than this have no substring to compare; they are compared
// whole instead.
constexpr std::size_t kLingoLength = 4;

void SetTerms(std::uint32_t* onlyA, std::uint32_t* onlyB, std::uint32_t* both, std::uint32_t a, std::uint32_t b,
              std::uint32_t c) {
  if (onlyA != nullptr) *onlyA = a;
  if (onlyB != nullptr) *onlyB = b;
  if (both != nullptr) *both = c;
}

}  // namespace

bool KvGetLingoSimTerms(const KvFingerPrint& a, const KvFingerPrint& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                        std::uint32_t* both) {
  const std::string_view textA = GetFPText(a);
  const std::string_view textB = GetFPText(b);
  if (textA.size() < kLingoLength || textB.size() < kLingoLength) {
    const auto lengthA = static_cast<std::uint32_t>(textA.size());
    const auto lengthB = static_cast<std::uint32_t>(textB.size());
    if (textA == textB)
      SetTerms(onlyA, onlyB, both, 0, 0, lengthA);
    else
      SetTerms(onlyA, onlyB, both, lengthA, lengthB, 0);
    return true;
  }
  try {
    const KvChem::KvLingoSim query(std::string(textA), 1);
    if (query.IsValid() && query.GetTerms(std::string(textB), onlyA, onlyB, both)) return true;
  } catch (const std::exception&) {
    // Out of memory while counting: reported below like any failed comparer.
  }
  KvSystem::KvThrow()->Warning(Msg::kLingoCannotInit);
  return false;
}

bool KvGetLingoSimTerms(const KvChem::KvLingoSim& query, const KvFingerPrint& b, std::uint32_t* onlyA,
                        std::uint32_t* onlyB, std::uint32_t* both) {
  if (!query.IsValid()) {
    KvSystem::KvThrow()->Warning(Msg::kLingoNotInit);
    return false;
  }
  try {
    return query.GetTerms(std::string(GetFPText(b)), onlyA, onlyB, both);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvGetLingoSimTerms() : %s", e.what());
    return false;
  }
}

}  // namespace Varnex
