// The export's own JSON document, read by simdjson's On-Demand parser while
// the layout's schema is walked: every place is checked as it goes by, a
// long layout's samples are checked but never kept, and every message is
// named by its JSON Pointer and placed where the value it speaks of is.
#include <simdjson.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/LevelModel.h"
#include "formats/Import.h"

namespace {

using simdjson::ondemand::json_type;
using simdjson::ondemand::value;

// What a place of the document must hold.
enum Node {
    kRoot, kUnits, kExtent, kExtentItem, kYUp, kSamplesPerSegment, kLevels, kLevel, kLevelNumber,
    kCurves, kCurve, kClosed, kControlPoints, kSamples, kPoint, kCoordinate
};

struct Key {
    const char* name;
    Node node;
};
const Key kRootKeys[] = {{"units", kUnits}, {"extent", kExtent}, {"yUp", kYUp},
                         {"samplesPerSegment", kSamplesPerSegment}, {"levels", kLevels}};
const Key kLevelKeys[] = {{"level", kLevelNumber}, {"curves", kCurves}};
const Key kCurveKeys[] = {{"closed", kClosed}, {"controlPoints", kControlPoints}, {"samples", kSamples}};

// Names, numbers and words of a layout are short: a longer one is refused
// before a message quotes it.
constexpr size_t kMostToken = 64 * 1024;

const char* nodeWants(Node node)
{
    switch (node) {
    case kRoot: return "the layout object";
    case kUnits: return "\"level\"";
    case kExtent: return "[-5, 5]";
    case kExtentItem: return "-5 or 5";
    case kYUp: return "true";
    case kSamplesPerSegment: return "a whole number of at least 1";
    case kLevels: return "an array of levels";
    case kLevel: return "a level object";
    case kLevelNumber: return "a whole number of at least 0";
    case kCurves: return "an array of curves";
    case kCurve: return "a curve object";
    case kClosed: return "true or false";
    case kControlPoints: case kSamples: return "an array of points";
    case kPoint: return "a point [x, y]";
    default: return "a number";
    }
}

// What each item of an array place must hold.
Node itemOf(Node array)
{
    switch (array) {
    case kExtent: return kExtentItem;
    case kLevels: return kLevel;
    case kCurves: return kCurve;
    case kControlPoints: case kSamples: return kPoint;
    default: return kCoordinate;
    }
}

bool jsonBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view withoutBlanksAfter(std::string_view token)
{
    while (!token.empty() && jsonBlank(token.back()))
        token.remove_suffix(1);
    return token;
}

// An open curve of two or three points would be drawn as a loop.
bool wantsEndPoints(size_t count, bool closed) { return !closed && (count == 2 || count == 3); }

// The curve as stored: a closed one of four or more points becomes the loop
// the editor draws open, an open one that wants end points gets them.
ImportedCurve storedCurve(const std::vector<float>& xy, bool closed, size_t offset)
{
    std::vector<Vec3> points;
    for (size_t k = 0; k < xy.size(); k += 2)
        points.emplace_back(xy[k], xy[k + 1], 0.0f);
    if (closed && points.size() >= 4)
        points = loopCurvePoints(points);
    else if (wantsEndPoints(points.size(), closed))
        points = openCurvePoints(points);
    ImportedCurve curve{{}, offset};
    for (const Vec3& p : points)
        curve.xy.insert(curve.xy.end(), p.pos, p.pos + 2);
    return curve;
}

// The first byte of ill-formed UTF-8 in `text`.
size_t firstIllFormed(std::string_view text)
{
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3
                                                                  : c >= 0xF0 && c < 0xF5 ? 4 : 0;
        if (length == 0 || at + length > text.size() || !simdjson::validate_utf8(text.data() + at, length))
            return at;
        at += length;
    }
    return text.size();
}

// The first character a string holds unescaped that must be escaped.
size_t firstUnescaped(std::string_view text)
{
    bool inString = false, escaped = false;
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (inString && static_cast<unsigned char>(c) < 0x20)
            return at;
        if (escaped)
            escaped = false;
        else if (inString && c == '\\')
            escaped = true;
        else if (c == '"')
            inString = !inString;
    }
    return 0;
}

