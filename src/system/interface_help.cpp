// KvInterface: the help text listing every parameter.

#include "kvsystem/parameters.h"

namespace KvSystem {
namespace {

constexpr const char* kIndent = "      ";

// Details carry their own line breaks and tabs ("\n\tAPI : ..."): each line
// goes on its own indented row, a leading tab dropped and further tabs
// shown as two blanks.
void AppendDetail(std::string& text, const std::string& detail) {
  std::size_t start = 0;
  while (start <= detail.size()) {
    std::size_t end = detail.find('\n', start);
    if (end == std::string::npos) end = detail.size();
    std::string line = detail.substr(start, end - start);
    if (!line.empty() && line[0] == '\t') line.erase(0, 1);
    std::string shown;
    for (char c : line) shown += c == '\t' ? std::string("  ") : std::string(1, c);
    if (!shown.empty()) text += kIndent + shown + "\n";
    start = end + 1;
  }
}

void AppendParameter(std::string& text, const KvParameter& p) {
  text += "  " + p.GetName();
  for (const auto& alias : p.GetAliases()) text += ", " + alias;
  text += " <" + p.GetValueType() + ">";
  if (!p.IsRequired()) text += " (optional)";
  text += "\n";
  if (!p.GetBrief().empty()) text += kIndent + p.GetBrief() + "\n";
  for (const auto& detail : p.GetDetails()) AppendDetail(text, detail);
  text += std::string(kIndent) + "default: " + (p.HasDefault() ? p.GetDefault() : std::string("none")) + "\n";
  if (p.HasLegalRange()) text += kIndent + ("legal range: " + p.GetLegalLow() + " to " + p.GetLegalHigh()) + "\n";
  if (!p.GetLegalValues().empty()) {
    text += std::string(kIndent) + "legal values:";
    for (const auto& v : p.GetLegalValues()) text += " " + v;
    text += "\n";
  }
}

}  // namespace

void KvInterface::AppendHelp(std::string& text, unsigned maxVisibility) const {
  bool headed = false;
  for (const auto& p : parameters_) {
    if (p->GetVisibility() > maxVisibility) continue;
    if (!headed && !name_.empty()) text += name_ + ":\n";
    headed = true;
    AppendParameter(text, *p);
  }
  if (headed) text += "\n";
  for (const auto& child : children_) child->AppendHelp(text, maxVisibility);
}

std::string KvInterface::GetHelpText(unsigned maxVisibility) const {
  std::string text;
  AppendHelp(text, maxVisibility);
  return text;
}

}  // namespace KvSystem
