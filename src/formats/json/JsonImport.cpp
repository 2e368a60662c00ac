// The event read of the export's own JSON document, for any document the
// quick read (JsonQuick.cpp) leaves: a stream of events, so that a long
// layout's samples are checked but never held, every place is checked against
// the schema as it goes by, and every message is named by its JSON Pointer.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "formats/Import.h"
#include "formats/json/JsonLayout.h"

using namespace jsonLayout;

namespace {

using json = nlohmann::json;

struct Frame {
    Node node = kRoot;
    bool array = false;
    size_t index = 0;       // items so far, or the key being read
    std::string key;
    Node next = kSkipped;   // an object's value to come
    unsigned seen = 0;      // keys read, one bit each
    size_t offset = 0;
};

// Names, numbers and words of a layout are short: a longer one is refused
// before the parser holds it, twice over (as read and as decoded).
constexpr size_t kMostToken = 64 * 1024;

// Where the parser has read to, so that events have a place, and what it
// need not hold: a run of blanks between tokens reaches it as one blank
// (the parser keeps all it reads since its last token), and a token longer
// than kMostToken ends the input where it starts.
struct Tracking {
    const char* begin;
    const char* end;
    const char* latest;     // the character read last
    size_t skipped = 0;     // blanks the parser was spared
    bool inString = false;
    bool escaped = false;
    size_t run = 0;         // characters of the token being read
    size_t longToken = SIZE_MAX;  // where the token too long starts
};

bool jsonBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

struct TrackedChars {
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;
    const char* at;
    Tracking* tracking;
    reference operator*() const
    {
        tracking->latest = at;
        return *at;
    }
    TrackedChars& operator++()
    {
        pass(*at++);
        return *this;
    }
    TrackedChars operator++(int)
    {
        TrackedChars before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackedChars& other) const { return at == other.at; }
    bool operator!=(const TrackedChars& other) const { return at != other.at; }

private:
    void pass(char c)
    {
        Tracking& t = *tracking;
        if (t.inString) {
            if (t.escaped)
                t.escaped = false;
            else if (c == '\\')
                t.escaped = true;
            else if (c == '"')
                t.inString = false;
            if (t.inString)
                grow();
            else
                t.run = 0;
            return;
        }
        if (c != '"' && !jsonBlank(c) && std::strchr("[]{},:", c) == nullptr) {
            grow();
            return;
        }
        t.run = 0;
        t.inString = c == '"';
        if (jsonBlank(c)) {
            const char* const from = at;
            while (at != t.end && jsonBlank(*at))
                ++at;
            t.skipped += static_cast<size_t>(at - from);
        }
    }
    void grow()
    {
        Tracking& t = *tracking;
        if (++t.run <= kMostToken)
            return;
        t.longToken = static_cast<size_t>(at - t.begin) - t.run - (t.inString ? 1 : 0);
        at = t.end;
    }
};

class Reader : public nlohmann::json_sax<json> {
public:
    Reader(const std::string& text, Imported& imported)
        : tracking{text.data(), text.data() + text.size(), text.data()}, text(text), imported(imported)
    {
    }

    Tracking tracking;
    std::vector<ImportedLevel> levels;

