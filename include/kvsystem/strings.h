// Text helpers: tokenising, strict number parsing and formatting, file
// extensions. All functions are reentrant and thread-safe; none throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
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

// `text` as a message may quote it: at most `limit` bytes (cut at a UTF-8
// character boundary, then "..." and the full length in bytes), control
// characters as '?', so that one line of a message never carries a whole
// input file or a terminal escape sequence.
std::string KvQuoteInput(std::string_view text, std::size_t limit = 80);

// The length of the valid UTF-8 sequence at text[i], or 0 when the bytes
// there do not form one (overlong forms, surrogates, U+FFFE, U+FFFF and
// values above U+10FFFF included). REQUIRES: i < text.size().
std::size_t KvUtf8SequenceLength(std::string_view text, std::size_t i);
// `text` with every byte that does not start a valid UTF-8 sequence replaced
// by U+FFFD: text any JSON or XML reader accepts.
std::string KvValidUtf8(std::string_view text);

}  // namespace KvSystem
