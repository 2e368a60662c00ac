// CSS as SVG uses it, for the properties that decide what a drawing draws
// (display, visibility, transform): the drawing's <style> sheets, each
// element's style attribute and its presentation attributes, in the
// standard's order. Selectors of type, class, id and *, joined by the
// descendant and child combinators, in lists; anything else (at-rules,
// pseudo-classes, attribute selectors, other combinators) is passed over.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "XmlTree.h"

struct CssDeclaration {
    std::string property;  // lower case
    std::string value;
    bool important;
};

// One compound selector: a type (empty: any), an id, classes.
struct CssCompound {
    std::string type, id;
    std::vector<std::string> classes;
};

struct CssSelector {
    std::vector<CssCompound> parts;  // left to right
    std::string combinators;         // between parts: ' ' descendant, '>' child
    long specificity;                // ids, classes, types, as one number
};

struct CssRule {
    CssSelector selector;
    std::vector<CssDeclaration> declarations;  // of the properties read only
};

struct StyleSheet {
    std::vector<CssRule> rules;  // in document order
    // Rules by their rightmost compound's id, else a class, else its type,
    // else none: the candidates for an element, so that a large sheet
    // over a large drawing costs what matches.
    std::map<std::string, std::vector<size_t>> byId, byClass, byType;
    std::vector<size_t> universal;
    std::set<std::string> passedOver;  // what was not understood, each said once
};

// The declarations of a style attribute or a rule's block, of the
// properties the import reads.
std::vector<CssDeclaration> parseDeclarations(std::string_view text);

// Adds a style sheet's rules to `sheet`.
void parseStyleSheet(std::string_view text, StyleSheet& sheet);

// Whether `selector` matches element `element` of `tree`.
bool matches(const CssSelector& selector, const XmlTree& tree, size_t element);

struct Cascaded {
    std::string value;
    bool fromCss;  // a transform from CSS has CSS's syntax, not SVG's
};

// The properties the import reads, of one element, as the cascade decides:
// the declarations of the sheet and of its style attribute by importance,
// origin, specificity and order, over its presentation attributes; a
// property none gives is left out. `budget` counts down the rules tested;
// at zero no more are, so that no sheet makes an import match for long.
std::map<std::string, Cascaded> cascade(const StyleSheet& sheet, const XmlTree& tree, size_t element,
                                        size_t& budget);
