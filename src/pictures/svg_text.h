// Internal: small helpers for writing SVG text.
#pragma once

#include <string>

namespace Varnex::Pictures {

// A coordinate or length with one decimal ("12.5"), the form SVG readers
// take everywhere.
std::string Num(double value);
// `text` cut to at most `maxChars` characters (UTF-8 code points), ending in
// an ellipsis when cut. Works on raw text, which is escaped afterwards.
std::string CutToChars(const std::string& text, std::size_t maxChars);

}  // namespace Varnex::Pictures