// Whether `token` reads as a number on its own: the parser refuses a number
// the document ends on, as it can't see where it ends.
bool numberAlone(const std::string& token)
{
    simdjson::ondemand::parser parser;
    simdjson::ondemand::document document;
    double number;
    simdjson::padded_string padded(token);
    return !parser.iterate(padded).get(document) && !document.get_double().get(number);
}

// One step of a JSON Pointer: an object's key or an array's index.
struct Step {
    std::string_view key;
    size_t index;
};

class Reader {
public:
    Reader(std::string_view text, Imported& imported, simdjson::ondemand::document& document)
        : text(text), imported(imported), document(document)
    {
    }

    std::vector<ImportedLevel> levels;

    // The whole document: the layout object and nothing after it.
    bool read()
    {
        value root;
        const simdjson::error_code error = document.get_value().get(root);
        json_type type;
        if (error == simdjson::SCALAR_DOCUMENT_AS_VALUE)
            return document.type().get(type) ? syntax(simdjson::TAPE_ERROR, nullptr)
                                              : scalar(document, kRoot, type, document.raw_json_token());
        if (error)
            return syntax(error, nullptr);
        if (!read(root, kRoot))
            return false;
        const char* after = nullptr;
        return document.current_location().get(after) == simdjson::OUT_OF_BOUNDS ||
               syntax(simdjson::TAPE_ERROR, after);
    }

    // A fault the parser found before reading: where it is, and what.
    bool faultBefore(simdjson::error_code error)
    {
        switch (error) {
        case simdjson::UTF8_ERROR:
            return imported.refuse(firstIllFormed(text), "not JSON: ill-formed UTF-8");
        case simdjson::UNESCAPED_CHARS:
            return imported.refuse(firstUnescaped(text), "not JSON: a control character in a string, unescaped");
        case simdjson::UNCLOSED_STRING:
            return imported.refuse(text.size(), "not JSON: a string is not closed before the end");
        case simdjson::EMPTY: return imported.refuse(text.size(), "not JSON: empty");
        default: return imported.refuse(0, std::string("not JSON: ") + simdjson::error_message(error));
        }
    }

private:
    std::string_view text;  // as the parser reads it
    Imported& imported;
    simdjson::ondemand::document& document;
    std::vector<Step> steps;
    std::vector<float> controlPoints;
    bool keeping = false;  // the points read are control points
    float point[2] = {0, 0};
    bool closed = false;

    size_t offsetOf(const char* at) const { return static_cast<size_t>(at - text.data()); }
    // The last character before `at` that is not a blank: a token's end.
    const char* lastBefore(const char* at) const
    {
        while (at > text.data() && jsonBlank(at[-1]))
            --at;
        return at > text.data() ? at - 1 : at;
    }
    // Where the parser stands: its next token, or the end.
    const char* next()
    {
        const char* at = nullptr;
        return document.current_location().get(at) ? text.data() + text.size() : at;
    }

    std::string pointer() const
    {
        std::string path;
        for (const Step& step : steps)
            path += "/" + (step.key.data() ? std::string(step.key) : std::to_string(step.index));
        return path.empty() ? "/" : path;
    }
    bool refuse(const char* at, const std::string& what) { return imported.refuse(offsetOf(at), pointer() + ": " + what); }
    bool wrong(const char* at, Node node, const std::string& found)
    {
        return refuse(at, "expected " + std::string(nodeWants(node)) + ", found " + found);
    }
    bool syntax(simdjson::error_code error, const char* at);
    bool tooLong(const char* at)
    {
        return imported.refuse(offsetOf(at), "a name, number or word of more than " + std::to_string(kMostToken / 1024) +
                                                 " KB: none of a layout is that long");
    }

    bool read(value& found, Node node);
    bool object(value& found, Node node, const char* open);
    bool array(value& found, Node node);
    template <typename Source>
    bool scalar(Source& found, Node node, json_type type, std::string_view token);
    bool number(Node node, double number, std::string_view token, const char* after);
    void endCurve(size_t offset);
};

