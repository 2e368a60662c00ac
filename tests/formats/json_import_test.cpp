// The JSON import's messages: each kind of fault in the export's schema and in
// JSON itself, with its JSON Pointer and the byte it is placed on.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/Splines.h"
#include "formats/Import.h"

namespace {

const std::string kHead =
    R"({"units":"level","extent":[-5,5],"yUp":true,"samplesPerSegment":1,"levels":[{"level":0,"curves":[)";
const std::string kSquare = R"({"closed":true,"controlPoints":[[0,0],[1,0],[1,1],[0,1]],"samples":[]})";
const std::string kTail = "]}]}";

// The layout of one square with its first `from` replaced by `to`.
std::string square(const std::string& from, const std::string& to)
{
    std::string document = kHead + kSquare + kTail;
    return document.replace(document.find(from), from.size(), to);
}

// The refusal or the messages, each as "OFFSET TEXT".
std::string said(const std::string& document)
{
    Imported imported;
    importJson(document, imported);
    if (imported.refused())
        return std::to_string(imported.fatal.offset) + " " + imported.fatal.text;
    std::string all;
    for (const Diagnostic& message : imported.messages)
        all += (all.empty() ? "" : " | ") + std::to_string(message.offset) + " " + message.text;
    return all;
}

}  // namespace

TEST(JsonImport, SchemaFaultsAreNamedByPointerAndPlaced)
{
    const std::string longNumber(70000, '1');
    const struct {
        std::string document, said;
    } cases[] = {
        {"5", "0 /: expected the layout object, found the number 5"},
        {R"("x")", "2 /: expected the layout object, found \"x\""},
        {"[", "0 /: expected the layout object, found an array"},
        {R"({"units":"level","extent":[-5,4]})", "31 /extent/1: expected -5 or 5, found another extent"},
        {R"({"units":"level","extent":[-5,5,5]})", "33 /extent/2: expected -5 or 5, found another extent"},
        {R"({"units":"level","extent":[-5]})", "29 /extent: expected [-5, 5]"},
        {R"({"yUp":null})", "10 /yUp: expected true, found null"},
        {R"({"units":"level","units":"level"})", "23 /units: given twice"},
        {R"({"unit":1})", "6 /unit: not a property of the layout object"},
        {"{ }", "2 /units: missing"},
        {square("\"level\":0", "\"level\":-1"),
         "87 /levels/0/level: expected a whole number of at least 0, found the number -1"},
        {square("\"samplesPerSegment\":1", "\"samplesPerSegment\":0.5"),
         "67 /samplesPerSegment: expected a whole number of at least 1, found the number 0.5"},
        {square("[[0,0]", "[[0,0,0]"), "135 /levels/0/curves/0/controlPoints/0/2: a point has two coordinates, x and y"},
        {square("[1,1]", "[1e39,1]"), "146 /levels/0/curves/0/controlPoints/2/0: beyond the float range"},
        {square("\"samples\":[]", "\"samples\":[\"x\"]"),
         "167 /levels/0/curves/0/samples/0: expected a point [x, y], found \"x\""},
        {square("\"samples\":[]", "\"samples\":[[0,\"x\"]]"),
         "170 /levels/0/curves/0/samples/0/1: expected a number, found \"x\""},
        {square("\"samples\":[]", "\"samples\":[[0,0,0]]"),
         "171 /levels/0/curves/0/samples/0/2: a point has two coordinates, x and y"},
        {square("\"samples\":[]", "\"samples\":[[0,0],[" + longNumber + ",0]]"),
         "172 a name, number or word of more than 64 KB: none of a layout is that long"},
        {"{\"" + std::string(70000, 'a') + "\":1}",
         "1 a name, number or word of more than 64 KB: none of a layout is that long"},
        {square("\"closed\":true", "\"closed\":1"),
         "108 /levels/0/curves/0/closed: expected true or false, found the number 1"},
        // JSON's own faults, placed on the token that breaks it.
        {R"({"units" "level"})", "9 not JSON: unexpected '\"level\"'"},
        {R"({"units":"le\qvel"})", "9 not JSON: a bad escape in the string '\"le\\qvel\"'"},
        {kHead + kSquare + kTail + " x", "172 not JSON: unexpected 'x'"},
        {"", "0 not JSON: empty"},
        {R"({"units":"lev)", "13 not JSON: a string is not closed before the end"},
        {"{\"units\":\"a\x01\"}", "11 not JSON: a control character in a string, unescaped"},
        {"{\"units\":\"\xff\"}", "10 not JSON: ill-formed UTF-8"},
        {R"({"units":"level","extent":[-5,5)", "31 not JSON: cut short"},
        {R"({"units":"level","extent":[-5,5])", "32 not JSON: cut short"},
        {R"({"units":"level","extent":[-5,5x]})", "30 not JSON: a malformed number or one beyond the double range: '5x'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(said(c.document), c.said) << c.document.substr(0, 200);
}

// An open curve of three points gets its end points, a level number off its
// index is mended, and a -0 control point keeps its sign.
TEST(JsonImport, MendsAreSaidAndPointsKeptExactly)
{
    std::string document = square("\"closed\":true,\"controlPoints\":[[0,0],[1,0],[1,1],[0,1]]",
                                  "\"closed\":false,\"controlPoints\":[[-0,1],[2.5,-0],[1,1.5]]");
    document.replace(document.find("\"level\":0"), 9, "\"level\":2");
    EXPECT_EQ(said(document), "86 /levels/0/level: level number 2 at index 0: the index is used | 97 /levels/0/curves/0: an "
                              "open curve of 3 points would be drawn as a loop: end points added so it is drawn open");
    Imported imported;
    importJson(document, imported);
    ASSERT_EQ(imported.levels.list.size(), 1u);
    const std::vector<Vec3>& points = imported.levels.list[0]->levelCurves[0].controlPoints;
    ASSERT_EQ(points.size(), 5u);
    EXPECT_TRUE(std::signbit(points[1].pos[0]) && std::signbit(points[2].pos[1]));
    EXPECT_EQ(points[2].pos[0], 2.5f);
}
