// ombrel-level's command line: its commands, their options in one table
// (each option says which commands take it, and every refusal names the word
// and the reason), and the help made from both.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "formats/Export.h"
#include "formats/Import.h"

struct Command {
    const char* name;
    const char* synopsis;  // after "ombrel-level "
    const char* what;
};

constexpr size_t kCommandCount = 4;
extern const Command kCommands[kCommandCount];

enum Format { kNoFormat, kSvg, kObj, kJson, kPng };
enum Source { kSniffed, kFromSvg, kFromJson };

struct Arguments {
    const Command* command = nullptr;
    std::vector<std::string> files;
    std::string out;  // empty: standard output
    bool help = false;
    bool lossy = false;
    Format format = kNoFormat;
    const char* formatOption = nullptr;
    bool samplesGiven = false;
    bool sizeGiven = false;
    ExportOptions exportOptions;
    Source from = kSniffed;
    bool toleranceGiven = false;
    double tolerance = kDefaultTolerance;
};

// Reads the words after the command's name into `arguments`; an empty text,
// or the refusal.
std::string parse(int argc, char** argv, Arguments& arguments);

// " (did you mean X?)" for the nearest of the names, when one is near.
std::string nearest(const std::string& word, const std::vector<std::string>& names);

// The usage of every command, and of one with its options.
std::string usageText();
std::string commandHelp(const Command& command);
