// SVG's basic shapes (line, circle, ellipse, rect, polyline, polygon) as
// the path commands they stand for, as the SVG standard defines them.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "SvgPath.h"
#include "XmlTree.h"

// A length attribute of the element, in user units, or the fallback.
using LengthOf = std::function<double(const char* attribute, double fallback)>;

// A line, circle, ellipse or rect as path commands; none when it draws nothing.
std::vector<PathCommand> shapeCommands(const XmlElement& element, const std::string& name, const LengthOf& n);

// A polyline's or polygon's points as path commands; `odd` is set when a
// last coordinate has no pair.
std::vector<PathCommand> pointCommands(const XmlElement& element, bool polygon, ParseError& error, bool& odd);
