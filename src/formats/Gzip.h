// Files as they are stored: a gzip file (Inkscape's .svgz among them) is
// told by its content, whatever its name, and inflated before it is read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What an import inflates at most: a small file can stand for gigabytes.
constexpr size_t kMostInflated = size_t(128) << 20;

bool isGzip(std::string_view text);

// Inflates every gzip member of `text` into `out`; false, with why, when the
// data is broken, cut short, or inflates to more than `most` bytes.
bool inflateGzip(std::string_view text, std::string& out, std::string& why, size_t most = kMostInflated);
