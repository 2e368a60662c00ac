#include "SvgStyle.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

#include "SvgLex.h"

namespace {

const char* const kRead[] = {"display", "visibility", "transform"};
// A selector of more compounds is passed over: none is written so long.
const size_t kMostCompounds = 32;

using svg::trimmed;
bool isBlank(char c) { return svg::isWhitespace(c); }

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return result;
}

// The text without its comments.
std::string withoutComments(std::string_view text)
{
    std::string result;
    for (size_t at = 0; at < text.size();) {
        const size_t start = text.find("/*", at);
        result.append(text.substr(at, start == std::string_view::npos ? std::string_view::npos : start - at));
        if (start == std::string_view::npos)
            break;
        const size_t end = text.find("*/", start + 2);
        at = end == std::string_view::npos ? text.size() : end + 2;
    }
    return result;
}

// Where the block opened at `open` closes (after its '}'), nested blocks
// counted; the text's end when it never does.
size_t blockEnd(std::string_view text, size_t open)
{
    int depth = 0;
    for (size_t at = open; at < text.size(); ++at) {
        depth += text[at] == '{' ? 1 : text[at] == '}' ? -1 : 0;
        if (depth == 0)
            return at + 1;
    }
    return text.size();
}

// One compound selector; false for anything but type, *, #id and .class.
bool parseCompound(std::string_view text, CssCompound& compound, long& specificity)
{
    size_t at = 0;
    const auto name = [&]() {
        const size_t start = at;
        while (at < text.size() && isNameChar(text[at]))
            ++at;
        return std::string(text.substr(start, at - start));
    };
    if (at < text.size() && text[at] == '*') {
        ++at;
    } else if (at < text.size() && isNameChar(text[at])) {
        compound.type = name();
        specificity += 1;
    }
    while (at < text.size()) {
        const char kind = text[at++];
        const std::string value = name();
        if ((kind != '#' && kind != '.') || value.empty())
            return false;
        if (kind == '#')
            compound.id = value;
        else
            compound.classes.push_back(value);
        specificity += kind == '#' ? 10000 : 100;
    }
    return !text.empty();
}

// A complex selector; false, naming what it holds that isn't read, for
// anything else.
bool parseSelector(std::string_view text, CssSelector& selector, std::string& notRead)
{
    selector = CssSelector{{}, "", 0};
    char combinator = 0;
    for (size_t at = 0; at < text.size();) {
        if (isBlank(text[at]) || text[at] == '>') {
            combinator = text[at] == '>' || combinator == '>' ? '>' : ' ';
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && !isBlank(text[end]) && text[end] != '>')
            ++end;
        const std::string_view part = text.substr(at, end - at);
        const size_t odd = part.find_first_of(":[+~|\\");
        if (odd != std::string_view::npos) {
            notRead = std::string(part[odd] == ':' ? "pseudo-classes" : part[odd] == '[' ? "attribute selectors"
                                  : part[odd] == '\\'                   ? "escaped names"
                                  : part[odd] == '|'                    ? "namespaced selectors"
                                                                        : "sibling combinators") +
                      " are passed over";
            return false;
        }
        CssCompound compound;
        if (!parseCompound(part, compound, selector.specificity) || selector.parts.size() == kMostCompounds) {
            notRead = "selectors not understood are passed over";
            return false;
        }
        if (!selector.parts.empty())
            selector.combinators += combinator ? combinator : ' ';
        selector.parts.push_back(compound);
        combinator = 0;
        at = end;
    }
    if (selector.parts.empty() || combinator) {
        notRead = "selectors not understood are passed over";
        return false;
    }
    return true;
}

void addRule(StyleSheet& sheet, CssRule rule)
{
    const size_t index = sheet.rules.size();
    const CssCompound& last = rule.selector.parts.back();
    if (!last.id.empty())
        sheet.byId[last.id].push_back(index);
    else if (!last.classes.empty())
        sheet.byClass[last.classes.front()].push_back(index);
    else if (!last.type.empty())
        sheet.byType[last.type].push_back(index);
    else
        sheet.universal.push_back(index);
    sheet.rules.push_back(std::move(rule));
}

std::vector<std::string_view> classesOf(const XmlElement& element)
{
    std::vector<std::string_view> classes;
    const std::string_view all = element.value("class");
    for (size_t at = 0; at < all.size();) {
        while (at < all.size() && isBlank(all[at]))
            ++at;
        const size_t start = at;
        while (at < all.size() && !isBlank(all[at]))
            ++at;
        if (at > start)
            classes.push_back(all.substr(start, at - start));
    }
    return classes;
}

bool hasClass(std::string_view all, const std::string& wanted)
{
    for (size_t at = all.find(wanted); at != std::string_view::npos; at = all.find(wanted, at + 1))
        if ((at == 0 || isBlank(all[at - 1])) && (at + wanted.size() == all.size() || isBlank(all[at + wanted.size()])))
            return true;
    return false;
}

bool matchesCompound(const CssCompound& compound, const XmlElement& element)
{
    if ((!compound.type.empty() && compound.type != element.name) ||
        (!compound.id.empty() && compound.id != element.value("id")))
        return false;
    const std::string_view all = element.value("class");
    return std::all_of(compound.classes.begin(), compound.classes.end(),
                       [all](const std::string& c) { return hasClass(all, c); });
}

