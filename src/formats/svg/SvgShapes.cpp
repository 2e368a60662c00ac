#include "SvgShapes.h"

#include <algorithm>
#include <initializer_list>

#include "SvgLex.h"
#include "SvgValues.h"

namespace {

PathCommand command(char letter, std::initializer_list<double> numbers)
{
    PathCommand c{letter, {}};
    std::copy(numbers.begin(), numbers.end(), c.v);
    return c;
}

}  // namespace

std::vector<PathCommand> shapeCommands(const XmlElement& element, const std::string& name, const LengthOf& n)
{
    if (name == "line")
        return {command('M', {n("x1", 0), n("y1", 0)}), command('L', {n("x2", 0), n("y2", 0)})};
    if (name == "circle" || name == "ellipse") {
        const double cx = n("cx", 0), cy = n("cy", 0);
        // An ellipse's radius left out or auto is the other one (SVG 2).
        const auto radius = [&](const char* attribute) {
            const std::string* const given = element.find(attribute);
            return !given || svg::trimmed(*given) == "auto" ? NAN : n(attribute, 0);
        };
        double rx = name == "circle" ? n("r", 0) : radius("rx");
        double ry = name == "circle" ? rx : radius("ry");
        rx = std::isnan(rx) ? ry : rx;
        ry = std::isnan(ry) ? rx : ry;
        if (!(rx > 0 && ry > 0))
            return {};
        const auto arc = [&](double x, double y) { return command('A', {rx, ry, 0, 0, 1, x, y}); };
        return {command('M', {cx + rx, cy}), arc(cx, cy + ry), arc(cx - rx, cy), arc(cx, cy - ry), arc(cx + rx, cy),
                command('Z', {})};
    }
    // A rect, its corners rounded by rx and ry (one stands for both).
    const double x = n("x", 0), y = n("y", 0), w = n("width", 0), h = n("height", 0);
    if (!(w > 0 && h > 0))
        return {};
    double rx = n("rx", -1), ry = n("ry", -1);
    rx = rx < 0 ? ry : rx;
    ry = ry < 0 ? rx : ry;
    rx = std::clamp(rx, 0.0, w / 2);
    ry = std::clamp(ry, 0.0, h / 2);
    const auto arc = [&](double toX, double toY) { return command('A', {rx, ry, 0, 0, 1, toX, toY}); };
    return {command('M', {x + rx, y}),      command('H', {x + w - rx}), arc(x + w, y + ry),
            command('V', {y + h - ry}),     arc(x + w - rx, y + h),     command('H', {x + rx}),
            arc(x, y + h - ry),             command('V', {y + ry}),     arc(x + rx, y),
            command('Z', {})};
}

std::vector<PathCommand> pointCommands(const XmlElement& element, bool polygon, ParseError& error, bool& odd)
{
    const std::vector<double> numbers = parseNumberList(element.value("points"), error);
    odd = numbers.size() % 2 == 1;
    std::vector<PathCommand> commands;
    for (size_t k = 0; k + 1 < numbers.size(); k += 2)
        commands.push_back(command(k == 0 ? 'M' : 'L', {numbers[k], numbers[k + 1]}));
    if (polygon && !commands.empty())
        commands.push_back(command('Z', {}));
    return commands;
}
