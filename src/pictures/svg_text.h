// Internal: small helpers for writing SVG text.
#pragma once

#include <string>
#include <vector>

#include "kvchem/depict.h"

namespace Varnex::Pictures {

// A coordinate or length with one decimal ("12.5"), the form SVG readers
// take everywhere.
std::string Num(double value);
// `text` broken into lines of at most `maxChars` characters (UTF-8 code
// points, at least one per line), each line ending after the last blank or
// pattern separator (",)]-=|.") that fits, else at the limit. Nothing is
// lost: the lines joined give `text` back. Works on raw text, which is
// escaped afterwards.
std::vector<std::string> WrapToChars(const std::string& text, std::size_t maxChars);
// The number of characters (UTF-8 code points) of `text`.
std::size_t NumChars(const std::string& text);
// A count as people read it: "2,500" below 10,000, then "12.5k", "400M",
// "1.2G" (3 significant digits); with `exact`, every digit with thousands
// separators ("49,995,000").
std::string FormatCount(double count, bool exact = false);
// "#RRGGBB" of a colour.
std::string HexColour(const KvChem::KvColour& colour);

}  // namespace Varnex::Pictures