// Parts 0..k of the selector, part k on `element`. Places found not to
// match are remembered, so a long chain of descendant combinators over a
// deep tree costs parts times depth, not more.
bool matchesFrom(const CssSelector& selector, size_t k, const XmlTree& tree, size_t element,
                 std::unordered_set<size_t>& failed)
{
    const size_t key = element * (kMostCompounds + 1) + k;
    if (failed.count(key) || !matchesCompound(selector.parts[k], tree.elements[element]))
        return false;
    if (k == 0)
        return true;
    bool found = false;
    for (size_t up = element; !found && tree.elements[up].parent != up;) {
        up = tree.elements[up].parent;
        found = matchesFrom(selector, k - 1, tree, up, failed);
        if (selector.combinators[k - 1] == '>')
            break;
    }
    if (!found)
        failed.insert(key);
    return found;
}

// Whether a declaration of priority (important, from the style attribute,
// specificity, order) outranks another.
struct Rank {
    bool important, inline_;
    long specificity;
    size_t order;
    bool operator<(const Rank& o) const
    {
        return important != o.important   ? o.important
               : inline_ != o.inline_      ? o.inline_
               : specificity != o.specificity ? specificity < o.specificity
                                             : order < o.order;
    }
};

}  // namespace

std::vector<CssDeclaration> parseDeclarations(std::string_view text)
{
    std::vector<CssDeclaration> declarations;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find(';', at), text.size());
        const std::string_view declaration = text.substr(at, end - at);
        at = end + 1;
        const size_t colon = declaration.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string property = lower(trimmed(declaration.substr(0, colon)));
        if (std::find(std::begin(kRead), std::end(kRead), property) == std::end(kRead))
            continue;
        std::string_view value = trimmed(declaration.substr(colon + 1));
        const size_t bang = value.rfind('!');
        const bool important = bang != std::string_view::npos && lower(trimmed(value.substr(bang + 1))) == "important";
        if (important)
            value = trimmed(value.substr(0, bang));
        declarations.push_back(CssDeclaration{property, std::string(value), important});
    }
    return declarations;
}

void parseStyleSheet(std::string_view source, StyleSheet& sheet)
{
    const std::string text = withoutComments(source);
    for (size_t at = 0; at < text.size();) {
        const size_t open = text.find_first_of("{;", at);
        if (open == std::string::npos)
            break;
        const std::string_view prelude = trimmed(std::string_view(text).substr(at, open - at));
        const size_t end = text[open] == '{' ? blockEnd(text, open) : open + 1;
        const size_t close = text[end - 1] == '}' ? end - 1 : end;  // a sheet may end inside a block
        if (!prelude.empty() && prelude[0] == '@') {
            size_t name = 1;
            while (name < prelude.size() && isNameChar(prelude[name]))
                ++name;
            sheet.passedOver.insert("@" + lower(prelude.substr(1, name - 1)) + " rules are passed over");
        } else if (text[open] == '{') {
            const std::vector<CssDeclaration> declarations =
                parseDeclarations(std::string_view(text).substr(open + 1, close - open - 1));
            for (size_t start = 0; start <= prelude.size() && !declarations.empty();) {
                const size_t comma = std::min(prelude.find(',', start), prelude.size());
                CssRule rule{{}, declarations};
                std::string notRead;
                if (parseSelector(trimmed(prelude.substr(start, comma - start)), rule.selector, notRead))
                    addRule(sheet, std::move(rule));
                else
                    sheet.passedOver.insert(notRead);
                start = comma + 1;
            }
        }
        at = end;
    }
}

bool matches(const CssSelector& selector, const XmlTree& tree, size_t element)
{
    if (selector.parts.size() == 1)
        return matchesCompound(selector.parts[0], tree.elements[element]);
    std::unordered_set<size_t> failed;
    return matchesFrom(selector, selector.parts.size() - 1, tree, element, failed);
}

std::map<std::string, Cascaded> cascade(const StyleSheet& sheet, const XmlTree& tree, size_t element,
                                        size_t& budget)
{
    const XmlElement& e = tree.elements[element];
    std::map<std::string, Cascaded> values;
    std::map<std::string, Rank> best;
    for (const char* property : kRead)
        if (const std::string* given = e.find(property)) {  // a presentation attribute: below every rule
            values[property] = Cascaded{*given, false};
            best[property] = Rank{false, false, -1, 0};
        }
    const auto consider = [&](const std::vector<CssDeclaration>& declarations, Rank rank) {
        for (const CssDeclaration& d : declarations) {
            rank.important = d.important;
            const auto held = best.find(d.property);
            if (held == best.end() || !(rank < held->second)) {
                values[d.property] = Cascaded{d.value, true};
                best[d.property] = rank;
            }
        }
    };
    // Each rule is in one bucket; a class said twice is looked up once.
    const auto test = [&](const std::vector<size_t>& rules) {
        for (size_t i = 0; i < rules.size() && budget > 0; ++i, --budget) {
            const CssRule& rule = sheet.rules[rules[i]];
            if (matches(rule.selector, tree, element))
                consider(rule.declarations, Rank{false, false, rule.selector.specificity, rules[i]});
        }
    };
    const auto testBucket = [&](const std::map<std::string, std::vector<size_t>>& bucket, const std::string& key) {
        const auto found = bucket.find(key);
        if (found != bucket.end())
            test(found->second);
    };
    test(sheet.universal);
    if (const std::string* id = e.find("id"))
        testBucket(sheet.byId, *id);
    std::vector<std::string_view> classes = classesOf(e);
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    for (const std::string_view c : classes)
        testBucket(sheet.byClass, std::string(c));
    testBucket(sheet.byType, e.name);
    consider(parseDeclarations(e.value("style")), Rank{false, true, 0, SIZE_MAX});
    return values;
}
