// Test helper: parses an SVG or XHTML document with expat into a small tree,
// so that tests check well-formedness and count elements.
#pragma once

#include <expat.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace VarnexTest {

struct XmlElement {
  std::string name;  // without namespace
  std::map<std::string, std::string> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;
  std::string text;  // character data directly inside, concatenated

  std::string Attribute(const std::string& key) const {
    const auto it = attributes.find(key);
    return it == attributes.end() ? std::string() : it->second;
  }
  // Character data of this element and all below it.
  std::string AllText() const {
    std::string all = text;
    for (const auto& child : children) all += child->AllText();
    return all;
  }
  // Every element below (not this one) named `wanted`, in document order.
  std::vector<const XmlElement*> FindAll(const std::string& wanted) const {
    std::vector<const XmlElement*> found;
    std::function<void(const XmlElement&)> walk = [&](const XmlElement& e) {
      for (const auto& child : e.children) {
        if (child->name == wanted) found.push_back(child.get());
        walk(*child);
      }
    };
    walk(*this);
    return found;
  }
  // The elements below named `wanted` whose class attribute is `cls`.
  std::vector<const XmlElement*> FindAll(const std::string& wanted, const std::string& cls) const {
    std::vector<const XmlElement*> found;
    for (const XmlElement* e : FindAll(wanted))
      if (e->Attribute("class") == cls) found.push_back(e);
    return found;
  }
};

// The document element, or nothing when the text is not well-formed XML.
inline std::optional<XmlElement> ParseXml(const std::string& text) {
  struct State {
    XmlElement root;
    std::vector<XmlElement*> open;
  } state;
  XML_Parser parser = XML_ParserCreateNS("UTF-8", '|');
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* s = static_cast<State*>(data);
        XmlElement* element = &s->root;
        if (!s->open.empty()) {
          s->open.back()->children.push_back(std::make_unique<XmlElement>());
          element = s->open.back()->children.back().get();
        }
        const std::string full = name;
        element->name = full.substr(full.find('|') == std::string::npos ? 0 : full.find('|') + 1);
        for (int i = 0; attributes[i] != nullptr; i += 2) element->attributes[attributes[i]] = attributes[i + 1];
        s->open.push_back(element);
      },
      [](void* data, const XML_Char*) { static_cast<State*>(data)->open.pop_back(); });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* chars, int length) {
    auto* s = static_cast<State*>(data);
    if (!s->open.empty()) s->open.back()->text.append(chars, static_cast<std::size_t>(length));
  });
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  if (!ok) return std::nullopt;
  return std::move(state.root);
}

}  // namespace VarnexTest
