// The style sheets the SVG import reads: which elements each selector
// matches, and what the cascade decides, from tables.
#include <gtest/gtest.h>

#include <string>

#include "formats/svg/SvgStyle.h"
#include "formats/svg/SvgValues.h"
#include "formats/svg/XmlTree.h"

namespace {

// Elements by id: r (the svg), a (g.x.y), b (g in a), c (path.x in b),
// d (path#d in a), e (rect.y, the root's child, with a class of every kind
// of name character), f (g.x in b), h (path in f).
const char* const kDrawing =
    "<svg xmlns='http://www.w3.org/2000/svg' id='r'>"
    "<g id='a' class='x y'><g id='b'><path id='c' class=' x '/><g id='f' class='x'><path id='h'/></g></g>"
    "<path id='d'/></g><rect id='e' class='y zZ9-_\xc3\xa9'/></svg>";

XmlTree drawing()
{
    XmlTree tree;
    EXPECT_TRUE(parseXml(kDrawing, tree)) << tree.error;
    return tree;
}

// The ids of the elements the sheet's only rule matches, in document order.
std::string matched(const XmlTree& tree, const std::string& selector)
{
    StyleSheet sheet;
    parseStyleSheet(selector + " { display: none }", sheet);
    if (sheet.rules.size() != 1)
        return "not read";
    std::string ids;
    for (size_t k = 0; k < tree.elements.size(); ++k)
        if (matches(sheet.rules[0].selector, tree, k))
            ids += tree.elements[k].value("id");
    return ids;
}

TEST(CssSelectors, MatchTypesClassesIdsAndCombinators)
{
    const XmlTree tree = drawing();
    const struct {
        const char* selector;
        const char* ids;
    } kCases[] = {{"path", "chd"},      {"*", "rabcfhde"},     {".x", "acf"},        {".x.y", "a"},
                  {"g.x", "af"},        {"#d", "d"},           {"path#d", "d"},      {"rect#d", ""},
                  {"g path", "chd"},    {"g > path", "chd"},   {"svg > path", ""},   {"svg > g > path", "d"},
                  {"#a path", "chd"},   {"#a > g path", "ch"}, {".x > path", "hd"},  {"g g g path", "h"},
                  {"#r .x .x", "cf"},   {"#a>#b>.x>#h", "h"},  {"svg g > g > path", "ch"},
                  {"a:hover", "not read"}, {"g + g", "not read"}, {"[id]", "not read"}, {"g >", "not read"},
                  {".", "not read"},    {".zZ9-_\xc3\xa9", "e"}};
    for (const auto& c : kCases)
        EXPECT_EQ(matched(tree, c.selector), c.ids) << c.selector;
}

TEST(CssCascade, ImportanceThenOriginThenSpecificityThenOrder)
{
    const struct {
        const char* sheet;
        const char* style;      // element c's style attribute
        const char* attribute;  // its presentation attribute
        const char* display;    // what the cascade gives
    } kCases[] = {
        {"", "", "", ""},
        {"", "", "inline", "inline"},
        {"path { display: block }", "", "none", "block"},
        {"* { display: block }", "", "none", "block"},
        {"#c { display: a } .x { display: b }", "", "", "a"},
        {".x { display: b } path { display: c }", "", "", "b"},
        {"path { display: a } path { display: b }", "", "", "b"},
        {"path { display: a; display: b }", "", "", "b"},
        {"#c { display: a }", "display: s", "", "s"},
        {"path { display: a !important } #c { display: b }", "display: s", "", "a"},
        {"path { display: a !important }", "display: s !important", "", "s"},
        {"path { display: a ! important } #c { display: b !important }", "", "", "b"},
        {"@media print { path { display: a } } path { display: b }", "", "", "b"},
        {"/* path { display: a } */ path { display: b", "", "", "b"},
        {"path, rect { display: a } path:hover, #c { display: b }", "", "", "b"},
        {"PATH { DISPLAY: a }", "", "", ""},
    };
    for (const auto& c : kCases) {
        const std::string text = std::string("<svg xmlns='http://www.w3.org/2000/svg'><g><path id='c' class='x'") +
                                 (*c.style ? std::string(" style='") + c.style + "'" : "") +
                                 (*c.attribute ? std::string(" display='") + c.attribute + "'" : "") +
                                 "/></g></svg>";
        XmlTree tree;
        ASSERT_TRUE(parseXml(text, tree)) << text;
        StyleSheet sheet;
        parseStyleSheet(c.sheet, sheet);
        size_t budget = 100;
        EXPECT_EQ(cascade(sheet, tree, 2, budget)["display"].value, c.display) << c.sheet << " | " << c.style;
    }
}

TEST(CssTransform, TakesUnitsAndCommas)
{
    const struct {
        const char* text;
        bool valid;
        Affine m;
    } kCases[] = {{"translate(10px, 2mm)", true, {1, 0, 0, 1, 10, 2 * 96 / 25.4}},
                  {"translateX(1in) translateY(3px)", true, {1, 0, 0, 1, 96, 3}},
                  {"rotate(0.25turn)", true, {0, 1, -1, 0, 0, 0}},
                  {"rotate(90deg) scale(2, 3)", true, {0, 2, -3, 0, 0, 0}},
                  {"scaleX(2) scaleY(3)", true, {2, 0, 0, 3, 0, 0}},
                  {"skew(45deg, 0)", true, {1, 0, 1, 1, 0, 0}},
                  {"matrix(1, 2, 3, 4, 5, 6)", true, {1, 2, 3, 4, 5, 6}},
                  {" none ", true, {}},
                  {"rotate(1px)", false, {}},
                  {"translate(1deg)", false, {}},
                  {"rotate(1, 2)", false, {}},
                  {"perspective(1px)", false, {}},
                  {"translate(1px", false, {}}};
    for (const auto& c : kCases) {
        Affine m;
        ParseError error;
        EXPECT_EQ(parseCssTransform(c.text, m, error), c.valid) << c.text;
        if (c.valid) {
            const double got[] = {m.a, m.b, m.c, m.d, m.e, m.f}, want[] = {c.m.a, c.m.b, c.m.c, c.m.d, c.m.e, c.m.f};
            for (int k = 0; k < 6; ++k)
                EXPECT_NEAR(got[k], want[k], 1e-9) << c.text << " [" << k << "]";
        }
    }
}

}  // namespace