    bool null() override { return wrong("null"); }
    bool boolean(bool value) override;
    bool number_integer(number_integer_t value) override
    {
        return number(value == 0 && negativeZero() ? -0.0 : static_cast<double>(value), std::to_string(value), false);
    }
    bool number_unsigned(number_unsigned_t value) override
    {
        return number(static_cast<double>(value), std::to_string(value), false);
    }
    bool number_float(number_float_t value, const string_t& spelled) override { return number(value, spelled, true); }
    bool string(string_t& value) override;
    bool binary(binary_t&) override { return wrong("binary data"); }
    bool start_object(std::size_t) override;
    bool key(string_t& name) override;
    bool end_object() override;
    bool start_array(std::size_t) override;
    bool end_array() override;
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) override
    {
        if (tracking.longToken != SIZE_MAX)
            return imported.refuse(tracking.longToken, "a name, number or word of more than " +
                                                         std::to_string(kMostToken / 1024) +
                                                         " KB: none of a layout is that long");
        // The place is ours to give: keep only what the parser says is wrong,
        // and of what it read last, the start.
        std::string what = error.what();
        if (what.compare(0, 16, "[json.exception.") == 0 && what.find("] ") != std::string::npos)
            what = what.substr(what.find("] ") + 2);
        const size_t colon = what.find(": ", what.find("parse error"));
        what = colon == std::string::npos ? what : what.substr(colon + 2);
        for (const std::string mark : {"last read: '", "parsing '"}) {
            const size_t from = what.find(mark);
            const size_t to = from == std::string::npos ? from : what.rfind('\'');
            if (to != std::string::npos && to >= from + mark.size())
                what = what.substr(0, from + mark.size()) + excerpt(what.substr(from + mark.size(), to - from - mark.size())) +
                       what.substr(to);
        }
        const size_t at = (position > 0 ? position - 1 : 0) + tracking.skipped;
        return imported.refuse(std::min(at, text.size()), "not JSON: " + what);
    }

private:
    const std::string& text;
    Imported& imported;
    std::vector<Frame> stack;
    float point[2] = {0, 0};
    size_t coordinates = 0;
    std::vector<float> controlPoints;
    bool closed = false;

    size_t here() const { return static_cast<size_t>(tracking.latest - text.data()); }
    // "-0" reads as the integer 0: its sign is in the text just read.
    bool negativeZero() const
    {
        size_t at = std::min(here(), text.size());
        while (at > 0 && text[at - 1] == '0')
            --at;
        return at > 0 && text[at - 1] == '-';
    }
    std::string pointer() const;
    Node expected();
    bool wrong(const std::string& found);
    bool refuse(const std::string& what) { return imported.refuse(here(), pointer() + ": " + what); }
    // At an array's end, what is wrong is the array itself, not its next item.
    bool refuseArray(const std::string& what)
    {
        const std::string next = pointer();
        return imported.refuse(here(), next.substr(0, next.rfind('/')) + ": " + what);
    }
    bool number(double value, const std::string& spelled, bool fraction);
    bool keyOf(const Key* keys, size_t count, const std::string& name);
    void endCurve(size_t offset);
};

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

// "/levels/0/curves/2": where the next value goes.
std::string Reader::pointer() const
{
    std::string path;
    for (const Frame& frame : stack)
        path += "/" + (frame.array ? std::to_string(frame.index) : frame.key);
    return path.empty() ? "/" : path;
}

// The node the next value must be, and one more item of an array.
Node Reader::expected()
{
    if (stack.empty())
        return kRoot;
    Frame& frame = stack.back();
    if (!frame.array)
        return frame.next;
    switch (frame.node) {
    case kExtent: return kExtentItem;
    case kLevels: return kLevel;
    case kCurves: return kCurve;
    case kControlPoints: case kSamples: return kPoint;
    case kPoint: return kCoordinate;
    default: return kSkipped;
    }
}

bool Reader::wrong(const std::string& found)
{
    return refuse("expected " + std::string(nodeWants(expected())) + ", found " + found);
}

// An array's item or an object's value is done.
void advance(std::vector<Frame>& stack)
{
    if (!stack.empty() && stack.back().array)
        ++stack.back().index;
}

bool Reader::boolean(bool value)
{
    const Node node = expected();
    if (node == kClosed)
        closed = value;
    else if (!(node == kYUp && value))
        return wrong(value ? "true" : "false");
    advance(stack);
    return true;
}

bool Reader::string(string_t& value)
{
    if (expected() != kUnits || value != "level")
        return wrong("\"" + value + "\"");
    advance(stack);
    return true;
}

