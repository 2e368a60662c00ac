#include "XmlTree.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Expat gives a namespaced name as its URI, this separator, its local name.
const char kSeparator = '\x01';
const size_t kDropped = SIZE_MAX;  // an open element not kept

XmlSpace spaceOf(std::string_view uri)
{
    if (uri == "http://www.w3.org/2000/svg")
        return XmlSpace::Svg;
    if (uri == "http://www.w3.org/1999/xlink")
        return XmlSpace::XLink;
    if (uri == "http://www.inkscape.org/namespaces/inkscape")
        return XmlSpace::Inkscape;
    if (uri == "http://www.w3.org/2001/XInclude")
        return XmlSpace::XInclude;
    return XmlSpace::Other;
}

void splitName(const char* expanded, XmlSpace& space, std::string& name)
{
    const char* const separator = std::strchr(expanded, kSeparator);
    space = separator ? spaceOf(std::string_view(expanded, static_cast<size_t>(separator - expanded)))
                      : XmlSpace::None;
    name = separator ? separator + 1 : expanded;
}

struct Building {
    XML_Parser parser;
    XmlTree& tree;
    std::vector<size_t> open;  // the elements not yet closed, innermost last
};

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes)
{
    Building& b = *static_cast<Building*>(data);
    const size_t index = b.tree.elements.size();
    if (index >= b.tree.most) {
        ++b.tree.dropped;
        b.open.push_back(kDropped);
        return;
    }
    XmlElement element;
    splitName(name, element.space, element.name);
    for (const XML_Char** a = attributes; *a; a += 2) {
        element.attributes.emplace_back();
        splitName(a[0], element.attributes.back().space, element.attributes.back().name);
        element.attributes.back().value = a[1];
    }
    element.offset = static_cast<size_t>(std::max<XML_Index>(XML_GetCurrentByteIndex(b.parser), 0));
    element.parent = b.open.empty() ? index : b.open.back();
    element.end = index + 1;
    b.tree.elements.push_back(std::move(element));
    if (!b.open.empty())
        b.tree.elements[b.open.back()].children.push_back(index);
    b.open.push_back(index);
}

// Only a style sheet's text is read; the rest of the text is not drawn.
void XMLCALL characters(void* data, const XML_Char* text, int length)
{
    Building& b = *static_cast<Building*>(data);
    if (!b.open.empty() && b.open.back() != kDropped && b.tree.elements[b.open.back()].name == "style")
        b.tree.elements[b.open.back()].text.append(text, static_cast<size_t>(length));
}

void XMLCALL endElement(void* data, const XML_Char*)
{
    Building& b = *static_cast<Building*>(data);
    if (b.open.back() != kDropped)
        b.tree.elements[b.open.back()].end = b.tree.elements.size();
    b.open.pop_back();
}

}  // namespace

const std::string* XmlElement::find(const char* wanted, XmlSpace wantedSpace) const
{
    for (const XmlAttribute& attribute : attributes)
        if (attribute.space == wantedSpace && attribute.name == wanted)
            return &attribute.value;
    return nullptr;
}

const char* XmlElement::value(const char* wanted, XmlSpace wantedSpace) const
{
    const std::string* const found = find(wanted, wantedSpace);
    return found ? found->c_str() : "";
}

bool parseXml(std::string_view text, XmlTree& tree)
{
    const size_t most = tree.most;
    tree = XmlTree();
    tree.most = most;
    XML_Parser parser = XML_ParserCreateNS(nullptr, kSeparator);
    if (!parser) {
        tree.error = "out of memory";
        return false;
    }
    Building building{parser, tree, {}};
    XML_SetUserData(parser, &building);
    XML_SetElementHandler(parser, startElement, endElement);
    XML_SetCharacterDataHandler(parser, characters);
    // Expat takes at most INT_MAX bytes a call.
    const size_t chunk = INT_MAX / 2;
    bool read = true;
    for (size_t at = 0; read;) {
        const size_t n = std::min(chunk, text.size() - at);
        read = XML_Parse(parser, text.data() + at, static_cast<int>(n), at + n == text.size()) != XML_STATUS_ERROR;
        at += n;
        if (at == text.size())
            break;
    }
    if (!read) {
        tree.error = XML_ErrorString(XML_GetErrorCode(parser));
        tree.errorOffset = std::min(static_cast<size_t>(std::max<XML_Index>(XML_GetCurrentByteIndex(parser), 0)),
                                    text.size());
    }
    XML_ParserFree(parser);
    return read;
}
