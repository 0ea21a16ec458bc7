// Text output helpers: JSON strings and numbers, TSV fields.
#pragma once

#include <string>

namespace VarnexCli {

// `text` as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);
// A score with six decimals ("0.734375").
std::string FormatScore(double score);
// `text` with tabs and line breaks replaced by blanks, safe as a TSV field.
std::string TsvField(const std::string& text);

}  // namespace VarnexCli
