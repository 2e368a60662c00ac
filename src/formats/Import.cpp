#include "Import.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/LevelModel.h"
#include "core/Splines.h"

void Imported::say(Severity severity, size_t offset, const std::string& what)
{
    const std::string key = std::to_string(offset) + ' ' + what;
    const auto found = said.find(key);
    if (found != said.end()) {
        ++messages[found->second].times;
        return;
    }
    if (bytes + what.size() + kMessagePlaceRoom > kMostMessageBytes) {
        ++unsaid;
        unsaidChanged = unsaidChanged || severity == Severity::Warning;
        return;
    }
    bytes += what.size() + kMessagePlaceRoom;
    said.emplace(key, messages.size());
    messages.push_back(Diagnostic{severity, 0, 0, 0, offset, what, 1});
}

namespace {

bool outsideTheSquare(const std::vector<float>& xy)
{
    return std::any_of(xy.begin(), xy.end(), [](float v) { return std::fabs(v) > 5.0f; });
}

// Empty curves before the first with points and after the last can't be
// stored: the editor fills an empty curve 0 with its default square and a
// reload drops trailing ones.
void dropEmptyEnds(std::vector<ImportedCurve>& curves, size_t level, Imported& imported)
{
    const auto filled = [](const ImportedCurve& c) { return !c.xy.empty(); };
    const auto first = std::find_if(curves.begin(), curves.end(), filled);
    const auto last = std::find_if(curves.rbegin(), curves.rend(), filled).base();
    for (auto c = curves.begin(); c != curves.end(); ++c)
        if (c < first || c >= last)
            imported.say(Severity::Warning, c->offset,
                         "empty curve " + std::to_string(c - curves.begin()) + " of level " + std::to_string(level) +
                             ": a level file can't keep it there, dropped");
    curves = std::vector<ImportedCurve>(first, last);
}

}  // namespace

void buildLevels(std::vector<ImportedLevel>& found, size_t end, Imported& imported)
{
    for (size_t index = 0; index < found.size(); ++index) {
        ImportedLevel& level = found[index];
        const size_t number = imported.levels.list.size();
        if (std::all_of(level.curves.begin(), level.curves.end(), [](const ImportedCurve& c) { return c.xy.empty(); })) {
            imported.say(Severity::Warning, level.offset,
                         "input level " + std::to_string(index) +
                             " has no points: a level file can't keep an empty level, dropped");
            continue;
        }
        dropEmptyEnds(level.curves, number, imported);
        Splines* const made = new Splines;
        made->level = static_cast<int>(number);
        made->levelCurves.clear();
        for (const ImportedCurve& curve : level.curves) {
            Nodes nodes;
            for (size_t k = 0; k + 1 < curve.xy.size(); k += 2)
                nodes.controlPoints.emplace_back(curve.xy[k], curve.xy[k + 1], static_cast<float>(number));
            if (outsideTheSquare(curve.xy))
                imported.say(Severity::Note, curve.offset,
                             "curve " + std::to_string(made->levelCurves.size()) + " of level " +
                                 std::to_string(number) +
                                 " has points outside the -5..5 square: kept, but the editor can't pick them");
            made->levelCurves.push_back(nodes);
        }
        imported.levels.list.push_back(made);
    }
    if (imported.levels.list.empty())
        imported.say(Severity::Warning, end, "nothing to import: no level has a point, nothing written");
}

std::string brief(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string excerpt(const std::string& value)
{
    const size_t most = 40;
    if (value.size() <= most)
        return value;
    size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;  // not inside a UTF-8 character
    return value.substr(0, cut) + "...";
}
