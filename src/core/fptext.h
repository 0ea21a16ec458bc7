// The text that Lingo and unhashed fingerprints keep in their bits: writing
// the stored text of the unhashed kinds (layout in include/varnex/unhashedfp.h)
// and reading any stored text back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "varnex/fingerprint.h"

namespace Varnex {

// Replaces fp's bits with the stored text of `ids` (ascending, distinct);
// `extraZero` appends the further zero byte of the unhashed path kind. The
// type is not touched.
void SetUnhashedText(KvFingerPrint& fp, const std::set<std::string>& ids, bool extraZero);

// The stored text: the fingerprint's bytes up to the first zero byte, or all
// of them when there is none. A view into fp's storage, valid while fp is
// unchanged.
inline std::string_view GetFPText(const KvFingerPrint& fp) {
  const std::size_t n = fp.NumBytes();
  if (n == 0) return {};
  const char* text = reinterpret_cast<const char*>(fp.GetBytes());
  const void* zero = std::memchr(text, 0, n);
  return {text, zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : n};
}

// Appends the white-space separated tokens of `text` to `tokens` (views into
// text). Space, tab, line breaks, vertical tab and form feed all separate;
// runs of them give no empty token.
inline void SplitTokens(std::string_view text, std::vector<std::string_view>& tokens) {
  constexpr std::string_view kWhite = " \t\n\v\f\r";
  std::size_t pos = text.find_first_not_of(kWhite);
  while (pos != std::string_view::npos) {
    const std::size_t end = std::min(text.find_first_of(kWhite, pos), text.size());
    tokens.push_back(text.substr(pos, end - pos));
    pos = text.find_first_not_of(kWhite, end);
  }
}

// The number of items two ascending lists share, found in one merge pass;
// duplicates pair off one to one.
template <typename T>
std::uint64_t CountCommonSorted(const std::vector<T>& a, const std::vector<T>& b) {
  std::uint64_t common = 0;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++common;
      ++i;
      ++j;
    }
  }
  return common;
}

}  // namespace Varnex
