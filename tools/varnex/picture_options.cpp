// The parameters that shape pictures: panel size, columns, highlight.

#include "picture_options.h"

#include <cstdio>
#include <string>

#include "parameters_common.h"

namespace VarnexCli {
namespace {

// A side of "-panel": digits only, within the legal sizes.
bool ParseSide(const std::string& text, unsigned& side) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  side = static_cast<unsigned>(std::stoul(text));
  return side >= Varnex::KvMinPanelRequest && side <= Varnex::KvMaxPanelRequest;
}

}  // namespace

void AddPictureLayout(KvSystem::KvInterface& itf) {
  const Varnex::KvPictureLayout defaults;
  KvSystem::KvParameter* panel = AddText(itf, "-panel", "", "Smallest drawing of a molecule, WIDTHxHEIGHT in pixels "
                                                            "(drawings grow with their molecule)");
  panel->SetDefault(std::to_string(defaults.panelWidth) + "x" + std::to_string(defaults.panelHeight));
  KvSystem::KvParameter* columns = itf.AddParameter("int");
  columns->SetName("-columns");
  columns->SetBrief("Panels per row (at most)");
  columns->SetLegalRange("1", std::to_string(Varnex::KvMaxColumns));
  columns->SetDefault(static_cast<int>(defaults.columns));
}

void AddHitPictureOptions(KvSystem::KvInterface& itf) {
  AddPictureLayout(itf);
  KvSystem::KvParameter* highlight = AddText(itf, "-highlight", "", "What the drawings of the hits highlight");
  for (const char* mode : {"mcs", "bits", "none"}) highlight->AddLegalValue(mode);
  highlight->SetDefault("mcs");
  highlight->AddDetail(
      "\n\tmcs: the largest common substructure with the query\n\tbits: the atoms of the fingerprint features "
      "(of at least 2 bonds) the hit shares with the query, also on the query beside it\n\tnone: nothing");
  KvSystem::KvParameter* time = itf.AddParameter("int");
  time->SetName("-mcstime");
  time->SetBrief("Milliseconds per hit for the common substructure search, which then keeps its best so far");
  time->SetLegalRange("1", "600000");
  time->SetDefault(static_cast<int>(Varnex::KvHitGridOptions().mcsTimeLimit.count()));
}

bool ReadPictureLayout(const KvSystem::KvInterface& itf, const char* command, Varnex::KvPictureLayout& layout) {
  const std::string panel = itf.Get<std::string>("-panel");
  const std::size_t x = panel.find('x');
  if (x == std::string::npos || !ParseSide(panel.substr(0, x), layout.panelWidth) ||
      !ParseSide(panel.substr(x + 1), layout.panelHeight)) {
    std::fprintf(stderr, "varnex %s: -panel must be WIDTHxHEIGHT in pixels, each from %u to %u: %s\n", command,
                 Varnex::KvMinPanelRequest, Varnex::KvMaxPanelRequest, panel.c_str());
    return false;
  }
  layout.columns = static_cast<unsigned>(itf.Get<int>("-columns"));
  return true;
}

bool ReadHitPictureOptions(const KvSystem::KvInterface& itf, const char* command, Varnex::KvHitGridOptions& options) {
  if (!ReadPictureLayout(itf, command, options.layout)) return false;
  const std::string highlight = itf.Get<std::string>("-highlight");
  if (!Varnex::KvParseHitHighlight(highlight, options.highlight)) {
    std::fprintf(stderr, "varnex %s: -highlight must be mcs, bits or none: %s\n", command, highlight.c_str());
    return false;
  }
  options.mcsTimeLimit = std::chrono::milliseconds(itf.Get<int>("-mcstime"));
  return true;
}

}  // namespace VarnexCli
