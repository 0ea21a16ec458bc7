// Text helpers: tokenising, strict number parsing and formatting, file
// extensions. All functions are reentrant and thread-safe; none throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace KvSystem {

// Splits `text` at every character found in `delimiters` and replaces the
// contents of `tokens` with the pieces, in order. With `keepEmpty` true every
// delimiter separates two tokens, so "a,,b" gives "a", "", "b" and ",a" gives
// "", "a"; with `keepEmpty` false empty pieces are dropped ("a", "b" and "a").
// An empty text gives no tokens either way; empty `delimiters` give the whole
// text as one token. Returns the number of tokens.
std::size_t KvStringTokenize(std::list<std::string>& tokens, const std::string& text, const std::string& delimiters,
                             bool keepEmpty);
std::size_t KvStringTokenize(std::vector<std::string>& tokens, const std::string& text,
                             const std::string& delimiters, bool keepEmpty);

// Parses `text` as a number in `base` (2 to 36; letters in either case).
// The whole text must be digits of the base: no sign, no spaces, no prefix
// such as "0x", not empty, and the value must fit the output. Returns false
// and leaves `value` unchanged otherwise.
bool KvStringToNumber(const std::string& text, unsigned& value, unsigned base = 10);
bool KvStringToNumber(const std::string& text, std::uint64_t& value, unsigned base = 10);

// The digits of `value` in `base` (2 to 36, lower-case letters). An invalid
// base is reported and gives "".
std::string KvNumberToString(unsigned value, unsigned base = 10);

// The extension of the file name at the end of `path`, without the dot and in
// lower case: "x/a.SMI" gives "smi", "a.smi.gz" gives "gz". A name without a
// dot, with its only dot in front (".hidden") or with a trailing dot gives
// `defaultExtension`; dots in directory names ("dir.d/file") do not count.
std::string KvFileExtension(const std::string& path, const std::string& defaultExtension = "");

}  // namespace KvSystem
