// The two level file names and the level file format, both directions.
//
// A level file holds, per level: a structure line of "( n n ... )" groups
// giving each curve's point numbers, one "number x y z" line per point, and
// an empty line.
#pragma once

#include <string>
#include <vector>

#include "core/SafeSave.h"

class Splines;

class FileIO {
public:
    std::string writefile;
    std::string readfile;

    FileIO();
    void setOutputName(const char* filename);
    void setInputName(const char* filename);
    const std::string& getInputName() const;

    // Saves every level; the previous file stays whole if anything fails.
    void writeFile(std::vector<Splines*>& spline);
    // Replaces the list's levels with the file's; untouched if it can't open.
    void readFile(std::vector<Splines*>& spline);
};