// A fault in the document's syntax in the token at `at`, or, when null,
// where the parser stands between tokens. The document is cut short when
// that is its last token and what is wrong is what would have come next.
bool Reader::syntax(simdjson::error_code error, const char* at)
{
    const bool between = at == nullptr;
    at = between ? next() : at;
    const char* const end = text.data() + text.size();
    const char* after = at;
    while (after < end && !jsonBlank(*after) && (after == at || !std::strchr("[]{},:", *after)))
        ++after;
    const std::string found(at, static_cast<size_t>(after - at));
    const bool last = lastBefore(end) < after;
    if (found.empty() || (last && (between || (error == simdjson::NUMBER_ERROR && numberAlone(found)))))
        return imported.refuse(text.size(), "not JSON: cut short");
    std::string what = "unexpected '" + excerpt(found) + "'";
    if (error == simdjson::NUMBER_ERROR)
        what = "a malformed number or one beyond the double range: '" + excerpt(found) + "'";
    else if (error == simdjson::STRING_ERROR)
        what = "a bad escape in the string '" + excerpt(found) + "'";
    return imported.refuse(offsetOf(at), "not JSON: " + what);
}

bool Reader::read(value& found, Node node)
{
    const std::string_view token = found.raw_json_token();
    json_type type;
    if (const simdjson::error_code error = found.type().get(type))
        return syntax(error, token.data());
    const bool isObject = node == kRoot || node == kLevel || node == kCurve;
    const bool isArray = node == kExtent || node == kLevels || node == kCurves || node == kControlPoints ||
                         node == kSamples || node == kPoint;
    if (type == json_type::object)
        return isObject ? object(found, node, token.data()) : wrong(token.data(), node, "an object");
    if (type == json_type::array)
        return isArray ? array(found, node) : wrong(token.data(), node, "an array");
    return scalar(found, node, type, token);
}

bool Reader::object(value& found, Node node, const char* open)
{
    const Key* const keys = node == kRoot ? kRootKeys : node == kLevel ? kLevelKeys : kCurveKeys;
    const size_t count = node == kRoot ? std::size(kRootKeys) : node == kLevel ? std::size(kLevelKeys)
                                                                             : std::size(kCurveKeys);
    if (node == kLevel)
        levels.push_back(ImportedLevel{{}, offsetOf(open)});
    if (node == kCurve) {
        controlPoints.clear();
        closed = false;
    }
    simdjson::ondemand::object properties;
    if (const simdjson::error_code error = found.get_object().get(properties))
        return syntax(error, open);
    unsigned seen = 0;
    for (auto property : properties) {
        simdjson::ondemand::field field;
        if (const simdjson::error_code error = std::move(property).get(field))
            return syntax(error, nullptr);
        const char* const keyStart = field.key().raw() - 1;
        std::string_view name;
        if (const simdjson::error_code error = field.unescaped_key().get(name))
            return syntax(error, keyStart);
        // The key's closing quote, before the colon: where the parser is
        // when it has the key.
        const char* const keyEnd = lastBefore(lastBefore(field.value().raw_json_token().data()));
        if (static_cast<size_t>(keyEnd - keyStart) - 1 > kMostToken)
            return tooLong(keyStart);
        size_t k = 0;
        while (k < count && name != keys[k].name)
            ++k;
        steps.push_back(Step{name, 0});
        if (k == count)
            return refuse(keyEnd, "not a property of " + std::string(nodeWants(node)));
        if (seen & (1u << k))
            return refuse(keyEnd, "given twice");
        seen |= 1u << k;
        steps.back().key = keys[k].name;
        if (!read(field.value(), keys[k].node))
            return false;
        steps.pop_back();
    }
    const char* const close = lastBefore(next());
    for (size_t k = 0; k < count; ++k)
        if (!(seen & (1u << k))) {
            steps.push_back(Step{keys[k].name, 0});
            return refuse(close, "missing");
        }
    if (node == kCurve)
        endCurve(offsetOf(open));
    return true;
}

bool Reader::array(value& found, Node node)
{
    simdjson::ondemand::array items;
    if (const simdjson::error_code error = found.get_array().get(items))
        return syntax(error, nullptr);
    if (node == kControlPoints || node == kSamples)
        keeping = node == kControlPoints;
    steps.push_back(Step{{}, 0});
    for (auto item : items) {
        value itemValue;
        if (const simdjson::error_code error = std::move(item).get(itemValue))
            return syntax(error, nullptr);
        // A sample's coordinate, most of a long layout, is only checked; a
        // failed read leaves it unread for the full one, which says why.
        double checked;
        if (!(node == kPoint && !keeping && steps.back().index < 2 &&
              itemValue.raw_json_token().size() <= kMostToken && !itemValue.get_double().get(checked)) &&
            !read(itemValue, itemOf(node)))
            return false;
        ++steps.back().index;
    }
    const size_t count = steps.back().index;
    steps.pop_back();
    // At an array's end, what is wrong is the array itself.
    if (node == kPoint && count != 2)
        return refuse(lastBefore(next()), "a point has two coordinates, x and y");
    if (node == kExtent && count != 2)
        return refuse(lastBefore(next()), "expected [-5, 5]");
    if (node == kCurves && count == 0)
        return refuse(lastBefore(next()), "a level has at least one curve");
    if (node == kPoint && keeping)
        controlPoints.insert(controlPoints.end(), point, point + 2);
    return true;
}

