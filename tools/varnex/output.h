// Text output helpers: JSON strings and numbers, TSV fields.
#pragma once

#include <string>

namespace VarnexCli {

// `text` as a JSON string literal, quotes included; bytes that are not valid
// UTF-8 become U+FFFD, so the output is JSON any parser accepts.
std::string JsonString(const std::string& text);
// A score with six decimals ("0.734375").
std::string FormatScore(double score);
// `text` safe as a TSV field: tabs and line breaks as blanks, other control
// characters (terminal escape sequences) as \xNN and the backslash as \\.
std::string TsvField(const std::string& text);

}  // namespace VarnexCli