// Coordinates as the same floats the exporter wrote: read from their text.
bool Reader::number(double value, const std::string& spelled, bool fraction)
{
    const Node node = expected();
    const bool whole = std::floor(value) == value;
    if (node == kCoordinate) {
        if (coordinates == 2)
            return refuse("a point has two coordinates, x and y");
        // Samples are checked, not kept: only control points need their float.
        const bool kept = stack.size() > 1 && stack[stack.size() - 2].node == kControlPoints;
        const float coordinate = !kept ? 0.0f : fraction ? std::strtof(spelled.c_str(), nullptr) : static_cast<float>(value);
        if (std::isinf(coordinate))
            return refuse("beyond the float range");
        point[coordinates++] = coordinate;
    } else if (node == kExtentItem) {
        if (stack.back().index > 1 || value != (stack.back().index == 0 ? -5 : 5))
            return wrong("another extent");
    } else if (!((node == kSamplesPerSegment && whole && value >= 1) || (node == kLevelNumber && whole && value >= 0))) {
        return wrong("the number " + spelled);
    } else if (node == kLevelNumber && value != static_cast<double>(levels.size() - 1)) {
        imported.say(Severity::Warning, here(),
                     pointer() + ": level number " + spelled +
                         " at index " + std::to_string(levels.size() - 1) + ": the index is used");
    }
    advance(stack);
    return true;
}

bool Reader::start_object(std::size_t)
{
    const Node node = expected();
    if (node != kRoot && node != kLevel && node != kCurve)
        return wrong("an object");
    if (node == kLevel)
        levels.push_back(ImportedLevel{{}, here()});
    if (node == kCurve) {
        controlPoints.clear();
        closed = false;
    }
    stack.push_back(Frame());
    stack.back().node = node;
    stack.back().array = false;
    stack.back().offset = here();
    return true;
}

bool Reader::keyOf(const Key* keys, size_t count, const std::string& name)
{
    Frame& frame = stack.back();
    frame.key = name;
    for (size_t k = 0; k < count; ++k)
        if (name == keys[k].name) {
            if (frame.seen & (1u << k))
                return refuse("given twice");
            frame.seen |= 1u << k;
            frame.next = keys[k].node;
            return true;
        }
    return refuse("not a property of " + std::string(nodeWants(frame.node)));
}

bool Reader::key(string_t& name)
{
    switch (stack.back().node) {
    case kRoot: return keyOf(kRootKeys, std::size(kRootKeys), name);
    case kLevel: return keyOf(kLevelKeys, std::size(kLevelKeys), name);
    default: return keyOf(kCurveKeys, std::size(kCurveKeys), name);
    }
}

bool Reader::end_object()
{
    const Frame& frame = stack.back();
    const Key* const keys = frame.node == kRoot ? kRootKeys : frame.node == kLevel ? kLevelKeys : kCurveKeys;
    const size_t count = frame.node == kRoot ? std::size(kRootKeys) : frame.node == kLevel ? std::size(kLevelKeys)
                                                                                         : std::size(kCurveKeys);
    for (size_t k = 0; k < count; ++k)
        if (!(frame.seen & (1u << k))) {
            stack.back().key = keys[k].name;
            return refuse("missing");
        }
    const Node node = frame.node;
    const size_t offset = frame.offset;
    stack.pop_back();
    if (node == kCurve)
        endCurve(offset);
    advance(stack);
    return true;
}

bool Reader::start_array(std::size_t)
{
    const Node node = expected();
    if (node != kExtent && node != kLevels && node != kCurves && node != kControlPoints && node != kSamples &&
        node != kPoint)
        return wrong("an array");
    coordinates = 0;
    stack.push_back(Frame());
    stack.back().node = node;
    stack.back().array = true;
    stack.back().offset = here();
    return true;
}

bool Reader::end_array()
{
    const Frame frame = stack.back();
    if (frame.node == kPoint && frame.index != 2)
        return refuseArray("a point has two coordinates, x and y");
    if (frame.node == kExtent && frame.index != 2)
        return refuseArray("expected [-5, 5]");
    if (frame.node == kCurves && frame.index == 0)
        return refuseArray("a level has at least one curve");
    stack.pop_back();
    if (frame.node == kPoint && stack.back().node == kControlPoints)
        controlPoints.insert(controlPoints.end(), point, point + 2);
    advance(stack);
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

void importJsonEvents(const std::string& text, Imported& imported)
{
    Reader reader(text, imported);
    const TrackedChars begin{text.data(), &reader.tracking}, end{text.data() + text.size(), &reader.tracking};
    if (!json::sax_parse(begin, end, &reader) || imported.refused())
        return;
    buildLevels(reader.levels, text.size(), imported);
}
