// The quick read of the export's own JSON document: one that keeps to the
// schema and needs nothing said, which is what the export writes, is read by
// simdjson's On-Demand parser, several times faster than events; any other
// goes to the event read (JsonImport.cpp).
#include <simdjson.h>

#include <array>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "formats/Import.h"
#include "formats/json/JsonLayout.h"

using namespace jsonLayout;

namespace {

// What the quick parser's index may take beyond the document's own size,
// and the size below which four bytes a byte stays within it.
constexpr size_t kQuickIndexRoom = 40 * 1024 * 1024;
constexpr size_t kQuickAnySize = kQuickIndexRoom / 3;

namespace quick {

using simdjson::ondemand::array;
using simdjson::ondemand::object;
using simdjson::ondemand::value;

// Each of `count` keys exactly once, in any order; `take` reads one's value.
template <typename Take>
bool eachKey(object properties, const Key* keys, size_t count, Take take)
{
    unsigned seen = 0;
    for (auto found : properties) {
        simdjson::ondemand::field field;
        std::string_view name;
        if (std::move(found).get(field) || field.unescaped_key().get(name))
            return false;
        size_t k = 0;
        while (k < count && name != keys[k].name)
            ++k;
        if (k == count || (seen & (1u << k)) || !take(keys[k].node, field.value()))
            return false;
        seen |= 1u << k;
    }
    return seen == (1u << count) - 1;
}

template <typename Take>
bool eachItem(value items, Take take)
{
    array list;
    if (items.get_array().get(list))
        return false;
    for (auto item : list) {
        value found;
        if (std::move(item).get(found) || !take(found))
            return false;
    }
    return true;
}

bool number(value found, double& number) { return !found.get_double().get(number); }

bool whole(value found, double least, double& number)
{
    return quick::number(found, number) && std::floor(number) == number && number >= least;
}

// A control point's coordinate as the event reader makes it: the float its
// text reads as. A whole number of up to 15 digits is exact in a double, so
// its text reads as the same float; longer ones are left to the event reader.
bool coordinate(value found, float& kept)
{
    std::string_view token = found.raw_json_token();
    double checked;
    if (!number(found, checked))
        return false;
    token = token.substr(0, token.find_first_of(" \t\r\n"));
    char spelled[64];
    if (token.size() >= sizeof spelled ||
        (token.find_first_of(".eE") == std::string_view::npos && token.size() > 15))
        return false;
    token.copy(spelled, token.size());
    spelled[token.size()] = '\0';
    kept = std::strtof(spelled, nullptr);
    return !std::isinf(kept);
}

// [x, y], kept in `xy` when it is given.
bool point(value found, std::vector<float>* xy)
{
    size_t count = 0;
    return eachItem(found, [&](value item) {
               float kept = 0;
               double checked;
               if (++count > 2 || !(xy ? coordinate(item, kept) : number(item, checked)))
                   return false;
               if (xy)
                   xy->push_back(kept);
               return true;
           }) &&
           count == 2;
}

bool curve(value found, ImportedLevel& level)
{
    object properties;
    bool closed = false;
    std::vector<float> xy;
    if (found.get_object().get(properties) ||
        !eachKey(properties, kCurveKeys, std::size(kCurveKeys), [&](Node node, value item) {
            if (node == kClosed)
                return !item.get_bool().get(closed);
            return eachItem(item, [&](value p) { return point(p, node == kControlPoints ? &xy : nullptr); });
        }))
        return false;
    if (wantsEndPoints(xy.size() / 2, closed))
        return false;  // end points are added, and that is said
    level.curves.push_back(storedCurve(xy, closed, 0));
    return true;
}

bool level(value found, std::vector<ImportedLevel>& levels)
{
    object properties;
    levels.push_back(ImportedLevel{{}, 0});
    return !found.get_object().get(properties) &&
           eachKey(properties, kLevelKeys, std::size(kLevelKeys), [&](Node node, value item) {
               double number;
               if (node == kLevelNumber)
                   return whole(item, 0, number) && number == static_cast<double>(levels.size() - 1);
               return eachItem(item, [&](value c) { return curve(c, levels.back()); }) &&
                      !levels.back().curves.empty();
           });
}

bool root(value found, std::vector<ImportedLevel>& levels)
{
    object properties;
    return !found.get_object().get(properties) &&
           eachKey(properties, kRootKeys, std::size(kRootKeys), [&](Node node, value item) {
               std::string_view units;
               bool yUp = false;
               double number;
               size_t extent = 0;
               switch (node) {
               case kUnits: return !item.get_string().get(units) && units == "level";
               case kExtent:
                   return eachItem(item, [&](value end) {
                              return extent < 2 && quick::number(end, number) && number == (extent++ ? 5 : -5);
                          }) &&
                          extent == 2;
               case kYUp: return !item.get_bool().get(yUp) && yUp;
               case kSamplesPerSegment: return whole(item, 1, number);
               default: return eachItem(item, [&](value l) { return level(l, levels); });
               }
           });
}

// The levels of a document that keeps to the schema and needs nothing said;
// false for any other.
bool read(const std::string& text, std::vector<ImportedLevel>& levels)
{
    static_assert(kImportReadAhead >= simdjson::SIMDJSON_PADDING, "room for the parser's read ahead");
    simdjson::padded_string copy;
    simdjson::padded_string_view padded(text.data(), text.size(), text.capacity());
    if (text.capacity() < text.size() + simdjson::SIMDJSON_PADDING) {
        copy = simdjson::padded_string(text);
        padded = copy;
    }
    simdjson::ondemand::parser parser;
    simdjson::ondemand::document document;
    value top;
    const char* after = nullptr;
    return !parser.iterate(padded).get(document) && !document.get_value().get(top) && root(top, levels) &&
           document.current_location().get(after) == simdjson::OUT_OF_BOUNDS;
}

}  // namespace quick

// The quick parser indexes where every token starts before it reads the
// document, four bytes each. Up to kQuickAnySize any document fits beside
// itself; a longer one only when its tokens are few enough: a document dense
// with tokens goes to the event reader, which holds one at a time. Counted
// without regard to strings (each word of one counts), which only errs high.
bool quickFits(const std::string& text)
{
    if (text.size() <= kQuickAnySize)
        return true;
    // Each byte's class: 1 an operator, 2 part of a word, 0 a blank.
    static const std::array<unsigned char, 256> kClass = [] {
        std::array<unsigned char, 256> classes{};
        classes.fill(2);
        for (const unsigned char c : std::string("[]{},:\""))
            classes[c] = 1;
        for (const unsigned char c : std::string(" \t\n\r"))
            classes[c] = 0;
        return classes;
    }();
    size_t tokens = 0;
    unsigned before = 0;
    for (const char c : text) {
        const unsigned now = kClass[static_cast<unsigned char>(c)];
        tokens += (now & 1) + ((now >> 1) & ~(before >> 1));
        before = now;
    }
    return 4 * tokens <= text.size() + kQuickIndexRoom;
}

}  // namespace

void importJson(const std::string& text, Imported& imported)
{
    std::vector<ImportedLevel> levels;
    if (quickFits(text) && quick::read(text, levels)) {
        Imported clean;
        buildLevels(levels, text.size(), clean);
        if (clean.messages.empty() && !clean.refused()) {
            imported.levels.swap(clean.levels);
            return;
        }
    }
    importJsonEvents(text, imported);
}