// A string, true, false, null or a number at `node`; `token` its text and
// the blanks after it. Messages are placed on the value's last character
// (a number's: the one after it, where its end is seen).
template <typename Source>
bool Reader::scalar(Source& found, Node node, json_type type, std::string_view token)
{
    token = withoutBlanksAfter(token);
    if (token.size() - (token[0] == '"' ? 2 : 0) > kMostToken)
        return tooLong(token.data());
    const char* const last = token.data() + token.size() - 1;
    switch (type) {
    case json_type::string: {
        std::string_view string;
        if (const simdjson::error_code error = found.get_string().get(string))
            return syntax(error, token.data());
        return (node == kUnits && string == "level") || wrong(last, node, "\"" + std::string(string) + "\"");
    }
    case json_type::boolean: {
        bool truth = false;
        if (const simdjson::error_code error = found.get_bool().get(truth))
            return syntax(error, token.data());
        if (node == kClosed)
            closed = truth;
        return node == kClosed || (node == kYUp && truth) || wrong(last, node, truth ? "true" : "false");
    }
    case json_type::null: {
        bool null = false;
        if (const simdjson::error_code error = found.is_null().get(null); error || !null)
            return syntax(error ? error : simdjson::INCORRECT_TYPE, token.data());
        return wrong(last, node, "null");
    }
    default: {
        double read = 0;
        if (const simdjson::error_code error = found.get_double().get(read))
            return syntax(error, token.data());
        const char* const after = token.data() + token.size() < text.data() + text.size() ? last + 1 : last;
        return number(node, read, token, after);
    }
    }
}

// Coordinates come back as the same floats the exporter wrote: read from
// their text.
bool Reader::number(Node node, double read, std::string_view token, const char* after)
{
    const size_t index = steps.empty() ? 0 : steps.back().index;
    if (node == kCoordinate) {
        if (index >= 2)
            return refuse(after, "a point has two coordinates, x and y");
        const float coordinate = keeping ? std::strtof(std::string(token).c_str(), nullptr) : 0.0f;
        if (std::isinf(coordinate))
            return refuse(after, "beyond the float range");
        point[index] = coordinate;
        return true;
    }
    if (node == kExtentItem)
        return (index <= 1 && read == (index == 0 ? -5 : 5)) || wrong(after, node, "another extent");
    const std::string spelled(token == "-0" ? "0" : token);  // as a whole number is said
    const bool whole = std::floor(read) == read;
    if (!((node == kSamplesPerSegment && whole && read >= 1) || (node == kLevelNumber && whole && read >= 0)))
        return wrong(after, node, "the number " + spelled);
    if (node == kLevelNumber && read != static_cast<double>(levels.size() - 1))
        imported.say(Severity::Warning, offsetOf(after),
                     pointer() + ": level number " + spelled + " at index " +
                         std::to_string(levels.size() - 1) + ": the index is used");
    return true;
}

void Reader::endCurve(size_t offset)
{
    const size_t n = controlPoints.size() / 2;
    if (wantsEndPoints(n, closed))
        imported.say(Severity::Warning, offset,
                     pointer() + ": an open curve of " + std::to_string(n) +
                         " points would be drawn as a loop: end points added so it is drawn open");
    levels.back().curves.push_back(storedCurve(controlPoints, closed, offset));
}

}  // namespace

void importJson(const std::string& text, Imported& imported)
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
    Reader reader(std::string_view(padded.data(), padded.length()), imported, document);
    const simdjson::error_code error = parser.iterate(padded).get(document);
    if (error ? !reader.faultBefore(error) : !reader.read())
        return;
    buildLevels(reader.levels, text.size(), imported);
}
