// XML documents as the SVG import walks them: read by expat, which refuses
// what isn't well-formed XML with namespaces (a second root, a repeated
// attribute, an undeclared prefix, a reference to a character XML forbids),
// as browsers do; names resolved to their namespaces, each element's byte
// place kept for messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The namespaces the import reads; any other is Other.
enum class XmlSpace : unsigned char { None, Svg, XLink, Inkscape, XInclude, Other };

struct XmlAttribute {
    XmlSpace space;
    std::string name;  // local name
    std::string value;
};

struct XmlElement {
    XmlSpace space;
    std::string name;  // local name
    std::vector<XmlAttribute> attributes;
    size_t offset;  // where its "<" stands
    size_t parent;  // the root is its own parent
    size_t end;     // one past its last descendant: its subtree is [own index, end)
    std::vector<size_t> children;
    std::string text;  // the text directly inside, kept for <style> elements only

    // The attribute's value, or nullptr when it has none.
    const std::string* find(const char* name, XmlSpace space = XmlSpace::None) const;
    // The attribute's value, or "" when it has none.
    const char* value(const char* name, XmlSpace space = XmlSpace::None) const;
};

struct XmlTree {
    std::vector<XmlElement> elements;  // in document order, the root first
    size_t most = SIZE_MAX;            // elements kept at most; the rest are only checked
    size_t dropped = 0;                // elements beyond `most`
    std::string error;                 // why the text is not XML, if it isn't
    size_t errorOffset = 0;
};

// Reads `text` into `tree` (keeping its `most`); false, with the error and its byte offset, when
// it is not well-formed XML.
bool parseXml(std::string_view text, XmlTree& tree);
